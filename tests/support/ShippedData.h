#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace zelk::test {

// The whole text of a plain data set as the program ships it (data/ of the source
// tree, which the build encrypts into the working folder's input/), found through
// the test command's ZELK_TEST_DATA (tests/data) or beside this header without it.
inline std::string shippedDataText(std::string_view fileName)
{
    const char* testData = std::getenv("ZELK_TEST_DATA");
    const auto tests = testData != nullptr ? std::filesystem::path(testData).parent_path()
                                           : std::filesystem::path(__FILE__).parent_path().parent_path();
    const auto path = tests.parent_path() / "data" / fileName;
    std::string text = readAll(path);
    if (text.empty()) ADD_FAILURE() << "cannot read the shipped data set " << path;
    return text;
}

} // namespace zelk::test

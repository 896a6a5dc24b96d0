#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zelk::test {

// A plain data set as the program ships it (data/ of the source tree, the files
// the build encrypts into the working folder's input/), found through the test
// command's ZELK_TEST_DATA (tests/data), or beside this source tree without it.
std::filesystem::path shippedDataSet(std::string_view fileName);

// Its whole text; an empty text and a test failure when it cannot be read.
std::string shippedDataText(std::string_view fileName);

} // namespace zelk::test

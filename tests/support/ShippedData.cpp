#include "support/ShippedData.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace zelk::test {

std::filesystem::path shippedDataSet(std::string_view fileName)
{
    const char* testData = std::getenv("ZELK_TEST_DATA");
    const std::filesystem::path tests = testData != nullptr
                                            ? std::filesystem::path(testData).parent_path()
                                            : std::filesystem::path(__FILE__).parent_path().parent_path();
    return tests.parent_path() / "data" / fileName;
}

std::string shippedDataText(std::string_view fileName)
{
    const auto path = shippedDataSet(fileName);
    std::string text = readAll(path);
    if (text.empty())
        ADD_FAILURE() << "cannot read the shipped data set " << path;
    return text;
}

} // namespace zelk::test

#include "platform/CommandLine.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace zelk::platform {
namespace {

TEST(CommandLine, MatchesTheArgumentsThatMainReceived)
{
    // The test program is started by ctest with gtest options, so there is
    // more than the program name to compare.
    const std::vector<std::string> mainArgs = ::testing::internal::GetArgvs();
    const std::vector<std::string> args = commandLineArguments();
    ASSERT_EQ(args.size(), mainArgs.size());
    ASSERT_FALSE(args.empty());
    // The program itself may be spelled differently (path, extension); the
    // name is the same.
    EXPECT_EQ(std::filesystem::path(args[0]).stem(), std::filesystem::path(mainArgs[0]).stem());
    for (std::size_t i = 1; i < args.size(); ++i) EXPECT_EQ(args[i], mainArgs[i]) << "argument " << i;
}

} // namespace
} // namespace zelk::platform

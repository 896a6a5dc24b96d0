#include "platform/FileCopy.h"
#include "support/TempDir.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

// Named after the component so that the cases read FileCopy.<Case>.
class FileCopy : public TempDirTest {};

TEST_F(FileCopy, ReplacesAnExistingTargetWhole)
{
    // The case std::filesystem::copy_file gets wrong in the mingw build.
    writeAll(file("Log.txt"), "second run");
    writeAll(file("Log0.txt"), "first run, longer than the second");
    std::error_code ec;
    ASSERT_TRUE(platform::copyFileOverwriting(file("Log.txt"), file("Log0.txt"), ec)) << ec.message();
    EXPECT_FALSE(ec);
    EXPECT_EQ(readAll(file("Log0.txt")), "second run");
    EXPECT_EQ(readAll(file("Log.txt")), "second run");
}

TEST_F(FileCopy, CreatesAMissingTarget)
{
    writeAll(file("parameters.xml"), "<parameters/>");
    std::error_code ec;
    ASSERT_TRUE(platform::copyFileOverwriting(file("parameters.xml"), file("parameters.bak"), ec));
    EXPECT_EQ(readAll(file("parameters.bak")), "<parameters/>");
}

TEST_F(FileCopy, EmptySourceGivesEmptyTarget)
{
    writeAll(file("empty.txt"), "");
    writeAll(file("target.txt"), "old");
    std::error_code ec;
    ASSERT_TRUE(platform::copyFileOverwriting(file("empty.txt"), file("target.txt"), ec));
    EXPECT_EQ(fs::file_size(file("target.txt")), 0u);
}

TEST_F(FileCopy, MissingSourceFailsAndLeavesTheTarget)
{
    writeAll(file("target.txt"), "old");
    std::error_code ec;
    EXPECT_FALSE(platform::copyFileOverwriting(file("missing.txt"), file("target.txt"), ec));
    EXPECT_TRUE(ec);
    EXPECT_EQ(readAll(file("target.txt")), "old");
}

TEST_F(FileCopy, TargetInAMissingFolderFails)
{
    writeAll(file("source.txt"), "data");
    std::error_code ec;
    EXPECT_FALSE(platform::copyFileOverwriting(file("source.txt"), file("no/such/folder/target.txt"), ec));
    EXPECT_TRUE(ec);
    EXPECT_FALSE(fs::exists(file("no")));
}

} // namespace
} // namespace zelk::test

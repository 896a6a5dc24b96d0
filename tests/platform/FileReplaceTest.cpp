#include "platform/FileReplace.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace zelk::platform {
namespace {

using test::readAll;
using test::writeAll;

class FileReplace : public test::TempDirTest {};

TEST_F(FileReplace, ReplaceMovesSourceOverTarget)
{
    writeAll(file("parameters.xml.tmp"), "new");
    writeAll(file("parameters.xml"), "old");
    std::error_code ec = std::make_error_code(std::errc::io_error);
    EXPECT_TRUE(replaceFileDurably(file("parameters.xml.tmp"), file("parameters.xml"), ec));
    EXPECT_FALSE(ec);
    EXPECT_EQ(readAll(file("parameters.xml")), "new");
    EXPECT_FALSE(fs::exists(file("parameters.xml.tmp")));

    // A target that does not exist yet, named relative to the working folder.
    writeAll(file("fresh.tmp"), "fresh");
    EXPECT_TRUE(replaceFileDurably("fresh.tmp", "fresh.xml", ec));
    EXPECT_EQ(readAll(file("fresh.xml")), "fresh");
}

TEST_F(FileReplace, FailedReplaceLeavesSourceAndTarget)
{
    std::error_code ec;
    EXPECT_FALSE(replaceFileDurably(file("missing.tmp"), file("target.xml"), ec));
    EXPECT_TRUE(ec);
    EXPECT_FALSE(fs::exists(file("target.xml")));

    // The target is a folder with content: the move is refused and the
    // finished source stays for the next attempt.
    writeAll(file("target.xml/inner.txt"), "inner");
    writeAll(file("source.tmp"), "complete");
    ec.clear();
    EXPECT_FALSE(replaceFileDurably(file("source.tmp"), file("target.xml"), ec));
    EXPECT_TRUE(ec);
    EXPECT_EQ(readAll(file("source.tmp")), "complete");
    EXPECT_EQ(readAll(file("target.xml/inner.txt")), "inner");
}

TEST_F(FileReplace, WriteReplacesWholeFileWithoutSideFile)
{
    std::error_code ec;
    writeAll(file("Log.xml"), std::string(10000, 'o'));
    const std::string bytes = std::string("binary\0data\r\n", 13) + std::string(70000, 'x');
    EXPECT_TRUE(writeFileDurably(file("Log.xml"), bytes, ec));
    EXPECT_FALSE(ec);
    EXPECT_EQ(readAll(file("Log.xml")), bytes);
    EXPECT_FALSE(fs::exists(file("Log.xml.tmp")));

    EXPECT_TRUE(writeFileDurably(file("empty.xml"), "", ec));
    EXPECT_TRUE(fs::exists(file("empty.xml")));
    EXPECT_EQ(readAll(file("empty.xml")), "");
}

TEST_F(FileReplace, FailedWriteLeavesNoSideFileAndOldTarget)
{
    std::error_code ec;
    EXPECT_FALSE(writeFileDurably(file("no/such/folder/f.xml"), "x", ec));
    EXPECT_TRUE(ec);

    writeAll(file("busy.xml/inner.txt"), "inner");
    ec.clear();
    EXPECT_FALSE(writeFileDurably(file("busy.xml"), "replacement", ec));
    EXPECT_TRUE(ec);
    EXPECT_FALSE(fs::exists(file("busy.xml.tmp")));
    EXPECT_EQ(readAll(file("busy.xml/inner.txt")), "inner");
}

TEST_F(FileReplace, FlushFileToDisk)
{
    writeAll(file("done.bin"), "data");
    std::error_code ec;
    EXPECT_TRUE(flushFileToDisk(file("done.bin"), ec));
    EXPECT_FALSE(ec);
    EXPECT_FALSE(flushFileToDisk(file("gone.bin"), ec));
    EXPECT_TRUE(ec);
}

} // namespace
} // namespace zelk::platform

#include "core/FileUtils.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Log.h"
#include "core/Strings.h"
#include "support/LoggedTempDir.h"

namespace fs = std::filesystem;

namespace zelk {
namespace {

using test::readAll;
using test::writeAll;

class FileUtils : public test::LoggedTempDirTest {
protected:
    // True when the folder really refuses new entries (not so for root, who
    // ignores permission bits).
    static bool folderIsWriteProtected(const fs::path& folder)
    {
        const fs::path probe = folder / "probe";
        writeAll(probe, "x");
        std::error_code ec;
        const bool written = fs::exists(probe, ec);
        fs::remove(probe, ec);
        return !written;
    }
};

TEST_F(FileUtils, MoveFileRenamesAndReplacesTarget)
{
    writeAll(file("a.xml"), "new");
    writeAll(file("b.xml"), "old");
    EXPECT_TRUE(gf_moveFile(file("a.xml"), file("b.xml")));
    EXPECT_FALSE(fs::exists(file("a.xml")));
    EXPECT_EQ(readAll(file("b.xml")), "new");
}

TEST_F(FileUtils, MoveFileToAnotherVolume)
{
    // /dev/shm is a separate memory file system on most Linux systems, so the
    // rename fails there and the copy-and-remove path runs.
    const fs::path otherVolume = "/dev/shm";
    std::error_code ec;
    if (!fs::is_directory(otherVolume, ec)) GTEST_SKIP() << "no second volume to move to";
    const fs::path target = otherVolume / (dir().filename().string() + "-moved.txt");
    writeAll(file("scan.txt"), "payload");
    EXPECT_TRUE(gf_moveFile(file("scan.txt"), target));
    EXPECT_FALSE(fs::exists(file("scan.txt")));
    EXPECT_EQ(readAll(target), "payload");
    fs::remove(target, ec);
}

TEST_F(FileUtils, MoveFileFailures)
{
    EXPECT_FALSE(gf_moveFile(file("missing.txt"), file("to.txt")));
    EXPECT_FALSE(fs::exists(file("to.txt")));
    EXPECT_NE(log().find("==> could not move " + file("missing.txt").string() + " => " + file("to.txt").string() + ": "),
              std::string::npos)
        << log();
}

TEST_F(FileUtils, MoveFileKeepsCopyWhenSourceCannotBeRemoved)
{
    // The source folder refuses changes: the rename fails, the copy is made,
    // the removal of the source fails.
    writeAll(file("locked/src.txt"), "data");
    fs::permissions(file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    const bool enforced = folderIsWriteProtected(file("locked"));
    const bool moved = enforced && gf_moveFile(file("locked/src.txt"), file("target.txt"));
    fs::permissions(file("locked"), fs::perms::owner_all);
    if (!enforced) GTEST_SKIP() << "permission bits are not enforced for this user";
    EXPECT_FALSE(moved);
    EXPECT_EQ(readAll(file("target.txt")), "data");
    EXPECT_TRUE(fs::exists(file("locked/src.txt")));
    EXPECT_NE(log().find("==> could not remove " + file("locked/src.txt").string() + " after copy: "),
              std::string::npos)
        << log();
}

TEST_F(FileUtils, RemoveFilesKeepsSubFolders)
{
    writeAll(file("out/a.txt"), "a");
    writeAll(file("out/b.XML"), "b");
    writeAll(file("out/sub/c.txt"), "c");
    gf_removeFilesFromDirectory(file("out"));
    EXPECT_FALSE(fs::exists(file("out/a.txt")));
    EXPECT_FALSE(fs::exists(file("out/b.XML")));
    EXPECT_TRUE(fs::exists(file("out/sub/c.txt")));

    // Missing folder or a file instead of a folder: nothing happens, no throw.
    EXPECT_NO_THROW(gf_removeFilesFromDirectory(file("nothing")));
    writeAll(file("plain.txt"), "p");
    EXPECT_NO_THROW(gf_removeFilesFromDirectory(file("plain.txt")));
    EXPECT_TRUE(fs::exists(file("plain.txt")));
}

TEST_F(FileUtils, RemoveXmlFilesOnlyTouchesXmlInAnyCase)
{
    writeAll(file("apt/EDDF.xml"), "1");
    writeAll(file("apt/EHAM.XmL"), "2");
    writeAll(file("apt/notes.txt"), "3");
    writeAll(file("apt/EGLL.xml.bak"), "4");
    writeAll(file("apt/keep/KJFK.xml"), "5");
    gf_removeXMLFilesFromDirectory(file("apt"));
    EXPECT_FALSE(fs::exists(file("apt/EDDF.xml")));
    EXPECT_FALSE(fs::exists(file("apt/EHAM.XmL")));
    EXPECT_TRUE(fs::exists(file("apt/notes.txt")));
    EXPECT_TRUE(fs::exists(file("apt/EGLL.xml.bak")));
    EXPECT_TRUE(fs::exists(file("apt/keep/KJFK.xml")));
}

TEST_F(FileUtils, RemoveFilesLogsEachFailureAndGoesOn)
{
    writeAll(file("locked/a.txt"), "a");
    writeAll(file("locked/b.txt"), "b");
    fs::permissions(file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    const bool enforced = folderIsWriteProtected(file("locked"));
    EXPECT_NO_THROW(gf_removeFilesFromDirectory(file("locked")));
    fs::permissions(file("locked"), fs::perms::owner_all);
    if (!enforced) GTEST_SKIP() << "permission bits are not enforced for this user";
    EXPECT_TRUE(fs::exists(file("locked/a.txt")));
    const std::string text = log();
    EXPECT_NE(text.find("==> Failed to remove " + file("locked/a.txt").string() + " ("), std::string::npos) << text;
    EXPECT_NE(text.find("==> Failed to remove " + file("locked/b.txt").string() + " ("), std::string::npos) << text;
}

TEST_F(FileUtils, RemoveFilesLogsUnreadableFolder)
{
    writeAll(file("hidden/a.txt"), "a");
    fs::permissions(file("hidden"), fs::perms::none);
    const bool enforced = folderIsWriteProtected(file("hidden"));
    EXPECT_NO_THROW(gf_removeXMLFilesFromDirectory(file("hidden")));
    // The counters let a folder that cannot be read reach their caller.
    bool countThrew = false;
    bool listThrew = false;
    try {
        gf_countFilesInDirectory(file("hidden/inner"), "");
    } catch (const fs::filesystem_error&) {
        countThrew = true;
    }
    try {
        gf_icaoCodesOfXmlFiles(file("hidden"));
    } catch (const fs::filesystem_error&) {
        listThrew = true;
    }
    fs::permissions(file("hidden"), fs::perms::owner_all);
    if (!enforced) GTEST_SKIP() << "permission bits are not enforced for this user";
    EXPECT_NE(log().find("==> gf_removeXMLFilesFromDirectory exception: "), std::string::npos) << log();
    EXPECT_TRUE(countThrew);
    EXPECT_TRUE(listThrew);
}

TEST_F(FileUtils, SaveOneGeneration)
{
    writeAll(file("logs/Log.txt"), "first run");
    EXPECT_TRUE(gf_save1GenerationOf(file("logs/Log.txt")));
    EXPECT_EQ(readAll(file("logs/Log0.txt")), "first run");

    writeAll(file("logs/Log.txt"), "second run");
    EXPECT_TRUE(gf_save1GenerationOf(file("logs/Log.txt")));
    EXPECT_EQ(readAll(file("logs/Log0.txt")), "second run"); // one generation only
    EXPECT_FALSE(fs::exists(file("logs/Log00.txt")));
    EXPECT_EQ(readAll(file("logs/Log.txt")), "second run");  // a copy, not a move

    // Relative paths keep their folder.
    writeAll(file("parameters.xml"), "<p/>");
    EXPECT_TRUE(gf_save1GenerationOf("parameters.xml"));
    EXPECT_EQ(readAll(file("parameters0.xml")), "<p/>");
}

TEST_F(FileUtils, SaveOneGenerationEdgeCases)
{
    EXPECT_TRUE(gf_save1GenerationOf(file("absent.txt")));
    EXPECT_FALSE(fs::exists(file("absent0.txt")));

    writeAll(file("README"), "x");
    EXPECT_FALSE(gf_save1GenerationOf(file("README")));
    EXPECT_NE(log().find("==> gf_save1GenerationOf: no extension in filename: " + file("README").string() + "\n"),
              std::string::npos)
        << log();

    // The backup name is taken by a folder: the copy fails and says so.
    writeAll(file("data.bin"), "x");
    fs::create_directories(file("data0.bin/inner"));
    EXPECT_FALSE(gf_save1GenerationOf(file("data.bin")));
    EXPECT_NE(log().find("==> copy " + file("data.bin").string() + " -> " + file("data0.bin").string() + " failed: "),
              std::string::npos)
        << log();
}

TEST_F(FileUtils, CountFiles)
{
    writeAll(file("my_simaddon/EDDF.xml"), "");
    writeAll(file("my_simaddon/EHAM.xml"), "");
    writeAll(file("my_simaddon/EGLL.XML"), "");
    writeAll(file("my_simaddon/readme.txt"), "");
    writeAll(file("my_simaddon/deeper/KJFK.xml"), "");
    fs::create_directories(file("my_simaddon/folder.xml"));
    EXPECT_EQ(gf_countFilesInDirectory(file("my_simaddon"), ".xml"), 2);
    EXPECT_EQ(gf_countFilesInDirectory(file("my_simaddon"), ".XML"), 1);
    EXPECT_EQ(gf_countFilesInDirectory(file("my_simaddon"), ""), 4);
    EXPECT_EQ(gf_countFilesInDirectory(file("my_simaddon"), ".pln"), 0);
    EXPECT_EQ(gf_countFilesInDirectory(file("nowhere"), ""), 0);
}

TEST_F(FileUtils, AirportCodesOfXmlFiles)
{
    writeAll(file("apt/eddf.XML"), "");
    writeAll(file("apt/EHAM.xml"), "");
    writeAll(file("apt/EDDF.txt"), "");
    writeAll(file("apt/EDDFX.xml"), "");
    writeAll(file("apt/ABC.xml"), "");
    fs::create_directories(file("apt/KJFK.xml"));
    auto codes = gf_icaoCodesOfXmlFiles(file("apt"));
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<IcaoCode>{IcaoCode("EDDF"), IcaoCode("EHAM")}));
    EXPECT_GE(codes.capacity(), 512u);
    EXPECT_TRUE(gf_icaoCodesOfXmlFiles(file("none")).empty());
}

TEST_F(FileUtils, BadAirportFileNameIsSkippedNotFatal)
{
    writeAll(file("apt/ED-F.xml"), "");
    writeAll(file("apt/LFPG.xml"), "");
    writeAll(file("apt/E F!.xml"), "");
    std::vector<IcaoCode> codes;
    ASSERT_NO_THROW(codes = gf_icaoCodesOfXmlFiles(file("apt")));
    EXPECT_EQ(codes, (std::vector<IcaoCode>{IcaoCode("LFPG")}));
    const std::string text = log();
    // The folder listing names files with the system's separator.
    EXPECT_NE(text.find("==> " + path_to_utf8(file("apt") / "ED-F.xml") + " is no airport file name, skipped"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(path_to_utf8(file("apt") / "E F!.xml")), std::string::npos) << text;
}

TEST_F(FileUtils, WriteTextFile)
{
    EXPECT_TRUE(gf_writeTextFile("line one\r\nline two", file("README.txt"), true));
    EXPECT_EQ(readAll(file("README.txt")), "line one\r\nline two\n");
    EXPECT_TRUE(gf_writeTextFile("short", file("README.txt"), false));
    EXPECT_EQ(readAll(file("README.txt")), "short"); // truncated, no newline
    EXPECT_TRUE(gf_writeTextFile("", file("empty.txt"), false));
    EXPECT_TRUE(fs::exists(file("empty.txt")));
    EXPECT_FALSE(gf_writeTextFile("x", file("no/such/folder/f.txt"), true));
}

TEST_F(FileUtils, ScopedFileRemover)
{
    writeAll(file("half.xml.scan_tmp"), "half");
    writeAll(file("done.xml.scan_tmp"), "done");
    {
        ScopedFileRemover guard(file("half.xml.scan_tmp"));
        EXPECT_TRUE(guard.armed());
    }
    {
        ScopedFileRemover guard(file("done.xml.scan_tmp"));
        guard.disarm();
        EXPECT_FALSE(guard.armed());
    }
    EXPECT_FALSE(fs::exists(file("half.xml.scan_tmp")));
    EXPECT_TRUE(fs::exists(file("done.xml.scan_tmp")));
    EXPECT_NO_THROW({ ScopedFileRemover guard(file("never-written.tmp")); });
}

} // namespace
} // namespace zelk

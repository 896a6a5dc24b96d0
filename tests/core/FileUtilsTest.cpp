#include "core/FileUtils.h"

#include <algorithm>
#include <filesystem>
#include <functional>
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
    void expectLogged(const std::string& text) { EXPECT_NE(log().find(text), std::string::npos) << log(); }

    // Makes the folder read-only; true when that really refuses new entries
    // (not so for root, who ignores permission bits).
    bool writeProtect(const fs::path& folder, fs::perms perms = fs::perms::owner_read | fs::perms::owner_exec)
    {
        fs::permissions(folder, perms);
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

    EXPECT_FALSE(gf_moveFile(file("a.xml"), file("to.txt")));
    EXPECT_FALSE(fs::exists(file("to.txt")));
    expectLogged("==> could not move " + file("a.xml").string() + " => " + file("to.txt").string() + ": ");
}

TEST_F(FileUtils, MoveFileToAnotherVolume)
{
    // /dev/shm is a separate memory file system on most Linux systems, so the
    // rename fails there and the copy-and-remove path runs.
    std::error_code ec;
    if (!fs::is_directory("/dev/shm", ec)) GTEST_SKIP() << "no second volume to move to";
    const fs::path target = "/dev/shm/" + dir().filename().string() + "-moved.txt";
    writeAll(file("scan.txt"), "payload");
    EXPECT_TRUE(gf_moveFile(file("scan.txt"), target));
    EXPECT_FALSE(fs::exists(file("scan.txt")));
    EXPECT_EQ(readAll(target), "payload");
    fs::remove(target, ec);
}

TEST_F(FileUtils, MoveFileKeepsCopyWhenSourceCannotBeRemoved)
{
    // The rename fails, the copy is made, the removal of the source fails.
    writeAll(file("locked/src.txt"), "data");
    const bool enforced = writeProtect(file("locked"));
    const bool moved = enforced && gf_moveFile(file("locked/src.txt"), file("target.txt"));
    fs::permissions(file("locked"), fs::perms::owner_all);
    if (!enforced) GTEST_SKIP() << "permission bits are not enforced for this user";
    EXPECT_FALSE(moved);
    EXPECT_EQ(readAll(file("target.txt")), "data");
    EXPECT_TRUE(fs::exists(file("locked/src.txt")));
    expectLogged("==> could not remove " + file("locked/src.txt").string() + " after copy: ");
}

TEST_F(FileUtils, RemoveFilesKeepsSubFolders)
{
    for (const char* name : {"a.txt", "b.XML", "c.xml", "c.xml.bak", "sub/d.xml"}) {
        writeAll(file("out") / name, "x");
        writeAll(file("apt") / name, "x");
    }
    gf_removeFilesFromDirectory(file("out"));
    gf_removeXMLFilesFromDirectory(file("apt"));
    EXPECT_EQ(gf_countFilesInDirectory(file("out"), ""), 0);
    EXPECT_TRUE(fs::exists(file("out/sub/d.xml")));
    EXPECT_EQ(gf_countFilesInDirectory(file("apt"), ""), 2); // a.txt, c.xml.bak
    EXPECT_TRUE(fs::exists(file("apt/c.xml.bak")));
    EXPECT_TRUE(fs::exists(file("apt/sub/d.xml")));

    // Missing folder or a file instead of a folder: nothing happens, no throw.
    EXPECT_NO_THROW(gf_removeFilesFromDirectory(file("nothing")));
    EXPECT_NO_THROW(gf_removeFilesFromDirectory(file("out/sub/d.xml")));
    EXPECT_TRUE(fs::exists(file("out/sub/d.xml")));
}

TEST_F(FileUtils, RemoveFilesLogsEachFailureAndGoesOn)
{
    writeAll(file("locked/a.txt"), "a");
    writeAll(file("locked/b.txt"), "b");
    const bool enforced = writeProtect(file("locked"));
    EXPECT_NO_THROW(gf_removeFilesFromDirectory(file("locked")));
    fs::permissions(file("locked"), fs::perms::owner_all);
    if (!enforced) GTEST_SKIP() << "permission bits are not enforced for this user";
    EXPECT_TRUE(fs::exists(file("locked/a.txt")));
    expectLogged("==> Failed to remove " + file("locked/a.txt").string() + " (");
    expectLogged("==> Failed to remove " + file("locked/b.txt").string() + " (");
}

TEST_F(FileUtils, RemoveFilesLogsUnreadableFolder)
{
    writeAll(file("hidden/a.txt"), "a");
    const bool enforced = writeProtect(file("hidden"), fs::perms::none);
    EXPECT_NO_THROW(gf_removeXMLFilesFromDirectory(file("hidden")));
    // The counters let a folder that cannot be read reach their caller.
    const auto throws = [](const auto& call) {
        try {
            call();
        } catch (const fs::filesystem_error&) {
            return true;
        }
        return false;
    };
    const bool countThrew = throws([&] { gf_countFilesInDirectory(file("hidden/inner"), ""); });
    const bool listThrew = throws([&] { gf_icaoCodesOfXmlFiles(file("hidden")); });
    fs::permissions(file("hidden"), fs::perms::owner_all);
    if (!enforced) GTEST_SKIP() << "permission bits are not enforced for this user";
    expectLogged("==> gf_removeXMLFilesFromDirectory exception: ");
    EXPECT_TRUE(countThrew);
    EXPECT_TRUE(listThrew);
}

TEST_F(FileUtils, SaveOneGeneration)
{
    writeAll(file("logs/Log.txt"), "first run");
    EXPECT_TRUE(gf_save1GenerationOf(file("logs/Log.txt")));
    writeAll(file("logs/Log.txt"), "second run");
    EXPECT_TRUE(gf_save1GenerationOf(file("logs/Log.txt")));
    EXPECT_EQ(readAll(file("logs/Log0.txt")), "second run"); // one generation only
    EXPECT_FALSE(fs::exists(file("logs/Log00.txt")));
    EXPECT_EQ(readAll(file("logs/Log.txt")), "second run"); // a copy, not a move

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
    expectLogged("==> gf_save1GenerationOf: no extension in filename: " + file("README").string() + "\n");

    // The backup name is taken by a folder: the copy fails and says so.
    writeAll(file("data.bin"), "x");
    fs::create_directories(file("data0.bin/inner"));
    EXPECT_FALSE(gf_save1GenerationOf(file("data.bin")));
    expectLogged("==> copy " + file("data.bin").string() + " -> " + file("data0.bin").string() + " failed: ");
}

bool isWritable(const fs::path& p)
{
    return (fs::symlink_status(p).permissions() & fs::perms::owner_write) != fs::perms::none;
}

// What stands at a kept copy's name: a link is replaced itself, what it
// leads to is neither written nor made writable; a copy that cannot be made
// beside it leaves it as it was. (The callers' rows, a full disk and
// read-only copies among them, are core.ParametersFile cases.)
TEST_F(FileUtils, KeptCopyIsReplacedWholeOrLeftAsItWas)
{
    writeAll(file("source.txt"), "new");
    writeAll(file("users.txt"), "the user's");
    fs::permissions(file("users.txt"), fs::perms::owner_read);
    struct Row {
        const char* what;
        std::function<bool(const fs::path& kept)> make; // false: this system cannot make the row
        bool replaced;
    };
    const Row rows[] = {
        {"a link to the user's read-only file",
         [this](const fs::path& kept) {
             std::error_code ec;
             fs::create_symlink(file("users.txt"), kept, ec);
             return !ec;
         },
         true},
        {"a folder at the side file's name",
         [](const fs::path& kept) {
             writeAll(kept, "old");
             fs::create_directories(fs::path(kept.string() + ".tmp") / "inner");
             return true;
         },
         false},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path kept = file("row" + std::to_string(++n) + "/kept.txt");
        fs::create_directories(kept.parent_path());
        if (!row.make(kept)) continue;
        std::error_code ec;
        EXPECT_EQ(gf_copyOverKeptFile(file("source.txt"), kept, ec), row.replaced) << ec.message();
        EXPECT_EQ(bool(ec), !row.replaced);
        EXPECT_EQ(readAll(kept), row.replaced ? "new" : "old");
        EXPECT_FALSE(fs::is_regular_file(fs::path(kept.string() + ".tmp")));
        EXPECT_EQ(fs::symlink_status(kept).type(), fs::file_type::regular);
    }
    EXPECT_EQ(readAll(file("users.txt")), "the user's");
    EXPECT_FALSE(isWritable(file("users.txt")));
    fs::permissions(file("users.txt"), fs::perms::owner_all);
}

TEST_F(FileUtils, CountFiles)
{
    for (const char* name : {"EDDF.xml", "EHAM.xml", "EGLL.XML", "readme.txt", "deeper/KJFK.xml"})
        writeAll(file("my_simaddon") / name, "");
    fs::create_directories(file("my_simaddon/folder.xml"));
    EXPECT_EQ(gf_countFilesInDirectory(file("my_simaddon"), ".xml"), 2);
    EXPECT_EQ(gf_countFilesInDirectory(file("my_simaddon"), ".XML"), 1);
    EXPECT_EQ(gf_countFilesInDirectory(file("my_simaddon"), ""), 4);
    EXPECT_EQ(gf_countFilesInDirectory(file("nowhere"), ""), 0);
}

TEST_F(FileUtils, AirportCodesOfXmlFiles)
{
    // Wrong extension, wrong length and folders are passed over; a bad name
    // is skipped with a notice instead of ending the listing.
    for (const char* name : {"eddf.XML", "EHAM.xml", "EDDF.txt", "EDDFX.xml", "ABC.xml", "ED-F.xml", "E F!.xml"})
        writeAll(file("apt") / name, "");
    fs::create_directories(file("apt/KJFK.xml"));
    std::vector<IcaoCode> codes;
    ASSERT_NO_THROW(codes = gf_icaoCodesOfXmlFiles(file("apt")));
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(codes, (std::vector<IcaoCode>{IcaoCode("EDDF"), IcaoCode("EHAM")}));
    EXPECT_TRUE(gf_icaoCodesOfXmlFiles(file("none")).empty());
    // The folder listing names files with the system's separator.
    expectLogged("==> " + path_to_utf8(file("apt") / "ED-F.xml") + " is no airport file name, skipped");
    expectLogged(path_to_utf8(file("apt") / "E F!.xml"));
}

TEST_F(FileUtils, WriteTextFile)
{
    EXPECT_TRUE(gf_writeTextFile("line one\r\nline two", file("README.txt"), true));
    EXPECT_EQ(readAll(file("README.txt")), "line one\r\nline two\n");
    EXPECT_TRUE(gf_writeTextFile("short", file("README.txt"), false));
    EXPECT_EQ(readAll(file("README.txt")), "short"); // truncated, no newline
    EXPECT_FALSE(gf_writeTextFile("x", file("no/such/folder/f.txt"), true));
}

TEST_F(FileUtils, ScopedFileRemover)
{
    writeAll(file("half.xml.scan_tmp"), "half");
    writeAll(file("done.xml.scan_tmp"), "done");
    {
        ScopedFileRemover half(file("half.xml.scan_tmp"));
        ScopedFileRemover done(file("done.xml.scan_tmp"));
        done.disarm();
        ScopedFileRemover never(file("never-written.tmp"));
    }
    EXPECT_FALSE(fs::exists(file("half.xml.scan_tmp")));
    EXPECT_TRUE(fs::exists(file("done.xml.scan_tmp")));
}

} // namespace
} // namespace zelk

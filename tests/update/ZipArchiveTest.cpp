#include "core/ZipArchive.h"
#include "support/TempDir.h"

#include <filesystem>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace zelk {
namespace {

class ZipArchiveTest : public test::TempDirTest {
protected:
    // An archive with a folder, a compressible file and an empty file.
    std::filesystem::path makeSample(const std::string& name = "sample.zip")
    {
        ZipArchive zip(file(name));
        EXPECT_TRUE(zip.open(ZipArchive::OpenMode::New)) << zip.lastError();
        EXPECT_TRUE(zip.addFolder("docs/"));
        EXPECT_TRUE(zip.addData("docs/readme.txt", content_));
        EXPECT_TRUE(zip.addData("empty.bin", ""));
        EXPECT_EQ(zip.close(), 0) << zip.lastError();
        return file(name);
    }

    std::string content_ = [] {
        std::string s;
        for (int i = 0; i < 2000; ++i) s += "line " + std::to_string(i) + "\n";
        return s;
    }();
};

TEST_F(ZipArchiveTest, WrittenArchiveReadsBackEntryByEntry)
{
    const auto path = makeSample();
    ZipArchive zip(path);
    ASSERT_TRUE(zip.open(ZipArchive::OpenMode::ReadOnly)) << zip.lastError();
    const auto entries = zip.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "docs/");
    EXPECT_TRUE(entries[0].isDirectory());
    EXPECT_EQ(entries[1].name, "docs/readme.txt");
    EXPECT_TRUE(entries[1].isFile());
    EXPECT_EQ(entries[1].size, content_.size());
    EXPECT_EQ(entries[2].size, 0u);

    // A chunk size that does not divide the content exercises the last partial piece.
    std::ostringstream out;
    EXPECT_EQ(zip.readEntry(entries[1], out, 7), kZipReadOk);
    EXPECT_EQ(out.str(), content_);

    std::ostringstream empty;
    EXPECT_EQ(zip.readEntry(entries[2], empty, 524288), kZipReadOk);
    EXPECT_TRUE(empty.str().empty());
    zip.discard();
    EXPECT_FALSE(zip.isOpen());
}

// Each deflate level packs the same content, the faster ones less tightly,
// and every one reads back whole.
TEST_F(ZipArchiveTest, DeflateLevelsPackAndReadBack)
{
    std::uintmax_t sizes[3] = {};
    const int levels[3] = {1, 9, 0};
    for (int i = 0; i < 3; ++i) {
        const auto path = file("level" + std::to_string(levels[i]) + ".zip");
        {
            ZipArchive zip(path);
            ASSERT_TRUE(zip.open(ZipArchive::OpenMode::New));
            ASSERT_TRUE(zip.addData("content.txt", content_ + content_, levels[i])) << zip.lastError();
            ASSERT_EQ(zip.close(), 0) << zip.lastError();
        }
        sizes[i] = std::filesystem::file_size(path);
        EXPECT_LT(sizes[i], content_.size()) << "level " << levels[i] << " packs";
        ZipArchive zip(path);
        ASSERT_TRUE(zip.open(ZipArchive::OpenMode::ReadOnly));
        std::ostringstream out;
        ASSERT_EQ(zip.readEntry(zip.entries().at(0), out, 4096), kZipReadOk);
        EXPECT_EQ(out.str(), content_ + content_) << "level " << levels[i];
    }
    EXPECT_GE(sizes[0], sizes[1]) << "the fastest level packs no tighter than the smallest";
}

TEST_F(ZipArchiveTest, UnusableFilesAreRefusedAtOpen)
{
    ZipArchive missing(file("missing.zip"));
    EXPECT_FALSE(missing.open(ZipArchive::OpenMode::ReadOnly));
    EXPECT_FALSE(missing.lastError().empty());

    test::writeAll(file("garbage.zip"), "this is not a zip archive at all, just text");
    ZipArchive garbage(file("garbage.zip"));
    EXPECT_FALSE(garbage.open(ZipArchive::OpenMode::ReadOnly));

    // Cutting the end removes the central directory's end record.
    const auto path = makeSample();
    std::string bytes = test::readAll(path);
    test::writeAll(file("cut.zip"), bytes.substr(0, bytes.size() - 12));
    ZipArchive cut(file("cut.zip"));
    EXPECT_FALSE(cut.open(ZipArchive::OpenMode::ReadOnly));
}

TEST_F(ZipArchiveTest, MisuseGivesErrorsNotCrashes)
{
    const auto path = makeSample();
    ZipArchive zip(path);
    ZipEntry ghost{"docs/readme.txt", 1, 0};
    std::ostringstream out;
    EXPECT_EQ(zip.readEntry(ghost, out, 16), kZipNotOpen);
    EXPECT_FALSE(zip.addData("x", "y"));
    EXPECT_EQ(zip.close(), kZipNotOpen);

    ASSERT_TRUE(zip.open(ZipArchive::OpenMode::ReadOnly));
    EXPECT_FALSE(zip.open(ZipArchive::OpenMode::ReadOnly)); // already open
    EXPECT_FALSE(zip.addData("x", "y"));                     // read-only
    EXPECT_EQ(zip.readEntry(ghost, out, 0), kZipInvalidParameter);
    ZipEntry wrongName{"other.txt", 1, 0};
    EXPECT_EQ(zip.readEntry(wrongName, out, 16), kZipInvalidEntry);
    ZipEntry outOfRange{"docs/readme.txt", 99, 0};
    EXPECT_EQ(zip.readEntry(outOfRange, out, 16), kZipInvalidEntry);

    std::ostringstream broken;
    broken.setstate(std::ios::badbit);
    EXPECT_EQ(zip.readEntry(zip.entries()[1], broken, 16), kZipOutputWriteFailed);
}

TEST_F(ZipArchiveTest, NonAsciiNamesSurviveAndAnUnclosedArchiveLeavesNoFile)
{
    {
        ZipArchive zip(file("never.zip"));
        ASSERT_TRUE(zip.open(ZipArchive::OpenMode::New));
        ASSERT_TRUE(zip.addData("a.txt", "abc"));
    }
    EXPECT_FALSE(std::filesystem::exists(file("never.zip")));

    const std::filesystem::path path = dir() / std::filesystem::path(u8"\u00e9t\u00e9.zip");
    {
        ZipArchive zip(path);
        ASSERT_TRUE(zip.open(ZipArchive::OpenMode::New)) << zip.lastError();
        ASSERT_TRUE(zip.addData("Z\xC3\xBCrich.xml", "<x/>"));
        ASSERT_EQ(zip.close(), 0);
    }
    ZipArchive zip(path);
    ASSERT_TRUE(zip.open(ZipArchive::OpenMode::ReadOnly)) << zip.lastError();
    ASSERT_EQ(zip.entries().size(), 1u);
    EXPECT_EQ(zip.entries()[0].name, "Z\xC3\xBCrich.xml");
}

} // namespace
} // namespace zelk

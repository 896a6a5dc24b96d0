#include "core/PeVersion.h"
#include "support/TempDir.h"
#include "update/PeImageBuilder.h"

#include <random>

#include <gtest/gtest.h>

namespace zelk {
namespace {

using test::PeImageLayout;

class PeVersionTest : public test::TempDirTest {
protected:
    PeVersionResult readImage(const PeImageLayout& layout)
    {
        test::writeAll(file("image.exe"), test::gf_buildPeImage(layout));
        return gf_readPeFixedFileInfo(file("image.exe"));
    }
};

// Both image kinds, with a named type entry ahead of the id entries or not.
TEST_F(PeVersionTest, ProductAndFileVersionsOfBothImageKinds)
{
    for (bool plus : {true, false}) {
        PeImageLayout layout;
        layout.pe32Plus = plus;
        layout.namedEntryFirst = !plus;
        layout.product[0] = 2, layout.product[1] = 1, layout.product[2] = 0, layout.product[3] = 7;
        layout.file[0] = 9, layout.file[1] = 8, layout.file[2] = 7, layout.file[3] = 6;
        const auto result = readImage(layout);
        ASSERT_TRUE(result.info) << "pe32+ " << plus << " error " << static_cast<int>(result.error);
        EXPECT_EQ(result.error, PeVersionError::None);
        EXPECT_EQ(result.info->productVersionMS, 0x00020001u);
        EXPECT_EQ(result.info->productVersionLS, 0x00000007u);
        EXPECT_EQ(result.info->fileVersionMS, 0x00090008u);
        EXPECT_EQ(result.info->fileVersionLS, 0x00070006u);
    }
}

TEST_F(PeVersionTest, MissingOrWrongVersionResourceAndNonImages)
{
    const std::vector<std::pair<PeImageLayout, PeVersionError>> images{
        {{.withResources = false}, PeVersionError::ResourceTypeNotFound},
        {{.withVersionResource = false}, PeVersionError::ResourceTypeNotFound},
        {{.signature = 0xFEEF04BE}, PeVersionError::InvalidVersionData},
        {{.valueLength = 51}, PeVersionError::InvalidVersionData},
    };
    for (const auto& [layout, error] : images) {
        const auto result = readImage(layout);
        EXPECT_EQ(result.error, error);
        EXPECT_FALSE(result.info);
    }
    EXPECT_EQ(gf_readPeFixedFileInfo(file("absent.exe")).error, PeVersionError::FileNotFound);
    for (const char* bytes : {"MZ but nothing else of an image", ""}) {
        test::writeAll(file("text.exe"), bytes);
        EXPECT_EQ(gf_readPeFixedFileInfo(file("text.exe")).error, PeVersionError::BadImageFormat) << bytes;
    }
}

TEST_F(PeVersionTest, EveryTruncationIsRefused)
{
    const std::string image = test::gf_buildPeImage(PeImageLayout{});
    const std::size_t signatureAt = image.find("\xBD\x04\xEF\xFE");
    ASSERT_NE(signatureAt, std::string::npos);
    const std::size_t fixedPartEnd = signatureAt + 52;
    // Every cut before the end of the fixed part must fail cleanly, never read
    // beyond the file.
    for (std::size_t cut = 0; cut < image.size(); cut += 3) {
        test::writeAll(file("cut.exe"), image.substr(0, cut));
        const auto result = gf_readPeFixedFileInfo(file("cut.exe"));
        if (result.info) {
            EXPECT_GE(cut, fixedPartEnd) << "version read from a file cut at " << cut;
        } else {
            EXPECT_NE(result.error, PeVersionError::None);
        }
    }
}

TEST_F(PeVersionTest, RandomDamageNeverReadsOutOfBounds)
{
    const std::string image = test::gf_buildPeImage(PeImageLayout{});
    std::mt19937 engine(12345);
    std::uniform_int_distribution<std::size_t> position(0, image.size() - 1);
    std::uniform_int_distribution<int> value(0, 255);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = image;
        for (int k = 0; k < 4; ++k) damaged[position(engine)] = static_cast<char>(value(engine));
        test::writeAll(file("damaged.exe"), damaged);
        const auto result = gf_readPeFixedFileInfo(file("damaged.exe"));
        EXPECT_EQ(result.info.has_value(), result.error == PeVersionError::None);
    }
}

} // namespace
} // namespace zelk

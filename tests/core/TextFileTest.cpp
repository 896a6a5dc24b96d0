#include "core/TextFile.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Log.h"
#include "platform/SystemCodePage.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

using Lines = std::vector<std::string>;
using test::readAll;
using test::writeAll;

// Each test gets its own folder with its own Log.txt, so the notices of the
// reader can be checked.
class TextFile : public test::LoggedTempDirTest {
protected:
    TextEncoding detect(const std::string& bytes)
    {
        writeAll(file("sample.cfg"), bytes);
        return gf_detectTextEncoding(file("sample.cfg"));
    }
    Lines readAs(TextEncoding encoding, const std::string& bytes, bool expectOk = true)
    {
        writeAll(file("in.cfg"), bytes);
        Lines lines;
        EXPECT_EQ(gf_readTextLinesAsUtf8(encoding, file("in.cfg"), kMaxPackageTextFileBytes, lines), expectOk);
        return lines;
    }
};

std::string utf16(std::u16string_view s, bool bigEndian)
{
    std::string out;
    for (char16_t u : s) {
        const char pair[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        out.push_back(pair[bigEndian ? 1 : 0]);
        out.push_back(pair[bigEndian ? 0 : 1]);
    }
    return out;
}

TEST_F(TextFile, DetectsMarksAndUtf16WithoutMark)
{
    EXPECT_EQ(detect("\xEF\xBB\xBFtitle=x\r\n"), TextEncoding::UTF8_with_BOM);
    EXPECT_EQ(detect("\xFF\xFE" + utf16(u"title", false)), TextEncoding::Unicode);
    EXPECT_EQ(detect("\xFE\xFF" + utf16(u"title", true)), TextEncoding::Unicode_big_endian);
    EXPECT_EQ(detect(utf16(u"title", false)), TextEncoding::Unicode); // no mark
    EXPECT_EQ(detect(utf16(u"title", true)), TextEncoding::Unicode_big_endian);
    EXPECT_EQ(detect(utf16(u"t", false)), TextEncoding::Unicode); // two bytes only
    EXPECT_EQ(gf_detectTextEncoding(file("missing.cfg")), TextEncoding::none_found);
}

TEST_F(TextFile, DetectsUtf8AndAnsiByValidity)
{
    EXPECT_EQ(detect(""), TextEncoding::UTF8_without_BOM);
    EXPECT_EQ(detect("[fltsim.0]\r\ntitle=Airbus\r\n"), TextEncoding::UTF8_without_BOM);
    EXPECT_EQ(detect("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9B\xAB"), TextEncoding::UTF8_without_BOM);
    EXPECT_EQ(detect("caf\xE9 au lait"), TextEncoding::ANSI); // Latin-1 e acute
    EXPECT_EQ(detect("\x80 euro"), TextEncoding::ANSI);
    EXPECT_EQ(detect("x\xC0\xAF"), TextEncoding::ANSI);      // overlong
    EXPECT_EQ(detect("x\xE0\x80\xAF"), TextEncoding::ANSI);  // overlong three-byte
    EXPECT_EQ(detect("x\xF4\x90\x80\x80"), TextEncoding::ANSI); // above U+10FFFF
    EXPECT_EQ(detect("x\xED\xA0\x80"), TextEncoding::ANSI);     // an encoded surrogate
    EXPECT_EQ(detect("x\xC3"), TextEncoding::ANSI);          // cut at the true end of the file
}

// ASCII is passed over in words of eight bytes: a byte of another kind is
// judged wherever it falls in a word, and so is the end of the text.
TEST_F(TextFile, EveryPlaceInAWordIsJudged)
{
    for (std::size_t at = 0; at < 20; ++at) {
        SCOPED_TRACE(at);
        const std::string before(at, 'a');
        EXPECT_EQ(detect(before + "\xE9" + std::string(17, 'b')), TextEncoding::ANSI);
        EXPECT_EQ(detect(before + "\xC3\xA9" + std::string(at, 'b')), TextEncoding::UTF8_without_BOM);
        EXPECT_EQ(detect(before + "\xC3"), TextEncoding::ANSI);
        EXPECT_EQ(detect(before), TextEncoding::UTF8_without_BOM);
    }
}

TEST_F(TextFile, SequenceCutBySampleEndCountsWhenFileGoesOn)
{
    // The euro sign starts at byte 4094 of 4096: the sample holds only two of
    // its three bytes, the file holds all of them.
    const std::string head(kEncodingSampleBytes - 2, 'a');
    const std::string whole = head + "\xE2\x82\xAC tail\r\n";
    EXPECT_EQ(detect(whole), TextEncoding::UTF8_without_BOM);
    const Lines lines = readAs(gf_detectTextEncoding(file("sample.cfg")), whole);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], head + "\xE2\x82\xAC tail");

    // The same cut at the true end of the file is a broken sequence.
    EXPECT_EQ(detect(head + "\xE2\x82"), TextEncoding::ANSI);
    // A cut sequence whose present bytes are already wrong stays wrong.
    EXPECT_EQ(detect(std::string(kEncodingSampleBytes - 1, 'a') + "\xE0\x80\x80 more"), TextEncoding::UTF8_without_BOM)
        << "only the lead byte is in the sample";
    EXPECT_EQ(detect(std::string(kEncodingSampleBytes - 2, 'a') + "\xE0\x80\x80 more"), TextEncoding::ANSI);
    // Bytes beyond the sample are not looked at.
    EXPECT_EQ(detect(std::string(kEncodingSampleBytes, 'a') + "\xE9"), TextEncoding::UTF8_without_BOM);
}

TEST_F(TextFile, ReadsUtf8WithAndWithoutMark)
{
    EXPECT_EQ(readAs(TextEncoding::UTF8_with_BOM, "\xEF\xBB\xBFtitle=A\xC3\xA9\r\n\r\nx=1\n"),
              (Lines{"title=A\xC3\xA9", "", "x=1"}));
    EXPECT_EQ(readAs(TextEncoding::UTF8_without_BOM, "a\nb"), (Lines{"a", "b"}));
    EXPECT_TRUE(readAs(TextEncoding::UTF8_without_BOM, "").empty());
}

TEST_F(TextFile, ReadsUtf16InEitherByteOrder)
{
    const std::u16string text = u"title=\u00C9t\u00E9\r\nicao=\u20AC\U0001F6EB\r\n";
    const Lines expected{"title=\xC3\x89t\xC3\xA9", "icao=\xE2\x82\xAC\xF0\x9F\x9B\xAB"};
    EXPECT_EQ(readAs(TextEncoding::Unicode, "\xFF\xFE" + utf16(text, false)), expected);
    EXPECT_EQ(readAs(TextEncoding::Unicode_big_endian, "\xFE\xFF" + utf16(text, true)), expected);
    // The mark wins over the detected order.
    EXPECT_EQ(readAs(TextEncoding::Unicode, "\xFE\xFF" + utf16(text, true)), expected);
}

TEST_F(TextFile, Utf16WithoutMarkIsReadInDetectedOrder)
{
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian);
        const std::string bytes = utf16(u"[fltsim.0]\r\ntitle=B738\r\n", bigEndian);
        EXPECT_EQ(readAs(detect(bytes), bytes), (Lines{"[fltsim.0]", "title=B738"}));
    }
}

TEST_F(TextFile, BrokenUtf16FailsWithLogLine)
{
    // Odd length: the last character is cut; no half text reported as the file.
    EXPECT_TRUE(readAs(TextEncoding::Unicode, "\xFF\xFE" + utf16(u"ab", false) + "c", false).empty());
    EXPECT_NE(log().find("==> Read failed for '"), std::string::npos) << log();
    EXPECT_NE(log().find("in.cfg': UTF-16 text of odd length (7 bytes)"), std::string::npos) << log();

    // A lone surrogate.
    const std::string lone = "\xFF\xFE" + utf16(u"a", false) + std::string("\x00\xD8", 2);
    EXPECT_TRUE(readAs(TextEncoding::Unicode, lone, false).empty());
    EXPECT_NE(log().find("wide_to_utf8: invalid UTF-16"), std::string::npos) << log();
}

// ANSI files are read in the system's code page (Windows-1252 off Windows):
// the same bytes are other letters on a Cyrillic or a Central European system.
// The Windows build runs this under each of these code pages.
TEST_F(TextFile, ReadsAnsiInTheSystemCodePage)
{
    struct Case {
        unsigned codePage;
        Lines utf8;
    };
    const std::string ansi = "title=caf\xE9 \xC0\xFD\xF0\xEE\xF4\xEB\xEE\xF2\r\n\x80 5\x9F \x8A\xE8\xB9\xB3";
    const std::vector<Case> cases{
        {1252, {"title=caf\xC3\xA9 \xC3\x80\xC3\xBD\xC3\xB0\xC3\xAE\xC3\xB4\xC3\xAB\xC3\xAE\xC3\xB2", // title=café Àýðîôëîò
              "\xE2\x82\xAC 5\xC5\xB8 \xC5\xA0\xC3\xA8\xC2\xB9\xC2\xB3"}}, // € 5Ÿ Šè¹³
        {1251, {"title=caf\xD0\xB9 \xD0\x90\xD1\x8D\xD1\x80\xD0\xBE\xD1\x84\xD0\xBB\xD0\xBE\xD1\x82", // title=cafй Аэрофлот
              "\xD0\x82 5\xD1\x9F \xD0\x89\xD0\xB8\xE2\x84\x96\xD1\x96"}}, // Ђ 5џ Љи№і
        {1250, {"title=caf\xC3\xA9 \xC5\x94\xC3\xBD\xC4\x91\xC3\xAE\xC3\xB4\xC3\xAB\xC3\xAE\xC5\x88", // title=café Ŕýđîôëîň
              "\xE2\x82\xAC 5\xC5\xBA \xC5\xA0\xC4\x8D\xC4\x85\xC5\x82"}}, // € 5ź Ščął
    };
    const unsigned codePage = platform::systemAnsiCodePage();
    const auto c = std::find_if(cases.begin(), cases.end(), [&](const Case& k) { return k.codePage == codePage; });
    ASSERT_NE(c, cases.end()) << "no case for code page " << codePage;
    EXPECT_EQ(readAs(TextEncoding::ANSI, ansi), c->utf8);
    EXPECT_EQ(gf_ansiToUtf8("\x80 5\x9F \x8A\xE8\xB9\xB3"), c->utf8[1]);
    EXPECT_EQ(gf_ansiToUtf8(""), "");
}

TEST_F(TextFile, UnknownEncodingAndMissingFileFail)
{
    EXPECT_TRUE(readAs(TextEncoding::none_found, "x", false).empty());
    EXPECT_NE(log().find("has unknown charset: none_found"), std::string::npos) << log();

    Lines lines;
    EXPECT_FALSE(gf_readTextLinesAsUtf8(TextEncoding::UTF8_without_BOM, file("nope.cfg"), 100, lines));
    EXPECT_NE(log().find("Read failed for '" + file("nope.cfg").string()), std::string::npos) << log();
}

// Every way of reading a whole file stops at its limit with the size in the error.
TEST_F(TextFile, FilesAboveTheirLimitAreRefusedWhole)
{
    const std::string text = std::string(99, 'a') + "\n"; // 100 bytes
    writeAll(file("big.cfg"), text + "b");
    writeAll(file("fits.cfg"), text);
    for (const TextEncoding encoding : {TextEncoding::UTF8_without_BOM, TextEncoding::ANSI, TextEncoding::Unicode}) {
        Lines lines;
        EXPECT_FALSE(gf_readTextLinesAsUtf8(encoding, file("big.cfg"), 100, lines));
        EXPECT_TRUE(lines.empty());
    }
    EXPECT_NE(log().find("big.cfg': file too large (101 bytes, at most 100)"), std::string::npos) << log();
    Lines lines;
    EXPECT_TRUE(gf_readTextLinesAsUtf8(TextEncoding::UTF8_without_BOM, file("fits.cfg"), 100, lines));
    EXPECT_EQ(lines.size(), 1u);

    EXPECT_THROW(gf_readFileBytes(file("big.cfg"), 100), std::length_error);
    EXPECT_EQ(gf_readFileBytes(file("fits.cfg"), 100), text);
    EXPECT_EQ(gf_readFileBytes(file("absent.cfg"), 100), std::nullopt);
    TextFileLines big{file("big.cfg"), {}};
    EXPECT_EQ(big.read(100).error, "too_large");
    EXPECT_TRUE(big.lines.empty());

    // A stream that cannot tell its size is cut off one byte past the limit.
    std::istringstream pipe(std::string(200'000, 'p'));
    struct Unseekable : std::streambuf {
        std::streambuf* source;
        explicit Unseekable(std::streambuf* s) : source(s) {}
        int_type underflow() override { return source->sgetc(); }
        int_type uflow() override { return source->sbumpc(); }
    } unseekable(pipe.rdbuf());
    std::istream in(&unseekable);
    EXPECT_THROW(gf_readStreamLines(in, 100'000, lines), std::length_error);
    EXPECT_LT(pipe.tellg(), 200'000) << "reading ends once past the limit";
}

TEST(TextFileSplit, LineEnds)
{
    const auto split = [](std::string_view text) {
        Lines lines;
        gf_splitLines(text, lines);
        return lines;
    };
    EXPECT_EQ(split("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(split("a\n"), (Lines{"a"}));
    EXPECT_EQ(split("\n"), (Lines{""}));
    EXPECT_EQ(split("a\n\n\nb"), (Lines{"a", "", "", "b"}));
    EXPECT_EQ(split("a\n\n"), (Lines{"a", ""}));
    EXPECT_EQ(split("a\r\r\nb\r"), (Lines{"a\r", "b"})); // one CR only
    EXPECT_EQ(split("a\rb"), (Lines{"a\rb"}));
    EXPECT_TRUE(split("").empty());
    EXPECT_TRUE(split("\xEF\xBB\xBF").empty());
    EXPECT_EQ(split("\xEF\xBB\xBFx"), (Lines{"x"}));

    Lines appended{"kept"};
    gf_splitLines("y", appended);
    EXPECT_EQ(appended, (Lines{"kept", "y"}));
}

TEST(TextFileStreams, EmptyAndShortStreamsAreRewound)
{
    std::istringstream empty;
    Lines lines;
    gf_readStreamLines(empty, 10, lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(empty.good());

    std::istringstream one("x");
    gf_readUtf16Lines(one, 10, lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(one.good());
    EXPECT_EQ(one.get(), 'x'); // rewound to the start

    std::istringstream text("p\r\nq");
    gf_readStreamLines(text, 10, lines);
    EXPECT_EQ(lines, (Lines{"p", "q"}));
}

TEST_F(TextFile, TextFileLinesRead)
{
    TextFileLines missing{file("UserCfg.opt"), {"stale"}};
    const auto failed = missing.read(kMaxUserCfgBytes, 64);
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.error, "open_failed");
    EXPECT_TRUE(missing.lines.empty());

    writeAll(file("UserCfg.opt"), "Version 1\r\nInstalledPackagesPath \"D:\\MSFS\"\r\n");
    TextFileLines cfg{file("UserCfg.opt"), {"stale"}};
    const auto result = cfg.read(kMaxUserCfgBytes, 64);
    ASSERT_TRUE(result);
    EXPECT_EQ(cfg.lines, (Lines{"Version 1", "InstalledPackagesPath \"D:\\MSFS\""}));
    EXPECT_EQ(Lines(result.lines.begin(), result.lines.end()), cfg.lines);
}

} // namespace
} // namespace zelk

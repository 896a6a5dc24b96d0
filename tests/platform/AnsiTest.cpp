#include "platform/Ansi.h"

#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace zelk::platform {
namespace {

TEST(Ansi, EveryByteRoundTrips)
{
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::string utf8 = ansiToUtf8(all);
    EXPECT_EQ(utf8ToAnsi(utf8), all);
    // Each high byte is one character of its own.
    for (int b = 0x80; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string u = ansiToUtf8(one);
        EXPECT_GE(u.size(), 2u) << b;
        EXPECT_EQ(utf8ToAnsi(u), one) << b;
    }
}

TEST(Ansi, HighRowMapsToWindows1252)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\x80", "\xE2\x82\xAC"},                    // euro sign
        {"\x8A", "\xC5\xA0"},                        // S caron
        {"\x93\x94", "\xE2\x80\x9C\xE2\x80\x9D"},
        {"\x9F", "\xC5\xB8"},                        // Y diaeresis
        {"caf\xE9", "caf\xC3\xA9"},                  // Latin-1 part maps to itself
        {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
    };
    for (const auto& [ansi, utf8] : cases) EXPECT_EQ(ansiToUtf8(ansi), utf8) << utf8;
}

TEST(Ansi, UndefinedBytesBecomeC1Controls)
{
    for (const unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        const std::string in(1, static_cast<char>(b));
        const std::string expected = {'\xC2', static_cast<char>(b)};
        EXPECT_EQ(ansiToUtf8(in), expected) << int(b);
        EXPECT_EQ(utf8ToAnsi(expected), in) << int(b);
    }
}

// Characters without a code-page byte, and invalid UTF-8, become question marks.
TEST(Ansi, Utf8WithoutCodePageByteBecomesQuestionMark)
{
    const std::pair<const char*, const char*> cases[] = {
        {"a\xE2\x86\x92z", "a?z"},       // U+2192 arrow
        {"\xF0\x9F\x9B\xAB", "?"},       // outside the BMP
        {"\xC2\x80", "?"},                // C1 control 0x80 is not 0x80 (the euro byte)
        {"\xE2\x82\xAC 5", "\x80 5"},
        {"a\xFF" "b", "a?b"},
        {"a\x80" "b", "a?b"},              // stray continuation byte
        {"a\xC3", "a?"},                   // cut at the end
        {"\xC3(x", "?(x"},                 // continuation missing
    };
    for (const auto& [utf8, ansi] : cases) EXPECT_EQ(utf8ToAnsi(utf8), ansi) << ansi;
}

} // namespace
} // namespace zelk::platform

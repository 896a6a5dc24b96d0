#include "core/Strings.h"

#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

namespace zelk {
namespace {

using namespace std::string_literals;

void expectRuntimeError(const auto& call, const char* message)
{
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

TEST(Strings, Utf16RoundTripsAllPlanes)
{
    // ASCII, Latin-1, three-byte BMP, the last BMP character, and a
    // supplementary-plane character that needs a surrogate pair.
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF\xF0\x9F\x9B\xAB";
    const std::u16string wide = utf8_to_wide(utf8);
    EXPECT_EQ(wide, (std::u16string{u'a', 0x00E9, 0x20AC, 0xFFFF, 0xD83D, 0xDEEB}));
    EXPECT_EQ(wide_to_utf8(wide), utf8);
}

TEST(Strings, WideToUtf8RejectsLoneSurrogates)
{
    for (const std::u16string& bad : {u"\xD800"s, u"a\xDC00"s, std::u16string{0xD83D, u'x'},
                                     std::u16string{0xDEEB, 0xD83D}}) {
        expectRuntimeError([&] { (void)wide_to_utf8(bad); }, "wide_to_utf8: invalid UTF-16");
    }
}

TEST(Strings, Utf8ToWideRejectsMalformedInput)
{
    const char* bad[] = {
        "\x80",             // stray continuation
        "\xC0\xAF",         // overlong two-byte
        "\xE0\x80\xAF",     // overlong three-byte
        "\xF0\x80\x80\xAF", // overlong four-byte
        "\xED\xA0\x80",     // encoded surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xF5\x80\x80\x80", // lead byte out of range
        "abc\xC3",          // truncated at the end
        "\xE2\x82x",        // continuation missing in the middle
        "\xFF",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        expectRuntimeError([&] { (void)utf8_to_wide(text); }, "utf8_to_wide: invalid UTF-8");
    }
    // The boundaries just inside the valid range.
    EXPECT_EQ(utf8_to_wide("\xF4\x8F\xBF\xBF"), (std::u16string{0xDBFF, 0xDFFF}));
    EXPECT_EQ(utf8_to_wide("\xED\x9F\xBF"), std::u16string(1, char16_t{0xD7FF}));
    EXPECT_EQ(utf8_to_wide("\xC2\x80"), std::u16string(1, char16_t{0x80}));
}

TEST(Strings, PathsConvertBothWays)
{
    const std::string name = "D\xC3\xA9part/\xE2\x82\xAC.xml";
    const std::filesystem::path p = gf_utf8ToPath(name);
    const std::u8string fileName = p.filename().u8string();
    EXPECT_EQ(std::string(fileName.begin(), fileName.end()), "\xE2\x82\xAC.xml");
    EXPECT_EQ(path_to_utf8(p), name);
    EXPECT_EQ(path_to_utf8(std::filesystem::path()), "");
}

TEST(Strings, PluralTrimRemoveDotsAndUpper)
{
    EXPECT_EQ(gf_pluralSuffix(0), "s");
    EXPECT_EQ(gf_pluralSuffix(1), "");
    EXPECT_EQ(gf_trim(" \t\r\nab c\n "), "ab c");
    EXPECT_EQ(gf_trim(" \t\r\n"), "");
    EXPECT_EQ(gf_trim("\vx\v"), "\vx\v"); // only the four blanks count
    EXPECT_EQ(gf_removeDots("D.ABC..x."), "DABCx");
    EXPECT_EQ(gf_toUpperChar('a'), 'A');
    EXPECT_EQ(gf_toUpperChar('5'), '5');
    EXPECT_EQ(gf_toUpperChar('\xC3'), 0xC3); // part of a UTF-8 sequence stays
}

TEST(Strings, SplitTrimsAndDropsBlankPieces)
{
    EXPECT_EQ(gf_split(" a, ,b ,", ','), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(gf_split("x;y", ';'), (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(gf_split("", ',').empty());
    EXPECT_TRUE(gf_splitComma(" , ,").empty());
    EXPECT_EQ(gf_splitComma("KLM , BAW"), (std::vector<std::string>{"KLM", "BAW"}));
}

TEST(Strings, SortedListKeepsPiecesAsTheyStand)
{
    EXPECT_EQ(gf_splitCommaToSortedList("b,a,b"), (std::list<std::string>{"a", "b"}));
    EXPECT_EQ(gf_splitCommaToSortedList("a,,a"), (std::list<std::string>{"", "a"}));
    EXPECT_EQ(gf_splitCommaToSortedList(" b,a"), (std::list<std::string>{" b", "a"}));
    EXPECT_TRUE(gf_splitCommaToSortedList("").empty());
}

TEST(Strings, NormalizeCommaListOnlyWhenBlanksPresent)
{
    std::string s = " KLM ,\tBAW, ,\n";
    gf_normalizeCommaList(s);
    EXPECT_EQ(s, "KLM,BAW");
    for (const std::string kept : {"KLM,,BAW,", ""}) {
        std::string untouched = kept;
        gf_normalizeCommaList(untouched);
        EXPECT_EQ(untouched, kept);
    }
}

TEST(Strings, Unquote)
{
    EXPECT_EQ(gf_unquote(R"(InstalledPackagesPath "D:\MSFS")"), R"(D:\MSFS)");
    EXPECT_EQ(gf_unquote("no quotes here"), "no quotes here");
    EXPECT_EQ(gf_unquote(R"(one " only)"), "");
    EXPECT_EQ(gf_unquote(R"(empty "" pair)"), "");
    EXPECT_EQ(gf_unquote(R"("a" "b")"), "a");
}

TEST(Strings, BannerLine)
{
    const std::string title = "0123456789";
    EXPECT_EQ(gf_bannerLine(20, 21, false, false, title), std::string(20, '*') + " " + title + " " + std::string(20, '*'));
    EXPECT_EQ(gf_bannerLine(5, 6, true, false, title), title);          // does not fit: title alone
    EXPECT_EQ(gf_bannerLine(5, 6, true, true, title), title + "\n");   // the trailing newline stays
    EXPECT_EQ(gf_bannerLine(70, 10, true, true, ""), "\n" + std::string(80, '*') + "\n");
    EXPECT_EQ(gf_bannerLine(3, 0, false, false, ""), std::string(4, '*')); // odd width rounds up
    const std::string wide = gf_bannerLine(70, 0, true, true, "Parameters");
    EXPECT_EQ(wide, "\n" + std::string(34, '*') + " Parameters " + std::string(34, '*') + "\n");
}

class StringsXmlAttributes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc.load_string(R"(<a plus=" +1.5 " neg="-2e3" bad="1.5x" lone="+" twoplus="++1" inf="inf" nan="nan"
                 blank="  " yes=" Yes " two="2" off="OFF" one="1" zero="0" hex="0x10"/>)"));
        node = doc.child("a");
    }
    pugi::xml_document doc;
    pugi::xml_node node;
};

TEST_F(StringsXmlAttributes, DoubleReader)
{
    EXPECT_EQ(gf_xmlAttributeDouble(node, "plus"), 1.5);
    EXPECT_EQ(gf_xmlAttributeDouble(node, "neg"), -2000.0);
    for (const char* name : {"bad", "lone", "twoplus", "inf", "nan", "blank", "missing", "hex", "yes"}) {
        EXPECT_FALSE(gf_xmlAttributeDouble(node, name).has_value()) << name;
    }
    EXPECT_EQ(gf_xmlAttributeDoubleOrZero(node, "bad"), 0.0);
}

TEST_F(StringsXmlAttributes, BoolReader)
{
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"yes", true},          {"off", false},          {"one", true},      {"zero", false},
        {"two", std::nullopt}, {"blank", std::nullopt}, {"missing", std::nullopt}, {"plus", std::nullopt},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(gf_xmlAttributeBool(node, name), expected) << name;
}

// An attribute written empty is there; only a missing one takes the fallback.
TEST_F(StringsXmlAttributes, StringReader)
{
    ASSERT_TRUE(doc.child("a").append_attribute("empty"));
    const std::tuple<const char*, std::optional<std::string>, std::string> cases[] = {
        {"plus", " +1.5 ", " +1.5 "},
        {"empty", "", ""},
        {"missing", std::nullopt, "fallback"},
    };
    for (const auto& [name, text, orFallback] : cases) {
        EXPECT_EQ(gf_xmlAttributeString(node, name), text) << name;
        EXPECT_EQ(gf_xmlAttributeStringOr(node, name, "fallback"), orFallback) << name;
    }
    EXPECT_FALSE(gf_xmlAttributeString(doc.child("nothing"), "plus").has_value());
}

TEST_F(StringsXmlAttributes, WritersRoundTripThroughReaders)
{
    pugi::xml_document out;
    auto n = out.append_child("livery");
    EXPECT_TRUE(gf_appendXmlBoolAttribute(n, "cargo", true));
    EXPECT_TRUE(gf_appendXmlBoolAttribute(n, "heavy", false));
    EXPECT_TRUE(gf_appendXmlStringAttribute(n, "title", "Airbus \"A320\" <neo> & \xC3\xA9"));
    EXPECT_STREQ(n.attribute("cargo").value(), "true");
    EXPECT_STREQ(n.attribute("heavy").value(), "false");

    std::ostringstream text;
    out.save(text);
    pugi::xml_document back;
    ASSERT_TRUE(back.load_string(text.str().c_str()));
    EXPECT_STREQ(back.child("livery").attribute("title").value(), "Airbus \"A320\" <neo> & \xC3\xA9");
    EXPECT_EQ(gf_xmlAttributeBool(back.child("livery"), "cargo"), true);

    // A null node (a child that is not there) refuses the attribute.
    EXPECT_FALSE(gf_appendXmlBoolAttribute(out.child("nothing"), "x", true));
    EXPECT_FALSE(gf_appendXmlStringAttribute(out.child("nothing"), "x", "y"));
}

} // namespace
} // namespace zelk

#include "core/ParameterXml.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace zelk {
namespace {

std::optional<std::int32_t> intOf(const char* text)
{
    pugi::xml_document doc;
    auto node = doc.append_child("n");
    node.append_attribute("v").set_value(text);
    return gf_xmlAttributeInt(node, "v");
}

TEST(ParameterXml, IntegerAttributeRules)
{
    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {" 42\t\r\n", 42}, {"+7", 7}, {"-3", -3}, {"+", std::nullopt}, {"", std::nullopt},
        {"   ", std::nullopt}, {"4x", std::nullopt}, {"2147483647", 2147483647}, {"2147483648", std::nullopt},
        {"-2147483648", std::int32_t{-2147483647 - 1}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(intOf(text), expected) << text;
    pugi::xml_document doc;
    EXPECT_EQ(gf_xmlAttributeInt(doc.append_child("n"), "missing"), std::nullopt);
}

TEST(ParameterXml, AttributeWriters)
{
    pugi::xml_document doc;
    auto section = doc.append_child("parameters");
    EXPECT_TRUE(gf_appendXmlTextAttribute(section, "t", "a&b"));
    EXPECT_TRUE(gf_appendXmlIntAttribute(section, "i", -12));
    EXPECT_TRUE(gf_appendXmlPathParameter(section, "P", std::filesystem::path("/x/y z")));
    EXPECT_STREQ(section.attribute("t").value(), "a&b");
    EXPECT_EQ(section.attribute("i").as_int(), -12);
    auto p = section.child("parameter");
    EXPECT_STREQ(p.attribute("name").value(), "P");
    EXPECT_STREQ(p.attribute("value").value(), "/x/y z");

    EXPECT_TRUE(gf_setXmlPathAttribute(p, "value", "/other"));
    EXPECT_TRUE(gf_setXmlPathAttribute(p, "extra", "/new"));
    EXPECT_STREQ(p.attribute("value").value(), "/other");
    EXPECT_STREQ(p.attribute("extra").value(), "/new");

    // A null node refuses everything.
    pugi::xml_node none;
    EXPECT_FALSE(gf_appendXmlTextAttribute(none, "t", "x"));
    EXPECT_FALSE(gf_appendXmlIntAttribute(none, "i", 1));
    EXPECT_FALSE(gf_appendXmlPathParameter(none, "P", "/x"));
    EXPECT_FALSE(gf_setXmlPathAttribute(none, "v", "/x"));
}

using ParameterXmlFile = test::TempDirTest;

TEST_F(ParameterXmlFile, SaveFixesTheDeclaration)
{
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string("<?xml version=\"0.9\" encoding=\"ISO-8859-1\"?><root><a/></root>",
                                pugi::parse_default | pugi::parse_declaration));
    ASSERT_TRUE(gf_saveXmlFile(doc, file("out.xml")));
    EXPECT_EQ(test::readAll(file("out.xml")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <a />\n</root>\n");

    pugi::xml_document bare;
    bare.append_child("root").append_child("b").append_attribute("x").set_value("\xC3\xA9");
    ASSERT_TRUE(gf_saveXmlFile(bare, file("bare.xml")));
    EXPECT_EQ(test::readAll(file("bare.xml")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n  <b x=\"\xC3\xA9\" />\n</root>\n");
    EXPECT_FALSE(gf_saveXmlFile(bare, file("missing-folder/x.xml")));
}

} // namespace
} // namespace zelk

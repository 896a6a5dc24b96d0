#include "core/ParameterXml.h"

#include <charconv>
#include <sstream>
#include <string>

#include "core/Strings.h"

namespace zelk {

bool gf_appendXmlTextAttribute(pugi::xml_node node, std::string_view name, std::string_view value)
{
    return gf_appendXmlStringAttribute(node, std::string(name).c_str(), std::string(value));
}

bool gf_appendXmlIntAttribute(pugi::xml_node node, std::string_view name, const std::int32_t& value)
{
    pugi::xml_attribute attribute = node.append_attribute(std::string(name).c_str());
    if (!attribute) return false;
    return attribute.set_value(value);
}

bool gf_appendXmlPathParameter(pugi::xml_node section, std::string_view name, const std::filesystem::path& value)
{
    pugi::xml_node element = section.append_child("parameter");
    if (!element) return false;
    if (!gf_appendXmlTextAttribute(element, "name", name)) return false;
    return gf_appendXmlTextAttribute(element, "value", path_to_utf8(value));
}

bool gf_setXmlPathAttribute(pugi::xml_node node, std::string_view name, const std::filesystem::path& value)
{
    const std::string key(name);
    pugi::xml_attribute attribute = node.attribute(key.c_str());
    if (!attribute) attribute = node.append_attribute(key.c_str());
    if (!attribute) return false;
    return attribute.set_value(path_to_utf8(value).c_str());
}

std::optional<std::int32_t> gf_parseIntText(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return std::nullopt;
    const auto last = text.find_last_not_of(" \t\r\n");
    text = text.substr(first, last - first + 1);
    if (text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int32_t> gf_xmlAttributeInt(pugi::xml_node node, std::string_view name)
{
    const pugi::xml_attribute attribute = node.attribute(std::string(name).c_str());
    if (!attribute) return std::nullopt;
    return gf_parseIntText(attribute.value());
}

namespace {

// The declaration the program's files begin with, first in the document.
bool lf_prepareDeclaration(pugi::xml_document& doc)
{
    pugi::xml_node declaration;
    for (pugi::xml_node child : doc.children()) {
        if (child.type() == pugi::node_declaration) {
            declaration = child;
            break;
        }
    }
    if (!declaration) declaration = doc.prepend_child(pugi::node_declaration);
    if (!declaration) return false;
    for (const char* name : {"version", "encoding"}) {
        if (!declaration.attribute(name)) declaration.append_attribute(name);
    }
    declaration.attribute("version").set_value("1.0");
    declaration.attribute("encoding").set_value("UTF-8");
    // A declaration that is not the first node makes the file unreadable.
    if (declaration != doc.first_child()) doc.prepend_move(declaration);
    return true;
}

} // namespace

bool gf_saveXmlFile(pugi::xml_document& doc, const std::filesystem::path& path)
{
    if (!lf_prepareDeclaration(doc)) return false;
    return doc.save_file(path.c_str(), "  ", pugi::format_indent, pugi::encoding_utf8);
}

std::string gf_xmlFileText(pugi::xml_document& doc)
{
    if (!lf_prepareDeclaration(doc)) return {};
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
    return std::move(out).str();
}

} // namespace zelk

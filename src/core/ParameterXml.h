#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include <pugixml.hpp>

namespace zelk {

// Small XML tools of the program's XML files (parameters file, airport files,
// scanned-liveries file). All return false when pugixml refuses a node or attribute.

bool gf_appendXmlTextAttribute(pugi::xml_node node, std::string_view name, std::string_view value);
bool gf_appendXmlIntAttribute(pugi::xml_node node, std::string_view name, const std::int32_t& value);

// Appends <parameter name=name value=path-as-UTF-8/> to a parameters section.
bool gf_appendXmlPathParameter(pugi::xml_node section, std::string_view name, const std::filesystem::path& value);

// Sets the attribute to the path's UTF-8 text, appending it when missing.
bool gf_setXmlPathAttribute(pugi::xml_node node, std::string_view name, const std::filesystem::path& value);

// A decimal int between optional blanks " \t\r\n", optionally with one leading
// '+'; anything else (missing, blank, a lone '+', trailing characters, out of
// range) is empty.
std::optional<std::int32_t> gf_xmlAttributeInt(pugi::xml_node node, std::string_view name);

// The same rules for a value text.
std::optional<std::int32_t> gf_parseIntText(std::string_view text);

// Saves with the declaration version="1.0" encoding="UTF-8" (added or fixed),
// two blanks per level and no byte-order mark.
bool gf_saveXmlFile(pugi::xml_document& doc, const std::filesystem::path& path);
// The bytes gf_saveXmlFile writes for the document.
std::string gf_xmlFileText(pugi::xml_document& doc);

} // namespace zelk

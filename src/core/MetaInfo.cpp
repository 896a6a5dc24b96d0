#include "core/MetaInfo.h"

#include <string>

#include <fmt/format.h>

#include "core/Clock.h"
#include "core/Log.h"
#include "core/ParameterXml.h"
#include "core/Strings.h"
#include "core/TimeUtils.h"

namespace zelk {
namespace {

bool lf_appendInfo(pugi::xml_node meta, std::string_view name, std::string_view value)
{
    pugi::xml_node info = meta.append_child("info");
    if (!info) return false;
    return gf_appendXmlTextAttribute(info, "name", name) && gf_appendXmlTextAttribute(info, "value", value);
}

} // namespace

std::string gf_utcDateText()
{
    const auto t = gf_breakDownUtc(gf_clockSeconds());
    if (!t) return "Invalid date";
    return fmt::format("{} {} {}", t->day, gf_monthName(t->month), t->year);
}

bool gf_writeMetaInfo(pugi::xml_node doc, const MetaInfo& meta)
{
    pugi::xml_node root = doc.child("root");
    if (!root) root = doc.append_child("root");
    if (!root) return false;
    while (pugi::xml_node old = root.child("meta")) root.remove_child(old);
    pugi::xml_node block = root.append_child("meta");
    if (!block) return false;
    bool ok = lf_appendInfo(block, "author", "ZELK");
    ok = lf_appendInfo(block, "version", meta.version) && ok;
    ok = lf_appendInfo(block, "date", gf_utcDateText()) && ok;
    ok = lf_appendInfo(block, "copyright", kCopyrightNotice) && ok;
    ok = lf_appendInfo(block, "sim", fmt::format("{}", meta.sim)) && ok;
    return ok;
}

std::optional<MetaInfo> gf_readMetaInfo(pugi::xml_node node, bool relaxed)
{
    const auto notice = [relaxed](std::string_view text) {
        if (!relaxed) gf_writeLogNotice(text);
    };
    const pugi::xml_node root = node.child("root");
    const pugi::xml_node block = (root ? root : node).child("meta");
    if (!block) return std::nullopt;

    MetaInfo meta;
    bool hasAuthor = false, hasVersion = false, hasDate = false, hasP3d = false, hasMsfs = false, hasSim = false;
    bool hasCopyright = false;
    for (const pugi::xml_node info : block.children("info")) {
        const std::string name = gf_xmlAttributeStringOr(info, "name", "");
        if (name.empty()) continue;
        const std::string value = gf_xmlAttributeStringOr(info, "value", "");
        const auto takeText = [&](bool& present, std::string& field) {
            if (present) return;
            field = value;
            present = true;
        };
        if (name == "author") {
            takeText(hasAuthor, meta.author);
        } else if (name == "version") {
            takeText(hasVersion, meta.version);
        } else if (name == "date") {
            takeText(hasDate, meta.date);
        } else if (name == "P3D") {
            takeText(hasP3d, meta.p3d);
        } else if (name == "MSFS") {
            takeText(hasMsfs, meta.msfs);
        } else if (name == "copyright") {
            if (hasCopyright) continue;
            if (value.empty()) {
                notice("no copyright info in the file?");
                return std::nullopt;
            }
            hasCopyright = true;
        } else if (name == "sim") {
            if (hasSim) continue;
            const auto sim = gf_parseIntText(value);
            if (!sim) {
                notice("invalid sim info in the file");
                continue;
            }
            meta.sim = *sim;
            hasSim = true;
        }
    }
    if (!hasCopyright) {
        notice("no copyright info in the file?");
        return std::nullopt;
    }
    const bool knownSim = hasSim && meta.sim >= 1 && meta.sim <= 3;
    if (!knownSim && !hasMsfs && !hasP3d) {
        notice("unsupported sim info in the file");
        return std::nullopt;
    }
    return meta;
}

} // namespace zelk

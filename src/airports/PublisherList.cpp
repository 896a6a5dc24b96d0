#include "airports/PublisherList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <tuple>

#include <fmt/format.h>

#include "core/EncryptedFile.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "core/UserRelatedException.h"
#include "core/Version.h"

namespace zelk {

namespace {

constexpr std::size_t kReservedPublishers = 1024;
constexpr std::size_t kReservedThirdparties = 800;
constexpr std::int32_t kMissingSectionCode = 61;

PublisherList lv_publishers;

std::string lf_lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return out;
}

void lf_readPublisherNames(pugi::xml_node root)
{
    std::vector<std::string> texts;
    for (pugi::xml_node pub : root.child("publishers").children("pub"))
        texts.emplace_back(gf_xmlAttributeStringOr(pub, "pn", ""));
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    for (const auto& text : texts)
        lv_publishers.names.push_back(lf_splitCommaList(text));
}

void lf_readRejectedPublishers(pugi::xml_node root)
{
    auto& rejected = lv_publishers.rejected;
    rejected.clear();
    const pugi::xml_node section = root.child("rejectedpublishers");
    if (!section) {
        rejected.emplace("fsim", "FSIM");
        return;
    }
    for (pugi::xml_node rp : section.children("rp"))
        for (const auto& piece : gf_split(gf_xmlAttributeStringOr(rp, "n", ""), ','))
            if (std::string key = lf_lower(gf_trim(piece)); !key.empty())
                rejected.emplace(std::move(key), piece);
}

void lf_readSimaddonSection(pugi::xml_node root, bool msfs2020)
{
    const char* sectionName = msfs2020 ? "simaddons20" : "simaddons24";
    const pugi::xml_node section = root.child(sectionName);
    if (!section)
        throw UserRelatedException(kMissingSectionCode, fmt::format("Missing section: {}", sectionName));
    for (pugi::xml_node s : section.children(msfs2020 ? "s20" : "s24"))
        for (auto& code : gf_split(gf_xmlAttributeStringOr(s, "aps", ""), ','))
            lv_publishers.simaddons.insert(std::move(code));
}

void lf_readThirdpartySection(pugi::xml_node root, bool msfs2020)
{
    const pugi::xml_node section = root.child(msfs2020 ? "thirdparties20" : "thirdparties24");
    for (pugi::xml_node t : section.children(msfs2020 ? "t20" : "t24")) {
        ThirdpartyArchive entry{gf_xmlAttributeStringOr(t, "pub", ""), {}};
        for (auto& file : gf_split(gf_xmlAttributeStringOr(t, "aps", ""), ','))
            entry.files.emplace_back(std::move(file), std::string());
        for (pugi::xml_node ap : t.children("ap")) {
            const std::string f = gf_xmlAttributeStringOr(ap, "f", "");
            const std::string v = gf_xmlAttributeStringOr(ap, "v", "");
            if (f.empty() || v.empty())
                continue;
            const auto it = std::find_if(entry.files.begin(), entry.files.end(),
                                         [&](const auto& file) { return file.first == f; });
            if (it != entry.files.end())
                it->second = v;
        }
        lv_publishers.thirdparties.push_back(std::move(entry));
    }
}

bool lf_nameOccursIn(std::string_view text, const std::string& name)
{
    return !name.empty() && (text.find(name) != std::string_view::npos || gf_containsNoCase(text, name));
}

// Major, minor, patch; a release candidate below the release itself.
bool lf_versionHigher(const ReleaseVersion& a, const ReleaseVersion& b)
{
    const auto key = [](const ReleaseVersion& v) { return std::tuple(v.major, v.minor, v.patch, !v.hasRc, v.rc); };
    return key(a) > key(b);
}

bool lf_versionEqual(const ReleaseVersion& a, const ReleaseVersion& b)
{
    return !lf_versionHigher(a, b) && !lf_versionHigher(b, a);
}

} // namespace

const PublisherList& gf_publisherList() { return lv_publishers; }

void lf_resetPublishers()
{
    lv_publishers = PublisherList{};
    lv_publishers.names.reserve(kReservedPublishers);
    lv_publishers.thirdparties.reserve(kReservedThirdparties);
}

bool gf_readPublishers(bool msfs2020)
{
    lf_resetPublishers();
    const std::filesystem::path& path = kArchivesFile;
    const std::string name = path_to_utf8(path);
    if (!std::filesystem::exists(path))
        throw std::runtime_error(fmt::format("{} not available", name));
    auto plain = gf_readEncryptedFile(path, kArchivesPlaintextLimit);
    if (!plain)
        throw std::runtime_error(plain.error());
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(plain.value().data(), plain.value().used());
    if (!parsed) {
        gf_writeLogNotice(fmt::format("{} not read because: {}", name, parsed.description()));
        return false;
    }
    const pugi::xml_node root = doc.child("root");
    if (!root) {
        gf_writeLogNotice(fmt::format("'{}' has no root node", name));
        return false;
    }
    lf_readPublisherNames(root);
    lf_readRejectedPublishers(root);
    const auto& list = lv_publishers;
    gf_writeLogLine(fmt::format("{:5} publisher{}", list.names.size(), gf_pluralSuffix(list.names.size())));
    gf_writeLogLine(fmt::format("{:5} rejected manifest publisher value{}", list.rejected.size(),
                                gf_pluralSuffix(list.rejected.size())));
    lf_readSimaddonSection(root, msfs2020);
    lf_readThirdpartySection(root, msfs2020);
    return true;
}

PublisherMatch gf_findPublisherOfPackage(const std::string& text)
{
    if (text.empty())
        return {PublisherMatch::EmptyText, {}};
    for (const auto& names : lv_publishers.names)
        for (const auto& name : names)
            if (lf_nameOccursIn(text, name))
                return {PublisherMatch::Found, names.front()};
    return {PublisherMatch::NotFound, {}};
}

bool gf_isRejectedPublisher(std::string_view value)
{
    const std::string key = lf_lower(gf_trim(value));
    return !key.empty() && lv_publishers.rejected.contains(key);
}

bool gf_isSimaddonAirport(IcaoCode icao) { return icao.isSet() && lv_publishers.simaddons.contains(icao.toString()); }

ThirdpartyArchiveMatch gf_findThirdpartyArchive(const std::string& publisher, IcaoCode icao,
                                                const std::string& installedVersion)
{
    const auto& entries = lv_publishers.thirdparties;
    const auto entry = std::find_if(entries.begin(), entries.end(),
                                    [&](const ThirdpartyArchive& e) { return e.publisher == publisher; });
    if (entry == entries.end())
        return {};
    const std::string code = icao.toString();
    const std::string exactKey = code + gf_removeDots(installedVersion);
    const ReleaseVersion installed = gf_parseReleaseVersion(installedVersion);
    std::optional<std::string> exact;
    std::optional<ReleaseVersion> best;
    ThirdpartyArchiveMatch match;
    for (const auto& [file, version] : entry->files) {
        if (file == exactKey)
            exact = file;
        if (!icao.isSet() || file.size() < 4 || file.compare(0, 4, code) != 0 || version.empty() || !installed.ok)
            continue;
        const ReleaseVersion archived = gf_parseReleaseVersion(version);
        if (!archived.ok)
            continue;
        if (lf_versionEqual(archived, installed) && !exact)
            exact = file;
        if (lf_versionHigher(archived, installed) && (!best || lf_versionHigher(archived, *best))) {
            best = archived;
            match.higherVersion = version;
        }
    }
    match.fileName = exact.value_or("");
    match.kind = exact ? (best ? 2u : 1u) : (best ? 3u : 0u);
    return match;
}

bool gf_containsNoCase(std::string_view text, std::string_view needle)
{
    const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return needle.empty() || it != text.end();
}

std::vector<std::string> lf_splitCommaList(std::string_view text)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        pieces.push_back(gf_trim(text.substr(start, comma == std::string_view::npos ? comma : comma - start)));
        if (comma == std::string_view::npos)
            return pieces;
        start = comma + 1;
    }
}

} // namespace zelk

#include "airports/PublisherDetection.h"

#include <algorithm>
#include <string>

#include <fmt/format.h>

#include "airports/Manifest.h"
#include "airports/PublisherList.h"
#include "airports/ScanLog.h"
#include "core/Strings.h"
#include "gui/GuiUpdate.h"

namespace zelk {

namespace {

constexpr std::size_t kMinManifestPublisher = 3;

bool lf_isMakerName(std::string_view name)
{
    return gf_containsNoCase(name, "Microsoft") || gf_containsNoCase(name, "Asobo");
}

void lf_setPublisherFromName(ApfParameters& record, const std::string& name)
{
    record.publisher = lf_isMakerName(name) ? std::string("simaddon") : name;
    lf_addScanLogLine(fmt::format("publisher '{}'", record.publisher));
}

bool lf_ensureManifest(ApfParameters& record)
{
    if (!record.manifest)
        record.manifest = gf_searchManifest(record.sourcePath);
    return record.manifest.has_value();
}

// Trims the value in place; true when it decided the publisher.
bool lf_checkManifestPublisher(ApfParameters& record, std::string& value)
{
    value = gf_trim(value);
    if (value.size() < kMinManifestPublisher) {
        value.clear();
        return false;
    }
    if (gf_isRejectedPublisher(value)) {
        lf_addScanLogLine(fmt::format("manifest publisher value '{}' rejected by archives data", value));
        value.clear();
        return false;
    }
    if (lf_isMakerName(value)) {
        lf_setPublisherFromName(record, value);
        return true;
    }
    const PublisherMatch match = gf_findPublisherOfPackage(value);
    if (match.status != PublisherMatch::Found)
        return false;
    lf_setPublisherFromName(record, match.name);
    return true;
}

bool lf_detectPublisher(ApfParameters& record)
{
    record.publisher.clear();
    if (gf_containsNoCase(record.bglPath, "microsoft-airport") || gf_containsNoCase(record.bglPath, "asobo-airport")) {
        record.publisher = "simaddon";
        lf_addScanLogLine(fmt::format("publisher: {}", record.publisher));
        return true;
    }
    if (const PublisherMatch match = gf_findPublisherOfPackage(record.bglPath); match.status == PublisherMatch::Found) {
        lf_setPublisherFromName(record, match.name);
        return true;
    }
    if (!lf_ensureManifest(record))
        return false;
    return lf_checkManifestPublisher(record, record.manifest->manufacturer) ||
           lf_checkManifestPublisher(record, record.manifest->creator);
}

std::optional<IcaoCode> lf_codeOfStem(const ApfParameters& record, const IcaoTest& first, const IcaoTest& second)
{
    std::string stem = path_to_utf8(record.sourcePath.stem());
    if (stem.size() != 4)
        return std::nullopt;
    std::transform(stem.begin(), stem.end(), stem.begin(), [](char c) { return static_cast<char>(gf_toUpperChar(c)); });
    const auto code = IcaoCode::tryParse(stem);
    if (!code || !first(*code) || !second(*code))
        return std::nullopt;
    return code;
}

} // namespace

bool gf_detectPublisher(ApfParameters& record)
{
    try {
        return lf_detectPublisher(record);
    } catch (const std::exception& e) {
        gf_guiShowMessage(fmt::format("Publisher detection failed: {}", e.what()), true);
        return false;
    }
}

std::optional<IcaoCode> gf_airportCodeOfPath(ApfParameters& record, const IcaoTest& first, const IcaoTest& second)
{
    try {
        if (auto code = gf_icaoFromName(record.bglPath, first, second)) {
            lf_addScanLogLine(fmt::format("airport has code '{}' in BGL path", *code));
            return code;
        }
        if (auto code = lf_codeOfStem(record, first, second)) {
            lf_addScanLogLine(fmt::format("airport has code '{}' in stem", *code));
            return code;
        }
        if (!lf_ensureManifest(record))
            return std::nullopt;
        if (auto code = gf_icaoFromName(record.manifest->title, first, second)) {
            lf_addScanLogLine(fmt::format("airport has code '{}' in title of manifest", *code));
            return code;
        }
    } catch (const std::exception& e) {
        lf_addScanLogLine(fmt::format("Exception {}", e.what()));
    }
    return std::nullopt;
}

} // namespace zelk

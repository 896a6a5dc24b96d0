#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "liveries/AircraftCfg.h"
#include "liveries/AircraftCfgKeys.h"

namespace zelk {

// The keys of one [fltsim.N] section, taken line by line: the first title,
// icao_airline, atc_parking_types and atc_id of the section and, for IVAO MTL
// files, texture. A repeated key (other than texture) abandons the section with
// a finding.
struct FltSimSectionWalk {
    FltSimSectionWalk(LiveryScanLists& scan, const DbaseData& dbase, const std::filesystem::path& file,
                      const std::string& folder, std::string_view header, bool ivao)
        : scan(scan), dbase(dbase), file(file), folder(folder), header(header), ivao(ivao)
    {
    }

    LiveryScanLists& scan;
    const DbaseData& dbase;
    const std::filesystem::path& file;
    const std::string& folder; // the file's folder as UTF-8
    std::string_view header; // the section's first line
    bool ivao = false;         // IVAO MTL: no icao_airline key, a texture key, trimmed titles logged

    std::string title;
    std::string airline;
    std::string parkingTypes;
    std::string registration;
    std::string texture;
    bool abandoned = false;

    void walk(SectionLines section);

private:
    // The repeated-key names a line holds (lf_repeatedKeysIn), looked for only
    // when a key already taken asks.
    struct RepeatedKeys {
        std::string_view line;
        unsigned keys = 0;
        bool known = false;
        unsigned get();
    };

    // Each returns whether it took the line, whose key and value `kv` holds:
    // the line is looked at once whatever key the walk is after.
    bool takeTitle(const SectionKeyLine& kv);
    bool takeAirline(std::string_view line, const SectionKeyLine& kv, RepeatedKeys& keys);
    bool takeParkingTypes(const SectionKeyLine& kv, RepeatedKeys& keys);
    bool takeAtcId(const SectionKeyLine& kv, RepeatedKeys& keys);
    bool takeTexture(const SectionKeyLine& kv);
    bool abandon(std::string finding);
};

} // namespace zelk

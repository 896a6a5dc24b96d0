#pragma once

#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace zelk {

// What one livery scan collects besides its records: the titles met so far,
// the titles the user excluded, and the findings for the report files. The
// aircraft.cfg readers fill it; the scan writes the reports and clears it.
// Used by one thread at a time.
struct LiveryScanLists {
    std::unordered_set<std::string> scannedTitles;
    std::set<std::string> dontUseTitles; // ordered: the report lists them in this order

    std::vector<std::string> invalidAirlines;    // InvalidAirlineCodes.txt
    std::vector<std::string> invalidModels;      // InvalidAircraftCodes.txt
    std::vector<std::string> fixes;              // Fixes.txt
    std::vector<std::string> invalidFiles;       // InvalidAircraftCfgFiles.txt
    std::vector<std::string> incompleteSections; // IncompleFltsimSections.txt
    std::vector<std::string> noFltsimFiles;      // AircraftCfgWithNoFltsimSection.txt

    void clear()
    {
        scannedTitles.clear();
        dontUseTitles.clear();
        for (auto* list : {&invalidAirlines, &invalidModels, &fixes, &invalidFiles, &incompleteSections, &noFltsimFiles})
            list->clear();
    }
};

} // namespace zelk

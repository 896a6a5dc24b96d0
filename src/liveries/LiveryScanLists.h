#pragma once

#include <memory_resource>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace zelk {

// A log line of one aircraft.cfg held back while the file is read off the
// scan's thread; it is written when the file joins the scan.
struct HeldLogLine {
    std::string text;
    bool notice = false;
};

// What one livery scan collects besides its records: the titles met so far,
// the titles the user excluded, and the findings for the report files. The
// aircraft.cfg readers fill it; the scan writes the reports and clears it.
// Used by one thread at a time: a file read off the scan's thread has lists of
// its own, which join the scan's in the walk's order.
struct LiveryScanLists {
    // Tens of thousands of short texts: the scan keeps them in a memory pool of
    // its own (the default allocator otherwise).
    using TitleSet = std::pmr::unordered_set<std::pmr::string>;

    LiveryScanLists() = default;
    explicit LiveryScanLists(std::pmr::memory_resource* titleMemory) : scannedTitles(titleMemory) {}

    TitleSet scannedTitles;
    std::set<std::string> dontUseTitles; // ordered: the report lists them in this order

    std::vector<std::string> invalidAirlines;    // InvalidAirlineCodes.txt
    std::vector<std::string> invalidModels;      // InvalidAircraftCodes.txt
    std::vector<std::string> fixes;              // Fixes.txt
    std::vector<std::string> invalidFiles;       // InvalidAircraftCfgFiles.txt
    std::vector<std::string> incompleteSections; // IncompleFltsimSections.txt
    std::vector<std::string> noFltsimFiles;      // AircraftCfgWithNoFltsimSection.txt

    // Set on the lists of one file read off the scan's thread: its log lines
    // wait here, and the don't-use titles are the scan's (read only meanwhile).
    std::vector<HeldLogLine>* heldLog = nullptr;
    const std::set<std::string>* scanDontUseTitles = nullptr;

    // A log line (or notice) of the scan: written at once, or held.
    void log(std::string text, bool notice = false);
    bool isDontUseTitle(const std::string& title) const
    {
        return (scanDontUseTitles != nullptr ? *scanDontUseTitles : dontUseTitles).contains(title);
    }
    // Enters a title into the scanned titles; false when it was there.
    bool addScannedTitle(std::string_view title) { return scannedTitles.emplace(title).second; }

    void clear()
    {
        scannedTitles.clear();
        dontUseTitles.clear();
        for (auto* list : {&invalidAirlines, &invalidModels, &fixes, &invalidFiles, &incompleteSections, &noFltsimFiles})
            list->clear();
    }
};

} // namespace zelk

#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <memory_resource>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// A log line of one aircraft.cfg held back while the file is read off the
// scan's thread; it is written when the file joins the scan.
struct HeldLogLine {
    std::string text;
    bool notice = false;
};

// The titles a scan has met, each entered once. Tens of thousands of short
// texts entered one by one on the scan's thread: an open-addressed table of
// hashes and pointers (one cache line to look at per title, where a node set
// chased a bucket and a node), the bytes in a memory pool given back whole by
// clear(). A title's hash can be worked out beforehand on another thread.
class ScannedTitles {
public:
    ScannedTitles() = default;
    ScannedTitles(ScannedTitles&& other) noexcept;
    ScannedTitles& operator=(ScannedTitles&& other) noexcept;
    ScannedTitles(const ScannedTitles&) = delete;
    ScannedTitles& operator=(const ScannedTitles&) = delete;
    ~ScannedTitles() = default;

    static std::size_t hashOf(std::string_view title) noexcept { return std::hash<std::string_view>{}(title); }

    // False when the title was there already.
    bool add(std::string_view title) { return add(title, hashOf(title)); }
    // The same with the title's hashOf.
    bool add(std::string_view title, std::size_t hash);
    bool contains(std::string_view title) const;
    // Asks the processor for the place a title of this hash is looked up at,
    // so that the lookups of several titles wait for memory together.
    void prefetch(std::size_t hash) const noexcept;
    std::size_t size() const noexcept { return size_ + (hasEmpty_ ? 1 : 0); }
    // Room for `count` titles without growing.
    void reserve(std::size_t count);
    // Forgets every title and gives their memory back.
    void clear() noexcept;

private:
    struct Slot {
        std::size_t hash = 0;
        const char* text = nullptr; // a length (u32) and the bytes in the pool; nullptr: free
    };
    const Slot* find(std::string_view title, std::size_t hash) const noexcept;
    void grow(std::size_t slots);

    std::unique_ptr<std::pmr::monotonic_buffer_resource> memory_;
    std::vector<Slot> slots_; // a power of two of them, at most half in use
    std::size_t size_ = 0;    // titles in slots_
    bool hasEmpty_ = false;   // the empty title is kept apart from the table
};

// What one livery scan collects besides its records: the titles met so far,
// the titles the user excluded, and the findings for the report files. The
// aircraft.cfg readers fill it; the scan writes the reports and clears it.
// Used by one thread at a time: a file read off the scan's thread has lists of
// its own, which join the scan's in the walk's order.
struct LiveryScanLists {
    ScannedTitles scannedTitles;
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
    bool addScannedTitle(std::string_view title) { return scannedTitles.add(title); }

    void clear()
    {
        scannedTitles.clear();
        dontUseTitles.clear();
        for (auto* list : {&invalidAirlines, &invalidModels, &fixes, &invalidFiles, &incompleteSections, &noFltsimFiles})
            list->clear();
    }
};

} // namespace zelk

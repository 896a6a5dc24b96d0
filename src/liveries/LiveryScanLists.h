#pragma once

#include <cstddef>
#include <functional>
#include <memory>
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

// The titles a scan has met, each entered once. Tens of thousands of short
// texts: their bytes live in a memory pool given back whole by clear(), and each
// title keeps its hash, so that neither a lookup nor a growing table hashes a
// stored title again.
class ScannedTitles {
public:
    // False when the title was there already.
    bool add(std::string_view title)
    {
        if (!memory_) memory_ = std::make_unique<std::pmr::monotonic_buffer_resource>();
        const auto [it, added] = titles_.insert(Title{title, std::hash<std::string_view>{}(title)});
        if (added && !title.empty()) {
            // The set holds a view of the caller's text until now: it keeps a copy of its own.
            char* bytes = nullptr;
            try {
                bytes = static_cast<char*>(memory_->allocate(title.size(), 1));
            } catch (...) {
                titles_.erase(it);
                throw;
            }
            title.copy(bytes, title.size());
            it->text = std::string_view(bytes, title.size());
        }
        return added;
    }
    bool contains(std::string_view title) const
    {
        return titles_.contains(Title{title, std::hash<std::string_view>{}(title)});
    }
    std::size_t size() const noexcept { return titles_.size(); }
    void reserve(std::size_t count) { titles_.reserve(count); }
    // Forgets every title and gives their memory back.
    void clear()
    {
        decltype(titles_)().swap(titles_);
        memory_.reset();
    }

private:
    struct Title {
        // Replaced by the same text in the pool once entered: neither its hash nor its equality changes.
        mutable std::string_view text;
        std::size_t hash;
        bool operator==(const Title& other) const { return hash == other.hash && text == other.text; }
    };
    struct TitleHash {
        std::size_t operator()(const Title& title) const noexcept { return title.hash; }
    };

    std::unique_ptr<std::pmr::monotonic_buffer_resource> memory_;
    std::unordered_set<Title, TitleHash> titles_;
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

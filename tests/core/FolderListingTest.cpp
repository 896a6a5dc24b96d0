#include "core/FolderListing.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

// A listing of a real folder whose steps fail where a case says: the step
// after entry `failAfter` fails in the first `failingListings` listings, and
// opening fails in the first `failingOpens`.
struct Script {
    std::vector<fs::path> entries;
    std::size_t failAfter = 0;
    int failingListings = 0;
    int failingOpens = 0;
    int listings = 0;
};
Script* lv_script = nullptr;

class ScriptedIterator {
public:
    ScriptedIterator() = default;
    ScriptedIterator(const fs::path&, fs::directory_options, std::error_code& ec)
    {
        Script& s = *lv_script;
        if (s.failingOpens > 0) {
            --s.failingOpens;
            ec = std::make_error_code(std::errc::io_error);
            return;
        }
        failing_ = s.listings++ < s.failingListings;
        at_ = s.entries.empty() ? npos : 0;
        if (at_ != npos) entry_ = fs::directory_entry(s.entries[0]);
    }
    const fs::directory_entry& operator*() const { return entry_; }
    const fs::directory_entry* operator->() const { return &entry_; }
    ScriptedIterator& increment(std::error_code& ec)
    {
        const Script& s = *lv_script;
        if (failing_ && at_ + 1 == s.failAfter) {
            ec = std::make_error_code(std::errc::io_error);
            at_ = npos; // as a directory iterator does after an error
            return *this;
        }
        at_ = at_ + 1 < s.entries.size() ? at_ + 1 : npos;
        if (at_ != npos) entry_ = fs::directory_entry(s.entries[at_]);
        return *this;
    }
    bool operator==(const ScriptedIterator& other) const { return at_ == other.at_; }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t at_ = npos;
    bool failing_ = false;
    fs::directory_entry entry_;
};

class FolderListing : public test::TempDirTest {
protected:
    std::vector<std::string> list(Script script)
    {
        for (const char* name : {"a", "b", "c", "d", "e"}) {
            test::writeAll(dir() / name, name);
            script.entries.push_back(dir() / name);
        }
        lv_script = &script;
        reports.clear();
        const auto entries = lf_listFolderEntries<ScriptedIterator>(
            dir(), [this](const std::string& line) { reports.push_back(line); });
        lv_script = nullptr;
        std::vector<std::string> names;
        for (const auto& e : entries) names.push_back(e.path().filename().string());
        return names;
    }
    std::vector<std::string> reports;
};

TEST_F(FolderListing, AFailingStepIsReportedAndTheListingGoesOnPastIt)
{
    const std::vector<std::string> all{"a", "b", "c", "d", "e"};
    struct Case {
        const char* name;
        Script script;
        std::vector<std::string> expected;
        std::size_t reports;
    };
    const Case cases[] = {
        {"no failure", {{}, 0, 0, 0}, all, 0},
        {"one failed step after b", {{}, 2, 1, 0}, all, 1},
        {"two failed listings", {{}, 4, 2, 0}, all, 2},
        {"a step that always fails after c", {{}, 3, 99, 0}, {"a", "b", "c"}, std::size_t(kMaxFolderListings)},
        {"cannot be listed", {{}, 0, 0, 1}, {}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(list(c.script), c.expected) << c.name;
        EXPECT_EQ(reports.size(), c.reports) << c.name;
    }
    list({{}, 2, 1, 0});
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("Listing " + path_to_utf8(dir()) + " failed after 2 entries: ", 0), 0u) << reports[0];
    list({{}, 0, 0, 1});
    EXPECT_EQ(reports[0].rfind("Could not list " + path_to_utf8(dir()) + ": ", 0), 0u) << reports[0];
}

TEST_F(FolderListing, ARealFolderIsListedWhole)
{
    for (const char* name : {"x", "y"}) test::writeAll(dir() / name, name);
    fs::create_directories(dir() / "sub");
    std::vector<std::string> reports;
    auto entries = lf_listFolderEntries(dir(), [&](const std::string& line) { reports.push_back(line); });
    std::sort(entries.begin(), entries.end());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].path().filename(), "sub");
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(lf_listFolderEntries(dir() / "missing", [&](const std::string& line) { reports.push_back(line); })
                    .empty());
    EXPECT_EQ(reports.size(), 1u);
}

} // namespace
} // namespace zelk

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "traffic/TrafficHash.h"

namespace zelk {

struct StaticAc;

// Liveries the simulator refused to create (never offered again within the
// process), the livery each live aircraft had (kept across a respawn), and the
// aircraft no livery matched (reported in the log). Worker thread only.
class LiveryBookkeeping {
public:
    // Distinct refused titles at which the user's AI packages count as unusable.
    static constexpr std::size_t kUncreatableLimit = 20;

    struct Hooks {
        std::function<bool()> isRunning;                 // a refusal shows a message only while running
        std::function<void(std::string)> showMessage;    // status message, also logged
        std::function<void(std::string_view)> writeLogLine;
    };

    explicit LiveryBookkeeping(Hooks hooks);

    // Books the refused livery of the aircraft; throws UserRelatedException 81
    // once the limit of distinct titles is reached (both sets are updated first).
    void registerUncreatable(const StaticAc& aircraft);
    bool isUncreatable(std::string_view title) const;
    // "  " + "{model} {airline}" of every refused type, in the set's order.
    std::vector<std::string> uncreatableTypeList() const;
    std::size_t uncreatableCount() const { return uncreatableLiveries_.size(); }

    // The title must outlive the entry (a view into the livery table).
    void remember(std::uint32_t hexId, std::string_view title);
    // The remembered title of the hex id; a title refused meanwhile is erased
    // and gives nothing.
    std::optional<std::string_view> rememberedTitle(std::uint32_t hexId);
    bool forgetRemembered(std::uint32_t hexId);
    void clearRemembered();
    std::size_t rememberedCount() const { return remembered_.size(); }

    void addUnmatched(std::string row);
    bool isUnmatched(const std::string& row) const { return unmatched_.contains(row); }
    void clearUnmatched();
    std::size_t unmatchedCount() const { return unmatched_.size(); }
    void logUnmatched() const;

private:
    Hooks hooks_;
    TrafficIdMap<std::string_view> remembered_;
    TrafficTextSet uncreatableLiveries_;
    TrafficTextSet uncreatableTypes_;
    TrafficTextSet unmatched_;
};

// The engine's bookkeeping (run state, status line and log of the program).
LiveryBookkeeping& gf_liveryBookkeeping();

void gf_registerUncreatableLivery(const StaticAc& aircraft);
bool gf_isUncreatableLivery(std::string_view title);
std::vector<std::string> gf_uncreatableLiveryList();
bool gf_forgetRememberedLivery(std::uint32_t hexId);
void gf_logUnmatchedLiveries();

} // namespace zelk

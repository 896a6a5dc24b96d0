#include "traffic/LiveryBookkeeping.h"

#include <fmt/format.h>

#include "core/Log.h"
#include "core/StopRequest.h"
#include "core/UserRelatedException.h"
#include "gui/GuiUpdate.h"
#include "liveries/CodeTables.h"
#include "traffic/AircraftRecords.h"

namespace zelk {
namespace {

constexpr std::string_view kTooManyUncreatable = "There are too many liveries that could not be created!";

} // namespace

LiveryBookkeeping::LiveryBookkeeping(Hooks hooks)
    : hooks_(std::move(hooks)), remembered_(kTrafficHashBuckets), uncreatableLiveries_(kTrafficHashBuckets),
      uncreatableTypes_(kTrafficHashBuckets), unmatched_(kTrafficHashBuckets)
{
    remembered_.max_load_factor(1.0f);
    uncreatableLiveries_.max_load_factor(1.0f);
    uncreatableTypes_.max_load_factor(1.0f);
    unmatched_.max_load_factor(1.0f);
}

void LiveryBookkeeping::registerUncreatable(const StaticAc& aircraft)
{
    // A refusal during the close-down is still booked, so that a restart does
    // not offer the livery again, but the user is no longer told.
    if (hooks_.isRunning && hooks_.isRunning() && hooks_.showMessage)
        hooks_.showMessage(
            fmt::format("{} '{}' could not be created by your Sim!", aircraft.head.callsign, aircraft.liveryTitle));
    uncreatableLiveries_.emplace(aircraft.liveryTitle);
    uncreatableTypes_.emplace(fmt::format("{} {}", gf_modelCodeText(aircraft.head.key.model),
                                          gf_airlineCodeText(aircraft.head.key.airline)));
    if (uncreatableLiveries_.size() < kUncreatableLimit) return;
    if (hooks_.writeLogLine) hooks_.writeLogLine(fmt::format("\n{}Error 81, {}\n", "===> ", kTooManyUncreatable));
    throw UserRelatedException(81, fmt::format("{}, see Log.txt", kTooManyUncreatable));
}

bool LiveryBookkeeping::isUncreatable(std::string_view title) const
{
    return uncreatableLiveries_.find(title) != uncreatableLiveries_.end();
}

std::vector<std::string> LiveryBookkeeping::uncreatableTypeList() const
{
    std::vector<std::string> lines;
    lines.reserve(uncreatableTypes_.size());
    for (const std::string& type : uncreatableTypes_) lines.push_back("  " + type);
    return lines;
}

void LiveryBookkeeping::remember(std::uint32_t hexId, std::string_view title) { remembered_[hexId] = title; }

std::optional<std::string_view> LiveryBookkeeping::rememberedTitle(std::uint32_t hexId)
{
    const auto it = remembered_.find(hexId);
    if (it == remembered_.end()) return std::nullopt;
    if (isUncreatable(it->second)) {
        remembered_.erase(it);
        return std::nullopt;
    }
    return it->second;
}

bool LiveryBookkeeping::forgetRemembered(std::uint32_t hexId) { return remembered_.erase(hexId) > 0; }

void LiveryBookkeeping::clearRemembered() { remembered_.clear(); }

void LiveryBookkeeping::addUnmatched(std::string row) { unmatched_.insert(std::move(row)); }

void LiveryBookkeeping::clearUnmatched() { unmatched_.clear(); }

void LiveryBookkeeping::logUnmatched() const
{
    if (unmatched_.empty() || !hooks_.writeLogLine) return;
    hooks_.writeLogLine("\nNo match found for:");
    for (const std::string& row : unmatched_) hooks_.writeLogLine(row);
    hooks_.writeLogLine("");
}

LiveryBookkeeping& gf_liveryBookkeeping()
{
    static LiveryBookkeeping bookkeeping(LiveryBookkeeping::Hooks{
        [] { return gf_isRunning(); }, [](std::string text) { gf_postGuiUpdate(gui_update::ShowMessage{std::move(text), true}); },
        [](std::string_view line) { gf_writeLogLine(line); }});
    return bookkeeping;
}

void gf_registerUncreatableLivery(const StaticAc& aircraft) { gf_liveryBookkeeping().registerUncreatable(aircraft); }
bool gf_isUncreatableLivery(std::string_view title) { return gf_liveryBookkeeping().isUncreatable(title); }
std::vector<std::string> gf_uncreatableLiveryList() { return gf_liveryBookkeeping().uncreatableTypeList(); }
bool gf_forgetRememberedLivery(std::uint32_t hexId) { return gf_liveryBookkeeping().forgetRemembered(hexId); }
void gf_logUnmatchedLiveries() { gf_liveryBookkeeping().logUnmatched(); }

} // namespace zelk

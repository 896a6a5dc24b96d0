#include "core/Settings.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace zelk {
namespace {

// Function-local statics so that readers running during static initialisation
// of other files still find a record.
std::atomic<std::shared_ptr<const SettingsSnapshot>>& lf_settingsSlot()
{
    static std::atomic<std::shared_ptr<const SettingsSnapshot>> slot{std::make_shared<const SettingsSnapshot>()};
    return slot;
}

std::atomic<std::shared_ptr<const ProgramMode>>& lf_modeSlot()
{
    static std::atomic<std::shared_ptr<const ProgramMode>> slot{std::make_shared<const ProgramMode>()};
    return slot;
}

std::atomic<bool> lv_blockCallsignPrefix{false};

} // namespace

std::shared_ptr<const SettingsSnapshot> gf_settings() { return lf_settingsSlot().load(); }

void gf_publishSettings(SettingsSnapshot snapshot)
{
    lf_settingsSlot().store(std::make_shared<const SettingsSnapshot>(std::move(snapshot)));
}

void gf_updateSettings(const std::function<void(SettingsSnapshot&)>& change)
{
    auto& slot = lf_settingsSlot();
    std::shared_ptr<const SettingsSnapshot> expected = slot.load();
    for (;;) {
        auto copy = std::make_shared<SettingsSnapshot>(*expected);
        change(*copy);
        std::shared_ptr<const SettingsSnapshot> desired = std::move(copy);
        if (slot.compare_exchange_strong(expected, desired)) return;
    }
}

std::shared_ptr<const ProgramMode> gf_programMode() { return lf_modeSlot().load(); }

void gf_storeProgramMode(ProgramMode mode) { lf_modeSlot().store(std::make_shared<const ProgramMode>(mode)); }

bool gf_isRTDirect() { return gf_programMode()->trafficSource == kTrafficSourceRtDirect; }

bool gf_isMsfs2020() { return gf_programMode()->simulator == kSimulatorMsfs2020; }

void gf_setBlockCallsignPrefix(bool prefix) { lv_blockCallsignPrefix.store(prefix); }

bool gf_blockCallsignPrefix() { return lv_blockCallsignPrefix.load(); }

void gf_setBlockedRegcode(const std::string& regcode)
{
    gf_updateSettings([&](SettingsSnapshot& s) { s.blocked.BLOCK_REGCODE = regcode; });
}

void gf_setBlockedHexIdAndRegcode(std::uint32_t hexId, const std::string& regcode)
{
    gf_updateSettings([&](SettingsSnapshot& s) {
        s.blocked.BLOCK_HEXIDDEC = hexId;
        s.blocked.BLOCK_REGCODE = regcode;
    });
}

void gf_setBlockedAircraftIdentity(const std::string& callsign, std::uint32_t hexId, const std::string& regcode)
{
    gf_updateSettings([&](SettingsSnapshot& s) {
        s.blocked.BLOCK_CALLSIGN = callsign;
        s.blocked.BLOCK_HEXIDDEC = hexId;
        s.blocked.BLOCK_REGCODE = regcode;
        s.blocked.blockCallsignPrefix = false;
    });
}

std::uint32_t gf_rangeMetersFor(double nm, bool rtDirect)
{
    const double extra = rtDirect ? 10000.0 : 0.0;
    const double meters = std::max(0.0, nm) * 1852.0 + extra;
    constexpr double kMax = static_cast<double>(std::numeric_limits<std::uint32_t>::max());
    if (!(meters < kMax)) return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(std::lround(meters));
}

} // namespace zelk

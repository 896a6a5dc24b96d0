#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/ParkPos.h"
#include "core/Log.h"
#include "ground/Parking.h"
#include "support/LoggedTempDir.h"
#include "support/ScopedEnv.h"
#include "traffic/AircraftRecords.h"
#include "traffic/FeedHooks.h"
#include "traffic/TrafficHooks.h"
#include "traffic/TrafficState.h"

namespace zelk::test {

// A fresh working folder with its own Log.txt, the engine's containers reset,
// and screen updates collected instead of posted; hooks are put back after.
class TrafficStateTest : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        // Flight plans and the like go to the per-user folder: this process's own, never the user's.
        processConfigHome();
        LoggedTempDirTest::SetUp();
        gf_updateTrafficStateHooks([this](TrafficStateHooks& h) {
            h = TrafficStateHooks{};
            h.postScreenUpdate = [this](GuiUpdate u) { screen.push_back(std::move(u)); };
        });
        gf_resetTrafficState();
    }
    void TearDown() override
    {
        gf_updateTrafficStateHooks([](TrafficStateHooks& h) { h = TrafficStateHooks{}; });
        gf_resetTrafficState();
        LoggedTempDirTest::TearDown();
    }

    template <typename Payload>
    std::vector<Payload> screenUpdates() const
    {
        std::vector<Payload> found;
        for (const GuiUpdate& u : screen)
            if (const Payload* p = u.as<Payload>()) found.push_back(*p);
        return found;
    }

    std::vector<GuiUpdate> screen;
};

// A stand of the given id (element id - 1 of the list), 40 m radius gate by default.
inline ParkPos makeStand(std::uint32_t id, std::string name, double latitude = 52.0, double longitude = 4.0,
                         StandType type = StandType::GATE_HEAVY, double radiusNm = 0.0216)
{
    ParkPos stand;
    stand.id = id;
    stand.name = std::move(name);
    stand.latitude = latitude;
    stand.longitude = longitude;
    stand.type = type;
    stand.radius = radiusNm;
    return stand;
}

// Puts the stands into the engine's list with their name index.
inline void installStands(std::vector<ParkPos> stands)
{
    gf_stands() = std::move(stands);
    gf_standNameMap().clear();
    for (const ParkPos& s : gf_stands()) gf_standNameMap().emplace(s.name, static_cast<std::int32_t>(s.id));
}

inline StaticAc makeAircraft(std::string callsign, std::string registration, LiveryKey key = {},
                             AcCategory category = AcCategory::Large)
{
    StaticAc ac;
    ac.head.callsign = std::move(callsign);
    ac.head.registration = std::move(registration);
    ac.head.key = key;
    ac.category = category;
    return ac;
}

// The feed's received parked list as either reader hands it over, placed by
// the parking's own placement. The list must outlive the hooks.
inline void installFeedParkedList(std::vector<ParkedTrafficRecord>& feed)
{
    gf_updateFeedHooks([&feed](FeedHooks& h) {
        h.app.withParkedList = [&feed](const ParkedListBody& body) {
            body(feed);
            return true;
        };
        h.webApi.withParkedList = h.app.withParkedList;
        h.placeParkedTraffic = gf_addRTParkedTraffic;
    });
}

} // namespace zelk::test

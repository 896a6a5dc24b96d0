#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "core/Log.h"
#include "core/Settings.h"
#include "core/StopRequest.h"
#include "liveries/UserWingspan.h"
#include "simlink/FakeSimPort.h"
#include "simlink/SimClient.h"
#include "simlink/SimObjectResultQueue.h"
#include "simlink/UserAircraftState.h"
#include "support/LoggedTempDir.h"
#include "traffic/TrafficHooks.h"

namespace zelk::test {

// A link on the stand-in, driven one dispatch at a time on the test thread, with
// the log in the test's folder so lines can be checked.
class SimLinkTest : public LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        gf_storeProgramMode(ProgramMode{kSimulatorMsfs2024, kTrafficSourceRtDirect});
        gf_resetStopRequest();
        stop_detail::resetClosingByUserForTests();
        gf_resetSimClientState();
        gf_clearSimSwitchFlag();
        gf_prepareSimClientState();
        gf_installSimLinkTrafficHooks();
        gf_setWingspanLookup(gf_userWingspanOfModel);
        gf_clearSimObjectResults(0);
        port.setProduct(SimProduct::Msfs2024);
        port.setSimulationRunning(true);
        port.setFrameTiming(1, 1000);
    }

    void TearDown() override
    {
        gf_setSimLinkHooks({});
        gf_setWingspanLookup({});
        gf_updateSettings([](SettingsSnapshot& s) { s = SettingsSnapshot{}; });
        gf_resetStopRequest();
        gf_resetSimClientState();
        gf_clearSimSwitchFlag();
        gf_clearSimObjectResults(0);
        LoggedTempDirTest::TearDown();
    }

    SimClientTiming noWaitTiming()
    {
        SimClientTiming t;
        t.sleep = [this](std::chrono::milliseconds d) { clock += d; };
        t.now = [this] { return clock; };
        t.shutdownWait = std::chrono::milliseconds(200);
        return t;
    }

    // Dispatches n times (n frames while the simulation runs).
    void frames(SimClient& client, int n)
    {
        for (int i = 0; i < n; ++i) {
            client.dispatchOnce();
            clock += std::chrono::milliseconds(1);
        }
    }

    std::vector<SimObjectResult> takeResults()
    {
        std::vector<SimObjectResult> out;
        gf_takeSimObjectResults(out);
        return out;
    }

    FakeSimPort port;
    std::chrono::steady_clock::time_point clock = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
};

} // namespace zelk::test

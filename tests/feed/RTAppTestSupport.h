#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "core/Clock.h"
#include "core/Settings.h"
#include "feed/BadInputLog.h"
#include "feed/RTAppLines.h"
#include "feed/RTAppReaderState.h"
#include "simlink/UserAircraftState.h"
#include "traffic/TrafficTestData.h"
#include "traffic/UserPosition.h"

namespace zelk::test {

// The wall clock of tests whose records carry fixed times: records more than a
// day from the clock are refused.
inline constexpr std::time_t kFeedTestNow = 1700000000;

// An airborne RTTFC line near 52N 4E, its fields as strings to change one by one;
// as the app sends it: field 6 is the on-ground flag, 0 in flight.
inline std::vector<std::string> rtTrafficFields(const std::string& tag = "RTTFC")
{
    std::vector<std::string> f(44);
    f[0] = tag;
    f[1] = "4736262"; // 0x484506, decimal as the app sends it
    f[2] = "52.2";
    f[3] = "4.5";
    f[4] = "5000";
    f[5] = "500";
    f[6] = "0";
    f[7] = "90";
    f[8] = "250";
    f[9] = "KLM123";
    f[10] = "B738";
    f[11] = "PH-BXA";
    f[12] = "AMS";
    f[13] = "JFK";
    f[14] = "1700000000.4";
    f[17] = "adsb_icao";
    f[20] = "260";
    f[23] = "10";
    f[25] = "91";
    f[28] = "A3";
    f[43] = "DLH";
    return f;
}

inline std::string joinFields(const std::vector<std::string>& fields)
{
    std::string line = fields.front();
    for (std::size_t i = 1; i < fields.size(); ++i) line += "," + fields[i];
    return line;
}

// Reader state, settings and user as a run near 52N 4E has them.
inline void prepareRTAppRun()
{
    loadTrafficTestDbase();
    gf_setUserAircraftPosition(UserAcPosition{});
    gf_clearParkAirport();
    SettingsSnapshot settings;
    settings.rangeNm = 60.0;
    settings.rangeNmSquared = 3600.0;
    gf_publishSettings(settings);
    gf_resetRTAppReaderState();
    gf_setRTAppUserPosition(52.0, 4.0);
    gf_setRTAppAirportAltitude(std::nullopt);
}

// Batches handed over by the line intake, as kind, delay and records.
struct Delivery {
    BatchKind kind;
    std::uint32_t delay;
    std::vector<TrafficRecord> records;
};

} // namespace zelk::test

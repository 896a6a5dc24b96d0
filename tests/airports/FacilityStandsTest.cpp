#include <chrono>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "airports/FacilityStands.h"
#include "core/StopRequest.h"
#include "simlink/FakeSimPort.h"
#include "simlink/SimClient.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

// The facility reader on the simulator stand-in, as the scenery scan calls it.
class FacilityStandsTest : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        gf_resetStopRequest();
        gf_setSimPortFactory([this] {
            auto port = std::make_unique<FakeSimPort>();
            port->setProduct(SimProduct::Msfs2024);
            port->setFacilities(IcaoCode("LSZH"), airport);
            port->stallFacilities(stall);
            port->failCalls("close", failClose);
            lastPort = port.get();
            return port;
        });
        airport.airport = IcaoCode("LSZH");
        airport.airportName = "Zurich";
        airport.latitude = 47.458056;
        airport.longitude = 8.548056;
        airport.altitudeFt = 1416.4;
        airport.stands = {FacilityStand{"GATE A12", 47.4609, 8.5577, 220.0, 24.0, 9}};
    }
    void TearDown() override
    {
        gf_closeParkingDataReader();
        gf_setSimPortFactory({});
        gf_resetStopRequest();
        LoggedTempDirTest::TearDown();
    }
    // A fresh read: the connection is opened anew with the airport as it is now.
    bool read(ApfParameters& record)
    {
        gf_closeParkingDataReader();
        record.icao = IcaoCode("LSZH");
        std::uint32_t helipads = 0;
        return gf_readFacilityStands(record, helipads) == FacilityRead::Read;
    }
    std::size_t logLines()
    {
        const std::string text = log();
        std::size_t n = 0;
        for (auto at = text.find("Facility data of LSZH give no usable altitude"); at != std::string::npos;
             at = text.find("Facility data of LSZH give no usable altitude", at + 1))
            ++n;
        return n;
    }
    sim_event::Facilities airport;
    bool stall = false;
    bool failClose = false;
    FakeSimPort* lastPort = nullptr;
};

TEST_F(FacilityStandsTest, TheAirportRecordGivesNameReferencePointAndAltitude)
{
    struct Case {
        const char* what;
        double altitudeFt;
        std::int32_t written;
    };
    const Case cases[] = {
        {"rounded to the nearest foot", 1416.4, 1416},
        {"half a foot rounds away from zero", 1416.5, 1417},
        {"below sea level", -1266.6, -1267},
        {"the highest airports", 14472.0, 14472},
    };
    for (const Case& c : cases) {
        airport.altitudeFt = c.altitudeFt;
        ApfParameters record;
        ASSERT_TRUE(read(record)) << c.what;
        EXPECT_EQ(record.altitude, c.written) << c.what;
        EXPECT_EQ(record.airportName, "Zurich") << c.what;
        EXPECT_DOUBLE_EQ(record.latitude, 47.458056) << c.what;
        EXPECT_DOUBLE_EQ(record.longitude, 8.548056) << c.what;
        ASSERT_EQ(record.stands.size(), 1u) << c.what;
    }
}

TEST_F(FacilityStandsTest, DamagedAirportValuesLeaveTheRecordsOwn)
{
    struct Case {
        const char* what;
        double altitudeFt;
        double latitude;
        bool logged;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"no altitude", nan, 47.458056, true},
        {"an altitude no airport has", 90000.0, 47.458056, true},
        {"a position off the globe", 1416.0, 91.0, false},
    };
    for (const Case& c : cases) {
        airport.altitudeFt = c.altitudeFt;
        airport.latitude = c.latitude;
        ApfParameters record;
        record.altitude = 1400;
        record.latitude = 47.45;
        record.longitude = 8.55;
        const auto linesBefore = logLines();
        ASSERT_TRUE(read(record)) << c.what;
        const bool goodAltitude = !c.logged;
        EXPECT_EQ(record.altitude, goodAltitude ? 1416 : 1400) << c.what;
        const bool goodPosition = c.latitude <= 90.0;
        EXPECT_DOUBLE_EQ(record.latitude, goodPosition ? c.latitude : 47.45) << c.what;
        EXPECT_DOUBLE_EQ(record.longitude, goodPosition ? 8.548056 : 8.55) << c.what;
        EXPECT_EQ(logLines() > linesBefore, c.logged) << c.what;
    }
}

TEST_F(FacilityStandsTest, ANameCutInsideACharacterKeepsItsWholeCharacters)
{
    struct Case {
        std::string given;
        std::string kept;
    };
    const Case cases[] = {
        {"  Zurich Kloten  ", "Zurich Kloten"},
        // The 32-byte field ends inside the two bytes of an u-umlaut.
        {"Flughafen Z\xC3", "Flughafen Z"},
        {"Z\xC3\xBCrich", "Z\xC3\xBCrich"},
        // Not UTF-8 at all (a Windows-1252 u-umlaut inside): its ASCII letters stay.
        {"Z\xFCrich Airport", "Zrich Airport"},
        {"", ""},
    };
    for (const Case& c : cases) {
        airport.airportName = c.given;
        ApfParameters record;
        ASSERT_TRUE(read(record));
        EXPECT_EQ(record.airportName, c.kept);
    }
}

TEST_F(FacilityStandsTest, TheConnectionIsParkingDataReaderAndItsCloseIsLogged)
{
    struct Case {
        bool failClose;
        const char* line;
    };
    for (const Case& c : {Case{false, "SimConnect closed ok"}, Case{true, "Closing SimConnect failed?!"}}) {
        failClose = c.failClose;
        ApfParameters record;
        ASSERT_TRUE(read(record));
        ASSERT_NE(lastPort, nullptr);
        EXPECT_EQ(lastPort->callLog().front(), "open PARKING_DATA_RDR");
        const auto before = log().size();
        gf_closeParkingDataReader();
        const std::string lines = log().substr(before);
        EXPECT_NE(lines.find(std::string(c.line) + "\n"), std::string::npos) << lines;
        EXPECT_NE(lines.find("SimConnect (PARKING_DATA_RDR) closed"), std::string::npos) << lines;
        EXPECT_LT(lines.find(c.line), lines.find("SimConnect (PARKING_DATA_RDR) closed"));
    }
    // Nothing open: nothing to say.
    const auto before = log().size();
    gf_closeParkingDataReader();
    EXPECT_EQ(log().size(), before);
}

TEST_F(FacilityStandsTest, AStopEndsAStalledReadWithinASecond)
{
    stall = true;
    // Counted from the stop itself: a busy machine may wake the stopper late.
    std::atomic<std::chrono::steady_clock::rep> stopAt{0};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stopAt = std::chrono::steady_clock::now().time_since_epoch().count();
        gf_requestStop(StopReason::NewSettings, 0);
    });
    ApfParameters record;
    record.icao = IcaoCode("LSZH");
    std::uint32_t helipads = 0;
    EXPECT_EQ(gf_readFacilityStands(record, helipads), FacilityRead::Failed); // would wait 30 s
    const auto end = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_LT(end - std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(stopAt.load())),
              std::chrono::seconds(1));
    EXPECT_TRUE(record.stands.empty());
    EXPECT_NE(log().find("Facility data request for LSZH ended by the stop"), std::string::npos);
}

TEST_F(FacilityStandsTest, AnAirportTheSimulatorDoesNotKnowFillsNothing)
{
    ApfParameters record;
    record.icao = IcaoCode("XXXX");
    record.altitude = 12;
    std::uint32_t helipads = 0;
    EXPECT_EQ(gf_readFacilityStands(record, helipads), FacilityRead::NotKnown);
    EXPECT_EQ(record.altitude, 12);
    EXPECT_TRUE(record.airportName.empty());
    EXPECT_TRUE(record.stands.empty());
}

} // namespace
} // namespace zelk

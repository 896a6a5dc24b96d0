#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "SimLinkTestSupport.h"
#include "simlink/FacilityReader.h"

namespace zelk {
namespace {

using FacilityReaderTest = test::SimLinkTest;

FacilityReader::Timing lf_noWait()
{
    FacilityReader::Timing t;
    t.sleep = [](std::chrono::milliseconds) {};
    t.timeout = std::chrono::milliseconds(50);
    return t;
}

TEST_F(FacilityReaderTest, ReadsStandsHelipadsAndRunwaysOfAKnownAirport)
{
    sim_event::Facilities data;
    data.stands = {FacilityStand{"GATE A 12", 50.05, 8.57, 157.0, 24.0, 8}};
    data.helipads = {FacilityHelipad{50.04, 8.55, 90.0, 20.0, 20.0}};
    data.runways = {FacilityRunway{"07C", "25C", 50.03, 8.56, 69.0, 4000.0, 60.0, 364.0}};
    port.setFacilities(IcaoCode("EDDF"), data);
    FacilityReader reader(port, lf_noWait());

    const auto eddf = reader.read(IcaoCode("EDDF"));
    ASSERT_TRUE(eddf.has_value());
    EXPECT_TRUE(eddf->found);
    ASSERT_EQ(eddf->stands.size(), 1u);
    EXPECT_EQ(eddf->stands[0].name, "GATE A 12");
    EXPECT_EQ(eddf->helipads.size(), 1u);
    ASSERT_EQ(eddf->runways.size(), 1u);
    EXPECT_EQ(eddf->runways[0].secondary, "25C");

    const auto unknown = reader.read(IcaoCode("ZZZZ"));
    ASSERT_TRUE(unknown.has_value());
    EXPECT_FALSE(unknown->found);
    EXPECT_EQ(port.counts().opens, 1u); // one connection for both
}

TEST_F(FacilityReaderTest, NothingWithoutASimulatorOrWhenTheRequestOrConnectionFails)
{
    port.setProduct(SimProduct::None);
    FacilityReader reader(port, lf_noWait());
    EXPECT_FALSE(reader.read(IcaoCode("EDDF")));
    port.setProduct(SimProduct::Msfs2024);
    port.failCalls("request", true);
    EXPECT_FALSE(reader.read(IcaoCode("EDDF")));
    EXPECT_NE(log().find("SimConnect facility request for EDDF fails hr=0x80004005"), std::string::npos);

    // A dropped connection ends the read; the next one reconnects.
    port.failCalls("request", false);
    port.setFacilities(IcaoCode("EDDF"), sim_event::Facilities{});
    const auto opensBefore = port.counts().opens;
    port.dropConnection();
    EXPECT_FALSE(reader.read(IcaoCode("EDDF")));
    EXPECT_TRUE(reader.read(IcaoCode("EDDF")).has_value());
    EXPECT_EQ(port.counts().opens, opensBefore + 1);
}

// The wait counts real time: each dispatch of a busy simulator takes time of
// its own, which the former count of poll sleeps alone never saw.
TEST_F(FacilityReaderTest, TheWaitCountsRealTimeNotPolls)
{
    struct Case {
        std::chrono::milliseconds dispatchTakes;
        std::chrono::milliseconds sleepTakes;
        std::uint64_t mostDispatches;
    };
    const Case cases[] = {
        {std::chrono::milliseconds(2000), std::chrono::milliseconds(0), 6}, // 10 s in 2-s dispatches
        {std::chrono::milliseconds(0), std::chrono::milliseconds(5), 2001},   // polls of 5 ms
        {std::chrono::milliseconds(995), std::chrono::milliseconds(5), 11},
    };
    port.stallFacilities(true);
    for (const Case& c : cases) {
        std::chrono::steady_clock::time_point clock{};
        FacilityReader::Timing t;
        t.timeout = std::chrono::milliseconds(10000);
        t.sleep = [&](std::chrono::milliseconds) { clock += c.sleepTakes; };
        std::uint64_t before = port.counts().dispatches;
        t.now = [&] {
            // A dispatch happened since the last look at the clock: it took its time.
            const std::uint64_t now = port.counts().dispatches;
            clock += c.dispatchTakes * static_cast<long>(now - before);
            before = now;
            return clock;
        };
        t.keepGoing = [] { return true; };
        const std::uint64_t start = port.counts().dispatches;
        FacilityReader reader(port, t);
        EXPECT_FALSE(reader.read(IcaoCode("EDDF")));
        const std::uint64_t dispatches = port.counts().dispatches - start;
        EXPECT_LE(dispatches, c.mostDispatches) << c.dispatchTakes.count();
        EXPECT_GE(dispatches, c.mostDispatches - 1) << c.dispatchTakes.count();
    }
    EXPECT_TRUE((log().find("==> Facility data request timed out for EDDF") != std::string::npos));
}

TEST_F(FacilityReaderTest, AStopEndsAStalledReadWithinASecond)
{
    port.stallFacilities(true);
    FacilityReader::Timing t;
    t.timeout = std::chrono::milliseconds(30000);
    FacilityReader reader(port, t); // the real clock, sleeps and stop request
    // Counted from the stop itself: a busy machine may wake the stopper late.
    std::atomic<std::chrono::steady_clock::rep> stopAt{0};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stopAt = std::chrono::steady_clock::now().time_since_epoch().count();
        gf_requestStop(StopReason::NewSettings, 0);
    });
    EXPECT_FALSE(reader.read(IcaoCode("EDDF")));
    const auto end = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_LT(end - std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(stopAt.load())),
              std::chrono::seconds(1));
    EXPECT_TRUE((log().find("Facility data request for EDDF ended by the stop") != std::string::npos));
    EXPECT_FALSE((log().find("timed out") != std::string::npos));
}

TEST_F(FacilityReaderTest, AFailedDispatchIsANoticeAndCloses)
{
    port.setFacilities(IcaoCode("EDDF"), sim_event::Facilities{});
    FacilityReader reader(port, lf_noWait());
    ASSERT_TRUE(reader.read(IcaoCode("EDDF")));
    EXPECT_TRUE(reader.isOpen());
    port.dropConnection();
    EXPECT_FALSE(reader.read(IcaoCode("EDDF")));
    EXPECT_TRUE((log().find("==> SimConnect_CallDispatch failed for EDDF: 0x80004005") != std::string::npos));
    EXPECT_FALSE(reader.isOpen());
}

} // namespace
} // namespace zelk

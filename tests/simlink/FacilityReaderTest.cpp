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

} // namespace
} // namespace zelk

#include "traffic/ParkedTraffic.h"

#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include "core/Settings.h"
#include "liveries/AircraftDatabase.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {

// 2023-11-14 10:29:29 UTC
constexpr std::int64_t k102929 = 1699957769;

TEST(ParkedSlot, SecondHalfOfTheHourStartsAtMinute29Second30)
{
    EXPECT_EQ(gf_parkedHalfHourSlot(k102929), 20);
    EXPECT_EQ(gf_parkedHalfHourSlot(k102929 + 1), 21);
    EXPECT_EQ(gf_parkedHalfHourSlot(k102929 - 10 * 3600 - 29 * 60 - 29), 0);
    EXPECT_EQ(gf_parkedHalfHourSlot(k102929 + 13 * 3600 + 30 * 60 + 30), 47) << "23:59:59";
}

class ParkedIntake : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::loadTrafficTestDbase();
        auto s = std::make_shared<SettingsSnapshot>();
        s->HELICOPTERS = false;
        context.settings = s;
        fields.hexId = 0x484506;
        fields.latitude = 52.31;
        fields.longitude = 4.76;
        fields.time = k102929;
        fields.callsign = "KLM1";
        fields.type = "B738";
        fields.registration = "PH-BXB";
        fields.stand = "D7";
    }
    std::optional<ParkedTrafficRecord> build() { return gf_buildParkedRecord(fields, context, stands); }

    IntakeContext context;
    ParkedFields fields;
    UserStandNames stands;
};

TEST_F(ParkedIntake, BuildsAParkedRecord)
{
    const auto r = build();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->hexId, 0x484506u);
    EXPECT_EQ(r->slot, 20);
    EXPECT_EQ(r->ageComputed, 0);
    EXPECT_EQ(r->stand, "D7");
    EXPECT_EQ(r->head.callsign, "KLM1");
    EXPECT_EQ(r->head.key.airline, gf_airlineCode2Index("KLM"));
    EXPECT_EQ(r->head.key.model, gf_modelCode2Index("B738"));
}

TEST_F(ParkedIntake, RefusedReports)
{
    fields.hexId = 10000;
    EXPECT_FALSE(build());
    fields.hexId = 10001;
    EXPECT_TRUE(build());
    fields.time = 0;
    EXPECT_FALSE(build());
    fields.time = k102929;
    fields.type = "";
    EXPECT_FALSE(build());
    fields.type = "XXXX";
    EXPECT_FALSE(build()) << "not a database model";
    fields.type = "EC35";
    EXPECT_FALSE(build()) << "helicopters are switched off";
    fields.type = "B738";
    fields.latitude = 95.0;
    try {
        build();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "lalo: 95.000000,4.760000");
    }
}

TEST_F(ParkedIntake, KnownRegistrationGivesKeyAndCallsign)
{
    fields.callsign = "";
    fields.registration = "PH-BXA";
    fields.type = "ZZZZ"; // the database record decides the model
    const auto r = build();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->head.callsign, "PH-BXA");
    EXPECT_EQ(r->head.key.valid, 1);
    EXPECT_EQ(r->head.key.model, gf_modelCode2Index("B738"));
}

TEST_F(ParkedIntake, CallsignThatIsARegistration)
{
    fields.callsign = "N123FX";
    fields.registration = "";
    fields.type = "B77F";
    const auto r = build();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->head.registration, "N123FX");
    EXPECT_EQ(r->head.key.airline, gf_airlineCode2Index("FDX")) << "no operator: the airline stays";
    EXPECT_EQ(r->head.key.cargo, 1);
}

TEST_F(ParkedIntake, B777OfACargoAirlineBecomesB77F)
{
    fields.callsign = "FDX12";
    fields.type = "B777";
    const auto r = build();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->head.key.model, gf_modelCode2Index("B77F"));
    EXPECT_EQ(r->head.key.cargo, 1);
}

TEST_F(ParkedIntake, NeverOnTheUsersStand)
{
    stands.parkAirportStand = "D7";
    EXPECT_FALSE(build());
    stands.parkAirportStand = "D8";
    stands.standAtUserPosition = "D7";
    EXPECT_FALSE(build());
    fields.stand = "";
    stands.parkAirportStand = "";
    stands.standAtUserPosition = "";
    EXPECT_TRUE(build()) << "an empty stand text is no stand";
}

ParkedTrafficRecord parked(std::string callsign, std::string stand, std::int32_t slot)
{
    ParkedTrafficRecord r;
    r.head.callsign = std::move(callsign);
    r.stand = std::move(stand);
    r.slot = slot;
    return r;
}

TEST(ParkedList, SlotsBecomeAgesOnceYoungestFirst)
{
    std::vector<ParkedTrafficRecord> list{parked("AAA1", "A1", 45), parked("BBB1", "B1", 2), parked("CCC1", "C1", 3)};
    gf_refreshParkedList(list, 3, true, 47);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].head.callsign, "CCC1");
    EXPECT_EQ(list[0].slot, 0);
    EXPECT_EQ(list[1].slot, 1);
    EXPECT_EQ(list[2].head.callsign, "AAA1");
    EXPECT_EQ(list[2].slot, 6);

    gf_refreshParkedList(list, 10, true, 47);
    EXPECT_EQ(list[2].slot, 6) << "a second refresh leaves the ages alone";
}

TEST(ParkedList, FilterByAgeUnlessAllAgesAreKept)
{
    std::vector<ParkedTrafficRecord> list{parked("AAA1", "A1", 10), parked("BBB1", "B1", 5)};
    auto copy = list;
    gf_refreshParkedList(list, 12, false, 4);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].head.callsign, "AAA1");
    gf_refreshParkedList(copy, 12, true, 4);
    EXPECT_EQ(copy.size(), 2u);
}

TEST(ParkedList, DeduplicatesByStandAndCallsignKeepingTheYounger)
{
    std::vector<ParkedTrafficRecord> list{parked("OLD1", "D7", 1), parked("NEW1", "D7", 5),
                                          parked("DUP1", "E1", 5), parked("DUP1", "E2", 4),
                                          parked("XXX1", "", 5), parked("YYY1", "", 5)};
    gf_refreshParkedList(list, 5, true, 47);
    std::vector<std::string> callsigns;
    for (const auto& r : list) callsigns.push_back(r.head.callsign + "@" + r.stand);
    EXPECT_EQ(callsigns, (std::vector<std::string>{"NEW1@D7", "DUP1@E1", "XXX1@", "YYY1@"}))
        << "stand-less aircraft are not one stand";
}

TEST(ParkedList, DropsUnusableCallsignsAndUnknownSlots)
{
    std::vector<ParkedTrafficRecord> list{parked("AB", "A1", 1), parked("GOOD1", "A2", -1), parked(".KLM", "A3", 1)};
    gf_refreshParkedList(list, 3, true, 47);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].head.callsign, "KLM");
    EXPECT_EQ(list[0].slot, 2);

    std::vector<ParkedTrafficRecord> untouched{parked("AAA1", "A1", 5)};
    gf_refreshParkedList(untouched, -1, true, 47);
    EXPECT_EQ(untouched[0].slot, 5) << "without a clock no ages are made up";
    EXPECT_EQ(untouched[0].ageComputed, 0);
}

} // namespace
} // namespace zelk

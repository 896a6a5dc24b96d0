#include "traffic/ParkedTraffic.h"

#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include "core/Settings.h"
#include "liveries/AircraftDatabase.h"
#include "traffic/TrafficHooks.h"
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
}

TEST_F(ParkedIntake, TextsAreTrimmedAndLoseTheirControlCharacters)
{
    fields.callsign = " KLM1\x1b";
    fields.registration = " PH-BXB ";
    fields.type = "B738\r";
    const std::string stand("D\0" "7 ", 4);
    fields.stand = stand;
    const auto r = build();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->head.callsign, "KLM1");
    EXPECT_EQ(r->head.registration, "PH-BXB");
    EXPECT_EQ(r->head.key.model, gf_modelCode2Index("B738"));
    EXPECT_EQ(r->stand, "D7");
}

TEST_F(ParkedIntake, RefusedReportsAndTheUsersStand)
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
    stands.parkAirportStand = "D7";
    EXPECT_FALSE(build()) << "the user's stand";
    stands.parkAirportStand = "D8";
    stands.standAtUserPosition = "D7";
    EXPECT_FALSE(build()) << "the stand at the user's position";
    fields.stand = "";
    stands.parkAirportStand = "";
    stands.standAtUserPosition = "";
    EXPECT_TRUE(build()) << "an empty stand text is no stand";
    fields.latitude = 95.0;
    try {
        build();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "lalo: 95.000000,4.760000");
    }
}

TEST_F(ParkedIntake, TheReadersBuilderAsksTheAirportsForTheUsersStand)
{
    std::optional<std::string> userStand = "D7";
    gf_updateTrafficStateHooks([&](TrafficStateHooks& h) { h.currentParkAirportStand = [&] { return userStand; }; });
    EXPECT_FALSE(gf_buildParkedRecord(fields, context));
    userStand = "D8";
    EXPECT_TRUE(gf_buildParkedRecord(fields, context));
    gf_updateTrafficStateHooks([](TrafficStateHooks& h) { h.currentParkAirportStand = nullptr; });
}

TEST_F(ParkedIntake, IdentityFromTheDatabaseAndTheFreighterRule)
{
    struct Case {
        const char* callsign;
        const char* registration;
        const char* type;
        const char* wantCallsign;
        const char* wantRegistration;
        const char* wantAirline;
        const char* wantModel;
        std::uint8_t cargo;
    };
    const Case cases[] = {
        // A known registration decides the model and stands in for the callsign.
        {"", "PH-BXA", "ZZZZ", "PH-BXA", "PH-BXA", "KLM", "B738", 0},
        // A callsign that is a registration; no operator: the airline stays.
        {"N123FX", "", "B77F", "N123FX", "N123FX", "FDX", "B77F", 1},
        {"FDX12", "PH-BXB", "B777", "FDX12", "PH-BXB", "FDX", "B77F", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.callsign);
        fields.callsign = c.callsign;
        fields.registration = c.registration;
        fields.type = c.type;
        const auto r = build();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->head.callsign, c.wantCallsign);
        EXPECT_EQ(r->head.registration, c.wantRegistration);
        EXPECT_EQ(r->head.key.airline, gf_airlineCode2Index(c.wantAirline));
        EXPECT_EQ(r->head.key.model, gf_modelCode2Index(c.wantModel));
        EXPECT_EQ(r->head.key.cargo, c.cargo);
    }
}

ParkedTrafficRecord parked(std::string callsign, std::string stand, std::int32_t slot)
{
    ParkedTrafficRecord r;
    r.head.callsign = std::move(callsign);
    r.stand = std::move(stand);
    r.slot = slot;
    return r;
}

TEST(ParkedList, SlotsBecomeAgesOnceYoungestFirstAndAreFiltered)
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

    std::vector<ParkedTrafficRecord> aged{parked("AAA1", "A1", 10), parked("BBB1", "B1", 5)};
    auto copy = aged;
    gf_refreshParkedList(aged, 12, false, 4);
    ASSERT_EQ(aged.size(), 1u) << "filtered by age";
    EXPECT_EQ(aged[0].head.callsign, "AAA1");
    gf_refreshParkedList(copy, 12, true, 4);
    EXPECT_EQ(copy.size(), 2u) << "unless all ages are kept";
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

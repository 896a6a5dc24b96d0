#include "traffic/StandFit.h"

#include <limits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "traffic/TrafficStateTestSupport.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {

using enum AcCategory;
using test::makeStand;

constexpr double metres(double m) { return m / 1852.0; }

ParkPos standOfType(StandType type, double radiusNm = 0.0)
{
    return makeStand(1, "S1", 52.0, 4.0, type, radiusNm);
}

// The category columns of the fit table, for excess 0.
TEST(StandFit, CategoriesByStandType)
{
    struct Row {
        StandType type;
        std::vector<AcCategory> fits;
    };
    const std::vector<Row> table = {
        {StandType::NONE, {}},
        {StandType::RAMP_GA, {Light, TwoProps, Bizjet, Rotorcraft}},
        {StandType::RAMP_GA_SMALL, {Light, TwoProps, Bizjet, Rotorcraft}},
        {StandType::RAMP_GA_MEDIUM, {Bizjet, Large, Rotorcraft}},
        {StandType::RAMP_GA_LARGE, {Large, Heavy}},
        {StandType::RAMP_CARGO, {Large, Heavy}},
        {StandType::RAMP_MIL_CARGO, {Bizjet, Large, Heavy, Rotorcraft}},
        {StandType::RAMP_MIL_COMBAT, {HighPerf, Rotorcraft}},
        {StandType::GATE_SMALL, {Light, TwoProps, Bizjet, Large}},
        {StandType::GATE_MEDIUM, {Bizjet, Large}},
        {StandType::GATE_HEAVY, {Large, Heavy}},
        {StandType::DOCK_GA, {Light, TwoProps, Bizjet, Rotorcraft}},
        {StandType::FUEL, {Light, TwoProps, Bizjet, Large, Heavy, HighPerf, Rotorcraft}},
        {StandType::VEHICLE, {}},
        {StandType::RAMP_GA_EXTRA, {Light, TwoProps, Bizjet, Large, Heavy, HighPerf, Rotorcraft}},
        {StandType::GATE_EXTRA, {Light, TwoProps, Bizjet, Large, Heavy, HighPerf, Rotorcraft}},
    };
    for (const Row& row : table) {
        const ParkPos stand = standOfType(row.type, metres(20));
        for (std::uint32_t c = 0; c < kAcCategoryCount; ++c) {
            const auto category = static_cast<AcCategory>(c);
            const bool expected = std::find(row.fits.begin(), row.fits.end(), category) != row.fits.end();
            EXPECT_EQ(gf_acFitsStand(stand, category, metres(20)), expected)
                << gf_standTypeName(static_cast<std::uint32_t>(row.type)) << " " << gf_categoryName(category);
        }
    }
}

// The excess limits: 5.4 m in general (a Large on a small gate only up to the
// stand's radius), 5.0 m on fuel stands, 1.8 m on extra and unknown types.
TEST(StandFit, ExcessLimits)
{
    struct Case {
        StandType type;
        double radiusM;
        AcCategory category;
        double excessM;
        bool fits;
    };
    const auto unknown = static_cast<StandType>(99);
    const Case cases[] = {
        {StandType::RAMP_GA_LARGE, 0, Large, 5.4, true}, {StandType::RAMP_GA_LARGE, 0, Large, 5.5, false},
        {StandType::GATE_SMALL, 18, Large, 18, true},    {StandType::GATE_SMALL, 18, Large, 12, true},
        {StandType::GATE_SMALL, 18, Large, 18.1, false}, {StandType::GATE_SMALL, 18, Bizjet, 21, true},
        {StandType::FUEL, 0, Heavy, 5.0, true},          {StandType::FUEL, 0, Heavy, 5.1, false},
        {StandType::GATE_EXTRA, 0, Light, 1.8, true},    {StandType::GATE_EXTRA, 0, Light, 1.9, false},
        {unknown, 0, Rotorcraft, 1.8, true},             {unknown, 0, Rotorcraft, 1.9, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gf_acFitsStand(standOfType(c.type, metres(c.radiusM)), c.category, metres(c.excessM)), c.fits)
            << static_cast<int>(c.type) << " " << gf_categoryName(c.category) << " " << c.excessM << " m";
    }
    for (std::uint32_t t = 0; t < 20; ++t) {
        for (std::uint32_t c = 0; c < kAcCategoryCount; ++c)
            EXPECT_FALSE(gf_acFitsStand(standOfType(static_cast<StandType>(t)), static_cast<AcCategory>(c), metres(5.5)))
                << t << "/" << c;
    }
    EXPECT_FALSE(gf_acFitsStand(standOfType(StandType::FUEL, metres(20)), Light,
                                std::numeric_limits<double>::quiet_NaN()));
}

class FlightOptions : public test::TrafficStateTest {
protected:
    void SetUp() override
    {
        test::TrafficStateTest::SetUp();
        test::loadTrafficTestDbase();
        gf_resetLearnedOptionsTotal();
    }
    std::optional<std::uint32_t> add(std::string_view name, std::string_view reg, WeekSlot slot,
                                     LiveryKey key = {}, std::uint8_t flag = 0)
    {
        std::optional<std::uint32_t> id{999};
        gf_addFlightOption(options, id, key, slot, {name, reg}, flag);
        return id;
    }
    std::vector<FlightOption> options;
};

TEST_F(FlightOptions, AddStoresANewOptionWithItsSlotAndCountsIt)
{
    const LiveryKey key{gf_airlineCode2Index("DLH"), 0, gf_modelCode2Index("A320"), 0, 1};
    EXPECT_EQ(add("DLH4AB_", "D-AIZA", {3, 17}, key, 1), 1u);
    ASSERT_EQ(options.size(), 1u);
    const FlightOption& o = options[0];
    EXPECT_EQ(o.firstName, "DLH4AB") << "one trailing underscore dropped";
    EXPECT_EQ(o.registration, "D-AIZA");
    EXPECT_EQ(o.key, key);
    EXPECT_EQ(o.weekday, 3u);
    EXPECT_EQ(o.hours, HoursMask{}.set(17));
    EXPECT_EQ(o.optionId, 1u);
    EXPECT_EQ(o.real, 1u);
    EXPECT_EQ(o.cpl, 1);
    EXPECT_EQ(gf_learnedOptionsTotal(), 1u);
    const auto posted = screenUpdates<gui_update::SetLearnedUpdates>();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].count, 1u);

    const LiveryKey guessed{gf_airlineCode2Index("DLH"), 0, gf_modelCode2Index("A320"), 0, 0};
    add("KLM1", "PH-BXA", {1, 5}, guessed);
    EXPECT_EQ(options[1].key, *gf_lookupRegcode("PH-BXA")) << "an unmarked key gives way to the registration's";
}

TEST_F(FlightOptions, OneOptionPerRegistrationDayAndSlot)
{
    EXPECT_EQ(add("KLM1", "PH-ABC", {2, 10}), 1u);
    EXPECT_EQ(add("KLM1", "PH-ABC", {2, 10}), std::nullopt);
    EXPECT_EQ(add("KLM1", "PH-ABC", {2, 11}), 2u);
    EXPECT_EQ(add("KLM1", "PH-ABC", {3, 10}), 3u);
    EXPECT_EQ(add("KLM1", "", {2, 10}), std::nullopt) << "no registration, no option";
    EXPECT_THROW(add("KLM1", "PH-ABC", {1, 48}), std::out_of_range) << "a slot past the day reaches the caller";
    EXPECT_EQ(options.size(), 3u);
    EXPECT_EQ(gf_learnedOptionsTotal(), 3u);
}

TEST_F(FlightOptions, SecondNameRules)
{
    add("", "PH-ABC", {1, 5});
    gf_setFlightOptionSecondName(options, 1, "_");
    EXPECT_EQ(options[0].firstName, "") << "a lone underscore is no name";
    gf_setFlightOptionSecondName(options, 1, "KLM12_");
    EXPECT_EQ(options[0].firstName, "KLM12") << "an empty first name is filled first";
    gf_setFlightOptionSecondName(options, 1, "KLM12");
    EXPECT_EQ(options[0].secondName, "");
    gf_setFlightOptionSecondName(options, 1, "KLM34");
    EXPECT_EQ(options[0].secondName, "KLM34");
    gf_setFlightOptionSecondName(options, 1, "KLM56");
    EXPECT_EQ(options[0].secondName, "KLM56");
    gf_setFlightOptionSecondName(options, 0, "XXX1");
    gf_setFlightOptionSecondName(options, 7, "XXX1");
    EXPECT_EQ(options[0].firstName, "KLM12");
    EXPECT_EQ(options[0].secondName, "KLM56");
}

TEST_F(FlightOptions, MatchingOptionByNameOrAircraftIdentity)
{
    const LiveryKey klm738{gf_airlineCode2Index("KLM"), 0, gf_modelCode2Index("B738"), 0, 1};
    const LiveryKey dlh320{gf_airlineCode2Index("DLH"), 0, gf_modelCode2Index("A320"), 0, 1};
    add("KLM1", "PH-ABC", {1, 5}, klm738);
    gf_setFlightOptionSecondName(options, 1, "KLM2");
    EXPECT_FALSE(gf_hasMatchingFlightOption(options, "", klm738));
    EXPECT_TRUE(gf_hasMatchingFlightOption(options, "KLM1", dlh320));
    EXPECT_TRUE(gf_hasMatchingFlightOption(options, "KLM2", dlh320));
    EXPECT_FALSE(gf_hasMatchingFlightOption(options, "KLM3", dlh320));
    LiveryKey unmarked = klm738;
    unmarked.valid = 0;
    EXPECT_TRUE(gf_hasMatchingFlightOption(options, "KLM3", unmarked)) << "the valid flag is not compared";
    LiveryKey cargo = klm738;
    cargo.cargo = 1;
    EXPECT_FALSE(gf_hasMatchingFlightOption(options, "KLM3", cargo));

    options[0].real = 0;
    EXPECT_FALSE(gf_hasMatchingFlightOption(options, "KLM1", klm738)) << "only options in use";
    options[0].real = 1;
    options[0].optionId = 0;
    EXPECT_FALSE(gf_hasMatchingFlightOption(options, "KLM1", klm738)) << "only numbered options";
}

TEST(WeekSlotsBack, StepsBackAcrossMidnightIntoTheDayBefore)
{
    EXPECT_EQ(gf_weekSlotsBack({1, 1}, 4), (SlotStack{1, 0, 47, 46}));
    EXPECT_EQ(gf_weekSlotsBack({5, 30}, 3), (SlotStack{30, 29, 28}));
    EXPECT_EQ(gf_weekSlotsBack({7, 0}, 1), (SlotStack{0}));
    EXPECT_TRUE(gf_weekSlotsBack({1, 1}, 0).empty());
    EXPECT_TRUE(gf_weekSlotsBack({1, 1}, -3).empty());
    const SlotStack week = gf_weekSlotsBack({1, 47}, 100);
    ASSERT_EQ(week.size(), 100u);
    EXPECT_EQ(week[48], 47u) << "a full day back is the same slot";
    EXPECT_GE(gf_weekSlotsBack({1, 1}, 1).capacity(), 48u);
}

TEST_F(FlightOptions, UpdateMarksEverySlotOfTheStack)
{
    add("KLM1", "PH-ABC", {1, 20});
    add("KLM1", "PH-DEF", {1, 20});
    SlotStack slots = gf_weekSlotsBack({1, 24}, 5);
    EXPECT_TRUE(updateOptions(options, slots, 2));
    EXPECT_TRUE(slots.empty());
    EXPECT_EQ(gf_bitset2hours(options[1].hours), "20:24");
    EXPECT_EQ(gf_bitset2hours(options[0].hours), "20");

    SlotStack more{3};
    EXPECT_FALSE(updateOptions(options, more, 9));
    EXPECT_EQ(more, SlotStack{3}) << "no option, stack untouched";
}

TEST_F(FlightOptions, WrappedUpdateSplitsTheStayAtMidnight)
{
    add("KLM1", "PH-ABC", {7, 46}); // Sunday evening
    add("KLM1", "PH-ABC", {1, 0});  // Monday morning
    SlotStack slots = gf_weekSlotsBack({1, 1}, 4); // 1, 0, 47, 46
    EXPECT_TRUE(updateOptionsWrapped(options, slots, std::uint64_t{2} << 32 | 1u));
    EXPECT_EQ(options[0].hours, HoursMask{}.set(46).set(47));
    EXPECT_EQ(options[1].hours, HoursMask{}.set(0));
    EXPECT_EQ(slots, SlotStack{1}) << "the start slot is left";
}

TEST_F(FlightOptions, WrappedUpdateWithoutItsOptions)
{
    add("KLM1", "PH-ABC", {7, 46});
    SlotStack slots{1, 0, 47, 46};
    EXPECT_FALSE(updateOptionsWrapped(options, slots, std::uint64_t{1} << 32 | 5u));
    EXPECT_EQ(slots, (SlotStack{1, 0, 47, 46})) << "first option missing: stack untouched";
    EXPECT_FALSE(updateOptionsWrapped(options, slots, std::uint64_t{5} << 32 | 1u));
    EXPECT_EQ(slots, (SlotStack{1, 0})) << "the evening part was already taken";
    EXPECT_TRUE(options[0].hours.test(47));
}

TEST_F(FlightOptions, SlotPastTheDayEndsTheUpdateWithANotice)
{
    add("KLM1", "PH-ABC", {1, 5});
    SlotStack slots{48, 7, 6};
    EXPECT_FALSE(updateOptions(options, slots, 1));
    EXPECT_EQ(options[0].hours, HoursMask{}.set(5).set(6).set(7)) << "slots before the fault stay set";
    SlotStack wrapped{1, 49, 47};
    EXPECT_FALSE(updateOptionsWrapped(options, wrapped, std::uint64_t{1} << 32 | 1u));
    const std::string text = log();
    EXPECT_NE(text.find("==> updateOptions exception:"), std::string::npos) << text;
    EXPECT_NE(text.find("==> updateOptionsWrapped exception:"), std::string::npos) << text;
}

} // namespace
} // namespace zelk

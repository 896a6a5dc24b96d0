#include "airports/LearnedAirportFile.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/AirportFileTestSupport.h"

namespace zelk {
namespace {

class LearnedMerge : public test::AirportFileTest {};

TEST_F(LearnedMerge, MergeRules)
{
    std::vector<ParkPos> archived{test::stand("A1", StandType::GATE_SMALL, 50, 8, 0, 10),
                                  test::stand("A2", StandType::GATE_SMALL, 50.01, 8, 0, 10)};
    FlightOption known = test::option(test::key("DLH", "A320"), "D-AIBA", "DLH1", "10:12", 1, 2, true);
    known.archived = 1;
    archived[0].options.push_back(known);
    test::writeAll(file("L.xml"),
                   R"(<root><meta><info name="copyright" value="c"/><info name="sim" value="2"/></meta><parameters>)"
                   R"(<parameter name="airport_name" value="Other"/><parameter name="WEEK" value="true"/></parameters>)"
                   R"(<parkpositions><parkpos id="A1">)"
                   R"(<opt reg="D-AIBA" airl="DLH" type="A320" day="2" hh="12"/>)"  // overlaps: dropped
                   R"(<opt reg="D-AIBA" airl="DLH" type="A320" day="2" hh="13"/>)"  // disjoint: id 2
                   R"(<opt reg="D-AIBA" airl="DLH" type="A320" day="9" hh="13"/>)"  // no such weekday
                   R"(<opt reg="D-AIBA" day="2" hh=""/></parkpos>)"
                   R"(<parkpos id="GONE"><opt reg="X" day="1" hh="1"/></parkpos>)"
                   R"(<parkpos id="A2" manual="true" latitude="51" longitude="8" radius="9" typestr="RAMP_GA"/>)"
                   R"(<parkpos id="M1" manual="true" latitude="50.02" longitude="8" radius="9" typestr="RAMP_GA">)"
                   R"(<opt reg="D-EXYZ" day="1" hh="1"/></parkpos>)"
                   R"(<parkpos id="M2" manual="true" latitude="50.03" longitude="8"/></parkpositions></root>)");
    const auto merged = gf_readLearnedAirportFile(file("L.xml"), "Frankfurt", archived);
    ASSERT_TRUE(merged) << merged.error();
    const LearnedApf& l = merged.value();
    ASSERT_EQ(l.stands.size(), 3u);
    ASSERT_EQ(l.stands[0].options.size(), 2u);
    EXPECT_EQ(l.stands[0].options[1].optionId, 2u);
    EXPECT_EQ(l.stands[0].options[1].archived, 0u);
    EXPECT_DOUBLE_EQ(l.stands[1].latitude, 50.01) << "an archived stand keeps its own attributes";
    EXPECT_EQ(l.stands[2].name, "M1");
    EXPECT_EQ(l.stands[2].manual, 1);
    EXPECT_EQ(l.stands[2].options.size(), 1u);
    EXPECT_EQ(l.settings.WEEK, true);
    EXPECT_EQ(l.settings.AUTO_PARK, false) << "a file without AUTO_PARK switches it off";
    EXPECT_FALSE(l.settings.parking_percentage);
    for (const char* text : {"has invalid weekday 9, dropped", "empty bit set", "learned stand GONE in",
                             "manually created standid A2 already exists", "manually created standid M2 misses"})
        EXPECT_TRUE(logHas(text)) << text;

    std::vector<FlightOption> options = l.stands[0].options;
    options.push_back(FlightOption{});
    EXPECT_EQ(lf_removeArchivedOptions(options), 2u);
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options[0].hours, HoursMask{}.set(13));
}

TEST_F(LearnedMerge, FormerFacilityNamesReadAsTodaysOnes)
{
    struct Case {
        const char* former;
        const char* today; // "" when the id has no other form
    };
    const Case cases[] = {
        {"GATE A 12", "GATE A12"},
        {"GATE Z 3", "GATE Z3"},
        {"GATE A 12L", "GATE A12A"},  // former suffix code 12 was "L"
        {"GATE A 12Z", "GATE A12O"},  // 26
        {"GATE A 12B", "GATE A12"},   // code 2 is no letter today
        {"GATE A 12a", "GATE A12a"},  // a made-unique name keeps its letter
        {"GATE B 7Lb", "GATE B7Ab"},
        {"PARKING 5M", "PARKING 5B"},
        {"GATE A12", ""},             // already today's
        {"PARKING 5", ""},
        {"helipad1", ""},
        {"A1", ""},
        {"GATE A", ""},
        {"HANGAR 3", ""},
    };
    for (const Case& c : cases) {
        const auto today = lf_formerFacilityStandName(c.former);
        EXPECT_EQ(today.value_or(""), c.today) << c.former;
    }

    // A learned file of the former names keeps its options at today's stands.
    std::vector<ParkPos> archived{test::stand("GATE A12", StandType::GATE_SMALL, 50, 8, 0, 10),
                                  test::stand("GATE A12A", StandType::GATE_SMALL, 50.01, 8, 0, 10)};
    test::writeAll(file("L.xml"),
                   R"(<root><meta><info name="copyright" value="c"/><info name="sim" value="2"/></meta><parameters>)"
                   R"(<parameter name="airport_name" value="Frankfurt"/></parameters><parkpositions>)"
                   R"(<parkpos id="GATE A 12"><opt reg="D-AIBA" airl="DLH" type="A320" day="2" hh="12"/></parkpos>)"
                   R"(<parkpos id="GATE A 12L"><opt reg="D-AIBB" airl="DLH" type="A320" day="3" hh="14"/></parkpos>)"
                   R"(</parkpositions></root>)");
    const auto merged = gf_readLearnedAirportFile(file("L.xml"), "Frankfurt", archived);
    ASSERT_TRUE(merged) << merged.error();
    ASSERT_EQ(merged.value().stands.size(), 2u);
    ASSERT_EQ(merged.value().stands[0].options.size(), 1u);
    EXPECT_EQ(merged.value().stands[0].options[0].registration, "D-AIBA");
    ASSERT_EQ(merged.value().stands[1].options.size(), 1u);
    EXPECT_EQ(merged.value().stands[1].options[0].registration, "D-AIBB");
    EXPECT_FALSE(logHas("not found?"));
}

} // namespace
} // namespace zelk

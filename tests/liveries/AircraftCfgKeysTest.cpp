#include "liveries/AircraftCfgKeys.h"

#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace zelk {
namespace {

// nullopt: the parser refuses the line (false / empty result).
using Parser = std::function<std::optional<std::string>(const std::string&)>;

Parser lf_byOut(bool (*parse)(std::string_view, std::string&))
{
    return [parse](const std::string& line) -> std::optional<std::string> {
        std::string out = "untouched";
        if (!parse(line, out)) {
            EXPECT_EQ(out, "untouched") << "a refused line leaves out alone: " << line;
            return std::nullopt;
        }
        return out;
    };
}

Parser lf_byResult(std::string (*parse)(std::string_view))
{
    return [parse](const std::string& line) -> std::optional<std::string> {
        std::string out = parse(line);
        if (out.empty()) return std::nullopt;
        return out;
    };
}

TEST(AircraftCfgKeys, ParsersGiveTheValueOfTheWholeKeyLine)
{
    const Parser title = lf_byOut(lf_parseTitle);
    const Parser atcId = lf_byOut(lf_parseAtcId);
    const Parser airline = lf_byOut(lf_parseIcaoAirline);
    const Parser parking = lf_byOut(lf_parseAtcParkingTypes);
    const Parser texture = lf_byOut(lf_parseTexture);
    const Parser type = lf_byResult(lf_parseIcaoTypeDesignator);
    const Parser container = lf_byResult(lf_parseBaseContainer);
    const Parser section = lf_byResult(lf_fltSimSectionNumber);
    struct Case {
        const Parser* parser;
        std::string line;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {&title, "title=Airbus A320 Lufthansa", "Airbus A320 Lufthansa"},
        {&title, "  TITLE =  \"  AIG A320 DLH \"  \r", "  AIG A320 DLH "},
        {&title, "\tTitle\t=\tX", "X"},
        {&title, "ui_title=Something", std::nullopt},
        {&title, "title=", std::nullopt},
        {&title, "title=   ", std::nullopt},
        {&title, "title=\"\"", std::nullopt},
        {&title, "title", std::nullopt},
        {&title, "tit", std::nullopt},
        {&title, ";title=Commented", std::nullopt},
        {&title, "title=a\rb", std::nullopt},
        {&title, "title=quoted \"part\" only", "part"},
        {&atcId, "atc_id=D-ABC", "D-ABC"},
        {&atcId, "atc_id=N123", std::nullopt},
        {&atcId, "atc_id=\"D-AIBA\" ; comment", "D-AIBA"},
        {&atcId, "atc_id=D-AIBA;old", "D-AIBA;old"},
        {&airline, "icao_airline=dlh", "DLH"},
        {&airline, "icao_airline=\"\"", "ZZZ"},
        {&airline, "icao_airline=ZZZZ", "ZZZ"},
        {&airline, "icao_airline=", std::nullopt},
        {&airline, "// icao_airline=DLH", std::nullopt},
        {&parking, "atc_parking_types=gate, cargo", "gate, cargo"},
        {&texture, "texture=DLH", "DLH"},
        {&type, "icao_type_designator=\"a320\"", "A320"},
        {&type, "icao_type_designator=B738-800", "B738"},
        {&type, "icao_type_designator=C25", "C25"},
        {&type, "icao_type_designator_x=A320", std::nullopt},
        {&container, "base_container = \"..\\Asobo_A320_NEO\"", "A20N"},
        {&container, "base_container=..\\Asobo_Unknown", std::nullopt},
        {&container, "base_container=abc", std::nullopt},
        {&section, "[fltsim.12]", "12"},
        {&section, "  [FLTSIM.3]  \r", "3"},
        {&section, "[fltsim.x]", "10000"},
        {&section, "[fltsim.1] ; first", "10000"},
        {&section, "[fltsim.99999999999]", "99999999999"},
        {&section, ";[fltsim.1]", std::nullopt},
        {&section, "//[fltsim.1]", std::nullopt},
        {&section, "[general]", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ((*c.parser)(c.line), c.expected) << c.line;
}

TEST(AircraftCfgKeys, RepeatedKeyTestsIgnoreCommentedLines)
{
    struct Case {
        bool (*test)(std::string_view) noexcept;
        std::string_view line;
        bool expected;
    };
    const Case cases[] = {
        {lf_hasAtcIdKey, "ATC_ID=D-AIBA", true},
        {lf_hasAtcIdKey, "atc_id = D-AIBA", false},
        {lf_hasAtcIdKey, ";atc_id=D-AIBB", false},
        {lf_hasAtcIdKey, "  // atc_id=D-AIBB", false},
        {lf_hasAtcIdKey, "x=1 ;atc_id=D-AIBB", true},
        {lf_hasIcaoAirlineKey, "  icao_airline = KLM", true},
        {lf_hasIcaoAirlineKey, "\t;icao_airline=KLM", false},
        {lf_hasIcaoAirlineKey, "// icao_airline=KLM", false},
        {lf_hasAtcParkingTypesKey, "atc_parking_types=GATE", true},
        {lf_hasAtcParkingTypesKey, ";atc_parking_types=GATE", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.test(c.line), c.expected) << c.line;
}

// A line of 1 MiB costs one pass and no deep recursion, also when it almost matches.
TEST(AircraftCfgKeys, MegabyteLinesAreMatchedWithoutCrashing)
{
    const std::string value(1 << 20, 'x');
    std::string out;
    ASSERT_TRUE(lf_parseTitle("title=" + value, out));
    EXPECT_EQ(out.size(), value.size());
    EXPECT_FALSE(lf_parseTitle("title=" + value + "\r" + value, out));
    EXPECT_FALSE(lf_parseAtcId(std::string(1 << 20, ' ') + "atc_idx=1", out));
    EXPECT_EQ(lf_fltSimSectionNumber("[fltsim." + std::string(1 << 20, '7') + "]").size(), std::size_t{1} << 20);
    EXPECT_TRUE(lf_hasIcaoAirlineKey(value + "icao_airline"));
}

} // namespace
} // namespace zelk

namespace zelk {
namespace {

// The walk's one-pass reading of a line must take exactly the lines, and give
// exactly the values, that each key's own parser does.
TEST(AircraftCfgKeys, SectionKeyLineAgreesWithEachKeysParser)
{
    struct Key {
        SectionKey key;
        bool (*parse)(std::string_view, std::string&);
    };
    const Key keys[] = {
        {SectionKey::title, lf_parseTitle},
        {SectionKey::texture, lf_parseTexture},
        {SectionKey::icaoAirline, lf_parseIcaoAirline},
        {SectionKey::atcParkingTypes, lf_parseAtcParkingTypes},
        {SectionKey::atcId, lf_parseAtcId},
    };
    const std::string lines[] = {
        "title=Airbus A320 Lufthansa", "  TITLE =  \"  AIG A320 DLH \"  \r", "\tTitle\t=\tX", "ui_title=X",
        "title=", "title=   ", "title=\"\"", "title", "tit", ";title=Commented", "title=a\rb", "title=a\nb",
        "title=quoted \"part\" only", "title=\"open", "titles=X", "title_x=Y", "title x=Y", "title==X",
        "=title", "", "   ", "\v\ftitle\v=\vV\f", "texture=DLH", "TEXTURE = \"t\"", "texture=\"\"",
        "icao_airline=dlh", "icao_airline=\"\"", "icao_airline=ZZZZ", "icao_airline=", "// icao_airline=DLH",
        "ICAO_Airline = \"klm\" ; x", "icao_airlines=DLH", "atc_parking_types=gate, cargo", "atc_parking_types=",
        "Atc_Parking_Types=\"GATE\"", "atc_parking_type=GATE", "atc_id=D-ABC", "atc_id=N123", "atc_id=\"D-AIBA\" ; c",
        "atc_id=D-AIBA;old", "atc_id =\"D-AB\"", "atc_idx=D-ABCD", "atc_id\t=\tPH-BXA\t", "[fltsim.0]",
        "atc_airline=Lufthansa", "icao_type_designator=A320",
    };
    for (const std::string& line : lines) {
        const SectionKeyLine found = lf_sectionKeyLine(line);
        for (const Key& key : keys) {
            std::string expected;
            const bool parsed = key.parse(line, expected);
            const bool taken = found.key == key.key &&
                               (key.key == SectionKey::icaoAirline ||
                                (key.key == SectionKey::atcId ? found.value.size() >= kMinAtcIdLength
                                                              : !found.value.empty()));
            ASSERT_EQ(taken, parsed) << "line: '" << line << "'";
            if (!parsed) continue;
            const std::string value = key.key == SectionKey::icaoAirline ? lf_icaoAirlineOf(found.value)
                                                                          : std::string(found.value);
            EXPECT_EQ(value, expected) << "line: '" << line << "'";
        }
    }
    // Each key is found as such, so a line the parsers all refuse is told apart
    // from one whose value they refuse.
    EXPECT_EQ(lf_sectionKeyLine("ATC_ID = \"\"").key, SectionKey::atcId);
    EXPECT_EQ(lf_sectionKeyLine("ATC_ID = \"\"").value, "");
    EXPECT_EQ(lf_sectionKeyLine("atc_id_x = 1").key, SectionKey::none);
}

} // namespace
} // namespace zelk

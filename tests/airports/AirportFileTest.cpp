#include "airports/AirportFile.h"

#include <numbers>
#include <cmath>
#include <random>
#include <vector>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>

#include <gtest/gtest.h>

#include "airports/AirportFileTestSupport.h"
#include "core/Clock.h"
#include "core/ParametersFile.h"
#include "core/Version.h"
#include "liveries/AircraftDatabase.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

// The metadata and stands of a written file, read back the way the loaders read them.
ApfParameters readBack(const pugi::xml_document& doc, bool& handmade, ApfParkingSettings& parking)
{
    ApfParameters apf;
    apf.icao = IcaoCode::tryParse(gf_readXmlStringParameter(doc, "icao").value_or("")).value_or(IcaoCode{});
    if (auto iata = gf_readXmlStringParameter(doc, "iata")) apf.iata = IataCode(*iata);
    apf.airportName = gf_readXmlStringParameter(doc, "airport_name").value_or("");
    apf.latitude = std::stod(gf_readXmlStringParameter(doc, "latitude").value_or("0"));
    apf.longitude = std::stod(gf_readXmlStringParameter(doc, "longitude").value_or("0"));
    apf.publisher = gf_readXmlStringParameter(doc, "publisher").value_or("");
    apf.altitude = gf_readXmlIntParameter(doc, "altitude").value_or(0);
    apf.qfReal = gf_readXmlIntParameter(doc, "Qf_real").value_or(0);
    apf.qfSoft = gf_readXmlIntParameter(doc, "Qf_soft").value_or(0);
    apf.bglPath = gf_readXmlStringParameter(doc, "BGLpath").value_or("");
    const auto version = gf_readXmlStringParameter(doc, "version");
    const auto manufacturer = gf_readXmlStringParameter(doc, "manufacturer");
    if (version || manufacturer)
        apf.manifest = ApfManifest{"", version.value_or(""), manufacturer.value_or(""),
                                   gf_readXmlStringParameter(doc, "creator").value_or("")};
    handmade = gf_readXmlBoolParameter(doc, "handmade").value_or(false);
    parking.present = gf_readXmlIntParameter(doc, "parking_percentage").has_value();
    parking.parking_percentage = static_cast<std::uint32_t>(gf_readXmlIntParameter(doc, "parking_percentage").value_or(0));
    parking.MAX_FIT = static_cast<std::uint32_t>(gf_readXmlIntParameter(doc, "MAX_FIT").value_or(0));
    parking.RT_PARKTRAFFIC_ONLY = gf_readXmlBoolParameter(doc, "RT_PARKTRAFFIC_ONLY").value_or(false);
    parking.AUTO_PARK = gf_readXmlBoolParameter(doc, "AUTO_PARK").value_or(false);
    parking.WEEK = gf_readXmlBoolParameter(doc, "WEEK").value_or(false);
    parking.PARK_SOFT = gf_readXmlBoolParameter(doc, "PARK_SOFT").value_or(false);
    lf_readParkPositions(doc, apf.stands);
    return apf;
}

class AirportFileWriter : public test::AirportFileTest {
protected:
    ScopedFixedClock clock{1796508000}; // 5 Dec 2026
};

TEST_F(AirportFileWriter, LearnedFileEqualsGolden)
{
    ApfParameters apf = test::apfHeader("EDDF", "FRA", "Frankfurt Main", 50.0333, 8.5706, "stock");
    apf.altitude = 364; // a learned file carries no altitude
    ParkPos& a12 = apf.stands.emplace_back(test::stand("A12", StandType::NONE, 0, 0, 0, 0));
    LiveryKey dlh = test::key("DLH", "A320");
    dlh.valid = 1; // a registration key: airl and type are still written
    a12.options.push_back(test::option(dlh, "D-AIBA", "DLH4AB", "20:24", 1, 3, true));
    a12.options.back().secondName = "DLH123";
    a12.options.push_back(test::option(test::key("", "B738"), "D-ABCD", "", "5", 2, 7, false));
    a12.options.back().cpl = 1;
    a12.options.push_back(test::option(test::key("DLH", "A320"), "D-NOID", "X", "5", 0, 1, true));
    a12.options.push_back(test::option(test::key("DLH", "A320"), "D-BADD", "X", "5", 4, 9, true));
    a12.options.push_back(test::option(test::key("DLH", "A320"), "D-GAPS", "X", "5", 5, 1, true));
    a12.options.back().hours.set(9); // slots 5 and 9: not one run
    a12.options.push_back(test::option(test::key("DLH", "A320"), "", "NOREG", "5", 6, 1, true));
    ParkPos& v1 = apf.stands.emplace_back(test::stand("V1", StandType::GATE_MEDIUM, 50.05, 8.56, 270.0, 20.0));
    v1.manual = 1;
    v1.options.push_back(test::option(test::key("", "C172"), "D-EXYZ", "DEXYZ", "0:47", 1, 1, true));

    ApfParkingSettings parking{30, 47, 0, 1, 0, 1, true};
    ASSERT_TRUE(gf_writeApf(apf, file("out.xml"), ApfWriteMode::Learned, 2, false, parking));
    EXPECT_EQ(written("out.xml"), test::golden("learned-EDDF.xml"));
    EXPECT_TRUE(logHas("invalid flight option: D-BADD X DLH/A320"));
    EXPECT_TRUE(logHas("invalid flight option: D-GAPS X DLH/A320"));
    EXPECT_EQ(leftovers(), 0);
}

TEST_F(AirportFileWriter, GeneratedFileEqualsGoldenAndRoundTrips)
{
    ApfParameters apf = test::apfHeader("EHAM", "", "Schiphol", 52.3086, 4.7639, "");
    apf.altitude = -11;
    apf.bglPath = "Community/acme-eham/scenery/EHAM.bgl";
    apf.manifest = ApfManifest{"Acme Schiphol", "1.2.3", "Acme", "Bob"};
    ParkPos& h1 = apf.stands.emplace_back(test::stand("H1", StandType::NONE, 52.3, 4.76, 0.0, 12.5));
    h1.helipad = 1;
    ParkPos& g1 = apf.stands.emplace_back(test::stand("G1", StandType::GATE_HEAVY, 52.31, 4.765, 90.0, 38.0));
    g1.options.push_back(test::option(test::key("KLM", "B77W"), "PH-BVA", "KLM", "3", 1, 1, true));
    ParkPos& r0 = apf.stands.emplace_back(test::stand("R0", StandType::NONE, 52.312, 4.766, 359.9, 9.0));
    r0.ramp = 1;
    ASSERT_TRUE(gf_writeApf(apf, file("gen/EHAM.xml"), ApfWriteMode::Generated, 1, false, {}));
    EXPECT_EQ(written("gen/EHAM.xml"), test::golden("generated-EDDF.xml"));

    // Read as the loaders read it (the type-0 ramp included) and written again: the same bytes.
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(file("gen/EHAM.xml").c_str()));
    bool handmade = true;
    ApfParkingSettings parking;
    const ApfParameters again = readBack(doc, handmade, parking);
    ASSERT_EQ(again.stands.size(), 3u);
    EXPECT_EQ(again.stands[2].ramp, 1);
    ASSERT_TRUE(gf_writeApf(again, file("gen/again.xml"), ApfWriteMode::Generated, 1, handmade, {}));
    EXPECT_EQ(test::readAll(file("gen/again.xml")), test::readAll(file("gen/EHAM.xml")));
}

TEST_F(AirportFileWriter, HandmadeFileEqualsGoldenAndRoundTrips)
{
    test::writeAll(file("in.xml"), test::golden("handmade-LOWW.xml"));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(file("in.xml").c_str()));
    bool handmade = false;
    ApfParkingSettings parking;
    const ApfParameters apf = readBack(doc, handmade, parking);
    ASSERT_EQ(apf.stands.size(), 2u);
    EXPECT_EQ(apf.stands[0].options.size(), 2u);
    EXPECT_EQ(apf.stands[1].type, StandType::RAMP_CARGO);
    EXPECT_EQ(apf.stands[1].cargo, 1);
    ASSERT_TRUE(handmade);
    ASSERT_TRUE(gf_writeApf(apf, file("out.xml"), ApfWriteMode::Learned, 2, true, parking));
    EXPECT_EQ(written("out.xml"), test::golden("handmade-LOWW.xml"));
}

TEST_F(AirportFileWriter, FailuresLeaveTheTargetByteIdentical)
{
    test::writeAll(file("t.xml"), "previous bytes");
    ApfParameters apf = test::apfHeader("EDDF", "", "F", 50, 8, "stock");
    apf.stands.push_back(test::stand("A1", StandType::GATE_SMALL, 50, 8, 0, 10));
    apf.stands.push_back(test::stand("A1", StandType::GATE_SMALL, 50.1, 8, 0, 10));
    EXPECT_FALSE(gf_writeApf(apf, file("t.xml"), ApfWriteMode::Generated, 2, false, {}));
    EXPECT_TRUE(logHas("gf_writeApf: empty or duplicate stand id 'A1'"));
    apf.stands.pop_back();
    apf.stands.front().radius = 0.0;
    EXPECT_FALSE(gf_writeApf(apf, file("t.xml"), ApfWriteMode::Generated, 2, false, {}));
    EXPECT_TRUE(logHas("gf_writeApf: stand 'A1' has invalid geometry"));
    apf.stands.front().radius = 0.005;
    EXPECT_FALSE(gf_writeApf(apf, "", ApfWriteMode::Generated, 2, false, {}));
    EXPECT_TRUE(logHas("gf_writeApf: empty output filename"));
    EXPECT_EQ(test::readAll(file("t.xml")), "previous bytes");
    EXPECT_EQ(leftovers(), 0);

    // No stands: no parkpositions element, and reading it back says so.
    apf.stands.clear();
    ASSERT_TRUE(gf_writeApf(apf, file("t.xml"), ApfWriteMode::Learned, 2, false, {}));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(file("t.xml").c_str()));
    EXPECT_FALSE(doc.child("root").child("parkpositions"));
    std::vector<ParkPos> stands;
    lf_readParkPositions(doc, stands);
    EXPECT_TRUE(stands.empty());
    EXPECT_TRUE(logHas("airport file has no 'parkpositions' section"));
}

struct StandCase {
    const char* attributes;
    bool accepted;
    StandType type;
    const char* notice; // expected in the log, or ""
};

class AirportFileStands : public test::AirportFileTest {};

TEST_F(AirportFileStands, OneStandCaseTable)
{
    const StandCase cases[] = {
        {R"(typestr="gate_heavy" radius="30")", false, StandType::NONE, "has no valid type, and no valid cargo/ramp"},
        {R"(typestr="" type="10" radius="30")", true, StandType::GATE_HEAVY, ""},
        {R"(type="16" cargo="false" ramp="false" radius="30")", true, StandType::GATE_HEAVY, ""},
        {R"(cargo="false" ramp="false" radius="15.9")", true, StandType::GATE_SMALL, ""},
        {R"(cargo="false" ramp="true" radius="16")", true, StandType::RAMP_GA_MEDIUM, ""},
        {R"(cargo="true" ramp="true" radius="40")", true, StandType::RAMP_CARGO, ""},
        {R"(cargo="false" ramp="false" radius="0")", false, StandType::NONE, "has no valid type and no usable radius"},
        {R"(heli="true" radius="10")", true, StandType::NONE, ""},
        {R"(typestr="FUEL" radius="0")", false, StandType::NONE, "has invalid radius or heading"},
    };
    int n = 0;
    for (const StandCase& c : cases) {
        const std::string id = "S" + std::to_string(n++);
        pugi::xml_document doc;
        const std::string xml = "<parkpos latitude=\"50\" longitude=\"8\" " + std::string(c.attributes) + "/>";
        ASSERT_TRUE(doc.load_string(xml.c_str()));
        std::vector<ParkPos> stands;
        EXPECT_EQ(lf_readParkPos(doc.first_child(), id, 1, stands), c.accepted) << c.attributes;
        EXPECT_EQ(stands.size(), c.accepted ? 1u : 0u);
        if (c.accepted) {
            EXPECT_EQ(stands[0].type, c.type) << c.attributes;
        }
        if (*c.notice) {
            EXPECT_TRUE(logHas(fmt::format("stand {} {}", id, c.notice))) << c.attributes;
        }
    }
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<p latitude="0" longitude="0.00005" typestr="FUEL" radius="5"/>)"));
    std::vector<ParkPos> stands;
    EXPECT_FALSE(lf_readParkPos(doc.first_child(), "Z", 1, stands));
    EXPECT_TRUE(logHas("stand Z has no valid lat/lon"));
}

TEST_F(AirportFileStands, HeadingRadiusAndOptions)
{
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<root><parkpositions>
        <parkpos id=" W1 " typestr="GATE_SMALL" latitude="50" longitude="8" heading="-90" radius="20">
          <opt reg="A" day="0" hh="3"/><opt reg="B" day="8" hh="3"/><opt reg="C" day="2" hh=""/>
          <opt reg="D" day="2" hh="3" cs="X:Y:Z"/><opt reg="E" day="2" hh="4:6" cs=":SECOND" soft="true" cpl="true"/>
        </parkpos>
        <parkpos id="W2" typestr="GATE_SMALL" latitude="50" longitude="8" heading="360" radius="20"/>
        <parkpos typestr="GATE_SMALL"/><parkpos id="  "/>
        <parkpos id="BAD"/><parkpos id="BAD" typestr="GATE_SMALL" latitude="50" longitude="8" radius="5"/>
        <parkpos id="W1" typestr="GATE_SMALL" latitude="51" longitude="8" radius="5"/>
        </parkpositions></root>)"));
    std::vector<ParkPos> stands;
    lf_readParkPositions(doc, stands);
    ASSERT_EQ(stands.size(), 2u);
    const ParkPos& w1 = stands[0];
    EXPECT_EQ(w1.name, "W1");
    EXPECT_DOUBLE_EQ(w1.heading, 3.0 * std::numbers::pi / 2.0);
    EXPECT_DOUBLE_EQ(stands[1].heading, 0.0);
    EXPECT_NEAR(w1.radius, 0.0108, 1e-4);
    EXPECT_EQ(w1.parkingType, "GATE_SMALL");
    EXPECT_EQ(w1.gate, 1);
    ASSERT_EQ(w1.options.size(), 2u);
    EXPECT_EQ(w1.options[0].optionId, 1u);
    EXPECT_EQ(w1.options[0].firstName, "X");
    EXPECT_EQ(w1.options[0].secondName, "Y:Z");
    EXPECT_EQ(w1.options[0].archived, 1u);
    EXPECT_EQ(w1.options[1].optionId, 2u);
    EXPECT_EQ(w1.options[1].firstName, "");
    EXPECT_EQ(w1.options[1].secondName, "SECOND");
    EXPECT_EQ(w1.options[1].real, 0u);
    EXPECT_EQ(w1.options[1].cpl, 1);
    EXPECT_EQ(w1.options[1].hours, HoursMask{}.set(4).set(5).set(6));
    EXPECT_TRUE(logHas("Parking position #3 has no 'id' attribute, skipped."));
    EXPECT_TRUE(logHas("Stand #4 has empty 'id' attribute, skipped."));
    EXPECT_TRUE(logHas("stand BAD has no valid lat/lon"));
    EXPECT_TRUE(logHas("Stand 'BAD' appears more than once, last one skipped!"));
    EXPECT_TRUE(logHas("Stand 'W1' appears more than once, last one skipped!"));
}

TEST_F(AirportFileStands, AtMost512ElementsAreLookedAt)
{
    std::string xml = "<root><parkpositions><parkpos id=\"refused\"/>";
    for (int i = 0; i < 599; ++i)
        xml += fmt::format(R"(<parkpos id="P{}" typestr="GATE_SMALL" latitude="50" longitude="{}" radius="5"/>)", i,
                           8 + i * 0.001);
    xml += "</parkpositions></root>";
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str()));
    std::vector<ParkPos> stands;
    lf_readParkPositions(doc, stands);
    EXPECT_EQ(stands.size(), 511u);
    EXPECT_EQ(logCount("more than 512 stands; remaining stands skipped"), 1);
}

TEST(AirportFileQf, PairText)
{
    EXPECT_EQ(lf_formatQfPair(35, 3), "35");
    EXPECT_EQ(lf_formatQfPair(34, 3), "34/ 3");
    EXPECT_EQ(lf_formatQfPair(0, 1), " 0/ 1");
    EXPECT_EQ(lf_formatQfPair(0, 0), "  ");
    EXPECT_EQ(lf_formatQfPair(-1, -1), "  ");
}

} // namespace
} // namespace zelk

namespace zelk {
namespace {

// The writer's numbers without a format string are the numbers "{:.6f}" and
// "{:.1f}" write, for every kind of value a stand holds.
TEST(AirportFileNumbers, FixedDecimalsAsTheFormatWritesThem)
{
    std::mt19937_64 random(36);
    std::uniform_real_distribution<double> degrees(-180.0, 180.0);
    std::uniform_real_distribution<double> small(0.0, 100.0);
    std::vector<double> values{0.0, -0.0, 0.05, 0.25, 0.35, 2.5, 89.99999949999999, -33.9999995, 1e300, -1e-300};
    for (int i = 0; i < 20000; ++i) {
        values.push_back(degrees(random));
        values.push_back(small(random));
        values.push_back(std::round(small(random) * 20.0) / 20.0); // ties of the first decimal
    }
    for (const double v : values) {
        EXPECT_EQ(gf_formatFixed(v, 6), fmt::format("{:.6f}", v)) << v;
        EXPECT_EQ(gf_formatFixed(v, 1), fmt::format("{:.1f}", v)) << v;
    }
}

} // namespace
} // namespace zelk

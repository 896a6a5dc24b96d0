#include "liveries/AircraftCfg.h"

#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/Strings.h"
#include "core/TextFile.h"
#include "liveries/CodeTables.h"
#include "support/LiveryTestDbase.h"
#include "support/LoggedTempDir.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

class AircraftCfg : public test::LoggedTempDirTest {
protected:
    void SetUp() override
    {
        LoggedTempDirTest::SetUp();
        test::loadLiveryTestDbase();
    }

    std::vector<LiveryRecord> split(const Lines& lines, const std::string& model = "A320")
    {
        return lf_splitFltSimSections(scan, 3, lines, model, file, folder);
    }

    // "{f}" stands for the file's path as this system writes it.
    std::string withFile(std::string text) const
    {
        const std::string f = path_to_utf8(file);
        for (std::size_t at; (at = text.find("{f}")) != std::string::npos;) text.replace(at, 3, f);
        return text;
    }

    LiveryScanLists scan;
    const fs::path folder{"pkg"};
    const fs::path file{folder / "aircraft.cfg"};
};

// What one section gives: a record "title|registration|airline|model|cargo", or
// nothing, and the finding it leaves.
struct SectionCase {
    const char* name;
    Lines lines;
    std::string model;
    std::optional<std::string> record;
    std::vector<std::string> findings; // "{f}" stands for the file
};

std::string lf_describe(const LiveryRecord& r)
{
    return fmt::format("{}|{}|{}|{}|{}", r.title, r.registration, gf_airlineCodeText(r.key.airline),
                       gf_modelCodeText(r.key.model), r.key.cargo);
}

TEST_F(AircraftCfg, SectionsBecomeRecordsOrFindings)
{
    const std::string h = "[fltsim.0]";
    const std::string MISSING = "{f} [fltsim.0] icao_airline is missing, or it has invalid info ";
    const SectionCase cases[] = {
        {"plain", {h, "title=A", "icao_airline=DLH", "atc_id=D-ABCD"}, "A320", "A|D-ABCD|DLH|A320|0", {}},
        {"airline with X", {h, "title=A", "icao_airline=dlhx"}, "A320", "A||DLH|A320|0", {}},
        {"RFO", {h, "title=A", "icao_airline=RFO"}, "A320", std::nullopt, {MISSING}},
        {"registration key wins", {h, "title=A", "icao_airline=EZY", "atc_parking_types=RAMP_CARGO", "atc_id=PH-BXA"}, "A320", "A|PH-BXA|KLM|B738|0", {}},
        {"cargo", {h, "title=A", "icao_airline=UPS", "atc_parking_types=ramp_cargo"}, "A320", "A||UPS|A320|1", {}},
        {"gate and cargo", {h, "title=A", "icao_airline=UPS", "atc_parking_types=gate, cargo"}, "A320", "A||UPS|A320|0", {}},
        {"two codes", {h, "title=A", "icao_airline=DLH", "atc_id=D-ABCD,D-ABCE"}, "A320", "A||DLH|A320|0", {}},
        {"bad code", {h, "title=A", "icao_airline=DLH", "atc_id=D-AB*D"}, "A320", "A||DLH|A320|0", {"invalid atc_id=D-AB*D in: A"}},
        {"code with comment", {h, "title=A", "icao_airline=DLH", "atc_id=D-ABCD;old"}, "A320", "A|D-ABCD|DLH|A320|0", {}},
        {"second title", {h, "title=A", "title=B", "icao_airline=DLH"}, "A320", std::nullopt, {"pkg [fltsim.0] has more than one title key", MISSING}},
        {"second airline", {h, "title=A", "icao_airline=DLH", "icao_airline=KLM"}, "A320", std::nullopt, {"pkg [fltsim.0] has more than one icao_airline key: icao_airline=KLM"}},
        {"commented airline", {h, "title=A", "icao_airline=DLH", ";icao_airline=KLM", "// atc_id=PH-BXA", "atc_id=D-ABCD", ";atc_id=D-ABCE"}, "A320", "A|D-ABCD|DLH|A320|0", {}},
        {"second atc_id", {h, "title=A", "icao_airline=DLH", "atc_id=D-ABCD", "atc_id=D-ABCE"}, "A320", std::nullopt, {"pkg, [fltsim.0], has more than one atc_id key"}},
        {"second parking", {h, "title=A", "icao_airline=DLH", "atc_parking_types=GATE", "atc_parking_types=RAMP"}, "A320", std::nullopt, {"pkg [fltsim.0] has more than one atc_parking_types key"}},
        {"no title", {h, "icao_airline=DLH"}, "A320", std::nullopt, {"pkg [fltsim.0] misses title"}},
        {"fictional", {h, "title=Fictional A", "icao_airline=DLH"}, "A320", std::nullopt, {}},
        {"stub", {h, "title=A-STUB", "icao_airline=DLH", "atc_id=D-ABCD"}, "A320", "A-STUB||ZZZ|A320|0", {}},
        {"don't use", {h, "title=Banned", "icao_airline=DLH"}, "A320", std::nullopt, {}},
        {"private", {h, "title=Cessna D-EFG"}, "C172", "Cessna D-EFG|D-EFG|PVT|C172|0", {MISSING}},
        {"heavy without airline", {h, "title=A"}, "B744", std::nullopt, {MISSING, "'pkg' '[fltsim.0]' has no airline and no regcode info"}},
        {"heavy with a known registration", {h, "title=A", "atc_id=G-CIVA"}, "B744", "A|G-CIVA|BAW|B744|0", {MISSING}},
        {"registration without a model", {h, "title=A", "icao_airline=DLH", "atc_id=F-GZZZ"}, "A320", std::nullopt, {"pkg [fltsim.0] title 'A' has a registration without airline or model"}},
        {"heavy with an unknown registration", {h, "title=A", "atc_id=G-XXXX"}, "B744", std::nullopt, {MISSING, "'pkg' '[fltsim.0]' has no airline and regcode not in dbase"}},
        // Abandoned before its airline: the missing airline is still reported.
        {"fenix", {h, "title=FenixA320 DLH", "icao_airline=DLH"}, "A320", std::nullopt, {MISSING}},
        {"trailing comments dropped", {h, "title=A", "icao_airline=DLH", "", "; atc_id=x", "//"}, "A320", "A||DLH|A320|0", {}},
    };
    for (const SectionCase& c : cases) {
        scan = LiveryScanLists{};
        scan.dontUseTitles.insert("Banned");
        const std::vector<LiveryRecord> records = split(c.lines, c.model);
        SCOPED_TRACE(c.name);
        if (c.record) {
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(lf_describe(records[0]), *c.record);
            EXPECT_EQ(records[0].priority, 3);
        } else {
            EXPECT_TRUE(records.empty());
        }
        std::vector<std::string> findings;
        for (const std::string& f : c.findings) findings.push_back(withFile(f));
        EXPECT_EQ(scan.incompleteSections, findings);
    }
}

TEST_F(AircraftCfg, SplitsAtHeadersAndOtherSections)
{
    const Lines lines = {"[general]",   "icao_type_designator=A320", "[FLTSIM.0]", "title=A", "icao_airline=DLH",
                         "[General]",   "title=stray",               "[fltsim.x]", "title=B", "icao_airline=KLM",
                         "[fltsim.2]", "title=A",                    "icao_airline=KLM"};
    const std::vector<LiveryRecord> records = split(lines);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].title, "A");
    EXPECT_EQ(records[1].title, "B");
    EXPECT_EQ(scan.incompleteSections, (std::vector<std::string>{"pkg [fltsim.2] title 'A' already exists"}));
}

TEST_F(AircraftCfg, SectionNumbersAndModelsOfAFile)
{
    EXPECT_TRUE(lf_checkFltSimNumbers(scan, {"[fltsim.10000]", "[fltsim.x]"}, file));
    EXPECT_FALSE(lf_checkFltSimNumbers(scan, {"[fltsim.0]", "[fltsim.10001]"}, file));
    EXPECT_FALSE(lf_checkFltSimNumbers(scan, {"[fltsim.99999999999]"}, file));
    EXPECT_TRUE(lf_checkFltSimNumbers(scan, {"[general]"}, file));
    EXPECT_EQ(scan.invalidFiles,
              (std::vector<std::string>{withFile("{f} contains a [fltsim.x] section with a number < 0 or > 10000")}));
    EXPECT_EQ(scan.noFltsimFiles, (std::vector<std::string>{withFile("{f}")}));
    EXPECT_NE(log().find("==> fltsim num [fltsim.99999999999] incorrect"), std::string::npos);

    scan = LiveryScanLists{};
    EXPECT_EQ(lf_fixModel(scan, file, {"[fltsim.0]", "icao_type_designator=a320"}), "A320");
    EXPECT_EQ(lf_fixModel(scan, file, {"icao_type_designator=B73H"}), "B738");
    EXPECT_EQ(lf_fixModel(scan, file, {"icao_type_designator=XXXX"}), "");
    EXPECT_EQ(lf_fixModel(scan, file, {"base_container=..\\Asobo_C208B_GRAND_CARAVAN_EX"}), "");
    EXPECT_EQ(lf_fixModel(scan, file, {"base_container=\"..\\Asobo_208B_GRAND_CARAVAN_EX\""}), "C208");
    EXPECT_EQ(lf_fixModel(scan, "x/pmdg-aircraft-737/aircraft.cfg", {"title=x"}), "");
    EXPECT_EQ(scan.fixes, (std::vector<std::string>{withFile("Model fix: B73H found in {f} changed into B738")}));
    EXPECT_EQ(scan.invalidModels, (std::vector<std::string>{withFile("XXXX             in {f}")}));
    EXPECT_EQ(scan.invalidFiles,
              (std::vector<std::string>{withFile("Line icao_type_designator= is missing in [General] section of {f}")}));
}

TEST_F(AircraftCfg, FilesThatCannotBeReadOrAreTooLargeGiveNoLines)
{
    test::writeAll(file, std::string(kMaxPackageTextFileBytes + 1, '\n'));
    CfgText text;
    EXPECT_FALSE(lf_readAircraftCfgLines(file, text, false));
    EXPECT_FALSE(lf_readAircraftCfgLines(folder / "absent.cfg", text, true));
    EXPECT_TRUE(text.lines.empty());
    EXPECT_NE(log().find(withFile("! {f} not read: file too large (16777217 bytes, at most 16777216)")),
              std::string::npos) << log();
    EXPECT_NE(log().find("==> ! No text encoding detected for "), std::string::npos);
}

TEST_F(AircraftCfg, WindowsBytesInAUtf8FileKeepTheirValues)
{
    // Far enough in for the encoding test to take the file for UTF-8: the
    // title keeps the file's bytes, as the simulator matches them.
    test::writeAll(file, "[general]\n;" + std::string(5000, 'x') + "\n[fltsim.0]\ntitle=Caf\xC3\xA9 \x96 Bar\n");
    CfgText text;
    ASSERT_TRUE(lf_readAircraftCfgLines(file, text, false));
    EXPECT_EQ(text.lines.back(), "title=Caf\xC3\xA9 \x96 Bar");
}

TEST(LiveryRecordOrder, KeyThenTitleThenRegistration)
{
    const auto rec = [](std::uint16_t airline, std::uint16_t model, std::uint8_t cargo, std::string title,
                        std::string reg) {
        return LiveryRecord{std::move(title), std::move(reg), LiveryKey{airline, 0, model, cargo, 0}, 5};
    };
    const std::vector<LiveryRecord> ordered = {rec(1, 2, 0, "B", ""),        rec(1, 2, 0, "B", "D-A"),
                                               rec(1, 2, 0, "B\xC3\xA9", ""), rec(1, 2, 1, "A", ""),
                                               rec(1, 3, 0, "A", ""),         rec(2, 1, 0, "A", "")};
    for (std::size_t i = 0; i + 1 < ordered.size(); ++i) {
        EXPECT_TRUE(compareLiveryRecords(ordered[i], ordered[i + 1])) << i;
        EXPECT_FALSE(compareLiveryRecords(ordered[i + 1], ordered[i])) << i;
    }
    LiveryRecord validOnly = ordered[0];
    validOnly.key.valid = 1;
    validOnly.priority = 1;
    EXPECT_FALSE(compareLiveryRecords(validOnly, ordered[0]));
    EXPECT_TRUE(sameLiveryIdentity(validOnly, ordered[0]));
}

} // namespace
} // namespace zelk

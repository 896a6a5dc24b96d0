#include "liveries/LiveryIndex.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "support/LiveryIndexFixture.h"
#include "core/ParametersFile.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "liveries/CodeTables.h"
#include "liveries/LiveriesScannedFile.h"
#include "liveries/SimilarModels.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;
using test::LiveryIndexTest;

std::string lf_normalized(const fs::path& file)
{
    std::string text = test::readAll(file);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

void lf_expectGolden(const fs::path& produced)
{
    const char* data = std::getenv("ZELK_TEST_DATA");
    ASSERT_NE(data, nullptr);
    const fs::path golden = fs::path(data) / "liveries" / "regcodes" / produced.filename();
    EXPECT_EQ(lf_normalized(produced), test::readAll(golden)) << produced;
}

std::uint16_t lf_model(std::string_view code) { return gf_modelCode2Index(code); }

TEST_F(LiveryIndexTest, ProcessingBuildsIndexAndRegcodeReports)
{
    test::writeAll(kErrorsFolder / "InlineRegcodes.txt", "stale clash\n");
    test::writeAll(kErrorsFolder / "LiveriesScanErrors.txt", "the scan's own report stays\n");
    gf_processScannedLiveries();
    const std::string text = log();

    for (const char* report : {"InlineRegcodes.txt", "MissingCustomRepaints.txt"}) lf_expectGolden(kErrorsFolder / report);
    lf_expectGolden(kInfoFolder / "OfflineRegcodes.txt");
    EXPECT_TRUE(fs::exists(kErrorsFolder / "LiveriesScanErrors.txt"));

    for (const std::string line : {
             "+++++ processing scanned liveries +++++", "   23 livery titles", "    1 in-line regcode clashes, see ",
             "******* Offline regcodes ******", "    1 custom repaint title not found in scanned liveries, see ",
             "    2 special liveries", "    1 unique liveries", "    6 registration codes",
             "   10 airlines, 11 pax aircraft models and 2 cargo aircraft models", "    2 similar model definitions",
             "Category Heavy: 0 pax liveries and 1 cargo liverie\n", "Category TwoProps: 1 pax liverie\n",
             "Category Light: 2 pax liveries and 1 cargo liverie\n", "Category Rotorcraft: No livery found",
             "HELICOPTERS temporarily switched off because you do not have Helicopters installed",
             "HIGH_PERF_AIRCRAFT temporarily switched off because you do not have High Perf aircraft installed",
             "2 models have a generic livery", "----- end of processing scanned liveries ------"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(text.find("LIGHT_AIRCRAFT temporarily"), std::string::npos);

    const LiveryIndex& index = gf_liveryIndex();
    const std::uint16_t combined = gf_airlineCode2Index("BAWCFE");
    EXPECT_TRUE(lf_hasAirlineModelLivery(index, combined, lf_model("E190")));
    EXPECT_TRUE(lf_hasAirlineModelLivery(index, gf_airlineCode2Index("CFE"), lf_model("E190")));
    EXPECT_FALSE(lf_hasAirlineModelLivery(index, gf_airlineCode2Index("BAW"), lf_model("E190")));
    EXPECT_TRUE(gf_scannedLiveries().empty());
}

TEST_F(LiveryIndexTest, CategoryWithoutLiveriesIsSavedOffAndItsBoxDisabled)
{
    gf_processScannedLiveries();
    EXPECT_FALSE(HELICOPTERS.value());
    EXPECT_FALSE(gf_settings()->HELICOPTERS);
    EXPECT_FALSE(enabled(HELICOPTERS));
    EXPECT_NE(test::readAll(gf_parametersFile()).find(R"(name="HELICOPTERS" value="false")"), std::string::npos);
    EXPECT_TRUE(LIGHT_AIRCRAFT.value());
    EXPECT_TRUE(enabled(TWO_PROPS));

    // With a helicopter livery the box is enabled again; the option stays off.
    std::vector<LiveryRecord> records = installedSet();
    records.push_back({"ZZZ EC35", "", key("ZZZ", "", "EC35", 0), 0});
    writeScanned(records);
    gf_processScannedLiveries();
    EXPECT_TRUE(enabled(HELICOPTERS));
    EXPECT_FALSE(HELICOPTERS.value());
}

TEST_F(LiveryIndexTest, SimilarModelsPointAtInstalledOnes)
{
    gf_processScannedLiveries();
    const LiveryIndex& index = gf_liveryIndex();
    const std::vector<std::uint16_t> b738{lf_model("B738")};
    EXPECT_EQ(index.similarModels.at(lf_model("B736")), b738);
    EXPECT_EQ(index.similarModels.at(lf_model("B737")), b738);
    EXPECT_FALSE(index.similarModels.contains(lf_model("B738")));
    EXPECT_FALSE(index.similarModels.contains(lf_model("A20N")));
    EXPECT_EQ(index.airlineSimilarModels.at(gf_airlineCode2Index("KLM")).at(lf_model("B737")), b738);
}

TEST(ClosestModel, CodeDistanceEdges)
{
    const auto m = [](std::string_view code) { return gf_modelCode2Index(code); };
    EXPECT_EQ(lf_closestModel(m("A320"), {m("A319"), m("A321"), m("B738")}), m("A321"));
    EXPECT_EQ(lf_closestModel(m("B737"), {m("B738"), m("B736")}), m("B736"));
    EXPECT_EQ(lf_closestModel(m("A320"), {m("B744")}), m("B744"));
    EXPECT_EQ(lf_closestModel(m("A320"), {m("B744"), m("C172")}), std::nullopt);
    EXPECT_EQ(lf_closestModel(m("A320"), {}), std::nullopt);
    EXPECT_EQ(lf_editDistance("319", "320"), 2u);
    EXPECT_EQ(lf_editDistance("", "B738"), 4u);
    EXPECT_EQ(lf_splitLettersDigits("A-32x0"), (std::pair<std::string, std::string>{"Ax", "320"}));
}

TEST_F(LiveryIndexTest, GenericModelsAreLoggedTwentyToALine)
{
    std::vector<LiveryRecord> records;
    for (int i = 0; i < 45; ++i)
        records.push_back({fmt::format("Generic {}", i), "", key("ZZZ", "", fmt::format("G{:03}", i), 0), 0});
    writeScanned(records);
    gf_processScannedLiveries();
    const std::string text = log();
    const auto at = text.find("45 models have a generic livery\n");
    ASSERT_NE(at, std::string::npos) << text;
    std::vector<std::size_t> codesPerLine;
    std::size_t begin = text.find('\n', at) + 1;
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = text.find('\n', begin);
        const std::string line = text.substr(begin, end - begin);
        ASSERT_EQ(line.rfind("  G", 0), 0u) << line;
        codesPerLine.push_back(static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1);
        begin = end + 1;
    }
    EXPECT_EQ(codesPerLine, (std::vector<std::size_t>{20, 20, 5}));
}

TEST_F(LiveryIndexTest, UnreadableFileNamesTheReasonBeforeGivingUp)
{
    test::writeAll(gf_liveriesScannedFile(), "<root><liveries></liveries></root>");
    try {
        gf_processScannedLiveries();
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), path_to_utf8(gf_liveriesScannedFile()) + " could not be read completely");
    }
    const std::string text = log();
    EXPECT_NE(text.find("==> 533: " + path_to_utf8(gf_liveriesScannedFile()) + " does not contain liveries"),
              std::string::npos) << text;
    EXPECT_TRUE(gf_liveryIndex().installedTitles.empty());
}

} // namespace
} // namespace zelk

#include "liveries/AircraftDatabase.h"

#include "core/EncryptedFile.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/Strings.h"
#include "support/LoggedTempDir.h"
#include "support/ShippedData.h"

#include <filesystem>
#include <stdexcept>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace zelk {
namespace {

std::string shippedDbaseText() { return test::shippedDataText("dbase.xml"); }

// The shipped database read into tables of the test's own; the log is kept per test.
using DbaseFile = test::LoggedTempDirTest;

class ShippedDbase : public DbaseFile {
protected:
    void SetUp() override
    {
        DbaseFile::SetUp();
        std::string text = shippedDbaseText();
        ASSERT_TRUE(db.readXml(text.data(), text.size(), "data/dbase.xml"));
    }

    AcCategory category(std::string_view code) { return db.modelCategory(db.modelIndex(code)); }

    CodeTable airlines{"airline"};
    CodeTable models{"model"};
    AircraftDatabase db{airlines, models};
};

TEST_F(ShippedDbase, HoldsHundredsOfModelsAndAirlinesWithoutComplaint)
{
    const auto data = db.data();
    EXPECT_GE(data->modelCodes.size(), 400u);
    EXPECT_GE(data->airlineCodes.size(), 300u);
    EXPECT_GE(data->cargoOperators.size(), 30u);
    EXPECT_GE(data->records.size(), 300u);
    EXPECT_GE(data->similarGroups.size(), 30u);
    const std::string text = log();
    EXPECT_EQ(text.find("==>"), std::string::npos) << "every entry is valid:\n" << text;
}

TEST_F(ShippedDbase, ClassifiesRealTypes)
{
    const std::pair<const char*, AcCategory> cases[] = {
        {"A320", AcCategory::Large},   {"B38M", AcCategory::Large},     {"E190", AcCategory::Large},
        {"CRJ9", AcCategory::Large},   {"B744", AcCategory::Heavy},     {"A388", AcCategory::Heavy},
        {"B77W", AcCategory::Heavy},   {"C172", AcCategory::Light},     {"PC12", AcCategory::Light},
        {"DH8D", AcCategory::Large},   {"AT76", AcCategory::Large},     {"SF34", AcCategory::Large},
        {"B350", AcCategory::TwoProps}, {"PA34", AcCategory::TwoProps}, {"C56X", AcCategory::Bizjet},
        {"GLF6", AcCategory::Bizjet},  {"EC35", AcCategory::Rotorcraft}, {"R44", AcCategory::Rotorcraft},
        {"F16", AcCategory::HighPerf},
    };
    for (const auto& [code, expected] : cases) EXPECT_EQ(category(code), expected) << code;
    EXPECT_EQ(category("B73H"), AcCategory::Large) << "a fixed code takes its target's category";
}

TEST_F(ShippedDbase, EveryModelHasAPlausibleSpan)
{
    const auto data = db.data();
    for (const auto& code : data->modelCodes) {
        const double halfSpanM = db.halfWingspanNm(db.modelIndex(code)) * 1852.0;
        EXPECT_GE(halfSpanM, 2.5) << code;
        EXPECT_LE(halfSpanM, 45.0) << code;
    }
    EXPECT_NEAR(db.halfWingspanNm(db.modelIndex("B738")) * 1852.0 * 2, 35.8, 0.1);
    EXPECT_NEAR(db.halfWingspanNm(db.modelIndex("A388")) * 1852.0 * 2, 79.75, 0.1);
    EXPECT_NEAR(db.largestHalfWingspanNm() * 1852.0 * 2, 88.4, 0.1) << "the An-225";
}

TEST_F(ShippedDbase, KnowsCargoAndRegistrations)
{
    const LiveryKey fedex{db.airlineIndex("FDX"), 0, db.modelIndex("B763"), 0, 0};
    const LiveryKey klm{db.airlineIndex("KLM"), 0, db.modelIndex("B738"), 0, 0};
    const LiveryKey md11{db.airlineIndex("KLM"), 0, db.modelIndex("MD11"), 0, 0};
    EXPECT_TRUE(db.isCargoKey(fedex));
    EXPECT_TRUE(db.isCargoKey(md11));
    EXPECT_FALSE(db.isCargoKey(klm));

    const auto bxa = db.lookupRegcode("PHBXA");
    ASSERT_TRUE(bxa.has_value());
    EXPECT_EQ(*bxa, (LiveryKey{db.airlineIndex("KLM"), 0, db.modelIndex("B738"), 0, 1}));
    const auto lhCargo = db.lookupRegcode("DALFA");
    ASSERT_TRUE(lhCargo.has_value());
    EXPECT_EQ(lhCargo->cargo, 1);
    EXPECT_EQ(airlines.text(lhCargo->airline), "GEC");

    // The livery reader relies on its generic airline codes being known.
    EXPECT_TRUE(db.isAirlineCode("ZZZ"));
    EXPECT_TRUE(db.isAirlineCode("PVT"));
}

TEST_F(ShippedDbase, EveryStockAircraftIsAModel)
{
    for (const auto& [container, type] : kStockAircraftTypes) {
        EXPECT_TRUE(db.isModelCode(type)) << container << " -> " << type;
    }
}

TEST_F(DbaseFile, ReadsTheEncryptedFileOfTheWorkingFolder)
{
    gf_writeEncryptedFile(shippedDbaseText(), kDbaseFile);
    ASSERT_TRUE(gf_readDbase());

    const auto data = gf_dbaseData();
    const std::string text = log();
    EXPECT_NE(text.find(fmt::format("\n{:5} ICAO model codes\n", data->modelCodes.size())), std::string::npos)
        << text;
    EXPECT_NE(text.find(fmt::format("{:5} ICAO airline codes\n", data->airlineCodes.size())), std::string::npos);
    EXPECT_NE(text.find(fmt::format("{:5} cargo operators\n", data->cargoOperators.size())), std::string::npos);
    EXPECT_NE(text.find(fmt::format("{:5} dbase records read\n", data->records.size())), std::string::npos);
    EXPECT_GE(data->modelCodes.size(), 400u);
    EXPECT_GE(data->airlineCodes.size(), 300u);

    // The process-wide queries answer from what was read.
    EXPECT_EQ(gf_modelCategoryOfCode("B744"), AcCategory::Heavy);
    EXPECT_EQ(gf_getModelIndex("B73H"), gf_modelCode2Index("B738"));
    ASSERT_TRUE(gf_lookupRegcode("GXLEA").has_value());
    EXPECT_EQ(gf_modelCodeText(gf_lookupRegcode("GXLEA")->model), "A388");
    EXPECT_TRUE(gf_isCargoKey(*gf_lookupRegcode("DALFA")));
}

TEST_F(DbaseFile, MissingFileThrows)
{
    try {
        gf_readDbase();
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), path_to_utf8(kDbaseFile) + " not available");
    }
}

TEST_F(DbaseFile, UndecryptableFileThrowsTheReadersText)
{
    std::filesystem::create_directories("input");
    test::writeAll(kDbaseFile, std::string(200, 'x'));
    try {
        gf_readDbase();
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
        EXPECT_EQ(std::string(e.what()).find("not available"), std::string::npos);
    }
}

TEST_F(DbaseFile, UnparsablePlaintextGivesFalse)
{
    gf_writeEncryptedFile("<root><aircrafts>", kDbaseFile);
    EXPECT_FALSE(gf_readDbase());
    EXPECT_NE(log().find("==> " + path_to_utf8(kDbaseFile) + " not read because: "), std::string::npos) << log();
}

} // namespace
} // namespace zelk

#include "core/Geometry.h"
#include "liveries/AcCategory.h"
#include "traffic/CategoryTables.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "core/Settings.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/CodeTables.h"
#include "support/LoggedTempDir.h"
#include "support/ShippedData.h"
#include "traffic/TrafficTestData.h"

namespace zelk {
namespace {


// Values outside the tables fail loudly instead of reading past them.
TEST(CategoryTables, ValuesOutsideTheTablesThrow)
{
    EXPECT_THROW((void)gf_phaseName(static_cast<FlightPhase>(11)), std::out_of_range);
    EXPECT_THROW((void)gf_categoryName(static_cast<AcCategory>(7)), std::out_of_range);
    EXPECT_THROW((void)gf_simStateName(static_cast<SimState>(5)), std::out_of_range);
    EXPECT_THROW((void)gf_categoryBankLimit(static_cast<AcCategory>(7)), std::out_of_range);
    EXPECT_THROW((void)gf_categoryCgHeightFt(static_cast<AcCategory>(-1)), std::out_of_range);
}

TEST(CategoryTables, CategoryInclusionFollowsTheSettings)
{
    SettingsSnapshot s;
    s.LIGHT_AIRCRAFT = s.TWO_PROPS = s.HIGH_PERF_AIRCRAFT = s.HELICOPTERS = false;
    EXPECT_FALSE(gf_isCategoryIncluded(AcCategory::Light, s));
    EXPECT_FALSE(gf_isCategoryIncluded(AcCategory::Rotorcraft, s));
    EXPECT_TRUE(gf_isCategoryIncluded(AcCategory::Bizjet, s)) << "always included";
    EXPECT_TRUE(gf_isCategoryIncluded(AcCategory::Heavy, s));
    s.TWO_PROPS = true;
    EXPECT_TRUE(gf_isCategoryIncluded(AcCategory::TwoProps, s));
    EXPECT_FALSE(gf_isCategoryIncluded(static_cast<AcCategory>(7), s));
    EXPECT_FALSE(gf_isCategoryIncluded(static_cast<AcCategory>(-1), s));
}

TEST(CategoryTables, ClearanceIsClampedTo18And65Metres)
{
    EXPECT_NEAR(gf_clearanceNm(18.0 / 1852.0) * 1852.0, 44.4, 1e-9);
    EXPECT_NEAR(1.25 * gf_clearanceNm(18.0 / 1852.0) * 1852.0, 55.5, 1e-9);
    EXPECT_NEAR(gf_clearanceNm(30.0 / 1852.0) * 1852.0, 65.0, 1e-9);
    EXPECT_NEAR(gf_clearanceNm(2.0 / 1852.0) * 1852.0, 18.0, 1e-9);
    EXPECT_NEAR(gf_clearanceNm(0.0) * 1852.0, 18.0, 1e-9);
}

// The type lists refine a category only for the types the shipped database files
// under it: regional types as Large (jet rules, medium gates, always shown),
// light twins as TwoProps.
class ShippedDbaseTypes : public test::LoggedTempDirTest {};

TEST_F(ShippedDbaseTypes, RegionalTypesAreLargeAndLightTwinsTwoProps)
{
    CodeTable airlines{"airline"};
    CodeTable models{"model"};
    AircraftDatabase db{airlines, models};
    std::string text = test::shippedDataText("dbase.xml");
    ASSERT_TRUE(db.readXml(text.data(), text.size(), "data/dbase.xml"));
    const auto expect = [&](const auto& list, AcCategory category) {
        for (const std::string_view code : list) {
            EXPECT_TRUE(db.isModelCode(code)) << code;
            EXPECT_EQ(db.modelCategory(db.modelIndex(code)), category) << code;
        }
    };
    expect(kRegionalModels, AcCategory::Large);
    expect(kLightTwinModels, AcCategory::TwoProps);
}

class ClassifyAircraft : public ::testing::Test {
protected:
    void SetUp() override { test::loadTrafficTestDbase(); }

    static TrafficRecordHead headOf(std::string_view model)
    {
        TrafficRecordHead head;
        head.key.model = gf_modelCode2Index(model);
        head.callsign = "KLM123";
        return head;
    }
    // Deterministic jitter: always the upper side.
    static double up(double value, double percent) { return value + value * percent / 100.0; }
};

TEST_F(ClassifyAircraft, LargeRegionalTypeGetsItsTablesAndFlags)
{
    AcIdentity id;
    id.hexId = 77; // cleared by the classification
    gf_classifyAircraft(id, headOf("AT76"), up);
    EXPECT_EQ(id.category, AcCategory::Large);
    EXPECT_EQ(id.head.callsign, "KLM123");
    EXPECT_EQ(id.hexId, 0u);
    EXPECT_EQ(id.jet, 1);
    EXPECT_EQ(id.regional, 1);
    EXPECT_EQ(id.lightTwin + id.lightSingle, 0);
    EXPECT_EQ(id.flarePasses, gf_categoryFlarePasses(AcCategory::Large));
    EXPECT_DOUBLE_EQ(id.rotationPitch, -6.0 * 1.025 * kDegToRad);
    EXPECT_DOUBLE_EQ(id.climbPitch, -16.5 * 1.05 * kDegToRad);
    EXPECT_DOUBLE_EQ(id.turnRate, gf_categoryTurnRate(AcCategory::Large));
}

TEST_F(ClassifyAircraft, TwinAndSingleFlagsOnlyInTheirCategory)
{
    AcIdentity id;
    gf_classifyAircraft(id, headOf("PA34"), up);
    EXPECT_EQ(id.category, AcCategory::TwoProps);
    EXPECT_EQ(id.lightTwin, 1);
    EXPECT_EQ(id.jet, 0);
    gf_classifyAircraft(id, headOf("C172"), up);
    EXPECT_EQ(id.category, AcCategory::Light);
    EXPECT_EQ(id.lightSingle, 1);
    EXPECT_EQ(id.lightTwin, 0);
}

TEST_F(ClassifyAircraft, SizesComeFromTheDatabaseForEveryModel)
{
    AcIdentity id;
    gf_classifyAircraft(id, headOf("B77W"), up);
    const double half = 64.8 * 0.5 / 1852.0;
    EXPECT_DOUBLE_EQ(id.sizeRadius, half);
    EXPECT_DOUBLE_EQ(id.proximityRadius, half);
    EXPECT_NEAR(id.clearance * 1852.0, 65.0, 1e-9);
    EXPECT_NEAR(id.wideClearance * 1852.0, 81.25, 1e-9);

    // A model index far past the span table is no 35 NM giant.
    TrafficRecordHead head = headOf("B738");
    head.key.model = 3000;
    gf_classifyAircraft(id, head, up);
    EXPECT_EQ(id.sizeRadius, 0.0);
    EXPECT_NEAR(id.clearance * 1852.0, 18.0, 1e-9);
}

TEST_F(ClassifyAircraft, JitterOfTheThreadEngineGivesOneOfTwoValues)
{
    for (int i = 0; i < 20; ++i) {
        AcIdentity id;
        gf_classifyAircraft(id, headOf("B738"));
        const double deg = id.rotationPitch / kDegToRad;
        EXPECT_TRUE(std::abs(deg - (-6.15)) < 1e-9 || std::abs(deg - (-5.85)) < 1e-9) << deg;
    }
}

} // namespace
} // namespace zelk

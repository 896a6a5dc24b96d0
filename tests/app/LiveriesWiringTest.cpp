#include "app/LiveriesWiring.h"

#include <gtest/gtest.h>

#include "app/CloseDown.h"
#include "ground/ParkingHooks.h"
#include "liveries/LiveryIndex.h"
#include "liveries/LiveryMatching.h"
#include "support/LiveryIndexFixture.h"
#include "traffic/AircraftRecords.h"
#include "traffic/LiveryBookkeeping.h"

namespace zelk {
namespace {

class LiveriesWiring : public test::LiveryIndexTest {
protected:
    void SetUp() override
    {
        LiveryIndexTest::SetUp();
        saved_ = gf_closeDownHooks();
        savedParking_ = gf_parkingHooks();
    }
    void TearDown() override
    {
        gf_updateCloseDownHooks([this](CloseDownHooks& h) { h = *saved_; });
        gf_setParkingHooks(*savedParking_);
        gf_liveryBookkeeping().clearRemembered();
        LiveryIndexTest::TearDown();
    }
    std::string_view matchDlhA320()
    {
        LiveryMatchAircraft ac;
        ac.key = key("DLH", "", "A320", 0);
        EXPECT_EQ(gf_matchLiveryLive(ac, 0), 2);
        return ac.title;
    }

private:
    std::shared_ptr<const CloseDownHooks> saved_;
    std::shared_ptr<const ParkingHooks> savedParking_;
};

// The remembered titles point into the index: the close-down forgets them
// before the next run rebuilds it (a stale view shows under ASan).
TEST_F(LiveriesWiring, CloseDownForgetsTitlesBeforeTheIndexIsRebuilt)
{
    lf_installLiveries();
    gf_processScannedLiveries();
    gf_liveryBookkeeping().remember(100001, matchDlhA320());
    gf_closeDownHooks()->clearRunMemory();
    EXPECT_EQ(gf_liveryBookkeeping().rememberedCount(), 0u);

    gf_processScannedLiveries();
    EXPECT_EQ(gf_liveryBookkeeping().rememberedTitle(100001), std::nullopt);
    const std::string_view title = matchDlhA320();
    EXPECT_EQ(std::string(title), "DLH A320 Lufthansa");
    for (const auto& report : gf_closeDownHooks()->runReports) report();
    EXPECT_NE(log().find("live traffic livery matching summary"), std::string::npos);
}

// The parking's aircraft gets its livery with the stand's cargo flag.
TEST_F(LiveriesWiring, ParkedAircraftAtACargoStandTakesACargoLivery)
{
    lf_installLiveries();
    gf_processScannedLiveries();
    StaticAc aircraft;
    aircraft.head.key = key("KLM", "", "B748", 0);
    aircraft.category = AcCategory::Heavy;
    ParkPos stand;
    stand.name = "C1";
    stand.cargo = 1;
    ASSERT_TRUE(gf_parkingHooks()->matchLiveryStatic(aircraft, stand));
    EXPECT_EQ(aircraft.liveryTitle, "KLM B748 Cargo");
    stand.cargo = 0;
    aircraft.liveryTitle = {};
    EXPECT_FALSE(gf_parkingHooks()->matchLiveryStatic(aircraft, stand));
}

} // namespace
} // namespace zelk

#include "support/LiveryIndexFixture.h"

#include <fmt/format.h>

#include "core/EncryptedFile.h"
#include "core/Paths.h"
#include "liveries/AircraftDatabase.h"
#include "liveries/LiveriesScannedFile.h"
#include "liveries/LiveryMatching.h"
#include "simlink/UserAircraftState.h"
#include "support/ScopedEnv.h"

namespace zelk::test {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDbase = R"(<root>
  <aircrafts><aircraft types="A318,A319,A320,A321,A20N,B736,B737,B738,B752,B748,E190,E195,C172,DH8D,CONC,EC35"/></aircrafts>
  <cargo_types><cargo_type types="B74F"/></cargo_types>
  <heavy><hvy types="B748"/></heavy>
  <large><lar types="A318,A319,A320,A321,A20N,B736,B737,B738,B752,E190,E195"/></large>
  <buzjet><bzj types=""/></buzjet>
  <twoprops><tpr types="DH8D"/></twoprops>
  <high_performance><hpf types="CONC"/></high_performance>
  <rotorcraft><rot types="EC35"/></rotorcraft>
  <ICAO_airlines><ICAO codes="DLH,KLM,BAW,CFE,EZY,AFR,UPS,PVT,ZZZ"/></ICAO_airlines>
  <cargo_operators><ICAO codes="UPS"/></cargo_operators>
  <similar_types><similar types="B736,B737,B738"/><similar types="A20N"/></similar_types>
  <fixes/>
  <dbase/>
</root>)";

constexpr std::string_view kMeta = R"(<meta><info name="copyright" value="c"/><info name="sim" value="2"/></meta>)";

} // namespace

void LiveryIndexTest::SetUp()
{
    processConfigHome(); // parameters.xml of the category options lands there
    LoggedTempDirTest::SetUp();
    std::string dbase(kDbase);
    ASSERT_TRUE(gf_readDbaseFromBuffer(dbase.data(), dbase.size(), "matching test dbase"));
    ProgramMode mode = *gf_programMode();
    mode.simulator = kSimulatorMsfs2024;
    gf_storeProgramMode(mode);
    for (const fs::path& folder : {kOutputFolder, kInfoFolder, kErrorsFolder, kMyRegcodesFolder})
        fs::create_directories(folder);
    gf_writeEncryptedFile(fmt::format(R"(<root>{}<aig>
        <l t="DLH A320 Alpha" r="D-AIAA,D-AIAB" s="1"/>
        <l t="AIG title not installed" r="N123AB"/>
    </aig></root>)", kMeta), kAigRegcodesFile);
    writeAll(kMyRegcodesFolder / "mine.txt", "DLH A320 Lufthansa;D-AIAB,D-AIAC\n"
                                             "KLM B738 Special;PH-BXB\n"
                                             "Not Installed Title;G-ABCD\n");
    writeScanned(installedSet());

    savedSettings_ = *gf_settings();
    gf_updateSettings([](SettingsSnapshot& s) {
        s.RANDOM = false;
        s.MATCHING_DEPTH = 4;
        s.TCAS_FL = 180;
    });
    previousHost_ = gf_controlHost();
    gf_installControlHost(host_);
    for (std::size_t i = 0; i < savedOptions_.size(); ++i) {
        savedOptions_[i] = categoryOptions()[i]->value();
        categoryOptions()[i]->setValue(true);
        categoryOptions()[i]->setHwnd(host_->createControl());
    }
    gf_storeUserAcPosition(UserAcPosition{});
    gf_setLiveryMatchHooks({});
    lf_resetLiveryStepCounts();
}

void LiveryIndexTest::TearDown()
{
    for (std::size_t i = 0; i < savedOptions_.size(); ++i) {
        categoryOptions()[i]->setValue(savedOptions_[i]);
        categoryOptions()[i]->setHwnd(kNoControl);
    }
    gf_installControlHost(previousHost_);
    gf_publishSettings(savedSettings_);
    gf_storeUserAcPosition(UserAcPosition{});
    gf_setLiveryMatchHooks({});
    LoggedTempDirTest::TearDown();
}

LiveryKey LiveryIndexTest::key(std::string_view airline, std::string_view op, std::string_view model, int cargo)
{
    return LiveryKey{gf_airlineCode2Index(airline), gf_airlineCode2Index(op), gf_modelCode2Index(model),
                     static_cast<std::uint8_t>(cargo), 0};
}

std::vector<LiveryRecord> LiveryIndexTest::installedSet()
{
    const auto r = [](std::string title, std::string reg, LiveryKey k) {
        return LiveryRecord{std::move(title), std::move(reg), k, 0};
    };
    return {
        r("DLH A320 Alpha", "", key("DLH", "", "A320", 0)),
        r("DLH A320 D-AIBA", "D-AIBA", key("DLH", "", "A320", 0)),
        r("DLH A320 Lufthansa", "", key("DLH", "", "A320", 0)),
        r("KLM B738", "PH-BXA", key("KLM", "", "B738", 0)),
        r("KLM B738 Special", "PH-BXA", key("KLM", "", "B738", 0)),
        r("KLM B748 Cargo", "", key("KLM", "", "B748", 1)),
        r("UPS B752 pax", "", key("UPS", "", "B752", 0)),
        r("BAWCFE E190 combined", "", key("BAW", "CFE", "E190", 0)),
        r("CFE E195 Aaa plain", "", key("CFE", "", "E195", 0)),
        r("CFE E195 British Airways", "", key("CFE", "", "E195", 0)),
        r("BAW E195 BA CityFlyer", "", key("BAW", "", "E195", 0)),
        r("BAW A319 BA CityFlyer", "", key("BAW", "", "A319", 0)),
        r("CFE A319 Aaa plain", "", key("CFE", "", "A319", 0)),
        r("CFE A318 plain", "", key("CFE", "", "A318", 0)),
        r("BAW A318 plain", "", key("BAW", "", "A318", 0)),
        r("BAW A321 plain", "", key("BAW", "", "A321", 0)),
        r("ZZZ C172 generic", "", key("ZZZ", "", "C172", 0)),
        r("ZZZ C172 cargo", "", key("ZZZ", "", "C172", 1)),
        r("ZZZ A320 generic", "", key("ZZZ", "", "A320", 0)),
        r("PVT C172 own", "", key("PVT", "", "C172", 0)),
        r("BAW DH8D", "", key("BAW", "", "DH8D", 0)),
        r("FSLTL_EZY_A20N", "", key("EZY", "", "A20N", 0)),
        r("AFR A20N fsltl_x", "", key("AFR", "", "A20N", 0)),
    };
}

void LiveryIndexTest::writeScanned(const std::vector<LiveryRecord>& records) const
{
    ASSERT_TRUE(lf_writeLiveriesScannedTo(records, gf_liveriesScannedFile())) << log();
}

} // namespace zelk::test

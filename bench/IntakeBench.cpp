#include "traffic/TrafficIntake.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include <benchmark/benchmark.h>

#include "core/Settings.h"
#include "liveries/AircraftDatabase.h"

namespace {

using namespace zelk;

// The models, airlines and registrations the reports below name, in the
// process-wide tables the intake uses.
void lf_loadDbase()
{
    static const bool loaded = [] {
        std::string xml = R"(<root>
<aircrafts><aircraft types="B738,A320,A20N,B77W,B789,E190,AT76,DH8D,C172"/></aircrafts>
<cargo_types><cargo_type types="B77F"/></cargo_types>
<heavy><hvy types="B77W,B789"/></heavy><large><lar types="B738,A320,A20N,E190,AT76"/></large>
<buzjet><bzj types=""/></buzjet><twoprops><tpr types="DH8D"/></twoprops>
<high_performance><hpf types=""/></high_performance><rotorcraft><rot types=""/></rotorcraft>
<ICAO_airlines><ICAO codes="KLM,DLH,BAW,AFR,EZY"/></ICAO_airlines>
<cargo_operators><ICAO codes="FDX"/></cargo_operators>
<fixes><fx wro="B73H" cor="B738"/></fixes>
<wingspans><wingspan type="B738" meters="35.79"/></wingspans>
<dbase><d r="PH-BXA" a="KLM" m="B738"/><d r="D-AIZB" a="DLH" m="A320"/></dbase>
</root>)";
        return gf_readDbaseFromBuffer(xml.data(), xml.size(), "bench-dbase");
    }();
    benchmark::DoNotOptimize(loaded);
}

IntakeContext lf_context()
{
    auto settings = std::make_shared<SettingsSnapshot>();
    settings->rangeNm = 60.0;
    settings->rangeNmSquared = 3600.0;
    IntakeContext context;
    context.centreLatitude = 52.0;
    context.centreLongitude = 4.0;
    context.lonScale = std::cos(52.0 * std::numbers::pi / 180.0);
    context.qnh = 1013;
    context.settings = settings;
    context.fromLocalApp = 1;
    context.userAirport = UserAirportSpot{0x45484141, 52.3, 4.76};
    return context;
}

// One airborne report of a known airliner near the user, as the local app sends it.
TrafficFields lf_airborneReport()
{
    TrafficFields fields;
    fields.time = 1.7e9 + 0.4;
    fields.hexId = 0x484506;
    fields.latitude = 52.2;
    fields.longitude = 4.5;
    fields.altitude = 5000.0;
    fields.verticalSpeed = 500.0;
    fields.track = 90.0;
    fields.groundSpeed = 250.0;
    fields.callsign = "KLM123";
    fields.type = "B738";
    fields.registration = "PH-BXA";
    fields.origin = "AMS";
    fields.destination = "JFK";
    fields.source = "adsb";
    fields.emitterCategory = "A3";
    return fields;
}

void BM_BuildTrafficRecord(benchmark::State& state)
{
    lf_loadDbase();
    const IntakeContext context = lf_context();
    TrafficFields fields = lf_airborneReport();
    // 0: the stored registration form; 1: a feed form without its hyphen and a
    // wrong type designator the database corrects.
    if (state.range(0) == 1) {
        fields.registration = "PHBXA";
        fields.type = "B73H";
    }
    if (!gf_buildTrafficRecord(fields, context).record) {
        state.SkipWithError("the report is not taken in");
        return;
    }
    for (auto _ : state) {
        TrafficIntakeResult result = gf_buildTrafficRecord(fields, context);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_BuildTrafficRecord)->Arg(0)->Arg(1)->ArgNames({"feedForms"});

// Most reports of a wide query box lie outside the range and must cost little.
void BM_BuildTrafficRecordOutOfRange(benchmark::State& state)
{
    lf_loadDbase();
    const IntakeContext context = lf_context();
    TrafficFields fields = lf_airborneReport();
    fields.latitude = 48.0;
    fields.longitude = 11.0;
    if (gf_buildTrafficRecord(fields, context).record) {
        state.SkipWithError("the report is not out of range");
        return;
    }
    for (auto _ : state) {
        TrafficIntakeResult result = gf_buildTrafficRecord(fields, context);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_BuildTrafficRecordOutOfRange);

} // namespace

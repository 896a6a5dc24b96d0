#include "support/TestAirport.h"

#include <memory>

#include "liveries/AircraftDatabase.h"
#include "simlink/FakeSimPort.h"
#include "simlink/SimClient.h"

namespace zelk::test {
namespace {

constexpr double kMetersPerNm = 1852.0;
constexpr double kDegToRadLocal = 0.017453292519943295;

struct StandSpec {
    const char* name;
    StandType type;
    double radiusM;
    double northM;
    double eastM;
    std::vector<std::int32_t> adjacent;
};

LiveryKey lf_key(const char* airline, const char* model, std::uint8_t cargo = 0)
{
    return LiveryKey{gf_airlineCode2Index(airline), 0, gf_modelCode2Index(model), cargo, 0};
}

HoursMask lf_slots(std::size_t first, std::size_t last)
{
    HoursMask mask;
    for (std::size_t s = first; s <= last; ++s)
        mask.set(s);
    return mask;
}

void lf_addOption(ParkPos& stand, LiveryKey key, const char* registration, const char* callsign, std::uint32_t weekday,
                  HoursMask hours, std::uint32_t real = 1)
{
    const auto id = static_cast<std::uint32_t>(stand.options.size() + 1);
    stand.options.emplace_back(key, registration, callsign, hours, id, weekday, 0, real, 0);
}

std::vector<StandSpec> lf_specs()
{
    std::vector<StandSpec> specs;
    for (int i = 0; i < 4; ++i) {
        std::vector<std::int32_t> adj;
        if (i > 0) adj.push_back(i);
        if (i < 3) adj.push_back(i + 2);
        specs.push_back({nullptr, StandType::GATE_HEAVY, 40.0, 400.0, -600.0 + 70.0 * i, adj});
    }
    for (int i = 0; i < 8; ++i) {
        std::vector<std::int32_t> adj;
        if (i == 0 || i == 6) adj = {i + 6};
        if (i == 1 || i == 7) adj = {i + 4};
        specs.push_back({nullptr, StandType::GATE_MEDIUM, 30.0, 400.0, -300.0 + 45.0 * i, adj});
    }
    for (int i = 0; i < 2; ++i)
        specs.push_back({nullptr, StandType::RAMP_CARGO, 45.0, 400.0, 200.0 + 100.0 * i, {}});
    for (int i = 0; i < 8; ++i)
        specs.push_back({nullptr, StandType::RAMP_GA_SMALL, 15.0, 300.0, -1000.0 + 35.0 * i, {}});
    specs.push_back({nullptr, StandType::RAMP_GA, 15.0, 300.0, -1300.0, {}});
    specs.push_back({nullptr, StandType::NONE, 15.0, 300.0, -1400.0, {}});
    return specs;
}

std::string lf_name(std::size_t index)
{
    if (index < 12) return "G" + std::to_string(index + 1);
    if (index < 14) return "C" + std::to_string(index - 11);
    if (index < 22) return "R" + std::to_string(index - 13);
    return index == 22 ? "H1" : "X1";
}

void lf_addLearnedOptions(std::vector<ParkPos>& stands)
{
    lf_addOption(stands[0], lf_key("DLH", "B77W"), "D-ABVA", "DLH400", 1, lf_slots(16, 20));
    lf_addOption(stands[0], lf_key("DLH", "B77W"), "D-ABVA", "DLH400", 2, lf_slots(16, 20));
    for (std::uint32_t day = 1; day <= 7; ++day)
        lf_addOption(stands[1], lf_key("KLM", "B789"), "PH-BHA", "KLM605", day, lf_slots(44, 47));
    lf_addOption(stands[4], lf_key("KLM", "B738"), "PH-BXA", "KLM1234", 3, lf_slots(10, 12));
    lf_addOption(stands[4], lf_key("BAW", "A320"), "G-EUPA", "BAW2", 3, lf_slots(10, 10), 0);
    lf_addOption(stands[12], lf_key("FDX", "B77F", 1), "N123FX", "FDX5", 1, lf_slots(0, 5));
    lf_addOption(stands[14], lf_key("DLH", "C172"), "D-EABC", "", 6, lf_slots(20, 30));
}

} // namespace

LatLon testAirportPoint(double northM, double eastM)
{
    const double lat = TestAirport::kLatitude + northM / kMetersPerNm / 60.0;
    const double lon = TestAirport::kLongitude +
                       eastM / kMetersPerNm / 60.0 / std::cos(TestAirport::kLatitude * kDegToRadLocal);
    return {lat, lon};
}

std::vector<ParkPos> testAirportStands()
{
    std::vector<ParkPos> stands;
    const std::vector<StandSpec> specs = lf_specs();
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const StandSpec& entry = specs[i];
        ParkPos s;
        s.id = static_cast<std::uint32_t>(i + 1);
        s.name = lf_name(i);
        const LatLon p = testAirportPoint(entry.northM, entry.eastM);
        s.latitude = p.latitude;
        s.longitude = p.longitude;
        s.radius = entry.radiusM / kMetersPerNm;
        s.type = entry.type;
        s.parkingType = std::string(gf_standTypeName(static_cast<std::uint32_t>(entry.type)));
        s.hasParkingType = entry.type != StandType::NONE ? 1 : 0;
        s.gate = entry.type == StandType::GATE_HEAVY || entry.type == StandType::GATE_MEDIUM ? 1 : 0;
        s.cargo = entry.type == StandType::RAMP_CARGO ? 1 : 0;
        s.ramp = entry.type == StandType::RAMP_GA_SMALL ? 1 : 0;
        s.helipad = s.name == "H1" ? 1 : 0;
        s.adjacent = entry.adjacent;
        stands.push_back(std::move(s));
    }
    lf_addLearnedOptions(stands);
    return stands;
}

sim_event::Facilities testAirportFacilities()
{
    sim_event::Facilities f;
    f.airport = IcaoCode(TestAirport::kCode);
    const LatLon centre = testAirportPoint(0.0, 0.0);
    const LatLon cross = testAirportPoint(0.0, 800.0);
    f.runways.push_back(
        {"09", "27", centre.latitude, centre.longitude, 90.0, 3000.0, 45.0, TestAirport::kAltitudeFt, 0.0, 300.0});
    f.runways.push_back(
        {"18", "36", cross.latitude, cross.longitude, 180.0, 2000.0, 30.0, TestAirport::kAltitudeFt, 0.0, 0.0});
    for (const ParkPos& s : testAirportStands()) {
        if (s.helipad != 0) {
            f.helipads.push_back({s.latitude, s.longitude, 0.0, 30.0, 30.0});
            continue;
        }
        f.stands.push_back({s.name, s.latitude, s.longitude, 0.0, s.radius * kMetersPerNm,
                            static_cast<std::uint32_t>(s.type)});
    }
    return f;
}

TestAirportSimulator::TestAirportSimulator()
{
    gf_setSimPortFactory([] {
        auto port = std::make_unique<FakeSimPort>();
        port->setProduct(SimProduct::Msfs2024);
        port->setFacilities(IcaoCode(TestAirport::kCode), testAirportFacilities());
        return port;
    });
}

TestAirportSimulator::~TestAirportSimulator() { gf_setSimPortFactory({}); }

} // namespace zelk::test

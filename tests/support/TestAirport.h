#pragma once

#include <string>
#include <vector>

#include "airports/ParkPos.h"
#include "core/Geometry.h"
#include "simlink/SimPort.h"

namespace zelk::test {

// A small made-up airport for the ground and traffic tests, "ZTST" at 47.5 N
// 9.0 E, 1300 ft. Runway 09-27 (3000 x 45 m, threshold 27 displaced by 300 m)
// is centred on the reference point; runway 18-36 (2000 x 30 m) crosses it
// 800 m east. North of 09-27 lie, all facing north (heading 0):
//   id 1..4   G1..G4   GATE_HEAVY, 40 m, 70 m apart, each adjacent to its neighbours
//   id 5..12  G5..G12  GATE_MEDIUM, 30 m, 45 m apart, G5/G6 and G11/G12 adjacent pairs
//   id 13,14  C1, C2   RAMP_CARGO, 45 m
//   id 15..22 R1..R8   RAMP_GA_SMALL, 15 m
//   id 23     H1       helipad (RAMP_GA, 15 m)
//   id 24     X1       no parking type
// Learned options (airline, model, registration, callsign, weekday, slots):
//   G1: DLH B77W D-ABVA DLH400 Monday 16..20 and Tuesday 16..20
//   G2: KLM B789 PH-BHA KLM605 every day 44..47
//   G5: KLM B738 PH-BXA KLM1234 Wednesday 10..12, and a soft BAW A320 G-EUPA BAW2 Wednesday 10
//   C1: FDX B77F N123FX FDX5 (cargo) Monday 0..5
//   R1: DLH C172 D-EABC "" Saturday 20..30
struct TestAirport {
    static constexpr const char* kCode = "ZTST";
    static constexpr double kLatitude = 47.5;
    static constexpr double kLongitude = 9.0;
    static constexpr double kAltitudeFt = 1300.0;
};

// A position north and east of the reference point, in metres.
LatLon testAirportPoint(double northM, double eastM);
// The stands as the loader would hand them to the engine: ids 1..24 in order.
std::vector<ParkPos> testAirportStands();
// The same airport as the simulator's facility data (runways and stands).
sim_event::Facilities testAirportFacilities();

// Installs a port factory whose stand-in simulator knows the test airport;
// the factory is removed again on destruction.
class TestAirportSimulator {
public:
    TestAirportSimulator();
    ~TestAirportSimulator();
    TestAirportSimulator(const TestAirportSimulator&) = delete;
    TestAirportSimulator& operator=(const TestAirportSimulator&) = delete;
};

} // namespace zelk::test

// The replay's scenarios and its test park airport: a runway 09 with a taxiway to three stands,
// and a helipad.
// Every aircraft is a track of the fixtures' track writer, so its reports are deterministic.
#include <cmath>
#include <stdexcept>
#include <tuple>

#include <fmt/format.h>

#include "airports/airports.h"
#include "liveries/aircraft_database.h"
#include "replay.h"

namespace replay {

const LatLon kFieldPos{47.0, 8.0};

namespace {

using fixtures::TrackAircraft;
using fixtures::TrackLeg;

constexpr double kMetresToFeet = 1.0 / 0.3048;
constexpr double kCruiseFt = 11000.0;
constexpr double kGlideDeg = 3.0;

// A point east and north of the field's reference point, in metres.
LatLon lf_at(double east, double north) {
  const LatLon across = gf_destination(kFieldPos, kPi / 2.0, east * kMetresToFeet);
  return gf_destination(across, 0.0, north * kMetresToFeet);
}

// The field: runway 09 along the reference line, touchdown 1200 m west of the reference point.
const LatLon kTouchdown = lf_at(-1200.0, 0.0);
const LatLon kRunwayExit = lf_at(600.0, 0.0);
const LatLon kStandA1 = lf_at(960.0, -360.0);   // nose south
const LatLon kStandB2 = lf_at(-300.0, -300.0);  // nose north
const LatLon kStandC3 = lf_at(700.0, -360.0);   // nose south
const LatLon kHelipadH4 = lf_at(1500.0, 400.0);  // away from every other aircraft's way

TrackLeg lf_leg(double seconds) {
  TrackLeg leg;
  leg.maxSeconds = seconds;
  return leg;
}

TrackLeg lf_onGround(TrackLeg leg, bool onGround) {
  leg.onGround = onGround;
  return leg;
}

TrackAircraft lf_aircraft(std::uint32_t id, const char* callsign, const char* type,
                          const char* registration) {
  TrackAircraft a;
  a.id = id;
  a.callsign = callsign;
  a.type = type;
  a.registration = registration;
  a.from = "AMS";
  a.to = "ZRH";
  a.groundElevationFt = kFieldElevationFt;
  a.seed = id;
  return a;
}

// A helicopter (emitter category A7) in the air at a height above the field.
TrackAircraft lf_helicopterAloft(std::uint32_t id, const char* callsign, const char* registration,
                                 const LatLon& position, double heightFt, double headingDeg,
                                 double speedKt) {
  TrackAircraft a = lf_aircraft(id, callsign, "EC35", registration);
  a.category = "A7";
  a.position = position;
  a.altitudeFt = kFieldElevationFt + heightFt;
  a.headingDeg = headingDeg;
  a.speedKt = speedKt;
  a.onGround = false;
  return a;
}

// a) and e): a cruise with three turns, then the reports stop.
TrackAircraft lf_cruise(const LatLon& start) {
  TrackAircraft a = lf_aircraft(4000001, "DLH4CR", "A320", "D-AIZA");
  a.position = start;
  a.altitudeFt = kCruiseFt;
  a.headingDeg = 90.0;
  a.speedKt = 250.0;
  a.onGround = false;
  a.legs = {lf_leg(60.0),       fixtures::turnLeg(120.0, 3.0), lf_leg(40.0),
            fixtures::turnLeg(90.0, 3.0), lf_leg(40.0), fixtures::turnLeg(210.0, 3.0),
            lf_leg(40.0)};
  return a;
}

// b): a 3-degree approach from 15 nm, the roll-out, a turn-off and a taxi with two turns to 2 m
// short of stand A1, reached at an angle. With d's extra legs it leaves again, straight back.
// Its reports may all read highFt higher than the field (pressure altitudes on a low-QNH day),
// and its roll-out slow by rollOutKtPerS.
TrackAircraft lf_arrival(bool leavesAgain, double highFt = 0.0, double rollOutKtPerS = 3.0) {
  TrackAircraft a = lf_aircraft(4000002, "KLM1234", "A320", "PH-EZA");
  const double startNm = 15.0;
  const double reportedFieldFt = kFieldElevationFt + highFt;
  a.groundElevationFt = reportedFieldFt;
  a.position = gf_destination(kTouchdown, 1.5 * kPi, startNm * kFeetPerNm);
  a.altitudeFt = reportedFieldFt + startNm * kFeetPerNm * std::tan(kGlideDeg * kDegToRad);
  a.headingDeg = 90.0;
  a.speedKt = 140.0;
  a.onGround = false;
  TrackLeg rollOut = lf_onGround(fixtures::taxiLeg(kRunwayExit, 20.0), true);
  rollOut.accelKtPerS = rollOutKtPerS;
  a.legs = {fixtures::approachLeg(kTouchdown, reportedFieldFt, 140.0, kGlideDeg),
            rollOut,
            fixtures::taxiLeg(lf_at(600.0, -150.0), 15.0),
            fixtures::taxiLeg(lf_at(900.0, -150.0), 15.0),
            fixtures::taxiLeg(lf_at(900.0, -300.0), 15.0),
            fixtures::taxiLeg(lf_at(953.0, -330.0), 8.0),
            fixtures::taxiLeg(gf_destination(kStandA1, 1.75 * kPi, 2.0 * kMetresToFeet), 6.0),
            fixtures::holdLeg(120.0)};
  if (leavesAgain) {
    a.legs.push_back(fixtures::pushbackLeg(40.0, 3.0));
    a.legs.push_back(fixtures::holdLeg(20.0));
    a.legs.push_back(fixtures::taxiLeg(lf_at(900.0, -150.0), 15.0));
    a.legs.push_back(fixtures::taxiLeg(lf_at(300.0, -150.0), 15.0));
  }
  return a;
}

// b)'s second arrival: a light aircraft on a 3-degree final from 1500 ft to stand C3.
TrackAircraft lf_lightArrival() {
  TrackAircraft a = lf_aircraft(4000003, "PHLAC", "C172", "PH-LAC");
  const double startFt = 1500.0;
  a.startTime = 250.0;
  a.position = gf_destination(kTouchdown, 1.5 * kPi, startFt / std::tan(kGlideDeg * kDegToRad));
  a.altitudeFt = kFieldElevationFt + startFt;
  a.headingDeg = 90.0;
  a.speedKt = 90.0;
  a.onGround = false;
  a.category = "A1";
  a.source = "X_adsb_icao";  // as some real feeds send it: no true heading
  TrackLeg rollOut = lf_onGround(fixtures::taxiLeg(lf_at(300.0, 0.0), 15.0), true);
  a.legs = {fixtures::approachLeg(kTouchdown, kFieldElevationFt, 90.0, kGlideDeg), rollOut,
            fixtures::taxiLeg(lf_at(300.0, -150.0), 12.0),
            fixtures::taxiLeg(lf_at(700.0, -150.0), 12.0),
            fixtures::taxiLeg(gf_destination(kStandC3, 0.0, 8.0 * kMetresToFeet), 5.0),
            fixtures::holdLeg(60.0)};
  return a;
}

// c): born on stand B2, a pushback of 40 m turning 90 degrees, taxi, the run, the climb.
TrackAircraft lf_departure() {
  TrackAircraft a = lf_aircraft(4000004, "SWR15", "A320", "HB-JLT");
  a.position = kStandB2;
  a.headingDeg = 0.0;
  TrackLeg push = fixtures::pushbackLeg(40.0, 3.0);
  push.headingDeg = 270.0;
  push.turnDegPerS = 4.0;
  TrackLeg run = lf_onGround(fixtures::turnLeg(90.0, 5.0), true);
  run.speedKt = 150.0;
  run.accelKtPerS = 3.0;
  TrackLeg climb = lf_onGround(lf_leg(0.0), false);
  climb.speedKt = 160.0;
  climb.altitudeFt = kCruiseFt;
  climb.verticalFpm = 2500.0;
  a.legs = {fixtures::holdLeg(30.0),
            push,
            fixtures::holdLeg(20.0),
            fixtures::taxiLeg(lf_at(-300.0, -150.0), 15.0),
            fixtures::taxiLeg(lf_at(-1500.0, -150.0), 20.0),
            fixtures::taxiLeg(lf_at(-1500.0, 0.0), 10.0),
            run,
            climb};
  a.tailSeconds = 30.0;
  return a;
}

// g): reports 20 s apart, as RealTraffic gives them for aircraft few receivers see, on a
// track that curves right round: a gentle turn, a straight piece, a tighter turn back.
TrackAircraft lf_sparseCruise(const LatLon& start) {
  TrackAircraft a = lf_aircraft(4000005, "AFR9SP", "A320", "F-HEPA");
  a.position = start;
  a.altitudeFt = kCruiseFt;
  a.headingDeg = 90.0;
  a.speedKt = 250.0;
  a.onGround = false;
  a.minIntervalS = a.maxIntervalS = 20.0;
  TrackLeg gentle = lf_leg(240.0);
  gentle.turnDegPerS = 0.75;
  TrackLeg back = lf_leg(60.0);
  back.turnDegPerS = -1.0;
  a.legs = {lf_leg(60.0), gentle, lf_leg(60.0), back, lf_leg(60.0)};
  return a;
}

// h): born on the stand reserved for the user, it drives out nose first, taxis and departs.
TrackAircraft lf_departureFromTheReservedStand() {
  TrackAircraft a = lf_departure();
  a.id = 4000006;
  a.callsign = "SWR27";
  a.registration = "HB-JLQ";
  a.seed = 6;
  a.legs.erase(a.legs.begin() + 1, a.legs.begin() + 3);  // no pushback: it drives out north
  return a;
}

// f): an overflight at a distance west of the user, heading east.
TrackAircraft lf_overflight(std::uint32_t id, const char* callsign, const char* type,
                            const char* registration, const LatLon& user, double westNm) {
  TrackAircraft a = lf_aircraft(id, callsign, type, registration);
  a.position = gf_destination(user, 1.5 * kPi, westNm * kFeetPerNm);
  a.altitudeFt = kCruiseFt;
  a.headingDeg = 90.0;
  a.speedKt = 250.0;
  a.onGround = false;
  a.legs = {lf_leg(150.0)};
  return a;
}

// The same transponder again gapS after the piece's last state, from where the piece ended (the
// caller may move it), with no legs yet.
TrackAircraft lf_after(const TrackAircraft& piece, double gapS) {
  const fixtures::TrackState end = fixtures::flyTrack(piece).states.back();
  TrackAircraft next = piece;
  next.startTime = end.t + gapS;
  next.position = end.position;
  next.altitudeFt = end.altitudeFt;
  next.headingDeg = end.headingDeg;
  next.speedKt = end.speedKt;
  next.onGround = end.onGround;
  next.legs.clear();
  next.tailSeconds = 0.0;
  return next;
}

// i): taxiing with 27 to 46 s between ground reports, as few ground receivers give them: a
// departure taxiing to its run (airborne, the reports come every few seconds again) and an
// arrival taxiing from the runway to stand C3. Each is first reported every few seconds, or the
// spawn would drop it for a single report.
std::vector<TrackAircraft> lf_sparseTaxi() {
  TrackAircraft out = lf_aircraft(4000031, "EZY31", "A320", "G-EZAA");
  out.position = lf_at(-100.0, -150.0);
  out.headingDeg = 270.0;
  out.speedKt = 20.0;
  out.legs = {fixtures::taxiLeg(lf_at(-300.0, -150.0), 20.0)};
  TrackAircraft taxi = lf_after(out, 0.0);
  taxi.minIntervalS = 27.0;
  taxi.maxIntervalS = 46.0;
  TrackLeg run = lf_onGround(fixtures::turnLeg(90.0, 5.0), true);
  run.speedKt = 150.0;
  run.accelKtPerS = 3.0;
  taxi.legs = {fixtures::taxiLeg(lf_at(-1500.0, -150.0), 20.0),
               fixtures::taxiLeg(lf_at(-1500.0, 0.0), 10.0), run};
  TrackAircraft climb = lf_after(taxi, 0.0);
  TrackLeg up = lf_onGround(lf_leg(120.0), false);
  up.speedKt = 160.0;
  up.verticalFpm = 2000.0;
  climb.legs = {up};

  TrackAircraft in = lf_aircraft(4000032, "EZY32", "A320", "G-EZAB");
  in.position = gf_destination(kTouchdown, 1.5 * kPi, 4.0 * kFeetPerNm);
  in.altitudeFt = kFieldElevationFt + 4.0 * kFeetPerNm * std::tan(kGlideDeg * kDegToRad);
  in.headingDeg = 90.0;
  in.speedKt = 140.0;
  in.onGround = false;
  TrackLeg rollOut = lf_onGround(fixtures::taxiLeg(lf_at(300.0, 0.0), 20.0), true);
  rollOut.accelKtPerS = 3.0;
  in.legs = {fixtures::approachLeg(kTouchdown, kFieldElevationFt, 140.0, kGlideDeg), rollOut};
  TrackAircraft taxiIn = lf_after(in, 0.0);
  taxiIn.minIntervalS = 27.0;
  taxiIn.maxIntervalS = 46.0;
  taxiIn.legs = {fixtures::taxiLeg(lf_at(300.0, -150.0), 20.0),
                 fixtures::taxiLeg(lf_at(700.0, -150.0), 20.0),
                 fixtures::taxiLeg(gf_destination(kStandC3, 0.0, 2.0 * kMetresToFeet), 5.0),
                 fixtures::holdLeg(150.0)};
  return {out, taxi, climb, in, taxiIn};
}

// j): reports that jump on the ground. A C172 taxiing at the field is reported 41 s later 3.9 nm
// away, 150 ft up at 68 kt, and flies on; a helicopter taxiing west of the field is reported
// 3.7 nm away in the air 35 s after its last report and flies on.
std::vector<TrackAircraft> lf_groundJumps() {
  TrackAircraft c172 = lf_aircraft(4000041, "PHJMP", "C172", "PH-JMP");
  c172.category = "A1";
  c172.position = lf_at(-600.0, -150.0);
  c172.headingDeg = 90.0;
  c172.speedKt = 12.0;
  c172.legs = {fixtures::taxiLeg(lf_at(300.0, -150.0), 12.0)};
  TrackAircraft away = lf_after(c172, 41.0);
  away.position = gf_destination(kFieldPos, 0.25 * kPi, 3.9 * kFeetPerNm);
  away.altitudeFt = kFieldElevationFt + 150.0;
  away.speedKt = 68.0;
  away.onGround = false;
  TrackLeg climbing = lf_leg(90.0);
  climbing.verticalFpm = 500.0;
  away.legs = {climbing};

  TrackAircraft heli = lf_aircraft(4000042, "HELI42", "EC35", "D-HJMP");
  heli.category = "A7";
  heli.position = lf_at(-2500.0, -400.0);
  heli.headingDeg = 0.0;
  heli.speedKt = 8.0;
  heli.legs = {fixtures::taxiLeg(lf_at(-2500.0, -100.0), 8.0)};
  TrackAircraft flown = lf_after(heli, 35.0);
  flown.position = gf_destination(heli.position, 1.5 * kPi, 3.7 * kFeetPerNm);
  flown.altitudeFt = kFieldElevationFt + 800.0;
  flown.speedKt = 70.0;
  flown.headingDeg = 270.0;
  flown.onGround = false;
  flown.legs = {lf_leg(90.0)};
  return {c172, away, heli, flown};
}

// k): a helicopter lands in a field 6 nm from any airport, taxies off the pad and stands. The
// traffic reader drops its reports on the ground (beyond 5 nm of the park airport): its reports
// stop in the air, low on its approach, and the predicted descent would set it down there.
TrackAircraft lf_outlandingHelicopter() {
  TrackAircraft a = lf_helicopterAloft(4000051, "HELI51", "D-HOUT",
                                       gf_destination(kFieldPos, 0.5 * kPi, 7.0 * kFeetPerNm),
                                       600.0, 270.0, 60.0);
  const LatLon pad = gf_destination(kFieldPos, 0.5 * kPi, 6.0 * kFeetPerNm);
  TrackLeg descend = fixtures::approachLeg(pad, kFieldElevationFt, 40.0, 6.0);
  descend.accelKtPerS = 1.0;
  TrackLeg landed = lf_onGround(fixtures::holdLeg(10.0), true);
  a.legs = {descend, landed,
            fixtures::taxiLeg(gf_destination(pad, 0.0, 300.0), 5.0), fixtures::holdLeg(30.0)};
  return a;
}

// o): a helicopter low over the fields beside the park airport: it descends to 150 ft above the
// field, flies level there for four minutes, climbs to 300 ft and flies on until it is beyond the
// airport's reach; every report is in the air.
TrackAircraft lf_lowHelicopter() {
  TrackAircraft a = lf_helicopterAloft(4000091, "HELI91", "D-HLOW",
                                       lf_at(-2.5 * kMetresPerNm, -7.0 * kMetresPerNm), 700.0,
                                       0.0, 80.0);
  a.minIntervalS = 10.0;
  a.maxIntervalS = 20.0;
  TrackLeg down;
  down.altitudeFt = kFieldElevationFt + 150.0;
  down.verticalFpm = 500.0;
  TrackLeg up;
  up.altitudeFt = kFieldElevationFt + 300.0;
  up.verticalFpm = 300.0;
  a.legs = {down, lf_leg(240.0), up, lf_leg(240.0)};
  return a;
}

// q): helicopters in the air near the park airport, every report in the air: one level 75 ft
// above the field at 72 kt, one circling slowly 1,000 ft above it 2 nm north, and one
// descending towards the field at 300 ft/min whose reports stop about 500 ft above it 4 nm out.
std::vector<TrackAircraft> lf_helicoptersAloft() {
  TrackAircraft low = lf_lowHelicopter();
  low.id = 4000092;
  low.callsign = "HELI92";
  low.registration = "D-HLOX";
  low.seed = 92;
  low.speedKt = 72.0;
  low.legs.front().altitudeFt = kFieldElevationFt + 75.0;

  TrackAircraft circling = lf_helicopterAloft(
      4000093, "HELI93", "D-HCIR", gf_destination(kFieldPos, 0.0, 2.0 * kFeetPerNm), 1000.0,
      90.0, 25.0);
  TrackLeg orbit = lf_leg(360.0);
  orbit.turnDegPerS = 3.0;
  circling.legs = {orbit};

  TrackAircraft inbound = lf_helicopterAloft(
      4000094, "HELI94", "D-HINB", gf_destination(kFieldPos, 0.5 * kPi, 6.0 * kFeetPerNm),
      1000.0, 270.0, 70.0);
  TrackLeg descend = lf_leg(0.0);
  descend.point = gf_destination(kFieldPos, 0.5 * kPi, 4.0 * kFeetPerNm);
  descend.verticalFpm = -300.0;
  inbound.legs = {descend};
  return {low, circling, inbound};
}

// r): helicopters at the field. One comes down from 1,000 ft to a pad north of the runway and
// hovers to a stop there; another hover-taxies along the north side and lifts off, climbing at
// 500 ft/min to 300 ft above the field and flying on.
std::vector<TrackAircraft> lf_helicoptersAtTheField() {
  const LatLon pad = lf_at(0.0, 400.0);
  const double startFt = 1000.0;
  const double pathDeg = 6.0;
  TrackAircraft in = lf_helicopterAloft(
      4000095, "HELI95", "D-HPAD",
      gf_destination(pad, 1.5 * kPi, startFt / std::tan(pathDeg * kDegToRad)), startFt, 90.0,
      60.0);
  TrackLeg approach = fixtures::approachLeg(gf_destination(pad, 1.5 * kPi, 100.0 * kMetresToFeet),
                                            kFieldElevationFt + 20.0, 15.0, pathDeg);
  approach.accelKtPerS = 0.4;
  TrackLeg hover = fixtures::taxiLeg(pad, 0.0);
  hover.accelKtPerS = 0.3;
  hover.altitudeFt = kFieldElevationFt + 5.0;
  hover.verticalFpm = 100.0;
  in.legs = {approach, hover, lf_onGround(fixtures::holdLeg(30.0), true)};

  TrackAircraft out = lf_aircraft(4000096, "HELI96", "EC35", "D-HLFT");
  out.category = "A7";
  out.startTime = 60.0;
  out.position = lf_at(-1500.0, 600.0);
  out.headingDeg = 90.0;
  out.speedKt = 10.0;
  TrackLeg lift = lf_onGround(lf_leg(0.0), false);
  lift.speedKt = 60.0;
  lift.accelKtPerS = 1.5;
  lift.altitudeFt = kFieldElevationFt + 300.0;
  lift.verticalFpm = 500.0;
  out.legs = {fixtures::taxiLeg(lf_at(-1000.0, 600.0), 10.0), lift, lf_leg(120.0)};
  return {in, out};
}

// s), t), u): a helicopter standing on helipad H4 for 300 s, its reports reading the field at the
// day's QNH (pressure altitudes: readsFt) and every other one 0 ft, as helicopters without a
// switch on their skids report while they stand. Reports every 10 s, each piece's 5 s after the
// other's.
std::vector<TrackAircraft> lf_standingHelicopter(double readsFt) {
  TrackAircraft reading = lf_aircraft(4000097, "HELI97", "EC35", "D-HSTD");
  reading.category = "A7";
  reading.position = kHelipadH4;
  reading.groundElevationFt = readsFt;
  reading.minIntervalS = reading.maxIntervalS = 10.0;
  reading.legs = {fixtures::holdLeg(300.0)};
  TrackAircraft zero = reading;
  zero.groundElevationFt = 0.0;
  zero.startTime = 5.0;
  zero.legs = {fixtures::holdLeg(295.0)};
  return {reading, zero};
}

// What a report from the ground of a field of this elevation reads on a day of this QNH (the
// track writer rounds it to 25 ft).
double lf_fieldReadsFt(double elevationFt, double qnhHpa) {
  return elevationFt + (1013.25 - qnhHpa) * 27.0;
}

// f): the traffic rules at work around the arrival and the departure of b and c.
Scenario lf_trafficRules(Scenario s) {
  s.aircraft = {lf_arrival(false), lf_departure()};
  TrackAircraft ghost = lf_arrival(false);
  ghost.id = 4000012;
  ghost.callsign = "KLM1234_";
  ghost.seed = 12;
  TrackAircraft twin = lf_departure();  // the same callsign and type from another transponder
  twin.id = 4000014;
  twin.startTime = -20.0;
  twin.seed = 14;
  s.aircraft.push_back(ghost);
  s.aircraft.push_back(twin);
  s.aircraft.push_back(lf_overflight(4000021, "OVR1", "A320", "D-AOVA", s.user, 3.0));
  s.aircraft.push_back(lf_overflight(4000022, "OVR2", "A320", "D-AOVB", s.user, 25.0));
  s.aircraft.push_back(lf_overflight(4000023, "OVR3", "A320", "D-AOVC", s.user, 35.0));
  s.aircraft.push_back(lf_overflight(4000024, "BLK1", "A320", "D-AOVD", s.user, 12.0));
  s.aircraft.push_back(lf_overflight(4000025, "RYR77", "B738", "EI-DAC", s.user, 8.0));
  s.noisy = {4000002};
  s.changes = {{4000021, 60.0, "OVR1X", "", ""}};
  s.maxLive = 5;
  s.blockCallsign = "BLK1";
  s.refusedTitle = "Replay B738 Ryanair";
  s.durationS = 900.0;
  // MAX_LIVE makes room for the arrival by removing the farthest (OVR3), which comes back once
  // the refused RYR77 is gone; the renamed OVR1 respawns; the ghost, the twin, the blocked
  // callsign and the aircraft without a livery never reach the simulator.
  s.lives = {{"BLK1", {"drop"}},
             {"KLM1234", {"spawn", "removal", "gone"}},
             {"KLM1234_", {"drop"}},
             {"OVR1", {"spawn"}},
             {"OVR1X", {"respawn", "spawn", "removal", "gone"}},
             {"OVR2", {"spawn", "removal", "gone"}},
             {"OVR3", {"spawn", "removal", "gone", "spawn", "removal", "gone"}},
             {"RYR77", {"spawn", "erased", "drop"}},
             {"SWR15", {"spawn parked", "removal", "gone"}}};
  return s;
}

// l): a crowd: ten airliners 3 to 21 nm east of the user, reported at once, cruising away east.
std::vector<TrackAircraft> lf_crowd(const LatLon& user) {
  std::vector<TrackAircraft> crowd;
  for (std::uint32_t k = 0; k < 10; ++k) {
    const std::string callsign = fmt::format("CRD{}", k);
    TrackAircraft a = lf_overflight(4000061 + k, "", "A320", "", user, -3.0 - 2.0 * k);
    a.callsign = callsign;
    a.registration = fmt::format("D-ACR{}", static_cast<char>('A' + k));
    a.seed = 61 + k;
    a.legs = {lf_leg(200.0)};
    crowd.push_back(a);
  }
  return crowd;
}

// n): forty airliners 3 to 8 nm around the user, in no order of distance, each reported every
// 10 s in groups that share one time stamp; each flies at right angles to its line to the user.
std::vector<TrackAircraft> lf_groupedTraffic(const LatLon& user) {
  constexpr std::uint32_t kCount = 40;
  std::vector<TrackAircraft> group;
  for (std::uint32_t k = 0; k < kCount; ++k) {
    const std::uint32_t rank = k * 17 % kCount;  // the order of distance differs from the records'
    TrackAircraft a = lf_aircraft(4000081 + k, "", "A320", "");
    a.callsign = fmt::format("GRP{:02}", k);
    a.registration = fmt::format("D-AG{:02}", k);
    a.seed = 81 + k;
    const double bearing = 2.0 * kPi * k / kCount;
    a.position = gf_destination(user, bearing, (3.0 + 5.0 * rank / (kCount - 1)) * kFeetPerNm);
    a.altitudeFt = 6000.0 + 100.0 * k;
    a.headingDeg = std::fmod(bearing * kRadToDeg + 90.0, 360.0);
    a.speedKt = 220.0;
    a.onGround = false;
    a.minIntervalS = a.maxIntervalS = 10.0;
    a.legs = {lf_leg(70.0)};
    group.push_back(a);
  }
  return group;
}

// p): b's A320 arrival with every report reading high by highFt (pressure altitudes on a low-QNH
// day, the approach and the roll-out alike) and a roll-out slowing by rollOutKtPerS. The reports
// on the runway stay in the air by the intake's ground rule until the roll-out is slow, so the
// first ground report comes late; the arrival lands as it did before an approach waited for one.
struct HighArrival {
  const char* name;
  double highFt;
  double rollOutKtPerS;
  double touchdownPastAtMostM;  // where it touched down before an approach waited, and 50 m
};
constexpr HighArrival kHighArrivals[] = {
    {"p0-3", 0.0, 3.0, 184.0},       {"p100-3", 100.0, 3.0, 1005.0},
    {"p150-3", 150.0, 3.0, 1219.0},  {"p250-3", 250.0, 3.0, 1539.0},
    {"p0-1.5", 0.0, 1.5, 184.0},     {"p100-1.5", 100.0, 1.5, 1111.0},
    {"p150-1.5", 150.0, 1.5, 1399.0}, {"p250-1.5", 250.0, 1.5, 1903.0}};

bool lf_highArrival(const std::string& name, Scenario& s) {
  for (const HighArrival& h : kHighArrivals) {
    if (name != h.name) continue;
    s.aircraft = {lf_arrival(false, h.highFt, h.rollOutKtPerS)};
    s.durationS = 840.0;
    s.milestones = {"lights at 10000 ft", "approach", "flare",  "touchdown",
                    "roll-out",           "turn-off", "arrival"};
    s.touchdownPastAtMostM = h.touchdownPastAtMostM;
    return true;
  }
  return false;
}

Scenario lf_named(const std::string& name) {
  Scenario s;
  s.name = name;
  s.user = lf_at(0.0, -600.0);
  if (name == "a" || name == "e") {
    const LatLon start =
        name == "a" ? gf_destination(s.user, 1.5 * kPi, 10.0 * kFeetPerNm) : LatLon{10.0, 179.9};
    s.aircraft = {lf_cruise(start)};
    s.user = gf_destination(start, kPi / 2.0, 8.0 * kFeetPerNm);
    s.durationS = 300.0;
    s.milestones = {"lights at 10000 ft"};
    s.straightCruiseLag = true;
    s.removalAfterLastReportS = 92.0;
  } else if (name == "b" || name == "d") {
    s.aircraft = {lf_arrival(name == "d")};
    if (name == "b") s.aircraft.push_back(lf_lightArrival());
    s.durationS = name == "b" ? 840.0 : 900.0;
    s.milestones = {"lights at 10000 ft", "approach", "flare",  "touchdown",
                    "roll-out",           "turn-off", "arrival"};
    if (name == "d") {
      for (const char* m : {"pushback", "taxi"}) s.milestones.emplace_back(m);
    }
  } else if (name == "c") {
    s.aircraft = {lf_departure()};
    s.durationS = 900.0;
    s.turningPushback = true;
    s.milestones = {"pushback", "taxi", "run", "gear up", "climb power", "lights at 10000 ft"};
  } else if (name == "f") {
    s = lf_trafficRules(s);
  } else if (name == "g") {
    const LatLon start = gf_destination(s.user, 1.5 * kPi, 10.0 * kFeetPerNm);
    s.aircraft = {lf_sparseCruise(start)};
    s.durationS = 540.0;
    s.milestones = {"lights at 10000 ft"};
    s.straightCruiseLag = true;
    s.noseAlongMotion = true;
  } else if (name == "i") {
    s.aircraft = lf_sparseTaxi();
    s.durationS = 600.0;
    s.lives = {{"EZY31", {"spawn", "removal", "gone"}}, {"EZY32", {"spawn", "removal", "gone"}}};
  } else if (name == "j") {
    s.aircraft = lf_groundJumps();
    s.durationS = 300.0;
    // Given up where the reports jump, created again where they are, gone after they stop.
    s.lives = {{"HELI42", {"spawn", "removal", "gone", "spawn", "removal", "gone"}},
               {"PHJMP", {"spawn", "removal", "gone", "spawn", "removal", "gone"}}};
  } else if (name == "k") {
    s.aircraft = {lf_outlandingHelicopter()};
    s.durationS = 300.0;
    s.removalAfterLastReportS = 39.0;  // given up low in the air, before it would touch down
  } else if (name == "l") {
    // Four come in; nearer ones take the places of farther ones, each once that one has left.
    s.aircraft = lf_crowd(s.user);
    s.durationS = 200.0;
    s.maxLive = 4;
  } else if (name == "m") {
    // Created 30 nm away, the radius down to 10 nm half a second later: identified all the same,
    // it flies on its reports and is removed at the close.
    s.aircraft = {lf_overflight(4000071, "SHR71", "A320", "D-ASHR", s.user, 30.0)};
    s.durationS = 120.0;
    s.shrinkRadiusToNm = 10.0;
    s.lives = {{"SHR71", {"spawn", "removal", "gone"}}};
  } else if (name == "n") {
    s.aircraft = lf_groupedTraffic(s.user);
    s.durationS = 60.0;
    s.groupEveryS = 10.0;
  } else if (name == "o") {
    s.aircraft = {lf_lowHelicopter()};
    s.durationS = 600.0;
    s.airborneOnly = true;
    s.lives = {{"HELI91", {"spawn", "removal", "gone"}}};
  } else if (name == "q") {
    s.aircraft = lf_helicoptersAloft();
    s.durationS = 600.0;
    s.airborneOnly = true;
    s.lives = {{"HELI92", {"spawn", "removal", "gone"}},
               {"HELI93", {"spawn", "removal", "gone"}},
               {"HELI94", {"spawn", "removal", "gone"}}};
  } else if (name == "r") {
    s.aircraft = lf_helicoptersAtTheField();
    s.durationS = 600.0;
    s.lives = {{"HELI95", {"spawn", "removal", "gone"}}, {"HELI96", {"spawn", "removal", "gone"}}};
  } else if (name == "s" || name == "t") {
    // The readings of QNH 1003: on the ground that day; about 275 ft above the field on a day
    // of 1013.
    // s) also has a helicopter hovering 475 ft above the field at 8 kt 4 nm out.
    s.aircraft = lf_standingHelicopter(lf_fieldReadsFt(kFieldElevationFt, 1003.0));
    s.qnhHpa = name == "s" ? 1003 : 1013;
    s.parkedThroughout = {{4000097, name == "s"}};
    if (name == "s") {
      TrackAircraft hover =
          lf_helicopterAloft(4000098, "HELI98", "D-HHOV",
                             gf_destination(kFieldPos, 0.0, 4.0 * kFeetPerNm), 475.0, 0.0, 8.0);
      hover.legs = {lf_leg(300.0)};
      s.aircraft.push_back(hover);
      s.parkedThroughout[4000098] = false;
    }
    s.durationS = 300.0;
  } else if (name == "u") {
    // A park airport at 1,000 ft on a day of QNH 1030: its ground reads about 550 ft.
    s.fieldElevationFt = 1000.0;
    s.qnhHpa = 1030;
    s.aircraft = lf_standingHelicopter(lf_fieldReadsFt(s.fieldElevationFt, 1030.0));
    s.parkedThroughout = {{4000097, true}};
    s.durationS = 300.0;
  } else if (name == "h") {
    s.aircraft = {lf_departureFromTheReservedStand()};
    s.reservedStand = "B2";
    s.durationS = 900.0;
    s.milestones = {"run", "gear up", "climb power", "lights at 10000 ft"};
  } else if (!lf_highArrival(name, s)) {
    throw std::invalid_argument("unknown scenario " + name);
  }
  return s;
}

}  // namespace

const LatLon kReportedTouchdown = kTouchdown;

std::vector<std::string> scenarioNames() {
  std::vector<std::string> names{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j",
                                 "k", "l", "m", "n", "o", "q", "r", "s", "t", "u"};
  for (const HighArrival& h : kHighArrivals) names.emplace_back(h.name);
  return names;
}

std::vector<Livery> gf_replayLiveries() {
  return {{"KLM", "A320", "Replay A320 KLM", "", 0, false},
          {"ZZZ", "A320", "Replay A320", "", 0, false},
          {"ZZZ", "C172", "Replay C172", "", 0, false},
          {"RYR", "B738", "Replay B738 Ryanair", "", 0, false},
          {"ZZZ", "EC35", "Replay EC35", "", 0, false}};
}

Scenario gf_scenario(const std::string& name) { return lf_named(name); }

void gf_setUpTestAirport(double elevationFt) {
  g_dbaseTypes = {"A320", "B738", "C172", "EC35"};
  g_dbaseLarge = {"A320", "B738"};
  g_dbaseRotorcraft = {"EC35"};
  g_dbaseWingspans = {{"A320", 34.1}, {"B738", 35.8}, {"C172", 11.0}, {"EC35", 10.2}};
  g_maxHalfWingspanNm = 34.1 * 0.5 / kMetresPerNm;
  g_airports = {{"ZRPL", "ZRP", kFieldPos.lat, kFieldPos.lon, elevationFt}};
  g_parkAirportIcao = "ZRPL";
  g_parkAirportPos = kFieldPos;
  g_parkAirportElev = elevationFt;
  g_parkStands.clear();
  const std::tuple<const char*, LatLon, double, int> stands[] = {
      {"A1", kStandA1, kPi, 1}, {"B2", kStandB2, 0.0, 1}, {"C3", kStandC3, kPi, 1},
      {"H4", kHelipadH4, 0.0, 0}};
  for (const auto& [name, place, heading, notHeli] : stands) {
    ParkPos& p =
        g_parkStands.emplace_back(std::string(name), std::vector<ParkPosOption>{},
                                  StandPlace{place.lat, place.lon, heading}, 25.0, 1, 1, notHeli);
    p.number = static_cast<std::uint32_t>(g_parkStands.size());
  }
  g_parkStandsReady = true;
}

}  // namespace replay

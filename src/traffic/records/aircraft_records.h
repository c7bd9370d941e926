// The engine's aircraft records: the head every record begins with (identity, livery fields and
// the aircraft type's motion data), the static parked aircraft of the park airport, and the live
// aircraft with its stream of reported positions. Plain values, copied deeply and moved as vector
// elements; they live in g_staticAc and g_liveAc (records.h) and only the worker touches them.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "foundation/aircraft_defs.h"
#include "foundation/day_slots.h"
#include "foundation/geometry.h"
#include "foundation/park_pos.h"
#include "liveries/livery_target.h"

// Throttle and flaps steps that match no real setting, so the first command always sends one.
inline constexpr std::uint32_t kThrottleStepUnknown = 5;
inline constexpr std::uint32_t kFlapsStepToRetract = 4;
// Pushback modes, chosen when a parked aircraft starts leaving its stand.
inline constexpr std::uint8_t kPushbackNone = 0;
inline constexpr std::uint8_t kPushbackStraight = 1;
inline constexpr std::uint8_t kPushbackTurning = 2;  // the reports say to which side it turns
// Initial values of a live aircraft's motion state.
inline constexpr std::int32_t kMotionLimitSteps = 1000;   // retiming limits, engine steps
inline constexpr double kInitialHeightAboveGroundFt = 2500.0;

// The head of every aircraft record: identity and livery fields (LiveryTarget), then the type
// data that gf_initTrafficReport fills from the size category.
struct AircraftHead : LiveryTarget {
  double halfWingspan = 0.0;    // nautical miles (gf_wingspan); compared with stand radii
  double staticCgHeight = 0.0;  // feet; from the simulator's "Static CG to Ground" notice
  double groundPitch = 0.0;     // radians; the pitch standing on the wheels (static-CG code)
  double rotationPitch = 0.0;   // radians, negative = nose up; take-off rotation
  double climbPitch = 0.0;      // radians, negative = nose up; initial climb
  double pitchRate = 0.0;       // radians per step
  double turnStep = 0.0;        // radians per step by which the heading turns to its target
  double climbStep = 0.0;       // feet per step: default climb step (live aircraft only)
  double taxiSpeed = 0.0;       // knots: taxi speed (live aircraft only)
  std::uint32_t flareSteps = 0;            // steps over which the flare pitches up
  std::uint32_t staticCgValue = 0;         // per-category value of the static-CG code
  std::uint32_t rotationSteps = 0;         // steps of the take-off rotation
  std::uint32_t pitchTransitionSteps = 0;  // steps from rotation pitch to climb pitch
};

// A new record head: the identity copied, the type's half wingspan and size category looked up,
// the per-category values taken (the two pitches varied at random by 2.5 and 5 percent). Throws
// std::out_of_range for a category that the tables lack.
AircraftHead gf_initTrafficReport(const AircraftIdent& ident);

// One static parked aircraft of the park airport (and the first part of every live aircraft).
struct StaticAircraft : AircraftHead {
  StaticAircraft(AircraftHead&& head, std::uint32_t standId_, StandPlace stand, bool standFlag_);

  std::uint32_t objectId = 0;  // the simulator's object id; 0 while the object does not exist
  StandPlace standPlace;       // the stand it stands on or drives to: degrees, degrees, radians
  DayHh parkedSlot{};          // day and slot of the option that placed it; 0 = none
  std::uint32_t standId = 0;   // ParkPos::number of its stand; 0 = none
  std::uint32_t st = kStBuffer;                       // object state (ObjectState)
  std::uint32_t throttleStep = kThrottleStepUnknown;  // last THROTTLE_SET step sent, 0..4
  std::uint32_t flapsStep = kFlapsStepToRetract;      // last FLAPS_SET step sent
  bool standFlag = false;          // on a cargo stand: the cabin lights stay off when parked
  bool removalPending = false;     // removal asked while the creation could not be withdrawn
  bool removedFromBuffer = false;  // removal asked in st "buffer": the owner drops the record
  bool eraseMe = false;            // the record leaves without an object: the owner drops it
};

// The curve a live aircraft follows between reports. Offsets in metres east and north of the
// origin; p1East and p1North are NaN while no curve is under way.
struct MotionCurve {
  double originLat = 0.0;  // degrees: the position when the curve was set up
  double originLon = 0.0;  // degrees
  double start = 0.0;      // parameter range
  double end = 0.0;
  double p1East = kNotReported;  // control point, metres
  double p1North = kNotReported;
  double p2East = 0.0;  // end point, metres
  double p2North = 0.0;
  double t = 0.0;          // current parameter
  double paramStep = 0.0;  // parameter per engine step
  double turnAngle = 0.0;  // degrees: the turn the curve makes
};

// One live aircraft: the static layout, then its pose, its stream of reports and its motion
// state. Built in place at the end of g_liveAc. The motion code adds the fields of its own
// pushback, towing and stand-driving state.
struct AiAircraft : StaticAircraft {
  AiAircraft(const PositionReport& first, AircraftHead&& head, double lastReportTime_);

  // The pose sent to the simulator every step.
  double lat = 0.0;            // degrees
  double lon = 0.0;            // degrees
  double pitch = 0.0;          // radians, negative = nose up
  double bank = 0.0;           // radians
  double heading = 0.0;        // radians, true
  double altitude = 0.0;       // feet
  double verticalSpeed = 0.0;  // feet per second as sent (the per-minute value / 60)
  double trueAirspeed = 0.0;   // knots as sent; 0 while the report is a same-position report

  // Reports still to be flown: the front is the report being left, the second the one approached.
  std::deque<PositionReport> stream;
  double lastReportTime = 0.0;  // seconds since 1970 UTC of the latest report merged in

  std::int32_t holdStart = 0;   // engine step at which a waiting aircraft began to hold
  std::int32_t standMoves = 0;  // creeping reports on the stand since the first report there
  std::uint32_t fs = kFsBirth;          // flight phase (FlightPhase)
  std::uint32_t previousFs = kFsBirth;  // the phase before the last change

  bool flightPlanSent = false;  // a flight plan went to the simulator
  bool onGround = false;
  bool heldBack = false;        // spawn-time decision: kept out of the user's path
  bool approach = false;        // landing: on the approach
  bool landingRoll = false;     // landing: rolling out after touchdown

  // Per-step motion.
  double latStep = 0.0;         // degrees per step
  double lonStep = 0.0;         // degrees per step
  double pitchChange = 0.0;     // radians per step
  double bankChange = 0.0;      // radians per step
  double headingChange = 0.0;   // radians per step
  double altitudeChange = 0.0;  // feet per step
  double climbRate = 0.0;       // feet per minute
  double motionAirspeed = 0.0;  // knots
  MotionCurve curve;
  // A report kept aside by the ground motion (for instance the stand's, put back in the stream).
  PositionReport embeddedReport{0.0, 0.0, 0.0, false, 0.0, false, 0.0, 0.0, 0.0,
                                0.0, 0.0, 0,   false, false, false};

  std::int32_t advanceLimit = kMotionLimitSteps;  // steps a due time may move earlier
  std::int32_t delayLimit = kMotionLimitSteps;    // steps a due time may move later
  std::int32_t takeOffStep = 1;        // step counter of the take-off and landing sequences
  // Predicted-report counter of the stream end; the merge test reads it as the hold counter
  // (above 0: the motion runs beyond the last report, so no report is thinned out).
  std::int32_t predictedReports = 0;
  std::int32_t flareStage = 0;         // 0..4
  double bearing = 0.0;  // radians: initial great-circle bearing from the front report to the second
  double heightAboveGround = kInitialHeightAboveGroundFt;  // feet
  std::optional<double> respawnHeading;  // radians: the heading when a livery respawn began

  // ---- Motion, pushback, landing and stand-driving state (motion.h) ----
  bool takeOffRun = false;    // the take-off run is under way (the take-off flag)
  bool climbOut = false;      // approach byte: climb-out power and gear sent (go-around, low climb)
  bool noseLowering = false;  // the touchdown flag: the nose comes down to the ground pitch
  bool taxiTurn = false;      // turn-to-bearing flag: the heading turns towards the leg's bearing
  bool above10000 = false;    // light band byte: the cruise lights went out
  bool below10000 = false;    // light band byte: every light group went out
  // The first of the five flag bytes: a report came from the stand since the aircraft parked.
  bool reportWhileParked = false;
  bool pushbackPending = false;    // the leaving-stand flag: leave the stand on the next leg
  bool pushbackTurnKnown = false;  // pushback-curve byte 1: the pushback ends in a curve
  bool pushbackTurnRight = false;  // pushback-curve byte 2: the nose turns right (tail left)
  bool turnaroundPending = false;  // set at touchdown, read when the aircraft leaves its stand
  bool towed = false;              // towed aircraft; nothing tows yet, so always clear
  bool parkingRequest = false;     // try2Park may use stand options; nothing sets it yet
  bool holding = false;            // the hold flag of a waiting aircraft (holdStart says since when)
  std::int32_t approachHold = 0;   // approach hold value of the predicted reports; always 0 yet
  std::int32_t pushbackCounter = 0;   // 2 at the pushback start, 1 at its curve, below 1 done
  std::int32_t standReports = 0;      // reports from the stand since the arrival
  double taxiTurnAngle = 0.0;         // degrees: |leg bearing - heading| when the leg began
  double touchdownHeading = 0.0;      // radians: the heading at touchdown; 0 = none
  double pushedBackDistance = 0.0;    // nautical miles from the last report; 900 after a pushback
  std::optional<double> flareElevation;  // feet: the flare's reference ground elevation
  double lastFlareHeight = 0.0;          // feet above the flare's reference at its first stage
  LatLon standSearchFrom;     // degrees: the last position from which try2Park searched a stand
  std::uint64_t parkedTime = 0;  // ticks of 100 ns (gf_nowTicks100ns): arrival on the stand

  // ---- What the merging of reports keeps (live_update.cpp) ----
  // The latest report merged, as it came, and its time stamp (seconds since 1970 UTC): with the
  // next one they tell how fast the real aircraft went between them.
  PositionReport lastMerged;
  double lastMergedTime = 0.0;
  double firstStandDistance = 0.0;  // nm from the stand: the first report since the arrival
  double lastStandDistance = 0.0;   // nm: the last report that crept away from the stand
  std::uint8_t pushbackMode = kPushbackNone;  // how the pushback leaves the stand
  bool shortTurnaround = false;     // a Large aircraft left its stand within 25 minutes
};

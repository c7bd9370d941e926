#pragma once
// The motion replay harness: synthetic RealTraffic tracks fed through the traffic parser into the
// engine's motion, one engine step at a time with no real time, while a director plays the
// decisions of the parts of the engine that are not built yet. What reaches the simulator (a fake
// one in process, or SimClient and the stand-in) is recorded and checked.
//
// Threads: the replay runs on the calling thread, which it marks as the worker.

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "fixtures/track_writer.h"
#include "foundation/park_pos.h"
#include "liveries/livery.h"
#include "simlink/simlink.h"

namespace replay {

inline constexpr double kFieldElevationFt = 400.0;  // the test park airport's, as a rule

// From a recording second on, an aircraft reports another identity (empty: unchanged).
struct IdentityChange {
  std::uint32_t id = 0;
  double fromS = 0.0;
  std::string callsign;
  std::string registration;
  std::string to;
};

// One scenario: its aircraft, where the user is and what the checks expect.
struct Scenario {
  std::string name;
  std::vector<fixtures::TrackAircraft> aircraft;
  double startS = 0.0;     // reports before this recording second are not fed
  double durationS = 0.0;  // recording seconds fed; the replay runs on until the aircraft are gone
  LatLon user;             // the user aircraft, standing still
  bool turningPushback = false;  // the pushback mode: the side comes from the reports
  std::vector<std::string> milestones;  // in order, over all aircraft
  bool straightCruiseLag = false;       // check the lag behind the track on straight legs
  double removalAfterLastReportS = 0.0;  // > 0: the aircraft leaves this long after its last report
  // Traffic rules at work.
  std::vector<std::uint32_t> noisy;     // aircraft whose records come twice, and with speed jumps
  std::vector<IdentityChange> changes;
  int maxLive = -1;                     // MAX_LIVE
  std::string blockCallsign;            // BLOCK_CALLSIGN
  std::string refusedTitle;             // the simulator refuses to create this livery
  bool guidChanges = true;              // GUID_CHANGES
  std::string reservedStand;            // the park airport's stand kept for the user
  bool noseAlongMotion = false;         // check that the nose points where a flying aircraft goes
  bool airborneOnly = false;            // every report in the air: never on the ground
  // > 0: the traffic radius starts at 40 nm and shrinks to this half a second after the
  // simulator was first asked to create an object.
  double shrinkRadiusToNm = 0.0;
  // The expected life of each callsign (spawn, drop, respawn, removal ...); empty: not checked.
  std::map<std::string, std::vector<std::string>> lives;
  // > 0: the records come in groups that share one time stamp, this many seconds apart, as
  // RealTraffic sends them; each aircraft must be taken at once and created nearest first.
  double groupEveryS = 0.0;
  // Aircraft that stay parked on the ground (true) or in the air (false) throughout, by key.
  std::map<std::uint32_t, bool> parkedThroughout;
  // The QNH the engine holds (hPa) and the park airport's elevation (feet).
  std::int32_t qnhHpa = 1013;
  double fieldElevationFt = kFieldElevationFt;
  // Aeroplanes' arrivals: the touchdown at most this far past the reported one (metres; 0: not
  // checked). None flies level over the runway for more than 50 m, nor descends faster than
  // 1,500 ft/min below 200 ft above the field.
  double touchdownPastAtMostM = 0.0;
};
std::vector<std::string> scenarioNames();  // "a" .. "u", then the "p" arrivals
Scenario gf_scenario(const std::string& name);

// The test park airport: its code, reference point, elevation (unless a scenario says otherwise)
// and stands.
extern const LatLon kFieldPos;
extern const LatLon kReportedTouchdown;  // where the arrivals' reports meet runway 09
void gf_setUpTestAirport(double elevationFt);
// The liveries installed for the replays.
std::vector<Livery> gf_replayLiveries();

// One position sent for one object, with the engine's state at that step.
struct SentPosition {
  std::int64_t step = 0;
  std::uint32_t key = 0;
  AcPositionUpdate pose;
  std::uint32_t fs = 0;
  bool curve = false;
  double groundSpeed = 0.0;  // knots, of the report the aircraft flies to
  bool onGround = false;
  bool rolling = false;  // on a take-off run or landing roll
  // The leg flown: the report left and the one flown to, as the engine holds them (a report on
  // the ground at the field's elevation).
  struct LegEnd {
    double altitudeFt = 0.0;
    double verticalFpm = 0.0;
    std::int64_t due = 0;
  };
  LegEnd from, to;
  // Flying between two reports in the air: not on the ground, taking off, flaring or on
  // predicted reports. A helicopter also from a report on the ground, once it lifted off.
  bool betweenAirborne = false;
  bool landingAhead = false;  // a ground report ahead in its stream, or predicted reports
  bool approach = false;
};
struct SentEvent {
  std::uint32_t key = 0;
  std::uint32_t eventId = 0;
  std::uint32_t data = 0;
};

struct ReplayOptions {
  bool standin = false;
  std::uint32_t stepsPerFrame = 10;  // with the stand-in: engine steps between two hand-overs
  double frameHz = 1000.0;           // the stand-in's frame rate, sped up with the steps
  std::filesystem::path standinTrace;  // with the stand-in: its JSON-lines trace
};

// What a replay sent, per aircraft key.
struct ReplayRun {
  std::vector<SentPosition> positions;
  std::vector<SentEvent> events;  // in order; with the stand-in, as it decoded them
  std::map<std::uint32_t, int> creations;
  std::map<std::uint32_t, int> removals;
  std::map<std::uint32_t, std::int64_t> removalStep;
  std::map<std::uint32_t, double> lastReportS;  // recording second of the last report fed
  std::map<std::uint32_t, double> topSpeedKt;   // of its reports
  std::map<std::uint32_t, double> maxRollRad;   // of its reports
  std::map<std::uint32_t, double> climbPitch;   // radians, of its record
  std::map<std::uint32_t, double> pitchRate;    // radians per step
  std::map<std::uint32_t, std::uint32_t> category;
  std::map<std::uint32_t, StandPlace> parkedOn;  // aircraft that parked, and their stand
  std::map<std::uint32_t, std::uint32_t> objectIds;
  // With the stand-in: spoiler handle and both throttle levers (definition 401), in order.
  std::map<std::uint32_t, std::vector<std::array<double, 3>>> leverWrites;
  std::vector<std::string> logLines;  // error lines the engine wrote
  // What became of each callsign, in order (repeats folded): spawn, spawn parked, respawn,
  // buffer, removal, drop (never created), gone (removed by the simulator), erased.
  std::map<std::string, std::vector<std::string>> lives;
  std::vector<std::string> problems;  // broken invariants, each kind once
  double fieldElevationFt = kFieldElevationFt;  // the scenario's
  // With the fake simulator: the most live objects it held at once, and for how many steps it
  // held more than MAX_LIVE.
  std::size_t mostLiveObjects = 0;
  std::int64_t stepsAboveMaxLive = 0;
  std::int64_t firstCreationStep = -1;  // the step after which the simulator got a creation
  // Per key, the step its first report was fed and where, and the first step the engine held a
  // record of it.
  struct FirstReport {
    std::int64_t step = 0;
    LatLon at;
  };
  std::map<std::uint32_t, FirstReport> firstReports;
  std::map<std::uint32_t, std::int64_t> firstRecordStep;
  // With the fake simulator: each creation it got, in order, with the step and where.
  struct Creation {
    std::int64_t step = 0;
    std::uint32_t key = 0;
    LatLon at;
  };
  std::vector<Creation> creationsSent;
};

ReplayRun gf_replay(const Scenario& scenario, const ReplayOptions& options);

// One check of a run.
struct Check {
  std::string name;
  bool passed = true;
  std::string detail;  // the first failure
};
std::vector<Check> gf_checkRun(const Scenario& scenario, const ReplayRun& run);
// With the stand-in: every frame of its trace against what was sent, and its decoded events.
std::vector<Check> gf_checkStandinTrace(const ReplayRun& run, const std::filesystem::path& trace);
// The milestones of a run's events, in order ("approach", "touchdown", ...).
std::vector<std::string> gf_milestones(const ReplayRun& run);
// How an arrival landed: metres of runway 09 from its reported touchdown (negative: before it)
// to where it touched down, metres flown level (within 100 ft/min) over the runway before that,
// and its steepest descent below 200 ft above the field, ft/min (positive).
struct LandingFigures {
  bool touchedDown = false;
  double touchdownPastM = 0.0;
  double levelOverRunwayM = 0.0;
  double steepestLowDescentFpm = 0.0;
};
LandingFigures gf_landingFigures(const ReplayRun& run, std::uint32_t key);

// The sent track, one JSON object per line.
void gf_writeTrack(const ReplayRun& run, std::ostream& out);

}  // namespace replay

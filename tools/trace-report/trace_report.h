#pragma once
// trace-report: what the simulator stand-in saw during a demo run, from its JSON-lines trace
// (tools/p3d-standin/README.md), read once into objects with their sampled paths; then a
// summary, a PNG map and the checks, all from that one reading. The other inputs are the
// airport's facts (demo-world's airport.json), and, when there are any, the recording's
// manifest, the recording itself (RTTFC) and the program's Log.txt.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/geometry.h"

namespace tracereport {

// ---- The trace ---------------------------------------------------------------------------------

// One place of an object. Kept at most every kSampleEveryS seconds (and whenever the object
// meets or leaves the ground); the jump check sees every frame while the trace is read.
struct Sample {
  double t = 0.0;  // seconds since the stand-in started
  LatLon position;
  double altitudeFt = 0.0;
  double headingDeg = 0.0;
  bool onGround = false;
};
inline constexpr double kSampleEveryS = 0.25;

struct TracedObject {
  std::uint32_t id = 0;
  int client = 0;
  std::string title;  // the livery
  std::string tail;   // the tail number the program gave it (its callsign)
  std::optional<double> createdAt, removedAt;
  std::string removal;  // "request" or "client closed"; empty while it lives
  std::vector<Sample> samples;
};

// A finding made while reading, for the checks: what, about which object, when.
struct Finding {
  std::string check;
  std::string subject;
  std::string detail;
};

struct Trace {
  std::map<std::uint32_t, TracedObject> objects;
  std::vector<Finding> findings;  // refused creations, unknown removals, non-finite numbers, jumps
  std::size_t frames = 0;
  double firstFrameT = 0.0, lastFrameT = 0.0;
  std::size_t peakObjects = 0;
  double peakAt = 0.0;
  std::size_t badLines = 0;  // lines that are not JSON objects of a known shape
  // The radii (metres) of the program's requests for the aircraft around the user, and how
  // often each was asked: the traffic radius the run used.
  std::map<std::uint32_t, std::size_t> rangeRequestsM;
};

// Jumps: no single step between two frames over kMaxStepNm, and no implied speed over
// kMaxImpliedSpeedKt, judged over at least kJumpWindowS (frames 10 ms apart are too close for
// a speed: a position rounded once more in one of them would read as thousands of knots).
inline constexpr double kMaxImpliedSpeedKt = 700.0;
inline constexpr double kMaxStepNm = 0.5;
inline constexpr double kJumpWindowS = 0.5;

// Reads the trace; throws std::runtime_error when the file cannot be opened.
Trace readTrace(const std::filesystem::path& file);

// ---- The other inputs --------------------------------------------------------------------------

struct Runway {
  std::string ident;
  LatLon threshold, end;
  double headingDeg = 0.0, widthFt = 0.0;
};

struct Stand {
  std::string name;
  LatLon position;
  double headingDeg = 0.0, radiusM = 0.0;
  std::string kind;
};

struct Airport {
  std::string icao;
  LatLon position;
  double elevationFt = 0.0;
  std::vector<Runway> runways;
  std::vector<Stand> stands;
  std::string userStand;
  LatLon user;            // the user aircraft's stand position
  double extentNm = 0.0;  // everything of the airport lies within this of its position
};

struct ManifestAircraft {
  std::uint32_t id = 0;
  std::string callsign, registration, type, kind, runway, stand, note;
  std::optional<double> levelFt;
  std::map<std::string, double> outcomes;  // recording seconds of "landed", "parked", ...
};

// One recorded report: recording seconds (from the first record), place, track.
struct RecordedPoint {
  double t = 0.0;
  LatLon position;
  double trackDeg = 0.0;
};

struct Inputs {
  Airport airport;
  std::vector<ManifestAircraft> manifest;                      // empty without a manifest
  std::map<std::string, std::vector<RecordedPoint>> recorded;  // by callsign, within the cut
  std::optional<double> radiusNm;                              // the run's (or given)
  std::vector<std::string> logLines;                           // Log.txt
  double cutS = 1e9;                                           // recording seconds played
};

// Each throws std::runtime_error naming the file and what is wrong with it.
Airport readAirport(const std::filesystem::path& file);
std::vector<ManifestAircraft> readManifest(const std::filesystem::path& file);
// The recording's traffic records before cutS, by callsign; unreadable lines are skipped.
std::map<std::string, std::vector<RecordedPoint>> readRecording(const std::filesystem::path& file,
                                                                double cutS);
std::vector<std::string> readLogLines(const std::filesystem::path& file);
// The traffic radius the run used: the radius the program asked the simulator for most often
// (the settings dump in Log.txt gives LATERAL_RANGE, not what auto range chose).
std::optional<double> radiusFromTrace(const Trace& trace);

// ---- What each aircraft did ---------------------------------------------------------------------

struct Outcomes {
  std::optional<Sample> firstGroundAfterAir;  // the touchdown frame
  std::optional<Sample> lastGroundBeforeAir;  // the lift-off frame
  std::string landedOn, liftedOffFrom;        // runway idents; "" when beside every runway
  std::optional<Sample> lastRest;             // where it last stood still for a while
  std::string parkedAt;                       // the stand of that rest, "" when none
  std::optional<bool> tailFirst;              // its first move from where it was created
  std::string leftFrom;                       // the stand it was created at
  std::optional<double> levelFt;  // the middle altitude of an object never on the ground
};

Outcomes findOutcomes(const TracedObject& object, const Airport& airport);
// The runway whose surface (half its width and 15 m either side, between its thresholds) holds
// the sample with a heading within 15 degrees of the runway's; "" for none.
std::string runwayUnder(const Sample& s, const Airport& airport);
// The stand within 5 m whose heading is within 10 degrees of the sample's; "" for none.
std::string standUnder(const Sample& s, const Airport& airport);
const ManifestAircraft* manifestEntry(const TracedObject& object, const Inputs& inputs);
// Closest distance of the recorded reports to the user aircraft; none without reports.
std::optional<double> closestRecordedNm(const ManifestAircraft& a, const Inputs& inputs);

// ---- Checks, summary, map ----------------------------------------------------------------------

struct CheckResult {
  std::vector<std::string> passed;  // names of the checks that ran and held
  std::vector<Finding> failures;
  std::vector<std::string> skipped;  // "name: why"
};
CheckResult runChecks(const Trace& trace, const Inputs& inputs);

std::string summaryText(const Trace& trace, const Inputs& inputs, const CheckResult& checks);

// Writes the map PNG (drawn by renderMap, trace_map.h); false with the reason.
bool writeMap(const std::filesystem::path& file, const Trace& trace, const Inputs& inputs,
              std::string& error);

}  // namespace tracereport

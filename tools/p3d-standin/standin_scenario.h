// The scenario a stand-in plays: which simulator it claims to be, the user aircraft's path,
// ground elevation, static CG values per title, timed events and fault switches.
// The format is documented in tools/p3d-standin/README.md.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace p3d {

struct PathPoint {
  double t = 0;        // seconds after the stand-in started
  double lat = 0;      // degrees
  double lon = 0;      // degrees
  double altFt = 0;    // feet above sea level
  double headingRad = 0;
  double pitchRad = 0;
  double bankRad = 0;
  double groundSpeedKt = 0;
  bool onGround = true;
};

struct AirportElevation {
  std::string icao;
  double lat = 0;
  double lon = 0;
  double radiusNm = 5;
  double elevationFt = 0;
};

struct StaticCg {
  double heightFt = 9.0;  // static CG to ground
  double pitchRad = 0.0;
};

// A timed event of one connection: "flight_loaded", "position_changed", "sim_stop",
// "sim_start", "quit".
struct ScenarioEvent {
  double at = 0;  // seconds after the connection's Open
  std::string type;
  std::string file;  // flight_loaded: the flight file name
};

struct StallWindow {
  double at = 0;
  double duration = 0;
};

struct Faults {
  int refuseCreations = 0;     // the next N creations are refused (exception 22)
  double dropAt = -1;          // close the connection without Quit, seconds after Open
  std::size_t fragment = 0;    // write every message in pieces of this many bytes
  bool coalesce = false;       // hold messages and write them together once per frame
  std::size_t zeroFiller = 0;  // zero bytes before each message (a multiple of 4)
  std::vector<StallWindow> stalls;  // no Frame events and periodic data during these
  double oversizeAt = -1;      // send one oversize message at this time after Open
  std::uint32_t oversizeBytes = 0;
  // Hold the answer to each creation (its object id) until after the next reply to a request
  // for the aircraft in range, then send the held ones last first.
  bool lateAnswers = false;
};

struct Scenario {
  std::string simName = "Lockheed Martin Prepar3D v5";
  std::uint32_t appVersion[4] = {5, 3, 17, 28160};
  std::uint32_t simConnectVersion[4] = {5, 3, 0, 0};
  bool simRunning = true;

  std::uint32_t userObjectId = 1;
  std::uint32_t firstAiObjectId = 101;
  std::string userTitle = "Stand-in Boeing 737-800";
  std::string userAtcModel = "B738";
  std::string userAtcId = "N737SI";
  std::uint64_t userLights = 0;
  std::int64_t zuluStart = 1709251200;  // seconds since 1970 at stand-in start
  std::vector<PathPoint> path;          // empty: parked at 52.3086, 4.7639 (ground)

  double defaultElevationFt = 0;
  std::vector<AirportElevation> airports;

  StaticCg defaultCg;
  std::map<std::string, StaticCg> cgByTitle;

  std::vector<ScenarioEvent> events;
  Faults faults;
};

// Reads a scenario; throws std::runtime_error with the reason on a malformed file.
Scenario gf_loadScenario(const std::string& path);
Scenario gf_scenarioFromJson(const nlohmann::json& j);

// The user aircraft at time t (linear between path points, held at the ends).
PathPoint gf_userAt(const Scenario& s, double t);

// Ground elevation in feet at a position: the first airport whose radius covers it, else the
// default.
double gf_groundElevation(const Scenario& s, double lat, double lon);

// Distance on the sphere (one arc minute = one nautical mile), in metres.
double gf_distanceMetres(double lat1, double lon1, double lat2, double lon2);

}  // namespace p3d

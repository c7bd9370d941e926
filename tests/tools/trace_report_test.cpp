// trace-report on small hand-made traces of one arrival: a clean one passes every check that
// can run; a double creation, a non-finite number, a 1 nm jump, a touchdown beside the runway
// and a rest off the stand each fail their check; the map shows the runway and the track where
// they are.
#include "trace_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <tuple>

#include "trace_map.h"

namespace {

using namespace tracereport;
using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr LatLon kThreshold{10.0, 20.0};
constexpr double kRunwayHeadingDeg = 90.0;

LatLon lf_east(double metres, double northMetres = 0.0) {
  const LatLon p = gf_destination(kThreshold, kRunwayHeadingDeg * kDegToRad, metres / 0.3048);
  return gf_destination(p, 0.0, northMetres / 0.3048);
}

Airport lf_airport() {
  Airport a;
  a.icao = "TEST";
  a.position = lf_east(1000.0);
  a.runways = {{"09", kThreshold, lf_east(2500.0), kRunwayHeadingDeg, 150.0}};
  a.stands = {{"S1", lf_east(1800.0, 300.0), 0.0, 20.0, "gate"}};
  a.userStand = "S1";
  a.user = lf_east(1000.0, 400.0);
  a.extentNm = 2.0;
  return a;
}

// How the hand-made arrival goes wrong, if it does.
struct Flaw {
  double touchdownNorthM = 0.0;
  double restNorthM = 0.0;
  bool twice = false, nan = false, jump = false;
};

// One arrival ARR1: 30 s in the air on the extended centre line, touchdown at 500 m, taxi along
// the runway and north to stand S1, 20 s at rest there, removed by request.
std::string lf_arrivalTrace(const Flaw& flaw) {
  struct Place {
    double t;
    LatLon at;
    double heading;
  };
  std::vector<Place> path;
  for (int k = 0; k <= 30; ++k) {
    path.push_back(
        {double(k), lf_east(-3000.0 + k * 116.0, k == 30 ? flaw.touchdownNorthM : 0.0), 90.0});
  }
  for (int k = 1; k <= 10; ++k) path.push_back({30.0 + k, lf_east(500.0 + k * 130.0), 90.0});
  if (flaw.jump) path.push_back({40.1, lf_east(1800.0 + kMetresPerNm), 90.0});
  for (int k = 1; k <= 30; ++k) path.push_back({40.0 + k, lf_east(1800.0, k * 10.0), 0.0});
  for (int k = 1; k <= 20; ++k)
    path.push_back({70.0 + k, lf_east(1800.0, 300.0 + flaw.restNorthM), 0.0});
  std::sort(path.begin(), path.end(), [](const Place& a, const Place& b) { return a.t < b.t; });

  const auto created = [](double t, int id) {
    return Json{{"kind", "created"},
                {"t", t},
                {"client", 1},
                {"id", id},
                {"title", "AI A320 Test"},
                {"tail_number", "ARR1"}}
               .dump() +
           "\n";
  };
  const auto removed = [](double t, int id) {
    return Json{{"kind", "removed"}, {"t", t}, {"client", 1}, {"id", id}, {"reason", "request"}}
               .dump() +
           "\n";
  };
  std::string lines = created(0.0, 101);
  if (flaw.twice) lines += created(1.0, 102) + removed(2.0, 102);
  for (const Place& p : path) {
    const bool ground = p.t >= 30.0;
    Json object = {{"id", 101},
                   {"title", "AI A320 Test"},
                   {"tail_number", "ARR1"},
                   {"lat", p.at.lat},
                   {"lon", p.at.lon},
                   {"alt", ground ? 9.0 : 1500.0 - p.t * 50.0},
                   {"pitch", 0.0},
                   {"bank", 0.0},
                   {"heading", p.heading * kDegToRad},
                   {"on_ground", ground}};
    if (flaw.nan && p.t == 12.0) object["lat"] = nullptr;  // what a NaN becomes in JSON
    lines += Json{{"kind", "frame"}, {"t", p.t}, {"frame", 0}, {"objects", {object}}}.dump() + "\n";
  }
  return lines + removed(95.0, 101);
}

Trace lf_read(const std::string& lines) {
  const fs::path file =
      fs::temp_directory_path() / ("trace_report_test_" + std::to_string(::getpid()) + ".jsonl");
  std::ofstream(file) << lines;
  Trace trace = readTrace(file);
  fs::remove(file);
  return trace;
}

Inputs lf_inputs() {
  Inputs in;
  in.airport = lf_airport();
  ManifestAircraft a;
  a.callsign = "ARR1";
  a.type = "A320";
  a.kind = "arrival";
  a.runway = "09";
  a.stand = "S1";
  a.outcomes = {{"landed", 30.0}, {"parked", 70.0}};
  in.manifest = {a};
  in.radiusNm = 10.0;
  return in;
}

std::set<std::string> lf_failedChecks(const Flaw& flaw) {
  std::set<std::string> failed;
  for (const Finding& f : runChecks(lf_read(lf_arrivalTrace(flaw)), lf_inputs()).failures)
    failed.insert(f.check);
  return failed;
}

TEST(TraceReport, EachFlawFailsItsCheck) {
  const std::vector<std::pair<Flaw, std::set<std::string>>> cases = {
      {{}, {}},
      {{.twice = true}, {"created once"}},
      {{.nan = true}, {"every number finite"}},
      {{.jump = true}, {"no jump"}},
      {{.touchdownNorthM = 100.0}, {"landed on the runway"}},
      {{.restNorthM = 20.0}, {"parked on the stand"}},
  };
  for (const auto& [flaw, expected] : cases) {
    EXPECT_EQ(lf_failedChecks(flaw), expected)
        << "touchdown " << flaw.touchdownNorthM << ", rest " << flaw.restNorthM << ", twice "
        << flaw.twice << ", nan " << flaw.nan << ", jump " << flaw.jump;
  }
  const Inputs in = lf_inputs();
  const Trace clean = lf_read(lf_arrivalTrace({}));
  const std::string summary = summaryText(clean, in, runChecks(clean, in));
  EXPECT_NE(summary.find("landed on 09, parked at S1"), std::string::npos) << summary;
}

TEST(TraceReport, MapShowsTheRunwayAndTheTrack) {
  const Inputs in = lf_inputs();
  const Trace trace = lf_read(lf_arrivalTrace({}));
  const platform::Framebuffer fb = renderMap(trace, in);
  const auto colourAt = [&](const MapView& view, const LatLon& p) {
    const Pixel px = project(view, p);
    return fb.pixels.at(static_cast<std::size_t>(px.y * fb.width + px.x));
  };
  EXPECT_EQ(colourAt(airportView(in), lf_east(2200.0)), kMapRunway);  // beyond the track's turn
  EXPECT_EQ(colourAt(airportView(in), lf_east(2200.0, 100.0)), kMapBackground);
  EXPECT_EQ(colourAt(areaView(in), lf_east(-2000.0)), kMapArrival);  // on the approach
  EXPECT_EQ(colourAt(areaView(in), in.airport.user), kMapUser);
}

// Frames of one object OVR1 flying east from the threshold: (seconds, metres east, feet).
std::string lf_flightTrace(const std::vector<std::tuple<double, double, double>>& places) {
  std::string lines =
      Json{{"kind", "created"}, {"t", 0.0}, {"client", 1}, {"id", 7}, {"tail_number", "OVR1"}}
          .dump() +
      "\n";
  for (const auto& [t, east, alt] : places) {
    const LatLon at = lf_east(east);
    const Json object = {{"id", 7},           {"tail_number", "OVR1"},
                         {"lat", at.lat},     {"lon", at.lon},
                         {"alt", alt},        {"pitch", 0.0},
                         {"bank", 0.0},       {"heading", kRunwayHeadingDeg * kDegToRad},
                         {"on_ground", false}};
    lines += Json{{"kind", "frame"}, {"t", t}, {"objects", {object}}}.dump() + "\n";
  }
  return lines + Json{{"kind", "removed"}, {"t", 99.0}, {"id", 7}, {"reason", "request"}}.dump() +
         "\n";
}

bool lf_failed(const CheckResult& result, const std::string& check) {
  return std::any_of(result.failures.begin(), result.failures.end(),
                     [&](const Finding& f) { return f.check == check; });
}

// An overflight judged against its level: off by 500 ft either way fails, 100 ft holds.
TEST(TraceReport, OverflightAtItsLevel) {
  Inputs in = lf_inputs();
  ManifestAircraft a;
  a.callsign = "OVR1";
  a.kind = "overflight";
  a.levelFt = 35000.0;
  in.manifest = {a};
  for (const auto& [offsetFt, fails] :
       std::vector<std::pair<double, bool>>{{100.0, false}, {-500.0, true}, {500.0, true}}) {
    std::vector<std::tuple<double, double, double>> places;
    for (int k = 0; k <= 60; ++k) places.emplace_back(k, k * 230.0, 35000.0 + (k > 30) * offsetFt);
    EXPECT_EQ(lf_failed(runChecks(lf_read(lf_flightTrace(places)), in), "flew at its level"), fails)
        << offsetFt << " ft";
  }
}

// Frames 10 ms apart, as the stand-in draws them: a position that moves 0.01 nm in one frame is
// no jump, 0.3 nm in one frame is (far over 700 kt for half a second), and so is a steady 900 kt.
TEST(TraceReport, JumpsAreJudgedAsSpeedsOverHalfASecond) {
  const Inputs in = lf_inputs();
  const auto failsJump = [&](double stepAtOneSecondM, double metresPerSecond) {
    std::vector<std::tuple<double, double, double>> places;
    for (int k = 0; k <= 300; ++k) {
      const double t = k * 0.01;
      places.emplace_back(t, t * metresPerSecond + (t >= 1.0) * stepAtOneSecondM, 3000.0);
    }
    return lf_failed(runChecks(lf_read(lf_flightTrace(places)), in), "no jump");
  };
  EXPECT_FALSE(failsJump(0.0, 0.0));
  EXPECT_FALSE(failsJump(0.01 * kMetresPerNm, 0.0));
  EXPECT_FALSE(failsJump(0.01 * kMetresPerNm, 250.0));  // 486 kt
  EXPECT_TRUE(failsJump(0.3 * kMetresPerNm, 0.0));
  EXPECT_TRUE(failsJump(0.0, 900.0 / 3600.0 * kMetresPerNm));
  EXPECT_TRUE(failsJump(1.0 * kMetresPerNm, 0.0));
}

// A run in which nothing happened fails: no frame, no aircraft, no radius to judge against;
// the radius of the program's range requests is the run's, the one it asked for most often.
TEST(TraceReport, NothingHappenedFailsAndTheRadiusIsTheRuns) {
  Inputs in = lf_inputs();
  in.radiusNm.reset();
  in.recorded["ARR1"] = {{0.0, lf_east(-3000.0), 90.0}};
  const Trace empty = lf_read("");
  const CheckResult result = runChecks(empty, in);
  EXPECT_TRUE(lf_failed(result, "aircraft created"));
  EXPECT_TRUE(lf_failed(result, "created within the radius only"));
  const std::string summary = summaryText(empty, in, result);
  EXPECT_EQ(summary.find(" 0 nm"), std::string::npos) << summary;
  EXPECT_EQ(radiusFromTrace(empty), std::nullopt);

  const auto range = [](double t, int metres) {
    return Json{{"kind", "request"}, {"t", t},
                {"client", 1},       {"type", "RequestDataOnSimObjectType"},
                {"send_id", 9},      {"request_id", 101},
                {"radius_m", metres}}
               .dump() +
           "\n";
  };
  const Trace trace =
      lf_read(range(1.0, 74080) + range(2.0, 18520) + range(3.0, 18520) + lf_arrivalTrace({}));
  EXPECT_DOUBLE_EQ(radiusFromTrace(trace).value_or(0.0), 10.0);
  in.radiusNm = radiusFromTrace(trace);
  EXPECT_TRUE(runChecks(trace, in).failures.empty());
}

}  // namespace

// Broken inputs: unreadable trace lines are counted and passed over; a broken airport or
// manifest file is an error that names the file.
TEST(TraceReport, BrokenInputsAreReportedNotFatal) {
  const std::string good = lf_arrivalTrace({});
  const Trace trace = lf_read("not json\n{\"kind\": \"frame\"}\n[1, 2]\n" + good +
                              good.substr(0, good.size() / 2));  // ends in a cut line
  EXPECT_EQ(trace.badLines, 4u);
  EXPECT_EQ(trace.objects.size(), 1u);

  const fs::path file =
      fs::temp_directory_path() / ("trace_report_bad_" + std::to_string(::getpid()));
  for (const char* text : {"{\"icao\": \"TEST\"}", "{\"icao\": 5, \"lat\": 1}", "no json", ""}) {
    std::ofstream(file) << text;
    for (const auto& read : std::vector<std::function<void()>>{[&] { readAirport(file); },
                                                               [&] { readManifest(file); }}) {
      try {
        read();
        ADD_FAILURE() << "no error for " << text;
      } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
      }
    }
  }
  fs::remove(file);
  EXPECT_THROW(readTrace(file), std::runtime_error);
}

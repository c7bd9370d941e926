// The demo's recording against the demo's checks: a trace in which every aircraft that comes
// within the radius is drawn exactly where its track runs passes every check, so a failed demo
// points at the program, not at the recording, the airport's facts or the checks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "fixtures/klax_facts.h"
#include "fixtures/klax_recording.h"
#include "trace_report.h"

namespace {

using namespace tracereport;
using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr double kFrameEveryS = 0.5;
constexpr double kCgHeightFt = 9.0;
constexpr double kRemovedAfterS = 10.0;

Airport lf_klax() {
  const fixtures::AirportFacts& f = fixtures::klaxFacts();
  Airport a{f.icao,
            f.position,
            f.elevationFt,
            {},
            {},
            f.userStand,
            fixtures::klaxStand(f.userStand).position,
            0.0};
  for (const fixtures::RunwayFacts& r : f.runways)
    a.runways.push_back({r.ident, r.threshold, r.end, r.headingDeg, r.widthFt});
  for (const fixtures::StandFacts& s : f.stands) {
    a.stands.push_back({s.name, s.position, s.headingDeg, s.radiusM,
                        s.kind == fixtures::StandKind::kHelipad ? "helipad" : "gate"});
    a.extentNm = std::max(a.extentNm, gf_distanceNm(a.position, s.position));
  }
  for (const Runway& r : a.runways)
    a.extentNm = std::max(a.extentNm, gf_distanceNm(a.position, r.end) + 0.3);
  return a;
}

// Frames of every aircraft from its first report inside the radius to its last report.
std::string lf_perfectTrace(const LatLon& user) {
  std::map<double, Json> frames;
  std::string lines;
  std::uint32_t id = 100;
  for (const fixtures::RecordedAircraft& r : fixtures::klaxTraffic()) {
    const fixtures::TrackAircraft& a = r.track;
    const fixtures::FlownTrack flown = fixtures::flyTrack(a);
    const auto reports = fixtures::sampleReports(a, flown, 0.0, fixtures::kKlaxRecordingSeconds);
    const auto inside =
        std::find_if(reports.begin(), reports.end(), [&](const fixtures::TrackState& s) {
          return gf_distanceNm(user, s.position) <= fixtures::kKlaxRadiusNm;
        });
    if (inside == reports.end()) continue;
    ++id;
    const double from = std::ceil(inside->t / kFrameEveryS) * kFrameEveryS, to = reports.back().t;
    lines += Json{{"kind", "created"},
                  {"t", from},
                  {"client", 1},
                  {"id", id},
                  {"title", "AI " + a.type},
                  {"tail_number", a.callsign}}
                 .dump() +
             "\n";
    for (double t = from; t <= to; t += kFrameEveryS) {
      const auto& s = flown.states.at(
          static_cast<std::size_t>(std::llround((t - a.startTime) / fixtures::kTrackStepS)));
      frames[t]["objects"].push_back({{"id", id},
                                      {"title", "AI " + a.type},
                                      {"tail_number", a.callsign},
                                      {"lat", s.position.lat},
                                      {"lon", s.position.lon},
                                      {"alt", s.altitudeFt + (s.onGround ? kCgHeightFt : 0.0)},
                                      {"pitch", 0.0},
                                      {"bank", 0.0},
                                      {"heading", s.headingDeg * kDegToRad},
                                      {"on_ground", s.onGround}});
    }
    frames[to + kRemovedAfterS]["removed"].push_back(id);
  }
  for (auto& [t, frame] : frames) {
    for (const Json& gone : frame.value("removed", Json::array())) {
      lines +=
          Json{{"kind", "removed"}, {"t", t}, {"client", 1}, {"id", gone}, {"reason", "request"}}
              .dump() +
          "\n";
    }
    if (frame.contains("objects"))
      lines += Json{{"kind", "frame"}, {"t", t}, {"objects", frame["objects"]}}.dump() + "\n";
  }
  return lines;
}

TEST(TraceReportRecording, APerfectRunOfTheRecordingPassesEveryCheck) {
  const fs::path dir =
      fs::temp_directory_path() / ("trace_report_recording_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  Inputs in;
  in.airport = lf_klax();
  std::ofstream(dir / "manifest.json") << fixtures::klaxManifest().dump();
  std::ofstream(dir / "trace.jsonl") << lf_perfectTrace(in.airport.user);
  in.manifest = readManifest(dir / "manifest.json");
  in.recorded = readRecording(fs::path(ZENDRIK_SOURCE_DIR) / "tools/demo/klax.rttfc", in.cutS);
  in.radiusNm = fixtures::kKlaxRadiusNm;
  const Trace trace = readTrace(dir / "trace.jsonl");
  fs::remove_all(dir);

  const CheckResult checks = runChecks(trace, in);
  for (const Finding& f : checks.failures)
    ADD_FAILURE() << f.check << ": " << f.subject << ": " << f.detail;
  EXPECT_TRUE(checks.skipped.empty());
  const std::string summary = summaryText(trace, in, checks);
  for (const char* told :
       {"AAL1842   A321", "landed on 25L, parked at B15", "pushed back from A3, took off from 24L",
        "overflew at 35000 ft", "NKS811    A20N  stayed beyond the 10 nm radius"}) {
    EXPECT_NE(summary.find(told), std::string::npos) << told << "\n" << summary;
  }
}

}  // namespace

// The inputs beside the trace: the airport's facts, the recording's manifest, the recording
// itself and the program's log.

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "intake/traffic_parser.h"
#include "trace_report.h"

namespace tracereport {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr double kAirportMarginNm = 0.3;  // around the farthest runway end or stand

Json lf_readJson(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(fmt::format("cannot read {}", file.string()));
  const Json j = Json::parse(in, nullptr, false);
  if (!j.is_object())
    throw std::runtime_error(fmt::format("{} is not a JSON object", file.string()));
  return j;
}

LatLon lf_point(const Json& j) {
  return {j.at("lat").get<double>(), j.at("lon").get<double>()};
}

bool lf_number(std::string_view text, double& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end != text.data() && std::isfinite(value);
}

Airport lf_airport(const Json& j) {
  Airport a;
  a.icao = j.at("icao").get<std::string>();
  a.position = lf_point(j);
  a.elevationFt = j.at("elevation_ft").get<double>();
  a.userStand = j.value("user_stand", "");
  for (const Json& r : j.at("runways")) {
    a.runways.push_back({r.at("ident").get<std::string>(), lf_point(r.at("threshold")),
                         lf_point(r.at("end")), r.at("heading_deg").get<double>(),
                         r.at("width_ft").get<double>()});
  }
  for (const Json& s : j.at("stands")) {
    a.stands.push_back({s.at("name").get<std::string>(), lf_point(s),
                        s.at("heading_deg").get<double>(), s.at("radius_m").get<double>(),
                        s.value("kind", "")});
  }
  a.user = a.position;
  double farthest = 0.0;
  for (const Stand& s : a.stands) {
    if (s.name == a.userStand) a.user = s.position;
    farthest = std::max(farthest, gf_distanceNm(a.position, s.position));
  }
  for (const Runway& r : a.runways) {
    farthest = std::max(
        {farthest, gf_distanceNm(a.position, r.threshold), gf_distanceNm(a.position, r.end)});
  }
  a.extentNm = farthest + kAirportMarginNm;
  return a;
}

ManifestAircraft lf_manifestAircraft(const Json& j) {
  ManifestAircraft a;
  a.id = j.value("id", std::uint32_t{0});
  a.callsign = j.value("callsign", "");
  a.registration = j.value("registration", "");
  a.type = j.value("type", "");
  a.kind = j.value("kind", "");
  a.runway = j.value("runway", "");
  a.stand = j.value("stand", "");
  a.note = j.value("note", "");
  if (j.contains("level_ft")) a.levelFt = j["level_ft"].get<double>();
  const Json outcomes = j.value("outcomes", Json::object());
  for (const auto& [name, t] : outcomes.items()) a.outcomes[name] = t.get<double>();
  return a;
}

}  // namespace

Airport readAirport(const fs::path& file) {
  try {
    return lf_airport(lf_readJson(file));
  } catch (const Json::exception& e) {
    throw std::runtime_error(fmt::format("{}: {}", file.string(), e.what()));
  }
}

std::vector<ManifestAircraft> readManifest(const fs::path& file) {
  try {
    std::vector<ManifestAircraft> aircraft;
    const Json manifest = lf_readJson(file);
    for (const Json& a : manifest.at("aircraft")) aircraft.push_back(lf_manifestAircraft(a));
    return aircraft;
  } catch (const Json::exception& e) {
    throw std::runtime_error(fmt::format("{}: {}", file.string(), e.what()));
  }
}

std::map<std::string, std::vector<RecordedPoint>> readRecording(const fs::path& file, double cutS) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(fmt::format("cannot read the recording {}", file.string()));
  std::map<std::string, std::vector<RecordedPoint>> paths;
  std::optional<double> first;
  std::vector<std::string_view> fields;
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with("RTTFC,")) continue;  // weather and anything else
    gf_splitTrafficFields(line, fields);
    RecordedPoint p;
    double stamp = 0.0;
    if (fields.size() <= kFieldTimeStamp || !lf_number(fields[kFieldTimeStamp], stamp) ||
        !lf_number(fields[kFieldLatitude], p.position.lat) ||
        !lf_number(fields[kFieldLongitude], p.position.lon)) {
      continue;
    }
    if (!lf_number(fields[kFieldTrack], p.trackDeg)) p.trackDeg = 0.0;
    if (!first) first = stamp;
    p.t = stamp - *first;
    if (p.t >= cutS) continue;
    const std::string_view name =
        fields[kFieldCallsign].empty() ? fields[kFieldRegistration] : fields[kFieldCallsign];
    paths[std::string(name)].push_back(p);
  }
  return paths;
}

std::vector<std::string> readLogLines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error(fmt::format("cannot read the log {}", file.string()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace tracereport

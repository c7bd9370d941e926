// Scenario files of the stand-in.
#include "standin_scenario.h"

#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>

#include <fmt/format.h>

#include "platform/paths.h"

namespace p3d {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kMetresPerNm = 1852.0;
constexpr double kEarthRadiusNm = 180.0 * 60.0 / std::numbers::pi;

double lf_number(const nlohmann::json& j, const char* key, double fallback) {
  if (!j.contains(key)) return fallback;
  const auto& v = j.at(key);
  if (!v.is_number()) throw std::runtime_error(fmt::format("\"{}\" is not a number", key));
  const double d = v.get<double>();
  if (!std::isfinite(d)) throw std::runtime_error(fmt::format("\"{}\" is not finite", key));
  return d;
}

void lf_readSimulator(const nlohmann::json& j, Scenario& s) {
  if (j.is_string()) {
    const auto preset = j.get<std::string>();
    if (preset == "v5") {
      s.simName = "Lockheed Martin Prepar3D v5";
    } else if (preset == "v6") {
      s.simName = "Lockheed Martin Prepar3D v6";
      s.appVersion[0] = 6;
      s.appVersion[1] = 0;
      s.appVersion[2] = 34;
      s.appVersion[3] = 31011;
    } else if (preset == "newer") {
      s.simName = "KittyHawk";
      s.appVersion[0] = 11;
      s.appVersion[1] = 0;
      s.appVersion[2] = 282174;
      s.appVersion[3] = 999;
    } else {
      throw std::runtime_error(fmt::format("unknown simulator preset \"{}\"", preset));
    }
    return;
  }
  s.simName = j.value("name", s.simName);
  if (j.contains("version")) {
    const auto v = j.at("version").get<std::vector<std::uint32_t>>();
    for (std::size_t i = 0; i < 4 && i < v.size(); ++i) s.appVersion[i] = v[i];
  }
  if (j.contains("simconnect_version")) {
    const auto v = j.at("simconnect_version").get<std::vector<std::uint32_t>>();
    for (std::size_t i = 0; i < 4 && i < v.size(); ++i) s.simConnectVersion[i] = v[i];
  }
}

void lf_readUser(const nlohmann::json& u, Scenario& s) {
  s.userObjectId = u.value("object_id", s.userObjectId);
  s.userTitle = u.value("title", s.userTitle);
  s.userAtcModel = u.value("atc_model", s.userAtcModel);
  s.userAtcId = u.value("atc_id", s.userAtcId);
  s.userLights = u.value("lights", s.userLights);
  s.zuluStart = u.value("zulu_start", s.zuluStart);
  if (!u.contains("path")) return;
  for (const auto& p : u.at("path")) {
    PathPoint pt;
    pt.t = lf_number(p, "t", 0);
    pt.lat = lf_number(p, "lat", 0);
    pt.lon = lf_number(p, "lon", 0);
    pt.altFt = lf_number(p, "alt_ft", 0);
    pt.headingRad = lf_number(p, "heading_deg", 0) * kDegToRad;
    pt.pitchRad = lf_number(p, "pitch_deg", 0) * kDegToRad;
    pt.bankRad = lf_number(p, "bank_deg", 0) * kDegToRad;
    pt.groundSpeedKt = lf_number(p, "gs_kt", 0);
    pt.onGround = p.value("on_ground", true);
    if (std::abs(pt.lat) > 90 || std::abs(pt.lon) > 180) {
      throw std::runtime_error(fmt::format("path point at t={} is off the globe", pt.t));
    }
    if (!s.path.empty() && pt.t < s.path.back().t) {
      throw std::runtime_error("path points are not in time order");
    }
    s.path.push_back(pt);
  }
}

void lf_readFaults(const nlohmann::json& f, Faults& out) {
  out.refuseCreations = f.value("refuse_creations", 0);
  out.dropAt = lf_number(f, "drop_at", -1);
  out.fragment = f.value("fragment", std::size_t{0});
  out.coalesce = f.value("coalesce", false);
  const std::size_t filler = f.value("zero_filler", std::size_t{0});
  out.zeroFiller = (filler + 3) / 4 * 4;  // filler is only unambiguous in whole words
  if (f.contains("stall")) {
    for (const auto& w : f.at("stall")) {
      out.stalls.push_back({lf_number(w, "at", 0), lf_number(w, "for", 0)});
    }
  }
  out.oversizeAt = lf_number(f, "oversize_at", -1);
  out.oversizeBytes = f.value("oversize_bytes", std::uint32_t{0});
  out.lateAnswers = f.value("late_answers", false);
}

}  // namespace

Scenario gf_scenarioFromJson(const nlohmann::json& j) {
  Scenario s;
  if (!j.is_object()) throw std::runtime_error("a scenario is a JSON object");
  if (j.contains("simulator")) lf_readSimulator(j.at("simulator"), s);
  s.simRunning = j.value("sim_running", true);
  s.firstAiObjectId = j.value("first_ai_object_id", s.firstAiObjectId);
  if (j.contains("user")) lf_readUser(j.at("user"), s);
  if (s.firstAiObjectId <= s.userObjectId) s.firstAiObjectId = s.userObjectId + 1;
  if (j.contains("ground_elevation_ft")) {
    const auto& g = j.at("ground_elevation_ft");
    if (g.is_number()) {
      s.defaultElevationFt = g.get<double>();
    } else {
      s.defaultElevationFt = lf_number(g, "default", 0);
      const auto airports = g.find("airports");
      for (const auto& a : airports != g.end() ? *airports : nlohmann::json::array()) {
        s.airports.push_back({a.value("icao", ""), lf_number(a, "lat", 0), lf_number(a, "lon", 0),
                              lf_number(a, "radius_nm", 5), lf_number(a, "elevation_ft", 0)});
      }
    }
  }
  if (j.contains("static_cg")) {
    const auto& c = j.at("static_cg");
    auto readCg = [](const nlohmann::json& v) {
      return StaticCg{lf_number(v, "height_ft", 9.0), lf_number(v, "pitch_deg", 0) * kDegToRad};
    };
    if (c.contains("default")) s.defaultCg = readCg(c.at("default"));
    if (c.contains("titles")) {
      for (const auto& [title, v] : c.at("titles").items()) s.cgByTitle[title] = readCg(v);
    }
  }
  if (j.contains("events")) {
    for (const auto& e : j.at("events")) {
      s.events.push_back({lf_number(e, "at", 0), e.value("type", ""), e.value("file", "")});
    }
  }
  if (j.contains("faults")) lf_readFaults(j.at("faults"), s.faults);
  return s;
}

Scenario gf_loadScenario(const std::string& path) {
  std::ifstream in(gf_pathFromUtf8(path));
  if (!in) throw std::runtime_error(fmt::format("cannot open scenario \"{}\"", path));
  try {
    return gf_scenarioFromJson(nlohmann::json::parse(in));
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error(fmt::format("scenario \"{}\": {}", path, e.what()));
  }
}

PathPoint gf_userAt(const Scenario& s, double t) {
  if (s.path.empty()) {
    PathPoint p;
    p.lat = 52.3086;
    p.lon = 4.7639;
    p.altFt = gf_groundElevation(s, p.lat, p.lon);
    return p;
  }
  if (t <= s.path.front().t) return s.path.front();
  if (t >= s.path.back().t) return s.path.back();
  for (std::size_t i = 1; i < s.path.size(); ++i) {
    const PathPoint& b = s.path[i];
    if (t > b.t) continue;
    const PathPoint& a = s.path[i - 1];
    const double f = b.t > a.t ? (t - a.t) / (b.t - a.t) : 1.0;
    auto mix = [f](double x, double y) { return x + (y - x) * f; };
    PathPoint p = b;
    p.t = t;
    p.lat = mix(a.lat, b.lat);
    p.lon = mix(a.lon, b.lon);
    p.altFt = mix(a.altFt, b.altFt);
    p.headingRad = f < 0.5 ? a.headingRad : b.headingRad;
    p.pitchRad = mix(a.pitchRad, b.pitchRad);
    p.bankRad = mix(a.bankRad, b.bankRad);
    p.groundSpeedKt = mix(a.groundSpeedKt, b.groundSpeedKt);
    p.onGround = f < 0.5 ? a.onGround : b.onGround;
    return p;
  }
  return s.path.back();
}

double gf_distanceMetres(double lat1, double lon1, double lat2, double lon2) {
  const double p1 = lat1 * kDegToRad;
  const double p2 = lat2 * kDegToRad;
  const double dp = p2 - p1;
  const double dl = (lon2 - lon1) * kDegToRad;
  const double a = std::sin(dp / 2) * std::sin(dp / 2) +
                   std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
  const double c = 2 * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a)));
  return c * kEarthRadiusNm * kMetresPerNm;
}

double gf_groundElevation(const Scenario& s, double lat, double lon) {
  for (const AirportElevation& a : s.airports) {
    if (gf_distanceMetres(lat, lon, a.lat, a.lon) <= a.radiusNm * kMetresPerNm) {
      return a.elevationFt;
    }
  }
  return s.defaultElevationFt;
}

}  // namespace p3d

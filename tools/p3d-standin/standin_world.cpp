// The stand-in's world: objects, simulation variables, units and data records.
#include "standin_world.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numbers>

#include <fmt/format.h>

namespace p3d {

namespace {

enum class Category { Angle, Length, Speed, VerticalSpeed, Seconds, Number, Bool, Mask, Percent,
                      Text };

struct VarInfo {
  const char* name;  // lowercase
  Category category;
};

constexpr VarInfo kVars[] = {
    {"plane latitude", Category::Angle},
    {"plane longitude", Category::Angle},
    {"plane pitch degrees", Category::Angle},
    {"plane bank degrees", Category::Angle},
    {"plane heading degrees true", Category::Angle},
    {"plane altitude", Category::Length},
    {"plane alt above ground", Category::Length},
    {"ground altitude", Category::Length},
    {"static cg to ground", Category::Length},
    {"static pitch", Category::Angle},
    {"vertical speed", Category::VerticalSpeed},
    {"airspeed true", Category::Speed},
    {"ground velocity", Category::Speed},
    {"zulu time", Category::Seconds},
    {"zulu day of year", Category::Number},
    {"zulu year", Category::Number},
    {"light states", Category::Mask},
    {"light on states", Category::Mask},
    {"sim on ground", Category::Bool},
    {"spoilers handle position", Category::Percent},
    {"general eng throttle lever position:1", Category::Percent},
    {"general eng throttle lever position:2", Category::Percent},
    {"title", Category::Text},
    {"atc model", Category::Text},
    {"atc id", Category::Text},
};

struct UnitInfo {
  const char* name;  // lowercase
  Category category;
  double basePerUnit;  // value of one unit in the category's base (radians, feet, knots, ft/s)
};

constexpr UnitInfo kUnits[] = {
    {"degree", Category::Angle, std::numbers::pi / 180.0},
    {"degrees", Category::Angle, std::numbers::pi / 180.0},
    {"radian", Category::Angle, 1.0},
    {"radians", Category::Angle, 1.0},
    {"feet", Category::Length, 1.0},
    {"foot", Category::Length, 1.0},
    {"meter", Category::Length, 3.280839895013123},
    {"meters", Category::Length, 3.280839895013123},
    {"knots", Category::Speed, 1.0},
    {"knot", Category::Speed, 1.0},
    {"feet per second", Category::VerticalSpeed, 1.0},
    {"feet per minute", Category::VerticalSpeed, 1.0 / 60.0},
    {"seconds", Category::Seconds, 1.0},
    {"second", Category::Seconds, 1.0},
    {"number", Category::Number, 1.0},
    {"bool", Category::Bool, 1.0},
    {"mask", Category::Mask, 1.0},
    {"percent", Category::Percent, 1.0},
    {"percent over 100", Category::Percent, 100.0},
};

const VarInfo* lf_var(const std::string& name) {
  const std::string lower = gf_lower(name);
  for (const VarInfo& v : kVars) {
    if (lower == v.name) return &v;
  }
  return nullptr;
}

const UnitInfo* lf_unit(const std::string& name) {
  const std::string lower = gf_lower(name);
  for (const UnitInfo& u : kUnits) {
    if (lower == u.name) return &u;
  }
  return nullptr;
}

bool lf_unitFits(Category var, Category unit) {
  if (var == unit) return true;
  return unit == Category::Number &&
         (var == Category::Bool || var == Category::Mask || var == Category::Seconds);
}

bool lf_isTextType(std::uint32_t t) { return t >= 5 && t <= 11; }

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kThrottleMax = 16383.0;  // full travel of the *_SET events

// Civil date of a day count since 1970-01-01.
void lf_civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

bool lf_leap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

std::int64_t lf_dayOfYear(std::int64_t y, unsigned m, unsigned d) {
  static constexpr int kCum[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return kCum[m - 1] + d + (m > 2 && lf_leap(y) ? 1 : 0);
}

}  // namespace

std::string gf_lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::size_t gf_datumSize(std::uint32_t t) {
  switch (t) {
    case 1: return 4;
    case 2: return 8;
    case 3: return 4;
    case 4: return 8;
    case 5: return 8;
    case 6: return 32;
    case 7: return 64;
    case 8: return 128;
    case 9: return 256;
    case 10: return 260;
    default: return 0;
  }
}

DatumCheck gf_checkDatum(const Datum& d) {
  const VarInfo* v = lf_var(d.name);
  if (v == nullptr) return {7, 2, fmt::format("unknown simulation variable \"{}\"", d.name)};
  if (v->category == Category::Text) {
    if (!d.units.empty()) return {7, 3, fmt::format("\"{}\" takes no units", d.name)};
    if (!lf_isTextType(d.dataType)) {
      return {18, 4, fmt::format("\"{}\" is text, not data type {}", d.name, d.dataType)};
    }
    return {};
  }
  const UnitInfo* u = lf_unit(d.units);
  if (u == nullptr || !lf_unitFits(v->category, u->category)) {
    return {7, 3, fmt::format("\"{}\" cannot be given in \"{}\"", d.name, d.units)};
  }
  if (lf_isTextType(d.dataType)) {
    return {18, 4, fmt::format("\"{}\" is a number, not data type {}", d.name, d.dataType)};
  }
  return {};
}

World::World(Scenario scenario) : m_scenario(std::move(scenario)) {
  m_nextId = m_scenario.firstAiObjectId;
  SimObject u;
  u.id = m_scenario.userObjectId;
  u.isUser = true;
  u.title = m_scenario.userTitle;
  u.atcId = m_scenario.userAtcId;
  u.atcModel = m_scenario.userAtcModel;
  u.lights = m_scenario.userLights;
  u.aiControlled = false;
  const auto cg = m_scenario.cgByTitle.find(u.title);
  u.cg = cg != m_scenario.cgByTitle.end() ? cg->second : m_scenario.defaultCg;
  m_objects.emplace(u.id, u);
  advance(0);
}

void World::advance(double t) {
  m_now = t;
  const PathPoint p = gf_userAt(m_scenario, t);
  SimObject& u = user();
  u.lat = p.lat;
  u.lon = p.lon;
  u.altFt = p.altFt;
  u.headingRad = p.headingRad;
  u.pitchRad = p.pitchRad;
  u.bankRad = p.bankRad;
  u.groundSpeedKt = p.groundSpeedKt;
  u.trueAirspeedKt = p.groundSpeedKt;
  u.onGround = p.onGround;
}

SimObject* World::find(std::uint32_t id) {
  if (id == 0) return &user();
  const auto it = m_objects.find(id);
  return it == m_objects.end() ? nullptr : &it->second;
}

SimObject& World::create(const std::string& title, const std::string& tail, const double pos[6],
                         bool onGround, double airspeedKt, int owner) {
  SimObject o;
  o.id = m_nextId++;
  o.ownerClient = owner;
  o.title = title;
  o.atcId = tail;
  o.lat = pos[0];
  o.lon = pos[1];
  o.altFt = pos[2];
  o.pitchRad = pos[3] * kDegToRad;
  o.bankRad = pos[4] * kDegToRad;
  o.headingRad = pos[5] * kDegToRad;
  o.onGround = onGround;
  o.trueAirspeedKt = airspeedKt;
  o.groundSpeedKt = airspeedKt;
  const auto cg = m_scenario.cgByTitle.find(title);
  o.cg = cg != m_scenario.cgByTitle.end() ? cg->second : m_scenario.defaultCg;
  if (onGround) o.altFt = gf_groundElevation(m_scenario, o.lat, o.lon) + o.cg.heightFt;
  return m_objects.emplace(o.id, o).first->second;
}

bool World::remove(std::uint32_t id) {
  const auto it = m_objects.find(id);
  if (it == m_objects.end() || it->second.isUser) return false;
  m_objects.erase(it);
  return true;
}

std::vector<std::uint32_t> World::removeOwnedBy(int owner) {
  std::vector<std::uint32_t> gone;
  for (auto it = m_objects.begin(); it != m_objects.end();) {
    if (!it->second.isUser && it->second.ownerClient == owner) {
      gone.push_back(it->first);
      it = m_objects.erase(it);
    } else {
      ++it;
    }
  }
  return gone;
}

std::vector<std::uint32_t> World::objectsWithin(double radiusMetres, std::uint32_t objectType) {
  constexpr std::uint32_t kTypeUser = 0, kTypeAll = 1, kTypeAircraft = 2;
  std::vector<std::uint32_t> ids;
  const SimObject& u = user();
  ids.push_back(u.id);
  if (objectType == kTypeUser) return ids;
  if (objectType != kTypeAll && objectType != kTypeAircraft) return {};
  for (const auto& [id, o] : m_objects) {
    if (o.isUser) continue;
    if (gf_distanceMetres(u.lat, u.lon, o.lat, o.lon) <= radiusMetres) ids.push_back(id);
  }
  return ids;
}

double World::readVar(const SimObject& o, const std::string& name) const {
  const std::string n = gf_lower(name);
  const double ground = gf_groundElevation(m_scenario, o.lat, o.lon);
  const std::int64_t zulu = m_scenario.zuluStart + static_cast<std::int64_t>(m_now);
  if (n == "plane latitude") return o.lat * kDegToRad;
  if (n == "plane longitude") return o.lon * kDegToRad;
  if (n == "plane pitch degrees") return o.pitchRad;
  if (n == "plane bank degrees") return o.bankRad;
  if (n == "plane heading degrees true") return o.headingRad;
  if (n == "plane altitude") return o.altFt;
  if (n == "plane alt above ground") return o.onGround ? 0.0 : std::max(0.0, o.altFt - ground);
  if (n == "ground altitude") return ground;
  if (n == "static cg to ground") return o.cg.heightFt;
  if (n == "static pitch") return o.cg.pitchRad;
  if (n == "vertical speed") return o.verticalSpeedFps;
  if (n == "airspeed true") return o.trueAirspeedKt;
  if (n == "ground velocity") return o.groundSpeedKt;
  if (n == "light states" || n == "light on states") return static_cast<double>(o.lights);
  if (n == "sim on ground") return o.onGround ? 1.0 : 0.0;
  if (n == "spoilers handle position") return o.spoilersPct;
  if (n == "general eng throttle lever position:1") return o.throttle1Pct;
  if (n == "general eng throttle lever position:2") return o.throttle2Pct;
  const std::int64_t days = zulu >= 0 ? zulu / 86400 : (zulu - 86399) / 86400;
  if (n == "zulu time") return static_cast<double>(zulu - days * 86400);
  std::int64_t y = 0;
  unsigned m = 0, d = 0;
  lf_civilFromDays(days, y, m, d);
  if (n == "zulu year") return static_cast<double>(y);
  if (n == "zulu day of year") return static_cast<double>(lf_dayOfYear(y, m, d));
  return 0.0;
}

std::string World::readText(const SimObject& o, const std::string& name) const {
  const std::string n = gf_lower(name);
  if (n == "title") return o.title;
  if (n == "atc model") return o.atcModel;
  if (n == "atc id") return o.atcId;
  return {};
}

void World::writeVar(SimObject& o, const std::string& name, double v) {
  const std::string n = gf_lower(name);
  if (n == "plane latitude") o.lat = v / kDegToRad;
  else if (n == "plane longitude") o.lon = v / kDegToRad;
  else if (n == "plane pitch degrees") o.pitchRad = v;
  else if (n == "plane bank degrees") o.bankRad = v;
  else if (n == "plane heading degrees true") o.headingRad = v;
  else if (n == "plane altitude") o.altFt = v;
  else if (n == "vertical speed") o.verticalSpeedFps = v;
  else if (n == "airspeed true") o.trueAirspeedKt = v;
  else if (n == "ground velocity") o.groundSpeedKt = v;
  else if (n == "spoilers handle position") o.spoilersPct = v;
  else if (n == "general eng throttle lever position:1") o.throttle1Pct = v;
  else if (n == "general eng throttle lever position:2") o.throttle2Pct = v;
  else if (n == "light states" || n == "light on states") o.lights = static_cast<std::uint64_t>(v);
}

std::size_t World::recordSize(const std::vector<Datum>& def) {
  std::size_t size = 0;
  for (const Datum& d : def) {
    const std::size_t s = gf_datumSize(d.dataType);
    if (s == 0) return 0;
    size += s;
  }
  return size;
}

void World::encode(const SimObject& o, const std::vector<Datum>& def,
                   std::vector<std::uint8_t>& out) {
  auto put = [&out](const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    out.insert(out.end(), b, b + n);
  };
  for (const Datum& d : def) {
    const VarInfo* v = lf_var(d.name);
    if (v != nullptr && v->category == Category::Text) {
      const std::string text = readText(o, d.name);
      std::size_t field = gf_datumSize(d.dataType);
      if (field == 0) field = (text.size() + 1 + 3) / 4 * 4;  // STRINGV: zero-ended, whole words
      const std::size_t n = std::min(text.size(), field - 1);
      put(text.data(), n);
      out.insert(out.end(), field - n, 0);
      continue;
    }
    const UnitInfo* u = lf_unit(d.units);
    const double value = readVar(o, d.name) / (u != nullptr ? u->basePerUnit : 1.0);
    switch (d.dataType) {
      case 1: {
        const auto i = static_cast<std::int32_t>(std::llround(value));
        put(&i, sizeof i);
        break;
      }
      case 2: {
        const auto i = static_cast<std::int64_t>(std::llround(value));
        put(&i, sizeof i);
        break;
      }
      case 3: {
        const auto f = static_cast<float>(value);
        put(&f, sizeof f);
        break;
      }
      default:
        put(&value, sizeof value);
        break;
    }
  }
}

bool World::apply(SimObject& o, const std::vector<Datum>& def,
                  std::span<const std::uint8_t> record) {
  if (recordSize(def) != record.size() || record.empty()) return false;
  std::size_t pos = 0;
  for (const Datum& d : def) {
    const std::size_t n = gf_datumSize(d.dataType);
    const std::uint8_t* p = record.data() + pos;
    pos += n;
    const VarInfo* v = lf_var(d.name);
    if (v == nullptr || v->category == Category::Text) continue;
    double value = 0;
    switch (d.dataType) {
      case 1: { std::int32_t i; std::memcpy(&i, p, 4); value = i; break; }
      case 2: { std::int64_t i; std::memcpy(&i, p, 8); value = static_cast<double>(i); break; }
      case 3: { float f; std::memcpy(&f, p, 4); value = f; break; }
      default: std::memcpy(&value, p, 8); break;
    }
    if (!std::isfinite(value)) continue;  // a broken value never reaches the world
    const UnitInfo* u = lf_unit(d.units);
    writeVar(o, d.name, value * (u != nullptr ? u->basePerUnit : 1.0));
  }
  const double ground = gf_groundElevation(m_scenario, o.lat, o.lon);
  if (!o.isUser) o.onGround = o.altFt - ground <= o.cg.heightFt + 1.0;
  ++o.positionUpdates;
  return true;
}

bool World::applyEvent(SimObject& o, const std::string& eventName, std::uint32_t data) {
  const std::string n = eventName;
  auto setLight = [&](std::uint64_t bit) {
    if (data != 0) o.lights |= bit;
    else o.lights &= ~bit;
  };
  if (n == "NAV_LIGHTS_SET") setLight(kLightNav);
  else if (n == "BEACON_LIGHTS_SET") setLight(kLightBeacon);
  else if (n == "LANDING_LIGHTS_SET") setLight(kLightLanding);
  else if (n == "TAXI_LIGHTS_SET") setLight(kLightTaxi);
  else if (n == "STROBES_SET") setLight(kLightStrobe);
  else if (n == "LOGO_LIGHTS_SET") setLight(kLightLogo);
  else if (n == "CABIN_LIGHTS_SET") setLight(kLightCabin);
  else if (n == "ALL_LIGHTS_TOGGLE") o.lights ^= kLightAll;
  else if (n == "FREEZE_LATITUDE_LONGITUDE_SET") o.freezeLatLon = data != 0;
  else if (n == "FREEZE_ALTITUDE_SET") o.freezeAltitude = data != 0;
  else if (n == "FREEZE_ATTITUDE_SET") o.freezeAttitude = data != 0;
  else if (n == "GEAR_SET") o.gear = data;
  else if (n == "FLAPS_SET") o.flaps = data;
  else if (n == "SPOILERS_SET") o.spoilersPct = data / kThrottleMax * 100.0;
  else if (n == "THROTTLE_SET") o.throttle1Pct = o.throttle2Pct = data / kThrottleMax * 100.0;
  else if (n == "ENGINE_AUTO_START") o.enginesRunning = true;
  else if (n == "ENGINE_AUTO_SHUTDOWN") o.enginesRunning = false;
  else return false;
  return true;
}

}  // namespace p3d

// Reading and filtering RealTraffic traffic records. Runs on the traffic reader thread; every
// function here is pure apart from the process-wide type filter set built once.
#include "intake/traffic_parser.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "foundation/aircraft_defs.h"
#include "foundation/geometry.h"
#include "liveries/database_queries.h"

namespace {

constexpr std::string_view kNull = "null";
constexpr std::string_view kHeadingSource = "adsb_icao";
constexpr std::uint32_t kLowestLiveKey = 10001;  // keys up to 10000 belong to static aircraft
constexpr std::size_t kMaxRegistrationLength = 12;
constexpr double kNearZeroLatitude = 0.0009;  // degrees: the box at 0,0 holds no real traffic
constexpr double kNearZeroLongitude = 0.05;
constexpr double kNoAirspeed = -1.0;
// Altitudes no aircraft reports (feet): below the deepest land, above any airliner's ceiling.
constexpr double kLowestAltitudeFt = -2000.0;
constexpr double kHighestAltitudeFt = 100000.0;
// Speeds and angles no aircraft reports: faster than any aircraft in traffic flies, beyond the
// 32,608 ft/min that ADS-B can carry, outside the angles' own ranges.
constexpr double kMaxSpeedKt = 2000.0;
constexpr double kMaxVerticalSpeedFpm = 40000.0;
constexpr double kMaxTrackDeg = 360.0;
constexpr double kMaxRollDeg = 180.0;
constexpr double kNoRollA = -1.0;
constexpr double kNoRollB = 0.0;

// Ground rule thresholds (feet, knots).
constexpr double kGroundRuleCeilingFt = 14000.0;
constexpr double kNoParkReferenceFt = -1000.0;
constexpr double kAlwaysOnGroundKt = 35.0;
struct GroundBand {
  double maxHeightFt;
  double maxSpeedKt;
};
constexpr std::array<GroundBand, 3> kGroundBands{{{45.0, 120.0}, {90.0, 80.0}, {120.0, 43.0}}};
// A helicopter on the ground: hover-taxiing at most this fast, this far above or below where a
// report from the park airport's ground reads on the day. Faster, or higher, it flies (low over
// the fields, circling slowly).
constexpr GroundBand kHelicopterGround{100.0, 30.0};
// Reported altitudes are pressure altitudes: on a day whose QNH lies below standard pressure
// they read higher than the true altitude, about 27 ft per hPa.
constexpr double kStandardPressureHpa = 1013.25;
constexpr double kFeetPerHpa = 27.0;

struct AirspeedBand {
  double maxAltitudeFt;
  double airspeedKt;
};
constexpr std::array<AirspeedBand, 4> kAirspeedBands{
    {{2000.0, 180.0}, {5000.0, 220.0}, {10000.0, 250.0}, {20000.0, 350.0}}};
constexpr double kHighAirspeedKt = 430.0;

constexpr std::array<std::string_view, 5> kRejectedCategories{"B1", "B2", "B4", "C1", "C2"};
constexpr std::size_t kMaxTypeLength = 4;

// A number from the start of the field (no blank, no '+'); the rest of the field is ignored.
// Non-finite values fail: "nan" and "inf" are no positions, times or speeds.
bool lf_readNumber(std::string_view field, double& value) {
  if (field.empty()) return false;
  double read = 0.0;
  auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), read);
  (void)end;
  if (ec != std::errc() || !std::isfinite(read)) return false;
  value = read;
  return true;
}

// Leading decimal digits as an unsigned 32-bit value.
bool lf_readIdentifier(std::string_view field, std::uint32_t& value) {
  if (field.empty()) return false;
  auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  (void)end;
  return ec == std::errc();
}

std::string_view lf_text(std::string_view field) {
  return field == kNull ? std::string_view{} : field;
}

// A stamp far from the traffic time the run holds, unless it lies near the clock: live traffic
// is always taken, so a run that began on a wrong stamp comes back at the next live one.
bool lf_stampFarOff(double stamp, const TrafficFilterContext& context) {
  if (!context.trafficTimeSec || std::fabs(stamp - *context.trafficTimeSec) <= kStampWindowSec)
    return false;
  return !context.clockSec ||
         std::fabs(stamp - static_cast<double>(*context.clockSec)) > kStampWindowSec;
}

const std::unordered_set<std::string_view>& lf_rejectedTypes() {
  static const std::unordered_set<std::string_view> types{"GRND", "GLID", "SERV", "BALL",
                                                          "PARA", "SHIP", "EMER"};
  return types;
}

}  // namespace

std::string_view gf_trafficVerdictName(TrafficVerdict verdict) {
  switch (verdict) {
    case TrafficVerdict::kReady:
      return "ready";
    case TrafficVerdict::kTooFewFields:
      return "too few fields";
    case TrafficVerdict::kBadTimeStamp:
      return "bad time stamp";
    case TrafficVerdict::kStampBefore2000:
      return "time stamp before 2000";
    case TrafficVerdict::kFutureTimeStamp:
      return "time stamp in the future";
    case TrafficVerdict::kStampFarOff:
      return "time stamp far from the traffic time";
    case TrafficVerdict::kBadPosition:
      return "bad position";
    case TrafficVerdict::kOutsideWorld:
      return "outside the world";
    case TrafficVerdict::kNearZeroZero:
      return "near 0,0";
    case TrafficVerdict::kBeyondRadius:
      return "beyond the traffic radius";
    case TrafficVerdict::kLongRegistration:
      return "registration too long";
    case TrafficVerdict::kFilteredType:
      return "type or category filtered";
    case TrafficVerdict::kBadHeading:
      return "bad heading";
    case TrafficVerdict::kHeadingAbove360:
      return "heading above 360";
    case TrafficVerdict::kBadKey:
      return "bad identifier";
    case TrafficVerdict::kKeyTooLow:
      return "identifier 10000 or less";
    case TrafficVerdict::kBadSpeedOrAltitude:
      return "bad ground speed or altitude";
    case TrafficVerdict::kAltitudeOutOfRange:
      return "altitude out of range";
    case TrafficVerdict::kGroundSpeedOutOfRange:
      return "ground speed out of range";
    case TrafficVerdict::kBlockedCallsign:
      return "blocked callsign";
    case TrafficVerdict::kNoName:
      return "no callsign and no registration";
    case TrafficVerdict::kGroundAwayFromPark:
      return "on the ground away from the park airport";
    case TrafficVerdict::kBadTrack:
      return "bad track";
    case TrafficVerdict::kTrackOutOfRange:
      return "track out of range";
    case TrafficVerdict::kBadVerticalSpeed:
      return "bad vertical speed";
    case TrafficVerdict::kVerticalSpeedOutOfRange:
      return "vertical speed out of range";
    case TrafficVerdict::kBadRoll:
      return "bad roll";
    case TrafficVerdict::kRollOutOfRange:
      return "roll out of range";
    case TrafficVerdict::kBadAirspeed:
      return "bad airspeed";
    case TrafficVerdict::kAirspeedOutOfRange:
      return "airspeed out of range";
    case TrafficVerdict::kVehicle:
      return "vehicle";
  }
  return "unknown";
}

bool gf_isImplausibleVerdict(TrafficVerdict verdict) {
  switch (verdict) {
    case TrafficVerdict::kStampBefore2000:
    case TrafficVerdict::kFutureTimeStamp:
    case TrafficVerdict::kStampFarOff:
    case TrafficVerdict::kAltitudeOutOfRange:
    case TrafficVerdict::kGroundSpeedOutOfRange:
    case TrafficVerdict::kTrackOutOfRange:
    case TrafficVerdict::kVerticalSpeedOutOfRange:
    case TrafficVerdict::kRollOutOfRange:
    case TrafficVerdict::kAirspeedOutOfRange:
      return true;
    default:
      return false;
  }
}

bool gf_isVehicleDatagram(std::string_view datagram) {
  return datagram.find(" VEH") != std::string_view::npos;
}

void gf_splitTrafficFields(std::string_view datagram, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t start = 0;
  for (std::size_t comma = datagram.find(','); comma != std::string_view::npos;
       comma = datagram.find(',', start)) {
    fields.push_back(datagram.substr(start, comma - start));
    start = comma + 1;
  }
  if (start < datagram.size()) fields.push_back(datagram.substr(start));
}

double gf_airspeedForAltitude(double altitudeFt) {
  for (const auto& band : kAirspeedBands)
    if (altitudeFt <= band.maxAltitudeFt) return band.airspeedKt;
  return kHighAirspeedKt;
}

double gf_groundRuleAltitude(double altitudeFt, double groundSpeedKt,
                             std::optional<double> parkElevationFt, bool helicopter,
                             std::int32_t qnhHpa) {
  double alt = altitudeFt;
  if (alt <= 0.0) return 0.0;
  if (helicopter) {
    const double parkReadsFt =
        parkElevationFt ? *parkElevationFt + (kStandardPressureHpa - qnhHpa) * kFeetPerHpa
                        : kNoParkReferenceFt;
    const double d = alt - parkReadsFt;
    const bool onGround = std::fabs(d) <= kHelicopterGround.maxHeightFt &&
                          groundSpeedKt <= kHelicopterGround.maxSpeedKt;
    return onGround ? 0.0 : alt;
  }
  if (alt < kGroundRuleCeilingFt) {
    const double d = alt - parkElevationFt.value_or(kNoParkReferenceFt);
    bool onGround = d <= 0.0;
    for (const auto& band : kGroundBands)
      onGround = onGround || (std::fabs(d) <= band.maxHeightFt && groundSpeedKt <= band.maxSpeedKt);
    if (onGround) alt = 0.0;
  }
  if (groundSpeedKt <= kAlwaysOnGroundKt) alt = 0.0;
  return alt;
}

bool gf_acceptTraffic(const AircraftIdent& ident, std::string_view category) {
  if (ident.type.empty()) return false;
  if (category.empty() || category == kNull) return true;
  for (auto rejected : kRejectedCategories)
    if (category == rejected) return false;
  if (ident.type.size() > kMaxTypeLength) return false;
  return !lf_rejectedTypes().contains(ident.type);
}

bool gf_acceptTraffic(const AircraftIdent& ident, const std::string& category) {
  return gf_acceptTraffic(ident, std::string_view(category));
}

TrafficVerdict gf_parseTrafficRecord(std::span<const std::string_view> f,
                                     const TrafficFilterContext& context, ParsedTraffic& out) {
  out.timeStamp.reset();
  out.callsignToCollect = {};
  if (f.size() < kTrafficFieldsRead) return TrafficVerdict::kTooFewFields;

  double timeStamp = 0.0;
  if (!lf_readNumber(f[kFieldTimeStamp], timeStamp)) return TrafficVerdict::kBadTimeStamp;
  // Stamps that cannot be traffic would move the traffic time (the time source of the parking
  // timetables) and, from the future, hold their aircraft (every later report looks too old):
  // they are refused before the traffic time takes them.
  if (timeStamp < kFirstTrafficStampSec) return TrafficVerdict::kStampBefore2000;
  if (context.clockSec && timeStamp > static_cast<double>(*context.clockSec) + kReportDelaySec)
    return TrafficVerdict::kFutureTimeStamp;
  if (lf_stampFarOff(timeStamp, context)) return TrafficVerdict::kStampFarOff;
  out.timeStamp = timeStamp;

  TrafficReport& r = out.report;
  PositionReport& p = r.position;
  if (!lf_readNumber(f[kFieldLatitude], p.lat) || !lf_readNumber(f[kFieldLongitude], p.lon))
    return TrafficVerdict::kBadPosition;
  if (p.lat < -90.0 || p.lat > 90.0 || p.lon < -180.0 || p.lon > 180.0)
    return TrafficVerdict::kOutsideWorld;
  if (p.lat >= 0.0 && p.lat <= kNearZeroLatitude && p.lon >= 0.0 && p.lon <= kNearZeroLongitude)
    return TrafficVerdict::kNearZeroZero;
  if (gf_distanceNm({context.userLatitude, context.userLongitude}, {p.lat, p.lon}) >
      context.radiusNm)
    return TrafficVerdict::kBeyondRadius;

  const std::string_view registration = lf_text(f[kFieldRegistration]);
  if (registration.size() > kMaxRegistrationLength) return TrafficVerdict::kLongRegistration;

  const std::string_view callsignField = f[kFieldCallsign];
  if (!callsignField.empty() && callsignField != kNull && !gf_hasChar(callsignField, '@'))
    out.callsignToCollect = callsignField;

  AircraftIdent& id = r;
  const std::string_view type = lf_text(f[kFieldType]);
  id.type.assign(type == "0" || type == "ZZZZ" ? std::string_view{} : type);
  if (!gf_acceptTraffic(id, f[kFieldCategory])) return TrafficVerdict::kFilteredType;

  p.trueHeadingPresent = false;
  p.headingPresent = false;
  p.trueHeading = kNotReported;
  if (f[kFieldSource] == kHeadingSource) {
    double heading = 0.0;
    if (!lf_readNumber(f[kFieldTrueHeading], heading)) return TrafficVerdict::kBadHeading;
    if (heading > 360.0) return TrafficVerdict::kHeadingAbove360;
    if (heading == 0.0) {
      p.trueHeading = kTwoPi;
    } else if (heading > 0.0) {
      p.trueHeading = heading * kDegToRad;
    }
    p.trueHeadingPresent = p.headingPresent = !std::isnan(p.trueHeading);
  }

  if (!lf_readIdentifier(f[kFieldId], r.key)) return TrafficVerdict::kBadKey;
  if (r.key < kLowestLiveKey) return TrafficVerdict::kKeyTooLow;

  double altitude = 0.0;
  if (!lf_readNumber(f[kFieldGroundSpeed], p.groundSpeed) ||
      !lf_readNumber(f[kFieldAltitude], altitude))
    return TrafficVerdict::kBadSpeedOrAltitude;
  if (altitude < kLowestAltitudeFt || altitude > kHighestAltitudeFt)
    return TrafficVerdict::kAltitudeOutOfRange;
  // Before the ground rule: a negative speed would put a flying aircraft on the ground.
  if (p.groundSpeed < 0.0 || p.groundSpeed > kMaxSpeedKt)
    return TrafficVerdict::kGroundSpeedOutOfRange;
  // By the type alone, as the motion decides it: an emitter category may be wrong.
  const bool helicopter = gf_typeCategory(id.type) == kCatRotorcraft;
  p.altitude = gf_groundRuleAltitude(altitude, p.groundSpeed, context.parkElevationFt, helicopter,
                                     context.qnhHpa);
  p.airborne = p.altitude > 0.0;

  std::string_view callsign = lf_text(callsignField);
  if (gf_hasChar(callsign, '@')) callsign = {};
  if (callsign == "ERARMTR0" || callsign == "AIRPORT1") return TrafficVerdict::kBlockedCallsign;
  if (callsign.empty() && registration.empty()) return TrafficVerdict::kNoName;

  if (!p.airborne &&
      (context.parkIcao.empty() || gf_distanceNm({context.parkLatitude, context.parkLongitude},
                                                 {p.lat, p.lon}) > kParkGroundRadiusNm))
    return TrafficVerdict::kGroundAwayFromPark;

  p.track = 0.0;
  if (!f[kFieldTrack].empty() && !lf_readNumber(f[kFieldTrack], p.track))
    return TrafficVerdict::kBadTrack;
  if (p.track < 0.0 || p.track > kMaxTrackDeg) return TrafficVerdict::kTrackOutOfRange;
  if (p.track == 0.0 && p.trueHeadingPresent) p.track = p.trueHeading * kRadToDeg;

  if (!lf_readNumber(f[kFieldVerticalSpeed], p.verticalSpeed))
    return TrafficVerdict::kBadVerticalSpeed;
  if (std::fabs(p.verticalSpeed) > kMaxVerticalSpeedFpm)
    return TrafficVerdict::kVerticalSpeedOutOfRange;

  p.rollPresent = false;
  p.roll = kNotReported;
  if (p.airborne) {
    double roll = 0.0;
    if (!lf_readNumber(f[kFieldRoll], roll)) return TrafficVerdict::kBadRoll;
    if (std::fabs(roll) > kMaxRollDeg) return TrafficVerdict::kRollOutOfRange;
    if (roll != kNoRollA && roll != kNoRollB) {
      p.roll = -roll * kDegToRad;
      p.rollPresent = true;
    }
  }

  if (!lf_readNumber(f[kFieldTrueAirspeed], p.trueAirspeed)) return TrafficVerdict::kBadAirspeed;
  if (p.trueAirspeed == kNoAirspeed) p.trueAirspeed = gf_airspeedForAltitude(p.altitude);
  if (p.trueAirspeed < 0.0 || p.trueAirspeed > kMaxSpeedKt)
    return TrafficVerdict::kAirspeedOutOfRange;

  id.airline.clear();
  id.origin.assign(lf_text(f[kFieldOrigin]));
  id.destination.assign(lf_text(f[kFieldDestination]));
  id.callsign.assign(callsign);
  id.text6.clear();
  id.text7.clear();
  id.registration.assign(registration);
  id.word = 0;
  p.samePosition = false;
  p.dueTime = 0;
  r.timeStamp = timeStamp;
  return TrafficVerdict::kReady;
}

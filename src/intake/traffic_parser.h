// Turning one RealTraffic traffic record (an RTTFC datagram split at its commas) into a
// TrafficReport, with the traffic filter. Pure functions: the traffic reader (udp_readers.h)
// supplies the world they read and does the appending.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/aircraft_defs.h"

// Fields of a traffic record that the parser reads, counted from 0 (0 is the "RTTFC" label).
enum TrafficField : std::size_t {
  kFieldId = 1,             // unsigned decimal aircraft identifier, the report's key
  kFieldLatitude = 2,       // degrees
  kFieldLongitude = 3,      // degrees
  kFieldAltitude = 4,       // feet
  kFieldVerticalSpeed = 5,  // feet per minute, as received
  kFieldTrack = 7,          // degrees; empty counts as 0
  kFieldGroundSpeed = 8,    // knots
  kFieldCallsign = 9,
  kFieldType = 10,  // ICAO type code
  kFieldRegistration = 11,
  kFieldOrigin = 12,
  kFieldDestination = 13,
  kFieldTimeStamp = 14,     // seconds since 1970 UTC
  kFieldSource = 17,        // "adsb_icao" enables the true heading
  kFieldTrueAirspeed = 20,  // knots; -1 = none
  kFieldRoll = 23,          // degrees; -1 and 0 = none
  kFieldTrueHeading = 25,   // degrees
  kFieldCategory = 28,      // ADS-B emitter category
};
// Seconds a report waits before the engine stands at its position (the intake's report delay).
inline constexpr double kReportDelaySec = 30.0;
// Ground traffic is kept only this near the park airport (nm). The engine uses the same reach:
// an aircraft on the ground farther than this from every airport is out in the open.
inline constexpr double kParkGroundRadiusNm = 5.0;
// A record with fewer fields than this is malformed.
inline constexpr std::size_t kTrafficFieldsRead = kFieldCategory + 1;

// What became of a record. Every value but kReady names the rule that dropped it.
enum class TrafficVerdict {
  kReady,                  // a report was built
  kTooFewFields,           // fewer than kTrafficFieldsRead fields
  kBadTimeStamp,           // field 14 unreadable or not finite
  kStampBefore2000,        // field 14 before this century (0 and negative ones too)
  kFutureTimeStamp,        // field 14 later than the reader's clock plus the report delay
  kStampFarOff,            // field 14 far from the traffic time and from the reader's clock
  kBadPosition,            // latitude or longitude unreadable or not finite
  kOutsideWorld,           // latitude outside [-90, 90] or longitude outside [-180, 180]
  kNearZeroZero,           // at or next to 0,0: no real position
  kBeyondRadius,           // farther from the user than the traffic radius
  kLongRegistration,       // more than 12 characters
  kFilteredType,           // gf_acceptTraffic said no
  kBadHeading,             // true heading unreadable
  kHeadingAbove360,        // true heading above 360 degrees
  kBadKey,                 // identifier unreadable
  kKeyTooLow,              // identifier 10000 or less
  kBadSpeedOrAltitude,     // ground speed or altitude unreadable
  kAltitudeOutOfRange,     // altitude below -2,000 ft or above 100,000 ft
  kGroundSpeedOutOfRange,  // negative, or faster than any aircraft
  kBlockedCallsign,        // "ERARMTR0" or "AIRPORT1"
  kNoName,                 // neither callsign nor registration
  kGroundAwayFromPark,     // on the ground and not within 5 nm of the park airport
  kBadTrack,
  kTrackOutOfRange,  // outside [0, 360] degrees
  kBadVerticalSpeed,
  kVerticalSpeedOutOfRange,  // faster than any aircraft climbs or dives
  kBadRoll,
  kRollOutOfRange,  // outside [-180, 180] degrees
  kBadAirspeed,
  kAirspeedOutOfRange,  // negative (other than -1, none), or faster than any aircraft
  kVehicle,  // the datagram contains " VEH" (decided by the reader)
};
std::string_view gf_trafficVerdictName(TrafficVerdict verdict);
// True for the verdicts that say the feed, or this PC's clock, is wrong (worth a log line) rather
// than that the record is of no use here.
bool gf_isImplausibleVerdict(TrafficVerdict verdict);

// The parts of the world a record is judged against, read as one snapshot per record.
struct TrafficFilterContext {
  double userLatitude = 0.0;              // degrees: centre of the traffic radius
  double userLongitude = 0.0;             // degrees
  double radiusNm = 40.0;                 // the traffic radius
  std::optional<double> parkElevationFt;  // elevation of the park airport, when it has stands
  std::string parkIcao;                   // empty: no park airport
  double parkLatitude = 0.0;
  double parkLongitude = 0.0;
  std::int32_t qnhHpa = 1013;  // the QNH the engine holds (g_qnh)
  // The reader's clock, seconds since 1970 UTC: a record stamped more than the report delay
  // after it is refused. Unset: no record is too new.
  std::optional<std::int64_t> clockSec{};
  // The traffic time the run holds, seconds since 1970 UTC: a stamp farther than
  // kStampWindowSec from it and from the clock is refused. Unset (before the first stamp, or
  // when the feed has moved away from it): any stamp of this century is taken.
  std::optional<double> trafficTimeSec{};
};

// The first stamp that can be traffic: 2000-01-01 00:00 UTC.
inline constexpr double kFirstTrafficStampSec = 946684800.0;
// How far a stamp may lie from the traffic time (or the clock): wider than the spread of the
// stamps of one feed, far narrower than a wrong day.
inline constexpr double kStampWindowSec = 900.0;

// The result of one record. Kept by the reader and reused, so its strings keep their storage.
struct ParsedTraffic {
  std::optional<double> timeStamp;     // field 14 when it was readable (the traffic time)
  std::string_view callsignToCollect;  // field 9 when it qualifies for the live-callsign set
  TrafficReport report;                // complete when the verdict is kReady (due time unset)
};

// Reads and filters one record. A record with fewer than kTrafficFieldsRead fields is dropped
// before anything is read. Numbers no aircraft reports (altitude, speeds, track, roll) and stamps
// that cannot be traffic are refused with their own verdicts, which the reader logs.
TrafficVerdict gf_parseTrafficRecord(std::span<const std::string_view> fields,
                                     const TrafficFilterContext& context, ParsedTraffic& out);

// True when an aircraft of this identity's type and this emitter category is to be shown.
bool gf_acceptTraffic(const AircraftIdent& ident, const std::string& category);
bool gf_acceptTraffic(const AircraftIdent& ident, std::string_view category);

// True when the datagram is a ground vehicle's (" VEH" anywhere); such datagrams are ignored.
bool gf_isVehicleDatagram(std::string_view datagram);
// Splits a datagram at its commas into views of it: two adjacent commas give an empty field;
// the text after the last comma is a field only when it is not empty.
void gf_splitTrafficFields(std::string_view datagram, std::vector<std::string_view>& fields);

// True airspeed in knots for a record without one, by the altitude band.
double gf_airspeedForAltitude(double altitudeFt);
// The ground rule: the altitude after it (0 = on the ground). A helicopter (a type of the
// Rotorcraft category, as the motion takes it) flies low and slow where no aeroplane could: it
// is on the ground only when slow and near where a report from the park airport's ground reads
// at this QNH (hPa).
double gf_groundRuleAltitude(double altitudeFt, double groundSpeedKt,
                             std::optional<double> parkElevationFt, bool helicopter = false,
                             std::int32_t qnhHpa = 1013);

// The identity head of every aircraft record, the received traffic and position reports, the
// size categories, flight phases and object states with their names, the per-category motion
// constants, and the texts that describe an aircraft in log lines.
#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include <fmt/format.h>

// Identity head of every aircraft record. A value type.
struct AircraftIdent {
  std::string airline;       // airline code, three letters when known
  std::string type;          // ICAO type code, four characters when known
  std::string origin;        // origin airport code
  std::string destination;   // destination airport code
  std::string callsign;      // at most 8 characters; "@@@@@@@@" = none
  std::string text6;         // empty as the traffic parser fills the head
  std::string text7;         // empty as the traffic parser fills the head
  std::string registration;  // the aircraft's registration
  std::uint64_t word = 0;    // copied with the head; 0 from the traffic parser
};

inline constexpr double kNotReported = std::numeric_limits<double>::quiet_NaN();

// One position of a live aircraft's stream. Values a record does not carry are NaN.
struct PositionReport {
  double lat = kNotReported;           // degrees
  double lon = kNotReported;           // degrees
  double roll = kNotReported;          // radians
  bool rollPresent = false;
  double trueHeading = kNotReported;   // radians, 0 taken as 2 pi
  bool trueHeadingPresent = false;
  double altitude = kNotReported;      // feet, 0 on the ground
  double groundSpeed = kNotReported;   // knots
  double track = kNotReported;         // degrees
  double verticalSpeed = kNotReported; // feet per minute
  double trueAirspeed = kNotReported;  // knots
  std::int32_t dueTime = 0;            // g_tickCount at which to stand here
  bool airborne = false;               // altitude above 0
  bool samePosition = false;           // same lat/lon as the report before it
  bool headingPresent = false;         // the record carried a true heading
};

// One received traffic record: identity (type, origin, destination, callsign and registration
// filled), its position, the datagram's time stamp and the aircraft's key (> 10000).
struct TrafficReport : AircraftIdent {
  PositionReport position;
  double timeStamp = 0.0;  // seconds since 1970 UTC
  std::uint32_t key = 0;
};

// Size category 0..5.
enum SizeCategory : int {
  kCatLight, kCatBuzjets, kCatLarge, kCatHeavy, kCatHighPerf, kCatRotorcraft
};
// Flight phase fs 0..7.
enum FlightPhase : int {
  kFsPushingBack, kFsPushedBack, kFsTaxi, kFsTakeOff, kFsFlying, kFsParking, kFsParked, kFsBirth
};
// Object state st 0..4.
enum ObjectState : int {
  kStBuffer, kStAdding2Sim, kStActive, kStLiveryRespawn, kStRemovingFromSim
};

// Names of the values above; std::out_of_range for a value outside the table.
std::string_view gf_categoryName(int category);
std::string_view gf_phaseName(int phase);
std::string_view gf_stateName(int state);

// Per-category motion constants, keys 0..5 (std::out_of_range from .at() for other keys).
extern const std::unordered_map<int, double> g_catPitchRate;         // radians per step
extern const std::unordered_map<int, int> g_catFlareSteps;           // steps
extern const std::unordered_map<int, int> g_catStaticCgValue;        // static-CG code's integer
extern const std::unordered_map<int, int> g_catRotationSteps;        // steps
extern const std::unordered_map<int, int> g_catPitchTransitionSteps;  // steps
extern const std::unordered_map<int, double> g_catRotationPitch;     // degrees, negative = up
extern const std::unordered_map<int, double> g_catClimbPitch;        // degrees, negative = up

// Descriptions; widths are minimum widths, left-aligned, never cut.
std::string gf_airlType(const AircraftIdent& ident);                  // "{:3} {:4}"
std::string gf_fromTo(const std::string& origin, const std::string& destination);  // "{:3}->{:3}"
std::string gf_callsign8(const AircraftIdent& ident);                 // "{:8}"
std::string gf_routeAndCallsign(const AircraftIdent& ident);  // callsign, reg, origin->dest
std::string gf_acDescription(const AircraftIdent& ident);     // route and callsign, airline type
std::string gf_acShortDescription(const AircraftIdent& ident);  // callsign, reg, airline type
std::string gf_identPath(const AircraftIdent& ident);         // airline type, blank, reg
bool gf_sameAirlType(const AircraftIdent& a, const AircraftIdent& b);
bool gf_hasCallsign(const AircraftIdent& ident);
// First three characters upper-cased when the callsign has >= 4 characters, three letters and
// then a digit.
std::optional<std::string> gf_airlFromCallsign(const std::string& callsign);
// Stores gf_airlFromCallsign(ident.callsign) as the airline when it has a value.
bool setAirlFromCallsign(AircraftIdent& ident);

// The same for the livery records (fields airl and type).
template <typename T>
concept AirlTypeRecord = requires(const T& r) {
  { r.airl } -> std::convertible_to<std::string>;
  { r.type } -> std::convertible_to<std::string>;
};
template <AirlTypeRecord T>
std::string gf_airlType(const T& record) {
  return fmt::format("{:3} {:4}", record.airl, record.type);
}
template <AirlTypeRecord T>
bool gf_sameAirlType(const T& a, const T& b) {
  return a.airl == b.airl && a.type == b.type;
}

// Names of categories, phases and states; per-category motion constants; aircraft descriptions.
#include "foundation/aircraft_defs.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "foundation/strings.h"

namespace {

constexpr std::string_view kNoCallsign{"@@@@@@@@"};
constexpr std::size_t kCallsignMaxLength = 8;

template <std::size_t N>
std::string_view lf_nameAt(const std::array<std::string_view, N>& names, int value) {
  if (value < 0 || static_cast<std::size_t>(value) >= N) {
    throw std::out_of_range("invalid unordered_map<K, T> key");
  }
  return names[static_cast<std::size_t>(value)];
}

template <typename T>
std::unordered_map<int, T> lf_categoryTable(const std::array<T, 6>& values) {
  std::unordered_map<int, T> table;
  for (int category = kCatLight; category <= kCatRotorcraft; ++category) {
    table.emplace(category, values[static_cast<std::size_t>(category)]);
  }
  return table;
}

}  // namespace

// clang-format off
const std::unordered_map<int, double> g_catPitchRate = lf_categoryTable<double>(
    {0.002617993877991494, 0.0017453292519943294, 0.0012217304763960306, 0.0008726646259971647,
     0.0017453292519943294, 0.0034906585039886587});
const std::unordered_map<int, int> g_catFlareSteps = lf_categoryTable<int>({250, 300, 400, 450, 150, 100});
const std::unordered_map<int, int> g_catStaticCgValue = lf_categoryTable<int>({250, 300, 350, 450, 150, 100});
const std::unordered_map<int, int> g_catRotationSteps = lf_categoryTable<int>({100, 200, 200, 250, 100, 100});
const std::unordered_map<int, int> g_catPitchTransitionSteps =
    lf_categoryTable<int>({200, 250, 300, 400, 200, 100});
const std::unordered_map<int, double> g_catRotationPitch =
    lf_categoryTable<double>({-9.0, -8.0, -6.0, -5.0, -6.0, -20.0});
const std::unordered_map<int, double> g_catClimbPitch =
    lf_categoryTable<double>({-15.0, -18.0, -16.5, -12.5, -20.0, -30.0});
// clang-format on

std::string_view gf_categoryName(int category) {
  static constexpr std::array<std::string_view, 6> kNames{"Light",    "Buzjets", "Large",
                                                          "Heavy",    "HighPerf", "Rotorcraft"};
  return lf_nameAt(kNames, category);
}

std::string_view gf_phaseName(int phase) {
  static constexpr std::array<std::string_view, 8> kNames{
      "pushing_back", "pushed_back", "taxi", "take_off", "flying", "parking", "parked", "birth"};
  return lf_nameAt(kNames, phase);
}

std::string_view gf_stateName(int state) {
  static constexpr std::array<std::string_view, 5> kNames{"buffer", "adding2sim", "active",
                                                          "liveryrespawn", "removingfromsim"};
  return lf_nameAt(kNames, state);
}

std::string gf_airlType(const AircraftIdent& ident) {
  return fmt::format("{:3} {:4}", ident.airline, ident.type);
}

std::string gf_fromTo(const std::string& origin, const std::string& destination) {
  if (origin.empty() && destination.empty()) {
    return std::string(8, ' ');
  }
  return fmt::format("{:3}->{:3}", origin, destination);
}

std::string gf_callsign8(const AircraftIdent& ident) { return fmt::format("{:8}", ident.callsign); }

std::string gf_routeAndCallsign(const AircraftIdent& ident) {
  return fmt::format("{} {:8} {}", gf_callsign8(ident), ident.registration,
                     gf_fromTo(ident.origin, ident.destination));
}

std::string gf_acDescription(const AircraftIdent& ident) {
  return fmt::format("{} {}", gf_routeAndCallsign(ident), gf_airlType(ident));
}

std::string gf_acShortDescription(const AircraftIdent& ident) {
  return fmt::format("{} {} {}", gf_callsign8(ident), ident.registration, gf_airlType(ident));
}

std::string gf_identPath(const AircraftIdent& ident) {
  return gf_airlType(ident) + ' ' + ident.registration;
}

bool gf_sameAirlType(const AircraftIdent& a, const AircraftIdent& b) {
  return a.airline == b.airline && a.type == b.type;
}

bool gf_hasCallsign(const AircraftIdent& ident) {
  return !ident.callsign.empty() && ident.callsign != kNoCallsign &&
         ident.callsign.size() <= kCallsignMaxLength;
}

// ASCII tests only: the callsign comes from the network and may hold any byte.
std::optional<std::string> gf_airlFromCallsign(const std::string& callsign) {
  if (callsign.size() < 4 || !gf_isAsciiAlpha(callsign[0]) || !gf_isAsciiAlpha(callsign[1]) ||
      !gf_isAsciiAlpha(callsign[2]) || !gf_isAsciiDigit(callsign[3])) {
    return std::nullopt;
  }
  std::string airline = callsign.substr(0, 3);
  for (char& c : airline) {
    c = gf_asciiUpper(c);
  }
  return airline;
}

bool setAirlFromCallsign(AircraftIdent& ident) {
  auto airline = gf_airlFromCallsign(ident.callsign);
  if (!airline) {
    return false;
  }
  ident.airline = std::move(*airline);
  return true;
}

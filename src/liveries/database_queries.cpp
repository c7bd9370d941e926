// Queries of the aircraft database tables (read only, no lock: the tables are complete before
// the first query).

#include "liveries/database_queries.h"

#include <algorithm>

#include "foundation/aircraft_defs.h"

namespace {

constexpr std::size_t kMinHyphenatedLength = 5;  // shorter registrations are tried as written
constexpr std::size_t kVariantsReserve = 3;

// The first written form of the registration that the table holds.
std::optional<RegInfo> lf_lookup(const std::string& registration) {
  std::optional<RegInfo> info;
  if (registration.empty()) return info;
  for (const std::string& form : gf_regVariants(registration)) {
    if (gf_findReg(info, form)) break;
  }
  return info;
}

}  // namespace

std::uint32_t gf_typeCategory(const std::string& type) {
  if (g_dbaseLarge.contains(type)) return kCatLarge;
  if (g_dbaseHeavy.contains(type)) return kCatHeavy;
  if (g_dbaseBuzjet.contains(type)) return kCatBuzjets;
  if (g_dbaseRotorcraft.contains(type)) return kCatRotorcraft;
  if (g_dbaseHighPerf.contains(type)) return kCatHighPerf;
  return kCatLight;
}

bool gf_isKnownType(const std::string& type) {
  return !type.empty() && g_dbaseTypes.contains(type);
}

bool gf_isKnownAirline(const std::string& code) {
  return !code.empty() && g_dbaseIcaoAirlines.contains(code);
}

double gf_wingspan(const std::string& type) {
  const auto it = g_dbaseWingspans.find(type);
  if (it != g_dbaseWingspans.end()) return it->second * 0.5 * kWingspanNmPerMetre;
  return g_defaultWingspan.at(gf_typeCategory(type));
}

bool gf_hasChar(std::string_view text, char c) {
  return text.find(c) != std::string_view::npos;
}

std::vector<std::string> gf_regVariants(const std::string& registration) {
  std::vector<std::string> forms;
  forms.reserve(kVariantsReserve);
  if (registration.size() >= kMinHyphenatedLength && registration.front() != 'N' &&
      !gf_hasChar(registration, '-')) {
    forms.push_back(registration.substr(0, 2) + "-" + registration.substr(2));
    forms.push_back(registration.substr(0, 1) + "-" + registration.substr(1));
  }
  forms.push_back(registration);
  return forms;
}

bool gf_findReg(std::optional<RegInfo>& out, const std::string& form) {
  const auto it = g_dbaseRegs.find(form);
  if (it == g_dbaseRegs.end()) return false;
  out = it->second;
  return true;
}

std::optional<RegInfo> gf_regInfo(const std::string& registration) {
  return lf_lookup(registration);
}

std::string gf_airlFromReg(const std::string& registration) {
  const std::optional<RegInfo> info = lf_lookup(registration);
  return info ? info->airl : std::string();
}

std::string gf_oprFromReg(const std::string& registration) {
  const std::optional<RegInfo> info = lf_lookup(registration);
  return info ? info->opr : std::string();
}

std::string gf_typeFromReg(const std::string& registration) {
  const std::optional<RegInfo> info = lf_lookup(registration);
  return info ? info->type : std::string();
}

std::string gf_findPvtReg(const std::string& text) {
  const auto it =
      std::find_if(g_dbasePvtRegs.begin(), g_dbasePvtRegs.end(),
                   [&text](const std::string& reg) { return text.find(reg) != std::string::npos; });
  return it != g_dbasePvtRegs.end() ? *it : std::string();
}

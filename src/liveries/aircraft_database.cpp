// Reading of the downloaded aircraft database (input/temp2.xml, unpacked from dbase.zip) into
// the database tables. Worker thread, once per process, before any scan task.

#include "liveries/aircraft_database.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <pugixml.hpp>
#include <stdexcept>

#include "foundation/download.h"
#include "foundation/errors.h"
#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/strings.h"
#include "liveries/code_scrambler.h"
#include "liveries/database_queries.h"
#include "platform/paths.h"

std::set<std::string> g_dbaseTypes;
std::set<std::string> g_dbaseHighPerf;
std::set<std::string> g_dbaseHeavy;
std::set<std::string> g_dbaseLarge;
std::set<std::string> g_dbaseBuzjet;
std::set<std::string> g_dbaseRotorcraft;
std::set<std::string> g_dbaseCargoTypes;
std::vector<std::vector<std::string>> g_dbaseSimilarGroups;
std::set<std::string> g_dbaseIcaoAirlines;
std::set<std::string> g_dbaseCargoOperators;
std::vector<std::vector<std::string>> g_dbasePublishers;
std::map<std::string, double> g_dbaseWingspans;
std::array<double, kSizeCategoryCount> g_defaultWingspan{};
double g_maxHalfWingspanNm = 0.0;
std::unordered_map<std::string, std::string> g_dbaseFixes;
std::set<std::string> g_dbaseSimaddonAirports;
std::vector<ThirdPartyScenery> g_dbaseThirdParties;
std::unordered_map<std::string, RegInfo> g_dbaseRegs;
std::vector<std::string> g_dbasePvtRegs;

namespace {

constexpr std::size_t kSimilarGroupsReserve = 64;
constexpr std::size_t kPublishersReserve = 640;
constexpr std::size_t kThirdPartiesReserve = 200;
constexpr std::size_t kPvtRegMaxLength = 4;  // private registrations searched inside titles

const std::string g_fixWrongAttr = "wro";
const std::string g_fixCorrectAttr = "cor";

// The attribute's text, or "" when it is missing.
std::string lf_attr(pugi::xml_node node, const char* name) {
  return node.attribute(name).value();
}

// pugixml's reading of a bool: true when the text begins with 1, t, T, y or Y.
bool lf_boolText(const std::string& text) {
  return !text.empty() && std::string_view("1tTyY").find(text.front()) != std::string_view::npos;
}

void lf_readDbaseSection(const pugi::xml_document& doc, const char* section,
                         std::set<std::string>& target, const char* item, const char* attribute) {
  for (pugi::xml_node node : doc.child(section).children(item)) {
    for (std::string& code : gf_split(lf_attr(node, attribute), ','))
      target.insert(std::move(code));
  }
  if (target.empty())
    throw qvb::UserErrorException(
        61, fmt::format("In an xml file section {} {} {} is empty ", section, item, attribute));
}

void lf_readTypeSection(const pugi::xml_document& doc, const char* section,
                        std::set<std::string>& target, const char* item) {
  std::set<std::string> stored;
  lf_readDbaseSection(doc, section, stored, item, "types");
  for (const std::string& code : stored) target.insert(gf_cryptType(code));
}

void lf_readAirlineSection(const pugi::xml_document& doc, const char* section,
                           std::set<std::string>& target) {
  std::set<std::string> stored;
  lf_readDbaseSection(doc, section, stored, "ICAO", "codes");
  for (const std::string& code : stored) target.insert(gf_decryptAirl(code));
}

void lf_readSimilarTypes(const pugi::xml_document& doc) {
  g_dbaseSimilarGroups.reserve(kSimilarGroupsReserve);
  for (pugi::xml_node node : doc.child("similar_types").children("similar")) {
    std::vector<std::string> group = gf_split(lf_attr(node, "types"), ',');
    for (std::string& code : group) code = gf_cryptType(code);
    std::sort(group.begin(), group.end());
    g_dbaseSimilarGroups.push_back(std::move(group));
  }
  g_dbaseSimilarGroups.shrink_to_fit();
}

void lf_addPublishers(const std::vector<std::string>& namesTexts) {
  for (const std::string& names : namesTexts) {
    std::vector<std::string> group = gf_split(names, ',');
    group.shrink_to_fit();
    g_dbasePublishers.push_back(std::move(group));
  }
}

void lf_readPublishers(const pugi::xml_document& doc, const std::string& path) {
  g_dbasePublishers.reserve(kPublishersReserve);
  try {
    std::vector<std::string> namesTexts;
    for (pugi::xml_node node : doc.child("publishers").children("pub"))
      namesTexts.push_back(lf_attr(node, "names"));
    std::sort(namesTexts.begin(), namesTexts.end());
    namesTexts.erase(std::unique(namesTexts.begin(), namesTexts.end()), namesTexts.end());
    lf_addPublishers(namesTexts);
    g_dbasePublishers.shrink_to_fit();
  } catch (const std::exception& e) {
    throw std::runtime_error(
        fmt::format("exception {} in reading publishers from \"{}\"", e.what(), path));
  }
}

// A wingspan in metres; a missing, malformed or non-finite text reads as 0.
double lf_metres(const std::string& text, const std::string& type) {
  const std::string trimmed = gf_trim(text);
  double value = 0.0;
  const char* end = trimmed.data() + trimmed.size();
  const auto [ptr, ec] = std::from_chars(trimmed.data(), end, value);
  if (ec != std::errc() || ptr != end) return 0.0;
  if (!std::isfinite(value) || value < 0.0) {
    gf_logError(
        fmt::format("wingspan \"{}\" of model {} is no valid number, read as 0", text, type));
    return 0.0;
  }
  return value;
}

double lf_halfSpanNm(double metres) {
  return metres * 0.5 * kWingspanNmPerMetre;
}

// Mean half span per size category. A category without entries takes the mean of all entries,
// so that no category is left with the 0/0 of an empty mean.
void lf_defaultWingspans() {
  std::array<double, kSizeCategoryCount> sums{};
  std::array<int, kSizeCategoryCount> counts{};
  double allSum = 0.0;
  for (const auto& [type, metres] : g_dbaseWingspans) {
    const std::uint32_t c = gf_typeCategory(type);
    sums.at(c) += lf_halfSpanNm(metres);
    ++counts.at(c);
    allSum += lf_halfSpanNm(metres);
  }
  const double allMean = allSum / static_cast<double>(g_dbaseWingspans.size());
  for (std::size_t c = 0; c < kSizeCategoryCount; ++c)
    g_defaultWingspan[c] = counts[c] > 0 ? sums[c] / counts[c] : allMean;
}

void lf_readWingspans(const pugi::xml_document& doc, const std::string& path) {
  try {
    for (pugi::xml_node node : doc.child("wingspans").children("wingspan")) {
      const std::string type = gf_cryptType(lf_attr(node, "type"));
      if (!gf_isKnownType(type)) {
        gf_logError(fmt::format("wingspan model {} is no valid model, skipped", type));
        continue;
      }
      const double metres = lf_metres(lf_attr(node, "meters"), type);
      g_dbaseWingspans.emplace(type, metres);  // a repeated type keeps its first value
      g_maxHalfWingspanNm = std::max(g_maxHalfWingspanNm, lf_halfSpanNm(metres));
    }
  } catch (const std::exception& e) {
    throw std::runtime_error(
        fmt::format("exception {} in reading wingspans from \"{}\"", e.what(), path));
  }
  if (!g_dbaseWingspans.empty()) lf_defaultWingspans();
}

void lf_readFixes(const pugi::xml_document& doc) {
  for (pugi::xml_node node : doc.child("fixes").children("fx")) {
    const std::string wrong = lf_attr(node, g_fixWrongAttr.c_str());
    const std::string correct = lf_attr(node, g_fixCorrectAttr.c_str());
    if (!correct.empty() && g_dbaseTypes.contains(correct)) {
      if (!g_dbaseFixes.emplace(wrong, correct).second)
        gf_logError(fmt::format("wrong part of fix: \"{}\", already exists, skipped", wrong));
    } else {
      gf_logError(fmt::format("wrong fix {}->{}, the latter is not a valid model", wrong, correct));
    }
  }
}

void lf_readThirdParties(const pugi::xml_document& doc) {
  g_dbaseThirdParties.reserve(kThirdPartiesReserve);
  for (pugi::xml_node node : doc.child("thirdpartiesP3D").children("thirdpartieP3D"))
    g_dbaseThirdParties.push_back({lf_attr(node, "pub"), gf_split(lf_attr(node, "arpts"), ',')});
}

RegInfo lf_regInfo(pugi::xml_node node) {
  RegInfo info;
  info.airl = lf_attr(node, "airl");
  if (!info.airl.empty()) info.airl = gf_decryptAirl(info.airl);
  info.type = lf_attr(node, "type");
  if (!info.type.empty()) info.type = gf_cryptType(info.type);
  info.opr = lf_attr(node, "opr");
  if (!info.opr.empty()) info.opr = gf_decryptAirl(info.opr);
  info.cargo = lf_boolText(lf_attr(node, "cargo"));
  return info;
}

void lf_buildPvtRegs() {
  g_dbasePvtRegs.clear();
  for (const auto& [reg, info] : g_dbaseRegs) {
    if (info.airl == "PVT" && reg.size() <= kPvtRegMaxLength) g_dbasePvtRegs.push_back(reg);
  }
  std::sort(g_dbasePvtRegs.begin(), g_dbasePvtRegs.end());
}

void lf_readRegistrations(const pugi::xml_document& doc) {
  g_dbaseRegs.clear();
  for (pugi::xml_node node : doc.child("dbase").children("db")) {
    const std::string stored = lf_attr(node, "reg");
    if (stored.empty()) {
      // An entry without a registration could never be looked up, and an empty private
      // registration would be "found" inside every title.
      gf_logError("regcode missing in dbase entry, skipped");
      continue;
    }
    std::string reg = gf_decryptReg(stored);
    RegInfo info = lf_regInfo(node);
    if (g_dbaseRegs.contains(reg)) {
      gf_logError(fmt::format("regcode {} already exists", reg));
      continue;
    }
    g_dbaseRegs.emplace(std::move(reg), std::move(info));
  }
  lf_buildPvtRegs();
}

void lf_readDbaseDocument(const pugi::xml_document& doc, const std::string& path) {
  lf_readTypeSection(doc, "aircrafts", g_dbaseTypes, "aircraft");
  lf_readTypeSection(doc, "high_performance", g_dbaseHighPerf, "hpf");
  lf_readTypeSection(doc, "heavy", g_dbaseHeavy, "hvy");
  lf_readTypeSection(doc, "large", g_dbaseLarge, "lar");
  lf_readTypeSection(doc, "buzjet", g_dbaseBuzjet, "bzj");
  lf_readTypeSection(doc, "rotorcraft", g_dbaseRotorcraft, "rot");
  lf_readTypeSection(doc, "cargo_types", g_dbaseCargoTypes, "cargo_type");
  lf_readSimilarTypes(doc);
  lf_readAirlineSection(doc, "ICAO_airlines", g_dbaseIcaoAirlines);
  lf_readAirlineSection(doc, "cargo_operators", g_dbaseCargoOperators);
  lf_readPublishers(doc, path);
  lf_readWingspans(doc, path);
  lf_readFixes(doc);
  lf_readDbaseSection(doc, "simaddonsP3D", g_dbaseSimaddonAirports, "simaddonP3D", "arpts");
  lf_readThirdParties(doc);
  lf_readRegistrations(doc);
}

}  // namespace

bool gf_readDbase() {
  static const std::filesystem::path fileName = "temp2.xml";
  const std::filesystem::path file = g_inputDir / fileName;
  const std::string path = gf_pathToUtf8(file);
  std::string why;
  if (!gf_downloadDbase(file, &why))
    throw std::runtime_error(fmt::format("data base could not be read from on-line?: {}", why));

  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_file(file.c_str());
  if (!parsed)
    throw qvb::UserErrorException(
        60, fmt::format("\"{}\" not read because of {}", path, parsed.description()));

  lf_readDbaseDocument(doc, path);
  gf_removeFile(file);
  return true;
}

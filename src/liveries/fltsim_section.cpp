// Section processing of the livery scan: one [fltsim.N] section of an aircraft.cfg into at most
// one Livery, or a report line saying why not. Scan tasks, many at once.

#include "liveries/fltsim_section.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "foundation/log.h"
#include "foundation/strings.h"
#include "liveries/aircraft_cfg_reader.h"
#include "liveries/aircraft_database.h"
#include "liveries/database_queries.h"
#include "liveries/dont_use_titles.h"
#include "liveries/matching_tables.h"
#include "liveries/scan_reports.h"
#include "platform/paths.h"

std::set<std::string> g_seenTitles;
std::mutex g_seenTitlesMutex;

namespace {

namespace fs = std::filesystem;

// Registrations longer than this are no registrations (or came from UTF-16 text).
constexpr std::size_t kMaxRegcodeBytes = 12;
constexpr std::uint32_t kCategoryLarge = 2;
constexpr std::uint32_t kCategoryHeavy = 3;

// The values one section's key lines give.
struct SectionKeys {
  std::string title;
  std::string code;   // airline from atc_parking_codes
  std::string types;  // atc_parking_types, upper case
  std::string atcid;
  std::string model;
  std::string sim;
  std::string texture;
};

void lf_dropTrailingLines(std::vector<std::string>& lines) {
  while (!lines.empty() && (lines.back().empty() || lines.back().starts_with("//"))) {
    lines.pop_back();
  }
}

// The section's [fltsim.N] line for the report lines, without the blanks around it.
std::string lf_headerText(const std::vector<std::string>& lines) {
  return gf_trim(lines.front());
}

std::string lf_upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), gf_asciiUpper);
  return text;
}

bool lf_isLargeOrHeavy(const std::string& type) {
  const std::uint32_t category = gf_typeCategory(type);
  return category == kCategoryLarge || category == kCategoryHeavy;
}

// The registration of an atc_id value of an ordinary file: one good code, else "".
std::string lf_checkAtcId(const std::string& value, const std::string& title) {
  const std::string cut = value.substr(0, value.find(';'));
  const std::vector<std::string> pieces = gf_splitCommaTrimmed(cut);
  if (pieces.empty()) {
    gf_log(fmt::format("invalid atc_id={} ==> in: {}", value, title));
    return {};
  }
  for (const std::string& piece : pieces) {
    if (piece.empty()) {
      gf_log(fmt::format("empty regcode in {} {}", title, value));
      return {};
    }
    if (piece.size() > kMaxRegcodeBytes) {
      gf_log(fmt::format("regcode: {}, has more than 12 chars or contains UTF16 chars in \"{}\"?",
                         piece, title));
      return {};
    }
    if (gf_hasChar(piece, '*')) {
      gf_logError(
          fmt::format("{} {} wild cards no longer supported, atc_id skipped ", title, piece));
      return {};
    }
  }
  return pieces.size() == 1 ? pieces.front() : std::string{};
}

// The same for an IVAO model-set file: no cut at ';', its own log lines.
std::string lf_checkMtlAtcId(const std::string& value, const std::string& title) {
  const std::vector<std::string> pieces = gf_split(value, ',');
  for (const std::string& piece : pieces) {
    if (piece.empty()) {
      gf_log(fmt::format(" empty regcode in: {}", value));
      return {};
    }
    if (piece.size() > kMaxRegcodeBytes) {
      gf_log(fmt::format("regcode: {}, has more than 12 chars in title: {}", piece, title));
      return {};
    }
    if (gf_hasChar(piece, '*')) {
      gf_logError(
          fmt::format("{} {} wild cards no longer supported, atc_id skipped ", title, piece));
      return {};
    }
  }
  return pieces.size() == 1 ? pieces.front() : std::string{};
}

// A folder or file name of a section value; a '\' in it separates sub-folders.
std::string lf_nativeName(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

// The path of a section's folder or file name inside the file's folder.
fs::path lf_entryPath(const std::string& folder, const std::string& name) {
  return gf_pathFromUtf8(folder) / gf_pathFromUtf8(lf_nativeName(name));
}

// The model folder, texture folder and flight-model file, in the order given by mtl. At the
// first missing one its report line is written and false returned.
bool lf_checkFolders(const SectionKeys& keys, const std::string& folder, const std::string& header,
                     bool mtl, FolderChecks& checks) {
  const std::string model = keys.model.empty() ? std::string("model") : "model." + keys.model;
  const std::string texture =
      keys.texture.empty() ? std::string("texture") : "texture." + keys.texture;
  const std::string air = keys.sim + ".air";
  struct Check {
    const std::string* name;
    bool folder;
  };
  const Check ordinary[] = {{&model, true}, {&texture, true}, {&air, false}};
  const Check ivao[] = {{&model, true}, {&air, false}, {&texture, true}};
  for (const Check& check : mtl ? ivao : ordinary) {
    if (!checks.existsAs(folder, *check.name, check.folder)) {
      lf_addIncompleteSection(gf_pathToUtf8(lf_entryPath(folder, *check.name)) + " " + header +
                              " does not exist");
      return false;
    }
  }
  return true;
}

// The airline of a registration the database knows: its airline, else its operator. A known
// registration without either gives "" and a report line of its own.
std::optional<std::string> lf_airlineOfReg(const std::string& atcid, const std::string& folder,
                                           const std::string& header) {
  const std::optional<RegInfo> info = gf_regInfo(atcid);
  if (!info) return std::nullopt;
  std::string airl = info->airl.empty() ? info->opr : info->airl;
  if (airl.empty()) {
    lf_addIncompleteSection(
        fmt::format("{} {} registration {} has no airline in my dbase", folder, header, atcid));
  }
  return airl;
}

enum class KeyTurn { kNotTaken, kTaken, kEndSection };

KeyTurn lf_titleTurn(const std::string& line, SectionKeys& keys, const std::string& folder,
                     const std::string& header) {
  if (keys.title.empty())
    return lf_titleKey(line, keys.title) ? KeyTurn::kTaken : KeyTurn::kNotTaken;
  if (lf_matchKey(line, "title").empty()) return KeyTurn::kNotTaken;
  lf_addIncompleteSection(fmt::format("{} {} has more than one title key", folder, header));
  return KeyTurn::kEndSection;
}

KeyTurn lf_parkingCodesTurn(const std::string& line, SectionKeys& keys, const std::string& cfgPath,
                            const std::string& folder, const std::string& header) {
  if (!keys.code.empty()) {
    if (line.find("atc_parking_codes") == std::string::npos) return KeyTurn::kNotTaken;
    lf_addIncompleteSection(fmt::format("{} {} has more than one ", folder, header) +
                            "atc_parking_codes" + " key");
    return KeyTurn::kEndSection;
  }
  std::string code;
  if (!lf_parkingCodesKey(line, code)) return KeyTurn::kNotTaken;
  constexpr std::size_t kSuffixedCodeLength = 4;  // "BAWX", "DLHC": airline and a suffix
  if (code.size() == kSuffixedCodeLength && (code[3] == 'X' || code[3] == 'C')) code.resize(3);
  if (!code.empty() && g_dbaseIcaoAirlines.contains(code)) {
    keys.code = code;
  } else if (code == "RFO") {
    return KeyTurn::kEndSection;  // dropped without a line
  } else {
    lf_addInvalidAirlineCode(code, cfgPath, header);
  }
  return KeyTurn::kTaken;
}

KeyTurn lf_parkingTypesTurn(const std::string& line, SectionKeys& keys, const std::string& folder,
                            const std::string& header) {
  if (keys.types.empty()) {
    if (!lf_parkingTypesKey(line, keys.types)) return KeyTurn::kNotTaken;
    keys.types = lf_upper(keys.types);
    return KeyTurn::kTaken;
  }
  if (!lf_hasParkingTypesKey(line)) return KeyTurn::kNotTaken;
  lf_addIncompleteSection(
      fmt::format("{} {} has more than one atc_parking_types key", folder, header));
  return KeyTurn::kEndSection;
}

KeyTurn lf_atcIdTurn(const std::string& line, SectionKeys& keys, const std::string& folder,
                     const std::string& header, bool mtl) {
  if (!keys.atcid.empty()) {
    if (!lf_hasAtcIdKey(line)) return KeyTurn::kNotTaken;
    lf_addIncompleteSection(fmt::format("{}, {}, has more than one atc_id key", folder, header));
    return KeyTurn::kEndSection;
  }
  std::string value;
  if (!lf_atcIdKey(line, value)) return KeyTurn::kNotTaken;
  keys.atcid = mtl ? lf_checkMtlAtcId(value, keys.title) : lf_checkAtcId(value, keys.title);
  return KeyTurn::kTaken;
}

// Reads the key lines of a section; false when a rule ended the section.
bool lf_readKeys(const std::vector<std::string>& lines, SectionKeys& keys,
                 const std::string& cfgPath, const std::string& folder, bool mtl) {
  const std::string header = lf_headerText(lines);
  for (const std::string& line : lines) {
    KeyTurn turn = lf_titleTurn(line, keys, folder, header);
    if (turn == KeyTurn::kNotTaken && !mtl)
      turn = lf_parkingCodesTurn(line, keys, cfgPath, folder, header);
    if (turn == KeyTurn::kNotTaken) turn = lf_parkingTypesTurn(line, keys, folder, header);
    if (turn == KeyTurn::kNotTaken) turn = lf_atcIdTurn(line, keys, folder, header, mtl);
    if (turn == KeyTurn::kEndSection) return false;
    if (turn == KeyTurn::kTaken) continue;
    if (keys.model.empty() && lf_modelKey(line, keys.model)) continue;
    if (keys.sim.empty() && lf_simKey(line, keys.sim)) continue;
    if (keys.texture.empty()) lf_textureKey(line, keys.texture);
  }
  return true;
}

void lf_processOrdinary(std::list<Livery>& result, std::int32_t priority,
                        std::vector<std::string>& lines, const std::string& type,
                        const std::string& cfgPath, const std::string& folder,
                        FolderChecks& checks) {
  lf_dropTrailingLines(lines);
  if (lines.empty()) return;
  const std::string header = lf_headerText(lines);
  SectionKeys keys;
  if (!lf_readKeys(lines, keys, cfgPath, folder, false)) return;
  if (!lf_checkFolders(keys, folder, header, false, checks)) return;
  if (keys.title.empty()) {
    lf_addIncompleteSection(fmt::format("{} {} misses title", folder, header));
    return;
  }
  if (lf_isDontUseTitle(keys.title)) return;
  if (keys.code == g_genericAirline) keys.atcid.clear();
  std::string airl;
  if (!keys.code.empty()) {
    airl = keys.code;
  } else if (!keys.atcid.empty()) {
    if (std::optional<std::string> fromReg = lf_airlineOfReg(keys.atcid, folder, header)) {
      if (fromReg->empty()) return;
      airl = *fromReg;
    } else if (lf_isLargeOrHeavy(type)) {
      lf_addIncompleteSection(fmt::format(
          "\"{}\" \"{}\" has no airline and its regcode is not in my dbase (very old liv?)", folder,
          header));
      return;
    } else {
      airl = kPrivateAirline;
    }
  } else if (lf_isLargeOrHeavy(type)) {
    lf_addIncompleteSection(
        fmt::format("\"{}\" \"{}\" has no airline and no regcode info", folder, header));
    return;
  } else {
    airl = kPrivateAirline;
    keys.atcid = gf_findPvtReg(keys.title);
  }
  const bool cargo = keys.types.find("CARGO") != std::string::npos;
  Livery made = lf_makeLivery(priority, airl, type, cargo ? 0 : 1, keys.title, keys.atcid);
  if (made.airl.empty()) {
    lf_addIncompleteSection(
        fmt::format("{} {} title \"{}\" already exists", folder, header, keys.title));
    return;
  }
  result.push_back(std::move(made));
}

// Whole title, letters in any case: the type code, blanks, three word characters, anything.
bool lf_airlineFromTitle(const std::string& type, const std::string& title, std::string& airl) {
  if (title.size() < type.size()) return false;
  for (std::size_t i = 0; i < type.size(); ++i) {
    if (gf_asciiUpper(title[i]) != gf_asciiUpper(type[i])) return false;
  }
  std::size_t pos = type.size();
  while (pos < title.size() && (title[pos] == ' ' || (title[pos] >= '\t' && title[pos] <= '\r')))
    ++pos;
  constexpr std::size_t kAirlineLength = 3;
  if (title.size() - pos < kAirlineLength) return false;
  for (std::size_t i = pos; i < pos + kAirlineLength; ++i) {
    const char c = title[i];
    if (!gf_isAsciiAlpha(c) && !gf_isAsciiDigit(c) && c != '_') return false;
  }
  if (title.find_first_of("\r\n", pos + kAirlineLength) != std::string::npos) return false;
  airl = title.substr(pos, kAirlineLength);
  return true;
}

}  // namespace

bool FolderChecks::existsAs(const std::string& folder, const std::string& name, bool isFolder) {
  if (folder != m_folder) {
    m_known.clear();
    m_folder = folder;
  }
  std::pair<std::string, bool> key{name, isFolder};
  const auto known = m_known.find(key);
  if (known != m_known.end()) return known->second;
  const auto test = [isFolder](const fs::path& candidate) {
    return isFolder ? fs::is_directory(candidate) : fs::is_regular_file(candidate);
  };
  const fs::path path = lf_entryPath(folder, name);
  bool exists = test(path);
  if (!exists) {
    const fs::path resolved = gf_resolvePathCase(path);
    exists = resolved != path && test(resolved);
  }
  m_known.emplace(std::move(key), exists);
  return exists;
}

void lf_procesFltSimSection(std::list<Livery>& result, std::int32_t priority,
                            std::vector<std::string>& lines, const std::string& type,
                            const std::string& cfgPath, const std::string& folder,
                            FolderChecks& checks) {
  try {
    lf_processOrdinary(result, priority, lines, type, cfgPath, folder, checks);
  } catch (const std::exception& e) {
    gf_log(fmt::format("exception in lf_procesFltSimSection: {}, file: {}", e.what(), cfgPath));
    throw;
  }
}

Livery lf_procesMtlFltSimSection(std::int32_t priority, std::vector<std::string>& lines,
                                 const std::string& type, const std::string& cfgPath,
                                 const std::string& folder, FolderChecks& checks) {
  lf_dropTrailingLines(lines);
  if (lines.empty()) return {};
  const std::string header = lf_headerText(lines);
  SectionKeys keys;
  if (!lf_readKeys(lines, keys, cfgPath, folder, true)) return {};
  if (!lf_checkFolders(keys, folder, header, true, checks)) return {};
  if (keys.title.empty()) {
    lf_addIncompleteSection(fmt::format("{} {} misses title", folder, header));
    return {};
  }
  if (lf_isDontUseTitle(keys.title)) return {};
  std::string airl;
  if (lf_airlineFromTitle(type, keys.title, airl)) {
    if (!gf_isKnownAirline(airl)) {
      lf_addInvalidAirlineCode(airl, cfgPath, header);
      return {};
    }
    if (airl == g_genericAirline) keys.atcid.clear();
  } else if (!keys.atcid.empty()) {
    std::optional<std::string> fromReg = lf_airlineOfReg(keys.atcid, folder, header);
    if (!fromReg) {
      lf_addIncompleteSection(
          fmt::format("{} {} misses airlinecode in title: {}, and regcode unknown", folder, header,
                      keys.title) +
          keys.atcid);
      return {};
    }
    if (fromReg->empty()) return {};
    airl = *fromReg;
  } else {
    lf_addIncompleteSection(fmt::format("{} {} misses airlinecode in title: {}, and no regcode",
                                        folder, header, keys.title));
    return {};
  }
  Livery made = lf_makeLivery(priority, airl, type, 1, keys.title, keys.atcid);
  if (made.airl.empty()) {
    lf_addIncompleteSection(
        fmt::format("{} {} title already exists: {}", folder, header, keys.title));
  }
  return made;
}

Livery lf_makeLivery(std::int32_t priority, const std::string& airl, const std::string& type,
                     int cargoTest, const std::string& title, const std::string& atcid) {
  if (airl.empty()) return {};  // a rejected section must not claim its title
  {
    std::lock_guard lock(g_seenTitlesMutex);
    if (!g_seenTitles.insert(title).second) return {};
  }
  Livery livery;
  livery.airl = airl;
  livery.type = type;
  livery.title = title;
  livery.atcid = atcid;
  livery.priority = priority;
  livery.cargo = cargoTest == 0;
  return livery;
}

bool lf_isDontUseTitle(const std::string& title) {
  return std::find(g_dontUseTitles.begin(), g_dontUseTitles.end(), title) != g_dontUseTitles.end();
}

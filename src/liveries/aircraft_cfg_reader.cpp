// Key lines, section headers, numbering check, type code and section collection of one
// aircraft.cfg. Scan tasks (many at once); see aircraft_cfg_reader.h.

#include "liveries/aircraft_cfg_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

#include "foundation/log.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "liveries/aircraft_database.h"
#include "liveries/fltsim_section.h"
#include "liveries/scan_reports.h"
#include "platform/paths.h"

namespace {

// The blanks of the key patterns: ' ', '\t', '\n', '\v', '\f', '\r'.
bool lf_isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool lf_isWordChar(char c) {
  return gf_isAsciiAlpha(c) || gf_isAsciiDigit(c) || c == '_';
}

// Case-insensitive (ASCII) equality of text with an all-lower-case word.
bool lf_equalsLower(std::string_view text, std::string_view lowerWord) {
  if (text.size() != lowerWord.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerWord[i]) return false;
  }
  return true;
}

std::size_t lf_skipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && lf_isBlank(text[pos])) ++pos;
  return pos;
}

// Assigns the value of the key when there is one.
bool lf_takeKey(std::string_view line, std::string_view key, std::string& value) {
  std::string found = lf_matchKey(line, key);
  if (found.empty()) return false;
  value = std::move(found);
  return true;
}

// Known type, fixed type (with its "Model fix" line) or an invalid model code line.
std::string lf_checkTypeCode(const std::string& code, const std::string& cfgPath) {
  if (g_dbaseTypes.contains(code)) return code;
  if (auto fix = g_dbaseFixes.find(code); fix != g_dbaseFixes.end()) {
    lf_addCodeFix(
        fmt::format("Model fix: {} found in {} changed into {}", code, cfgPath, fix->second));
    return fix->second;
  }
  lf_addInvalidModelCode(code, cfgPath);
  return {};
}

// The IVAO folder code shortened to the type it stands for.
std::string lf_shortenIvaoCode(std::string code) {
  static const char* const kGliders[] = {"GLID_SH",  "GLID_A13", "GLID_A25",
                                         "GLID_KA6", "GLID_KA8", "GLID_L13"};
  if (!code.empty() && code.back() == 'w')
    code.pop_back();
  else if (code == "B744F" || code == "T154M")
    code.pop_back();
  else if (code == "T154B2")
    code.resize(code.size() - 2);
  else if (std::find(std::begin(kGliders), std::end(kGliders), code) != std::end(kGliders))
    code = "GLID";
  return code;
}

// Hands the running section, when there is one, to the section processing.
void lf_flushSection(SectionCollector& state, bool mtl) {
  if (state.lines.empty()) return;
  if (mtl) {
    Livery livery = lf_procesMtlFltSimSection(state.priority, state.lines, state.type,
                                              state.cfgPath, state.folder, state.checks);
    if (!livery.airl.empty()) state.destination->push_back(std::move(livery));
  } else {
    std::list<Livery> made;
    lf_procesFltSimSection(made, state.priority, state.lines, state.type, state.cfgPath,
                           state.folder, state.checks);
    state.destination->merge(made);
  }
  state.lines.clear();  // keeps its room for the next section
}

void lf_step(SectionCollector& state, const std::string& line, bool mtl) {
  if (!lf_fltsimNumber(line).empty()) {
    lf_flushSection(state, mtl);
    state.inSection = true;
    state.lines.push_back(line);
    return;
  }
  const std::size_t bracket = line.find('[');
  // Any other section header ends the running section: in an ordinary file a '[' among the
  // first six characters, in an IVAO model-set file a '[' anywhere.
  constexpr std::size_t kHeaderBracketLimit = 6;
  if (bracket != std::string::npos && (mtl || bracket < kHeaderBracketLimit)) {
    if (state.inSection) {
      lf_flushSection(state, mtl);
      state.inSection = false;
    }
    return;
  }
  if (state.inSection) state.lines.push_back(line);
}

}  // namespace

std::string lf_matchKey(std::string_view line, std::string_view key) {
  std::size_t pos = lf_skipBlanks(line, 0);
  if (line.size() - pos < key.size() || !lf_equalsLower(line.substr(pos, key.size()), key)) {
    return {};
  }
  pos = lf_skipBlanks(line, pos + key.size());
  if (pos >= line.size() || line[pos] != '=') return {};
  pos = lf_skipBlanks(line, pos + 1);
  std::size_t end = line.size();
  while (end > pos && lf_isBlank(line[end - 1])) --end;
  if (end <= pos) return {};  // the value needs a character that is not blank
  std::string_view value = line.substr(pos, end - pos);
  if (value.find_first_of("\r\n") != std::string_view::npos) return {};
  return std::string(value);
}

bool lf_titleKey(std::string_view line, std::string& value) {
  return lf_takeKey(line, "title", value);
}
bool lf_simKey(std::string_view line, std::string& value) {
  return lf_takeKey(line, "sim", value);
}
bool lf_modelKey(std::string_view line, std::string& value) {
  return lf_takeKey(line, "model", value);
}
bool lf_textureKey(std::string_view line, std::string& value) {
  return lf_takeKey(line, "texture", value);
}
bool lf_atcIdKey(std::string_view line, std::string& value) {
  return lf_takeKey(line, "atc_id", value);
}
bool lf_parkingTypesKey(std::string_view line, std::string& value) {
  return lf_takeKey(line, "atc_parking_types", value);
}

bool lf_parkingCodesKey(std::string_view line, std::string& value) {
  std::string found = lf_matchKey(line, "atc_parking_codes");
  if (found.empty()) return false;
  std::vector<std::string> pieces = gf_splitCommaTrimmed(found);
  value = pieces.empty() ? std::string{} : pieces.front();
  return true;
}

std::string lf_atcModelKey(std::string_view line) {
  return lf_matchKey(line, "atc_model");
}

bool lf_hasAtcIdKey(std::string_view line) {
  return line.find("atc_id=") != std::string_view::npos;
}

bool lf_hasParkingTypesKey(std::string_view line) {
  return line.find("atc_parking_types") != std::string_view::npos;
}

std::string lf_fltsimNumber(std::string_view line) {
  if (line.size() >= 2 && line.starts_with("//")) return {};
  // Whole line: blanks, "[fltsim." in any case, digits, ']', blanks.
  constexpr std::string_view kOpen = "[fltsim.";
  std::size_t pos = lf_skipBlanks(line, 0);
  if (line.size() - pos > kOpen.size() && lf_equalsLower(line.substr(pos, kOpen.size()), kOpen)) {
    const std::size_t digits = pos + kOpen.size();
    std::size_t end = digits;
    while (end < line.size() && gf_isAsciiDigit(line[end])) ++end;
    if (end > digits && end < line.size() && line[end] == ']' &&
        lf_skipBlanks(line, end + 1) == line.size()) {
      return std::string(line.substr(digits, end - digits));
    }
  }
  if (line.find("[fltsim.") != std::string_view::npos ||
      line.find("[FLTSIM.") != std::string_view::npos) {
    return std::string(kMalformedFltsimNumber);
  }
  return {};
}

bool lf_checkFltsimNumbers(const std::vector<std::string>& lines, const std::string& cfgPath) {
  std::vector<std::int32_t> numbers;
  for (const std::string& line : lines) {
    const std::string text = lf_fltsimNumber(line);
    if (text.empty()) continue;
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc{} || end != text.data() + text.size()) {
      gf_logError(fmt::format("fltsim num {} incorrect", line));
      return false;
    }
    numbers.push_back(number);
  }
  if (numbers.empty()) {
    lf_addCfgWithoutFltsim(cfgPath);
    return true;
  }
  std::sort(numbers.begin(), numbers.end());
  std::int32_t expected = 0;
  for (std::int32_t number : numbers) {
    if (number == expected) {
      ++expected;
      continue;
    }
    const std::string message =
        number == 10000 ? std::string("a [fltsim.] section without a number")
                        : fmt::format("non-consecutive [fltsim.x] numbers at .x={}", number);
    lf_addInvalidCfgFile(cfgPath + " contains " + message);
    return false;
  }
  return true;
}

std::string lf_modelFromAtcModel(const std::string& cfgPath,
                                 const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::string value = lf_atcModelKey(line);
    if (!value.empty()) return lf_checkTypeCode(value, cfgPath);
  }
  lf_addInvalidCfgFile("Line atc_model= is missing in [General] section of " + cfgPath);
  return {};
}

std::string lf_ivaoModelFromPath(const std::string& cfgPath) {
  // ...<sep>IVAO_MTL<sep>IVAO_<word characters><sep>aircraft?cfg, letters in any case.
  const std::string_view path = cfgPath;
  const std::size_t fileSep = path.find_last_of("\\/");
  std::string code;
  bool matches = false;
  if (fileSep != std::string_view::npos && fileSep > 0) {
    const std::string_view file = path.substr(fileSep + 1);
    const std::size_t folderSep = path.find_last_of("\\/", fileSep - 1);
    const bool fileOk = file.size() == 12 && lf_equalsLower(file.substr(0, 8), "aircraft") &&
                        file[8] != '\n' && file[8] != '\r' && lf_equalsLower(file.substr(9), "cfg");
    if (fileOk && folderSep != std::string_view::npos && folderSep > 0) {
      const std::string_view folder = path.substr(folderSep + 1, fileSep - folderSep - 1);
      const std::size_t mtlSep = path.find_last_of("\\/", folderSep - 1);
      const bool folderOk = folder.size() > 5 && lf_equalsLower(folder.substr(0, 5), "ivao_") &&
                            std::all_of(folder.begin() + 5, folder.end(), lf_isWordChar);
      if (folderOk && mtlSep != std::string_view::npos && mtlSep > 0 &&
          lf_equalsLower(path.substr(mtlSep + 1, folderSep - mtlSep - 1), "ivao_mtl")) {
        code = std::string(folder.substr(5));
        matches = true;
      }
    }
  }
  if (!matches) {
    lf_addInvalidModelCode("  ", cfgPath);
    return {};
  }
  return lf_checkTypeCode(lf_shortenIvaoCode(std::move(code)), cfgPath);
}

bool lf_readCfgLines(const std::string& cfgPath, std::vector<std::string>& lines,
                     bool logNoCharset) {
  const int encoding = gf_textFileEncoding(gf_pathFromUtf8(cfgPath));
  if (encoding == kTextCannotOpen) {
    if (logNoCharset) gf_logError(fmt::format("no character set found for {}", cfgPath));
    return false;
  }
  lines.reserve(kCfgLinesReserve);
  return gf_readTextFileToStringVector(encoding, gf_pathFromUtf8(cfgPath), lines);
}

void lf_lineStep(SectionCollector& state, const std::string& line) {
  lf_step(state, line, false);
}

void lf_mtlLineStep(SectionCollector& state, const std::string& line) {
  lf_step(state, line, true);
}

void lf_finishSections(SectionCollector& state, bool mtl) {
  if (state.inSection) lf_flushSection(state, mtl);
  state.inSection = false;
}

std::string lf_folderOf(const std::string& pathText) {
  const std::size_t sep = pathText.find_last_of("\\/");
  return sep == std::string::npos ? std::string{} : pathText.substr(0, sep);
}

// The hand-written line matchers of the aircraft.cfg reader against the regular expressions they
// stand for: key lines, [fltsim.N] headers, the IVAO model-set folder pattern and the airline at
// the start of an IVAO title. Lines are built at random (fixed seed) from the pieces that make
// the matchers' decisions: blanks of every kind, letter case, '=', brackets, digits, comments,
// line ends inside a line and bytes above 127.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "fixtures/ai_package_writer.h"
#include "liveries/aircraft_cfg_reader.h"
#include "liveries/aircraft_database.h"
#include "liveries/fltsim_section.h"
#include "liveries/liveries_test_support.h"
#include "liveries/scan_reports.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::LiveriesEnv;

constexpr int kLinesPerKey = 6000;

// A line of 0 to 7 pieces drawn from the list.
std::string lf_randomLine(std::mt19937& rng, const std::vector<std::string>& pieces) {
  std::uniform_int_distribution<int> count(0, 7);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string line;
  for (int n = count(rng); n > 0; --n) line += pieces[pick(rng)];
  return line;
}

std::regex lf_icase(const std::string& pattern) {
  return std::regex(pattern, std::regex::ECMAScript | std::regex::icase);
}

// Group 2 of a whole-line match, "" without one.
std::string lf_regexGroup2(const std::string& line, const std::regex& pattern) {
  std::smatch match;
  if (!std::regex_match(line, match, pattern) || !match[2].matched) return {};
  return match[2].str();
}

TEST(ReviewKeyPatterns, KeyLinesAgreeWithTheirPatterns) {
  const std::vector<std::string> keys = {"title",
                                         "sim",
                                         "model",
                                         "texture",
                                         "atc_model",
                                         "atc_id",
                                         "atc_parking_codes",
                                         "atc_parking_types"};
  std::mt19937 rng(20261206);
  for (const std::string& key : keys) {
    std::string upper = key;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::vector<std::string> pieces = {
        key,       upper,       key.substr(0, 1) + upper.substr(1),
        key + "s", " ",         "\t",
        "\r",      "\n",        "\v",
        "\f",      "=",         "==",
        "X",       "My Livery", ";",
        "//",      ";old",      "[",
        "]",       "\xc3\xa9",  "\xa0",
        "\x85",    "_",         "0"};
    const std::regex pattern = lf_icase("\\s*(" + key + ")\\s*=\\s*(.*\\S)\\s*");
    for (int i = 0; i < kLinesPerKey; ++i) {
      const std::string line = lf_randomLine(rng, pieces);
      ASSERT_EQ(lf_matchKey(line, key), lf_regexGroup2(line, pattern))
          << "key " << key << ", line [" << line << "]";
    }
  }
}

TEST(ReviewKeyPatterns, SectionHeadersAgreeWithTheirPattern) {
  const std::vector<std::string> pieces = {
      "[fltsim.", "[FLTSIM.", "[FltSim.", "[fltsim", "fltsim.", "[",  "]",  "0", "7",
      "12",       "x",        " ",        "\t",      "\r",      "\n", "//", "/", "99999999999"};
  const std::regex header = lf_icase("\\s*(\\[fltsim\\.)(\\d+)\\]\\s*");
  std::mt19937 rng(7);
  for (int i = 0; i < 4 * kLinesPerKey; ++i) {
    const std::string line = lf_randomLine(rng, pieces);
    std::string expected;
    if (line.size() >= 2 && line.starts_with("//")) {
      expected = "";
    } else if (std::smatch match; std::regex_match(line, match, header)) {
      expected = match[2].str();
    } else if (line.find("[fltsim.") != std::string::npos ||
               line.find("[FLTSIM.") != std::string::npos) {
      expected = "10000";
    }
    ASSERT_EQ(lf_fltsimNumber(line), expected) << "line [" << line << "]";
  }
}

// The folder code an IVAO model-set path stands for, shortened as the reader shortens it.
std::string lf_shortened(std::string code) {
  static const std::vector<std::string> gliders = {"GLID_SH",  "GLID_A13", "GLID_A25",
                                                   "GLID_KA6", "GLID_KA8", "GLID_L13"};
  if (!code.empty() && code.back() == 'w') {
    code.pop_back();
  } else if (code == "B744F" || code == "T154M") {
    code.pop_back();
  } else if (code == "T154B2") {
    code.resize(code.size() - 2);
  } else if (std::find(gliders.begin(), gliders.end(), code) != gliders.end()) {
    code = "GLID";
  }
  return code;
}

TEST(ReviewKeyPatterns, IvaoModelSetPathsAgreeWithTheirPattern) {
  LiveriesEnv env;
  const std::vector<std::string> pieces = {
      "C:",           "\\",       "IVAO_MTL",   "ivao_mtl", "IVAO_", "ivao_",        "B738w",
      "T154B2",       "GLID_KA8", "B744F",      "A320",     "x y",   "aircraft.cfg", "Aircraft.CFG",
      "aircraftXcfg", "sim.cfg",  "ivao_x-csl", "-"};  // Windows names hold no line ends
  const std::regex ivao = lf_icase(".+\\\\IVAO_MTL\\\\IVAO_(\\w+)\\\\aircraft.cfg$");
  std::mt19937 rng(11);
  int matched = 0;
  for (int i = 0; i < 4 * kLinesPerKey; ++i) {
    // Most random paths miss the pattern; every other one is given its tail.
    std::string path = lf_randomLine(rng, pieces);
    if (i % 2 == 0)
      path += "\\IVAO_MTL\\IVAO_" + lf_randomLine(rng, {"B738", "w", "_", "F"}) + "\\" +
              (i % 4 == 0 ? "aircraft.cfg" : "AIRCRAFT.Cfg");
    std::smatch match;
    std::string expected;
    if (std::regex_match(path, match, ivao)) {
      expected = lf_shortened(match[1].str());
      // A known type: the code itself is the result. A folder "IVAO_w" shortens to nothing,
      // which no database knows.
      if (!expected.empty()) g_dbaseTypes.insert(expected);
      ++matched;
    }
    g_invalidModelCodes.clear();
    ASSERT_EQ(lf_ivaoModelFromPath(path), expected) << "path [" << path << "]";
    ASSERT_EQ(g_invalidModelCodes.size(), expected.empty() ? 1u : 0u) << "path [" << path << "]";
  }
  EXPECT_GT(matched, 1000);  // the generator reaches both outcomes
}

// The airline of an IVAO title: the file's type code, blanks, three word characters, anything.
TEST(ReviewKeyPatterns, IvaoTitleAirlineAgreesWithItsPattern) {
  LiveriesEnv env;
  const std::string folder = gf_pathToUtf8(env.path() / "IVAO_B738");
  fs::create_directories(gf_pathFromUtf8(folder) / "model");
  fs::create_directories(gf_pathFromUtf8(folder) / "texture");
  fixtures::writeFileBytes(gf_pathFromUtf8(folder) / ".air", "");
  const std::vector<std::string> pieces = {"B738", "b738", "B73",      " ",        "\t", "\r",
                                           "\n",   "DLH",  "dlh",      "D",        "L",  "_",
                                           "1",    "-",    "\xc3\xa9", "Lufthansa"};
  const std::regex title = lf_icase("B738\\s*(\\w\\w\\w).*$");
  std::mt19937 rng(3);
  int taken = 0;
  for (int i = 0; i < 2 * kLinesPerKey; ++i) {
    const std::string text = (i % 2 == 0 ? "B738" : "") + lf_randomLine(rng, pieces);
    std::smatch match;
    const bool matches = std::regex_match(text, match, title);
    if (matches) g_dbaseIcaoAirlines.insert(match[1].str());
    g_seenTitles.clear();
    g_incompleteSections.clear();
    std::vector<std::string> lines = {"[fltsim.0]", "title=" + text};
    FolderChecks checks;
    const Livery made =
        lf_procesMtlFltSimSection(1, lines, "B738", folder + "\\aircraft.cfg", folder, checks);
    // A title the key line cannot carry (blank, or broken by a line end) is no title at all.
    std::string keyTitle;
    if (!lf_titleKey(lines[1], keyTitle)) continue;
    if (keyTitle != text) continue;  // blanks around the value are not part of the title
    if (matches) {
      ASSERT_EQ(made.airl, match[1].str()) << "title [" << text << "]";
      ++taken;
    } else {
      ASSERT_TRUE(made.airl.empty()) << "title [" << text << "]";
      ASSERT_EQ(g_incompleteSections.size(), 1u) << "title [" << text << "]";
    }
  }
  EXPECT_GT(taken, 500);
}

}  // namespace

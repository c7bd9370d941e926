// Reading a generated, scrambled aircraft database from a local download server: the tables
// hold what was put in, broken databases fail with their codes and texts, and the files are
// left as they should be.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "fixtures/ai_package_writer.h"
#include "fixtures/dbase_builder.h"
#include "fixtures/dbase_scrambler.h"
#include "foundation/download.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "liveries/liveries.h"
#include "liveries/liveries_test_support.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::contains;
using liveries_test::thrownText;

double halfNm(double metres) {
  return metres * 0.5 / 1852.0;
}

// Stored codes may hold '<' and '>', which raw XML items must escape.
std::string xmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
  return out;
}

fixtures::DbaseContent testWorld() {
  fixtures::DbaseContent c;
  c.types = {"A319", "A320", "A321", "B738", "B744", "B77W", "A3ST",
             "C172", "PA28", "C56X", "EC35", "R44",  "F16",  "MD11"};
  c.large = {"A319", "A320", "A321", "B738"};
  c.heavy = {"B744", "B77W", "A3ST", "MD11", "B738"};  // B738 also Large: Large wins
  c.buzjet = {"C56X"};
  c.rotorcraft = {"EC35", "R44"};
  // Blanks around a code are dropped; two commas in a row give an empty code.
  c.rawItems["rotorcraft"] = {"<rot types=\" " + xmlEscaped(fixtures::scrambleType("S76")) +
                              " ,, \"/>"};
  c.highPerf = {"F16"};
  c.cargoTypes = {"A3ST"};
  c.similarGroups = {{"A321", "A319", "A320"}, {"B77W", "B744"}};
  c.icaoAirlines = {"BAW", "DLH", "EZY", "FDX", "KLM", "PVT"};
  c.cargoOperators = {"FDX"};
  c.publishers = {"Pub One, p1 ,p_one", "Pub Two,p2", "Pub One, p1 ,p_one"};
  c.wingspans = {{"A320", "35.8"}, {"A319", "34.1"}, {"B744", "64.4"}, {"B744", "99.0"},
                 {"C172", "11.0"}, {"MD11", "51.7"}, {"F16", "abc"}};
  c.rawItems["wingspans"] = {"<wingspan type=\"" + xmlEscaped(fixtures::scrambleType("ZZZZ")) +
                             "\" meters=\"12\"/>"};
  c.fixes = {{"B73H", "B738"}, {"B73H", "A320"}, {"X1", ""}, {"Q1", "ZZZZ"}};
  c.simaddonAirports = {"LOWW", "EGLL"};
  c.thirdParties = {{"Pub One", "EHAM, LSZH"}};
  c.regs = {
      {"G-EUPA", "BAW", "A319", "", "false"}, {"D-AIBA", "DLH", "A319", "", ""},
      {"PH-BXA", "KLM", "B738", "", "true"},  {"EIDCL", "EZY", "A320", "", "no"},
      {"N8888", "FDX", "B77W", "", "1"},      {"N12A", "PVT", "C172", "", ""},
      {"N45X", "PVT", "PA28", "", ""},        {"G-ABCD", "PVT", "C172", "", ""},
      {"D-EFGH", "", "C172", "", ""},         {"OE-LBA", "EZY", "A320", "DLH", "Yes"},
      {"G-EUPA", "EZY", "A320", "", ""},
  };
  // A plain airline code is taken as it stands, with a warning.
  c.rawItems["dbase"] = {"<db reg=\"" + xmlEscaped(fixtures::scrambleReg("G-EZAA")) +
                         "\" airl=\"EZY\" type=\"" + xmlEscaped(fixtures::scrambleType("A319")) +
                         "\"/>"};
  return c;
}

class DbaseRead : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.running()) << "the local HTTP server could not be started"; }
  void serve(const fixtures::DbaseContent& content) {
    fixtures::writeDbaseZip(server_.folder(), content);
  }

  liveries_test::LiveriesEnv env_;
  liveries_test::DownloadServer server_;
};

TEST_F(DbaseRead, TablesHoldWhatWasPutIn) {
  serve(testWorld());
  ASSERT_TRUE(gf_readDbase());

  EXPECT_EQ(g_dbaseTypes.size(), 14u);
  EXPECT_EQ(g_dbaseCargoTypes, std::set<std::string>{"A3ST"});
  EXPECT_EQ(g_dbaseRotorcraft, (std::set<std::string>{"", "EC35", "R44", "S76"}));
  EXPECT_FALSE(gf_isKnownType(""));
  ASSERT_EQ(g_dbaseSimilarGroups.size(), 2u);
  EXPECT_EQ(g_dbaseSimilarGroups[0], (std::vector<std::string>{"A319", "A320", "A321"}));
  EXPECT_EQ(g_dbaseSimilarGroups[1], (std::vector<std::string>{"B744", "B77W"}));
  EXPECT_EQ(g_dbaseIcaoAirlines, (std::set<std::string>{"BAW", "DLH", "EZY", "FDX", "KLM", "PVT"}));
  EXPECT_EQ(g_dbaseCargoOperators, std::set<std::string>{"FDX"});
  ASSERT_EQ(g_dbasePublishers.size(), 2u);  // the repeated "names" text gives one group
  EXPECT_EQ(g_dbasePublishers[0], (std::vector<std::string>{"Pub One", "p1", "p_one"}));
  EXPECT_EQ(g_dbasePublishers[1], (std::vector<std::string>{"Pub Two", "p2"}));
  EXPECT_EQ(g_dbaseFixes, (std::unordered_map<std::string, std::string>{{"B73H", "B738"}}));
  EXPECT_EQ(g_dbaseSimaddonAirports, (std::set<std::string>{"EGLL", "LOWW"}));
  ASSERT_EQ(g_dbaseThirdParties.size(), 1u);
  EXPECT_EQ(g_dbaseThirdParties[0].pub, "Pub One");
  EXPECT_EQ(g_dbaseThirdParties[0].arpts, (std::vector<std::string>{"EHAM", "LSZH"}));

  const std::pair<const char*, std::uint32_t> categories[] = {
      {"B738", 2}, {"B744", 3}, {"C56X", 1}, {"F16", 4}, {"R44", 5}, {"C172", 0}, {"XXXX", 0}};
  for (const auto& [type, category] : categories) EXPECT_EQ(gf_typeCategory(type), category);
  EXPECT_TRUE(gf_isKnownAirline("KLM"));
  EXPECT_FALSE(gf_isKnownAirline("AUA"));

  // Items that cannot be used are skipped with their error lines.
  const std::string log = env_.log();
  for (const char* line :
       {"===> wingspan model ZZZZ is no valid model, skipped\n",
        "===> wrong part of fix: \"B73H\", already exists, skipped\n",
        "===> wrong fix X1->, the latter is not a valid model\n",
        "===> wrong fix Q1->ZZZZ, the latter is not a valid model\n",
        "===> regcode G-EUPA already exists\n", "===> Unencrypted airline EZY in decrypt airl?\n"})
    EXPECT_TRUE(contains(log, line)) << line;
}

// Every category gets a finite default half span: one without entries of its own takes the
// mean of all entries.
TEST_F(DbaseRead, WingspansAndCategoryDefaults) {
  serve(testWorld());
  ASSERT_TRUE(gf_readDbase());

  EXPECT_DOUBLE_EQ(g_dbaseWingspans.at("B744"), 64.4);  // the repeated entry is ignored ...
  EXPECT_DOUBLE_EQ(g_maxHalfWingspanNm, halfNm(99.0));  // ... but counts for the largest
  EXPECT_DOUBLE_EQ(g_dbaseWingspans.at("F16"), 0.0);    // not a number
  EXPECT_FALSE(g_dbaseWingspans.contains("ZZZZ"));

  EXPECT_NEAR(gf_wingspan("A320"), halfNm(35.8), 1e-12);
  EXPECT_NEAR(gf_wingspan("A321"), (halfNm(35.8) + halfNm(34.1)) / 2, 1e-12);  // Large mean
  EXPECT_NEAR(gf_wingspan("B77W"), (halfNm(64.4) + halfNm(51.7)) / 2, 1e-12);
  EXPECT_NEAR(gf_wingspan("XXXX"), halfNm(11.0), 1e-12);  // unknown: Light
  const double allMean =
      (halfNm(35.8) + halfNm(34.1) + halfNm(64.4) + halfNm(11.0) + halfNm(51.7) + 0.0) / 6;
  EXPECT_NEAR(gf_wingspan("C56X"), allMean, 1e-12);  // Buzjets and Rotorcraft have no entry
  EXPECT_NEAR(gf_wingspan("EC35"), allMean, 1e-12);
  for (double d : g_defaultWingspan) EXPECT_TRUE(std::isfinite(d));
}

TEST_F(DbaseRead, RegistrationsFoundThroughTheirWrittenVariants) {
  serve(testWorld());
  ASSERT_TRUE(gf_readDbase());

  EXPECT_EQ(gf_airlFromReg("GEUPA"), "BAW");  // first entry of G-EUPA kept
  EXPECT_EQ(gf_typeFromReg("G-EUPA"), "A319");
  EXPECT_EQ(gf_airlFromReg("PHBXA"), "KLM");
  EXPECT_EQ(gf_airlFromReg("EIDCL"), "EZY");  // stored without hyphen
  EXPECT_EQ(gf_airlFromReg("EI-DCL"), "");
  EXPECT_EQ(gf_oprFromReg("OELBA"), "DLH");
  EXPECT_EQ(gf_oprFromReg("G-EUPA"), "");
  EXPECT_EQ(gf_airlFromReg("G-EZAA"), "EZY");  // plain airline code in the file
  EXPECT_EQ(gf_typeFromReg("N8888"), "B77W");

  const std::pair<const char*, bool> cargo[] = {
      {"N8888", true}, {"PH-BXA", true}, {"OE-LBA", true}, {"EIDCL", false}, {"G-EUPA", false}};
  for (const auto& [reg, isCargo] : cargo) EXPECT_EQ(gf_regInfo(reg)->cargo, isCargo) << reg;
  const auto noAirline = gf_regInfo("D-EFGH");
  ASSERT_TRUE(noAirline);
  EXPECT_EQ(noAirline->airl, "");
  EXPECT_EQ(noAirline->type, "C172");
  EXPECT_FALSE(gf_regInfo("ZZ-ZZZ"));

  // Private registrations: searched in ascending order, only those shorter than five.
  EXPECT_EQ(g_dbasePvtRegs, (std::vector<std::string>{"N12A", "N45X"}));
  EXPECT_EQ(gf_findPvtReg("Cessna 172 N45X private N12A"), "N12A");
  EXPECT_EQ(gf_findPvtReg("Diamond G-ABCD"), "");
}

TEST_F(DbaseRead, MissingOptionalSectionsLeaveTablesEmptyWithoutMessage) {
  fixtures::DbaseContent c = testWorld();
  c.omittedSections = {"similar_types", "publishers",      "wingspans",
                       "fixes",         "thirdpartiesP3D", "dbase"};
  serve(c);
  ASSERT_TRUE(gf_readDbase());
  EXPECT_TRUE(g_dbaseSimilarGroups.empty());
  EXPECT_TRUE(g_dbasePublishers.empty());
  EXPECT_TRUE(g_dbaseWingspans.empty());
  EXPECT_TRUE(g_dbaseFixes.empty());
  EXPECT_TRUE(g_dbaseThirdParties.empty());
  EXPECT_TRUE(g_dbaseRegs.empty());
  EXPECT_EQ(g_maxHalfWingspanNm, 0.0);
  for (double d : g_defaultWingspan) EXPECT_EQ(d, 0.0);  // no entries at all: defaults stay 0
  EXPECT_FALSE(contains(env_.log(), "===>")) << env_.log();
}

// One deliberately broken database and what reading it must give.
enum class Thrown { kUserError, kRuntimeError, kOutOfRange };

struct BrokenCase {
  const char* name;
  void (*breakIt)(fixtures::DbaseContent&);
  Thrown kind;
  const char* expected;  // the exception's text
};

void PrintTo(const BrokenCase& c, std::ostream* os) {
  *os << c.name;
}

using Content = fixtures::DbaseContent;
const BrokenCase kBrokenCases[] = {
    {"MissingTypes", [](Content& c) { c.omittedSections.insert("aircrafts"); }, Thrown::kUserError,
     "61: In an xml file section aircrafts aircraft types is empty "},
    {"MissingAirlines", [](Content& c) { c.omittedSections.insert("ICAO_airlines"); },
     Thrown::kUserError, "61: In an xml file section ICAO_airlines ICAO codes is empty "},
    {"MissingSimaddons", [](Content& c) { c.omittedSections.insert("simaddonsP3D"); },
     Thrown::kUserError, "61: In an xml file section simaddonsP3D simaddonP3D arpts is empty "},
    {"EmptyTypeAttributes",
     [](Content& c) {
       c.heavy.clear();
       c.rawItems["heavy"] = {"<hvy types=\"\"/>", "<hvy/>"};
     },
     Thrown::kUserError, "61: In an xml file section heavy hvy types is empty "},
    {"EmptyCargoOperators", [](Content& c) { c.cargoOperators.clear(); }, Thrown::kUserError,
     "61: In an xml file section cargo_operators ICAO codes is empty "},
    {"WrongAirlineLength",
     [](Content& c) { c.rawItems["ICAO_airlines"] = {"<ICAO codes=\"ABCD\"/>"}; },
     Thrown::kRuntimeError, "decrypt airl \"ABCD\" error"},
    {"RegistrationTooLong",
     [](Content& c) { c.rawItems["dbase"] = {"<db reg=\"" + std::string(25, 'K') + "\"/>"}; },
     Thrown::kOutOfRange, "invalid array<T, N> subscript"},
};

class DbaseBroken : public DbaseRead, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(DbaseBroken, FailsWithItsTextAndKeepsTheFile) {
  fixtures::DbaseContent c = testWorld();
  GetParam().breakIt(c);
  serve(c);
  try {
    gf_readDbase();
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().expected);
    switch (GetParam().kind) {
      case Thrown::kUserError:
        EXPECT_NE(dynamic_cast<const qvb::UserErrorException*>(&e), nullptr);
        break;
      case Thrown::kRuntimeError:
        EXPECT_NE(dynamic_cast<const std::runtime_error*>(&e), nullptr);
        break;
      case Thrown::kOutOfRange:
        EXPECT_NE(dynamic_cast<const std::out_of_range*>(&e), nullptr);
        break;
    }
  }
  EXPECT_TRUE(fs::exists("input/temp2.xml"));
}

INSTANTIATE_TEST_SUITE_P(Items, DbaseBroken, ::testing::ValuesIn(kBrokenCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(DbaseRead, MalformedOrMissingArchive) {
  EXPECT_EQ(thrownText<std::runtime_error>([] { gf_readDbase(); }),
            "data base could not be read from on-line?: downloading dbase.zip failed: HTTP status "
            "404");
  EXPECT_TRUE(g_dbaseTypes.empty());

  fixtures::writeZip(server_.folder() / "dbase.zip", "dbase.xml", "<aircrafts><aircraft types=");
  const std::string text = thrownText<qvb::UserErrorException>([] { gf_readDbase(); });
  const std::string database = fs::path("input/temp2.xml").make_preferred().string();
  EXPECT_TRUE(text.starts_with("60: \"" + database + "\" not read because of ")) << text;
  EXPECT_TRUE(fs::exists("input/temp2.xml"));
}

#ifndef _WIN32
// The run ends with the file that did not fit and the system's cause, not only a guess: first
// the archive's partial file refuses its bytes (/dev/full), then a file size limit stops the
// database text as a full disk would.
TEST_F(DbaseRead, AFullDiskIsNamedWithTheFileThatDidNotFit) {
  constexpr rlim_t kDatabaseBytes = 65536;  // the text; its archive stays small
  fixtures::DbaseContent c = testWorld();
  c.rawItems["fixes"] = {"<pad text=\"" + std::string(kDatabaseBytes, 'x') + "\"/>"};
  serve(c);
  fs::create_symlink("/dev/full", "dbase.zip.part");
  EXPECT_EQ(thrownText<std::runtime_error>([] { gf_readDbase(); }),
            "data base could not be read from on-line?: downloading dbase.zip failed: "
            "dbase.zip.part could not be written: No space left on device");

  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const rlimit limited{kDatabaseBytes / 2, saved.rlim_max};
  const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);  // a refused write, not a killed test
  ::setrlimit(RLIMIT_FSIZE, &limited);
  const std::string text = thrownText<std::runtime_error>([] { gf_readDbase(); });
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedSignal);
  const std::string cause =
      "could not write input/temp2.xml: " + std::generic_category().message(EFBIG);
  EXPECT_EQ(text,
            "data base could not be read from on-line?: unzipping dbase.zip failed: " + cause);
  EXPECT_TRUE(contains(env_.log(), "===> " + cause + "\n"));
  EXPECT_FALSE(fs::exists("input/temp2.xml"));
  EXPECT_FALSE(fs::exists("dbase.zip.part"));
}
#endif

TEST_F(DbaseRead, DemoDatabaseReadsCompletely) {
  const fixtures::DbaseContent demo = fixtures::demoDbase();
  serve(demo);
  ASSERT_TRUE(gf_readDbase());
  EXPECT_EQ(g_dbaseTypes.size(), demo.types.size());
  EXPECT_EQ(g_dbaseRegs.size(), demo.regs.size());
  EXPECT_EQ(g_dbaseIcaoAirlines.size(), demo.icaoAirlines.size());
  EXPECT_EQ(gf_typeCategory("A388"), 3u);
  EXPECT_EQ(gf_airlFromReg("GEUAB"), "BAW");
  EXPECT_GT(gf_wingspan("A318"), 0.0);  // no entry of its own: the Large mean
  EXPECT_FALSE(contains(env_.log(), "===>")) << env_.log();
}

// The reference data of one start-up read together: the database and the AIG archive served
// by the download server, and the user's regcode files in UTF-8, UTF-8 with a byte-order mark
// and UTF-16 of both byte orders beside them.
TEST_F(DbaseRead, ServedWorldWithAigArchiveAndRegcodeFilesInEveryEncoding) {
  using fixtures::CfgEncoding;
  serve(testWorld());
  fixtures::writeAigRegcodesZip(server_.folder(), {{"AIG Speedbird", {"G-EUPB", "G-EUPA"}, "false"},
                                                   {"AIG Orange", {"PH-BXA"}, "1"}});
  const fs::path dir = g_myRegcodesDir;
  fixtures::writeFileBytes(dir / "plain.txt", "My \xC3\x9C-ber;D-AIBA\nMy Easy;OE-LBA,EI-DCL\n");
  // The first definition of a marked file must not carry the mark in its title.
  fixtures::writeFileBytes(dir / "marked.txt", "\xEF\xBB\xBFMy Marked;G-EUPA\r\nx;y;z;w\r\n");
  fixtures::writeFileBytes(dir / "wide.txt",
                           fixtures::encodeText("My W\xC3\xAF-de \xF0\x9F\x98\x80;N8888,AB;#\r\n",
                                                CfgEncoding::kUtf16Le));
  fixtures::writeFileBytes(
      dir / "big.txt",
      fixtures::encodeText("My B\xC3\xAFg;G-EFGI,G-EFGH;#\r\n", CfgEncoding::kUtf16Be));

  ASSERT_TRUE(gf_readDbase());
  ASSERT_TRUE(gf_downloadAndUnzip("AIG-regcodes.zip", g_aigRegcodesFile));
  std::vector<RegcodeDef> defs;
  ASSERT_EQ(gf_readAigRegcodes(g_aigRegcodesFile, defs), 1);
  EXPECT_FALSE(gf_readRegcodeFiles(g_myRegcodesDir, defs));  // two broken items, reported

  // AIG definitions first, in document order, then those of the files.
  ASSERT_EQ(defs.size(), 7u);
  EXPECT_EQ(defs[0], (RegcodeDef{"AIG Speedbird", {"G-EUPA", "G-EUPB"}, false}));
  EXPECT_EQ(defs[1], (RegcodeDef{"AIG Orange", {"PH-BXA"}, true}));
  std::vector<RegcodeDef> fromFiles(defs.begin() + 2, defs.end());
  std::sort(fromFiles.begin(), fromFiles.end(),
            [](const RegcodeDef& a, const RegcodeDef& b) { return a.title < b.title; });
  const std::vector<RegcodeDef> expected = {
      {"My B\xC3\xAFg", {"G-EFGH", "G-EFGI"}, true},
      {"My Easy", {"EI-DCL", "OE-LBA"}, false},
      {"My Marked", {"G-EUPA"}, true},
      {"My W\xC3\xAF-de \xF0\x9F\x98\x80", {"N8888"}, true},
      {"My \xC3\x9C-ber", {"D-AIBA"}, true},
  };
  EXPECT_EQ(fromFiles, expected);

  // The definitions' registrations are found in the database through their written forms.
  EXPECT_EQ(gf_airlFromReg(defs[1].regs.front()), "KLM");
  EXPECT_EQ(gf_typeFromReg(fromFiles[4].regs.front()), "A319");
  EXPECT_TRUE(gf_regInfo(fromFiles[3].regs.front())->cargo);

  const std::string log = env_.log();
  EXPECT_TRUE(contains(log, "===> wrong regcode length \"AB\" in " + (dir / "wide.txt").string()));
  EXPECT_TRUE(
      contains(log, "===> " + (dir / "marked.txt").string() + ": wrong format \"x;y;z;w\"\n"));
  EXPECT_TRUE(contains(log, "\n7 liveries read\n")) << log;

  // Left behind: the AIG file and its copy; not the database file nor any archive.
  EXPECT_FALSE(fs::exists(g_inputDir / "temp2.xml"));
  EXPECT_FALSE(fs::exists("dbase.zip"));
  EXPECT_FALSE(fs::exists("dbase.zip.part"));
  EXPECT_FALSE(fs::exists("AIG-regcodes.zip"));
  EXPECT_TRUE(fs::exists(g_aigRegcodesFile));
  EXPECT_TRUE(fs::exists(g_inputDir / "AIG-regcodes0.xml"));
}

}  // namespace

// Reading a generated, scrambled aircraft database from a local download server: the tables
// hold what was put in, broken databases fail with their codes and texts, and the files are
// left as they should be.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "fixtures/dbase_builder.h"
#include "fixtures/dbase_scrambler.h"
#include "foundation/download.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "liveries/liveries.h"
#include "liveries/liveries_test_support.h"

namespace {

using liveries_test::LocalHttpServer;
using liveries_test::ScopedWorkDir;

double halfNm(double metres) {
  return metres * 0.5 / 1852.0;
}

// Stored codes may hold '<' and '>', which raw XML items must escape.
std::string xmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
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
  void SetUp() override {
    liveries_test::resetDbaseTables();
    ASSERT_TRUE(server_.running()) << "python3 http.server could not be started";
  }
  void TearDown() override { liveries_test::resetDbaseTables(); }

  void serve(const fixtures::DbaseContent& content) {
    fixtures::writeDbaseZip(server_.folder(), content);
  }

  ScopedWorkDir work_;
  LocalHttpServer server_;
};

TEST_F(DbaseRead, TablesHoldWhatWasPutIn) {
  serve(testWorld());
  ASSERT_TRUE(gf_readDbase());

  EXPECT_EQ(g_dbaseTypes.size(), 14u);
  EXPECT_TRUE(g_dbaseTypes.contains("MD11"));
  EXPECT_EQ(g_dbaseCargoTypes, std::set<std::string>{"A3ST"});
  ASSERT_EQ(g_dbaseSimilarGroups.size(), 2u);
  EXPECT_EQ(g_dbaseSimilarGroups[0], (std::vector<std::string>{"A319", "A320", "A321"}));
  EXPECT_EQ(g_dbaseSimilarGroups[1], (std::vector<std::string>{"B744", "B77W"}));
  EXPECT_EQ(g_dbaseIcaoAirlines, (std::set<std::string>{"BAW", "DLH", "EZY", "FDX", "KLM", "PVT"}));
  EXPECT_EQ(g_dbaseCargoOperators, std::set<std::string>{"FDX"});
  ASSERT_EQ(g_dbasePublishers.size(), 2u);  // the repeated "names" text gives one group
  EXPECT_EQ(g_dbasePublishers[0], (std::vector<std::string>{"Pub One", "p1", "p_one"}));
  EXPECT_EQ(g_dbasePublishers[1], (std::vector<std::string>{"Pub Two", "p2"}));
  EXPECT_EQ(g_dbaseFixes.size(), 1u);
  EXPECT_EQ(g_dbaseFixes.at("B73H"), "B738");
  EXPECT_EQ(g_dbaseSimaddonAirports, (std::set<std::string>{"EGLL", "LOWW"}));
  ASSERT_EQ(g_dbaseThirdParties.size(), 1u);
  EXPECT_EQ(g_dbaseThirdParties[0].pub, "Pub One");
  EXPECT_EQ(g_dbaseThirdParties[0].arpts, (std::vector<std::string>{"EHAM", "LSZH"}));

  EXPECT_EQ(gf_typeCategory("B738"), 2u);
  EXPECT_EQ(gf_typeCategory("B744"), 3u);
  EXPECT_EQ(gf_typeCategory("C56X"), 1u);
  EXPECT_EQ(gf_typeCategory("F16"), 4u);
  EXPECT_EQ(gf_typeCategory("R44"), 5u);
  EXPECT_EQ(gf_typeCategory("C172"), 0u);
  EXPECT_EQ(gf_typeCategory("XXXX"), 0u);
  EXPECT_TRUE(gf_isKnownAirline("KLM"));
  EXPECT_FALSE(gf_isKnownAirline("AUA"));
}

TEST_F(DbaseRead, WingspansAndCategoryDefaults) {
  serve(testWorld());
  ASSERT_TRUE(gf_readDbase());

  EXPECT_DOUBLE_EQ(g_dbaseWingspans.at("B744"), 64.4);  // the repeated entry is ignored ...
  EXPECT_DOUBLE_EQ(g_maxHalfWingspanNm, halfNm(99.0));  // ... but counts for the largest
  EXPECT_DOUBLE_EQ(g_dbaseWingspans.at("F16"), 0.0);    // not a number
  EXPECT_FALSE(g_dbaseWingspans.contains("ZZZZ"));

  EXPECT_NEAR(gf_wingspan("A320"), halfNm(35.8), 1e-12);
  const double largeMean = (halfNm(35.8) + halfNm(34.1)) / 2;
  EXPECT_NEAR(gf_wingspan("A321"), largeMean, 1e-12);  // Large without entry
  EXPECT_NEAR(gf_wingspan("B77W"), (halfNm(64.4) + halfNm(51.7)) / 2, 1e-12);
  EXPECT_NEAR(gf_wingspan("XXXX"), halfNm(11.0), 1e-12);  // unknown: Light
  // Buzjets and Rotorcraft have no entry: they take the mean of all six entries.
  const double allMean =
      (halfNm(35.8) + halfNm(34.1) + halfNm(64.4) + halfNm(11.0) + halfNm(51.7) + 0.0) / 6;
  EXPECT_NEAR(gf_wingspan("C56X"), allMean, 1e-12);
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
  EXPECT_EQ(gf_airlFromReg("G-EZAA"), "EZY");  // plain airline code in the file
  EXPECT_EQ(gf_typeFromReg("N8888"), "B77W");

  const auto fdx = gf_regInfo("N8888");
  ASSERT_TRUE(fdx);
  EXPECT_TRUE(fdx->cargo);
  EXPECT_TRUE(gf_regInfo("PH-BXA")->cargo);
  EXPECT_TRUE(gf_regInfo("OE-LBA")->cargo);  // "Yes"
  EXPECT_FALSE(gf_regInfo("EIDCL")->cargo);  // "no"
  EXPECT_FALSE(gf_regInfo("G-EUPA")->cargo);
  const auto noAirline = gf_regInfo("D-EFGH");
  ASSERT_TRUE(noAirline);
  EXPECT_EQ(noAirline->airl, "");
  EXPECT_EQ(noAirline->type, "C172");
  EXPECT_FALSE(gf_regInfo("ZZ-ZZZ"));

  EXPECT_EQ(g_dbasePvtRegs, (std::vector<std::string>{"N12A", "N45X"}));
  EXPECT_EQ(gf_findPvtReg("Cessna 172 N45X private N12A"), "N12A");
  EXPECT_EQ(gf_findPvtReg("Diamond G-ABCD"), "");  // five or more characters: not searched
}

TEST_F(DbaseRead, ItemsSkippedWithTheirErrorLines) {
  serve(testWorld());
  ASSERT_TRUE(gf_readDbase());
  const std::string log = work_.log();
  const std::string zzzz = "===> wingspan model ZZZZ is no valid model, skipped\n";
  EXPECT_NE(log.find(zzzz), std::string::npos) << log;
  EXPECT_NE(log.find("===> wrong part of fix: \"B73H\", already exists, skipped\n"),
            std::string::npos);
  EXPECT_NE(log.find("===> wrong fix X1->, the latter is not a valid model\n"), std::string::npos);
  EXPECT_NE(log.find("===> wrong fix Q1->ZZZZ, the latter is not a valid model\n"),
            std::string::npos);
  EXPECT_NE(log.find("===> regcode G-EUPA already exists\n"), std::string::npos);
  EXPECT_NE(log.find("===> Unencrypted airline EZY in decrypt airl?\n"), std::string::npos);
}

TEST_F(DbaseRead, FilesAreGoneAfterAGoodRead) {
  serve(testWorld());
  ASSERT_TRUE(gf_readDbase());
  EXPECT_FALSE(std::filesystem::exists("input/temp2.xml"));
  EXPECT_FALSE(std::filesystem::exists("dbase.zip"));
  EXPECT_FALSE(std::filesystem::exists("dbase.zip.part"));
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
  for (double d : g_defaultWingspan) EXPECT_EQ(d, 0.0);
  EXPECT_EQ(work_.log().find("===>"), std::string::npos) << work_.log();
}

TEST_F(DbaseRead, BlanksAndEmptyPiecesOfCodeLists) {
  fixtures::DbaseContent c = testWorld();
  c.rawItems["rotorcraft"] = {"<rot types=\" " + xmlEscaped(fixtures::scrambleType("S76")) +
                              " ,, \"/>"};
  serve(c);
  ASSERT_TRUE(gf_readDbase());
  EXPECT_TRUE(g_dbaseRotorcraft.contains("S76"));
  EXPECT_TRUE(g_dbaseRotorcraft.contains(""));  // two commas in a row give an empty code
  EXPECT_FALSE(gf_isKnownType(""));
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

void omitAircrafts(fixtures::DbaseContent& c) {
  c.omittedSections.insert("aircrafts");
}
void omitAirlines(fixtures::DbaseContent& c) {
  c.omittedSections.insert("ICAO_airlines");
}
void omitSimaddons(fixtures::DbaseContent& c) {
  c.omittedSections.insert("simaddonsP3D");
}
void emptyHeavy(fixtures::DbaseContent& c) {
  c.heavy.clear();
  c.rawItems["heavy"] = {"<hvy types=\"\"/>", "<hvy/>"};
}
void emptyCargoOperators(fixtures::DbaseContent& c) {
  c.cargoOperators.clear();
}
void wrongAirlineLength(fixtures::DbaseContent& c) {
  c.rawItems["ICAO_airlines"] = {"<ICAO codes=\"ABCD\"/>"};
}
void longRegistration(fixtures::DbaseContent& c) {
  c.rawItems["dbase"] = {"<db reg=\"" + std::string(25, 'K') + "\"/>"};
}

const BrokenCase kBrokenCases[] = {
    {"MissingTypes", omitAircrafts, Thrown::kUserError,
     "61: In an xml file section aircrafts aircraft types is empty "},
    {"MissingAirlines", omitAirlines, Thrown::kUserError,
     "61: In an xml file section ICAO_airlines ICAO codes is empty "},
    {"MissingSimaddons", omitSimaddons, Thrown::kUserError,
     "61: In an xml file section simaddonsP3D simaddonP3D arpts is empty "},
    {"EmptyTypeAttributes", emptyHeavy, Thrown::kUserError,
     "61: In an xml file section heavy hvy types is empty "},
    {"EmptyCargoOperators", emptyCargoOperators, Thrown::kUserError,
     "61: In an xml file section cargo_operators ICAO codes is empty "},
    {"WrongAirlineLength", wrongAirlineLength, Thrown::kRuntimeError,
     "decrypt airl \"ABCD\" error"},
    {"RegistrationTooLong", longRegistration, Thrown::kOutOfRange, "invalid array<T, N> subscript"},
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
  EXPECT_TRUE(std::filesystem::exists("input/temp2.xml"));
}

INSTANTIATE_TEST_SUITE_P(Items, DbaseBroken, ::testing::ValuesIn(kBrokenCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(DbaseRead, MalformedFileIsError60) {
  fixtures::writeZip(server_.folder() / "dbase.zip", "dbase.xml", "<aircrafts><aircraft types=");
  try {
    gf_readDbase();
    FAIL() << "no exception";
  } catch (const qvb::UserErrorException& e) {
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("60: \"input/temp2.xml\" not read because of ", 0), 0u) << text;
  }
  EXPECT_TRUE(std::filesystem::exists("input/temp2.xml"));
}

TEST_F(DbaseRead, MissingArchiveOnTheServer) {
  try {
    gf_readDbase();
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "data base could not be read from on-line?");
  }
  EXPECT_TRUE(g_dbaseTypes.empty());
}

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
  EXPECT_EQ(work_.log().find("===>"), std::string::npos) << work_.log();
}

// UTF-16 little-endian bytes with their byte-order mark.
std::string utf16Le(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// The reference data of one start-up read together: the database and the AIG archive served
// by the download server, and the user's regcode files in UTF-8, UTF-8 with a byte-order mark
// and UTF-16 beside them.
TEST_F(DbaseRead, ServedWorldWithAigArchiveAndRegcodeFilesInEveryEncoding) {
  namespace fs = std::filesystem;
  serve(testWorld());
  fixtures::writeAigRegcodesZip(server_.folder(),
                                {{"AIG Speedbird", {"G-EUPB", "G-EUPA"}, "false"},
                                 {"AIG Orange", {"PH-BXA"}, "1"}});
  fs::create_directories(g_myRegcodesDir);
  liveries_test::writeBytes(g_myRegcodesDir / "plain.txt",
                            "My Lufthansa;D-AIBA\nMy Easy;OE-LBA,EI-DCL\n");
  // The first definition of a marked file must not carry the mark in its title.
  liveries_test::writeBytes(g_myRegcodesDir / "marked.txt",
                            "\xEF\xBB\xBFMy Marked;G-EUPA\r\nx;y;z;w\r\n");
  liveries_test::writeBytes(g_myRegcodesDir / "wide.txt",
                            utf16Le(u"My W\u00EFde \U0001F600;N8888,AB;#\r\n"));

  ASSERT_TRUE(gf_readDbase());
  ASSERT_TRUE(gf_downloadAndUnzip("AIG-regcodes.zip", g_aigRegcodesFile));
  std::vector<RegcodeDef> defs;
  ASSERT_EQ(gf_readAigRegcodes(g_aigRegcodesFile, defs), 1);
  EXPECT_FALSE(gf_readRegcodeFiles(g_myRegcodesDir, defs));  // two broken items, reported

  // The database: categories, wingspans with the category fallback, airlines, registrations.
  EXPECT_EQ(gf_typeCategory("B738"), 2u);
  EXPECT_EQ(gf_typeCategory("MD11"), 3u);
  EXPECT_NEAR(gf_wingspan("A321"), (halfNm(35.8) + halfNm(34.1)) / 2, 1e-12);
  EXPECT_TRUE(std::isfinite(gf_wingspan("R44")));
  EXPECT_GT(gf_wingspan("R44"), 0.0);
  EXPECT_TRUE(gf_isKnownAirline("EZY"));
  EXPECT_EQ(g_dbaseCargoOperators, std::set<std::string>{"FDX"});

  // AIG definitions first, in document order, then those of the files.
  ASSERT_EQ(defs.size(), 6u);
  EXPECT_EQ(defs[0], (RegcodeDef{"AIG Speedbird", {"G-EUPA", "G-EUPB"}, false}));
  EXPECT_EQ(defs[1], (RegcodeDef{"AIG Orange", {"PH-BXA"}, true}));
  std::vector<RegcodeDef> fromFiles(defs.begin() + 2, defs.end());
  std::sort(fromFiles.begin(), fromFiles.end(),
            [](const RegcodeDef& a, const RegcodeDef& b) { return a.title < b.title; });
  const std::vector<RegcodeDef> expected = {
      {"My Easy", {"EI-DCL", "OE-LBA"}, false},
      {"My Lufthansa", {"D-AIBA"}, true},
      {"My Marked", {"G-EUPA"}, true},
      {"My W\xC3\xAF" "de \xF0\x9F\x98\x80", {"N8888"}, true},
  };
  EXPECT_EQ(fromFiles, expected);

  // The definitions' registrations are found in the database through their written forms.
  EXPECT_EQ(gf_airlFromReg(defs[1].regs.front()), "KLM");
  EXPECT_EQ(gf_typeFromReg(fromFiles[1].regs.front()), "A319");
  EXPECT_EQ(gf_airlFromReg("EIDCL"), "EZY");
  EXPECT_TRUE(gf_regInfo(fromFiles[3].regs.front())->cargo);

  const std::string log = work_.log();
  const std::string wide = (g_myRegcodesDir / "wide.txt").string();
  const std::string marked = (g_myRegcodesDir / "marked.txt").string();
  EXPECT_NE(log.find("===> wrong regcode length \"AB\" in " + wide + "\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("===> " + marked + ": wrong format \"x;y;z;w\"\n"), std::string::npos);
  EXPECT_NE(log.find("\n6 liveries read\n"), std::string::npos);

  // Left behind: the AIG file and its copy; not the database file nor any archive.
  EXPECT_FALSE(fs::exists(g_inputDir / "temp2.xml"));
  EXPECT_FALSE(fs::exists("dbase.zip"));
  EXPECT_FALSE(fs::exists("AIG-regcodes.zip"));
  EXPECT_TRUE(fs::exists(g_aigRegcodesFile));
  EXPECT_TRUE(fs::exists(g_inputDir / "AIG-regcodes0.xml"));
}

}  // namespace

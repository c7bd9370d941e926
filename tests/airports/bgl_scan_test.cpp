// The BGL folder scan end to end on a built scenery tree: which files are read, publishers,
// link files, generated stand files (read back by the stand-file reader), the scan log and the
// task counter.
#include <algorithm>
#include <fstream>
#include <future>
#include <chrono>
#include <map>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "airports/airports.h"
#include "airports/airports_test_helpers.h"
#include "airports/scan.h"
#include "airports/scan_log.h"
#include "fixtures/bgl_builder.h"
#include "foundation/meta_block.h"
#include "foundation/run_state.h"
#include "foundation/scan_throttle.h"
#include "liveries/aircraft_database.h"

using namespace fixtures;
using airports_test::readText;
using airports_test::takeScanLog;
using airports_test::WorkingFolder;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;

namespace {

BglFile airportWithDuplicates(const std::string& icao) {
  BglAirport airport;
  airport.ident = icao;
  airport.altitudeMm = -3048;
  airport.subrecords.push_back(bglNameRecord("Dup Field"));
  std::vector<BglParking> entries;
  for (float radius : {10.0f, 30.0f, 20.0f}) {
    BglParking p;
    p.number = 12;
    p.radius = radius;
    p.lat = 40.0 + radius / 10000.0;
    p.lon = -70.0;
    entries.push_back(p);
  }
  airport.subrecords.push_back(bglParkingList(false, entries));
  BglFile file;
  file.sections.push_back({3, 0, {bglAirportRecord(airport)}});
  return file;
}

// Link files are written in text mode: their line ends are the system's.
#ifdef _WIN32
const std::string kEol = "\r\n";
#else
const std::string kEol = "\n";
#endif

// Sets up the aircraft database's scenery tables and a tree of scenery folders.
class BglScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    takeScanLog();
    g_simulatorName = "P3D";
    g_numThreads = 0;
    g_maxThreads = 2;
    g_stopRequested = false;
    g_exitRequested = false;
    g_scanFoundAirports = false;
    g_scanPassedOver.clear();
    // As a user's setting holds it: the system's separators, one at the end.
    g_paramSimInstallPath.setValue((m_folder.path() / "scen" / "sim" / "").make_preferred().string());
    g_dbasePublishers = {{"Fly Tampa", "flytampa"}, {"Aerosoft"}};
    g_dbaseSimaddonAirports = {"EGLL"};
    g_dbaseThirdParties = {{"Aerosoft", {"EDDM", "LOWW12"}}, {"Fly Tampa", {"EDDF4", "EDDL9"}}};
  }
  void TearDown() override {
    g_dbasePublishers.clear();
    g_dbaseSimaddonAirports.clear();
    g_dbaseThirdParties.clear();
    g_paramSimInstallPath.setValue("");
  }

  void writeTree() {
    const auto scen = m_folder.path() / "scen";
    bglWriteFile(scen / "ORBX/EGLL/scenery/EGLL.bgl", bglFileBytes(bglSimpleAirportFile("EGLL", true, 5, 51.47, -0.45)));
    bglWriteFile(scen / "orbx/LOWI/LOWI.BGL", bglFileBytes(bglSimpleAirportFile("LOWI", false, 3, 47.26, 11.34)));
    bglWriteFile(scen / "Fly Tampa/EDDF/scenery/AP.bgl",
                 bglFileBytes(bglSimpleAirportFile("EDDF", true, 12, 50.03, 8.57, "Frankfurt")));
    bglWriteFile(scen / "aerosoft/EDDM/AP_EDDM.bgl", bglFileBytes(bglSimpleAirportFile("EDDM", false, 2, 48.35, 11.78)));
    bglWriteFile(scen / "Someone's Dev/KJFK.bgl", bglFileBytes(airportWithDuplicates("KJFK")));
    bglWriteFile(scen / "Someone's Dev/statics/KBOS.bgl", bglFileBytes(bglSimpleAirportFile("KBOS", false, 2, 42.36, -71.0)));
    bglWriteFile(scen / "Someone's Dev/KLAX.Bgl", bglFileBytes(bglSimpleAirportFile("KLAX", false, 2, 33.94, -118.4)));
    bglWriteFile(scen / "sim/Scenery/World/KSFO.bgl",
                 bglFileBytes(bglSimpleAirportFile("KSFO", false, 2, 37.6, -122.4)));
    BglBytes cut = bglFileBytes(bglSimpleAirportFile("EHAM", false, 4, 52.3, 4.76));
    cut.resize(cut.size() - 12);
    bglWriteFile(scen / "broken/EHAM.bgl", cut);
  }

  WorkingFolder m_folder;
};

std::vector<std::string> linesWith(const std::vector<std::string>& lines, const std::string& text) {
  std::vector<std::string> out;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
               [&](const std::string& l) { return l.find(text) != std::string::npos; });
  return out;
}

}  // namespace

TEST(BglScanRulesTest, PublishersAndEntries) {
  takeScanLog();
  g_dbasePublishers = {{"Fly Tampa", "flytampa"}, {"FS.Dream"}, {"Bad(Name"}};
  EXPECT_EQ(gf_publisherFromFilename("D:/scen/Orbx/EGLL/a.bgl"), "simaddon");
  EXPECT_THAT(takeScanLog(), ElementsAre("from filename => publisher  simaddon"));
  EXPECT_EQ(gf_publisherFromFilename("D:/FLYTAMPA/x.bgl"), "Fly Tampa");
  EXPECT_EQ(gf_publisherFromFilename("D:/FSxDream/x.bgl"), "FS.Dream");  // the dot matches any character
  EXPECT_EQ(gf_publisherFromFilename("D:/Bad(Name/x.bgl"), "Bad(Name");  // plain substring
  EXPECT_EQ(gf_publisherFromFilename("D:/bad(name/x.bgl"), "unknown");   // no valid pattern
  EXPECT_FALSE(gf_containsNoCase("abc", "("));
  g_dbasePublishers.clear();

  int count = -1;
  const std::string pub = "Pub", icao = "EDDF";
  const gf_prefixedInt test{pub, icao, count};
  EXPECT_FALSE(test("EDDM5"));
  EXPECT_TRUE(test("EDDF 57"));
  EXPECT_EQ(count, 57);
  EXPECT_TRUE(test("EDDF"));
  EXPECT_EQ(count, 57);
  EXPECT_TRUE(test("EDDF99999999999"));
  EXPECT_EQ(count, 57);
}

TEST_F(BglScanTest, ScansATreeWithTwoThreads) {
  writeTree();
  lf_scanBglFolder(m_folder.path() / "scen");
  EXPECT_EQ(g_numThreads.load(), 0);
  EXPECT_TRUE(g_scanFoundAirports.load());

  namespace fs = std::filesystem;
  EXPECT_EQ(readText("airports/my_ORBX/EGLL.txt"), "archive/simaddon/EGLL.xml" + kEol);
  EXPECT_FALSE(fs::exists("airports/my_ORBX/EGLL.xml"));  // simaddon: the link is enough
  EXPECT_TRUE(fs::exists("airports/my_ORBX/LOWI.xml"));
  EXPECT_EQ(readText("airports/my_thirdparty/EDDF.txt"), "archive/thirdparty/Fly%20Tampa/EDDF.xml" + kEol);
  EXPECT_TRUE(fs::exists("airports/my_thirdparty/EDDF.xml"));  // 13 stands against 4 archived
  EXPECT_EQ(readText("airports/my_thirdparty/EDDM.txt"), "archive/thirdparty/Aerosoft/EDDM.xml" + kEol);
  EXPECT_TRUE(fs::exists("airports/my_thirdparty/EDDM.xml"));  // archived count unreadable: 0
  EXPECT_TRUE(fs::exists("airports/my_thirdparty/KJFK.xml"));
  std::vector<std::string> names;
  for (const auto& folder : {"airports/my_ORBX", "airports/my_thirdparty"}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
  }
  EXPECT_THAT(names, UnorderedElementsAreArray({"EGLL.txt", "LOWI.xml", "EDDF.txt", "EDDF.xml", "EDDM.txt",
                                                "EDDM.xml", "KJFK.xml"}));

  const auto fullLog = takeScanLog();
  // Lines per airport (the "futs" line names the entry the walk was at, whichever that was).
  std::vector<std::string> log;
  std::copy_if(fullLog.begin(), fullLog.end(), std::back_inserter(log),
               [](const std::string& l) { return l.find("futs") == std::string::npos; });
  const auto jfk = linesWith(log, "KJFK");
  EXPECT_THAT(jfk, ElementsAre("===> KJFK has 3 parkpos while archived one has 0",
                               "Generated KJFK.xml: 3 positions"));
  EXPECT_THAT(linesWith(log, "EDDF"),
              ElementsAre("thirdparty airport EDDF linked to archive/thirdparty/Fly%20Tampa/EDDF.xml",
                          "===> EDDF has 13 parkpos while archived one has 4",
                          "Generated EDDF.xml: 13 positions, of which 1 helipad"));
  EXPECT_THAT(linesWith(log, "EGLL"), ElementsAre("simaddon airport EGLL linked to archive/simaddon/EGLL.xml"));
  EXPECT_THAT(linesWith(log, "LOWI"),
              ElementsAre("LOWI does not exist as simaddon", "Generated LOWI.xml: 4 positions, of which 1 helipad"));
  EXPECT_EQ(linesWith(log, "from filename => publisher  simaddon").size(), 2u);
  EXPECT_EQ(linesWith(fullLog, "futs").size(), 1u);
  EXPECT_EQ(log.front(), "Scanning for addon airports in " + (m_folder.path() / "scen").string());
  EXPECT_TRUE(linesWith(log, "KBOS").empty());
  EXPECT_TRUE(linesWith(log, "KLAX").empty());
  EXPECT_TRUE(linesWith(log, "KSFO").empty());
  EXPECT_EQ(fullLog.size(), 15u);

  const auto errors = linesWith(m_folder.logLines(), "Exception in lf_toParkingPositions: ");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_THAT(errors[0], ::testing::HasSubstr("===> Exception in lf_toParkingPositions: "));
  EXPECT_THAT(errors[0], ::testing::HasSubstr("EHAM.bgl"));

  // The generated files read back, with sorted ids and the duplicates renamed by size.
  g_parkAirportIcao = "KJFK";
  g_parkStands.clear();
  std::string result;
  gf_readApf(result, "airports\\my_thirdparty\\KJFK.xml", g_parkApfHeader, g_parkAirportQf, g_parkStands);
  EXPECT_EQ(result, "");
  ASSERT_EQ(g_parkStands.size(), 3u);
  EXPECT_EQ(g_parkStands[0].id, "g12");
  EXPECT_NEAR(g_parkStands[0].radius * kMetresPerNm, 30.0, 0.05);
  EXPECT_EQ(g_parkStands[1].id, "g12a");
  EXPECT_EQ(g_parkStands[2].id, "g12b");
  EXPECT_EQ(g_parkApfHeader.altitude, -10);
  EXPECT_EQ(g_parkApfHeader.publisher, "unknown");
  EXPECT_THAT(readText("airports/my_thirdparty/KJFK.xml"), ::testing::HasSubstr("name=\"BGLpath\""));
}

TEST_F(BglScanTest, StopRequestStartsNoTask) {
  writeTree();
  g_stopRequested = true;
  lf_scanBglFolder(m_folder.path() / "scen");
  g_stopRequested = false;
  EXPECT_EQ(takeScanLog().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists("airports"));
}

#ifndef _WIN32
// A folder the walk may not open, and a file a task may not open, are logged and passed over:
// the walk goes on to the files after them and counts as whole, and no task it started writes a
// stand file or a scan-log line after the folder scan has returned. A file too short to hold an
// airport is read and skipped without a word. Runs in a child process without root's rights,
// since root opens every folder and file.
TEST_F(BglScanTest, AFolderTheWalkMayNotOpenIsPassedOver) {
  const auto scen = m_folder.path() / "scen";
  constexpr int kFiles = 30;
  for (int k = 0; k < kFiles; ++k) {
    if (k == kFiles / 2) {
      std::filesystem::create_directories(scen / "locked");  // mid-listing, whichever way it runs
    }
    const std::string icao = fmt::format("EZ{}{}", static_cast<char>('A' + k / 10), static_cast<char>('A' + k % 10));
    bglWriteFile(scen / (icao + ".bgl"), bglFileBytes(bglSimpleAirportFile(icao, false, 400, 40.0 + k, 10.0)));
  }
  bglWriteFile(scen / "EZLK.bgl", bglFileBytes(bglSimpleAirportFile("EZLK", false, 2, 39.0, 10.0)));
  bglWriteFile(scen / "short.bgl", BglBytes{1, 2, 3});
  namespace fs = std::filesystem;
  fs::permissions(scen / "EZLK.bgl", fs::perms::none);
  fs::permissions(scen / "locked", fs::perms::none);
  fs::permissions(m_folder.path(), fs::perms::all);  // the child writes its stand files here

  enum Outcome { kOk, kStillRunning, kNotPassedOver, kFilesNotWritten, kLateLines, kNoRights };
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(kNoRights);
    }
    const bool whole = lf_scanBglFolder(scen);
    const int running = g_numThreads.load();
    const auto log = takeScanLog();
    const auto generated = linesWith(log, "Generated ");
    std::size_t written = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("airports/my_thirdparty", error)) {
      written += entry.path().extension() == ".xml" ? 1 : 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const bool late = !takeScanLog().empty();
    const auto places = g_scanPassedOver.all();
    const bool passedOver =
        whole && linesWith(log, "===> airports search cannot enter folder ").size() == 1 &&
        linesWith(log, "===> airports search cannot read file " + (scen / "EZLK.bgl").string() +
                           ", skipped: Permission denied")
                .size() == 1 &&
        linesWith(log, "iterator problem").empty() && places.size() == 2 &&
        places[0].file != places[1].file;
    ::_exit(running != 0                                      ? kStillRunning
            : !passedOver                                     ? kNotPassedOver
            : generated.size() != kFiles || written != kFiles ? kFilesNotWritten
            : late                                            ? kLateLines
                                                              : kOk);
  }
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  fs::permissions(scen / "locked", fs::perms::owner_all);
  ASSERT_TRUE(WIFEXITED(status));
  const int outcome = WEXITSTATUS(status);
  if (outcome == kNoRights) {
    GTEST_SKIP() << "could not give up root's rights";
  }
  EXPECT_EQ(outcome, kOk)
      << "1 tasks still running, 2 not passed over, 3 files missing, 4 late lines";
}

// An entry whose state cannot be read (a link to itself, a link to a drive that is not there) is
// passed over, as a file by a BGL file's name, else as a folder; the walk goes on and counts as
// whole.
TEST_F(BglScanTest, AnEntryWhoseStateCannotBeReadIsPassedOver) {
  namespace fs = std::filesystem;
  const auto scen = m_folder.path() / "scen";
  bglWriteFile(scen / "EZAA.bgl", bglFileBytes(bglSimpleAirportFile("EZAA", false, 2, 40.0, 10.0)));
  fs::create_symlink("EZLP.bgl", scen / "EZLP.bgl");
  fs::create_symlink(m_folder.path() / "offline" / "EZDG.bgl", scen / "EZDG.bgl");
  fs::create_directory_symlink(m_folder.path() / "offline", scen / "Addons");
  EXPECT_TRUE(lf_scanBglFolder(scen));
  const auto log = takeScanLog();
  EXPECT_EQ(linesWith(log, "Generated EZAA.xml").size(), 1u);
  EXPECT_EQ(linesWith(log, "===> airports search cannot read the state of " +
                               (scen / "EZLP.bgl").string() +
                               ", skipped: Too many levels of symbolic links")
                .size(),
            1u);
  EXPECT_TRUE(linesWith(log, "aborted").empty());
  std::map<std::string, bool> places;  // by name: passed over as a file
  for (const PassedOverPlace& p : g_scanPassedOver.all())
    places[fs::path(p.path).filename().string()] = p.file;
  EXPECT_EQ(places, (std::map<std::string, bool>{
                        {"Addons", false}, {"EZDG.bgl", true}, {"EZLP.bgl", true}}));
}
#endif

// A link or stand file that cannot be written is reported, and counts neither as linked nor as
// found; no temporary file stays behind.
TEST_F(BglScanTest, LinkAndGenerationFailuresAreReported) {
  namespace fs = std::filesystem;
  fs::create_directories("airports/my_thirdparty/EDDM.txt");         // the link's name is taken
  fs::create_directories("airports/my_thirdparty/EDDM.xml/inside");  // and so is the stand file's
  AirportFile file;
  file.ICAO = "EDDM";
  file.stands.emplace_back("A1", std::vector<ParkPosOption>{}, StandPlace{48.35, 11.78, 1.0}, 20.0, 1, 1, 1);
  int archived = -1;
  EXPECT_FALSE(lf_linkToArchive(file, archived, "D:/Aerosoft/EDDM/AP.bgl"));
  EXPECT_EQ(file.publisher, "Aerosoft");
  lf_generateApf(file, 0);
  EXPECT_FALSE(g_scanFoundAirports.load());
  const auto log = takeScanLog();
  const auto native = [](const char* path) { return fs::path(path).make_preferred().string(); };
  EXPECT_THAT(log, ElementsAre("===> Linking " + native("airports/my_thirdparty/EDDM.txt") + " did not succeed",
                               "Generated EDDM.xml: 1 position",
                               "===> Generating " + native("airports/my_thirdparty/EDDM.xml") +
                                   " did not succeed"));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator("airports/my_thirdparty")) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_THAT(names, UnorderedElementsAreArray({"EDDM.txt", "EDDM.xml"}));
}

// A task limit below one (an unknown hardware thread count) still lets the scan run its tasks.
TEST_F(BglScanTest, TaskLimitBelowOne) {
  const auto scen = m_folder.path() / "scen";
  bglWriteFile(scen / "EZZZ.bgl", bglFileBytes(bglSimpleAirportFile("EZZZ", false, 2, 40.0, 10.0)));
  g_maxThreads = 0;
  auto scan = std::async(std::launch::async, [&scen] { lf_scanBglFolder(scen); });
  if (scan.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "the scan waits for a task slot that never comes";
    g_maxThreads = 1;  // lets the waiting scan go on, so that the test can end
  }
  scan.get();
  EXPECT_EQ(g_numThreads.load(), 0);
  EXPECT_TRUE(std::filesystem::exists("airports/my_thirdparty/EZZZ.xml"));
  takeScanLog();
}

// A folder gone when its walk begins (a drive that went away) cuts the scan short.
TEST_F(BglScanTest, MissingFolderIsAnIteratorProblem) {
  EXPECT_FALSE(lf_scanBglFolder(m_folder.path() / "nowhere"));
  const auto log = takeScanLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_THAT(log[1], ::testing::StartsWith("===>  airports search in folder "));
  EXPECT_THAT(log[1], ::testing::HasSubstr("aborted because of iterator problem: "));
}

// The park airports: my_park_airports.txt and the my_thirdparty folder read and rewritten, and
// the park-airport step over scripted user positions: choosing on the ground (stock files from a
// local HTTP server) and in the air, giving up, the destination, and Re-read's reserved stand.
#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "intake/intake.h"
#include "park_test_support.h"
#include "platform/win32.h"

namespace traffictest {
namespace {

using ParkAirportsTest = ParkTest;

std::string lf_listed() {
  std::string text;
  for (const ParkAirport& a : g_parkAirports) text += a.icao + "," + a.reservedStand + " ";
  return text;
}

TEST_F(ParkAirportsTest, ReadingSkipsBadLinesAndReadsTheRest) {
  // A UTF-8 mark, CRLF line ends, blank lines, a trailing comma, blanks around the stand.
  gf_testWriteFile(g_myParkAirportsFile,
                   "\xEF\xBB\xBF" "EGLL,,X\r\nEHAM,\r\n\r\n   \r\nXXXX\r\nEHAM\r\nEDDF , A12 \r\n");
  for (const char* name : {"LEAB", "ZZZZ", "EHAM"}) std::filesystem::create_directories(g_myThirdpartyDir / name);
  gf_testWriteFile(g_myThirdpartyDir / "EHLE", "a file, not an airport folder");
  EXPECT_FALSE(lf_readMyParkAirports());
  EXPECT_EQ(lf_listed(), "EHAM, EDDF,A12 LEAB, ");
  for (const char* line : {"===> my_park_airports.txt:EGLL,,X wrong syntax, skipped", "airport XXXX is unknown",
                           "===> my_park_airports.txt:EHAM double, skipped",
                           "2 park airports read from \"airports/my_park_airports.txt\"",
                           "1 park airport added from my_thirdparty folder(-s) \n"}) {
    EXPECT_TRUE(logged(line)) << line;
  }
  std::filesystem::remove(g_myParkAirportsFile);
  EXPECT_TRUE(lf_readMyParkAirports());
  EXPECT_EQ(lf_listed(), "EHAM, LEAB, ");
  EXPECT_TRUE(logged("airports/my_park_airports.txt not found"));

  for (const int count : {3000, 3001}) {  // the warning comes above 3000
    g_airports.clear();
    std::string file;
    for (int i = 0; i < count; ++i) {
      g_airports.push_back({fmt::format("K{:03}", i), "", 40.0, -70.0 - i * 0.01, 0.0});
      file += g_airports.back().code + "\n";
    }
    gf_testWriteFile(g_myParkAirportsFile, file);
    EXPECT_TRUE(lf_readMyParkAirports() && g_parkAirports.size() == static_cast<std::size_t>(count));
    EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText).starts_with("Warning"), count > 3000);
  }
}

TEST_F(ParkAirportsTest, RewriteReplacesOrSortsInAndNeverLosesAFileReadInPart) {
  const auto file = [] { return gf_testReadAll(g_myParkAirportsFile); };
  gf_setParkAirport("EGLL", {51.47, -0.46});
  EXPECT_EQ(file(), "EGLL\n");
  EXPECT_TRUE(logged("my_park_airports.txt created with EGLL"));

  gf_testWriteFile(g_myParkAirportsFile, "EHAM,B2\r\nEGLL\r\n");
  ASSERT_TRUE(lf_readMyParkAirports());
  gf_setParkAirport("EGLL", {});  // listed: to the front, the file is not written
  EXPECT_EQ(g_parkAirports.front().icao + file(), "EGLLEHAM,B2\r\nEGLL\r\n");
  gf_writeMyParkAirports();
  EXPECT_EQ(file(), "EGLL,\nEHAM,B2\n");
  gf_setParkAirport("EDDF", {50.03, 8.57});
  EXPECT_EQ(file(), "EDDF\nEGLL,\nEHAM,B2\n");
  EXPECT_TRUE(logged("my_park_airports.txt:EGLL, updated stand") && logged("my_park_airports.txt:EDDF new entry"));

  // UTF-16 that breaks off at a lone surrogate: nothing is written over what was not read.
  const std::string broken("\xFF\xFE" "E\0H\0A\0M\0\n\0\x00\xD8" "E\0\n\0", 16);
  gf_testWriteFile(g_myParkAirportsFile, broken);
  gf_setParkAirport("EHLE", {52.46, 5.53});
  EXPECT_EQ(file(), broken);
  EXPECT_TRUE(logged("could not be read whole, it is left as it is"));

  // UTF-16 without a mark reads as lines not understood: the rewrite keeps the file first.
  const std::string wide("E\0H\0A\0M\0,\0B\0" "2\0\n\0", 16);
  gf_testWriteFile(g_myParkAirportsFile, wide);
  EXPECT_FALSE(lf_readMyParkAirports());
  gf_setParkAirport("EHLE", {52.46, 5.53});
  EXPECT_EQ(gf_testReadAll("airports/my_park_airports0.txt"), wide);
  EXPECT_TRUE(logged("my_park_airports.txt holds lines that were not understood, a copy is kept as "
                     "airports/my_park_airports0.txt"));
}

// A file of another code page: each line that is no UTF-8 is named with the file and skipped,
// the window gets no text of it, and a rewrite keeps the file as it was first.
TEST_F(ParkAirportsTest, LinesThatAreNoUtf8AreNamedAndSkipped) {
  const std::string known = "EHAM,S\xFC" "d1\nEDDF\n";  // "Süd1" in Windows-1252
  gf_testWriteFile(g_myParkAirportsFile, known + "\xC3(EGLL\n");
  EXPECT_TRUE(lf_readMyParkAirports());
  EXPECT_EQ(lf_listed(), "EDDF, ");
  for (const char* line : {"===> my_park_airports.txt:1 is not UTF-8 text, skipped",
                           "===> my_park_airports.txt:3 is not UTF-8 text, skipped"}) {
    EXPECT_TRUE(logged(line)) << line;
  }
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText), "");
  gf_testWriteFile(g_myParkAirportsFile, known);  // its one such line names a known airport
  gf_setParkAirport("EHLE", {52.46, 5.53});
  EXPECT_EQ(gf_testReadAll("airports/my_park_airports0.txt"), known);
}

const LatLon kEham = kField;
const LatLon kEhle{52.4603, 5.5272};

TEST_F(ParkAirportsTest, OnTheGroundAtAnAirportWithAndWithoutAStandFile) {
  serveStockFiles();
  gf_writeParkFile("server/P3D/archive/stock/EHAM.xml", "stock", {gf_standRow("A1", 0, 100), gf_standRow("A2", 90, 100)});
  gf_handleParkAirport(true);  // (0, 0): not placed yet
  EXPECT_FALSE(logged("User aircraft"));
  gf_userAt({kEhle.lat + 0.3, kEhle.lon}, true);
  gf_handleParkAirport(false);
  EXPECT_TRUE(logged("User aircraft on the ground, no airport in sight"));
  // The presence check answers from a background task: the step goes on when it is in.
  const auto stepUntil = [](const std::function<bool()>& done) {
    for (int i = 0; i < 300 && !done(); ++i) {
      gf_handleParkAirport(false);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  };
  gf_userAt(kEhle, true);
  EXPECT_TRUE(stepUntil([this] { return logged("on the ground at EHLE, no airport file found"); }));
  gf_userAt(kEham, true);
  ASSERT_TRUE(stepUntil([] { return !g_parkAirportIcao.empty(); }));
  EXPECT_TRUE(g_parkCalcPending && g_busy && g_trafficReader.collecting());
  // Downloaded once, by the presence check: the read needs the server no more.
  std::filesystem::remove("server/P3D/archive/stock/EHAM.xml");
  gf_handleParkAirport(false);  // reads the stock file and calculates
  EXPECT_EQ(g_parkStands.size(), 2u);
  EXPECT_TRUE(g_parkStandsReady && g_trafficReader.filterContext().parkElevationFt == -11.0);
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::parkAirportText), "EHAM (AMS)");
}

// A damaged stand file is not read again in this run, and every later check on the ground names
// it as damaged, not as missing.
TEST_F(ParkAirportsTest, ADamagedStandFileIsNamedAtEveryCheck) {
  gf_testWriteFile(g_myThirdpartyDir / "EHAM.xml", "<parkpositions><parkpos");
  gf_userAt(kEham, true);
  for (int check = 0; check < 3; ++check) gf_handleParkAirport(false);  // chosen, read, checked
  EXPECT_TRUE(logged("User aircraft on the ground at EHAM, airports/my_thirdparty/EHAM.xml could "
                     "not be loaded, it is damaged: "));
  EXPECT_FALSE(logged("no airport file found"));
}

// The stand file of an airport coming in sight lies on a server that answers only when the test
// lets it: the step asks and goes on, and a later step reads the stands.
TEST_F(ParkAirportsTest, TheStepNeverWaitsForAStandFileOnTheServer) {
  LoopbackListener held;  // connections wait in its backlog until the test takes them
  ASSERT_TRUE(held.listening());
  ::setenv("ZENDRIK_DOWNLOAD_URL", held.url().c_str(), 1);
  // A step that waited after all would see the download give up: the test fails, it never hangs.
  ::setenv("ZENDRIK_DOWNLOAD_STALL_TIMEOUT", "20", 1);
  gf_writeParkFile("served.xml", "stock", {gf_standRow("A1", 0, 100)});
  gf_testWriteFile(g_myParkAirportsFile, "EHAM\n");
  ASSERT_TRUE(lf_readMyParkAirports());
  g_paramAirportRange.setValue(30);
  g_paramAirportHeight.setValue(3000);
  gf_userAt(kEham, false, 1000);
  gf_handleParkAirport(false);
  ASSERT_TRUE(g_parkAirportIcao == "EHAM" && g_parkCalcPending);
  gf_handleParkAirport(false);  // asks the server
  EXPECT_TRUE(g_parkCalcPending && g_parkStands.empty());

  LoopbackSocket client = LoopbackListener::kNoSocket;
  for (int i = 0; i < 200 && client == LoopbackListener::kNoSocket; ++i) {
    client = held.acceptClient();
  }
  ASSERT_NE(client, LoopbackListener::kNoSocket);
  EXPECT_NE(held.readRequest(client).find("GET /P3D/archive/stock/EHAM.xml "), std::string::npos);
  const std::string answer =
      ScriptedHttpServer::response("HTTP/1.1 200 OK", gf_testReadAll("served.xml"));
  ::send(client, answer.data(), static_cast<int>(answer.size()), 0);
  ::shutdown(client, SD_SEND);
  ::closesocket(client);
  for (int i = 0; i < 300 && g_parkCalcPending; ++i) {
    gf_handleParkAirport(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(g_parkStands.size(), 1u);
}

TEST_F(ParkAirportsTest, InSightOutOfSightANearerAirportAndTheDestination) {
  g_paramAirportRange.setValue(30);
  g_paramAirportHeight.setValue(3000);
  for (const char* icao : {"EHAM", "EHLE"}) {
    gf_writeParkFile(g_myThirdpartyDir / (std::string(icao) + ".xml"), "Aerosoft", {gf_standRow("A1", 0, 100)});
  }
  gf_testWriteFile(g_myParkAirportsFile, "EHAM\nEHLE\n");
  ASSERT_TRUE(lf_readMyParkAirports());
  const auto west = [](double nm) { return gf_destination(kEham, 270.0 * kDegToRad, nm * kFeetPerNm); };
  const auto step = [](const LatLon& at, double agl) {
    gf_userAt(at, false, agl);
    gf_handleParkAirport(false);
    if (g_parkCalcPending) gf_handleParkAirport(false);  // reads its stands
    return g_parkAirportIcao;
  };
  EXPECT_EQ(step(west(30.01), 1000), "");
  EXPECT_EQ(step(west(29.99), 3001), "");
  EXPECT_EQ(step(west(29.99), 3000), "EHAM");
  EXPECT_TRUE(logged("EHAM in sight at 30.0 nm"));
  // Between the two, EHLE nearer: EHAM is given up first, then EHLE becomes current.
  const LatLon between{kEham.lat + 0.55 * (kEhle.lat - kEham.lat), kEham.lon + 0.55 * (kEhle.lon - kEham.lon)};
  EXPECT_EQ(step(between, 1000), "");
  EXPECT_TRUE(logged("EHLE is in sight (13.") && logged("parked aircraft at EHAM (AMS) will be removed first"));
  EXPECT_EQ(step(between, 1000), "EHLE");
  EXPECT_EQ(step(west(10), 1000), "");
  EXPECT_TRUE(logged("EHLE is out of sight (39."));

  // The destination keeps the front, and its distance follows the user: out of sight again.
  g_paramAirportRange.setValue(20);
  g_paramDestination.setValue("EHLE");
  gf_setParkAirport("EHLE", kEhle);
  for (const auto& [at, current] : {std::pair{kEham, ""}, std::pair{kEhle, "EHLE"}, std::pair{kEham, ""}}) {
    EXPECT_EQ(step(at, 1000), current);
    EXPECT_EQ(g_parkAirports.front().icao, "EHLE");
    EXPECT_NEAR(g_parkAirports.front().distance, gf_distanceNm(at, kEhle), 0.01);
  }
}

TEST_F(ParkAirportsTest, RereadMovesTheReservedStand) {
  gf_writeParkFile(g_myThirdpartyDir / "EHAM.xml", "Aerosoft", {gf_standRow("A1", 0, 100), gf_standRow("A2", 90, 100)});
  gf_testWriteFile(g_myParkAirportsFile, "EHAM,A1\nEHLE\n");
  ASSERT_TRUE(lf_readMyParkAirports() && lf_setCurrentParkAirport("EHAM"));
  lf_refreshParkDistances(kEhle);  // EHLE first
  std::string message;
  lf_readParkedFile(message);  // EHAM comes first again, with its reserved stand
  ASSERT_EQ(g_parkAirports.front().icao + g_reservedStand, "EHAMA1");
  gf_addStatic("A320", "KLM11*", 2, {1, 20}, 31);

  gf_testWriteFile(g_myParkAirportsFile, "EHAM,A2\nEHLE\n");
  g_paramDestination.setValue("EHLE");
  ASSERT_TRUE(gf_checkParkAirports(true, message));
  EXPECT_EQ(message, "reserved stand changed from \"A1\" to \"A2\"");
  EXPECT_EQ(g_parkAirports.front().icao, "EHLE");  // the destination stays first
  EXPECT_TRUE(!g_parkStands[0].reserved && g_parkStands[1].reserved);
  EXPECT_EQ(g_removeWait, std::deque<std::uint32_t>{31});  // the static on A2
  message.clear();
  ASSERT_TRUE(gf_checkParkAirports(true, message));
  EXPECT_EQ(message, "park airports and stands are okay");
}

// The stand the user stands on becomes the reserved stand of the first candidate only when
// that is the current airport; behind the destination the current airport keeps second place.
TEST_F(ParkAirportsTest, TheUserStandIsReservedForTheFirstCandidateOnly) {
  gf_writeParkFile(g_myThirdpartyDir / "EHAM.xml", "Aerosoft", {gf_standRow("A1", 0, 100), gf_standRow("A2", 90, 100)});
  const auto file = [] { return gf_testReadAll(g_myParkAirportsFile); };
  gf_testWriteFile(g_myParkAirportsFile, "EHAM,A1\nEHLE\n");
  ASSERT_TRUE(lf_readMyParkAirports() && lf_setCurrentParkAirport("EHAM"));
  std::swap(g_parkAirports[0], g_parkAirports[1]);  // EHLE first, nearer
  gf_reserveUserStand("A2");
  EXPECT_EQ(lf_listed() + file(), "EHLE, EHAM,A1 EHAM,A1\nEHLE\n");
  std::swap(g_parkAirports[0], g_parkAirports[1]);
  gf_reserveUserStand("A2");
  EXPECT_EQ(lf_listed() + file(), "EHAM,A2 EHLE, EHAM,A2\nEHLE\n");

  // Reading the stands with the user on A1 and the destination EHLE first.
  g_paramDestination.setValue("EHLE");
  std::swap(g_parkAirports[0], g_parkAirports[1]);
  const ParkPos a1 = gf_standAt("A1", 0, 100, 20.0);
  gf_userAt({a1.lat, a1.lon}, true);
  std::string message;
  lf_readParkedFile(message);
  ASSERT_EQ(message, "");
  EXPECT_EQ(lf_listed() + file(), "EHLE, EHAM,A1 EHAM,A1\nEHLE\n");
}

}  // namespace
}  // namespace traffictest

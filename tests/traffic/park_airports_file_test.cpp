// my_park_airports.txt and the my_thirdparty folder: reading, the rewrite and the folder scan.
#include <fmt/format.h>

#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "park_test_support.h"

namespace traffictest {
namespace {

using ParkListTest = ParkTest;

std::string lf_listed() {
  std::string text;
  for (const ParkAirport& a : g_parkAirports) text += a.icao + "," + a.reservedStand + " ";
  return text;
}

TEST_F(ParkListTest, ReadingSkipsBadLinesAndReadsTheRest) {
  // A UTF-8 mark, CRLF line ends, blank lines, a trailing comma, blanks around the stand.
  gf_testWriteFile(g_myParkAirportsFile,
                   "\xEF\xBB\xBF" "EGLL,,X\r\nEHAM,\r\n\r\n   \r\nXXXX\r\nEHAM\r\nEDDF , A12 \r\n");
  for (const char* name : {"LEAB", "ZZZZ", "EHAM"}) {
    std::filesystem::create_directories(g_myThirdpartyDir / name);
  }
  gf_testWriteFile(g_myThirdpartyDir / "EHLE", "a file, not an airport folder");
  EXPECT_FALSE(lf_readMyParkAirports());
  EXPECT_EQ(lf_listed(), "EHAM, EDDF,A12 LEAB, ");
  EXPECT_TRUE(logged("===> my_park_airports.txt:EGLL,,X wrong syntax, skipped"));
  EXPECT_TRUE(logged("airport XXXX is unknown"));
  EXPECT_TRUE(logged("===> my_park_airports.txt:EHAM double, skipped"));
  EXPECT_TRUE(logged("2 park airports read from \"airports/my_park_airports.txt\""));
  EXPECT_TRUE(logged("1 park airport added from my_thirdparty folder(-s) \n"));

  std::filesystem::remove(g_myParkAirportsFile);
  EXPECT_TRUE(lf_readMyParkAirports());
  EXPECT_EQ(lf_listed(), "EHAM, LEAB, ");
  EXPECT_TRUE(logged("airports/my_park_airports.txt not found"));
}

TEST_F(ParkListTest, ManyAirportsWarnAbove3000) {
  for (const int count : {3000, 3001}) {
    g_airports.clear();
    std::string file;
    for (int i = 0; i < count; ++i) {
      g_airports.push_back({fmt::format("K{:03}", i), "", 40.0, -70.0 - i * 0.01, 0.0});
      file += g_airports.back().code + "\n";
    }
    gf_testWriteFile(g_myParkAirportsFile, file);
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_EQ(g_parkAirports.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText).starts_with("Warning"), count > 3000);
  }
}

TEST_F(ParkListTest, RewriteReplacesOrSortsInAndNeverLosesAFileReadInPart) {
  const auto file = [] { return gf_testReadAll(g_myParkAirportsFile); };
  gf_setParkAirport("EGLL", {51.47, -0.46});  // no file yet
  EXPECT_EQ(file(), "EGLL\n");
  EXPECT_TRUE(logged("my_park_airports.txt created with EGLL"));

  gf_testWriteFile(g_myParkAirportsFile, "EHAM,B2\r\nEGLL\r\n");
  ASSERT_TRUE(lf_readMyParkAirports());
  gf_setParkAirport("EGLL", {});  // listed: to the front, the file is not written
  EXPECT_EQ(g_parkAirports.front().icao, "EGLL");
  EXPECT_EQ(file(), "EHAM,B2\r\nEGLL\r\n");
  gf_writeMyParkAirports();
  EXPECT_EQ(file(), "EGLL,\nEHAM,B2\n");
  EXPECT_TRUE(logged("my_park_airports.txt:EGLL, updated stand"));
  gf_setParkAirport("EDDF", {50.03, 8.57});
  EXPECT_EQ(file(), "EDDF\nEGLL,\nEHAM,B2\n");
  EXPECT_TRUE(logged("my_park_airports.txt:EDDF new entry"));

  // UTF-16 that breaks off at a lone surrogate: nothing is written over what was not read.
  const std::string broken("\xFF\xFE" "E\0H\0A\0M\0\n\0\x00\xD8" "E\0\n\0", 16);
  gf_testWriteFile(g_myParkAirportsFile, broken);
  gf_setParkAirport("EHLE", {52.46, 5.53});
  EXPECT_EQ(file(), broken);
  EXPECT_TRUE(logged("could not be read whole, it is left as it is"));
}

}  // namespace
}  // namespace traffictest

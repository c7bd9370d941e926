// The airports scan's shared state under many threads: the scan log, the link step and the
// generated files of one airport written by several tasks at once.
#include <cstdio>
#include <thread>

#include <fmt/format.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "airports/airports.h"
#include "airports/airports_test_helpers.h"
#include "airports/scan.h"
#include "airports/scan_log.h"
#include "fixtures/bgl_builder.h"
#include "foundation/meta_block.h"
#include "foundation/run_state.h"
#include "foundation/scan_throttle.h"
#include "liveries/aircraft_database.h"

using airports_test::takeScanLog;
using airports_test::WorkingFolder;

namespace {

AirportFile fileWithStands(const std::string& icao, int stands, const std::string& publisher) {
  AirportFile file;
  file.ICAO = icao;
  file.publisher = publisher;
  file.airport_name = "Many";
  for (int k = 0; k < stands; ++k) {
    file.stands.emplace_back(fmt::format("s{}", k), std::vector<ParkPosOption>{},
                             StandPlace{50.0 + k * 1e-4, 8.0, 1.0}, 20.0, 1, 1, 1);
  }
  return file;
}

}  // namespace

TEST(AirportsConcurrencyTest, ScanLogKeepsEveryLineWhole) {
  takeScanLog();
  constexpr int kThreads = 16, kLines = 1000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int k = 0; k < kLines; ++k) {
        lf_scanLog(fmt::format("thread {} line {} {}", t, k, std::string(40, 'x')));
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  const auto lines = takeScanLog();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    int t = -1, k = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d", &t, &k), 2) << line;
    EXPECT_EQ(k, next[t]++);  // each thread's lines keep their order
  }
}

TEST(AirportsConcurrencyTest, OneAirportGeneratedByManyTasksGivesOneWholeFile) {
  WorkingFolder folder;
  g_simulatorName = "P3D";
  takeScanLog();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int round = 0; round < 10; ++round) {
        AirportFile file = fileWithStands("EDDF", 50 + t * 10, "unknown");
        lf_generateApf(file, 0);
        AirportFile other = fileWithStands(fmt::format("ED{:02}", t), 5, "Aerosoft");
        lf_generateApf(other, 0);
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  pugi::xml_document document;
  ASSERT_TRUE(document.load_file("airports/my_thirdparty/EDDF.xml"));
  const auto count = std::distance(document.child("parkpositions").children("parkpos").begin(),
                                   document.child("parkpositions").children("parkpos").end());
  EXPECT_EQ(document.select_node("/parameters/parameter[@name='num_parkpos']").node().attribute("value").as_int(),
            count);
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator("airports/my_thirdparty")) {
    EXPECT_EQ(entry.path().extension(), ".xml") << entry.path();  // no temporary file left
    ++files;
  }
  EXPECT_EQ(files, 9u);
  EXPECT_EQ(takeScanLog().size(), 160u);
}

TEST(AirportsConcurrencyTest, ParallelLinksAndScans) {
  WorkingFolder folder;
  g_simulatorName = "P3D";
  takeScanLog();
  g_dbasePublishers = {{"Pub One"}, {"Pub Two"}};
  std::vector<std::string> codes;
  for (char c = 'A'; c <= 'P'; ++c) {
    codes.push_back(std::string("EZ") + c + "A");
  }
  g_dbaseThirdParties = {{"Pub One", codes}, {"Pub Two", codes}};
  g_numThreads = 0;
  g_maxThreads = 4;
  g_paramSimInstallPath.setValue((folder.path() / "simulator").string());
  for (std::size_t k = 0; k < codes.size(); ++k) {
    const auto file = fixtures::bglSimpleAirportFile(codes[k], k % 2 == 0, 3, 40.0 + k, 10.0);
    fixtures::bglWriteFile(folder.path() / "scen" / (k % 2 ? "Pub One" : "Pub Two") / (codes[k] + ".bgl"),
                           fixtures::bglFileBytes(file));
  }
  lf_scanBglFolder(folder.path() / "scen");
  EXPECT_EQ(g_numThreads.load(), 0);
  for (const std::string& code : codes) {
    EXPECT_TRUE(std::filesystem::exists("airports/my_thirdparty/" + code + ".txt")) << code;
    EXPECT_TRUE(std::filesystem::exists("airports/my_thirdparty/" + code + ".xml")) << code;
  }
  g_dbasePublishers.clear();
  g_dbaseThirdParties.clear();
  g_paramSimInstallPath.setValue("");
  takeScanLog();
}

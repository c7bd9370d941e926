// Scenario files, the user aircraft's path, ground elevation, installed titles and the
// refusal of creations the scenario or the installed titles forbid.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "p3d-standin/p3d_standin.h"
#include "p3d-standin/standin_simobjects.h"
#include "tools/p3d_standin_test_support.h"

using standintest::Packet;
using standintest::RawClient;
using standintest::u32At;

namespace {

namespace fs = std::filesystem;

TEST(StandinScenario, RefusesMalformedScenarios) {
  const char* bad[] = {
      R"([1, 2])",
      R"({"user": {"path": [{"t": 0, "lat": 95, "lon": 0}]}})",
      R"({"user": {"path": [{"t": 5, "lat": 1, "lon": 1}, {"t": 2, "lat": 1, "lon": 1}]}})",
      R"({"user": {"path": [{"t": 0, "lat": "north", "lon": 1}]}})",
      R"({"simulator": "v7"})",
  };
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    EXPECT_THROW(p3d::gf_scenarioFromJson(nlohmann::json::parse(text)), std::exception);
  }
  const fs::path broken = fs::temp_directory_path() / "p3d_standin_broken_scenario.json";
  std::ofstream(broken) << "{\"user\": ";
  EXPECT_THROW(p3d::gf_loadScenario(broken.string()), std::runtime_error);
  fs::remove(broken);
}

TEST(StandinScenario, PathElevationAndPresets) {
  const auto s = p3d::gf_scenarioFromJson(nlohmann::json::parse(R"({
    "simulator": "v6",
    "user": {"path": [{"t": 0, "lat": 10, "lon": 20, "alt_ft": 0, "on_ground": true},
                      {"t": 10, "lat": 11, "lon": 22, "alt_ft": 1000, "on_ground": false}]},
    "ground_elevation_ft": {"default": 5,
                            "airports": [{"icao": "LOWI", "lat": 47.26, "lon": 11.34,
                                          "radius_nm": 3, "elevation_ft": 1906}]}
  })"));
  EXPECT_EQ(s.simName, "Lockheed Martin Prepar3D v6");
  EXPECT_EQ(s.appVersion[0], 6u);
  const p3d::PathPoint mid = p3d::gf_userAt(s, 5);
  EXPECT_DOUBLE_EQ(mid.lat, 10.5);
  EXPECT_DOUBLE_EQ(mid.lon, 21);
  EXPECT_DOUBLE_EQ(mid.altFt, 500);
  EXPECT_DOUBLE_EQ(p3d::gf_userAt(s, -1).lat, 10);
  EXPECT_DOUBLE_EQ(p3d::gf_userAt(s, 99).lat, 11);
  EXPECT_FALSE(p3d::gf_userAt(s, 9).onGround);
  EXPECT_DOUBLE_EQ(p3d::gf_groundElevation(s, 47.27, 11.35), 1906);
  EXPECT_DOUBLE_EQ(p3d::gf_groundElevation(s, 48.0, 11.35), 5);
  const auto newer = p3d::gf_scenarioFromJson(nlohmann::json::parse(R"({"simulator": "newer"})"));
  EXPECT_EQ(newer.simName, "KittyHawk");
}

TEST(StandinSimObjects, ReadsTitlesOfRealPackages) {
  const fs::path dir = fs::path(ZENDRIK_REALWORLD_DIR) / "aircraftcfg";
  if (!fs::exists(dir)) GTEST_SKIP() << "no real-world aircraft.cfg files at " << dir;
  const auto titles = p3d::gf_readInstalledTitles(dir.string());
  EXPECT_TRUE(titles.contains("flai_faib_a321iae_jbu-jetblue"));
  EXPECT_TRUE(titles.contains("flai_faib_a321cfm_aca-air canada oc"));
  EXPECT_GT(titles.size(), 10u);
}

TEST(StandinSimObjects, ReadsUtf16AndBomFilesAndRefusesUninstalledTitles) {
  const fs::path root = fs::temp_directory_path() / "p3d standin 'simobjects' é";
  fs::remove_all(root);
  fs::create_directories(root / "Airplanes" / "A");
  fs::create_directories(root / "Airplanes" / "B");
  {
    std::ofstream a(root / "Airplanes" / "A" / "Aircraft.CFG", std::ios::binary);
    a << "\xEF\xBB\xBF[fltsim.0]\r\ntitle = Airbus A320 Tést // comment\r\nui_type=A320\r\n";
  }
  {
    std::ofstream b(root / "Airplanes" / "B" / "aircraft.cfg", std::ios::binary);
    const std::u16string text = u"[fltsim.0]\r\ntitle=Boeing 747 Cargo\r\n";
    b.put(static_cast<char>(0xFF)).put(static_cast<char>(0xFE));
    for (char16_t c : text) b.put(static_cast<char>(c & 0xFF)).put(static_cast<char>(c >> 8));
  }
  const auto titles = p3d::gf_readInstalledTitles(root.string());
  EXPECT_EQ(titles, (std::set<std::string>{"airbus a320 tést", "boeing 747 cargo"}));

  p3d::StandinOptions o;
  o.port = 0;
  o.simobjectsDir = root.string();
  o.scenario = nlohmann::json{{"faults", {{"refuse_creations", 1}}}};
  p3d::P3dStandin standin(o);
  standin.start();
  RawClient c(standin.port());
  c.send(standintest::openPacket());
  ASSERT_FALSE(c.next(2).empty());
  auto create = [&](std::uint32_t id, const std::string& title) {
    c.send(Packet(0x29, id).text(title, 256).text("T" + std::to_string(id), 12).f64(1).f64(2)
               .f64(0).f64(0).f64(0).f64(0).u32(1).u32(0).u32(104).bytes());
  };
  create(2, "BOEING 747 CARGO");  // refused by the scenario's first refusal
  auto ex = c.next(1);
  EXPECT_EQ(u32At(ex, 12), 22u);
  EXPECT_EQ(u32At(ex, 16), 2u);
  create(3, "Concorde");  // not installed
  ex = c.next(1);
  EXPECT_EQ(u32At(ex, 12), 22u);
  EXPECT_EQ(u32At(ex, 16), 3u);
  create(4, "Boeing 747 Cargo");
  EXPECT_EQ(c.next(12).size(), 20u);
  EXPECT_EQ(standin.aiObjects().size(), 1u);
  standin.stop();
  fs::remove_all(root);
}

}  // namespace

// The client against the simulator stand-in, as the simulator link uses it: open, the setup
// declarations, user aircraft data, creating, moving and removing an AI aircraft, refused
// creations and flight plans.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/paths.h"
#include "simlink/simconnect_test_helpers.h"

using simtest::gf_f64At;
using simtest::gf_textAt;
using simtest::gf_u32At;
using simtest::Received;

namespace {

constexpr std::size_t kData = kSimObjectDataOffset;

nlohmann::json lf_scenario() {
  return {{"user",
           {{"title", "Stand-in 737"},
            {"atc_model", "B738"},
            {"path", {{{"t", 0}, {"lat", 52.3086}, {"lon", 4.7639}, {"alt_ft", -11},
                       {"heading_deg", 90}, {"on_ground", true}}}}}},
          {"ground_elevation_ft", -11},
          {"static_cg", {{"default", {{"height_ft", 8.5}, {"pitch_deg", 1.0}}}}}};
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    trace = (env.root() / "trace.jsonl").string();
    standin = simtest::gf_startStandin(lf_scenario(), "", 60, trace);
    env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
    h = simtest::gf_openClient();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(simtest::gf_sendSetupPackets(h), 73);
  }
  void TearDown() override {
    if (h != nullptr) {
      EXPECT_EQ(SimConnect_Close(h), S_OK);
    }
    EXPECT_TRUE(standin->violations().empty())
        << "first violation: " << (standin->violations().empty() ? "" : standin->violations()[0]);
  }
  // Dispatches until a message passes the filter; returns it (empty when none came).
  std::vector<std::uint8_t> waitFor(const std::function<bool(const Received&)>& match,
                                    double seconds = 5) {
    std::vector<std::uint8_t> found;
    simtest::gf_dispatchUntil(
        h, got,
        [&](const std::vector<Received>& all) {
          for (std::size_t i = scanned; i < all.size(); ++i) {
            if (match(all[i])) {
              found = all[i].bytes;
              scanned = i + 1;
              return true;
            }
          }
          return false;
        },
        seconds);
    return found;
  }
  DWORD lastSendId() {
    DWORD id = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(h, &id), S_OK);
    return id;
  }
  DWORD create(const char* title, const char* tail) {
    SIMCONNECT_DATA_INITPOSITION p{52.3090, 4.7645, 0, 0, 0, 180, 1, 0};
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(h, title, tail, p, 104), S_OK);
    return lastSendId();
  }

  simtest::SimConnectEnvironment env;
  std::string trace;
  std::unique_ptr<p3d::P3dStandin> standin;
  HANDLE h = nullptr;
  std::vector<Received> got;
  std::size_t scanned = 0;
};

TEST_F(EndToEnd, OpenReplySimEventFramesAndUserAircraft) {
  const auto open = waitFor([](const Received& r) { return r.id == SIMCONNECT_RECV_ID_OPEN; });
  ASSERT_EQ(open.size(), sizeof(SIMCONNECT_RECV_OPEN));
  EXPECT_EQ(gf_textAt(open, 12, 256), "Lockheed Martin Prepar3D v5");
  EXPECT_EQ(gf_u32At(open, 268), 5u);

  const auto sim = waitFor([](const Received& r) {
    return r.id == SIMCONNECT_RECV_ID_EVENT && gf_u32At(r.bytes, 16) == 201;
  });
  EXPECT_EQ(gf_u32At(sim, 20), 1u) << "the simulator runs";
  const auto frame = waitFor([](const Received& r) { return r.id == SIMCONNECT_RECV_ID_EVENT_FRAME; });
  EXPECT_EQ(gf_u32At(frame, 16), 204u);

  ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 109, 403, 0, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0),
            S_OK);
  const auto user = waitFor([](const Received& r) {
    return r.id == SIMCONNECT_RECV_ID_SIMOBJECT_DATA && gf_u32At(r.bytes, 12) == 109;
  });
  ASSERT_EQ(user.size(), kData + 96);
  EXPECT_EQ(gf_u32At(user, 16), 1u) << "the user object id";
  EXPECT_NEAR(gf_f64At(user, kData), 52.3086, 1e-9);
  EXPECT_NEAR(gf_f64At(user, kData + 8), 4.7639, 1e-9);
  EXPECT_NEAR(gf_f64At(user, kData + 32), 1.5707963, 1e-6) << "heading in radians";
  std::int64_t year = 0;
  std::memcpy(&year, user.data() + kData + 80, 8);
  EXPECT_EQ(year, 2024);

  ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 106, 407, 0, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0),
            S_OK);
  ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 107, 408, 0, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0),
            S_OK);
  const auto title = waitFor([](const Received& r) { return gf_u32At(r.bytes, 12) == 106; });
  EXPECT_EQ(gf_textAt(title, kData, 256), "Stand-in 737");
  EXPECT_EQ((title.size() - kData) % 4, 0u);
  const auto model = waitFor([](const Received& r) { return gf_u32At(r.bytes, 12) == 107; });
  EXPECT_EQ(model.size(), kData + 32);
  EXPECT_EQ(gf_textAt(model, kData, 32), "B738");

  // On-ground every second: two replies about a second apart.
  ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 108, 409, 0, SIMCONNECT_PERIOD_SECOND, 0, 0, 0,
                                              0),
            S_OK);
  EXPECT_FALSE(waitFor([](const Received& r) { return gf_u32At(r.bytes, 12) == 108; }).empty());
  EXPECT_FALSE(waitFor([](const Received& r) { return gf_u32At(r.bytes, 12) == 108; }, 3).empty());
  EXPECT_EQ(standin->exceptions().size(), 0u);
}

TEST_F(EndToEnd, CreateMoveAndRemoveAnAiAircraft) {
  create("Airbus A320 KLM", "KLM1234");
  const auto added = waitFor([](const Received& r) {
    return r.id == SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE && gf_u32At(r.bytes, 16) == 202;
  });
  ASSERT_FALSE(added.empty());
  const std::uint32_t objectId = gf_u32At(added, 20);
  EXPECT_GT(objectId, 1u);
  EXPECT_EQ(gf_u32At(added, 24), 2u) << "an aircraft";

  ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(h, 101, 404, 20000,
                                                  SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT),
            S_OK);
  const auto mine = waitFor([&](const Received& r) {
    return r.id == SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE && gf_u32At(r.bytes, 16) == objectId;
  });
  ASSERT_EQ(mine.size(), kData + 56);
  EXPECT_EQ(gf_textAt(mine, kData + 24, 32), "KLM1234");
  EXPECT_EQ(gf_u32At(mine, 32), 2u) << "user and one AI aircraft";
  std::int64_t onGround = 0;
  std::memcpy(&onGround, mine.data() + kData + 16, 8);
  EXPECT_EQ(onGround, 1);
  EXPECT_NEAR(gf_f64At(mine, kData + 8), -11.0, 1e-9) << "ground altitude of the scenario";

  ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 102, 405, objectId, SIMCONNECT_PERIOD_ONCE, 0, 0,
                                              0, 0),
            S_OK);
  const auto cg = waitFor([](const Received& r) { return gf_u32At(r.bytes, 12) == 102; });
  EXPECT_NEAR(gf_f64At(cg, kData), 8.5, 1e-9);

  simtest::PositionRecord move{52.3100, 4.7700, 0.02, -0.01, 3.0, 950.0, 12.0, 150.0};
  ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 402, objectId, 0, 0, 64, &move), S_OK);
  ASSERT_TRUE(p3d::P3dStandin::waitUntil(
      [&] {
        const auto objects = standin->aiObjects();
        return objects.size() == 1 && std::abs(objects[0].lat - 52.31) < 1e-12;
      },
      5));
  const p3d::SimObject o = standin->aiObjects().at(0);
  EXPECT_NEAR(o.lon, 4.77, 1e-12);
  EXPECT_NEAR(o.altFt, 950.0, 1e-12);
  EXPECT_NEAR(o.headingRad, 3.0, 1e-12);
  EXPECT_FALSE(o.onGround);

  ASSERT_EQ(SimConnect_TransmitClientEvent(h, objectId, 215, 1, 301, 0), S_OK);
  ASSERT_EQ(SimConnect_TransmitClientEvent(h, objectId, 208, 1, 301, 0), S_OK);
  ASSERT_TRUE(p3d::P3dStandin::waitUntil(
      [&] {
        const auto objects = standin->aiObjects();
        return !objects.empty() && objects[0].freezeLatLon && (objects[0].lights & 1) != 0;
      },
      5));
  // The trace follows the object: a frame line with the new position and the frozen flag.
  ASSERT_TRUE(p3d::P3dStandin::waitUntil(
      [&] {
        std::ifstream in(gf_pathFromUtf8(trace));
        for (std::string line; std::getline(in, line);) {
          const auto j = nlohmann::json::parse(line);
          if (j["kind"] != "frame") continue;
          for (const auto& obj : j["objects"]) {
            if (obj["id"] == objectId && std::abs(obj["lat"].get<double>() - 52.31) < 1e-12 &&
                obj["frozen"][0] == true && obj["lights"] == 1) {
              return true;
            }
          }
        }
        return false;
      },
      5));

  ASSERT_EQ(SimConnect_AIRemoveObject(h, objectId, 105), S_OK);
  const auto removed = waitFor([&](const Received& r) {
    return r.id == SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE && gf_u32At(r.bytes, 16) == 203;
  });
  EXPECT_EQ(gf_u32At(removed, 20), objectId);
  EXPECT_TRUE(standin->aiObjects().empty());
  EXPECT_TRUE(standin->exceptions().empty());
}

TEST_F(EndToEnd, RefusalsComeBackWithTheOffendingSendId) {
  p3d::Faults faults;
  faults.refuseCreations = 1;
  standin->setFaults(faults);
  const DWORD refused = create("Airbus A320 KLM", "KLM1");
  auto ex = waitFor([](const Received& r) { return r.id == SIMCONNECT_RECV_ID_EXCEPTION; });
  EXPECT_EQ(gf_u32At(ex, 12), 22u);
  EXPECT_EQ(gf_u32At(ex, 16), refused);

  // The next creation succeeds; an unknown object and a broken flight plan are refused.
  create("Airbus A320 KLM", "KLM2");
  const auto added = waitFor([](const Received& r) {
    return r.id == SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE && gf_u32At(r.bytes, 16) == 202;
  });
  const std::uint32_t objectId = gf_u32At(added, 20);

  ASSERT_EQ(SimConnect_AIRemoveObject(h, 99999, 105), S_OK);
  const DWORD removeId = lastSendId();
  ex = waitFor([](const Received& r) { return r.id == SIMCONNECT_RECV_ID_EXCEPTION; });
  EXPECT_EQ(gf_u32At(ex, 12), 3u);
  EXPECT_EQ(gf_u32At(ex, 16), removeId);

  const auto good = env.root() / "good.pln";
  std::ofstream(good) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                         "<FlightPlan.FlightPlan>\n<FPType>IFR</FPType>\n"
                         "<DepartureID>EHAM</DepartureID>\n<DestinationID>EGLL</DestinationID>\n"
                         "</FlightPlan.FlightPlan>\n</SimBase.Document>\n";
  const auto bad = env.root() / "bad.pln";
  std::ofstream(bad) << "<SimBase.Document><FlightPlan.FlightPlan>";
  ASSERT_EQ(SimConnect_AISetAircraftFlightPlan(h, objectId, good.string().c_str(), 110), S_OK);
  ASSERT_EQ(SimConnect_AISetAircraftFlightPlan(h, objectId, bad.string().c_str(), 110), S_OK);
  const DWORD badId = lastSendId();
  ex = waitFor([](const Received& r) { return r.id == SIMCONNECT_RECV_ID_EXCEPTION; });
  EXPECT_EQ(gf_u32At(ex, 12), 23u);
  EXPECT_EQ(gf_u32At(ex, 16), badId);
  EXPECT_EQ(standin->aiObjects().at(0).flightPlan, "EHAM-EGLL");
  EXPECT_EQ(standin->exceptions().size(), 3u);
}

TEST_F(EndToEnd, AClosedConnectionTakesItsObjectsAlong) {
  create("Airbus A320 KLM", "KLM3");
  ASSERT_TRUE(p3d::P3dStandin::waitUntil([&] { return standin->aiObjects().size() == 1; }, 5));
  EXPECT_EQ(SimConnect_Close(h), S_OK);
  h = nullptr;
  EXPECT_TRUE(p3d::P3dStandin::waitUntil([&] { return standin->aiObjects().empty(); }, 5));
}

}  // namespace

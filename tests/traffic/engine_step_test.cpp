// The engine step: its pace over 1000 steps, the reports it takes or drops, MAX_LIVE and the
// reset between runs.
#include <mutex>

#include <fmt/format.h>

#include "engine_test_support.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "liveries/aircraft_database.h"

using namespace enginetest;
using traffictest::gf_addStand;
using traffictest::gf_standAt;

namespace {

class EngineStepTest : public EngineTest {};

CreateAcRequest lf_request(const std::string& callsign, std::uint32_t tag) {
  CreateAcRequest r;
  r.callsign = callsign;
  r.tag = tag;
  r.latitude = traffictest::kField.lat;  // at the user aircraft: within the traffic radius
  r.longitude = traffictest::kField.lon;
  return r;
}

StaticCandidate lf_candidate(std::uint32_t standId, const std::string& cs) {
  return {standId, 0, "KLM", "B738", cs, "", "PH-" + cs, true};
}

}  // namespace

// Removals every 10th step, creations every 50th (live first, then statics, whose candidates go
// on after a dropped one), create requests built last key first, the range request every 100th
// step (20th while a flare waits for the ground) and the user position every 100th.
TEST_F(EngineStepTest, ThousandPacedSteps) {
  g_tickCount = 0;
  for (std::uint32_t id = 1000; id < 1150; ++id) g_removeWait.push_back(id);
  g_liveCreateWait = {lf_request("L1", 10101), lf_request("L2", 10102)};
  g_staticCreateWait = {lf_request("S0*", 9001)};
  const std::uint32_t free1 = gf_addStand(gf_standAt("F1", 0.0, 300.0, 30.0)).number;
  const std::uint32_t free2 = gf_addStand(gf_standAt("F2", 90.0, 300.0, 30.0)).number;
  const std::uint32_t taken = gf_addStand(gf_standAt("T1", 180.0, 300.0, 30.0)).number;
  gf_static("B738", "X1*", g_parkStands[taken - 1]);
  g_staticCandidates = {lf_candidate(free2, "KLM2"), lf_candidate(free1, "KLM1"),
                        lf_candidate(taken, "KLM9")};  // the back one is blocked
  for (const char* cs : {"K1", "K2", "K3"}) {
    AiAircraft& a = gf_live("A320", cs, gf_at(0, 1000), kStAdding2Sim, kFsTaxi);
    a.livery = "Test A320";
    g_liveToCreate.push_back(a.key);
  }
  AiAircraft& flaring = gf_live("A320", "FLR", gf_at(0, 2000), kStActive, kFsFlying, 300.0);
  flaring.flareStage = 2;
  flaring.stream.front().dueTime = 1000000;

  g_paramLog.setValue(true);
  std::vector<std::uint32_t> removedAt, createdTags, builtKeys, packetSteps;
  std::uint32_t lastBuilt = g_liveCreateWait.back().tag;
  DWORD lastPacket = 0;
  SimConnect_GetLastSentPacketID(g_hSimConnect.load(), &lastPacket);
  for (std::uint32_t n = 0; n < 1000; ++n) {
    g_fastRangeRequest = n >= 500;  // the flare's aircraft keeps it set
    gf_liveTrafficStep();
    std::lock_guard lock(g_simMutex);
    if (!g_removeQueue.empty()) removedAt.push_back(n);
    for (const CreateAcRequest& c : g_createQueue) createdTags.push_back(c.tag);
    g_removeQueue.clear();
    g_createQueue.clear();
    if (!g_liveCreateWait.empty() && g_liveCreateWait.back().tag != lastBuilt) {
      lastBuilt = g_liveCreateWait.back().tag;
      builtKeys.push_back(lastBuilt);
    }
    DWORD packet = 0;
    SimConnect_GetLastSentPacketID(g_hSimConnect.load(), &packet);
    for (; lastPacket < packet; ++lastPacket) packetSteps.push_back(n);
  }
  std::vector<std::uint32_t> everyTenth, packets;
  for (std::uint32_t n = 0; n < 1000; n += 10) everyTenth.push_back(n);
  for (std::uint32_t n = 0; n < 1000; ++n) {
    if (n % (n >= 500 ? 20 : 100) == 0) packets.push_back(n);  // the range request
    if (n % 100 == 0) packets.push_back(n);                     // the user aircraft's sample
  }
  EXPECT_EQ(removedAt, everyTenth);
  EXPECT_EQ(builtKeys, (std::vector<std::uint32_t>{10003, 10002, 10001}));
  // L1 L2 K3 K2 K1 at steps 0 to 200; S0 at 250 (the blocked candidate dropped), then the static
  // aircraft of KLM1 and KLM2 at 350 and 400.
  ASSERT_EQ(createdTags.size(), 8u);
  EXPECT_EQ(std::vector<std::uint32_t>(createdTags.begin(), createdTags.begin() + 6),
            (std::vector<std::uint32_t>{10101, 10102, 10003, 10002, 10001, 9001}));
  EXPECT_TRUE(createdTags[6] < kFirstLiveKey && createdTags[7] < kFirstLiveKey);
  EXPECT_TRUE(g_staticCandidates.empty() && g_staticCreateWait.empty());
  EXPECT_TRUE(logged("no static parking for KLM9, static aircraft X1*"));
  EXPECT_EQ(packetSteps, packets);
  EXPECT_EQ(g_tickCount.load(), 1000u);
  // The flaring aircraft leaves: the fast range requests end with it.
  removeAircraftFromSim(g_liveAc[gf_liveWithCallsign("FLR").at(0)]);
  gf_liveTrafficStep();
  EXPECT_FALSE(g_fastRangeRequest);
}

// A report merged, or dropped for a reason the merge test names.
TEST_F(EngineStepTest, ReportsMergedOrDropped) {
  g_parkAirportIcao = "EHAM";
  g_parkAirportElev = 400.0;
  struct Case {
    const char* what;
    std::uint32_t st;
    bool airborne;  // the aircraft's last report and the new one
    double lastGs, gs, dt, trackTurn, alt;
    std::int32_t predicted;
    ReportFate fate;
  };
  const Case cases[] = {
      {"respawning", kStLiveryRespawn, false, 10, 12, 5, 20, 0, 0, ReportFate::kOnItsWayOut},
      {"same time", kStActive, false, 10, 12, 0, 20, 0, 0, ReportFate::kTooSoon},
      {"1 s later", kStActive, false, 10, 12, 1, 20, 0, 0, ReportFate::kTooSoon},
      {"x10 speed", kStActive, false, 10, 100, 5, 20, 0, 0, ReportFate::kSpeedJump},
      {"from 3 to 80 kt", kStActive, false, 3, 80, 5, 20, 0, 0, ReportFate::kSpeedJump},
      {"from 80 to 5 kt", kStActive, false, 80, 5, 5, 20, 0, 0, ReportFate::kSpeedJump},
      {"450 m not yet flown", kStActive, true, 250, 250, 3, 0.5, 5000, 0, ReportFate::kThinned},
      {"450 m flown", kStActive, true, 250, 250, 4, 0.5, 5000, 0, ReportFate::kMerged},
      {"predicted meanwhile", kStActive, true, 250, 250, 3, 0.5, 5000, 2, ReportFate::kMerged},
      {"20 m not yet rolled", kStActive, false, 10, 10, 3, 1, 0, 0, ReportFate::kThinned},
      {"turned on the ground", kStActive, false, 10, 10, 3, 3, 0, 0, ReportFate::kMerged},
      {"standing 15 s", kStActive, false, 0, 0, 15, 0, 0, 0, ReportFate::kThinned},
      {"standing 16 s", kStActive, false, 0, 0, 16, 0, 0, 0, ReportFate::kMerged},
      {"waiting, at the park ground", kStBuffer, false, 10, 12, 5, 20, 430, 0, ReportFate::kOnParkGround},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gf_resetTraffic();
    g_parkAirportIcao = "EHAM";
    g_parkAirportElev = 400.0;
    const double lastAlt = c.airborne ? 5000.0 : 0.0;
    AiAircraft& a = gf_live("A320", "KLM1", gf_at(0, 0), c.st, kFsTaxi, lastAlt);
    a.predictedReports = c.predicted;
    a.stream.front().groundSpeed = c.lastGs;
    a.stream.front().track = 90.0;
    a.lastMerged = a.stream.front();
    TrafficReport r = gf_report(a.key, "KLM1", "A320", gf_at(40, 0), c.alt, c.gs, 90.0 + c.trackTurn,
                                1000.0 + c.dt);
    EXPECT_EQ(lf_takeReport(r), c.fate);
  }
}

// A taxiing aircraft held after its reports stopped: the hold's made-up report at 0 kt is no
// report of the aircraft, so the real one moving on at 90 kt is no speed jump.
TEST_F(EngineStepTest, AReportAfterAHoldIsJudgedAgainstTheLastRealOne) {
  AiAircraft& a = gf_live("A320", "KLM1", gf_at(0, 0), kStActive, kFsTaxi, 0.0);
  a.stream.front().groundSpeed = 15.0;
  a.stream.front().track = 90.0;
  a.lastMerged = a.stream.front();
  PositionReport hold = a.stream.front();
  hold.groundSpeed = 0.0;
  hold.samePosition = true;
  a.stream.push_back(hold);
  a.predictedReports = 1;
  TrafficReport r = gf_report(a.key, "KLM1", "A320", gf_at(40, 0), 0, 90.0, 90.0, 1040.0);
  EXPECT_EQ(lf_takeReport(r), ReportFate::kMerged);
}

// What a report of a new aircraft must bring to become one.
TEST_F(EngineStepTest, NewAircraftFilters) {
  g_dbaseRegs = {{"PH-BXA", {"KLM", "B738", "", false}}};
  struct Case {
    const char* type;
    const char* registration;
    double alt;
    bool lightOn, park;  // park: a park airport at 0 ft, else none (-1000 ft)
    ReportFate fate;
  };
  const Case cases[] = {
      {"", "PH-BXA", 3000, true, false, ReportFate::kNewAircraft},      // type from the registration
      {"XXXX", "PH-BXA", 3000, true, false, ReportFate::kNewAircraft},  // unknown type replaced
      {"XXXX", "D-XXXX", 3000, true, false, ReportFate::kUnknownType},
      {"C172", "", 3000, false, false, ReportFate::kCategoryOff},
      {"C172", "", 3000, true, false, ReportFate::kNewAircraft},
      {"B744", "", 3000, false, false, ReportFate::kNewAircraft},  // a Heavy always
      {"A320", "", 30, true, true, ReportFate::kOnParkGround},
      {"A320", "", 30, true, false, ReportFate::kNewAircraft},
  };
  std::uint32_t key = 20000;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.registration);
    g_paramLightAircraft.setValue(c.lightOn);
    g_parkAirportIcao = c.park ? "EHAM" : "";
    g_parkAirportElev = 0.0;
    ++key;
    TrafficReport r = gf_report(key, "X" + std::to_string(key), c.type, gf_at(0, 0), c.alt, 200, 0, 1.0);
    r.registration = c.registration;
    EXPECT_EQ(lf_takeReport(r), c.fate);
  }
  const AiAircraft* fromReg = gf_liveByKey(20001);
  ASSERT_NE(fromReg, nullptr);
  EXPECT_EQ(fromReg->type, "B738");
  EXPECT_EQ(fromReg->text6, "X20001");
  EXPECT_EQ(fromReg->taxiSpeed, g_catBirthTaxiSpeedKt.at(kCatLarge));
  TrafficReport same = gf_report(20100, "X20001", "B738", gf_at(0, 0), 3000, 200, 0, 1.0);
  EXPECT_EQ(lf_takeReport(same), ReportFate::kSameCallsignType);
}

// A step takes every waiting report: a burst leaves no backlog to starve later traffic. Known
// aircraft take all theirs; new aircraft come in two a step, as the spawn pacing expects, the
// nearest first (one of a type without livery, dropped, takes no turn), and the reports of the
// others wait for the next steps: none is lost. Of a flood, 1,000 reports wait, the rest of the
// farthest are dropped and counted with the buffer's drops.
TEST_F(EngineStepTest, EveryWaitingReportTakenInOneStep) {
  constexpr std::uint32_t kKnown = 100;
  constexpr std::uint32_t kUnknown = 50;
  std::vector<std::uint32_t> known;
  for (std::uint32_t k = 0; k < kKnown; ++k) {
    AiAircraft& a = gf_live("A320", fmt::format("K{}", k), gf_at(0, k * 300.0), kStActive,
                            kFsFlying, 5000.0);
    a.stream.front().groundSpeed = 250.0;
    a.stream.front().track = 90.0;
    a.lastMerged = a.stream.front();
    known.push_back(a.key);
  }
  {
    std::lock_guard lock(g_trafficMutex);
    for (std::uint32_t k = 0; k < kKnown; ++k) {
      g_liveTrafficBuffer.push_back(gf_report(known[k], fmt::format("K{}", k), "A320",
                                              gf_at(40, k * 300.0), 5000, 250, 90.5, 1004.0));
      if (k < kUnknown) {
        g_liveTrafficBuffer.push_back(gf_report(30000 + k, fmt::format("N{}", k), "A320",
                                                gf_at(0, -10000 + 100.0 * k), 3000, 250, 90, 1.0));
      }
    }
    g_liveTrafficBuffer.push_back(
        gf_report(39999, "U1", "XXXX", gf_at(0, -100), 3000, 250, 90, 1.0));  // nearest
  }
  gf_liveTrafficStep();
  EXPECT_EQ(g_liveTrafficBuffer.size(), kUnknown - 2);
  for (const std::uint32_t key : known) EXPECT_EQ(gf_liveByKey(key)->lastReportTime, 1004.0);
  EXPECT_EQ(g_liveAc.size(), kKnown + 2);
  EXPECT_TRUE(gf_liveByKey(30049) && gf_liveByKey(30048) && !gf_liveByKey(30047));
  for (std::uint32_t step = 1; step < kUnknown / 2; ++step) gf_liveTrafficStep();
  EXPECT_TRUE(g_liveTrafficBuffer.empty());
  EXPECT_EQ(g_liveAc.size(), kKnown + kUnknown);

  constexpr std::uint32_t kFlood = 1010;
  const std::size_t droppedBefore = g_trafficReader.droppedReports();
  {
    std::lock_guard lock(g_trafficMutex);
    for (std::uint32_t k = 0; k < kFlood; ++k) {
      g_liveTrafficBuffer.push_back(gf_report(40000 + k, fmt::format("F{}", k), "A320",
                                              gf_at(0, 20000 + 10.0 * k), 3000, 250, 90, 1.0));
    }
  }
  gf_liveTrafficStep();
  EXPECT_TRUE(gf_liveByKey(40000) && gf_liveByKey(40001));
  ASSERT_EQ(g_liveTrafficBuffer.size(), 1000u);
  EXPECT_EQ(g_liveTrafficBuffer.back().key, 40000 + kFlood - 9);
  EXPECT_EQ(g_trafficReader.droppedReports() - droppedBefore, 8u);
}

// MAX_LIVE 3 of 5 active aircraft removes the two farthest; -1 removes nothing; a farther
// aircraft counts only when it lies more than 0.1 nm beyond.
TEST_F(EngineStepTest, MaxLive) {
  for (double nm : {10.0, 20.0, 30.0, 40.0, 50.0}) {
    gf_live("A320", "M" + std::to_string(static_cast<int>(nm)), gf_at(0, nm * 1852.0), kStActive,
            kFsFlying, 5000.0);
  }
  g_paramMaxLive.setValue(-1);
  gf_enforceMaxLive();
  EXPECT_TRUE(g_removeWait.empty());
  g_paramMaxLive.setValue(3);
  gf_enforceMaxLive();
  EXPECT_EQ(g_removeWait, (std::deque<std::uint32_t>{105, 104}));
  EXPECT_EQ(gf_activeLiveCount(), 3u);
  EXPECT_TRUE(lf_removeFarthestLiveAc(29.95));   // 30 nm is not 0.1 nm farther
  EXPECT_FALSE(lf_removeFarthestLiveAc(20.0));   // 30 nm is
  EXPECT_EQ(g_removeWait.back(), 103u);
}

// A create request that waited while the traffic radius shrank is not sent: the simulator would
// never name an object beyond the radius. The aircraft goes back to the spawn decision, which
// skips its reports out there and creates it at its first report inside.
TEST_F(EngineStepTest, NoCreationBeyondTheTrafficRadius) {
  g_tickCount = 0;
  const std::uint32_t near = gf_live("A320", "NEAR", gf_at(0, 5 * 1852.0), kStAdding2Sim,
                                     kFsFlying, 5000.0).key;
  AiAircraft& far = gf_live("A320", "FAR", gf_at(0, 30 * 1852.0), kStAdding2Sim, kFsFlying, 5000.0);
  const std::uint32_t farKey = far.key;
  for (const double nm : {8.0, 7.0}) {
    PositionReport inside = far.stream.back();
    const LatLon at = gf_at(0, nm * 1852.0);
    inside.lat = at.lat;
    inside.lon = at.lon;
    far.stream.push_back(inside);
  }
  // Its reports inside are due once its request is handed over (a request sent late starts at
  // the report due by then).
  for (std::int32_t i = 0; PositionReport& r : far.stream) r.dueTime = i++ == 0 ? 0 : 150;
  for (AiAircraft& a : g_liveAc) a.livery = "Test A320";
  lf_queueLiveCreate(farKey);
  lf_queueLiveCreate(near);
  gf_setTrafficRadius(10.0);
  std::vector<CreateAcRequest> sent;
  for (int n = 0; n <= 100; ++n) {
    gf_liveTrafficStep();
    std::lock_guard lock(g_simMutex);
    sent.insert(sent.end(), g_createQueue.begin(), g_createQueue.end());
    g_createQueue.clear();
  }
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].tag, near);
  EXPECT_EQ(sent[1].tag, farKey);
  EXPECT_DOUBLE_EQ(sent[1].latitude, gf_at(0, 8 * 1852.0).lat);
  EXPECT_EQ(gf_liveByKey(farKey)->st, kStAdding2Sim);
}

// The reset empties every container of the engine and the park airport; the step count runs on.
TEST_F(EngineStepTest, ResetForARestart) {
  gf_live("A320", "R1", gf_at(0, 0), kStActive, kFsTaxi);
  gf_static("A320", "S1*", gf_addStand(gf_standAt("A1", 0, 50, 30)));
  g_removeWait = {1};
  g_liveToCreate = {1};
  g_ghostTexts = {"G_"};
  g_refusedCallsigns = {"KLM1234567890"};
  g_lightToggles.push_back({});
  g_fastRangeRequest = g_parkCalcPending = g_learnSoftAllowed = true;
  g_busy = true;
  g_qnh = 990;
  g_parkAirportIcao = "EHAM";
  g_parkAirports.push_back({"EHAM", "", {}, 0.0});
  g_newLiveIds = {10001};
  {
    std::lock_guard lock(g_trafficMutex);
    g_liveTrafficBuffer.push_back({});
  }
  gf_resetTraffic();
  EXPECT_TRUE(g_liveAc.empty() && g_staticAc.empty() && g_parkStands.empty() && g_removeWait.empty() &&
              g_liveToCreate.empty() && g_ghostTexts.empty() && g_lightToggles.empty() &&
              g_parkAirports.empty() && g_newLiveIds.empty() && g_parkAirportIcao.empty());
  EXPECT_TRUE(g_refusedCallsigns.empty());  // blocked for one run only
  EXPECT_FALSE(g_fastRangeRequest || g_parkCalcPending || g_learnSoftAllowed || g_busy.load());
  EXPECT_EQ(g_qnh.load(), 1013);
  EXPECT_EQ(g_parkApfHeader.altitude, -1);
  EXPECT_TRUE(g_liveTrafficBuffer.empty());
  EXPECT_EQ(g_tickCount.load(), static_cast<std::uint32_t>(kNow));
}

// Removal in every object state, wherever the creation request is, called once and twice; the
// parked state's client events.
#include <mutex>
#include <tuple>

#include <fmt/format.h>

#include "foundation/parameters.h"
#include "traffic_test_support.h"

using namespace traffictest;

namespace {
class RemovalTest : public TrafficTest {};
enum Request { kLiveQueue, kStaticQueue, kHandedOver };
}  // namespace

TEST_F(RemovalTest, EveryStateOnceAndTwice) {
  // Expected flags as "buffer, erase, pending", then st, ids queued, stand freed, requests left.
  using Outcome = std::tuple<std::string, std::uint32_t, std::size_t, bool, std::size_t>;
  const auto expected = [](std::uint32_t st, Request where, std::uint32_t objectId) -> Outcome {
    const std::size_t queued = where == kHandedOver ? 0 : 1;
    if (st == kStBuffer) return {"100", st, 0, false, queued};
    if (st == kStAdding2Sim) return {where == kHandedOver ? "001" : "010", st, 0, false, 0};
    if (st == kStRemovingFromSim) return {"000", st, 0, false, queued};
    // A livery respawn queued its object when it began.
    const std::size_t ids = objectId != 0 && st != kStLiveryRespawn ? 1 : 0;
    return {objectId ? "000" : "010", kStRemovingFromSim, ids, true, queued};
  };
  for (std::uint32_t st = kStBuffer; st <= kStRemovingFromSim; ++st) {
    for (const Request where : {kLiveQueue, kStaticQueue, kHandedOver}) {
      for (const auto& [calls, objectId] : {std::pair{1, 77u}, {2, 77u}, {2, 0u}}) {
        SCOPED_TRACE(testing::Message() << "st " << st << " request " << where << " calls "
                                        << calls << " object " << objectId);
        gf_resetEngine();
        gf_addStand(gf_standAt("G1", 0, 0, 20)).liveOccupied = true;
        StaticAircraft a(gf_head("A320", "KLM5", "PH-EZC", 5), 1, {}, false);
        std::tie(a.st, a.objectId) = std::tuple(st, objectId);
        if (where != kHandedOver) {
          (where == kLiveQueue ? g_liveCreateWait : g_staticCreateWait).emplace_back().callsign =
              "KLM5";
        }
        for (int k = 0; k < calls; ++k) removeAircraftFromSim(a);
        const std::string flags{a.removedFromBuffer ? '1' : '0', a.eraseMe ? '1' : '0',
                                a.removalPending ? '1' : '0'};
        EXPECT_EQ(Outcome(flags, a.st, g_removeWait.size(), !g_parkStands[0].liveOccupied,
                          g_liveCreateWait.size() + g_staticCreateWait.size()),
                  expected(st, where, objectId));
      }
    }
  }
  EXPECT_TRUE(logged("===> removeAircraftFromSim removing act KLM5     PH-EZC   "));
}

TEST_F(RemovalTest, RemovalDuringALiveryRespawnQueuesTheObjectOnce) {
  // The ghost check and the update's removals reach a record whose respawn has queued its
  // object: one AIRemoveObject, and the removal notice then ends the record.
  for (const bool parked : {false, true}) {
    gf_resetEngine();
    ParkPos& stand = gf_addStand(gf_standAt("G1", 0, 0, 20));
    stand.liveOccupied = true;
    AiAircraft a({52.0, 4.0}, gf_head("A320", "KLM5", "PH-EZC", 5), 1.0);
    std::tie(a.st, a.objectId, a.standId) = std::tuple(kStActive, 42u, stand.number);
    a.fs = parked ? kFsParked : kFsTaxi;
    liveryRespawn(a);
    removeAircraftFromSim(a);
    removeAircraftFromSim(a);
    EXPECT_EQ(g_removeWait, (std::deque<std::uint32_t>{42})) << parked;
    EXPECT_EQ(a.st, kStRemovingFromSim);
    EXPECT_FALSE(g_parkStands[0].liveOccupied);
  }
}

TEST_F(RemovalTest, ParkedStateEvents) {
  // Events as "id=data" in order: 223 THROTTLE, 218 FLAPS, 222 SHUTDOWN, then the seven lights.
  const auto lights = [](int nav, int cabin) {
    return fmt::format(" 208={} 207=0 211=0 209=0 210=0 213=1 212={}", nav, cabin);
  };
  const std::vector<std::tuple<const char*, bool, bool, bool, std::string>> cases{
      {"A320", false, true, false, "223=0 218=0 222=0" + lights(1, 1)},
      {"EC35", false, true, false, "223=0 222=0" + lights(1, 1)},
      {"A320", true, true, false, "223=0 218=0 222=0" + lights(1, 0)},
      {"A320", false, false, false, "223=0 218=0 222=0" + lights(0, 1)},
      {"A320", false, true, true, "222=0" + lights(1, 1)}};
  g_paramRandom.setValue(false);
  for (const auto& [type, cargoStand, nav, parkedBefore, events] : cases) {
    g_paramNavLightsWhileParked.setValue(nav);
    StaticAircraft a(gf_head(type, "KLM7", "", 9), 1, {}, cargoStand);
    a.objectId = 9;
    if (parkedBefore) a.throttleStep = a.flapsStep = 0;
    setParkedState(a);
    std::lock_guard lock(g_simMutex);
    std::string sent;
    for (const ClientEventRequest& e : g_eventQueue) {
      sent += fmt::format("{}{}={}", sent.empty() ? "" : " ", e.eventId, e.data);
      EXPECT_EQ(e.objectId, 9u);
    }
    EXPECT_EQ(sent, events) << type;
    g_eventQueue.clear();
  }
}

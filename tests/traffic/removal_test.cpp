// Removal in every object state, wherever the creation request is, called once and twice; the
// parked state's client events.
#include <mutex>

#include "foundation/parameters.h"
#include "traffic_test_support.h"

using namespace traffictest;

namespace {

class RemovalTest : public TrafficTest {};

enum class Request { kLiveQueue, kStaticQueue, kHandedOver };

struct Expected {
  bool removedFromBuffer, eraseMe, pending;
  std::uint32_t st;
  std::size_t removeWait;  // ids queued
  bool standFree;
  std::size_t requestsLeft;
};

Expected lf_expected(std::uint32_t st, Request where) {
  const std::size_t queued = where == Request::kHandedOver ? 0 : 1;
  switch (st) {
    case kStBuffer: return {true, false, false, st, 0, false, queued};
    case kStAdding2Sim:
      return where == Request::kHandedOver ? Expected{false, false, true, st, 0, false, 0}
                                           : Expected{false, true, false, st, 0, false, 0};
    case kStRemovingFromSim: return {false, false, false, st, 0, false, queued};
    default: return {false, false, false, kStRemovingFromSim, 1, true, queued};
  }
}

}  // namespace

TEST_F(RemovalTest, EveryStateOnceAndTwice) {
  for (std::uint32_t st = kStBuffer; st <= kStRemovingFromSim; ++st) {
    for (const Request where : {Request::kLiveQueue, Request::kStaticQueue, Request::kHandedOver}) {
      for (const int calls : {1, 2}) {
        SCOPED_TRACE(testing::Message() << "st " << st << " request " << static_cast<int>(where)
                                        << " calls " << calls);
        gf_resetEngine();
        gf_addStand(gf_standAt("G1", 0, 0, 20)).liveOccupied = true;
        StaticAircraft a(gf_head("A320", "KLM5", "PH-EZC", 5), 1, {}, false);
        a.st = st;
        a.objectId = 77;
        CreateAcRequest request;
        request.callsign = "KLM5";
        if (where == Request::kLiveQueue) g_liveCreateWait.push_back(request);
        if (where == Request::kStaticQueue) g_staticCreateWait.push_back(request);
        for (int k = 0; k < calls; ++k) removeAircraftFromSim(a);

        const Expected e = lf_expected(st, where);
        EXPECT_EQ(a.removedFromBuffer, e.removedFromBuffer);
        EXPECT_EQ(a.eraseMe, e.eraseMe);
        EXPECT_EQ(a.removalPending, e.pending);
        EXPECT_EQ(a.st, e.st);
        EXPECT_EQ(g_removeWait.size(), e.removeWait);
        EXPECT_EQ(g_parkStands[0].liveOccupied, !e.standFree);
        EXPECT_EQ(g_liveCreateWait.size() + g_staticCreateWait.size(), e.requestsLeft);
      }
    }
  }
}

// Without an object nothing can report the removal: the record is dropped by its owner.
TEST_F(RemovalTest, ActiveRecordWithoutObjectIsDropped) {
  StaticAircraft a(gf_head("A320", "KLM6", "PH-EZD", 6), 0, {}, false);
  a.st = kStActive;
  removeAircraftFromSim(a);
  EXPECT_EQ(a.st, static_cast<std::uint32_t>(kStRemovingFromSim));
  EXPECT_TRUE(a.eraseMe);
  EXPECT_TRUE(g_removeWait.empty());
  EXPECT_NE(log().find("===> removeAircraftFromSim removing act KLM6     PH-EZD  "),
            std::string::npos);
}

TEST_F(RemovalTest, ParkedStateEvents) {
  struct Case {
    const char* name;
    const char* type;
    bool standFlag, nav, alreadyParked;
    std::vector<ClientEventRequest> events;
  };
  const auto lights = [](std::uint32_t nav, std::uint32_t cabin) {
    return std::vector<ClientEventRequest>{
        {9, kEventNavLightsSet, nav},      {9, kEventBeaconLightsSet, 0},
        {9, kEventLandingLightsSet, 0},    {9, kEventTaxiLightsSet, 0},
        {9, kEventStrobesSet, 0},          {9, kEventLogoLightsSet, 1},
        {9, kEventCabinLightsSet, cabin}};
  };
  const auto with = [](std::vector<ClientEventRequest> head, std::vector<ClientEventRequest> tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const ClientEventRequest throttle{9, kEventThrottleSet, 0}, flaps{9, kEventFlapsSet, 0},
      shutdown{9, kEventEngineAutoShutdown, 0};
  const std::vector<Case> cases{
      {"airliner", "A320", false, true, false, with({throttle, flaps, shutdown}, lights(1, 1))},
      {"rotorcraft", "EC35", false, true, false, with({throttle, shutdown}, lights(1, 1))},
      {"cargo stand", "A320", true, true, false, with({throttle, flaps, shutdown}, lights(1, 0))},
      {"nav off", "A320", false, false, false, with({throttle, flaps, shutdown}, lights(0, 1))},
      {"already parked", "A320", false, true, true, with({shutdown}, lights(1, 1))},
  };
  g_paramRandom.setValue(false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_paramNavLightsWhileParked.setValue(c.nav);
    StaticAircraft a(gf_head(c.type, "KLM7", "", 9), 1, {}, c.standFlag);
    a.objectId = 9;
    if (c.alreadyParked) a.throttleStep = a.flapsStep = 0;
    setParkedState(a);
    std::lock_guard lock(g_simMutex);
    ASSERT_EQ(g_eventQueue.size(), c.events.size());
    for (std::size_t k = 0; k < c.events.size(); ++k) {
      EXPECT_EQ(g_eventQueue[k].eventId, c.events[k].eventId) << k;
      EXPECT_EQ(g_eventQueue[k].data, c.events[k].data) << k;
      EXPECT_EQ(g_eventQueue[k].objectId, 9u);
    }
    g_eventQueue.clear();
    EXPECT_EQ(a.throttleStep, 0u);
  }
}

// The SimClient thread: opens the SimConnect connection (retrying every second), declares every
// system event, data definition and client event the program uses, dispatches what the
// simulator sends every millisecond, and closes the connection at the end of the run.
#include <fmt/format.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/registry_lookup.h"
#include "foundation/run_state.h"
#include "simlink/sim_internal.h"

std::atomic<HANDLE> g_hSimConnect{nullptr};
std::atomic<std::uint32_t> g_p3dMajorVersion{5};
std::atomic<bool> g_simRunning{false};
std::atomic<bool> g_simRequestError{false};
std::atomic<float> g_simFrameRate{0.0f};

namespace {

constexpr const char* kAppName = "Zendrik_P3D";
constexpr std::size_t kQueueReserve = 256;
constexpr auto kOpenRetry = std::chrono::seconds(1);
constexpr DWORD kDispatchPollMs = 1;
constexpr UINT kTimerResolutionMs = 1;

// A client event id and the name of the system or simulator event it stands for.
struct EventName {
  DWORD eventId;
  const char* name;
};
constexpr std::array<EventName, 6> kSystemEvents{{
    {kEventSim, "Sim"},
    {kEventObjectAdded, "ObjectAdded"},
    {kEventObjectRemoved, "ObjectRemoved"},
    {kEventPositionChanged, "PositionChanged"},
    {kEventFlightLoaded, "FlightLoaded"},
    {kEventFrame, "Frame"},
}};

struct DefinitionEntry {
  DWORD definition;
  const char* variable;
  const char* units;  // null: no units
  SIMCONNECT_DATATYPE type;
};
constexpr SIMCONNECT_DATATYPE kInt64 = SIMCONNECT_DATATYPE_INT64;
constexpr SIMCONNECT_DATATYPE kFloat64 = SIMCONNECT_DATATYPE_FLOAT64;
constexpr SIMCONNECT_DATATYPE kString32 = SIMCONNECT_DATATYPE_STRING32;
// The order of the entries of one definition is the order of its record's fields.
constexpr std::array<DefinitionEntry, 33> kDefinitions{{
    {kDefUserTitle, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV},
    {kDefUserModel, "ATC MODEL", nullptr, kString32},
    {kDefUserOnGround, "SIM ON GROUND", "Bool", kInt64},
    {kDefAiPosition, "Plane Latitude", "degree", kFloat64},
    {kDefAiPosition, "Plane Longitude", "degree", kFloat64},
    {kDefAiPosition, "Plane Pitch degrees", "radians", kFloat64},
    {kDefAiPosition, "Plane Bank degrees", "radians", kFloat64},
    {kDefAiPosition, "Plane Heading degrees true", "radians", kFloat64},
    {kDefAiPosition, "Plane Altitude", "feet", kFloat64},
    {kDefAiPosition, "Vertical Speed", "feet per second", kFloat64},
    {kDefAiPosition, "Airspeed True", "knots", kFloat64},
    {kDefUserAc, "Plane Latitude", "degree", kFloat64},
    {kDefUserAc, "Plane Longitude", "degree", kFloat64},
    {kDefUserAc, "Plane Pitch degrees", "radians", kFloat64},
    {kDefUserAc, "Plane Bank degrees", "radians", kFloat64},
    {kDefUserAc, "Plane Heading degrees true", "radians", kFloat64},
    {kDefUserAc, "Plane Altitude", "feet", kFloat64},
    {kDefUserAc, "Plane Alt Above Ground", "feet", kFloat64},
    {kDefUserAc, "Ground Velocity", "knots", kFloat64},
    {kDefUserAc, "ZULU TIME", "Seconds", kInt64},
    {kDefUserAc, "ZULU DAY OF YEAR", "Number", kInt64},
    {kDefUserAc, "ZULU YEAR", "Number", kInt64},
    {kDefUserAc, "LIGHT STATES", "Mask", kInt64},
    {kDefStaticCg, "Static CG to Ground", "feet", kFloat64},
    {kDefStaticCg, "Static Pitch", "radians", kFloat64},
    {kDefLightOnStates, "Light On States", "Mask", kInt64},
    {kDefAcInRange, "Plane Alt Above Ground", "feet", kFloat64},
    {kDefAcInRange, "Ground Altitude", "feet", kFloat64},
    {kDefAcInRange, "SIM ON GROUND", "Bool", kInt64},
    {kDefAcInRange, "ATC ID", nullptr, kString32},
    {kDefSpoilersThrottles, "SPOILERS HANDLE POSITION", "percent", kFloat64},
    {kDefSpoilersThrottles, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", kFloat64},
    {kDefSpoilersThrottles, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", kFloat64},
}};

constexpr std::array<EventName, 17> kClientEvents{{
    {kEventGearSet, "GEAR_SET"},
    {kEventEngineAutoStart, "ENGINE_AUTO_START"},
    {kEventEngineAutoShutdown, "ENGINE_AUTO_SHUTDOWN"},
    {kEventThrottleSet, "THROTTLE_SET"},
    {kEventFlapsSet, "FLAPS_SET"},
    {kEventSpoilersSet, "SPOILERS_SET"},
    {kEventNavLightsSet, "NAV_LIGHTS_SET"},
    {kEventBeaconLightsSet, "BEACON_LIGHTS_SET"},
    {kEventLandingLightsSet, "LANDING_LIGHTS_SET"},
    {kEventTaxiLightsSet, "TAXI_LIGHTS_SET"},
    {kEventStrobesSet, "STROBES_SET"},
    {kEventLogoLightsSet, "LOGO_LIGHTS_SET"},
    {kEventCabinLightsSet, "CABIN_LIGHTS_SET"},
    {kEventAllLightsToggle, "ALL_LIGHTS_TOGGLE"},
    {kEventFreezeLatLonSet, "FREEZE_LATITUDE_LONGITUDE_SET"},
    {kEventFreezeAltitudeSet, "FREEZE_ALTITUDE_SET"},
    {kEventFreezeAttitudeSet, "FREEZE_ATTITUDE_SET"},
}};

// The events of notification group 301, in the order they are added (ENGINE_AUTO_START is not).
constexpr std::array<DWORD, 16> kGroupEvents{
    kEventNavLightsSet, kEventBeaconLightsSet, kEventLandingLightsSet,  kEventTaxiLightsSet,
    kEventStrobesSet,   kEventLogoLightsSet,   kEventCabinLightsSet,    kEventAllLightsToggle,
    kEventFlapsSet,     kEventSpoilersSet,     kEventGearSet,           kEventEngineAutoShutdown,
    kEventThrottleSet,  kEventFreezeLatLonSet, kEventFreezeAltitudeSet, kEventFreezeAttitudeSet};
constexpr DWORD kHighestPriority = 1;

// Raises the system timer resolution to 1 ms for as long as it lives.
class TimerResolution {
 public:
  TimerResolution() { timeBeginPeriod(kTimerResolutionMs); }
  ~TimerResolution() { timeEndPeriod(kTimerResolutionMs); }
  TimerResolution(const TimerResolution&) = delete;
  TimerResolution& operator=(const TimerResolution&) = delete;
};

bool lf_stopWanted(const std::stop_token& stop) {
  return g_stopRequested.load() || g_exitRequested.load() || stop.stop_requested();
}

// Sleeps one retry period on the steady clock; a stop on the token ends the sleep at once.
void lf_waitBeforeRetry(const std::stop_token& stop) {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  wake.wait_for(lock, stop, kOpenRetry, [] { return false; });
}

// Dispatches every millisecond until the stop token is set. A failed dispatch means the
// connection is gone (the simulator quit or crashed): the run ends with SIM WAS CLOSED.
void lf_dispatchLoop(HANDLE h, const std::stop_token& stop) {
  TimerResolution resolution;
  while (!stop.stop_requested()) {
    const HRESULT result = SimConnect_CallDispatch(h, lf_dispatch, nullptr);
    if (result < 0) {
      gf_logError(
          fmt::format("SimConnect dispatch failed: {:#010x}", static_cast<std::uint32_t>(result)));
      g_simRunning.exchange(false);
      gf_simDisconnected();
      return;
    }
    Sleep(kDispatchPollMs);
  }
}

// Opens the connection and dispatches on it; `opened` receives the handle as soon as the
// simulator answered. Returns after one connection has ended, or when a stop came before the
// simulator answered.
void lf_connectAndDispatch(const std::stop_token& stop, HANDLE& opened) {
  bool firstPass = true;
  while (!lf_stopWanted(stop)) {
    if (firstPass) {
      firstPass = false;
      gf_showMessage(fmt::format("Waiting for Prepar3Dv{} ...", gf_p3dVersionFromPath()), true);
      g_mainWindowState.invalidate(kStatusArea);
    }
    HANDLE h = nullptr;
    if (SimConnect_Open(&h, kAppName, nullptr, 0, nullptr, 0) < 0) {
      lf_waitBeforeRetry(stop);
      continue;
    }
    opened = h;
    g_hSimConnect.store(h);
    lf_setupSimConnect();
    lf_dispatchLoop(h, stop);
    return;  // one connection per run
  }
}

// The closing steps, whatever ended the thread. The connection closed is the one this thread
// opened: the global handle may have been cleared meanwhile by a reset.
void lf_closeLink(HANDLE opened) {
  g_parkStandCheckRequested.store(true);  // carried out by the worker (gf_parkStandCheck)
  g_simConnected.store(0);
  g_mainWindowState.invalidate(kLampsArea);
  if (opened != nullptr) {
    if (SimConnect_Close(opened) < 0) {
      gf_logError("Closing SimConnect failed?!");
    } else {
      gf_log("SimConnect closed ok");
    }
  }
}

void lf_linkLost(const std::string& text) {
  gf_showError(text);
  g_simRunning.exchange(false);
  gf_simDisconnected();
}

}  // namespace

void gf_initSimConnect(std::uint32_t majorVersion) {
  g_p3dMajorVersion.store(majorVersion);
  {
    std::lock_guard lock(g_simMutex);
    g_posFillQueue->reserve(kQueueReserve);
    g_posQueue->reserve(kQueueReserve);
    g_createQueue.reserve(kQueueReserve);
    g_removeQueue.reserve(kQueueReserve);
  }
  // SimClient has not started yet: its own containers are free to touch.
  g_pendingCreates.reserve(kQueueReserve);
  g_addedObjectIds.reserve(kQueueReserve);
  g_ownObjectIds.reserve(kQueueReserve);
  g_simRequestError.exchange(false);
}

void lf_setupSimConnect() {
  const HANDLE h = g_hSimConnect.load();
  for (const EventName& e : kSystemEvents) {
    SimConnect_SubscribeToSystemEvent(h, e.eventId, e.name);
  }
  for (const DefinitionEntry& d : kDefinitions) {
    SimConnect_AddToDataDefinition(h, d.definition, d.variable, d.units, d.type, 0.0f,
                                   SIMCONNECT_UNUSED);
  }
  for (const EventName& e : kClientEvents) {
    SimConnect_MapClientEventToSimEvent(h, e.eventId, e.name);
  }
  for (const DWORD eventId : kGroupEvents) {
    SimConnect_AddClientEventToNotificationGroup(h, kSimGroupId, eventId, TRUE);
  }
  SimConnect_SetNotificationGroupPriority(h, kSimGroupId, kHighestPriority);
}

void SimClient(std::stop_token stop) {
  HANDLE opened = nullptr;
  try {
    lf_connectAndDispatch(stop, opened);
  } catch (const qvb::UserErrorException& e) {
    // The run goes on without a link; the user can correct the setting or the aircraft.
    gf_showError(e.what());
  } catch (const std::exception& e) {
    lf_linkLost(e.what());
  } catch (...) {
    lf_linkLost(fmt::format("Exception in {}", "SimClient"));
  }
  lf_closeLink(opened);
}

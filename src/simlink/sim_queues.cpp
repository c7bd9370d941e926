// The four outbound queues between the engine and the simulator, and the pump that sends them
// from the SimClient thread on every Frame event. Other threads only append under g_simMutex;
// the pump only try-locks it, so a busy frame is skipped and its requests go out on the next.
#include <fmt/format.h>

#include <limits>

#include "foundation/day_slots.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "simlink/sim_internal.h"

std::mutex g_simMutex;

namespace {
// The two halves of the double-buffered position queue.
std::vector<AcPositionUpdate> g_positionsA;
std::vector<AcPositionUpdate> g_positionsB;
// The request id of the last creation sent. SimClient only.
DWORD g_lastCreateRequestId = kFirstCreateRequestId - 1;
}  // namespace

std::vector<AcPositionUpdate>* g_posFillQueue = &g_positionsA;
std::vector<AcPositionUpdate>* g_posQueue = &g_positionsB;
std::vector<ClientEventRequest> g_eventQueue;
std::vector<CreateAcRequest> g_createQueue;
std::vector<std::uint32_t> g_removeQueue;
std::vector<PendingCreate> g_pendingCreates;
std::atomic<std::uint32_t> g_userObjectId{kInitialUserObjectId};

namespace {

void lf_sendPositions(HANDLE h) {
  const std::uint32_t userId = g_userObjectId.load();
  for (AcPositionUpdate& p : *g_posQueue) {
    if (p.objectId <= userId) continue;
    // The record is the first 64 bytes of the update; the result is not examined.
    SimConnect_SetDataOnSimObject(h, kDefAiPosition, p.objectId, 0, 0, kAiPositionRecordSize, &p);
  }
  g_posQueue->clear();
}

// FLAPS_SET goes between two releases of AI control, or the AI takes the flaps back.
void lf_sendClientEvents(HANDLE h) {
  for (const ClientEventRequest& e : g_eventQueue) {
    const bool flaps = e.eventId == kEventFlapsSet;
    if (flaps) SimConnect_AIReleaseControl(h, e.objectId, kRequestReleaseControl);
    const HRESULT result =
        SimConnect_TransmitClientEvent(h, e.objectId, e.eventId, e.data, kSimGroupId, 0);
    if (result != S_OK) {
      gf_showMessage(fmt::format("SimConnect TransmitClientEvent: {} fails", e.eventId), true);
      continue;
    }
    if (flaps) SimConnect_AIReleaseControl(h, e.objectId, kRequestReleaseControl);
  }
  g_eventQueue.clear();
}

// After the largest id the count starts again from the first.
DWORD lf_nextCreateRequestId() {
  g_lastCreateRequestId = g_lastCreateRequestId == std::numeric_limits<DWORD>::max()
                              ? kFirstCreateRequestId
                              : g_lastCreateRequestId + 1;
  return g_lastCreateRequestId;
}

void lf_sendRemovals(HANDLE h) {
  const std::uint32_t userId = g_userObjectId.load();
  for (const std::uint32_t id : g_removeQueue) {
    if (id <= userId) {
      gf_logError(fmt::format("Simconnect call to remove ac with objectid {}", id));
      continue;
    }
    const HRESULT result = SimConnect_AIRemoveObject(h, id, kRequestRemoveAc);
    if (result != S_OK) {
      gf_logError(fmt::format("{}!Simconnect call to remove AI ac from sim failed, id {}?",
                              gf_timeNow(), id));
      gf_simConnectRequestError(result);
    }
  }
  g_removeQueue.clear();
}

}  // namespace

void gf_queueCreateAc(const CreateAcRequest& request) {
  std::lock_guard lock(g_simMutex);
  g_createQueue.push_back(request);
}

void gf_queueClientEvent(const ClientEventRequest& event) {
  std::lock_guard lock(g_simMutex);
  g_eventQueue.push_back(event);
}

void gf_queueNavLights(std::uint32_t objectId, std::uint32_t on) {
  gf_queueClientEvent({objectId, kEventNavLightsSet, on});
}

void gf_queueCabinLights(std::uint32_t objectId, std::uint32_t on) {
  gf_queueClientEvent({objectId, kEventCabinLightsSet, on});
}

bool lf_createAcInSim(const CreateAcRequest& request) {
  const HANDLE h = g_hSimConnect.load();
  const std::string title(request.title);
  const SIMCONNECT_DATA_INITPOSITION init{request.latitude, request.longitude, request.altitude,
                                          request.pitch,    request.bank,      request.heading,
                                          request.onGround, request.airspeed};
  const DWORD requestId = lf_nextCreateRequestId();
  const HRESULT result = SimConnect_AICreateNonATCAircraft(
      h, title.c_str(), request.callsign.c_str(), init, requestId);
  if (result < 0) {
    gf_logError(
        fmt::format("! Simcon call to create ac in sim failed, hexid:{}, liv: \"{}\", "
                    "callsign: {}",
                    request.tag, title, request.callsign));
    // A title (from a user's aircraft.cfg) or a callsign too long for the packet is this
    // aircraft's fault, not the connection's: ending the run would meet it again after the
    // restart, for as long as it is reported.
    if (result == kSimConnectStringTooLong) return false;
    gf_simConnectRequestError(result);
    return true;
  }
  DWORD sendId = 0;
  if (SimConnect_GetLastSentPacketID(h, &sendId) != S_OK) {
    gf_logError("GetLastSentPacketID");
    sendId = 0;
  }
  g_pendingCreates.push_back({sendId, request.tag, request.callsign, requestId});
  return true;
}

void lf_resetQueues() {
  std::lock_guard lock(g_simMutex);
  g_positionsA.clear();
  g_positionsB.clear();
  g_posFillQueue = &g_positionsA;
  g_posQueue = &g_positionsB;
  g_createQueue.clear();
  g_removeQueue.clear();
  g_eventQueue.clear();
}

namespace {

// A creation that did not fit its packet: a callsign too long for a tail number is the aircraft's
// own fault; otherwise the title did not fit, which is the livery's, as a refusal of the title by
// the simulator is.
SimObjectNotice lf_refusalNotice(const CreateAcRequest& request) {
  const bool callsign = request.callsign.size() >= kSimConnectTailNumberField;
  return {0, request.tag, 0, callsign ? kNoticeCallsignRefused : kNoticeCreateFailed, 0.0, 0.0};
}

}  // namespace

void lf_processSimQueues() {
  std::vector<SimObjectNotice> refusals;
  {
    std::unique_lock lock(g_simMutex, std::try_to_lock);
    if (!lock.owns_lock()) return;  // another thread is queueing: this frame sends nothing
    if (g_simRequestError.load()) {
      g_posQueue->clear();
      g_eventQueue.clear();
      g_createQueue.clear();
      g_removeQueue.clear();
      return;
    }
    const HANDLE h = g_hSimConnect.load();
    const SimConnectWriteBatch oneWrite(h);  // the pass reaches the simulator at once
    lf_sendPositions(h);
    lf_sendClientEvents(h);
    for (const CreateAcRequest& request : g_createQueue) {
      if (!lf_createAcInSim(request) && request.tag != 0) {
        refusals.push_back(lf_refusalNotice(request));
      }
    }
    g_createQueue.clear();
    lf_sendRemovals(h);
  }
  // As the simulator's own refusal (exception 22) would be; posted without g_simMutex, which is
  // taken after the notices' mutex.
  for (const SimObjectNotice& refusal : refusals) gf_postSimObjectNotice(refusal);
}

// The dispatch of everything the simulator sends, on the SimClient thread: the check that the
// right simulator connected, simulator exceptions, the run state and new flights, objects added
// and removed, and the Frame event that runs the pump. Data replies and the answers to creations
// are handled in sim_user_aircraft.cpp and sim_objects.cpp.
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "simlink/sim_internal.h"

namespace {

constexpr std::uint32_t kNewFlightDelaySec = 30;
constexpr unsigned kFramesPerRateSample = 30;  // the frame rate is stored every 30th Frame
constexpr std::size_t kAppNameField = sizeof(SIMCONNECT_RECV_OPEN::szApplicationName);

// Frame events since the frame rate was last stored. SimClient only.
unsigned g_framesSinceRate = 0;

// Least size of a message of each kind: the bytes its handler reads. 0: any size.
DWORD lf_leastSize(DWORD id) {
  switch (id) {
    case SIMCONNECT_RECV_ID_EXCEPTION:
      return sizeof(SIMCONNECT_RECV_EXCEPTION);
    case SIMCONNECT_RECV_ID_OPEN:
      return sizeof(SIMCONNECT_RECV_OPEN);
    case SIMCONNECT_RECV_ID_EVENT:
      return sizeof(SIMCONNECT_RECV_EVENT);
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE:
      return sizeof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE);
    case SIMCONNECT_RECV_ID_EVENT_FILENAME:
      return sizeof(SIMCONNECT_RECV_EVENT_FILENAME);
    case SIMCONNECT_RECV_ID_EVENT_FRAME:
      return sizeof(SIMCONNECT_RECV_EVENT_FRAME);
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE:
      return kSimObjectDataOffset;
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID:
      return sizeof(SIMCONNECT_RECV_ASSIGNED_OBJECT_ID);
    default:
      return 0;
  }
}

bool lf_contains(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

// Keeps the ASCII letters, digits and white space of a name; every other byte goes.
std::string lf_plainName(const std::string& name) {
  std::string plain;
  for (const char c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80 && (std::isalnum(b) != 0 || std::isspace(b) != 0)) plain += c;
  }
  return plain;
}

bool lf_acceptsVersion(const std::string& simText, const char* lower, const char* upper,
                       std::uint32_t major) {
  if (!lf_contains(simText, lower)) return false;
  const std::string install = g_paramSimInstallPath.value();
  return lf_contains(install, lower) || lf_contains(install, upper) ||
         g_p3dMajorVersion.load() == major;
}

void lf_open(const SIMCONNECT_RECV_OPEN& m) {
  const std::string rawName = lf_fieldText(m.szApplicationName, kAppNameField);
  if (rawName.empty()) {
    gf_log("! Simulator name empty?");
    return;
  }
  g_simConnected.store(1);
  g_mainWindowState.invalidate(kLampsArea);
  const std::string name = lf_plainName(rawName);
  if (name == "KittyHawk" || name == "SunRise") {
    throw qvb::UserErrorException(78, fmt::format("{}, (MSFS) not being P3D connects ... ?", name));
  }
  const std::string simText = fmt::format("{} ({}.{}.{}.{})", name, m.dwApplicationVersionMajor,
                                          m.dwApplicationVersionMinor, m.dwApplicationBuildMajor,
                                          m.dwApplicationBuildMinor);
  gf_log(fmt::format("{} connected", simText));
  g_mainWindowState.storeText(&MainWindowState::simName, simText, kLampsArea);
  if (lf_acceptsVersion(simText, "v5", "V5", 5) || lf_acceptsVersion(simText, "v6", "V6", 6)) {
    gf_clearMessage();
    return;
  }
  g_paramAllInstallPath.enable();  // the user may type the path of the right simulator
  throw qvb::UserErrorException(78,
                                fmt::format("wrong P3D version \"{}\" connects ... ?", simText));
}

// Exception 22: the creation with this send id was refused; the engine learns it by its tag.
void lf_creationRefused(DWORD sendId) {
  const auto it = std::find_if(g_pendingCreates.begin(), g_pendingCreates.end(),
                               [sendId](const PendingCreate& p) { return p.sendId == sendId; });
  if (it == g_pendingCreates.end()) return;
  const std::uint32_t tag = it->tag;
  *it = std::move(g_pendingCreates.back());
  g_pendingCreates.pop_back();
  if (tag != 0) gf_postSimObjectNotice({0, tag, 0, kNoticeCreateFailed, 0.0, 0.0});
}

void lf_exception(const SIMCONNECT_RECV_EXCEPTION& m) {
  switch (m.dwException) {
    case SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID:
      if (lf_notPlacedYet(g_prevUserPos) || g_stopRequested.load() || g_exitRequested.load()) {
        return;
      }
      gf_logError("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
      return;
    case SIMCONNECT_EXCEPTION_VERSION_MISMATCH:
      throw qvb::UserErrorException(
          95, fmt::format("Simconnect Version Mismatch, dwindex: {} ", m.dwIndex));
    case SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS:
      gf_showMessage("SimConnect: too many objects (max 1000)", true);
      return;
    case SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE:
      gf_log("SIMCON EXCEP 19");
      return;
    case SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED:
      lf_creationRefused(m.dwSendID);
      return;
    case SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED:
      gf_logError("Simconnect exception: load flight plan failed");
      return;
    case SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE:
      gf_log("SIMCON EXCEP 24");
      return;
    default:
      gf_logError(fmt::format("SIMCON EXCEP {}", m.dwException));
      return;
  }
}

void lf_event(const SIMCONNECT_RECV_EVENT& m) {
  switch (m.uEventID) {
    case kEventSim: {
      const bool running = m.dwData == 1;
      g_simRunning.exchange(running);
      g_mainWindowState.simRunningLamp.store(running ? 1 : 0);
      g_mainWindowState.invalidate(kLampsArea);
      return;
    }
    case kEventPositionChanged:
      gf_logError("User ac position changed");
      lf_newFlightStop();
      return;
    case kEventFlightLoaded:
      gf_log("Simconnect: flight loaded event");
      g_parkStandCheckRequested.store(true);
      lf_newFlightStop();
      return;
    default:
      return;
  }
}

void lf_objectAddedOrRemoved(const SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE& m) {
  if (m.eObjType != SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT) return;
  const std::uint32_t objectId = m.dwData;
  if (m.uEventID == kEventObjectAdded) {
    if (objectId > g_userObjectId.load() && !g_ownObjectIds.contains(objectId)) {
      g_addedObjectIds.insert(objectId);
    }
  } else if (m.uEventID == kEventObjectRemoved) {
    lf_objectRemoved(objectId);
  }
}

void lf_frame(const SIMCONNECT_RECV_EVENT_FRAME& m) {
  lf_processSimQueues();
  if (++g_framesSinceRate >= kFramesPerRateSample) {
    g_framesSinceRate = 0;
    g_simFrameRate.store(m.fFrameRate);
  }
}

// The message copied into the handler's type (a message may lie anywhere in memory); its size
// has been checked.
template <typename T>
T lf_as(const SIMCONNECT_RECV* message) {
  T copy;
  std::memcpy(&copy, message, sizeof copy);
  return copy;
}

ObjectData lf_objectData(const SIMCONNECT_RECV* message, DWORD size) {
  SIMCONNECT_RECV_SIMOBJECT_DATA head{};
  std::memcpy(&head, message, kSimObjectDataOffset);  // without the first word of the record
  return {head.dwRequestID, head.dwObjectID,
          reinterpret_cast<const std::uint8_t*>(message) + kSimObjectDataOffset,
          size - kSimObjectDataOffset};
}

}  // namespace

std::string lf_fieldText(const char* field, std::size_t fieldSize) {
  const void* zero = std::memchr(field, 0, fieldSize);
  const std::size_t length = zero == nullptr
                                 ? fieldSize
                                 : static_cast<std::size_t>(static_cast<const char*>(zero) - field);
  return std::string(field, length);
}

void lf_newFlightStop() {
  gf_requestStop(kExitNewFlight, kNewFlightDelaySec);
}

void lf_dispatch(SIMCONNECT_RECV* message, DWORD size, void* /*context*/) {
  if (message == nullptr) return;
  if (size < sizeof(SIMCONNECT_RECV)) {
    gf_logError(fmt::format("! SimConnect message too short: {} bytes", size));
    return;
  }
  const DWORD id = lf_as<SIMCONNECT_RECV>(message).dwID;
  if (size < lf_leastSize(id)) {
    gf_logError(fmt::format("! SimConnect message {} too short: {} bytes", id, size));
    return;
  }
  switch (id) {
    case SIMCONNECT_RECV_ID_EXCEPTION:
      lf_exception(lf_as<SIMCONNECT_RECV_EXCEPTION>(message));
      return;
    case SIMCONNECT_RECV_ID_OPEN:
      lf_open(lf_as<SIMCONNECT_RECV_OPEN>(message));
      return;
    case SIMCONNECT_RECV_ID_QUIT:
      g_simRunning.exchange(false);
      return;
    case SIMCONNECT_RECV_ID_EVENT:
      lf_event(lf_as<SIMCONNECT_RECV_EVENT>(message));
      return;
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE:
      lf_objectAddedOrRemoved(lf_as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(message));
      return;
    case SIMCONNECT_RECV_ID_EVENT_FILENAME:
      gf_logError("SimConnect: New file event");
      g_parkStandCheckRequested.store(true);
      lf_newFlightStop();
      return;
    case SIMCONNECT_RECV_ID_EVENT_FRAME:
      lf_frame(lf_as<SIMCONNECT_RECV_EVENT_FRAME>(message));
      return;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
      lf_handleObjectData(lf_objectData(message, size));
      return;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE:
      lf_handleAcInRange(lf_objectData(message, size));
      return;
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID: {
      const auto m = lf_as<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(message);
      lf_objectIdAssigned(m.dwRequestID, m.dwObjectID);
      return;
    }
    case SIMCONNECT_RECV_ID_CLIENT_DATA:
      return;
    default:
      gf_log(fmt::format("! Unknown Dispatch dwID {}", id));
      return;
  }
}

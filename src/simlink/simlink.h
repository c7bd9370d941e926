// The simulator link: the one SimConnect connection of the process, run by the SimClient thread,
// the four outbound queues the engine fills and the pump sends on every Frame event, what the
// link learns of the user aircraft, the notices it posts for the engine, and flight-plan files.
//
// Threads: SimClient (one per run) opens the connection, runs every inbound handler and the
// pump. The worker (engine, run set-up) and the GUI thread (navigation lights) only queue
// requests and make their own SimConnect calls under g_simMutex.
// Lock order: g_simNoticesMutex, then g_simMutex. SimClient never takes g_simNoticesMutex while
// it holds g_simMutex. g_simMutex is not recursive: no function here that takes it may be called
// with it held.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geometry.h"
#include "platform/win32.h"
#include "simlink/simconnect/simconnect.h"

// ---- Identifiers towards the simulator ----------------------------------------------------------

// Request ids; replies and exceptions carry them back.
inline constexpr DWORD kRequestAcInRange = 101;       // definition 404 by type, radius in metres
inline constexpr DWORD kRequestStaticCg = 102;        // definition 405 on one object, once
inline constexpr DWORD kRequestReleaseControl = 103;  // AIReleaseControl
inline constexpr DWORD kRequestRemoveAc = 105;        // AIRemoveObject
inline constexpr DWORD kRequestUserTitle = 106;       // definition 407, user, once
inline constexpr DWORD kRequestUserModel = 107;       // definition 408, user, once
inline constexpr DWORD kRequestUserOnGround = 108;    // definition 409, user, every second
inline constexpr DWORD kRequestUserAc = 109;          // definition 403, user, once
inline constexpr DWORD kRequestFlightPlan = 110;      // AISetAircraftFlightPlan
// AICreateNonATCAircraft: each creation has a request id of its own, counted from here, so that
// the simulator's answer with the new object's id (ASSIGNED_OBJECT_ID) names its creation.
inline constexpr DWORD kFirstCreateRequestId = 0x10000;

// Data definitions.
inline constexpr DWORD kDefSpoilersThrottles = 401;  // 24 bytes: spoiler handle, throttles 1, 2 (%)
inline constexpr DWORD kDefAiPosition = 402;         // 64 bytes: the record of AcPositionUpdate
inline constexpr DWORD kDefUserAc = 403;             // 96 bytes: UserAcData
inline constexpr DWORD kDefAcInRange = 404;          // 56 bytes: AcInRangeRecord (sim_internal.h)
inline constexpr DWORD kDefStaticCg = 405;           // 16 bytes: static CG height ft, pitch rad
inline constexpr DWORD kDefLightOnStates = 406;      // 8 bytes; declared, never requested
inline constexpr DWORD kDefUserTitle = 407;          // the title, a zero-terminated text
inline constexpr DWORD kDefUserModel = 408;          // 32 bytes: ATC MODEL
inline constexpr DWORD kDefUserOnGround = 409;       // 8 bytes: SIM ON GROUND

// System events (client event ids the subscriptions use).
inline constexpr DWORD kEventSim = 201;
inline constexpr DWORD kEventObjectAdded = 202;
inline constexpr DWORD kEventObjectRemoved = 203;
inline constexpr DWORD kEventFrame = 204;
inline constexpr DWORD kEventPositionChanged = 205;
inline constexpr DWORD kEventFlightLoaded = 206;

// Client events, sent to AI objects through the event queue with group kSimGroupId.
inline constexpr DWORD kEventBeaconLightsSet = 207;
inline constexpr DWORD kEventNavLightsSet = 208;
inline constexpr DWORD kEventTaxiLightsSet = 209;
inline constexpr DWORD kEventStrobesSet = 210;
inline constexpr DWORD kEventLandingLightsSet = 211;
inline constexpr DWORD kEventCabinLightsSet = 212;
inline constexpr DWORD kEventLogoLightsSet = 213;
inline constexpr DWORD kEventAllLightsToggle = 214;
inline constexpr DWORD kEventFreezeLatLonSet = 215;
inline constexpr DWORD kEventFreezeAltitudeSet = 216;
inline constexpr DWORD kEventFreezeAttitudeSet = 217;
inline constexpr DWORD kEventFlapsSet = 218;
inline constexpr DWORD kEventSpoilersSet = 219;
inline constexpr DWORD kEventGearSet = 220;
inline constexpr DWORD kEventEngineAutoStart = 221;  // mapped, not in the notification group
inline constexpr DWORD kEventEngineAutoShutdown = 222;
inline constexpr DWORD kEventThrottleSet = 223;

inline constexpr DWORD kSimGroupId = 301;  // the notification group of every client event

// Keys at or below this tag are static aircraft; live aircraft have keys from 10001 on.
inline constexpr std::uint32_t kLastStaticTag = 10000;
// The user aircraft's object id before the first user sample names it.
inline constexpr std::uint32_t kInitialUserObjectId = 2;

// ---- Records ------------------------------------------------------------------------------------

// One queued creation of an AI aircraft. The first eight fields are the simulator's initial
// position (SIMCONNECT_DATA_INITPOSITION).
struct CreateAcRequest {
  double latitude = 0.0;       // degrees
  double longitude = 0.0;      // degrees
  double altitude = 0.0;       // feet
  double pitch = 0.0;          // degrees
  double bank = 0.0;           // degrees
  double heading = 0.0;        // degrees, true
  std::uint32_t onGround = 0;  // 1 on the ground, 0 airborne
  std::uint32_t airspeed = 0;  // knots
  std::string callsign;        // sent as the tail number (at most 11 characters)
  // The livery's container title, owned by the livery catalogue; must outlive the request.
  std::string_view title;
  std::uint32_t tag = 0;  // the engine's key of the aircraft, returned in the notices
};

// One queued position of an AI object. The first 64 bytes are the record of definition 402.
struct AcPositionUpdate {
  double latitude = 0.0;       // degrees
  double longitude = 0.0;      // degrees
  double pitch = 0.0;          // radians
  double bank = 0.0;           // radians
  double heading = 0.0;        // radians, true
  double altitude = 0.0;       // feet
  double verticalSpeed = 0.0;  // feet per second
  double trueAirspeed = 0.0;   // knots
  std::uint32_t objectId = 0;
};
inline constexpr std::size_t kAiPositionRecordSize = 64;
static_assert(offsetof(AcPositionUpdate, objectId) == kAiPositionRecordSize);

// One queued client event for an AI object.
struct ClientEventRequest {
  std::uint32_t objectId = 0;
  std::uint32_t eventId = 0;  // 207 .. 223
  std::uint32_t data = 0;
};

// A creation sent but not yet matched to its object (by request id in the simulator's answer
// with the object id, by callsign in a range reply, or by send id in exception 22).
struct alignas(64) PendingCreate {
  std::uint32_t sendId = 0;  // of the create packet; 0 when it could not be read
  std::uint32_t tag = 0;
  std::string callsign;
  std::uint32_t requestId = 0;  // of the create packet
};

// The user aircraft as definition 403 delivers it.
struct UserAcData {
  double latitude = 0.0;             // degrees
  double longitude = 0.0;            // degrees
  double pitch = 0.0;                // radians
  double bank = 0.0;                 // radians
  double heading = 0.0;              // radians, true
  double altitude = 0.0;             // feet
  double altitudeAboveGround = 0.0;  // feet
  double groundVelocity = 0.0;       // knots
  std::int64_t zuluTime = 0;         // seconds of the day
  std::int64_t zuluDayOfYear = 0;    // 1 = 1 January
  std::int64_t zuluYear = 0;
  std::int64_t lightStates = 0;  // mask
};
static_assert(sizeof(UserAcData) == 96);

// What the link reports to the engine about one object.
struct SimObjectNotice {
  std::uint32_t objectId = 0;  // 0 for a refused creation
  std::uint32_t tag = 0;       // the engine's key; for kind 3 the SIM ON GROUND value
  std::int32_t counter = 0;    // 0 when posted; the engine's step counter
  std::uint32_t kind = 0;      // SimNoticeKind
  double value1 = 0.0;
  double value2 = 0.0;
};
static_assert(sizeof(SimObjectNotice) == 32);

enum SimNoticeKind : std::uint32_t {
  kNoticeLiveIdentified = 0,    // own live object identified; value2 altitude above ground (ft),
                                // NaN when identified before any range reply named the object
  kNoticeStaticIdentified = 1,  // own static object identified
  kNoticeObjectRemoved = 2,     // the simulator removed an aircraft object
  kNoticeNearGround = 3,        // other aircraft within 2500 ft of the ground; value1 ground
                                // altitude (ft), value2 altitude above ground (ft)
  kNoticeStaticCg = 4,          // reply 102: value1 static CG height (ft), value2 pitch (rad)
  kNoticeBlocked = 5,           // the engine's own use
  kNoticeCreateFailed = 6,      // the creation with this tag was refused (exception 22), or its
                                // title did not fit the create packet
  kNoticeCallsignRefused = 7,   // the creation with this tag was not sent: its callsign is too
                                // long for a tail number
};

// The user aircraft's size as the engine uses it.
struct UserAcType {
  double halfSpanNm = 0.0;  // half wingspan, nautical miles
  bool set = false;         // the span is known
};

// ---- Connection and run state -------------------------------------------------------------------

// The client library's connection; null until SimConnect_Open succeeds. Written by SimClient
// (and nulled by the run reset); read by every thread that makes a SimConnect call.
extern std::atomic<HANDLE> g_hSimConnect;
// Simulator major version to accept, 5 or 6. Written by gf_initSimConnect and the run reset
// (worker, before SimClient starts); read by SimClient.
extern std::atomic<std::uint32_t> g_p3dMajorVersion;
// The simulator runs a flight ("Sim" event). Written by SimClient; read by the worker.
extern std::atomic<bool> g_simRunning;
// A SimConnect call failed: the pump sends nothing, gf_getUserAcData asks nothing. Set by
// gf_simConnectRequestError (any thread); cleared by gf_initSimConnect and the run reset.
extern std::atomic<bool> g_simRequestError;
// The simulator's frame rate, refreshed every 30th Frame event. Written by SimClient.
extern std::atomic<float> g_simFrameRate;
// (g_simConnected, the window's link lamp, is a member of g_mainWindowState.)

// ---- Outbound queues (guarded by g_simMutex) ----------------------------------------------------

// Guards the four queues below, g_userAc, g_userAcTitle, g_userAcType and every SimConnect call
// made outside SimClient. The pump only try-locks it and skips a frame when it is busy.
extern std::mutex g_simMutex;
// The two position vectors: the engine fills *g_posFillQueue without the lock and swaps the two
// pointers under g_simMutex; the pump sends and empties *g_posQueue under g_simMutex.
extern std::vector<AcPositionUpdate>* g_posFillQueue;
extern std::vector<AcPositionUpdate>* g_posQueue;
extern std::vector<ClientEventRequest> g_eventQueue;  // under g_simMutex
extern std::vector<CreateAcRequest> g_createQueue;    // under g_simMutex
extern std::vector<std::uint32_t> g_removeQueue;      // object ids, under g_simMutex
// Creations sent and not yet identified. SimClient only (reset by the worker between runs).
extern std::vector<PendingCreate> g_pendingCreates;
// Object id of the user aircraft (initially 2); nothing is sent to or removed from an id at or
// below it. Written by SimClient from every user sample; read by every thread.
extern std::atomic<std::uint32_t> g_userObjectId;

// ---- The user aircraft
// ---------------------------------------------------------------------------

// The last user sample (request 109). Written by SimClient, copied out by gf_getUserAcData;
// both under g_simMutex.
extern UserAcData g_userAc;
// The worker's copy of the user aircraft (gf_getUserAcData's result, kept by the engine and the
// run set-up). Worker only.
extern UserAcData g_userAcSnapshot;
// Position of the previous user sample, for the teleport test. SimClient only.
extern LatLon g_prevUserPos;
// Simulator zulu time, seconds since 1970-01-01 00:00 UTC; 0 until RealTraffic's professional
// edition asks for it. Written by SimClient; read by the worker.
extern std::atomic<std::int64_t> g_simTimeSec;
// The user aircraft is on the ground / that value has arrived (request 108). Written by
// SimClient; read by the engine and the worker.
extern std::atomic<bool> g_userOnGround;
extern std::atomic<bool> g_userOnGroundKnown;
// A reply to request 108 arrived. Set by SimClient; consumed by the worker's tick.
extern std::atomic<bool> g_userReportArrived;
// The user aircraft's title (at most 48 characters). Written by SimClient under g_simMutex.
extern std::string g_userAcTitle;
// The user aircraft's half wingspan. Written by SimClient under g_simMutex; read by the engine.
extern UserAcType g_userAcType;
// Name of the park airport's stand under the user aircraft, or empty. Worker only (updated by
// gf_getUserAcData once per new sample).
extern std::string g_userStandName;
// The park-stand check is due (a flight was loaded, or SimClient ended). Set by SimClient;
// consumed by gf_parkStandCheck on the worker.
extern std::atomic<bool> g_parkStandCheckRequested;

// ---- Notices for the engine ---------------------------------------------------------------------

// Notices in the order they arose. Appended by SimClient (gf_postSimObjectNotice); drained by
// the engine on the worker. Guarded by g_simNoticesMutex (taken before g_simMutex).
extern std::vector<SimObjectNotice> g_simNotices;
extern std::mutex g_simNoticesMutex;

// Appends a copy of the notice under g_simNoticesMutex. SimClient; never with g_simMutex held.
void gf_postSimObjectNotice(const SimObjectNotice& notice);

// ---- What the link calls of later parts of the program ----------------------------------------

// Filled once at start-up (or by tests); an empty slot means "no stand" and "nothing". Both are
// called on the worker thread only.
struct SimLinkHooks {
  // gf_standNameAt: the park airport's stand at a position, or "".
  std::function<std::string(const LatLon&)> standNameAt;
  // The park-stand check's last step: when the first park airport of my_park_airports.txt is
  // the current park airport and its reserved stand differs from name, reserve name and rewrite
  // the file.
  std::function<void(const std::string& name)> reserveUserStand;
};
void gf_setSimLinkHooks(SimLinkHooks hooks);

// ---- Functions
// ------------------------------------------------------------------------------------

// Worker, once per run before SimClient starts: the version to accept (5 or 6), room for 256
// entries in the queues, the request error cleared.
void gf_initSimConnect(std::uint32_t majorVersion);
// The SimClient thread: opens the connection (retrying every second), declares everything,
// dispatches until its stop token is set or the simulator is gone, then closes.
void SimClient(std::stop_token stop);

// Any thread except SimClient; each takes g_simMutex for its whole body.
void gf_queueCreateAc(const CreateAcRequest& request);
void gf_queueClientEvent(const ClientEventRequest& event);
void gf_queueNavLights(std::uint32_t objectId, std::uint32_t on);
void gf_queueCabinLights(std::uint32_t objectId, std::uint32_t on);
// Worker: asks for a new user sample (unless a request error is set) and returns a copy of the
// last one received. Once per new sample it also updates g_userStandName and the window's stand.
UserAcData gf_getUserAcData();
// Worker, at the start of a run: asks for the user aircraft's title and model.
void gf_requestUserAcTitleAndModel();
// Any thread, after a failed SimConnect call with its result: shows "SimConnect request error",
// sets g_simRequestError and stops the run with SIMCONNECT ERROR (delay 9) unless a stop is under
// way. A failure that is the connection's own broken transport leaves the stop to SimClient,
// which ends the run with SIM WAS CLOSED.
void gf_simConnectRequestError(HRESULT result = E_FAIL);
// The connection is gone: logs it and stops the run with SIM WAS CLOSED (delay 0) unless a stop
// is under way. Returns the previous stop request.
bool gf_simDisconnected();

// Worker: carries out a pending park-stand check (the shell calls it every tick, and once after
// SimClient has been joined when closing).
void gf_parkStandCheck();
// Worker, between runs (SimClient joined): the link's part of the run reset.
void gf_resetSimLinkRun();

// ---- Flight plans
// ---------------------------------------------------------------------------------

// The folder "orig_dest" in the program's AppData folder. Set by gf_createFlightPlanFolder.
extern std::filesystem::path g_flightPlanFolder;

// Sets g_flightPlanFolder, creates it (and the AppData folder) when missing; true when it exists
// afterwards. Throws std::filesystem::filesystem_error ("exists", "create_directory").
bool gf_createFlightPlanFolder();
// Removes the folder with its contents when it exists; errors are logged, never thrown.
void gf_removeFlightPlanFolder();
// The file name of an object's flight plan: "{id}.pln".
std::filesystem::path gf_flightPlanPath(std::uint32_t objectId);
// Writes the flight plan of an aircraft of the size category (0 .. 5) between origin and
// destination; false when the file cannot be written.
bool gf_writeFlightPlan(const std::filesystem::path& path, const std::string& origin,
                        const std::string& destination, std::uint32_t sizeCategory);

// The program's own SimConnect client: the API functions the simulator link calls, the
// constants it passes and the layouts of the messages the simulator sends back (protocol 35).
// Every request function builds one packet and hands it to the connection's transport at once;
// received messages wait in the connection's queue until SimConnect_CallDispatch delivers them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

// Result codes beyond those of the platform layer.
constexpr HRESULT kSimConnectInvalidArg = static_cast<HRESULT>(0x80070057);      // E_INVALIDARG
constexpr HRESULT kSimConnectStringTooLong = static_cast<HRESULT>(0x8007007A);  // text does not fit
constexpr HRESULT kSimConnectBadMessage = static_cast<HRESULT>(0x8007000D);      // framing error
// Bytes of a creation's tail number, with its terminating zero.
constexpr std::size_t kSimConnectTailNumberField = 12;

constexpr DWORD SIMCONNECT_UNUSED = 0xFFFFFFFFu;
constexpr DWORD SIMCONNECT_OBJECT_ID_USER = 0;
constexpr DWORD kSimConnectProtocolVersion = 35;

using SIMCONNECT_CLIENT_EVENT_ID = DWORD;
using SIMCONNECT_NOTIFICATION_GROUP_ID = DWORD;
using SIMCONNECT_DATA_DEFINITION_ID = DWORD;
using SIMCONNECT_DATA_REQUEST_ID = DWORD;
using SIMCONNECT_OBJECT_ID = DWORD;

enum SIMCONNECT_DATATYPE : DWORD {
  SIMCONNECT_DATATYPE_INVALID = 0,
  SIMCONNECT_DATATYPE_INT32 = 1,
  SIMCONNECT_DATATYPE_INT64 = 2,
  SIMCONNECT_DATATYPE_FLOAT32 = 3,
  SIMCONNECT_DATATYPE_FLOAT64 = 4,
  SIMCONNECT_DATATYPE_STRING8 = 5,
  SIMCONNECT_DATATYPE_STRING32 = 6,
  SIMCONNECT_DATATYPE_STRING64 = 7,
  SIMCONNECT_DATATYPE_STRING128 = 8,
  SIMCONNECT_DATATYPE_STRING256 = 9,
  SIMCONNECT_DATATYPE_STRING260 = 10,
  SIMCONNECT_DATATYPE_STRINGV = 11,
};

enum SIMCONNECT_PERIOD : DWORD {
  SIMCONNECT_PERIOD_NEVER = 0,
  SIMCONNECT_PERIOD_ONCE = 1,
  SIMCONNECT_PERIOD_VISUAL_FRAME = 2,
  SIMCONNECT_PERIOD_SIM_FRAME = 3,
  SIMCONNECT_PERIOD_SECOND = 4,
};

enum SIMCONNECT_SIMOBJECT_TYPE : DWORD {
  SIMCONNECT_SIMOBJECT_TYPE_USER = 0,
  SIMCONNECT_SIMOBJECT_TYPE_ALL = 1,
  SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT = 2,
  SIMCONNECT_SIMOBJECT_TYPE_HELICOPTER = 3,
  SIMCONNECT_SIMOBJECT_TYPE_BOAT = 4,
  SIMCONNECT_SIMOBJECT_TYPE_GROUND = 5,
};

enum SIMCONNECT_RECV_ID : DWORD {
  SIMCONNECT_RECV_ID_NULL = 0,
  SIMCONNECT_RECV_ID_EXCEPTION = 1,
  SIMCONNECT_RECV_ID_OPEN = 2,
  SIMCONNECT_RECV_ID_QUIT = 3,
  SIMCONNECT_RECV_ID_EVENT = 4,
  SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE = 5,
  SIMCONNECT_RECV_ID_EVENT_FILENAME = 6,
  SIMCONNECT_RECV_ID_EVENT_FRAME = 7,
  SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8,
  SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE = 9,
  SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID = 12,
  SIMCONNECT_RECV_ID_CLIENT_DATA = 16,
};

enum SIMCONNECT_EXCEPTION : DWORD {
  SIMCONNECT_EXCEPTION_NONE = 0,
  SIMCONNECT_EXCEPTION_ERROR = 1,
  SIMCONNECT_EXCEPTION_SIZE_MISMATCH = 2,
  SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID = 3,
  SIMCONNECT_EXCEPTION_UNOPENED = 4,
  SIMCONNECT_EXCEPTION_VERSION_MISMATCH = 5,
  SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED = 7,
  SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS = 11,
  SIMCONNECT_EXCEPTION_INVALID_DATA_TYPE = 18,
  SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE = 19,
  SIMCONNECT_EXCEPTION_DATA_ERROR = 20,
  SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED = 22,
  SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED = 23,
  SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE = 24,
};

// Initial position of a created AI object (56 bytes on the wire).
struct SIMCONNECT_DATA_INITPOSITION {
  double Latitude;   // degrees
  double Longitude;  // degrees
  double Altitude;   // feet
  double Pitch;      // degrees
  double Bank;       // degrees
  double Heading;    // degrees, true
  DWORD OnGround;    // 1 on the ground
  DWORD Airspeed;    // knots
};
static_assert(sizeof(SIMCONNECT_DATA_INITPOSITION) == 56);

// What the simulator sends. Every message begins with this 12-byte header.
struct SIMCONNECT_RECV {
  DWORD dwSize;     // whole message in bytes
  DWORD dwVersion;  // the simulator's protocol version
  DWORD dwID;       // SIMCONNECT_RECV_ID
};
static_assert(sizeof(SIMCONNECT_RECV) == 12);

struct SIMCONNECT_RECV_EXCEPTION : SIMCONNECT_RECV {
  DWORD dwException;  // SIMCONNECT_EXCEPTION
  DWORD dwSendID;     // send id of the packet that caused it
  DWORD dwIndex;      // index of the offending parameter
};
static_assert(sizeof(SIMCONNECT_RECV_EXCEPTION) == 24);

struct SIMCONNECT_RECV_OPEN : SIMCONNECT_RECV {
  char szApplicationName[256];
  DWORD dwApplicationVersionMajor;
  DWORD dwApplicationVersionMinor;
  DWORD dwApplicationBuildMajor;
  DWORD dwApplicationBuildMinor;
  DWORD dwSimConnectVersionMajor;
  DWORD dwSimConnectVersionMinor;
  DWORD dwSimConnectBuildMajor;
  DWORD dwSimConnectBuildMinor;
  DWORD dwReserved1;
  DWORD dwReserved2;
};
static_assert(sizeof(SIMCONNECT_RECV_OPEN) == 308);

struct SIMCONNECT_RECV_QUIT : SIMCONNECT_RECV {};
static_assert(sizeof(SIMCONNECT_RECV_QUIT) == 12);

struct SIMCONNECT_RECV_EVENT : SIMCONNECT_RECV {
  DWORD uGroupID;  // SIMCONNECT_UNUSED for system events
  DWORD uEventID;  // the client's event id
  DWORD dwData;
};
static_assert(sizeof(SIMCONNECT_RECV_EVENT) == 24);

struct SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE : SIMCONNECT_RECV_EVENT {
  DWORD eObjType;  // SIMCONNECT_SIMOBJECT_TYPE; dwData holds the object id
};
static_assert(sizeof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE) == 28);

struct SIMCONNECT_RECV_EVENT_FILENAME : SIMCONNECT_RECV_EVENT {
  char szFileName[260];
  DWORD dwFlags;
};
static_assert(sizeof(SIMCONNECT_RECV_EVENT_FILENAME) == 288);

struct SIMCONNECT_RECV_EVENT_FRAME : SIMCONNECT_RECV_EVENT {
  float fFrameRate;
  float fSimSpeed;
};
static_assert(sizeof(SIMCONNECT_RECV_EVENT_FRAME) == 32);

// Data of one object; the record of the definition starts at dwData (offset 40).
struct SIMCONNECT_RECV_SIMOBJECT_DATA : SIMCONNECT_RECV {
  DWORD dwRequestID;
  DWORD dwObjectID;
  DWORD dwDefineID;
  DWORD dwFlags;
  DWORD dwentrynumber;  // 1-based entry of a by-type answer
  DWORD dwoutof;        // number of entries of a by-type answer
  DWORD dwDefineCount;
  DWORD dwData;
};
static_assert(sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) == 44);

struct SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE : SIMCONNECT_RECV_SIMOBJECT_DATA {};

struct SIMCONNECT_RECV_ASSIGNED_OBJECT_ID : SIMCONNECT_RECV {
  DWORD dwRequestID;
  DWORD dwObjectID;
};
static_assert(sizeof(SIMCONNECT_RECV_ASSIGNED_OBJECT_ID) == 20);

constexpr std::size_t kSimObjectDataOffset = 40;  // start of the record in a data message

// Called by SimConnect_CallDispatch once per received message of at least 12 bytes.
using DispatchProc = void (*)(SIMCONNECT_RECV* pData, DWORD cbData, void* pContext);

// Connection: configuration, transports and the receiving side.
HRESULT SimConnect_Open(HANDLE* phSimConnect, LPCSTR szName, HWND hWnd, DWORD UserEventWin32,
                        HANDLE hEventHandle, DWORD ConfigIndex);
HRESULT SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void* pContext);
HRESULT SimConnect_Close(HANDLE hSimConnect);
HRESULT SimConnect_GetLastSentPacketID(HANDLE hSimConnect, DWORD* pdwSendID);

// Requests: one packet each.
HRESULT SimConnect_MapClientEventToSimEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                            LPCSTR EventName);
HRESULT SimConnect_TransmitClientEvent(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                       SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD dwData,
                                       SIMCONNECT_NOTIFICATION_GROUP_ID GroupID, DWORD Flags);
HRESULT SimConnect_AddClientEventToNotificationGroup(HANDLE hSimConnect,
                                                     SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                     SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                     BOOL bMaskable);
HRESULT SimConnect_SetNotificationGroupPriority(HANDLE hSimConnect,
                                                SIMCONNECT_NOTIFICATION_GROUP_ID GroupID,
                                                DWORD uPriority);
HRESULT SimConnect_AddToDataDefinition(HANDLE hSimConnect,
                                       SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                       LPCSTR DatumName, LPCSTR UnitsName,
                                       SIMCONNECT_DATATYPE DatumType, float fEpsilon,
                                       DWORD DatumID);
HRESULT SimConnect_RequestDataOnSimObject(HANDLE hSimConnect,
                                          SIMCONNECT_DATA_REQUEST_ID RequestID,
                                          SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                          SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
                                          DWORD Flags, DWORD origin, DWORD interval,
                                          DWORD limit);
HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE hSimConnect,
                                              SIMCONNECT_DATA_REQUEST_ID RequestID,
                                              SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                              DWORD dwRadiusMeters,
                                              SIMCONNECT_SIMOBJECT_TYPE type);
HRESULT SimConnect_SetDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                      SIMCONNECT_OBJECT_ID ObjectID, DWORD Flags,
                                      DWORD ArrayCount, DWORD cbUnitSize, void* pDataSet);
HRESULT SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                          LPCSTR SystemEventName);
HRESULT SimConnect_AICreateNonATCAircraft(HANDLE hSimConnect, LPCSTR szContainerTitle,
                                          LPCSTR szTailNumber,
                                          SIMCONNECT_DATA_INITPOSITION InitPos,
                                          SIMCONNECT_DATA_REQUEST_ID RequestID);
HRESULT SimConnect_AIReleaseControl(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                    SIMCONNECT_DATA_REQUEST_ID RequestID);
HRESULT SimConnect_AIRemoveObject(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                  SIMCONNECT_DATA_REQUEST_ID RequestID);
HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE hSimConnect, SIMCONNECT_OBJECT_ID ObjectID,
                                           LPCSTR szFlightPlanPath,
                                           SIMCONNECT_DATA_REQUEST_ID RequestID);

// Beyond the SimConnect API: the result every request on the connection returns because its
// pipe or socket has failed (negative), or S_OK while it works or when h is no live connection.
HRESULT gf_simConnectFailedResult(HANDLE hSimConnect);

// Beyond the SimConnect API: the packets built on the connection while a batch lives leave
// together, in one write, when it ends (batches nest: the outermost one sends). A burst of small
// requests then reaches the simulator at once, whatever SimConnect.cfg says of Nagle's algorithm.
class SimConnectWriteBatch {
 public:
  explicit SimConnectWriteBatch(HANDLE hSimConnect);
  ~SimConnectWriteBatch();
  SimConnectWriteBatch(const SimConnectWriteBatch&) = delete;
  SimConnectWriteBatch& operator=(const SimConnectWriteBatch&) = delete;

 private:
  HANDLE m_handle;
  bool m_holding = false;  // the connection was live at the start
};

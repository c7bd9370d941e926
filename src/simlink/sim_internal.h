// Inside the simulator link: what its files share with each other, with its tests and with the
// fuzz target of the dispatch. Everything here runs on the SimClient thread unless its comment
// says otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "simlink/simlink.h"

// Aircraft object ids announced by ObjectAdded and not yet seen in a range reply; an id leaves at
// its removal too (objects out of range are never named by a reply). SimClient only (reset by
// the worker between runs).
extern std::unordered_set<std::uint32_t> g_addedObjectIds;
// The objects this program created, from their identification to their removal: ObjectAdded
// for one of them (which may follow the simulator's answer to the creation) is no news. SimClient
// only (reset by the worker between runs).
extern std::unordered_set<std::uint32_t> g_ownObjectIds;

// The dispatch callback: hands one received message to its handler. A null message is ignored;
// a message shorter than its kind needs is logged with its id and size and skipped. May throw
// qvb::UserErrorException (codes 71, 73, 78, 95).
void lf_dispatch(SIMCONNECT_RECV* message, DWORD size, void* context);
// Every declaration of the link: 6 subscriptions, 33 definition entries, 17 event mappings,
// 16 group entries and the group priority, in that order; results are ignored.
void lf_setupSimConnect();
// The pump, run on every Frame event.
void lf_processSimQueues();
// Empties the four queues; the first position vector becomes the one being filled (worker,
// between runs).
void lf_resetQueues();
// Sends one creation and records its pending entry (g_simMutex held by the pump). False when the
// client refused it because its title or tail number does not fit the packet: nothing was sent,
// and the caller reports the refusal once it has released g_simMutex.
bool lf_createAcInSim(const CreateAcRequest& request);

// What the handlers of data messages (dwID 8) and range replies (dwID 9) read.
struct ObjectData {
  DWORD requestId;
  DWORD objectId;
  const std::uint8_t* record;  // the definition's record (not aligned)
  std::size_t recordSize;      // bytes of the message after its head
};
void lf_handleObjectData(const ObjectData& data);
void lf_handleAcInRange(const ObjectData& data);
// The simulator's answer to a creation (ASSIGNED_OBJECT_ID): the new object's id for the
// creation's request id.
void lf_objectIdAssigned(DWORD requestId, DWORD objectId);
// ObjectRemoved for an aircraft object: forgotten here, and the engine is told.
void lf_objectRemoved(std::uint32_t objectId);

// Replies 106 and 107: the user aircraft's title and ATC model. The model handler throws
// qvb::UserErrorException 71 for an empty model and 73 when the model cannot be used.
void lf_userTitle(std::string title);
void lf_userModel(std::string model);
// The user aircraft's part of the run reset (worker, SimClient joined).
void lf_resetUserAircraft();

// Ends the run with NEW FLIGHT (restart delay 30 s) unless a stop is under way.
void lf_newFlightStop();
// The user aircraft has not been placed yet: latitude in [0, 0.0009] and longitude in
// [0, 0.05], the position the simulator reports before a flight is loaded.
bool lf_notPlacedYet(const LatLon& position);
// The text of a fixed-size character field, up to its first zero or the end of the field.
std::string lf_fieldText(const char* field, std::size_t fieldSize);
// Seconds since 1970-01-01 00:00 UTC of a zulu year, day of the year (1 = 1 January) and
// second of the day, by calendar arithmetic (no time zone involved).
std::int64_t lf_unixTime(std::int64_t year, std::int64_t dayOfYear, std::int64_t secondOfDay);

// The record of definition 404, as a range reply carries it.
struct AcInRangeRecord {
  double altitudeAboveGround;  // feet
  double groundAltitude;       // feet
  std::int64_t onGround;       // SIM ON GROUND
  char atcId[32];              // the callsign (tail number) of the object
};
static_assert(sizeof(AcInRangeRecord) == 56);

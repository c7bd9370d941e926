// Lookups into the engine's records that answer as a scan in order would, without the scan: the
// live and static aircraft by key and by object id, the live aircraft by callsign, the park
// airport's stands by id, the count of live aircraft in each state and the static aircraft whose
// stand lies near a position.
//
// Keys and stand ids are unique, and so are object ids other than 0. The indexes are rebuilt
// when their vector changes size or place, or after gf_recordsReordered; a record's state,
// callsign and object id change only through the setters below, which keep the count and the
// indexes. Stands are filled outside the engine: a stand id that the index misses is looked up by
// a scan as well. Worker thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/park_pos.h"
#include "traffic/records/aircraft_records.h"

AiAircraft* gf_liveByKey(std::uint32_t key);
AiAircraft* gf_liveByObjectId(std::uint32_t objectId);  // null for 0
StaticAircraft* gf_staticByKey(std::uint32_t key);
StaticAircraft* gf_staticByObjectId(std::uint32_t objectId);  // null for 0
// The first stand of g_parkStands with the id; null when none.
ParkPos* gf_standById(std::uint32_t standId);
// Positions in g_liveAc of the live aircraft with the callsign, ascending.
const std::vector<std::uint32_t>& gf_liveWithCallsign(const std::string& callsign);
// Live aircraft in the state (st), and in state active.
std::uint32_t gf_liveCountInState(std::uint32_t st);
std::uint32_t gf_activeLiveCount();
// The first active static aircraft (lowest position in g_staticAc) whose stand position lies
// within reach (nm) of the position as test(aircraft, distance) decides; reach bounds the search.
StaticAircraft* gf_firstStaticNear(const LatLon& position, double reachNm,
                                   bool (*test)(const StaticAircraft&, double distanceNm,
                                                const void* context),
                                   const void* context);
// The widest half wingspan among the static aircraft (nm).
double gf_widestStaticHalfSpan();

// The setters of what the indexes hold.
void gf_setState(StaticAircraft& record, std::uint32_t st);
void gf_setCallsign(AiAircraft& aircraft, const std::string& callsign);
void gf_setObjectId(StaticAircraft& record, std::uint32_t objectId);
// To be called after erasing, sorting or refilling g_liveAc or g_staticAc.
void gf_recordsReordered();
// True when every index answers as a scan does; else why holds the first difference (tests and
// the replays check it after every step).
bool gf_indexesMatchScan(std::string& why);

// The AI objects around the user aircraft (replies to request 101): identifying the objects the
// program created, so that the engine learns their ids, and reporting other aircraft near the
// ground. Also the mailbox of notices the engine drains.
#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "foundation/log.h"
#include "simlink/sim_internal.h"

std::vector<std::uint32_t> g_addedObjectIds;
std::vector<SimObjectNotice> g_simNotices;
std::mutex g_simNoticesMutex;

namespace {

constexpr double kNearGroundFt = 2500.0;   // other aircraft at most this high are reported
constexpr char kStaticCallsignMark = '*';  // callsigns of the program's static parked aircraft

// Takes the element at it out of v; the last element moves into its place.
template <typename T>
void lf_swapErase(std::vector<T>& v, typename std::vector<T>::iterator it) {
  *it = std::move(v.back());
  v.pop_back();
}

// The tag of the pending creation with this callsign, taking it out; 0 when none is pending.
std::uint32_t lf_takePendingTag(const std::string& callsign) {
  if (callsign.empty()) return 0;
  const auto it =
      std::find_if(g_pendingCreates.begin(), g_pendingCreates.end(),
                   [&callsign](const PendingCreate& p) { return p.callsign == callsign; });
  if (it == g_pendingCreates.end()) return 0;
  const std::uint32_t tag = it->tag;
  lf_swapErase(g_pendingCreates, it);
  return tag;
}

// One of ours: released from AI control and frozen, since the engine moves it; then the engine
// is told its object id.
void lf_ownObjectIdentified(std::uint32_t objectId, std::uint32_t tag, double altAboveGround) {
  {
    std::lock_guard lock(g_simMutex);
    SimConnect_AIReleaseControl(g_hSimConnect.load(), objectId, kRequestReleaseControl);
    g_eventQueue.push_back({objectId, kEventFreezeLatLonSet, 1});
    g_eventQueue.push_back({objectId, kEventFreezeAltitudeSet, 1});
    g_eventQueue.push_back({objectId, kEventFreezeAttitudeSet, 1});
  }
  if (tag <= kLastStaticTag) {
    gf_postSimObjectNotice({objectId, tag, 0, kNoticeStaticIdentified, 0.0, 0.0});
  } else {
    gf_postSimObjectNotice({objectId, tag, 0, kNoticeLiveIdentified, 0.0, altAboveGround});
  }
}

// An object ObjectAdded announced: ours when a pending creation has its callsign.
void lf_justAdded(std::uint32_t objectId, const AcInRangeRecord& r, const std::string& atcId) {
  const std::uint32_t tag = lf_takePendingTag(atcId);
  if (tag == 0) {
    gf_log(fmt::format(
        "just spawned, but not by {}, oid: {}, callsign \"{}\", "
        "altaboveGnd:{:.0f} ft, onground:{}, gnd_alt:{:.0f} ft ",
        "Zendrik_P3D", objectId, atcId, r.altitudeAboveGround, r.onGround, r.groundAltitude));
    return;
  }
  lf_ownObjectIdentified(objectId, tag, r.altitudeAboveGround);
}

}  // namespace

void gf_postSimObjectNotice(const SimObjectNotice& notice) {
  std::lock_guard lock(g_simNoticesMutex);
  g_simNotices.push_back(notice);
}

void lf_handleAcInRange(const ObjectData& data) {
  if (data.requestId != kRequestAcInRange) return;
  if (data.recordSize < sizeof(AcInRangeRecord)) {
    gf_logError(fmt::format("! SimConnect data of request {} too short: {} bytes", data.requestId,
                            data.recordSize + kSimObjectDataOffset));
    return;
  }
  const std::uint32_t objectId = data.objectId;
  if (objectId <= g_userObjectId.load()) return;
  AcInRangeRecord r;
  std::memcpy(&r, data.record, sizeof r);
  const std::string atcId = lf_fieldText(r.atcId, sizeof r.atcId);
  const auto added = std::find(g_addedObjectIds.begin(), g_addedObjectIds.end(), objectId);
  if (added != g_addedObjectIds.end()) {
    lf_swapErase(g_addedObjectIds, added);
    lf_justAdded(objectId, r, atcId);
    return;
  }
  if (r.altitudeAboveGround <= kNearGroundFt && !atcId.empty() &&
      atcId.back() != kStaticCallsignMark) {
    gf_postSimObjectNotice({objectId, r.onGround != 0 ? 1u : 0u, 0, kNoticeNearGround,
                            r.groundAltitude, r.altitudeAboveGround});
  }
}

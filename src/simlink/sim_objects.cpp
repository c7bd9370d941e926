// The AI objects: identifying the objects the program created, so that the engine learns their
// ids (by the simulator's answer to each creation, or by callsign in a reply to request 101),
// reporting other aircraft near the ground, and forgetting removed objects. Also the mailbox of
// notices the engine drains.
#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "foundation/log.h"
#include "simlink/sim_internal.h"

std::unordered_set<std::uint32_t> g_addedObjectIds;
std::unordered_set<std::uint32_t> g_ownObjectIds;
std::vector<SimObjectNotice> g_simNotices;
std::mutex g_simNoticesMutex;

namespace {

constexpr double kNearGroundFt = 2500.0;   // other aircraft at most this high are reported
constexpr char kStaticCallsignMark = '*';  // callsigns of the program's static parked aircraft
// The height above ground of an object identified before a range reply named it: not known yet
// (the engine keeps its own until a reply reports it).
constexpr double kUnknownHeightFt = std::numeric_limits<double>::quiet_NaN();

// Takes the element at it out of v; the last element moves into its place.
template <typename T>
void lf_swapErase(std::vector<T>& v, typename std::vector<T>::iterator it) {
  *it = std::move(v.back());
  v.pop_back();
}

// The tag of the first pending creation that matches, taking it out; 0 when none does.
template <typename Match>
std::uint32_t lf_takePendingTag(Match match) {
  const auto it = std::find_if(g_pendingCreates.begin(), g_pendingCreates.end(), match);
  if (it == g_pendingCreates.end()) return 0;
  const std::uint32_t tag = it->tag;
  lf_swapErase(g_pendingCreates, it);
  return tag;
}

// One of ours: released from AI control and frozen, since the engine moves it; then the engine
// is told its object id.
void lf_ownObjectIdentified(std::uint32_t objectId, std::uint32_t tag, double altAboveGround) {
  g_ownObjectIds.insert(objectId);
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

// An object ObjectAdded announced: ours when a pending creation has its callsign. False when
// more than one has it: the reply cannot tell them apart, and the object waits to be named by
// the simulator's answer to its creation.
bool lf_justAdded(std::uint32_t objectId, const AcInRangeRecord& r, const std::string& atcId) {
  const auto sameCallsign = [&atcId](const PendingCreate& p) { return p.callsign == atcId; };
  if (!atcId.empty() &&
      std::count_if(g_pendingCreates.begin(), g_pendingCreates.end(), sameCallsign) > 1) {
    return false;
  }
  const std::uint32_t tag = atcId.empty() ? 0 : lf_takePendingTag(sameCallsign);
  if (tag == 0) {
    gf_log(fmt::format(
        "just spawned, but not by {}, oid: {}, callsign \"{}\", "
        "altaboveGnd:{:.0f} ft, onground:{}, gnd_alt:{:.0f} ft ",
        "Zendrik_P3D", objectId, atcId, r.altitudeAboveGround, r.onGround, r.groundAltitude));
    return true;
  }
  lf_ownObjectIdentified(objectId, tag, r.altitudeAboveGround);
  return true;
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
  if (g_addedObjectIds.contains(objectId)) {
    if (lf_justAdded(objectId, r, atcId)) g_addedObjectIds.erase(objectId);
    return;
  }
  if (r.altitudeAboveGround <= kNearGroundFt && !atcId.empty() &&
      atcId.back() != kStaticCallsignMark) {
    gf_postSimObjectNotice({objectId, r.onGround != 0 ? 1u : 0u, 0, kNoticeNearGround,
                            r.groundAltitude, r.altitudeAboveGround});
  }
}

// The range reply is not waited for: the radius may have shrunk since the creation was sent (auto
// range does so all through a descent), and a reply would never name the object.
void lf_objectIdAssigned(DWORD requestId, DWORD objectId) {
  if (requestId == 0 || objectId <= g_userObjectId.load()) return;
  const std::uint32_t tag =
      lf_takePendingTag([requestId](const PendingCreate& p) { return p.requestId == requestId; });
  if (tag == 0) return;  // not ours, or identified by its callsign already
  g_addedObjectIds.erase(objectId);
  lf_ownObjectIdentified(objectId, tag, kUnknownHeightFt);
}

void lf_objectRemoved(std::uint32_t objectId) {
  g_addedObjectIds.erase(objectId);
  g_ownObjectIds.erase(objectId);
  gf_postSimObjectNotice({objectId, 0, 0, kNoticeObjectRemoved, 0.0, 0.0});
}

// One copy of each real aircraft in the simulator: the ghost copies RealTraffic reports under
// the callsign with a trailing '_', static aircraft that turn out to be a live one, the removal
// of every static aircraft, and the callsign that marks a static aircraft ('*'). Worker thread.
#include <algorithm>

#include <fmt/format.h>

#include "traffic/live/live.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr char kGhostMark = '_';
constexpr char kStaticMark = '*';

bool lf_endsWith(const std::string& text, char c) { return !text.empty() && text.back() == c; }

std::string_view lf_where(bool onGround) { return onGround ? "on ground" : "airborne"; }

}  // namespace

void lf_ghostCheck(const std::string& callsign) {
  const std::string ghost = callsign + kGhostMark;
  for (const std::uint32_t i : gf_liveWithCallsign(ghost)) {
    AiAircraft& g = g_liveAc[i];
    if (g.st == kStRemovingFromSim) continue;
    if (g.fs == kFsParked) {
      lf_logUnderLog(fmt::format("{:8}: {:8} is a ghost and will be removed, continue with {}",
                                 lf_standNameById(g.standId), ghost, callsign));
    } else {
      lf_logUnderLog(fmt::format("          {:8} is a ghost and will be removed, continue with {}",
                                 ghost, callsign));
    }
    g_ghostTexts.push_back(ghost);
    removeAircraftFromSim(g);
    return;
  }
}

bool lf_isUnderscoreCopy(const std::string& callsign) {
  if (callsign.empty()) return false;
  const std::vector<std::uint32_t>& same =
      gf_liveWithCallsign(callsign.substr(0, callsign.size() - 1));
  return std::any_of(same.begin(), same.end(),
                     [](std::uint32_t i) { return g_liveAc[i].st != kStRemovingFromSim; });
}

bool gf_removeStaticDuplicate(const StaticDuplicateContext& context, StaticAircraft& s) {
  if (s.st != kStActive || context.live == nullptr) return false;
  const AiAircraft& live = *context.live;
  const std::string standName = lf_standNameById(s.standId);
  if (!live.registration.empty() && live.registration == s.registration) {
    lf_logUnderLog(fmt::format("{:8}: {:8} {} removed, new {} {} has same regcode {}", standName,
                               s.callsign, s.registration, lf_where(context.onGround),
                               live.callsign, live.registration));
    return true;
  }
  const auto named = [&s](const std::string& cs) {
    return !cs.empty() && (cs == s.text6 || cs == s.text7);
  };
  bool same = named(live.callsign);
  if (!same && live.text7.empty()) {
    same = lf_endsWith(live.callsign, kGhostMark) && named(context.callsignCut);
  } else if (!same) {
    same = named(live.text7);
  }
  if (!same) return false;
  lf_logUnderLog(fmt::format("{:8}: {:8} \"{} {}\" removed, new {} {} \"{} {}\" has {} callsign",
                             standName, s.callsign, s.text6, s.text7, lf_where(context.onGround),
                             live.callsign, live.text6, live.text7,
                             s.text6 == live.callsign ? "same" : "coupled"));
  return true;
}

namespace {

// Active records leave the simulator; a creation still waiting is withdrawn, one already handed
// to the link is removed once the link reports its object.
template <typename Record>
void lf_removeAll(std::vector<Record>& records, std::deque<CreateAcRequest>& createWait) {
  bool erase = false;
  for (Record& record : records) {
    if (record.st == kStActive) {
      removeAircraftFromSim(record);
    } else if (record.st == kStAdding2Sim && !record.removalPending && !record.eraseMe) {
      if (gf_removeFromCreateWait(createWait, record.callsign)) {
        record.eraseMe = true;
      } else {
        record.removalPending = true;
      }
    }
    erase = erase || record.eraseMe;
  }
  if (erase) {
    std::erase_if(records, [](const Record& record) { return record.eraseMe; });
    gf_recordsReordered();
  }
}

}  // namespace

void gf_removeAllStaticAc() { lf_removeAll(g_staticAc, g_staticCreateWait); }

void gf_removeAllLiveAc() { lf_removeAll(g_liveAc, g_liveCreateWait); }

std::string lf_detcs(const StaticCandidate& candidate) {
  std::string cs = candidate.continues ? candidate.cs : candidate.cs2;
  if (cs.empty()) cs = candidate.continues ? candidate.cs2 : candidate.cs;
  if (cs.empty()) {
    gf_logError(fmt::format("{} callsign is empty..", "lf_detcs"));
    return {};
  }
  while (lf_endsWith(cs, kGhostMark)) cs.pop_back();
  if (!lf_endsWith(cs, kStaticMark)) cs += kStaticMark;
  return cs;
}

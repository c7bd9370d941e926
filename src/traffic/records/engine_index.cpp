// The engine's lookup indexes (engine_index.h). Worker thread only.
#include "traffic/records/engine_index.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <unordered_map>

#include <fmt/format.h>

#include "airports/airports.h"
#include "traffic/records/records.h"

namespace {

constexpr double kGridCellDeg = 0.005;  // about 550 m of latitude
constexpr double kMaxGridLat = 89.0;    // beyond this the longitude span is searched whole

// Where a vector stood when its index was built: a different size or buffer means a rebuild.
struct Built {
  const void* data = nullptr;
  std::size_t size = 0;
  bool valid = false;

  template <typename T>
  bool matches(const std::vector<T>& v) const {
    return valid && data == static_cast<const void*>(v.data()) && size == v.size();
  }
  template <typename T>
  void take(const std::vector<T>& v) {
    data = v.data();
    size = v.size();
    valid = true;
  }
};

using IdMap = std::unordered_map<std::uint32_t, std::uint32_t>;

struct LiveIndex {
  Built built;
  IdMap byKey;
  IdMap byObject;
  std::unordered_map<std::string, std::vector<std::uint32_t>> byCallsign;
  bool callsignsValid = false;
  std::array<std::uint32_t, kStRemovingFromSim + 1> stateCounts{};  // live records per st
  bool countValid = false;
};

struct CellKey {
  std::int32_t lat = 0;
  std::int32_t lon = 0;
  friend bool operator==(const CellKey&, const CellKey&) = default;
};
struct CellHash {
  std::size_t operator()(const CellKey& c) const noexcept {
    return std::hash<std::int64_t>()((static_cast<std::int64_t>(c.lat) << 32) ^
                                     static_cast<std::uint32_t>(c.lon));
  }
};

struct StaticIndex {
  Built built;
  IdMap byKey;
  IdMap byObject;
  std::unordered_map<CellKey, std::vector<std::uint32_t>, CellHash> grid;
  double widestHalfSpan = 0.0;  // nm
};

struct StandIndex {
  Built built;
  IdMap byId;  // the first stand with the id
};

LiveIndex s_live;
StaticIndex s_static;
StandIndex s_stands;
const std::vector<std::uint32_t> kNone;

CellKey lf_cell(double lat, double lon) {
  return {static_cast<std::int32_t>(std::floor(lat / kGridCellDeg)),
          static_cast<std::int32_t>(std::floor(lon / kGridCellDeg))};
}

template <typename Record>
void lf_fillIds(const std::vector<Record>& records, IdMap& byKey, IdMap& byObject) {
  byKey.clear();
  byObject.clear();
  for (std::uint32_t i = 0; i < records.size(); ++i) {
    byKey.try_emplace(records[i].key, i);
    if (records[i].objectId != 0) byObject.try_emplace(records[i].objectId, i);
  }
}

LiveIndex& lf_live() {
  if (!s_live.built.matches(g_liveAc)) {
    lf_fillIds(g_liveAc, s_live.byKey, s_live.byObject);
    s_live.callsignsValid = false;
    s_live.countValid = false;
    s_live.built.take(g_liveAc);
  }
  return s_live;
}

StaticIndex& lf_static() {
  if (!s_static.built.matches(g_staticAc)) {
    lf_fillIds(g_staticAc, s_static.byKey, s_static.byObject);
    s_static.grid.clear();
    s_static.widestHalfSpan = 0.0;
    for (std::uint32_t i = 0; i < g_staticAc.size(); ++i) {
      const StandPlace& p = g_staticAc[i].standPlace;
      s_static.grid[lf_cell(p.lat, p.lon)].push_back(i);
      s_static.widestHalfSpan = std::max(s_static.widestHalfSpan, g_staticAc[i].halfWingspan);
    }
    s_static.built.take(g_staticAc);
  }
  return s_static;
}

StandIndex& lf_stands() {
  if (!s_stands.built.matches(g_parkStands)) {
    s_stands.byId.clear();
    for (std::uint32_t i = 0; i < g_parkStands.size(); ++i) {
      s_stands.byId.try_emplace(g_parkStands[i].number, i);
    }
    s_stands.built.take(g_parkStands);
  }
  return s_stands;
}

// The record the map names, when it still holds the value; a stale entry rebuilds the index.
template <typename Record, typename Index, typename Field>
Record* lf_find(std::vector<Record>& records, Index& (*index)(), IdMap Index::*map,
                std::uint32_t value, Field field) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const IdMap& ids = index().*map;
    const auto it = ids.find(value);
    if (it == ids.end()) return nullptr;
    if (it->second < records.size() && field(records[it->second]) == value) {
      return &records[it->second];
    }
    index().built.valid = false;
  }
  return nullptr;
}

std::uint32_t lf_keyOf(const StaticAircraft& r) { return r.key; }
std::uint32_t lf_objectOf(const StaticAircraft& r) { return r.objectId; }

}  // namespace

AiAircraft* gf_liveByKey(std::uint32_t key) {
  return lf_find(g_liveAc, lf_live, &LiveIndex::byKey, key, lf_keyOf);
}

AiAircraft* gf_liveByObjectId(std::uint32_t objectId) {
  if (objectId == 0) return nullptr;
  return lf_find(g_liveAc, lf_live, &LiveIndex::byObject, objectId, lf_objectOf);
}

StaticAircraft* gf_staticByKey(std::uint32_t key) {
  return lf_find(g_staticAc, lf_static, &StaticIndex::byKey, key, lf_keyOf);
}

StaticAircraft* gf_staticByObjectId(std::uint32_t objectId) {
  if (objectId == 0) return nullptr;
  return lf_find(g_staticAc, lf_static, &StaticIndex::byObject, objectId, lf_objectOf);
}

ParkPos* gf_standById(std::uint32_t standId) {
  const IdMap& ids = lf_stands().byId;
  const auto it = ids.find(standId);
  if (it != ids.end() && g_parkStands[it->second].number == standId) {
    return &g_parkStands[it->second];
  }
  // The stands are filled outside the engine: a miss, or a stale entry, is settled by a scan.
  s_stands.built.valid = false;
  const auto stand = std::find_if(g_parkStands.begin(), g_parkStands.end(),
                                  [standId](const ParkPos& s) { return s.number == standId; });
  return stand == g_parkStands.end() ? nullptr : &*stand;
}

const std::vector<std::uint32_t>& gf_liveWithCallsign(const std::string& callsign) {
  LiveIndex& index = lf_live();
  if (!index.callsignsValid) {
    index.byCallsign.clear();
    for (std::uint32_t i = 0; i < g_liveAc.size(); ++i) {
      index.byCallsign[g_liveAc[i].callsign].push_back(i);
    }
    index.callsignsValid = true;
  }
  const auto it = index.byCallsign.find(callsign);
  return it == index.byCallsign.end() ? kNone : it->second;
}

std::uint32_t gf_liveCountInState(std::uint32_t st) {
  LiveIndex& index = lf_live();
  if (!index.countValid) {
    index.stateCounts.fill(0);
    for (const AiAircraft& a : g_liveAc) {
      if (a.st < index.stateCounts.size()) ++index.stateCounts[a.st];
    }
    index.countValid = true;
  }
  return st < index.stateCounts.size() ? index.stateCounts[st] : 0;
}

std::uint32_t gf_activeLiveCount() { return gf_liveCountInState(kStActive); }

StaticAircraft* gf_firstStaticNear(const LatLon& position, double reachNm,
                                   bool (*test)(const StaticAircraft&, double, const void*),
                                   const void* context) {
  StaticIndex& index = lf_static();
  const double latSpan = reachNm / 60.0;
  const double coslat = std::cos(std::min(std::fabs(position.lat) + latSpan, kMaxGridLat) * kDegToRad);
  const double lonSpan = std::fabs(position.lat) + latSpan >= kMaxGridLat ? 180.0 : latSpan / coslat;
  const CellKey low = lf_cell(position.lat - latSpan, position.lon - lonSpan);
  const CellKey high = lf_cell(position.lat + latSpan, position.lon + lonSpan);
  std::uint32_t best = static_cast<std::uint32_t>(g_staticAc.size());
  const auto visit = [&](const CellKey& cell) {
    const auto it = index.grid.find(cell);
    if (it == index.grid.end()) return;
    for (const std::uint32_t i : it->second) {
      if (i >= best) continue;
      const StaticAircraft& s = g_staticAc[i];
      if (s.st == kStActive &&
          test(s, gf_distanceNm(position, {s.standPlace.lat, s.standPlace.lon}), context)) {
        best = i;
      }
    }
  };
  const bool wideLon = static_cast<std::int64_t>(high.lon) - low.lon >
                       2 * static_cast<std::int64_t>(index.grid.size());
  if (wideLon) {  // near a pole or across the date line: look at every cell of these rows
    for (const auto& [cell, members] : index.grid) {
      if (cell.lat >= low.lat && cell.lat <= high.lat) visit(cell);
    }
  } else {
    for (std::int32_t la = low.lat; la <= high.lat; ++la) {
      for (std::int32_t lo = low.lon; lo <= high.lon; ++lo) visit({la, lo});
    }
  }
  return best < g_staticAc.size() ? &g_staticAc[best] : nullptr;
}

double gf_widestStaticHalfSpan() { return lf_static().widestHalfSpan; }

void gf_setState(StaticAircraft& record, std::uint32_t st) {
  if (record.st != st) s_live.countValid = false;
  record.st = st;
}

void gf_setCallsign(AiAircraft& aircraft, const std::string& callsign) {
  aircraft.callsign = callsign;
  s_live.callsignsValid = false;
}

void gf_setObjectId(StaticAircraft& record, std::uint32_t objectId) {
  record.objectId = objectId;
  s_live.built.valid = false;
  s_static.built.valid = false;
}

void gf_recordsReordered() {
  s_live.built.valid = false;
  s_static.built.valid = false;
}

bool gf_indexesMatchScan(std::string& why) {
  for (std::uint32_t i = 0; i < g_liveAc.size(); ++i) {
    const AiAircraft& a = g_liveAc[i];
    if (gf_liveByKey(a.key) != &a) why = fmt::format("live key {} at {}", a.key, i);
    if (a.objectId != 0 && gf_liveByObjectId(a.objectId) != &a) {
      why = fmt::format("live object id {} at {}", a.objectId, i);
    }
    const std::vector<std::uint32_t>& same = gf_liveWithCallsign(a.callsign);
    if (std::find(same.begin(), same.end(), i) == same.end()) {
      why = fmt::format("callsign {} at {}", a.callsign, i);
    }
  }
  for (std::uint32_t i = 0; i < g_staticAc.size(); ++i) {
    const StaticAircraft& s = g_staticAc[i];
    if (gf_staticByKey(s.key) != &s) why = fmt::format("static key {} at {}", s.key, i);
    if (s.objectId != 0 && gf_staticByObjectId(s.objectId) != &s) {
      why = fmt::format("static object id {} at {}", s.objectId, i);
    }
  }
  for (std::uint32_t st = kStBuffer; st <= kStRemovingFromSim; ++st) {
    const auto n = static_cast<std::uint32_t>(std::count_if(
        g_liveAc.begin(), g_liveAc.end(), [st](const AiAircraft& a) { return a.st == st; }));
    if (gf_liveCountInState(st) != n) {
      why = fmt::format("count in st {}: {} against {}", st, gf_liveCountInState(st), n);
    }
  }
  return why.empty();
}

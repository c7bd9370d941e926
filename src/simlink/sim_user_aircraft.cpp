// What the link keeps of the user aircraft: the samples of request 109 (position, teleport test,
// simulator time, object id), the on-ground reports of request 108, the worker's requests for
// them, and the stand under the user aircraft. The title and model replies are in
// sim_user_model.cpp.
#include <fmt/format.h>

#include <cmath>
#include <cstring>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "simlink/sim_internal.h"

UserAcData g_userAc;
UserAcData g_userAcSnapshot;
LatLon g_prevUserPos;
std::atomic<std::int64_t> g_simTimeSec{0};
std::atomic<bool> g_userOnGround{false};
std::atomic<bool> g_userOnGroundKnown{false};
std::atomic<bool> g_userReportArrived{false};
std::string g_userStandName;
std::atomic<bool> g_parkStandCheckRequested{false};

namespace {

constexpr double kTeleportNm = 10.0;         // a longer jump between two samples is a new flight
constexpr double kParkedSpeedKt = 2.0;       // at most this ground speed counts as parked
constexpr double kNotPlacedMaxLat = 0.0009;  // degrees
constexpr double kNotPlacedMaxLon = 0.05;    // degrees
constexpr std::int64_t kSecondsPerDay = 86400;

// Counts the samples stored in g_userAc (under g_simMutex), so that the worker looks up the
// user's stand once per new sample.
std::uint64_t g_userSampleCount = 0;
// The sample count at the worker's last stand lookup. Worker only.
std::uint64_t g_standLookupSample = 0;
// A sample with an unusable date was logged; cleared by the next good one. SimClient only.
bool g_badTimeLogged = false;

SimLinkHooks g_simLinkHooks;

std::string lf_standNameAt(const LatLon& position) {
  return g_simLinkHooks.standNameAt ? g_simLinkHooks.standNameAt(position) : std::string();
}

bool lf_allFinite(const UserAcData& d) {
  for (const double v : {d.latitude, d.longitude, d.pitch, d.bank, d.heading, d.altitude,
                         d.altitudeAboveGround, d.groundVelocity}) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

// Day number of 1 January of a year, counted from 1970-01-01 (proleptic Gregorian calendar).
std::int64_t lf_daysToNewYear(std::int64_t year) {
  const std::int64_t y = year - 1;  // the year before: January lies after its end of February
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  constexpr std::int64_t kMarchToJanuary = 306;  // days from 1 March to 1 January
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + kMarchToJanuary;
  constexpr std::int64_t kDaysPerEra = 146097;
  constexpr std::int64_t kEpochDays = 719468;  // 1970-01-01 counted from 0000-03-01
  return era * kDaysPerEra + dayOfEra - kEpochDays;
}

void lf_storeSimTime(const UserAcData& d) {
  const bool usable = d.zuluYear >= 1970 && d.zuluYear <= 9999 && d.zuluDayOfYear >= 1 &&
                      d.zuluDayOfYear <= 366 && d.zuluTime >= 0 && d.zuluTime <= kSecondsPerDay;
  if (!usable) {
    if (!g_badTimeLogged) {
      gf_logError(fmt::format("! simulator time not usable: year {}, day {}, second {}", d.zuluYear,
                              d.zuluDayOfYear, d.zuluTime));
    }
    g_badTimeLogged = true;
    return;
  }
  g_badTimeLogged = false;
  g_simTimeSec.store(lf_unixTime(d.zuluYear, d.zuluDayOfYear, d.zuluTime));
}

// Reply 109: one sample of the user aircraft.
void lf_userSample(std::uint32_t objectId, const std::uint8_t* record) {
  UserAcData d;
  std::memcpy(&d, record, sizeof d);
  if (!lf_allFinite(d)) {
    gf_logError("! user aircraft sample with a number that is not finite, skipped");
    return;
  }
  if (d.altitude < 0.0) d.altitude = 0.0;
  {
    std::lock_guard lock(g_simMutex);
    g_userAc = d;
    ++g_userSampleCount;
  }
  const LatLon position{d.latitude, d.longitude};
  if (!lf_notPlacedYet(g_prevUserPos) && gf_distanceNm(g_prevUserPos, position) > kTeleportNm) {
    gf_log("Teleport");
    lf_newFlightStop();
  }
  g_prevUserPos = position;
  if (g_rtProfessional.load()) lf_storeSimTime(d);
  g_userObjectId.store(objectId);
}

// Reply 108: the user aircraft on the ground, once a second.
void lf_userOnGround(std::int64_t value) {
  if (!lf_notPlacedYet(g_prevUserPos)) {
    g_userOnGround.store(value != 0);
    g_userOnGroundKnown.store(true);
  }
  g_userReportArrived.exchange(true);
}

// Reply 102: the static CG height and pitch of one object, for the engine.
void lf_staticCg(std::uint32_t objectId, const std::uint8_t* record) {
  double values[2];
  std::memcpy(values, record, sizeof values);
  gf_postSimObjectNotice({objectId, 0, 0, kNoticeStaticCg, values[0], values[1]});
}

// Record bytes a reply must carry, by request; 0 for the title, whose length varies.
std::size_t lf_recordSize(DWORD requestId) {
  switch (requestId) {
    case kRequestStaticCg:
      return 16;
    case kRequestUserModel:
      return 32;
    case kRequestUserOnGround:
      return sizeof(std::int64_t);
    case kRequestUserAc:
      return sizeof(UserAcData);
    default:
      return 0;
  }
}

// The worker's stand lookup of a new sample: the window shows the stand the user stands at.
void lf_updateUserStand(const UserAcData& sample) {
  const std::string name = lf_standNameAt({sample.latitude, sample.longitude});
  if (name != g_userStandName && (!name.empty() || !g_userStandName.empty())) {
    g_mainWindowState.storeText(&MainWindowState::userStand, name, kLampsArea);
  }
  g_userStandName = name;
}

}  // namespace

bool lf_notPlacedYet(const LatLon& position) {
  return position.lat >= 0.0 && position.lat <= kNotPlacedMaxLat && position.lon >= 0.0 &&
         position.lon <= kNotPlacedMaxLon;
}

std::int64_t lf_unixTime(std::int64_t year, std::int64_t dayOfYear, std::int64_t secondOfDay) {
  return (lf_daysToNewYear(year) + dayOfYear - 1) * kSecondsPerDay + secondOfDay;
}

void lf_handleObjectData(const ObjectData& data) {
  if (data.recordSize < lf_recordSize(data.requestId)) {
    gf_logError(fmt::format("! SimConnect data of request {} too short: {} bytes", data.requestId,
                            data.recordSize + kSimObjectDataOffset));
    return;
  }
  const std::uint8_t* record = data.record;
  switch (data.requestId) {
    case kRequestStaticCg:
      lf_staticCg(data.objectId, record);
      return;
    case kRequestUserTitle:
      lf_userTitle(lf_fieldText(reinterpret_cast<const char*>(record), data.recordSize));
      return;
    case kRequestUserModel:
      lf_userModel(lf_fieldText(reinterpret_cast<const char*>(record), 32));
      return;
    case kRequestUserOnGround: {
      std::int64_t value = 0;
      std::memcpy(&value, record, sizeof value);
      lf_userOnGround(value);
      return;
    }
    case kRequestUserAc:
      lf_userSample(data.objectId, record);
      return;
    default:
      return;
  }
}

void gf_setSimLinkHooks(SimLinkHooks hooks) {
  g_simLinkHooks = std::move(hooks);
}

UserAcData gf_getUserAcData() {
  HRESULT failed = S_OK;
  UserAcData sample;
  std::uint64_t sampleCount = 0;
  {
    std::lock_guard lock(g_simMutex);
    if (!g_simRequestError.load()) {
      const HRESULT result = SimConnect_RequestDataOnSimObject(
          g_hSimConnect.load(), kRequestUserAc, kDefUserAc, SIMCONNECT_OBJECT_ID_USER,
          SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0);
      if (result < 0) failed = result;
    }
    sample = g_userAc;
    sampleCount = g_userSampleCount;
  }
  if (failed < 0) {
    gf_logError("SimConnect request user ac position fails");
    gf_simConnectRequestError(failed);
  }
  if (sampleCount != g_standLookupSample) {
    g_standLookupSample = sampleCount;
    lf_updateUserStand(sample);
  }
  return sample;
}

void gf_requestUserAcTitleAndModel() {
  HRESULT titleResult = S_OK;
  HRESULT modelResult = S_OK;
  {
    std::lock_guard lock(g_simMutex);
    const HANDLE h = g_hSimConnect.load();
    titleResult = SimConnect_RequestDataOnSimObject(h, kRequestUserTitle, kDefUserTitle,
                                                    SIMCONNECT_OBJECT_ID_USER,
                                                    SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0);
    modelResult = SimConnect_RequestDataOnSimObject(h, kRequestUserModel, kDefUserModel,
                                                    SIMCONNECT_OBJECT_ID_USER,
                                                    SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0);
  }
  if (titleResult < 0) {
    gf_logError("SimConnect request user ac title fails");
    gf_simConnectRequestError(titleResult);
  }
  if (modelResult < 0) {
    gf_logError("SimConnect reques user ac model fails");
    gf_simConnectRequestError(modelResult);
  }
}

void gf_parkStandCheck() {
  if (!g_parkStandCheckRequested.exchange(false)) return;
  if (!g_userOnGroundKnown.load() || !(g_userAcSnapshot.groundVelocity <= kParkedSpeedKt)) return;
  LatLon position;
  {
    std::lock_guard lock(g_simMutex);
    position = {g_userAc.latitude, g_userAc.longitude};
  }
  const std::string name = lf_standNameAt(position);
  if (!name.empty() && g_simLinkHooks.reserveUserStand) g_simLinkHooks.reserveUserStand(name);
}

void lf_resetUserAircraft() {
  {
    std::lock_guard lock(g_simMutex);
    g_userAc = UserAcData{};
    g_userSampleCount = 0;
    g_userAcTitle.clear();
    g_userAcType = UserAcType{};
  }
  g_standLookupSample = 0;
  g_userAcSnapshot = UserAcData{};
  g_prevUserPos = LatLon{};
  g_userStandName.clear();
  g_userOnGroundKnown.store(false);
  g_userReportArrived.store(false);
  g_parkStandCheckRequested.store(false);
  g_badTimeLogged = false;
}

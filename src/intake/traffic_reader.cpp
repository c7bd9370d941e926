// The traffic reader's record handling (reader thread) and the live-traffic buffer it fills.
#include <fmt/format.h>

#include "foundation/day_slots.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "intake/intake.h"

std::mutex g_trafficMutex;
std::deque<TrafficReport> g_liveTrafficBuffer;
bool g_acceptTraffic = false;
std::atomic<std::uint32_t> g_tickCount{0};
std::atomic<bool> g_rtOnThisPc{false};
std::atomic<std::int32_t> g_qnh{1013};
std::atomic<bool> g_readerError{false};

namespace {
constexpr std::size_t kReservedFields = 64;
}  // namespace

void gf_setAcceptTraffic(bool accept) {
  std::lock_guard lock(g_trafficMutex);
  g_acceptTraffic = accept;
}

TrafficReader::TrafficReader() : UdpReader("Traffic Reader", kTrafficSocketBufferBytes) {
  fields_.reserve(kReservedFields);
}

void TrafficReader::setUserPosition(double latitude, double longitude) {
  std::lock_guard lock(contextMutex_);
  context_.userLatitude = latitude;
  context_.userLongitude = longitude;
}

void TrafficReader::setParkElevation(std::optional<double> elevationFt) {
  std::lock_guard lock(contextMutex_);
  context_.parkElevationFt = elevationFt;
}

void TrafficReader::setParkAirport(const std::string& icao, double latitude, double longitude) {
  std::lock_guard lock(contextMutex_);
  context_.parkIcao = icao;
  context_.parkLatitude = latitude;
  context_.parkLongitude = longitude;
}

TrafficFilterContext TrafficReader::filterContext() const {
  TrafficFilterContext context;
  {
    std::lock_guard lock(contextMutex_);
    context = context_;
  }
  context.radiusNm = g_trafficRadiusNm.load();
  context.clockSec = gf_wallClockNow();
  return context;
}

void TrafficReader::clearLiveCallsigns() {
  std::lock_guard lock(g_trafficMutex);
  liveCallsigns_.clear();
}

std::set<std::string> TrafficReader::takeLiveCallsigns() {
  std::set<std::string> taken;
  std::lock_guard lock(g_trafficMutex);
  taken.swap(liveCallsigns_);
  return taken;
}

void TrafficReader::resetIntake() {
  resetReceiveState();
  g_trafficTimeSec = 0.0;
  clearLiveCallsigns();
  implausibleLogged_ = false;
}

void TrafficReader::logImplausible(TrafficVerdict verdict) {
  if (implausibleLogged_.exchange(true)) return;
  const std::string_view id = fields_.size() > kFieldId ? fields_[kFieldId] : std::string_view{};
  gf_log(fmt::format("Traffic record of {} refused: {} (later ones are refused without a line)",
                     id, gf_trafficVerdictName(verdict)));
}

void TrafficReader::onConnected() {
  g_mainWindowState.trafficLamp = kLampReceiving;
  g_mainWindowState.weatherLamp = kLampReceiving;
  g_mainWindowState.invalidate(kLampsArea);
}

void TrafficReader::onStopped() {
  g_mainWindowState.trafficLamp = kLampHidden;
  g_mainWindowState.invalidate(kLampsArea);
  gf_log("Traffic Reader has stopped");
}

void TrafficReader::processData() {
  if (gf_isVehicleDatagram(datagram_)) {
    lastVerdict_ = TrafficVerdict::kVehicle;
    return;
  }
  gf_splitTrafficFields(datagram_, fields_);
  processLine();
}

void TrafficReader::processLine() {
  try {
    const TrafficFilterContext context = filterContext();
    const TrafficVerdict verdict = gf_parseTrafficRecord(fields_, context, parsed_);
    lastVerdict_ = verdict;
    if (verdict == TrafficVerdict::kFutureTimeStamp ||
        verdict == TrafficVerdict::kAltitudeOutOfRange) {
      logImplausible(verdict);
    }
    // The traffic time follows every readable time stamp, whatever becomes of the record.
    if (parsed_.timeStamp) g_trafficTimeSec = *parsed_.timeStamp;
    if (!parsed_.callsignToCollect.empty() && collecting_.load()) {
      std::lock_guard lock(g_trafficMutex);
      liveCallsigns_.emplace(parsed_.callsignToCollect);
    }
    if (verdict != TrafficVerdict::kReady) return;
    std::lock_guard lock(g_trafficMutex);
    if (!g_acceptTraffic) return;
    parsed_.report.position.dueTime =
        static_cast<std::int32_t>(g_tickCount.load() + kReportDelaySteps);
    g_liveTrafficBuffer.push_back(parsed_.report);
  } catch (const std::exception& e) {
    gf_log(fmt::format("exception in processLine: {}", e.what()));
  }
}

// The traffic reader's record handling (reader thread): the filter's world, the traffic time,
// the live-callsign set and the reports handed to the live-traffic buffer.
#include <fmt/format.h>

#include "foundation/day_slots.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "intake/intake.h"

std::atomic<std::uint32_t> g_tickCount{0};
std::atomic<bool> g_rtOnThisPc{false};
std::atomic<std::int32_t> g_qnh{1013};
std::atomic<bool> g_readerError{false};

namespace {
constexpr std::size_t kReservedFields = 64;
// No stamp near the traffic time for this long (reader's clock, seconds): the feed has moved on
// (RealTraffic's playback set to another time) and the next stamp becomes the traffic time.
constexpr std::int64_t kFeedMovedAfterSec = 60;
}  // namespace

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
  context.qnhHpa = g_qnh.load();
  context.clockSec = gf_wallClockNow();
  const double trafficTime = g_trafficTimeSec.load();
  if (trafficTime > 0.0 && *context.clockSec - stampTakenAtSec_.load() < kFeedMovedAfterSec)
    context.trafficTimeSec = trafficTime;
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
  stampTakenAtSec_ = 0;
  clearLiveCallsigns();
  implausibleLogged_ = 0;
  droppedReports_ = 0;
  capDropLogged_ = false;
}

static_assert(static_cast<unsigned>(TrafficVerdict::kVehicle) < 64, "one bit per verdict");

void TrafficReader::logImplausible(TrafficVerdict verdict) {
  const std::uint64_t bit = std::uint64_t{1} << static_cast<unsigned>(verdict);
  if ((implausibleLogged_.fetch_or(bit) & bit) != 0) return;
  const std::string_view id = fields_.size() > kFieldId ? fields_[kFieldId] : std::string_view{};
  gf_log(fmt::format("Traffic record of {} refused: {} (later ones are refused without a line)",
                     id, gf_trafficVerdictName(verdict)));
}

void TrafficReader::append(const TrafficReport& report) {
  if (gf_appendTrafficReport(report) == 0) return;
  droppedReports_.fetch_add(1);
  if (!capDropLogged_.exchange(true)) {
    gf_log(
        fmt::format("Live-traffic buffer full at {} reports: the oldest are dropped (later ones "
                    "without a line)",
                    kLiveTrafficBufferCap));
  }
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
    if (gf_isImplausibleVerdict(verdict)) logImplausible(verdict);
    // The traffic time follows every stamp that can be traffic, whatever becomes of the record.
    if (parsed_.timeStamp) {
      g_trafficTimeSec = *parsed_.timeStamp;
      stampTakenAtSec_ = *context.clockSec;
    }
    if (!parsed_.callsignToCollect.empty() && collecting_.load()) {
      std::lock_guard lock(g_trafficMutex);
      liveCallsigns_.emplace(parsed_.callsignToCollect);
    }
    if (verdict == TrafficVerdict::kReady) append(parsed_.report);
  } catch (const std::exception& e) {
    gf_log(fmt::format("exception in processLine: {}", e.what()));
  }
}

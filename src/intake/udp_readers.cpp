// The UDP readers: socket, receive loop and thread of each reader, the weather datagrams, the
// lamp watchdog and the intake reset. The traffic reader's record handling is in
// traffic_reader.cpp.
#include "intake/udp_readers.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/strings.h"
#include "intake/intake.h"
#include "intake/socket_wait.h"

namespace {

constexpr std::int32_t kStandardQnh = 1013;     // hPa
constexpr std::int32_t kMaxHpaQnh = 1080;       // above: hundredths of inches of mercury
constexpr std::int32_t kMinPlausibleQnh = 930;  // hPa
constexpr double kHpaPerHundredthInHg = 0.33865307;
constexpr int kStopSliceMs = 100;  // longest wait of a reader before it looks at its stop flag

std::uint16_t lf_portFromEnvironment(const char* name, std::uint16_t fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  unsigned value = 0;
  const char* end = text + std::char_traits<char>::length(text);
  auto [stop, ec] = std::from_chars(text, end, value);
  if (ec != std::errc() || stop != end || value == 0 || value > 65535) {
    gf_logError(fmt::format("{}={} is no port, using {}", name, text, fallback));
    return fallback;
  }
  return static_cast<std::uint16_t>(value);
}

// Shows the error of a reader thread and raises g_readerError for the run's duties.
bool lf_readerError(bool traffic, const std::string& text) {
  gf_showMessage(fmt::format("The {} has stopped with an error: {}",
                             traffic ? "TrafficReader " : "WeatherReader", text),
                 true);
  return g_readerError.exchange(true);
}

void lf_setLamp(std::atomic<std::uint32_t>& lamp, std::uint32_t value) {
  lamp.store(value);
  g_mainWindowState.invalidate(kLampsArea);
}

// One reader's lamp under the watchdog: stale when nothing arrived since the last check.
void lf_checkLamp(UdpReader& reader, std::atomic<std::uint32_t>& lamp) {
  const std::int32_t count = reader.datagramCount();
  const bool nothingNew = count == reader.lastSeenCount;
  reader.lastSeenCount = count;
  if (nothingNew) {
    reader.shownReceiving = false;
    lf_setLamp(lamp, kLampStale);
  } else if (!reader.shownReceiving) {
    reader.shownReceiving = true;
    lf_setLamp(lamp, kLampReceiving);
  }
}

// The QNH member of a weather object as an int, or nothing (with the log line saying why).
std::optional<std::int32_t> lf_qnhValue(const nlohmann::json& weather, const std::string& text) {
  if (weather.is_object() && !weather.contains("QNH")) {
    gf_log(fmt::format("no QNH {}", text));
    return std::nullopt;
  }
  const nlohmann::json& qnh = weather.at("QNH");  // throws for a datagram that is no object
  if (qnh.is_number_integer()) {
    const double value = qnh.is_number_unsigned() ? static_cast<double>(qnh.get<std::uint64_t>())
                                                  : static_cast<double>(qnh.get<std::int64_t>());
    // Out of the int range means out of any plausible range: keep it visible as such.
    if (std::fabs(value) > 1e9) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
  }
  if (qnh.is_number_float()) {
    const float value = qnh.get<float>();
    if (!std::isfinite(value) || std::fabs(value) > 1e9f)
      return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::lround(value));
  }
  if (qnh.is_string()) {
    try {
      return std::stoi(qnh.get<std::string>());
    } catch (const std::invalid_argument& e) {
      gf_log(fmt::format("QNH string invalid arg: {}", e.what()));
    } catch (const std::out_of_range& e) {
      gf_log(fmt::format("QNH string out of range: {}", e.what()));
    }
    return std::nullopt;
  }
  gf_log(fmt::format("no QNH {}", text));  // null, bool, object or array
  return std::nullopt;
}

// The cap the system puts on any socket's receive buffer, bytes; 0 where there is none.
int lf_receiveBufferCap() {
#ifdef _WIN32
  return 0;
#else
  return gf_socketReceiveBufferLimit();
#endif
}

}  // namespace

TrafficReader g_trafficReader;
WeatherReader g_weatherReader;

std::uint16_t gf_weatherPort() {
  static const std::uint16_t port = lf_portFromEnvironment("ZENDRIK_WEATHER_PORT", kWeatherPort);
  return port;
}

std::uint16_t gf_trafficPort() {
  static const std::uint16_t port = lf_portFromEnvironment("ZENDRIK_TRAFFIC_PORT", kTrafficPort);
  return port;
}

// ---- UdpReader ----

UdpReader::UdpReader(const char* name, int socketBufferBytes)
    : name_(name), socketBufferBytes_(socketBufferBytes) {}

UdpReader::~UdpReader() {
  stop();
}

void UdpReader::start(std::uint16_t port) {
  stop();
  stopFlag_ = false;
  running_ = true;
  thread_ = std::thread([this, port] { run(port); });
}

void UdpReader::stop() {
  stopFlag_ = true;
  {
    std::lock_guard lock(socketMutex_);
    // Closing alone does not wake a blocked receive on Linux; the shutdown does, and the reader
    // thread then closes the socket itself. Windows' shutdown wakes no receive: the reader
    // waits in slices and sees the stop flag within one.
    if (socket_ != INVALID_SOCKET) shutdown(socket_, SD_BOTH);
  }
  if (thread_.joinable()) thread_.join();
  running_ = false;
}

void UdpReader::openSocket() {
  const int started = WSAStartup(MAKEWORD(2, 2), &wsaData_);
  if (started != 0) throw std::runtime_error(fmt::format("WSA startup error: {}", started));
  wsaStarted_ = true;
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET)
    throw std::runtime_error(fmt::format("failed to create the socket with error: {}",
                                         gf_wsaErrorText(WSAGetLastError())));
  requestSocketBuffer(s);
  std::lock_guard lock(socketMutex_);
  socket_ = s;
}

// The system may grant less than asked (Linux caps it at net.core.rmem_max and reports twice
// what it books): the log says what the socket got and the cap, so lost bursts can be told
// from a small buffer.
void UdpReader::requestSocketBuffer(SOCKET s) {
  if (socketBufferBytes_ > 0 &&
      setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&socketBufferBytes_),
                 sizeof socketBufferBytes_) == SOCKET_ERROR) {
    gf_log(fmt::format("{} receive buffer of {} bytes refused: {}", name_, socketBufferBytes_,
                       gf_wsaErrorText(WSAGetLastError())));
  }
  int granted = 0;
  int length = sizeof granted;
  if (getsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted), &length) ==
      SOCKET_ERROR)
    return;
  grantedBufferBytes_ = granted;
  if (socketBufferBytes_ <= 0) return;
  const int cap = lf_receiveBufferCap();
  if (cap > 0 && cap < socketBufferBytes_) {
    gf_log(fmt::format("{} receive buffer: {} bytes asked, {} granted (the system caps it at {})",
                       name_, socketBufferBytes_, granted, cap));
  } else {
    gf_log(fmt::format("{} receive buffer: {} bytes asked, {} granted", name_, socketBufferBytes_,
                       granted));
  }
}

void UdpReader::bindSocket(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(g_rtOnThisPc.load() ? INADDR_LOOPBACK : INADDR_ANY);
  if (bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR)
    throw std::runtime_error(fmt::format("bind to stream socket failed with error: {}",
                                         gf_wsaErrorText(WSAGetLastError())));
}

void UdpReader::closeSocket() {
  std::lock_guard lock(socketMutex_);
  if (socket_ != INVALID_SOCKET) {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
}

void UdpReader::run(std::uint16_t port) {
  try {
    openSocket();
    bindSocket(port);
    onConnected();
    gf_logIndented(fmt::format("{} connected", name_));
    receiveLoop();
  } catch (const std::exception& e) {
    closeSocket();
    gf_logIndented(fmt::format("{} disconnected", name_));
    onError(e.what());
  }
  closeSocket();
  if (wsaStarted_) {
    WSACleanup();
    wsaStarted_ = false;
  }
}

void UdpReader::receiveLoop() {
  while (!stopFlag_.load()) {
    // A timeout looks at the stop flag again; an error is the receive's to report (and on
    // Linux a descriptor too large to wait on is received directly: the stop's shutdown wakes it).
    if (gf_waitReadable(socket_, kStopSliceMs) == Readiness::kTimeout) continue;
    const int n = recvfrom(socket_, buffer_.data(), static_cast<int>(kReceiveBufferSize), 0,
                           nullptr, nullptr);
    if (n == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      // An oversized datagram costs that datagram only, never the rest of the run.
      if (error == WSAEMSGSIZE) {
        gf_logIfActive(fmt::format("buffer overrun: {} bytes", kReceiveBufferSize));
        continue;
      }
      gf_logIfActive(fmt::format("receive error: {}", gf_wsaErrorText(error)));
      break;
    }
    if (n <= 0) continue;  // an empty datagram, or the wake-up of a stop
    if (static_cast<std::size_t>(n) >= kReceiveBufferSize) {
      gf_logIfActive(fmt::format("buffer overrun: {} bytes", n));
      continue;
    }
    buffer_[static_cast<std::size_t>(n)] = '\0';
    receive(std::string_view(buffer_.data(), static_cast<std::size_t>(n)));
  }
  closeSocket();
  onStopped();
}

void UdpReader::receive(std::string_view datagram) {
  datagram_ = datagram;
  datagramCounter_.fetch_add(1);
  if (!g_rtOnThisPc.load()) {
    // RealTraffic on another PC sends every datagram twice.
    if (datagram == lastDatagram_) return;
    lastDatagram_.assign(datagram);
  }
  processData();
}

void UdpReader::resetReceiveState() {
  stopFlag_ = false;
  shownReceiving = true;
}

// ---- WeatherReader ----

WeatherReader::WeatherReader() : UdpReader("QNH Reader") {}

void WeatherReader::resetIntake() {
  resetReceiveState();
  datagramCounter_ = 0;
  lastSeenCount = 0;
  lastStoredQnh_ = kStandardQnh;
}

void WeatherReader::onConnected() {
  lf_setLamp(g_mainWindowState.weatherLamp, kLampReceiving);
}

void WeatherReader::onStopped() {
  gf_log("QNH Reader has stopped");
}

void WeatherReader::onError(const std::string& text) {
  lf_readerError(false, text);
}

void TrafficReader::onError(const std::string& text) {
  lf_readerError(true, text);
}

void WeatherReader::processData() {
  const std::string text(datagram_);
  try {
    const auto weather = nlohmann::json::parse(text);
    auto qnh = lf_qnhValue(weather, text);
    if (!qnh) return;
    std::int32_t value = *qnh;
    if (value > kMaxHpaQnh)
      value = static_cast<std::int32_t>(std::lround(value * kHpaPerHundredthInHg));
    if (value < kMinPlausibleQnh || value > kMaxHpaQnh) {
      gf_log(fmt::format("? Strange QNH {} found in {}", value, text));
      return;
    }
    if (value != lastStoredQnh_.load() || value == kStandardQnh) {
      lastStoredQnh_ = value;
      g_qnh = value;
      g_mainWindowState.qnhShown = static_cast<std::uint32_t>(value);
      std::uint32_t stale = kLampStale;
      g_mainWindowState.weatherLamp.compare_exchange_strong(stale, kLampReceiving);
      g_mainWindowState.invalidate(kLampsArea);
    }
  } catch (const std::exception& e) {
    gf_log(fmt::format("Exception {}, in {}", e.what(), text));
  }
}

// ---- process-wide operations ----

void gf_startWeatherReader() {
  g_weatherReader.start(gf_weatherPort());
}

void gf_startTrafficReader() {
  g_trafficReader.start(gf_trafficPort());
}

void gf_stopReaders() {
  g_weatherReader.stop();
  g_trafficReader.stop();
}

void gf_checkReaderLamps() {
  if (g_rtLamp.load() == 0) return;
  lf_checkLamp(g_weatherReader, g_mainWindowState.weatherLamp);
  lf_checkLamp(g_trafficReader, g_mainWindowState.trafficLamp);
}

void gf_resetIntake() {
  g_trafficReader.resetIntake();
  g_weatherReader.resetIntake();
}

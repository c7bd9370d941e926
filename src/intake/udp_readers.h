// The UDP readers of RealTraffic's broadcasts: TrafficReader (traffic records, port 49005) and
// WeatherReader (weather JSON with the QNH, port 49004), each receiving on a thread of its own.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "intake/traffic_parser.h"
#include "platform/win32.h"

inline constexpr std::uint16_t kWeatherPort = 49004;
inline constexpr std::uint16_t kTrafficPort = 49005;
inline constexpr std::size_t kReceiveBufferSize = 16384;  // bytes of one datagram, at most
// The traffic socket's kernel buffer asked for, bytes. RealTraffic sends a full 100 nm radius
// as one burst of back-to-back datagrams (2,000 and more over a busy area); the default buffer
// (about 208 KB) drops part of it before the reader gets to run.
inline constexpr int kTrafficSocketBufferBytes = 8 * 1024 * 1024;

// Values of the window's traffic and weather lamps.
inline constexpr std::uint32_t kLampReceiving = 1;  // green
inline constexpr std::uint32_t kLampStale = 2;      // yellow: nothing since the last check
inline constexpr std::uint32_t kLampHidden = 3;     // not shown

// The ports to bind: ZENDRIK_WEATHER_PORT and ZENDRIK_TRAFFIC_PORT when set (read once), else
// the defaults above.
std::uint16_t gf_weatherPort();
std::uint16_t gf_trafficPort();

// Owns the UDP socket, the receive buffer and the receive loop of one reader.
class UdpReader {
 public:
  // `name`: "Traffic Reader" / "QNH Reader" in the connect and stop lines. socketBufferBytes:
  // the kernel receive buffer to ask for; 0 keeps the system's default.
  explicit UdpReader(const char* name, int socketBufferBytes = 0);
  virtual ~UdpReader();
  UdpReader(const UdpReader&) = delete;
  UdpReader& operator=(const UdpReader&) = delete;

  // Worker: starts the reader thread on the port (the previous one must have been stopped).
  void start(std::uint16_t port);
  // Worker: sets the stop flag, wakes the waiting receive (on Windows the reader sees the flag
  // within its wait slice) and joins the thread. Only the reader thread itself closes its
  // socket, so a stop can never close a descriptor that was reused.
  void stop();
  bool running() const { return running_.load(); }
  // Reader thread (tests: any one thread): handles one received datagram as the receive loop
  // does: counts it, applies the duplicate filter and calls processData.
  void receive(std::string_view datagram);

  std::int32_t datagramCount() const { return datagramCounter_.load(); }
  // The kernel receive buffer the socket got (bytes, as the system reports it); 0 before the
  // socket is open.
  int socketBufferBytes() const { return grantedBufferBytes_.load(); }
  // Lamp watchdog state (worker).
  std::int32_t lastSeenCount = 0;
  bool shownReceiving = true;

 protected:
  virtual void processData() = 0;  // the datagram is in datagram_
  virtual void onStopped() = 0;    // once, when the receive loop has ended
  virtual void onConnected() = 0;  // the socket is bound and the loop is about to start
  virtual void onError(const std::string& text) = 0;  // the thread ended with an exception
  void resetReceiveState();

  std::string_view datagram_;  // the datagram just received, inside buffer_
  std::atomic<bool> stopFlag_{false};
  std::atomic<std::int32_t> datagramCounter_{0};

 private:
  void run(std::uint16_t port);
  void openSocket();
  void requestSocketBuffer(SOCKET s);
  void bindSocket(std::uint16_t port);
  void receiveLoop();
  void closeSocket();

  const char* name_;
  const int socketBufferBytes_;
  std::atomic<int> grantedBufferBytes_{0};
  std::array<char, kReceiveBufferSize + 1> buffer_{};
  std::string lastDatagram_;  // duplicate filter while RealTraffic runs on another PC
  WSADATA wsaData_{};
  bool wsaStarted_ = false;
  std::mutex socketMutex_;  // the socket value between the reader's close and the stop's wake
  SOCKET socket_ = INVALID_SOCKET;
  std::thread thread_;
  std::atomic<bool> running_{false};
};

// Traffic records: split at commas, parsed, filtered and appended to g_liveTrafficBuffer.
class TrafficReader final : public UdpReader {
 public:
  TrafficReader();
  ~TrafficReader() override { stop(); }

  // Worker: the position the traffic radius is centred on (degrees).
  void setUserPosition(double latitude, double longitude);
  // Worker: the park airport's elevation (feet) while its stands are loaded; nullopt clears it.
  void setParkElevation(std::optional<double> elevationFt);
  // Worker: the park airport near which ground traffic is shown; an empty code clears it.
  void setParkAirport(const std::string& icao, double latitude, double longitude);
  TrafficFilterContext filterContext() const;

  // The live-callsign set of the parking adjustment. Collect flag: any thread. Clear and take:
  // worker, under g_trafficMutex like the reader's inserts.
  void setCollecting(bool collect) { collecting_.store(collect); }
  bool collecting() const { return collecting_.load(); }
  void clearLiveCallsigns();
  std::set<std::string> takeLiveCallsigns();

  // Reader thread: handles the fields of the current datagram.
  void processLine();
  // Reader thread: what became of the last record (tests and counters).
  TrafficVerdict lastVerdict() const { return lastVerdict_.load(); }
  // Reports dropped in this run: at the live-traffic buffer's cap, and by the engine step
  // (reports of new aircraft beyond those that may wait, and beyond the cap when given back).
  std::size_t droppedReports() const { return droppedReports_.load(); }
  // Worker: counts reports the engine step dropped from the buffer (no line is logged).
  void countDropped(std::size_t n) { droppedReports_.fetch_add(n); }
  void resetIntake();

 protected:
  void processData() override;
  void onStopped() override;
  void onConnected() override;
  void onError(const std::string& text) override;

 private:
  std::set<std::string> liveCallsigns_;   // guarded by g_trafficMutex
  std::vector<std::string_view> fields_;  // views into the receive buffer
  mutable std::mutex contextMutex_;       // guards context_
  TrafficFilterContext context_;
  std::atomic<bool> collecting_{false};
  ParsedTraffic parsed_;
  std::atomic<TrafficVerdict> lastVerdict_{TrafficVerdict::kReady};
  // The implausible verdicts (gf_isImplausibleVerdict) logged in this run, one bit each: they
  // say the feed or this PC's clock is wrong, so the first of each kind is worth a line.
  std::atomic<std::uint64_t> implausibleLogged_{0};
  // The reader's clock (seconds since 1970) when a stamp last became the traffic time.
  std::atomic<std::int64_t> stampTakenAtSec_{0};
  std::atomic<std::size_t> droppedReports_{0};
  std::atomic<bool> capDropLogged_{false};  // the first drop at the cap in this run is logged
  void logImplausible(TrafficVerdict verdict);
  // Appends to the live-traffic buffer; the first report dropped at its cap gets a log line.
  void append(const TrafficReport& report);
};

// Weather datagrams: the QNH into g_qnh.
class WeatherReader final : public UdpReader {
 public:
  WeatherReader();
  ~WeatherReader() override { stop(); }
  void resetIntake();
  std::int32_t lastStoredQnh() const { return lastStoredQnh_.load(); }

 protected:
  void processData() override;
  void onStopped() override;
  void onConnected() override;
  void onError(const std::string& text) override;

 private:
  std::atomic<std::int32_t> lastStoredQnh_{0};
};

extern TrafficReader g_trafficReader;
extern WeatherReader g_weatherReader;

// Worker: starts the weather reader on gf_weatherPort() (the worker starts the traffic reader
// 2 s later on gf_trafficPort()).
void gf_startWeatherReader();
void gf_startTrafficReader();
// Worker: stops both readers and joins their threads (weather first).
void gf_stopReaders();
// Worker: the lamp watchdog of the main window.
void gf_checkReaderLamps();
// Worker: resets the intake before a run.
void gf_resetIntake();

// The readers on real loopback sockets: a stop wakes and joins a blocked reader, oversized
// datagrams cost only themselves, and the live-callsign set is taken while the reader inserts.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>  // getpid; MinGW has it too

#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "intake/intake_socket_helpers.h"
#include "intake/traffic_record_helpers.h"

using intake_test::Record;
using intake_test::sendUdp;
using intake_test::waitUntil;
namespace fs = std::filesystem;

namespace {

class ReaderSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    intake_test::prepareIntake(reader);
    g_mainWindowState.trafficLamp = 3;
    port = intake_test::freeUdpPort();
    reader.start(port);
    ASSERT_TRUE(waitUntil([] { return g_mainWindowState.trafficLamp.load() == 1; }));
  }
  void TearDown() override {
    reader.stop();
    gf_setAcceptTraffic(false);
    g_rtOnThisPc = false;
  }
  static std::size_t bufferSize() {
    std::lock_guard lock(g_trafficMutex);
    return g_liveTrafficBuffer.size();
  }

  TrafficReader reader;
  std::uint16_t port = 0;
};

}  // namespace

TEST_F(ReaderSocketTest, StopWakesTheBlockedReceiveAndJoins) {
  ASSERT_TRUE(sendUdp(port, Record().text()));
  ASSERT_TRUE(waitUntil([] { return bufferSize() == 1; }));
  const auto start = std::chrono::steady_clock::now();
  reader.stop();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(reader.running());
  EXPECT_EQ(g_mainWindowState.trafficLamp.load(), 3u);  // onStopped ran
  EXPECT_LT(elapsed, std::chrono::seconds(1));          // woken, not left hanging
  // The port is free again: a new run can bind it.
  reader.start(port);
  ASSERT_TRUE(waitUntil([] { return g_mainWindowState.trafficLamp.load() == 1; }));
  ASSERT_TRUE(sendUdp(port, Record().set(1, "20000").text()));
  EXPECT_TRUE(waitUntil([] { return bufferSize() == 2; }));
}

TEST_F(ReaderSocketTest, OversizedDatagramsDoNotStopTheReader) {
  ASSERT_TRUE(sendUdp(port, std::string(20000, 'x')));
  ASSERT_TRUE(sendUdp(port, std::string(kReceiveBufferSize, 'y')));
  ASSERT_TRUE(sendUdp(port, Record().text()));
  ASSERT_TRUE(waitUntil([] { return bufferSize() == 1; }));
  EXPECT_TRUE(reader.running());
  EXPECT_EQ(reader.datagramCount(), 1);  // the oversized ones are not counted
}

TEST_F(ReaderSocketTest, CallsignsTakenWhileTheReaderInserts) {
  reader.setCollecting(true);
  std::set<std::string> all;
  std::thread sender([this] {
    for (int i = 0; i < 300; ++i)
      sendUdp(port,
              Record().set(9, fmt::format("C{}", i)).set(1, fmt::format("{}", 20000 + i)).text());
  });
  for (int i = 0; i < 50; ++i) {
    auto part = reader.takeLiveCallsigns();
    all.insert(part.begin(), part.end());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  sender.join();
  waitUntil([] { return bufferSize() >= 300; }, std::chrono::seconds(2));
  auto rest = reader.takeLiveCallsigns();
  all.insert(rest.begin(), rest.end());
  // Loopback UDP may drop under load; what arrived was collected exactly once.
  EXPECT_EQ(all.size(), bufferSize());
  EXPECT_GT(all.size(), 0u);
}

// A flood on the socket while the worker takes the buffer as its steps do: every accepted
// report is taken once, still waits, or was dropped at the cap; none is lost or doubled.
TEST_F(ReaderSocketTest, FloodTakenWhileTheReaderAppends) {
  constexpr int kFlood = 20000;
  std::atomic<bool> sent{false};
  std::thread sender([this, &sent] {
    const intake_test::Winsock winsock;
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in to = intake_test::loopbackAddress(port);
    for (int i = 0; i < kFlood; ++i) {
      const std::string datagram = Record().set(1, fmt::format("{}", 20000 + i)).text();
      sendto(s, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
    }
    closesocket(s);
    sent = true;
  });
  std::size_t taken = 0;
  std::set<std::uint32_t> keys;
  std::deque<TrafficReport> step;
  const auto takeOnce = [&] {
    gf_takeTrafficReports(step);
    taken += step.size();
    for (const TrafficReport& r : step) keys.insert(r.key);
  };
  while (!sent) takeOnce();
  sender.join();
  // Loopback may drop datagrams under the flood; what arrived is settled once the count stops.
  for (std::int32_t last = -1; last != reader.datagramCount();) {
    last = reader.datagramCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  takeOnce();
  EXPECT_EQ(keys.size(), taken);
  EXPECT_EQ(taken + reader.droppedReports(), static_cast<std::size_t>(reader.datagramCount()));
  EXPECT_GT(taken, 0u);
}

namespace {

// The receive buffer Linux grants at most (net.core.rmem_max), bytes; 0 when unknown.
long lf_systemBufferLimit() {
  std::ifstream in("/proc/sys/net/core/rmem_max");
  long limit = 0;
  in >> limit;
  return limit;
}

// The receive buffer of a socket that asks for none, bytes, as the system reports it.
int lf_defaultReceiveBuffer() {
  const intake_test::Winsock winsock;
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  int size = 0;
  int length = sizeof size;
  getsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &length);
  closesocket(s);
  return size;
}

// Log.txt opened in a folder of its own, made the current folder while it lives.
class LogInFolder {
 public:
  LogInFolder() {
    fs::create_directories(m_folder);
    fs::current_path(m_folder);
    gf_openLog();
  }
  ~LogInFolder() {
    gf_closeLog();
    fs::current_path(m_saved);
    fs::remove_all(m_folder);
  }
  std::string lineWith(const std::string& fragment) const {
    std::ifstream in(m_folder / "Log.txt");
    for (std::string line; std::getline(in, line);)
      if (line.find(fragment) != std::string::npos) return line;
    return {};
  }
  int linesWith(const std::string& fragment) const {
    std::ifstream in(m_folder / "Log.txt");
    int count = 0;
    for (std::string line; std::getline(in, line);)
      count += line.find(fragment) != std::string::npos;
    return count;
  }

 private:
  fs::path m_saved = fs::current_path();
  fs::path m_folder = fs::temp_directory_path() / fmt::format("zendrik-intake-log-{}", ::getpid());
};

// What the kernel books for one small datagram waiting in a socket's buffer beyond its bytes,
// with room to spare (its own bookkeeping is about 1 KB).
constexpr std::size_t kKernelBytesPerDatagram = 2048;

}  // namespace

// RealTraffic sends a full radius at once: the socket asks for a buffer that holds the burst.
TEST_F(ReaderSocketTest, BurstOfAFullRadiusArrivesWhole) {
  constexpr int kBurst = 2000;
  EXPECT_GT(reader.socketBufferBytes(), lf_defaultReceiveBuffer())
      << "the traffic socket kept the system's default buffer";
  const long limit = lf_systemBufferLimit();
  if (limit > 0) {
    // Linux reports twice the granted value (its bookkeeping included).
    EXPECT_GE(reader.socketBufferBytes(), std::min<long>(kTrafficSocketBufferBytes, limit))
        << "the traffic socket kept a smaller buffer than the system allows";
  }
  std::vector<std::string> burst;
  for (int i = 0; i < kBurst; ++i)
    burst.push_back(Record().set(1, fmt::format("{}", 20000 + i)).set(9, fmt::format("B{}", i)).text());
  const std::size_t needed = kBurst * (burst.front().size() + kKernelBytesPerDatagram);
  if (static_cast<std::size_t>(reader.socketBufferBytes()) < needed) {
    GTEST_SKIP() << fmt::format(
        "the socket got {} bytes of receive buffer, a burst of {} needs about {}: raise "
        "net.core.rmem_max to run this test",
        reader.socketBufferBytes(), kBurst, needed);
  }
  // One sender, back to back, as RealTraffic sends.
  const intake_test::Winsock winsock;
  const SOCKET sender = socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in to = intake_test::loopbackAddress(port);
  for (const std::string& datagram : burst)
    sendto(sender, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);
  closesocket(sender);
  EXPECT_TRUE(waitUntil([this] { return reader.datagramCount() == kBurst; },
                        std::chrono::seconds(20)))
      << reader.datagramCount() << " of " << kBurst << " datagrams arrived";
}

// The log tells what the socket got and, where the system cut the request, the cap that did.
TEST(ReaderSocketBuffer, GrantAndCapLogged) {
  LogInFolder log;
  TrafficReader reader;
  intake_test::prepareIntake(reader);
  reader.start(intake_test::freeUdpPort());
  const std::string fragment = "Traffic Reader receive buffer: ";
  ASSERT_TRUE(waitUntil([&] { return !log.lineWith(fragment).empty(); }));
  reader.stop();
  gf_setAcceptTraffic(false);
  g_rtOnThisPc = false;
#ifdef _WIN32
  const int cap = 0;  // Windows puts no cap on a socket's receive buffer
#else
  const int cap = gf_socketReceiveBufferLimit();
#endif
  std::string expected = fmt::format("{}{} bytes asked, {} granted", fragment,
                                     kTrafficSocketBufferBytes, reader.socketBufferBytes());
  if (cap > 0 && cap < kTrafficSocketBufferBytes)
    expected += fmt::format(" (the system caps it at {})", cap);
  const std::string line = log.lineWith(fragment);
  EXPECT_EQ(line.substr(line.find(fragment)), expected);
}

// RealTraffic on this PC: the readers listen on loopback only; on another PC: on every address.
// A second socket on 127.0.0.2 with the same port tells the two apart.
TEST(ReaderBindAddress, LoopbackOnlyWhenRealTrafficRunsHere) {
  for (const bool here : {true, false}) {
    g_rtOnThisPc = here;
    g_mainWindowState.weatherLamp = 3;
    WeatherReader reader;
    const auto port = intake_test::freeUdpPort();
    reader.start(port);
    ASSERT_TRUE(waitUntil([] { return g_mainWindowState.weatherLamp.load() == 1; }));
    const intake_test::Winsock winsock;
    const SOCKET probe = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in address = intake_test::loopbackAddress(port, 0x7f000002);
    const bool probeBound =
        bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    closesocket(probe);
    EXPECT_EQ(probeBound, here) << (here ? "loopback only" : "every address");
    reader.stop();
  }
  g_rtOnThisPc = false;
}

// Records refused as impossible say that the feed or this PC's clock is wrong: the first of each
// kind in a run is logged with its aircraft, the rest are not (a flood costs a line), and a new
// run logs again; so is the first drop at the live-traffic buffer's cap.
TEST(ReaderLog, FirstImplausibleRecordOfARunIsLogged) {
  LogInFolder log;
  TrafficReader reader;
  intake_test::prepareIntake(reader);
  const WallClockFn saved = g_wallClock.exchange([] { return std::int64_t{1724517659}; });
  reader.receive(intake_test::Record().set(1, "20001").set(14, "1800000000").text());
  reader.receive(intake_test::Record().set(1, "20002").set(4, "1e300").text());
  for (int k = 0; k < 1000; ++k)
    reader.receive(intake_test::Record().set(1, std::to_string(30000 + k)).set(4, "1e300").text());
  reader.receive(intake_test::Record().set(1, "20004").set(8, "-250").text());
  const std::string fragment = "Traffic record of ";
  EXPECT_NE(log.lineWith(fragment + "20001 refused: ").find("later ones are refused"),
            std::string::npos);
  EXPECT_NE(log.lineWith(fragment + "20002 refused: altitude out of range"), "");
  EXPECT_EQ(log.lineWith(fragment + "3"), "");
  EXPECT_NE(log.lineWith(fragment + "20004 refused: ground speed out of range"), "");
  reader.resetIntake();
  reader.receive(intake_test::Record().set(1, "20003").set(4, "1e300").text());
  EXPECT_NE(log.lineWith(fragment + "20003 refused: "), "");
  // A flood past the live-traffic buffer's cap: one line, also after the engine step's drops.
  reader.countDropped(8);
  for (std::size_t k = 0; k < kLiveTrafficBufferCap + 100; ++k)
    reader.receive(intake_test::Record().set(1, std::to_string(40000 + k)).text());
  reader.countDropped(2);  // the engine step's drops add to those at the cap
  EXPECT_EQ(reader.droppedReports(), 110u);
  const std::string full = "Live-traffic buffer full at 10000 reports";
  EXPECT_EQ(log.linesWith(full), 1);
  // A new run counts afresh and logs its first drop at the cap (the buffer is still full).
  reader.resetIntake();
  reader.receive(intake_test::Record().set(1, "60000").text());
  EXPECT_EQ(reader.droppedReports(), 1u);
  EXPECT_EQ(log.linesWith(full), 2);
  g_wallClock.store(saved);
  gf_setAcceptTraffic(false);
}

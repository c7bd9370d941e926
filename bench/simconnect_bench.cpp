// SimConnect client: batches of position updates (SetDataOnSimObject of 64 bytes) sent to the
// simulator stand-in over loopback until it has decoded each, beside a loopback TCP connection
// pushing the same bytes until the peer has them, both with Nagle's algorithm on (the default
// SimConnect.cfg) and off (DisableNagle=1); and
// the client's message reassembly beside copying the same stream in the same chunks.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "bench_table.h"
#include <fmt/format.h>

#include "p3d-standin/p3d_standin.h"
#include "simlink/simconnect/message_assembler.h"
#include "simlink/simconnect/simconnect.h"

namespace {

namespace fs = std::filesystem;

struct PositionRecord {
  double lat, lon, pitch, bank, heading, alt, verticalSpeed, trueAirspeed;
};
static_assert(sizeof(PositionRecord) == 64);
// A SetDataOnSimObject request of one PositionRecord on the wire: header and fields, then data.
constexpr std::size_t kUpdatePacketBytes = 36 + sizeof(PositionRecord);

// A stand-in on a free port and a client connected to it through a SimConnect.cfg in a
// temporary current folder.
class LoopbackLink {
 public:
  explicit LoopbackLink(bool disableNagle) {
    m_root = fs::temp_directory_path() / ("zsc-bench-" + std::to_string(::getpid()));
    fs::create_directories(m_root / "cwd");
    ::setenv("PUBLIC", (m_root / "public").c_str(), 1);
    ::setenv("USERPROFILE", (m_root / "user").c_str(), 1);
    ::setenv("ZENDRIK_REGISTRY", (m_root / "registry.txt").c_str(), 1);
    p3d::StandinOptions o;
    o.port = 0;
    o.frameHz = 30;
    m_standin = std::make_unique<p3d::P3dStandin>(o);
    m_standin->start();
    std::ofstream(m_root / "cwd" / "SimConnect.cfg")
        << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" << m_standin->port() << "\n"
        << (disableNagle ? "DisableNagle=1\n" : "");
    m_previous = fs::current_path();
    fs::current_path(m_root / "cwd");
    if (SimConnect_Open(&m_handle, "Zendrik_P3D", nullptr, 0, nullptr, 0) != S_OK) {
      m_handle = nullptr;
      return;
    }
    const char* names[] = {"Plane Latitude", "Plane Longitude", "Plane Pitch degrees",
                           "Plane Bank degrees", "Plane Heading degrees true", "Plane Altitude",
                           "Vertical Speed", "Airspeed True"};
    const char* units[] = {"degree", "degree", "radians", "radians", "radians", "feet",
                           "feet per second", "knots"};
    for (int i = 0; i < 8; ++i) {
      SimConnect_AddToDataDefinition(m_handle, 402, names[i], units[i],
                                     SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
    }
    SIMCONNECT_DATA_INITPOSITION p{52.31, 4.76, 0, 0, 0, 90, 1, 0};
    SimConnect_AICreateNonATCAircraft(m_handle, "Bench aircraft", "BENCH1", p, 104);
    p3d::P3dStandin::waitUntil([&] { return m_standin->aiObjects().size() == 1; }, 5);
    m_objectId = m_standin->aiObjects().empty() ? 0 : m_standin->aiObjects()[0].id;
  }
  ~LoopbackLink() {
    if (m_handle != nullptr) SimConnect_Close(m_handle);
    m_standin->stop();
    fs::current_path(m_previous);
    fs::remove_all(m_root);
  }
  HANDLE handle() const { return m_handle; }
  DWORD objectId() const { return m_objectId; }
  p3d::P3dStandin& standin() { return *m_standin; }

 private:
  fs::path m_root;
  fs::path m_previous;
  std::unique_ptr<p3d::P3dStandin> m_standin;
  HANDLE m_handle = nullptr;
  DWORD m_objectId = 0;
};

void lf_drain(SIMCONNECT_RECV*, DWORD, void*) {}

// Each iteration times the batch of update calls as the engine's thread makes them and the wait
// until the stand-in has decoded every update. Arguments: the batch, then 1 for DisableNagle=1.
void BM_PositionUpdatesOverLoopback(benchmark::State& state) {
  const bool disableNagle = state.range(1) != 0;
  LoopbackLink link(disableNagle);
  if (link.handle() == nullptr || link.objectId() == 0) {
    state.SkipWithError("no connection to the stand-in");
    return;
  }
  const auto batch = static_cast<std::size_t>(state.range(0));
  PositionRecord r{52.31, 4.76, 0.01, 0.0, 1.5, 120.0, 0.0, 15.0};
  std::size_t sent = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < batch; ++i) {
      r.lat += 1e-7;
      SimConnect_SetDataOnSimObject(link.handle(), 402, link.objectId(), 0, 0, sizeof r, &r);
    }
    sent += batch;
    while (link.standin().requestCount(p3d::RequestKind::SetDataOnSimObject) < sent) {
      SimConnect_CallDispatch(link.handle(), lf_drain, nullptr);
      std::this_thread::yield();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(sent));
  state.counters["updates_per_s"] =
      benchmark::Counter(static_cast<double>(sent), benchmark::Counter::kIsRate);
  // Both Nagle settings of the baseline bound either setting of the link: with Nagle on, the
  // baseline's receiver never answers, so its delayed acknowledgements set a pace the stand-in,
  // which answers, does not.
  bench::compareWith(state, fmt::format("BM_LoopbackSameBytes/{}", batch));
}
BENCHMARK(BM_PositionUpdatesOverLoopback)->ArgsProduct({{1, 64, 1000}, {0, 1}})->UseRealTime();

// A connected pair of loopback TCP sockets whose receiving end a thread of its own drains,
// counting the bytes that arrived.
class SocketPair {
 public:
  explicit SocketPair(bool noDelay) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ::close(listener);
      return;
    }
    m_sender = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = noDelay ? 1 : 0;
    ::setsockopt(m_sender, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(m_sender, reinterpret_cast<sockaddr*>(&address), length) == 0)
      m_receiver = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    if (m_receiver >= 0) m_drain = std::thread([this] { drain(); });
  }
  ~SocketPair() {
    if (m_sender >= 0) ::shutdown(m_sender, SHUT_WR);
    if (m_drain.joinable()) m_drain.join();
    ::close(m_sender);
    ::close(m_receiver);
  }
  bool connected() const { return m_receiver >= 0; }
  int sender() const { return m_sender; }
  std::size_t received() const { return m_received.load(); }

 private:
  void drain() {
    std::vector<char> buffer(65536);
    for (;;) {
      const ssize_t n = ::recv(m_receiver, buffer.data(), buffer.size(), 0);
      if (n <= 0) return;
      m_received += static_cast<std::size_t>(n);
    }
  }
  int m_sender = -1;
  int m_receiver = -1;
  std::atomic<std::size_t> m_received{0};
  std::thread m_drain;
};

// The same batches of update packets sent on a loopback TCP connection, one send each, until the
// peer has every byte; with Nagle's algorithm on (0) or off (1), as above.
void BM_LoopbackSameBytes(benchmark::State& state) {
  SocketPair pair(state.range(1) != 0);
  if (!pair.connected()) {
    state.SkipWithError("no loopback connection");
    return;
  }
  const auto batch = static_cast<std::size_t>(state.range(0));
  const std::vector<char> packet(kUpdatePacketBytes, 0x21);
  std::size_t sent = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < batch; ++i) {
      if (::send(pair.sender(), packet.data(), packet.size(), MSG_NOSIGNAL) !=
          static_cast<ssize_t>(packet.size())) {
        state.SkipWithError("send failed");
        return;
      }
    }
    sent += batch * packet.size();
    while (pair.received() < sent) std::this_thread::yield();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  bench::markBaseline(state);
}
BENCHMARK(BM_LoopbackSameBytes)->ArgsProduct({{1, 64, 1000}, {0, 1}})->UseRealTime();

// A received stream as the simulator sends it during traffic: Frame events, user data and
// by-type answers.
std::vector<std::uint8_t> lf_receivedStream() {
  std::vector<std::uint8_t> stream;
  auto add = [&](std::uint32_t size) {
    const std::size_t at = stream.size();
    stream.resize(at + size, 0x21);
    std::memcpy(stream.data() + at, &size, 4);
  };
  for (int i = 0; i < 1000; ++i) {
    add(32);
    add(136);
    for (int k = 0; k < 8; ++k) add(96);
  }
  return stream;
}

// The stream copied in the chunks of the argument into a receive buffer.
void BM_CopyStream(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = lf_receivedStream();
  const auto chunk = static_cast<std::size_t>(state.range(0));
  std::vector<std::uint8_t> buffer(chunk);
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
      const std::size_t n = std::min(chunk, stream.size() - pos);
      std::memcpy(buffer.data(), stream.data() + pos, n);
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
  bench::markBaseline(state);
}
BENCHMARK(BM_CopyStream)->Arg(2048)->Arg(65536);

// The stream read the argument's bytes at a time through the client's reassembly.
void BM_Reassembly(benchmark::State& state) {
  const std::vector<std::uint8_t> stream = lf_receivedStream();
  const auto chunk = static_cast<std::size_t>(state.range(0));
  std::size_t messages = 0;
  for (auto _ : state) {
    simconnect::MessageAssembler a;
    a.setMaxMessageSize(simconnect::kDefaultMaxReceiveSize);
    std::size_t pos = 0;
    while (pos < stream.size()) {
      auto room = a.freeSpace();
      const std::size_t n = std::min({chunk, room.size(), stream.size() - pos});
      std::memcpy(room.data(), stream.data() + pos, n);
      pos += n;
      a.commit(n, [&](const std::uint8_t* p, std::uint32_t size) {
        benchmark::DoNotOptimize(p);
        messages += size > 0 ? 1 : 0;
      });
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
  state.SetItemsProcessed(static_cast<std::int64_t>(messages));
  bench::compareWith(state, "BM_CopyStream/" + std::to_string(chunk));
}
BENCHMARK(BM_Reassembly)->Arg(2048)->Arg(65536);

}  // namespace

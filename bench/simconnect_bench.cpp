// SimConnect client throughput: position updates (SetDataOnSimObject of 64 bytes) from the
// client to the simulator stand-in over loopback, and the client's message reassembly.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "p3d-standin/p3d_standin.h"
#include "simlink/simconnect/message_assembler.h"
#include "simlink/simconnect/simconnect.h"

namespace {

namespace fs = std::filesystem;

struct PositionRecord {
  double lat, lon, pitch, bank, heading, alt, verticalSpeed, trueAirspeed;
};
static_assert(sizeof(PositionRecord) == 64);

// A stand-in on a free port and a client connected to it through a SimConnect.cfg in a
// temporary current folder.
class LoopbackLink {
 public:
  LoopbackLink() {
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
        << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" << m_standin->port() << "\n";
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

// Each iteration sends a batch of updates and waits until the stand-in has decoded all of
// them, so the rate is end to end: packet building, the writer thread, TCP and the peer.
void BM_PositionUpdatesOverLoopback(benchmark::State& state) {
  LoopbackLink link;
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
}
BENCHMARK(BM_PositionUpdatesOverLoopback)->Arg(1)->Arg(64)->Arg(1000)->UseRealTime();

// A received stream as the simulator sends it during traffic: Frame events, user data and
// by-type answers, read 2048 bytes at a time.
void BM_Reassembly(benchmark::State& state) {
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
}
BENCHMARK(BM_Reassembly)->Arg(2048)->Arg(65536);

}  // namespace

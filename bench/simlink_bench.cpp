// The simulator link's work on the SimClient thread: one pump pass of a busy engine step (300
// positions and 50 client events), run on a Frame event as the link runs it, until the stand-in
// has every packet, over loopback with the default SimConnect.cfg (Nagle's algorithm on) and
// with DisableNagle=1; and the dispatch of the range replies for 300 aircraft around the user.
#include <benchmark/benchmark.h>

#include "bench_table.h"
#include <fmt/format.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "p3d-standin/p3d_standin.h"
#include "simlink/sim_internal.h"

namespace {

namespace fs = std::filesystem;

constexpr int kAircraft = 300;
constexpr int kEvents = 50;

void lf_ignoreMessage(SIMCONNECT_RECV*, DWORD, void*) {}

void lf_countFrame(SIMCONNECT_RECV* message, DWORD, void* frames) {
  if (message->dwID == SIMCONNECT_RECV_ID_EVENT_FRAME) ++*static_cast<int*>(frames);
}

// A stand-in on a free port with 300 AI aircraft, and the link's connection to it.
class LinkedStandin {
 public:
  explicit LinkedStandin(bool disableNagle) {
    m_root = fs::temp_directory_path() / ("zsl-bench-" + std::to_string(::getpid()));
    fs::create_directories(m_root / "cwd");
    ::setenv("PUBLIC", (m_root / "public").c_str(), 1);
    ::setenv("USERPROFILE", (m_root / "user").c_str(), 1);
    ::setenv("ZENDRIK_REGISTRY", (m_root / "registry.txt").c_str(), 1);
    p3d::StandinOptions options;
    options.port = 0;
    options.frameHz = 30;
    m_standin = std::make_unique<p3d::P3dStandin>(options);
    m_standin->start();
    std::ofstream(m_root / "cwd" / "SimConnect.cfg")
        << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" << m_standin->port() << "\n"
        << (disableNagle ? "DisableNagle=1\n" : "");
    m_previous = fs::current_path();
    fs::current_path(m_root / "cwd");
    HANDLE h = nullptr;
    if (SimConnect_Open(&h, "Zendrik_P3D", nullptr, 0, nullptr, 0) != S_OK) return;
    g_hSimConnect.store(h);
    lf_setupSimConnect();
    for (int i = 0; i < kAircraft; ++i) {
      const SIMCONNECT_DATA_INITPOSITION p{52.31 + i * 1e-4, 4.76, 0, 0, 0, 90, 1, 0};
      SimConnect_AICreateNonATCAircraft(h, "Bench aircraft", fmt::format("B{}", i).c_str(), p,
                                        kFirstCreateRequestId + i);
    }
    p3d::P3dStandin::waitUntil(
        [&] { return m_standin->aiObjects().size() == static_cast<std::size_t>(kAircraft); }, 10);
    for (const p3d::SimObject& o : m_standin->aiObjects()) ids.push_back(o.id);
    g_userObjectId.store(1);
  }
  ~LinkedStandin() {
    if (HANDLE h = g_hSimConnect.exchange(nullptr)) SimConnect_Close(h);
    m_standin->stop();
    std::error_code ec;
    fs::current_path(m_previous, ec);
    fs::remove_all(m_root, ec);
  }
  bool ready() const { return g_hSimConnect.load() != nullptr && ids.size() == kAircraft; }
  // Delivers what the stand-in sent (Frame events) so that nothing piles up.
  void drain() { SimConnect_CallDispatch(g_hSimConnect.load(), lf_ignoreMessage, nullptr); }
  // Waits for the next Frame event. The simulator's message acknowledges what it has received
  // before, as it does before each pass of the link.
  void nextFrame() {
    int frames = 0;
    while (frames == 0) {
      SimConnect_CallDispatch(g_hSimConnect.load(), lf_countFrame, &frames);
      std::this_thread::yield();
    }
  }
  // The position and event packets the stand-in has decoded so far.
  std::size_t arrived() const {
    return m_standin->requestCount(p3d::RequestKind::SetDataOnSimObject) +
           m_standin->requestCount(p3d::RequestKind::TransmitClientEvent);
  }

  std::vector<std::uint32_t> ids;

 private:
  fs::path m_root;
  fs::path m_previous;
  std::unique_ptr<p3d::P3dStandin> m_standin;
};

// One pass timed from the queues' hand-over on a Frame event until the stand-in has decoded
// every packet of it. Argument: 1 with DisableNagle=1, 0 with the default configuration (Nagle's
// algorithm on). An iteration waits for the stand-in's next frame (30 Hz) untimed.
void BM_PumpPass300Positions50Events(benchmark::State& state) {
  LinkedStandin link(state.range(0) != 0);
  if (!link.ready()) {
    state.SkipWithError("stand-in not reachable");
    return;
  }
  double step = 0;
  for (auto _ : state) {
    state.PauseTiming();
    link.nextFrame();
    step += 1.0;
    const std::size_t expected = link.arrived() + kAircraft + kEvents;
    for (const std::uint32_t id : link.ids) {
      g_posQueue->push_back({52.31, 4.76, 0.01, 0.0, 1.5, step, 0.0, 140.0, id});
    }
    for (int i = 0; i < kEvents; ++i) {
      g_eventQueue.push_back({link.ids[i], kEventNavLightsSet, static_cast<std::uint32_t>(i % 2)});
    }
    state.ResumeTiming();
    lf_processSimQueues();
    while (link.arrived() < expected) {
      link.drain();
      std::this_thread::yield();
    }
  }
  state.SetItemsProcessed(state.iterations() * (kAircraft + kEvents));
  bench::shareOf(state, bench::Budget::simClientPass);  // SimClient's pass hands the queues over
}
BENCHMARK(BM_PumpPass300Positions50Events)
    ->ArgName("disable_nagle")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(60)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

std::vector<std::uint8_t> lf_rangeReply(std::uint32_t objectId, std::uint32_t entry) {
  std::vector<std::uint8_t> m(kSimObjectDataOffset + sizeof(AcInRangeRecord), 0);
  const std::uint32_t header[10] = {static_cast<std::uint32_t>(m.size()),
                                    4,
                                    SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE,
                                    kRequestAcInRange,
                                    objectId,
                                    kDefAcInRange,
                                    0,
                                    entry,
                                    kAircraft,
                                    4};
  std::memcpy(m.data(), header, sizeof header);
  AcInRangeRecord r{1200.0, 30.0, 0, {}};
  const std::string callsign = fmt::format("KLM{}", objectId);
  std::memcpy(r.atcId, callsign.data(), callsign.size());
  std::memcpy(m.data() + kSimObjectDataOffset, &r, sizeof r);
  return m;
}

void BM_DispatchRangeReplies300(benchmark::State& state) {
  std::vector<std::vector<std::uint8_t>> replies;
  for (int i = 0; i < kAircraft; ++i) replies.push_back(lf_rangeReply(101 + i, i + 1));
  g_userObjectId.store(1);
  for (auto _ : state) {
    for (std::vector<std::uint8_t>& m : replies) {
      lf_dispatch(reinterpret_cast<SIMCONNECT_RECV*>(m.data()), static_cast<DWORD>(m.size()),
                  nullptr);
    }
    std::lock_guard lock(g_simNoticesMutex);
    benchmark::DoNotOptimize(g_simNotices.data());
    g_simNotices.clear();
  }
  state.SetItemsProcessed(state.iterations() * kAircraft);
  bench::shareOf(state, bench::Budget::simClientPass);  // dispatched on SimClient
}
BENCHMARK(BM_DispatchRangeReplies300)->Unit(benchmark::kMicrosecond);

}  // namespace

// One full WM_PAINT of the main window (headless): the status panel with the park statistics
// and its 39 controls, as after every invalidation of the whole window.
#include <benchmark/benchmark.h>

#include "bench_table.h"

#include "foundation/main_window_state.h"
#include "platform/headless.h"
#include "shell/shell.h"

namespace {

void BM_FullWindowPaint(benchmark::State& state) {
  platform::gf_setBackendChoice(platform::BackendChoice::headless);
  const WString title = u"Zendrik_P3D";
  lf_registerMainClass(GetModuleHandleW(nullptr), title);
  if (!initInstance(GetModuleHandleW(nullptr), title)) {
    state.SkipWithError("the main window could not be created");
    return;
  }
  HWND window = g_hWnd.load();
  MainWindowState& s = g_mainWindowState;
  s.rtLamp = 1;
  s.rtLampWaiting = 0;
  s.trafficLamp = 1;
  s.weatherLamp = 1;
  s.storeText(&MainWindowState::parkAirportText, "EHAM (AMS)", kParkArea);
  s.storeText(&MainWindowState::userAcTitleText, "Boeing 737-800 KLM", kLampsArea);
  platform::gf_pumpMessages();
  int messages = 0;
  for (auto _ : state) {
    InvalidateRect(window, nullptr, TRUE);
    messages += platform::gf_pumpMessages();
  }
  bench::shareOf(state, bench::Budget::guiFrame);  // the GUI thread paints, not the worker
  state.counters["messages/paint"] =
      static_cast<double>(messages) / static_cast<double>(state.iterations());
  DestroyWindow(window);
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);  // up to WM_DESTROY's quit
  g_hWnd.store(nullptr);
}
BENCHMARK(BM_FullWindowPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

// The headless backend (no display: the framebuffer is the only picture) and the choice of
// backend for new top-level windows.
#include "platform/backend_interface.h"

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

class HeadlessBackend final : public Backend {
 public:
  const char* name() const override { return "headless"; }
  bool attach(HWND__&) override { return true; }
  void detach(HWND__&) override {}
  void show(HWND__&, bool) override {}
  void setTitle(HWND__&) override {}
  void setTopmost(HWND__&, bool) override {}
  void moveResize(HWND__&) override {}
  void present(HWND__&, const RECT&) override {}
  int eventFd() override { return -1; }
  void collectEvents(std::vector<InputEvent>&) override {}
};

bool lf_headlessRequested() {
  const char* value = std::getenv("ZENDRIK_HEADLESS");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

}  // namespace

Backend& gf_headlessBackend() {
  static HeadlessBackend* backend = new HeadlessBackend;  // stateless, never destroyed
  return *backend;
}

Backend* gf_chooseBackendLocked() {
  switch (gf_gui().backendChoice) {
    case BackendChoice::headless: return &gf_headlessBackend();
    case BackendChoice::x11: return gf_x11BackendLocked();
    case BackendChoice::automatic: break;
  }
  if (lf_headlessRequested()) return &gf_headlessBackend();
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == 0) return &gf_headlessBackend();
  Backend* x11 = gf_x11BackendLocked();
  return x11 != nullptr ? x11 : &gf_headlessBackend();
}

void gf_setBackendChoice(BackendChoice choice) {
  std::lock_guard lock(gf_gui().mutex);
  gf_gui().backendChoice = choice;
}

void gf_pollBackends() {
  std::vector<InputEvent> events;
  {
    std::lock_guard lock(gf_gui().mutex);
    if (Backend* x11 = gf_openX11BackendLocked()) x11->collectEvents(events);
  }
  for (const InputEvent& e : events) gf_deliverInput(e);
}

bool gf_backendEventsQueued() {
  std::lock_guard lock(gf_gui().mutex);
  Backend* x11 = gf_openX11BackendLocked();
  return x11 != nullptr && x11->eventsQueued();
}

int gf_backendEventFd() {
  std::lock_guard lock(gf_gui().mutex);
  Backend* x11 = gf_openX11BackendLocked();
  return x11 != nullptr ? x11->eventFd() : -1;
}

}  // namespace platform

// The two window backends behind one interface: headless (a framebuffer only) and X11 (a real
// window on DISPLAY that shows the same framebuffer). Every call is made with the gui mutex
// held; the backend never calls back into the layer's locked functions.
#pragma once

#include "platform/gui_state.h"

#include <vector>

namespace platform {

class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* name() const = 0;
  // A top-level window was created (its surface exists); false when it cannot be shown.
  virtual bool attach(HWND__& window) = 0;
  virtual void detach(HWND__& window) = 0;
  virtual void show(HWND__& window, bool visible) = 0;
  virtual void setTitle(HWND__& window) = 0;
  virtual void setTopmost(HWND__& window, bool topmost) = 0;
  virtual void moveResize(HWND__& window) = 0;
  // Copies a client rectangle of the framebuffer to the screen.
  virtual void present(HWND__& window, const RECT& rect) = 0;
  // Reads what the display server sent; -1 from eventFd when there is nothing to wait on.
  virtual int eventFd() = 0;
  // Events the backend has already read from its connection but not yet collected: waiting on
  // eventFd would not see them.
  virtual bool eventsQueued() { return false; }
  virtual void collectEvents(std::vector<InputEvent>& events) = 0;
};

Backend& gf_headlessBackend();
// The X11 backend on DISPLAY, opened on first use; null when no display opens.
Backend* gf_x11BackendLocked();
// The X11 backend when it is open (for polling), else null.
Backend* gf_openX11BackendLocked();
// The backend for a new top-level window under the current choice; null when X11 is required
// and unavailable.
Backend* gf_chooseBackendLocked();

// Reads pending backend events and delivers them (takes the lock itself).
void gf_pollBackends();
// File descriptor to wait on for backend events, -1 when none (takes the lock itself).
int gf_backendEventFd();
// True when the backend holds events already read (takes the lock itself).
bool gf_backendEventsQueued();

}  // namespace platform

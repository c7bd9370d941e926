// The X11 backend: one X window per top-level window, showing its framebuffer. Mouse buttons,
// keys, the close box (WM_DELETE_WINDOW) and moves come back as input events. Every Xlib call
// is made with the gui mutex held, so Xlib needs no thread support of its own.
#include "platform/backend_interface.h"
#include "platform/render_framebuffer.h"
#include "platform/win32_text.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

namespace platform {
namespace {

std::atomic<bool>* lf_brokenFlag() {
  static auto* flag = new std::atomic<bool>(false);
  return flag;
}

int lf_onXError(Display*, XErrorEvent* e) {
  std::fprintf(stderr, "window layer: X error %d (request %d)\n", e->error_code, e->request_code);
  return 0;
}

// Keeps the process alive when the X server goes away; the backend then stops using it.
void lf_onIoErrorExit(Display*, void*) { lf_brokenFlag()->store(true); }

struct KeyMapping {
  KeySym sym;
  UINT virtualKey;
  char16_t character;
};

constexpr KeyMapping kKeys[] = {
    {XK_Return, VK_RETURN, 13}, {XK_KP_Enter, VK_RETURN, 13}, {XK_BackSpace, VK_BACK, 8},
    {XK_Tab, VK_TAB, 9},        {XK_Escape, VK_ESCAPE, 27},   {XK_Delete, VK_DELETE, 0},
    {XK_Left, VK_LEFT, 0},      {XK_Right, VK_RIGHT, 0},      {XK_Up, VK_UP, 0},
    {XK_Down, VK_DOWN, 0},      {XK_Home, VK_HOME, 0},        {XK_End, VK_END, 0},
    {XK_KP_Delete, VK_DELETE, 0}, {XK_KP_Left, VK_LEFT, 0},   {XK_KP_Right, VK_RIGHT, 0},
    {XK_KP_Home, VK_HOME, 0},   {XK_KP_End, VK_END, 0},
};

class X11Backend final : public Backend {
 public:
  bool ensureOpen() {
    if (display_ != nullptr && !lf_brokenFlag()->load()) return true;
    if (display_ != nullptr) return false;  // broken: never reopened in this process
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return false;
    const int screen = DefaultScreen(display_);
    Visual* visual = DefaultVisual(display_, screen);
    if (DefaultDepth(display_, screen) < 24 || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
      std::fprintf(stderr, "window layer: the display has no 24-bit true-colour visual\n");
      XCloseDisplay(display_);
      display_ = nullptr;
      return false;
    }
    XSetErrorHandler(lf_onXError);
    XSetIOErrorExitHandler(display_, lf_onIoErrorExit, nullptr);
    wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    wmDelete_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    netWmState_ = XInternAtom(display_, "_NET_WM_STATE", False);
    netWmStateAbove_ = XInternAtom(display_, "_NET_WM_STATE_ABOVE", False);
    netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    utf8String_ = XInternAtom(display_, "UTF8_STRING", False);
    return true;
  }

  bool usable() const { return display_ != nullptr && !lf_brokenFlag()->load(); }

  const char* name() const override { return "x11"; }

  bool attach(HWND__& w) override {
    if (!ensureOpen()) return false;
    const RECT nc = gf_nonClientLocked(w);
    const auto& fb = w.surface->framebuffer;
    const int screen = DefaultScreen(display_);
    const Window native = XCreateSimpleWindow(
        display_, RootWindow(display_, screen), w.rect.left + nc.left, w.rect.top + nc.top,
        static_cast<unsigned>(std::max(fb.width, 1)), static_cast<unsigned>(std::max(fb.height, 1)),
        0, BlackPixel(display_, screen), BlackPixel(display_, screen));
    XSelectInput(display_, native,
                 ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask |
                     StructureNotifyMask);
    XSetWMProtocols(display_, native, &wmDelete_, 1);
    w.surface->nativeWindow = native;
    byNative_[native] = reinterpret_cast<HWND>(&w);
    setFixedSize(w);
    setTitle(w);
    ++windowCount_;
    XFlush(display_);
    return true;
  }

  void detach(HWND__& w) override {
    if (!w.surface || w.surface->nativeWindow == 0) return;
    byNative_.erase(w.surface->nativeWindow);
    if (usable()) XDestroyWindow(display_, w.surface->nativeWindow);
    w.surface->nativeWindow = 0;
    // The connection closes with the last window, so a display that goes away later (a test's
    // X server) is never touched again.
    if (--windowCount_ == 0 && usable()) {
      XCloseDisplay(display_);
      display_ = nullptr;
    }
  }

  void show(HWND__& w, bool visible) override {
    if (!usable() || !w.surface || w.surface->nativeWindow == 0) return;
    if (visible) {
      XMapWindow(display_, w.surface->nativeWindow);
    } else {
      XUnmapWindow(display_, w.surface->nativeWindow);
    }
    XFlush(display_);
  }

  void setTitle(HWND__& w) override {
    if (!usable() || !w.surface || w.surface->nativeWindow == 0) return;
    const std::string title = gf_toUtf8(w.text);
    XStoreName(display_, w.surface->nativeWindow, title.c_str());
    XChangeProperty(display_, w.surface->nativeWindow, netWmName_, utf8String_, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XFlush(display_);
  }

  void setTopmost(HWND__& w, bool topmost) override {
    if (!usable() || !w.surface || w.surface->nativeWindow == 0) return;
    const Window native = w.surface->nativeWindow;
    // The property is read by the window manager when the window is mapped; the client message
    // changes the state of a mapped window.
    XChangeProperty(display_, native, netWmState_, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&netWmStateAbove_), topmost ? 1 : 0);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = native;
    e.xclient.message_type = netWmState_;
    e.xclient.format = 32;
    e.xclient.data.l[0] = topmost ? 1 : 0;  // add or remove
    e.xclient.data.l[1] = static_cast<long>(netWmStateAbove_);
    e.xclient.data.l[3] = 1;  // from a normal application
    XSendEvent(display_, DefaultRootWindow(display_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(display_);
  }

  void moveResize(HWND__& w) override {
    if (!usable() || !w.surface || w.surface->nativeWindow == 0) return;
    const RECT nc = gf_nonClientLocked(w);
    const auto& fb = w.surface->framebuffer;
    setFixedSize(w);
    XMoveResizeWindow(display_, w.surface->nativeWindow, w.rect.left + nc.left,
                      w.rect.top + nc.top, static_cast<unsigned>(std::max(fb.width, 1)),
                      static_cast<unsigned>(std::max(fb.height, 1)));
    XFlush(display_);
  }

  void present(HWND__& w, const RECT& rect) override {
    if (!usable() || !w.surface || w.surface->nativeWindow == 0) return;
    Framebuffer& fb = w.surface->framebuffer;
    const RECT r = gf_intersect(rect, RECT{0, 0, fb.width, fb.height});
    if (gf_isEmpty(r)) return;
    const int screen = DefaultScreen(display_);
    XImage* image = XCreateImage(display_, DefaultVisual(display_, screen),
                                 static_cast<unsigned>(DefaultDepth(display_, screen)), ZPixmap, 0,
                                 reinterpret_cast<char*>(fb.pixels.data()),
                                 static_cast<unsigned>(fb.width), static_cast<unsigned>(fb.height),
                                 32, fb.width * 4);
    if (image == nullptr) return;
    XPutImage(display_, w.surface->nativeWindow, DefaultGC(display_, screen), image, r.left,
              r.top, r.left, r.top, static_cast<unsigned>(r.right - r.left),
              static_cast<unsigned>(r.bottom - r.top));
    image->data = nullptr;  // the framebuffer stays ours
    XDestroyImage(image);
    XFlush(display_);
  }

  int eventFd() override { return usable() ? ConnectionNumber(display_) : -1; }
  // Xlib reads incoming events while it writes a large image, so events can wait in its queue
  // with nothing left on the connection to wake a poll.
  bool eventsQueued() override { return usable() && XEventsQueued(display_, QueuedAlready) > 0; }

  void collectEvents(std::vector<InputEvent>& events) override {
    while (usable() && XPending(display_) > 0) {
      XEvent e;
      XNextEvent(display_, &e);
      const auto it = byNative_.find(e.xany.window);
      if (it == byNative_.end()) continue;
      translate(e, it->second, events);
    }
  }

 private:
  void setFixedSize(HWND__& w) {
    const auto& fb = w.surface->framebuffer;
    XSizeHints* hints = XAllocSizeHints();
    if (hints == nullptr) return;
    hints->flags = PMinSize | PMaxSize | PPosition | USPosition;
    hints->min_width = hints->max_width = std::max(fb.width, 1);
    hints->min_height = hints->max_height = std::max(fb.height, 1);
    hints->x = w.rect.left;
    hints->y = w.rect.top;
    XSetWMNormalHints(display_, w.surface->nativeWindow, hints);
    XFree(hints);
  }

  void translate(XEvent& e, HWND window, std::vector<InputEvent>& events) {
    InputEvent in;
    in.topLevel = window;
    switch (e.type) {
      case Expose:
        in.kind = InputEvent::Kind::expose;
        in.x = e.xexpose.x;
        in.y = e.xexpose.y;
        in.width = e.xexpose.width;
        in.height = e.xexpose.height;
        break;
      case ButtonPress:
      case ButtonRelease:
        if (e.xbutton.button != Button1) return;
        in.kind = e.type == ButtonPress ? InputEvent::Kind::mouseDown : InputEvent::Kind::mouseUp;
        in.x = e.xbutton.x;
        in.y = e.xbutton.y;
        break;
      case KeyPress: {
        char text[8] = {};
        KeySym sym = NoSymbol;
        const int n = XLookupString(&e.xkey, text, sizeof text, &sym, nullptr);
        in.kind = InputEvent::Kind::key;
        for (const KeyMapping& k : kKeys) {
          if (k.sym == sym) {
            in.virtualKey = k.virtualKey;
            in.character = k.character;
          }
        }
        if (in.virtualKey == 0) {
          if (n != 1 && !(sym >= 0x100 && sym < 0x1000000)) return;
          // Latin-1 keysyms equal their code points; 0x01000000 + U is Unicode U.
          char32_t c = n == 1 ? static_cast<unsigned char>(text[0]) : 0;
          if (sym >= 0x20 && sym <= 0xFF) c = static_cast<char32_t>(sym);
          if (sym >= 0x1000100 && sym <= 0x100FFFF) c = static_cast<char32_t>(sym - 0x1000000);
          if (c < 0x20 || c > 0xFFFF) return;
          in.character = static_cast<char16_t>(c);
          in.virtualKey = (c >= u'a' && c <= u'z') ? c - u'a' + u'A' : (c < 0x80 ? c : 0);
        }
        break;
      }
      case ClientMessage:
        if (e.xclient.message_type != wmProtocols_ ||
            static_cast<Atom>(e.xclient.data.l[0]) != wmDelete_) {
          return;
        }
        in.kind = InputEvent::Kind::close;
        break;
      case ConfigureNotify: {
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(display_, e.xconfigure.window, DefaultRootWindow(display_), 0, 0,
                              &x, &y, &child);
        in.kind = InputEvent::Kind::moved;
        in.x = x - kFrameWidth;
        in.y = y - kFrameWidth - kCaptionHeight;
        break;
      }
      default: return;
    }
    events.push_back(in);
  }

  Display* display_ = nullptr;
  int windowCount_ = 0;
  Atom wmProtocols_ = 0;
  Atom wmDelete_ = 0;
  Atom netWmState_ = 0;
  Atom netWmStateAbove_ = 0;
  Atom netWmName_ = 0;
  Atom utf8String_ = 0;
  std::unordered_map<Window, HWND> byNative_;
};

X11Backend& lf_x11() {
  static X11Backend* backend = new X11Backend;  // never destroyed: windows may outlive main
  return *backend;
}

}  // namespace

Backend* gf_x11BackendLocked() { return lf_x11().ensureOpen() ? &lf_x11() : nullptr; }

Backend* gf_openX11BackendLocked() { return lf_x11().usable() ? &lf_x11() : nullptr; }

}  // namespace platform

// Test access to the window layer: choosing the backend, driving input, pumping messages and
// reading what was painted. Input given here takes the same road as input from the X server
// (hit test, focus, disabled windows ignore it), so a test clicks and types like a user.
// These functions are for tests, tools and the demo; the program itself never calls them.
#pragma once

#include "platform/win32_gdi.h"
#include "platform/win32_gui.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class BackendChoice {
  automatic,  // X11 when DISPLAY names a display that opens, else headless (the default)
  headless,
  x11,  // X11 only; creating a top-level window fails when the display does not open
};

// Backend for top-level windows created from now on (windows already made keep theirs).
// ZENDRIK_HEADLESS=1 in the environment makes the automatic choice headless.
void gf_setBackendChoice(BackendChoice choice);
// "x11" or "headless" for a top-level window (or the window's top-level parent); "" if invalid.
std::string gf_backendName(HWND window);

// Dispatches every message waiting for the calling thread (posted, input, WM_PAINT) without
// blocking, through TranslateMessage and DispatchMessageW. Returns the number dispatched.
// A WM_QUIT stays pending for GetMessageW.
int gf_pumpMessages();

// Mouse click (press and release) at the centre of a window, or at a point of a top-level
// window's client area.
void gf_clickWindow(HWND window);
void gf_clickAt(HWND topLevel, int x, int y);
// Keys go to the focus window of the top-level window. Text: one key press per UTF-16 unit;
// '\r' is the Enter key, '\b' Backspace. pressKey takes a VK_ code (VK_LEFT, VK_HOME ...).
void gf_typeText(HWND topLevel, const WString& text);
void gf_pressKey(HWND topLevel, UINT virtualKey);
// The close box of the title bar.
void gf_clickCloseBox(HWND topLevel);
HWND gf_focusWindow(HWND topLevel);
bool gf_isTopmost(HWND topLevel);

// The client area of a top-level window as painted, 0x00RRGGBB per pixel, rows top down.
struct Framebuffer {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};
Framebuffer gf_readFramebuffer(HWND topLevel);
// Colour at a client point of a top-level window as COLORREF; CLR_INVALID outside.
COLORREF gf_pixelAt(HWND topLevel, int x, int y);
// Writes the client area as an RGB PNG (through a temporary file). False with a reason.
bool gf_saveWindowPng(HWND topLevel, const std::string& path, std::string* error = nullptr);

// What was drawn and invalidated in a top-level window and its children, oldest first.
// Coordinates are client coordinates of `window` (the window the context or call was for).
struct PaintOp {
  enum class Kind { invalidate, fill, line, text };
  Kind kind = Kind::fill;
  HWND window = nullptr;
  RECT rect{};      // invalidate, fill: the rectangle; text: the cell drawn; line: end points
  COLORREF color = 0;  // fill: brush, line: pen, text: text colour
  bool opaque = false;  // text: drawn with an opaque background
  COLORREF background = 0;  // text: background colour when opaque
  WString text;
};
// The record keeps the newest kPaintRecordLimit operations.
constexpr std::size_t kPaintRecordLimit = 65536;
std::vector<PaintOp> gf_paintRecord(HWND topLevel);
void gf_clearPaintRecord(HWND topLevel);

}  // namespace platform

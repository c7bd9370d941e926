// The data behind brush, pen and font handles, and the device context of a paint.
#pragma once

#include "platform/win32_gdi.h"
#include "platform/win32_gui.h"

struct HGDIOBJ__ {
  enum class Kind : unsigned char { brush, pen, font };
  Kind kind = Kind::brush;
  bool stock = false;
  bool hollow = false;   // NULL_BRUSH, NULL_PEN, PS_NULL: draws nothing
  bool dcColor = false;  // DC_BRUSH, DC_PEN: the context's own colour
  COLORREF color = 0;
  int width = 1;
};

struct HDC__ {
  HWND window = nullptr;
  POINT origin{};  // the window's client origin in the surface
  RECT clip{};     // surface coordinates
  HGDIOBJ brush = nullptr;
  HGDIOBJ pen = nullptr;
  HGDIOBJ font = nullptr;
  COLORREF textColor = 0;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  POINT position{};
  COLORREF dcBrushColor = 0xFFFFFF;
  COLORREF dcPenColor = 0;
};

namespace platform {

// With the gui lock held: the live context, or null.
HDC__* gf_findDcLocked(HDC dc);
// With the gui lock held: whether the object may be used (stock or live).
bool gf_validObjectLocked(HGDIOBJ object);
// The colour a brush paints with in a context; false when it paints nothing. Accepts the
// system-colour form (HBRUSH)(COLOR_x + 1).
bool gf_brushColorLocked(HBRUSH brush, const HDC__& dc, COLORREF* color);
COLORREF gf_systemColor(int index);

}  // namespace platform

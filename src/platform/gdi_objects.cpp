// Brushes, pens and stock objects: plain data, safe to create during static initialisation.
#include "platform/gdi_objects.h"

#include "platform/gui_state.h"

namespace platform {
namespace {

using Kind = HGDIOBJ__::Kind;

constexpr int kStockCount = 20;
// System colours are passed as small integers in place of a brush handle.
constexpr ULONG_PTR kSystemColorLimit = 64;

HGDIOBJ__ lf_stock(Kind kind, COLORREF color, bool hollow = false, bool dcColor = false) {
  HGDIOBJ__ o;
  o.kind = kind;
  o.stock = true;
  o.hollow = hollow;
  o.dcColor = dcColor;
  o.color = color;
  return o;
}

HGDIOBJ__* lf_stockTable() {
  static HGDIOBJ__ table[kStockCount] = {
      lf_stock(Kind::brush, 0xFFFFFF),              // WHITE_BRUSH
      lf_stock(Kind::brush, 0xC0C0C0),              // LTGRAY_BRUSH
      lf_stock(Kind::brush, 0x808080),              // GRAY_BRUSH
      lf_stock(Kind::brush, 0x404040),              // DKGRAY_BRUSH
      lf_stock(Kind::brush, 0x000000),              // BLACK_BRUSH
      lf_stock(Kind::brush, 0, true),               // NULL_BRUSH
      lf_stock(Kind::pen, 0xFFFFFF),                // WHITE_PEN
      lf_stock(Kind::pen, 0x000000),                // BLACK_PEN
      lf_stock(Kind::pen, 0, true),                 // NULL_PEN
      lf_stock(Kind::font, 0), lf_stock(Kind::font, 0), lf_stock(Kind::font, 0),
      lf_stock(Kind::font, 0), lf_stock(Kind::font, 0),  // fonts 9 to 13 (SYSTEM_FONT)
      lf_stock(Kind::font, 0), lf_stock(Kind::font, 0), lf_stock(Kind::font, 0),
      lf_stock(Kind::font, 0),                      // DEFAULT_GUI_FONT
      lf_stock(Kind::brush, 0, false, true),        // DC_BRUSH
      lf_stock(Kind::pen, 0, false, true),          // DC_PEN
  };
  return table;
}

HGDIOBJ lf_create(const HGDIOBJ__& value) {
  auto* object = new HGDIOBJ__(value);
  std::lock_guard lock(gf_gui().mutex);
  gf_gui().objects.insert(object);
  return object;
}

}  // namespace

bool gf_validObjectLocked(HGDIOBJ object) {
  if (object == nullptr) return false;
  const HGDIOBJ__* table = lf_stockTable();
  if (object >= table && object < table + kStockCount) return true;
  return gf_gui().objects.count(object) != 0;
}

COLORREF gf_systemColor(int index) {
  switch (index) {
    case COLOR_WINDOW: return 0xFFFFFF;
    case COLOR_WINDOWTEXT: return 0x000000;
    case COLOR_BTNFACE: return 0xF0F0F0;
    default: return 0xC0C0C0;
  }
}

bool gf_brushColorLocked(HBRUSH brush, const HDC__& dc, COLORREF* color) {
  const auto value = reinterpret_cast<ULONG_PTR>(brush);
  if (value > 0 && value <= kSystemColorLimit) {
    *color = gf_systemColor(static_cast<int>(value) - 1);
    return true;
  }
  if (!gf_validObjectLocked(brush) || brush->kind != Kind::brush || brush->hollow) return false;
  *color = brush->dcColor ? dc.dcBrushColor : brush->color;
  return true;
}

}  // namespace platform

using namespace platform;

HBRUSH CreateSolidBrush(COLORREF color) {
  HGDIOBJ__ o;
  o.kind = HGDIOBJ__::Kind::brush;
  o.color = color & 0xFFFFFF;
  return lf_create(o);
}

HPEN CreatePen(int style, int width, COLORREF color) {
  HGDIOBJ__ o;
  o.kind = HGDIOBJ__::Kind::pen;
  o.hollow = style == PS_NULL;
  o.width = width < 1 ? 1 : width;
  o.color = color & 0xFFFFFF;
  return lf_create(o);
}

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index >= kStockCount) return nullptr;
  return &lf_stockTable()[index];
}

BOOL DeleteObject(HGDIOBJ object) {
  std::lock_guard lock(gf_gui().mutex);
  if (!gf_validObjectLocked(object)) return FALSE;
  if (object->stock) return TRUE;
  for (HDC dc : gf_gui().dcs) {
    if (dc->brush == object || dc->pen == object || dc->font == object) return FALSE;
  }
  gf_gui().objects.erase(object);
  delete object;
  return TRUE;
}

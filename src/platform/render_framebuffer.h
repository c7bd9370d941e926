// Software rasteriser over a framebuffer of 0x00RRGGBB pixels: rectangles, lines, blending.
#pragma once

#include "platform/headless.h"

#include <cstdint>

namespace platform {

constexpr std::uint32_t gf_pixelFromColorref(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr COLORREF gf_colorrefFromPixel(std::uint32_t p) {
  return ((p >> 16) & 0xFF) | (p & 0xFF00) | ((p & 0xFF) << 16);
}

// Every drawing call clips to `clip` and to the framebuffer.
void gf_fillRect(Framebuffer& fb, const RECT& rect, std::uint32_t pixel, const RECT& clip);
// A line from (x0, y0) to (x1, y1) without its end point, `width` pixels thick. The end
// points may lie anywhere; only the part near the clip rectangle costs work.
void gf_drawLine(Framebuffer& fb, long long x0, long long y0, long long x1, long long y1,
                 std::uint32_t pixel, int width, const RECT& clip);
// Mixes `pixel` into the framebuffer with coverage `alpha` (0 to 255).
void gf_blendPixel(Framebuffer& fb, int x, int y, std::uint32_t pixel, unsigned alpha,
                   const RECT& clip);

}  // namespace platform

// Rectangles, lines and blending into a framebuffer.
#include "platform/render_framebuffer.h"

#include <algorithm>
#include <cstdlib>

namespace platform {
namespace {

RECT lf_bounds(const Framebuffer& fb, const RECT& clip) {
  return RECT{std::max<LONG>(clip.left, 0), std::max<LONG>(clip.top, 0),
              std::min<LONG>(clip.right, fb.width), std::min<LONG>(clip.bottom, fb.height)};
}

bool lf_inside(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

void gf_fillRect(Framebuffer& fb, const RECT& rect, std::uint32_t pixel, const RECT& clip) {
  const RECT b = lf_bounds(fb, clip);
  const LONG left = std::max(rect.left, b.left);
  const LONG right = std::min(rect.right, b.right);
  const LONG top = std::max(rect.top, b.top);
  const LONG bottom = std::min(rect.bottom, b.bottom);
  if (left >= right || top >= bottom) return;
  for (LONG y = top; y < bottom; ++y) {
    auto row = fb.pixels.begin() + static_cast<std::ptrdiff_t>(y) * fb.width;
    std::fill(row + left, row + right, pixel);
  }
}

void gf_blendPixel(Framebuffer& fb, int x, int y, std::uint32_t pixel, unsigned alpha,
                   const RECT& clip) {
  if (alpha == 0 || !lf_inside(lf_bounds(fb, clip), x, y)) return;
  std::uint32_t& dst = fb.pixels[static_cast<std::size_t>(y) * fb.width + x];
  if (alpha >= 255) {
    dst = pixel;
    return;
  }
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const unsigned s = (pixel >> shift) & 0xFF;
    const unsigned d = (dst >> shift) & 0xFF;
    out |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
  }
  dst = out;
}

void gf_drawLine(Framebuffer& fb, int x0, int y0, int x1, int y1, std::uint32_t pixel, int width,
                 const RECT& clip) {
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  const int before = (width - 1) / 2;
  int err = dx + dy;
  int x = x0;
  int y = y0;
  while (x != x1 || y != y1) {
    if (width <= 1) {
      gf_blendPixel(fb, x, y, pixel, 255, clip);
    } else {
      gf_fillRect(fb, RECT{x - before, y - before, x - before + width, y - before + width}, pixel,
                  clip);
    }
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

}  // namespace platform

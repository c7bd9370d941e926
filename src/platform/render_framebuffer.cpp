// Rectangles, lines and blending into a framebuffer.
#include "platform/render_framebuffer.h"

#include <algorithm>
#include <cmath>
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

namespace {

// Cuts the segment to the box (Liang-Barsky). False when nothing of it lies in the box. A
// segment inside the box keeps its end points exactly.
bool lf_clipSegment(long long& x0, long long& y0, long long& x1, long long& y1, const RECT& box) {
  const double dx = static_cast<double>(x1 - x0);
  const double dy = static_cast<double>(y1 - y0);
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {static_cast<double>(x0 - box.left), static_cast<double>(box.right - x0),
                       static_cast<double>(y0 - box.top), static_cast<double>(box.bottom - y0)};
  double t0 = 0.0;
  double t1 = 1.0;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const long long startX = x0;
  const long long startY = y0;
  if (t1 < 1.0) {
    x1 = startX + std::llround(t1 * dx);
    y1 = startY + std::llround(t1 * dy);
  }
  if (t0 > 0.0) {
    x0 = startX + std::llround(t0 * dx);
    y0 = startY + std::llround(t0 * dy);
  }
  return true;
}

}  // namespace

void gf_drawLine(Framebuffer& fb, long long x0, long long y0, long long x1, long long y1,
                 std::uint32_t pixel, int width, const RECT& clip) {
  const RECT b = lf_bounds(fb, clip);
  if (b.left >= b.right || b.top >= b.bottom) return;
  // A pen wider than any window paints like one just as wide as the window.
  constexpr int kWidestPen = 1 << 16;
  width = std::clamp(width, 1, kWidestPen);
  // Only the part near the visible area is walked: a line from far outside would otherwise
  // take billions of steps. The margin keeps thick lines and the left-out end point outside.
  const LONG margin = width + 2;
  const RECT box{b.left - margin, b.top - margin, b.right + margin, b.bottom + margin};
  if (!lf_clipSegment(x0, y0, x1, y1, box)) return;
  const long long dx = std::llabs(x1 - x0);
  const long long dy = -std::llabs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  const int before = (width - 1) / 2;
  long long err = dx + dy;
  long long x = x0;
  long long y = y0;
  while (x != x1 || y != y1) {
    // Inside the margin box, so every coordinate fits an int.
    const int px = static_cast<int>(x);
    const int py = static_cast<int>(y);
    if (width <= 1) {
      gf_blendPixel(fb, px, py, pixel, 255, clip);
    } else {
      gf_fillRect(fb, RECT{px - before, py - before, px - before + width, py - before + width},
                  pixel, clip);
    }
    const long long e2 = 2 * err;
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

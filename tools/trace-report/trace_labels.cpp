// Placing the tracks' labels on a map panel so that none covers another: each goes beside the
// track's point farthest from the panel's centre (where it enters or leaves the panel), outside
// the track, or, when that place is taken, the nearest free place above or below it.

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/render_text.h"
#include "trace_map.h"

namespace tracereport {
namespace {

constexpr int kLabelGapPx = 4;      // between a label and its anchor
constexpr int kLabelMarginPx = 1;   // kept free around each label
constexpr int kMaxShiftLines = 12;  // how far up or down a label may move, in text lines

bool lf_inside(const MapView& view, const Pixel& p) {
  return p.x >= view.area.left && p.x < view.area.right && p.y >= view.area.top &&
         p.y < view.area.bottom;
}

// The track's point in the panel farthest from the panel's centre; none when it never enters.
std::optional<Pixel> lf_anchor(const TracedObject& o, const MapView& view) {
  const double cx = (view.area.left + view.area.right) / 2.0,
               cy = (view.area.top + view.area.bottom) / 2.0;
  std::optional<Pixel> best;
  double bestDistance = -1.0;
  for (const Sample& s : o.samples) {
    const Pixel p = project(view, s.position);
    const double distance = std::hypot(p.x - cx, p.y - cy);
    if (lf_inside(view, p) && distance > bestDistance) {
      best = p;
      bestDistance = distance;
    }
  }
  return best;
}

// A box of the label's size at (left, top), moved in from the panel's edges where it crosses one.
RECT lf_box(long long left, long long top, int width, int height, const RECT& area) {
  const long long lowX = area.left + kLabelGapPx, lowY = area.top + kLabelGapPx;
  left = std::clamp<long long>(left, lowX,
                               std::max<long long>(lowX, area.right - kLabelGapPx - width));
  top = std::clamp<long long>(top, lowY,
                              std::max<long long>(lowY, area.bottom - kLabelGapPx - height));
  return {static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(left + width),
          static_cast<LONG>(top + height)};
}

bool lf_overlaps(const RECT& a, const RECT& b) {
  return a.left < b.right + kLabelMarginPx && b.left < a.right + kLabelMarginPx &&
         a.top < b.bottom + kLabelMarginPx && b.top < a.bottom + kLabelMarginPx;
}

// Beside the anchor on the side away from the panel's centre (the track runs the other way),
// then on the other side, on the anchor's line, then one line further up or down each time.
RECT lf_freeBox(const Pixel& anchor, int width, int height, const RECT& area,
                const std::vector<MapLabel>& placed) {
  const long long right = anchor.x + kLabelGapPx, left = anchor.x - kLabelGapPx - width;
  const bool outwardIsRight = 2 * anchor.x >= area.left + area.right;
  const long long sides[] = {outwardIsRight ? right : left, outwardIsRight ? left : right};
  const long long middle = anchor.y - height / 2;
  for (int shift = 0; shift <= kMaxShiftLines; ++shift) {
    for (const int direction : {1, -1}) {
      for (const long long x : sides) {
        const RECT box = lf_box(x, middle + direction * shift * height, width, height, area);
        const bool free = std::none_of(placed.begin(), placed.end(),
                                       [&](const MapLabel& l) { return lf_overlaps(l.box, box); });
        if (free) return box;
      }
      if (shift == 0) break;
    }
  }
  return lf_box(sides[0], middle, width, height, area);  // crowded: beside the anchor after all
}

}  // namespace

std::vector<MapLabel> placeLabels(const Trace& trace, const MapView& view, const RECT& keepClear) {
  const int height = platform::gf_fontMetrics().height;
  std::vector<MapLabel> placed{{"", keepClear, {}}};  // taken out again below
  for (const auto& [id, o] : trace.objects) {
    const std::optional<Pixel> anchor = lf_anchor(o, view);
    if (!anchor || o.tail.empty()) continue;
    const int width = platform::gf_textWidth(std::u16string(o.tail.begin(), o.tail.end()));
    placed.push_back({o.tail, lf_freeBox(*anchor, width, height, view.area, placed), *anchor});
  }
  placed.erase(placed.begin());
  return placed;
}

}  // namespace tracereport

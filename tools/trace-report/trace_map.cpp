// Drawing the map of a demo run into a framebuffer and writing it as PNG.

#include "trace_map.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "platform/png_writer.h"
#include "platform/render_framebuffer.h"
#include "platform/render_text.h"
#include "trace_geometry.h"

namespace tracereport {
namespace {

constexpr int kPanelPx = 800;
constexpr int kHeaderPx = 36;
constexpr int kWidthPx = 2 * kPanelPx;
constexpr int kHeightPx = kHeaderPx + kPanelPx;
constexpr double kAreaMarginNm = 1.5;      // around the radius ring
constexpr double kDefaultRadiusNm = 10.0;  // drawn when the log names none
constexpr double kAirportMinimumNm = 0.5;
constexpr int kRingSegments = 180;
constexpr int kUserPx = 9;
constexpr int kTextPad = 4;
constexpr int kLeaderFromPx = 6;  // a label farther than this from its point gets a line to it
constexpr int kSwatchPx = 12;
constexpr int kLegendGapPx = 20;
constexpr int kLegendSwatchTop = 12, kLegendTextTop = 10;

RECT lf_rect(long long left, long long top, long long right, long long bottom) {
  return {static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
          static_cast<LONG>(bottom)};
}

void lf_text(platform::Framebuffer& fb, long long x, long long y, const std::string& ascii,
             const RECT& clip) {
  const std::u16string text(ascii.begin(), ascii.end());
  platform::gf_drawText(fb, static_cast<int>(x), static_cast<int>(y), text, kMapText, clip);
}

std::string lf_kind(const TracedObject& o, const Inputs& inputs) {
  if (const ManifestAircraft* a = manifestEntry(o, inputs)) return a->kind;
  const Outcomes out = findOutcomes(o, inputs.airport);
  if (out.firstGroundAfterAir) return "arrival";
  if (out.lastGroundBeforeAir) return "departure";
  return out.levelFt ? "overflight" : "";
}

std::uint32_t lf_colour(const std::string& kind) {
  if (kind == "arrival") return kMapArrival;
  if (kind == "departure") return kMapDeparture;
  if (kind == "overflight") return kMapOverflight;
  if (kind == "helicopter") return kMapHelicopter;
  return kMapOther;
}

void lf_drawAirport(platform::Framebuffer& fb, const MapView& view, const Airport& airport) {
  for (const Runway& r : airport.runways) {
    const Pixel a = project(view, r.threshold), b = project(view, r.end);
    const int width = std::max(2, static_cast<int>(r.widthFt * 0.3048 / view.metresPerPixel));
    platform::gf_drawLine(fb, a.x, a.y, b.x, b.y, kMapRunway, width, view.area);
  }
  for (const Stand& s : airport.stands) {
    const Pixel p = project(view, s.position);
    const long long half = std::max(1LL, std::llround(s.radiusM / view.metresPerPixel / 2.0));
    platform::gf_fillRect(fb, lf_rect(p.x - half, p.y - half, p.x + half + 1, p.y + half + 1),
                          kMapStand, view.area);
  }
}

void lf_drawRing(platform::Framebuffer& fb, const MapView& view, const LatLon& centre,
                 double radiusNm) {
  Pixel last = project(view, gf_destination(centre, 0.0, radiusNm * kFeetPerNm));
  for (int k = 1; k <= kRingSegments; ++k) {
    const Pixel next =
        project(view, gf_destination(centre, kTwoPi * k / kRingSegments, radiusNm * kFeetPerNm));
    platform::gf_drawLine(fb, last.x, last.y, next.x, next.y, kMapRing, 1, view.area);
    last = next;
  }
}

void lf_drawTracks(platform::Framebuffer& fb, const MapView& view, const Trace& trace,
                   const Inputs& inputs) {
  for (const auto& [id, o] : trace.objects) {
    if (o.samples.empty()) continue;
    const std::uint32_t colour = lf_colour(lf_kind(o, inputs));
    for (std::size_t k = 1; k < o.samples.size(); ++k) {
      const Pixel a = project(view, o.samples[k - 1].position),
                  b = project(view, o.samples[k].position);
      platform::gf_drawLine(fb, a.x, a.y, b.x, b.y, colour, o.samples[k].onGround ? 1 : 2,
                            view.area);
    }
  }
}

// A label moved away from its track gets a line back to the point it names.
void lf_drawLabels(platform::Framebuffer& fb, const MapView& view, const Trace& trace,
                   const RECT& userMark) {
  for (const MapLabel& label : placeLabels(trace, view, userMark)) {
    const RECT& b = label.box;
    const long long nearX = std::clamp<long long>(label.anchor.x, b.left, b.right - 1);
    const long long nearY = std::clamp<long long>(label.anchor.y, b.top, b.bottom - 1);
    if (std::max(std::llabs(nearX - label.anchor.x), std::llabs(nearY - label.anchor.y)) >
        kLeaderFromPx) {
      platform::gf_drawLine(fb, label.anchor.x, label.anchor.y, nearX, nearY, kMapRing, 1,
                            view.area);
    }
    lf_text(fb, b.left, b.top, label.text, view.area);
  }
}

RECT lf_userMark(const MapView& view, const LatLon& user) {
  const Pixel p = project(view, user);
  const long long half = kUserPx / 2;
  return lf_rect(p.x - half, p.y - half, p.x + half + 1, p.y + half + 1);
}

// A bar of a round length near the panel's lower left corner.
void lf_drawScale(platform::Framebuffer& fb, const MapView& view, double metres,
                  const std::string& label) {
  const long long length = std::llround(metres / view.metresPerPixel);
  const long long x = view.area.left + 20, y = view.area.bottom - 24;
  platform::gf_fillRect(fb, lf_rect(x, y, x + length, y + 3), kMapText, view.area);
  lf_text(fb, x + length + kTextPad * 2, y - 8, label, view.area);
}

int lf_textWidth(const std::string& ascii) {
  return platform::gf_textWidth(std::u16string(ascii.begin(), ascii.end()));
}

// Every colour the panels use, in one line that ends at the map's right edge.
void lf_drawLegend(platform::Framebuffer& fb, const RECT& clip) {
  const std::pair<std::uint32_t, std::string> entries[] = {{kMapArrival, "arrivals"},
                                                           {kMapDeparture, "departures"},
                                                           {kMapOverflight, "overflights"},
                                                           {kMapHelicopter, "helicopters"},
                                                           {kMapOther, "other"},
                                                           {kMapUser, "user aircraft"},
                                                           {kMapRunway, "runways"},
                                                           {kMapStand, "stands"}};
  long long width = 0;
  for (const auto& [colour, name] : entries)
    width += kSwatchPx + kTextPad + lf_textWidth(name) + kLegendGapPx;
  long long x = kWidthPx - width;
  for (const auto& [colour, name] : entries) {
    platform::gf_fillRect(fb,
                          lf_rect(x, kLegendSwatchTop, x + kSwatchPx, kLegendSwatchTop + kSwatchPx),
                          colour, clip);
    x += kSwatchPx + kTextPad;
    lf_text(fb, x, kLegendTextTop, name, clip);
    x += lf_textWidth(name) + kLegendGapPx;
  }
}

void lf_drawPanel(platform::Framebuffer& fb, const MapView& view, const Trace& trace,
                  const Inputs& inputs) {
  lf_drawAirport(fb, view, inputs.airport);
  lf_drawTracks(fb, view, trace, inputs);
  const RECT userMark = lf_userMark(view, inputs.airport.user);
  platform::gf_fillRect(fb, userMark, kMapUser, view.area);
  lf_drawLabels(fb, view, trace, userMark);
}

}  // namespace

Pixel project(const MapView& view, const LatLon& p) {
  const Metres m = localMetres(view.centre, p);
  const double cx = (view.area.left + view.area.right) / 2.0,
               cy = (view.area.top + view.area.bottom) / 2.0;
  return {std::llround(cx + m.x / view.metresPerPixel),
          std::llround(cy - m.y / view.metresPerPixel)};
}

MapView areaView(const Inputs& inputs) {
  const double halfNm = inputs.radiusNm.value_or(kDefaultRadiusNm) + kAreaMarginNm;
  return {inputs.airport.user, 2.0 * halfNm * kMetresPerNm / kPanelPx,
          lf_rect(0, kHeaderPx, kPanelPx, kHeightPx)};
}

MapView airportView(const Inputs& inputs) {
  const double halfNm = std::max(inputs.airport.extentNm, kAirportMinimumNm);
  return {inputs.airport.position, 2.0 * halfNm * kMetresPerNm / kPanelPx,
          lf_rect(kPanelPx, kHeaderPx, kWidthPx, kHeightPx)};
}

platform::Framebuffer renderMap(const Trace& trace, const Inputs& inputs) {
  platform::Framebuffer fb{
      kWidthPx, kHeightPx,
      std::vector<std::uint32_t>(std::size_t{kWidthPx} * kHeightPx, kMapBackground)};
  const RECT all = lf_rect(0, 0, kWidthPx, kHeightPx);
  const MapView area = areaView(inputs), airport = airportView(inputs);
  lf_drawRing(fb, area, inputs.airport.user, inputs.radiusNm.value_or(kDefaultRadiusNm));
  lf_drawPanel(fb, area, trace, inputs);
  lf_drawPanel(fb, airport, trace, inputs);
  platform::gf_fillRect(fb, lf_rect(kPanelPx, kHeaderPx, kPanelPx + 1, kHeightPx), kMapRing, all);
  platform::gf_fillRect(fb, lf_rect(0, kHeaderPx - 1, kWidthPx, kHeaderPx), kMapRing, all);
  lf_drawScale(fb, area, 5.0 * kMetresPerNm, "5 nm");
  lf_drawScale(fb, airport, 500.0, "500 m");
  lf_text(fb, 12, 10,
          inputs.radiusNm
              ? fmt::format("{}: the traffic radius of {:.0f} nm", inputs.airport.icao,
                            *inputs.radiusNm)
              : fmt::format("{}: traffic around the user aircraft", inputs.airport.icao),
          all);
  lf_drawLegend(fb, all);
  return fb;
}

bool writeMap(const std::filesystem::path& file, const Trace& trace, const Inputs& inputs,
              std::string& error) {
  return platform::gf_writePng(file.string(), renderMap(trace, inputs), &error);
}

}  // namespace tracereport

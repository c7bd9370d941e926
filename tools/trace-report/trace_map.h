#pragma once
// The map of a demo run: two panels, the area within the traffic radius around the user
// aircraft and the airport itself, with runways, stands, the radius ring, the tracks coloured by
// kind and labelled with their callsigns, the user aircraft, a scale bar and a legend. Drawn
// with the platform layer's software renderer and its font.

#include "platform/headless.h"
#include "trace_report.h"

namespace tracereport {

// One panel: a window of the map on the framebuffer, north up.
struct MapView {
  LatLon centre;
  double metresPerPixel = 1.0;
  RECT area{};  // the panel's pixels
};

struct Pixel {
  long long x = 0, y = 0;
};
Pixel project(const MapView& view, const LatLon& p);

// The panels of a map of these inputs.
MapView areaView(const Inputs& inputs);
MapView airportView(const Inputs& inputs);

// A track's label on a panel: its text, the text's box and the point of the track it names.
struct MapLabel {
  std::string text;
  RECT box{};
  Pixel anchor;
};
// The labels of the tracks that enter the panel, none covering another or keepClear (the user
// aircraft's mark); trace_labels.cpp.
std::vector<MapLabel> placeLabels(const Trace& trace, const MapView& view,
                                  const RECT& keepClear = {});

// Colours (0x00RRGGBB) of what the map draws.
inline constexpr std::uint32_t kMapBackground = 0x1E2A38;
inline constexpr std::uint32_t kMapRunway = 0x9AA4AD;
inline constexpr std::uint32_t kMapStand = 0xC8B46E;
inline constexpr std::uint32_t kMapUser = 0xFFD21E;
inline constexpr std::uint32_t kMapRing = 0x5F7FA0;
inline constexpr std::uint32_t kMapText = 0xF0F0F0;
inline constexpr std::uint32_t kMapArrival = 0x4FC3F7;
inline constexpr std::uint32_t kMapDeparture = 0xFFB74D;
inline constexpr std::uint32_t kMapOverflight = 0x81C784;
inline constexpr std::uint32_t kMapHelicopter = 0xCE93D8;
inline constexpr std::uint32_t kMapOther = 0xBDBDBD;

platform::Framebuffer renderMap(const Trace& trace, const Inputs& inputs);

}  // namespace tracereport

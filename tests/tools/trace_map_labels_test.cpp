// The map's labels and legend: tracks that start and end at the same places get labels that
// cover no other label and stay in their panel, and the legend names every colour the panels
// use, the stands among them.
#include <gtest/gtest.h>

#include <algorithm>

#include "trace_map.h"

namespace {

using namespace tracereport;

constexpr LatLon kStand{33.94, -118.40};

LatLon lf_from(const LatLon& origin, double headingDeg, double metres) {
  return gf_destination(origin, headingDeg * kDegToRad, metres / 0.3048);
}

Inputs lf_inputs() {
  Inputs in;
  in.airport.icao = "TEST";
  in.airport.position = kStand;
  in.airport.user = lf_from(kStand, 0.0, 200.0);
  in.airport.extentNm = 1.0;
  in.airport.stands = {{"S1", kStand, 0.0, 20.0, "gate"}};
  in.radiusNm = 10.0;
  return in;
}

// `count` departures from one stand, all leaving the map to the east on one line.
Trace lf_departures(int count) {
  Trace trace;
  for (int k = 0; k < count; ++k) {
    TracedObject& o = trace.objects[static_cast<std::uint32_t>(100 + k)];
    o.id = static_cast<std::uint32_t>(100 + k);
    o.tail = "DEP" + std::to_string(1000 + k);
    for (int step = 0; step <= 40; ++step) {
      o.samples.push_back({double(step), lf_from(kStand, 90.0, step * 600.0), 0.0, 90.0, false});
    }
  }
  return trace;
}

bool lf_overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(TraceMapLabels, NoLabelCoversAnotherInEitherPanel) {
  const Inputs in = lf_inputs();
  const Trace trace = lf_departures(6);
  for (const MapView& view : {areaView(in), airportView(in)}) {
    const std::vector<MapLabel> labels = placeLabels(trace, view);
    ASSERT_EQ(labels.size(), 6u);
    for (std::size_t i = 0; i < labels.size(); ++i) {
      const RECT& a = labels[i].box;
      EXPECT_TRUE(a.left >= view.area.left && a.right <= view.area.right &&
                  a.top >= view.area.top && a.bottom <= view.area.bottom)
          << labels[i].text;
      for (std::size_t j = 0; j < i; ++j) {
        EXPECT_FALSE(lf_overlap(a, labels[j].box)) << labels[i].text << " on " << labels[j].text;
      }
    }
  }
}

TEST(TraceMapLabels, LegendShowsStandsAndRunways) {
  const Inputs in = lf_inputs();
  const platform::Framebuffer fb = renderMap(lf_departures(1), in);
  const auto header = [&](std::uint32_t colour) {
    const long long top = areaView(in).area.top;  // the header is the band above the panels
    const auto end = fb.pixels.begin() + static_cast<std::ptrdiff_t>(top * fb.width);
    return std::find(fb.pixels.begin(), end, colour) != end;
  };
  for (const std::uint32_t colour : {kMapStand, kMapRunway, kMapArrival, kMapDeparture, kMapUser}) {
    EXPECT_TRUE(header(colour)) << std::hex << colour;
  }
}

}  // namespace

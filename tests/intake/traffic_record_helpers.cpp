#include "intake/traffic_record_helpers.h"

#include "foundation/run_state.h"

namespace intake_test {

Record::Record()
    : fields_{"RTTFC", "4958582", "51.1",      "6.1",   "12000",
              "-640",  "1",       "230.5",     "280.4", "KLM1234",
              "B738",  "PH-BXA",  "AMS",       "DUS",   "1724517659.49",
              "X",     "KL1803",  "adsb_icao", "12100", "250",
              "300",   "0.5",     "0.19",      "10",    "226.41",
              "229.5", "2848",    "none",      "A3",    "1003.2",
              "20000", "39008",   "225",       "",      "0",
              "-8.4",  "222",     "29",        "",      "",
              "1",     "12000",   "",          ""} {}

Record& Record::set(std::size_t index, std::string value) {
  if (index >= fields_.size()) fields_.resize(index + 1);
  fields_[index] = std::move(value);
  return *this;
}

std::string Record::text() const {
  std::string out;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (i > 0) out += ',';
    out += fields_[i];
  }
  return out;
}

TrafficVerdict Record::parse(const TrafficFilterContext& context, ParsedTraffic& out) const {
  // The parsed report keeps views only while parsing; the text outlives the call here.
  static thread_local std::string text;
  static thread_local std::vector<std::string_view> fields;
  text = this->text();
  gf_splitTrafficFields(text, fields);
  return gf_parseTrafficRecord(fields, context, out);
}

TrafficFilterContext defaultContext() {
  TrafficFilterContext context;
  context.userLatitude = kUserLat;
  context.userLongitude = kUserLon;
  context.radiusNm = 40.0;
  return context;
}

void prepareIntake(TrafficReader& reader) {
  g_rtOnThisPc = true;
  g_trafficRadiusNm = 40.0;
  {
    std::lock_guard lock(g_trafficMutex);
    g_liveTrafficBuffer.clear();
  }
  gf_setAcceptTraffic(true);
  reader.setUserPosition(kUserLat, kUserLon);
  reader.resetIntake();
}

}  // namespace intake_test

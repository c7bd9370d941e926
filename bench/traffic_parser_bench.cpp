// Traffic record parsing: records per second on one core, for accepted records and for the
// cheap rejections (far away, malformed) that make up most of a busy feed, each beside one pass
// over the same bytes that finds the field separators (the least a parser of the record does).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "bench_table.h"

#include "intake/intake.h"
#include "intake/traffic_parser.h"

namespace {

const std::string kAccepted =
    "RTTFC,4958582,51.1,6.1,12000,-640,1,230.5,280.4,KLM1234,B738,PH-BXA,AMS,DUS,"
    "1724517659.49,X,KL1803,adsb_icao,12100,250,300,0.5,0.19,10,226.41,229.5,2848,none,A3,"
    "1003.2,20000,39008,225,,0,-8.4,222,29,,,1,12000,,";
const std::string kFarAway =
    "RTTFC,4958582,-33.7964,152.3938,20375,1376,1,66.77,484.30,UAL842,B789,N35953,SYD,LAX,"
    "1645144889.8,X2,UA842,F_adsb_icao,21350,343,466,0.744,-0.0,0.5,54.49,67.59,1280,none,A5,"
    "1012.8,35008,-1,54.84,autopilot|vnav|lnav|tcas,0.0,-20.8,227,19,-15,14,1,26235,268697,UAL";
const std::string kShort =
    "RTPARK,406f75,51.468492,-0.475082,G-ZBKI,B789,G-ZBKI,EGLL_568,1725117281.99";

TrafficFilterContext lf_context() {
  TrafficFilterContext context;
  context.userLatitude = 51.0;
  context.userLongitude = 6.0;
  context.radiusNm = 40.0;
  return context;
}

// The records by the benchmarks' argument.
enum RecordKind { kAcceptedRecord, kFarAwayRecord, kShortRecord };
const std::array<const std::string*, 3> kRecords = {&kAccepted, &kFarAway, &kShort};

void BM_FindSeparators(benchmark::State& state) {
  const std::string& record = *kRecords.at(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(record.data());
    benchmark::DoNotOptimize(std::count(record.begin(), record.end(), ','));
  }
  state.SetItemsProcessed(state.iterations());
  bench::markBaseline(state);
}

void BM_Parse(benchmark::State& state) {
  const std::string& record = *kRecords.at(static_cast<std::size_t>(state.range(0)));
  const auto context = lf_context();
  std::vector<std::string_view> fields;
  fields.reserve(64);
  ParsedTraffic out;
  for (auto _ : state) {
    gf_splitTrafficFields(record, fields);
    benchmark::DoNotOptimize(gf_parseTrafficRecord(fields, context, out));
  }
  state.SetItemsProcessed(state.iterations());
  bench::compareWith(state, "BM_FindSeparators/" + std::to_string(state.range(0)));
}

// The reader's whole path for one datagram, appending to the buffer (emptied between batches).
void BM_ReaderAppend(benchmark::State& state) {
  TrafficReader reader;
  reader.setUserPosition(51.0, 6.0);
  g_rtOnThisPc = true;  // no duplicate filter
  gf_setAcceptTraffic(true);
  std::int64_t n = 0;
  for (auto _ : state) {
    reader.receive(kAccepted);
    if (++n % 4096 == 0) {
      state.PauseTiming();
      std::lock_guard lock(g_trafficMutex);
      g_liveTrafficBuffer.clear();
      state.ResumeTiming();
    }
  }
  gf_setAcceptTraffic(false);
  std::lock_guard lock(g_trafficMutex);
  g_liveTrafficBuffer.clear();
  state.SetItemsProcessed(state.iterations());
  bench::compareWith(state, "BM_FindSeparators/" + std::to_string(kAcceptedRecord));
}

}  // namespace

BENCHMARK(BM_FindSeparators)->Arg(kAcceptedRecord)->Arg(kFarAwayRecord)->Arg(kShortRecord);
BENCHMARK(BM_Parse)->Arg(kAcceptedRecord)->Arg(kFarAwayRecord)->Arg(kShortRecord);
BENCHMARK(BM_ReaderAppend);

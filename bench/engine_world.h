// The engine as the benchmarks start it: an empty run on the worker thread with no simulator
// (the engine's own requests are not made), LOG and RANDOM off, the user aircraft at `user` and
// one bench livery of each type.
#pragma once

#include <string>
#include <vector>

#include "fixtures/livery_tables.h"
#include "foundation/geometry.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "liveries/aircraft_database.h"
#include "simlink/simlink.h"
#include "traffic/live/live.h"
#include "traffic/records/records.h"

namespace bench {

inline void engineWorld(const LatLon& user, const std::vector<std::string>& types) {
  gf_markWorkerThread();
  gf_resetTraffic();
  gf_reserveTrafficBuffers();
  g_tickCount = 1000;
  g_simRequestError = true;
  g_paramLog.setValue(false);
  g_paramRandom.setValue(false);
  g_dbaseTypes = {types.begin(), types.end()};
  g_dbaseLarge = {types.begin(), types.end()};
  std::vector<Livery> liveries;
  for (const std::string& type : types) liveries.push_back({"KLM", type, "Bench " + type, "", 0, false});
  fixtures::gf_useLiveries(liveries);
  g_userAcSnapshot = {};
  g_userAcSnapshot.latitude = user.lat;
  g_userAcSnapshot.longitude = user.lon;
}

}  // namespace bench

// A live aircraft's flight-plan file, written by the simulator link's writer. Worker thread.
#include "traffic/records/records.h"

bool gf_writeFlightPlan(const std::filesystem::path& path, const AiAircraft& aircraft) {
  return gf_writeFlightPlan(path, aircraft.origin, aircraft.destination, aircraft.category);
}

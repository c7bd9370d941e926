// What the window and the traffic radius take from the traffic engine, and the engine's texts
// that the worker publishes for the painter. Everything but lf_engineBusy runs on the worker,
// which owns the engine's state; the painter reads only MainWindowState.
#include <string>

#include "airports/airports.h"
#include "foundation/geometry.h"
#include "foundation/main_window_state.h"
#include "shell/shell.h"
#include "simlink/simlink.h"
#include "traffic/parking/parking.h"

namespace {

// The display text of the last published park airport, kept so that the airport list is
// searched only when the park airport changes. Worker only.
std::string s_textIcao;
std::string s_airportText;

const std::string& lf_parkAirportText(const std::string& icao) {
  if (icao != s_textIcao) {
    const std::optional<AirportEntry> airport = gf_findAirport(icao);
    s_airportText = airport ? gf_airportText(*airport) : icao;
    s_textIcao = icao;
  }
  return s_airportText;
}

// The stand shown as reserved: the one the engine keeps free, else, once the stand file is
// read, the one the user asked for that the file lacks (shown red).
std::string lf_reservedStandName() {
  if (!g_reservedStand.empty()) return g_reservedStand;
  if (!g_parkStandsReady.load()) return {};
  const ParkAirport* current = lf_findParkAirport(g_parkAirportIcao);
  return current == nullptr ? std::string() : current->reservedStand;
}

// Stores the text when it differs from the shown one; true when it did.
bool lf_publish(std::string MainWindowState::*field, const std::string& text) {
  if (g_mainWindowState.text(field) == text) return false;
  g_mainWindowState.storeText(field, text, kParkArea);
  return true;
}

}  // namespace

bool lf_engineBusy() { return g_busy.load(); }

UserSituation lf_userSituation() {
  UserSituation user;
  user.onGround = g_userOnGround.load();
  user.altitudeFt = g_userAcSnapshot.altitude;
  if (!g_parkAirports.empty()) {  // the list is kept sorted by distance
    const LatLon at{g_userAcSnapshot.latitude, g_userAcSnapshot.longitude};
    user.parkAirportDistanceNm = gf_distanceNm(at, g_parkAirports.front().position);
  }
  return user;
}

void lf_makeParkAirport(const std::string& code, const LatLon& position) {
  gf_setParkAirport(code, position);
}

void lf_publishEngineTexts() {
  if (g_parkAirportIcao.empty()) {
    lf_publish(&MainWindowState::parkAirportText, std::string());
    lf_publish(&MainWindowState::reservedStandText, std::string());
    return;
  }
  lf_publish(&MainWindowState::parkAirportText, lf_parkAirportText(g_parkAirportIcao));
  const std::string stand = lf_reservedStandName();
  const bool known = !stand.empty() && gf_findStandByName(stand) != g_parkStands.end();
  const bool knownChanged = g_mainWindowState.reservedStandKnown.exchange(known ? 1 : 0) !=
                            (known ? 1 : 0);
  if (!lf_publish(&MainWindowState::reservedStandText, stand) && knownChanged) {
    g_mainWindowState.invalidate(kParkArea);
  }
}

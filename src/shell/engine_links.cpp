// What the window and the radius read of the traffic engine. Without the engine in the program
// no parking operation runs, the user aircraft is unknown and there is no park-airport list.
#include "shell/shell.h"

bool lf_engineBusy() { return false; }

UserSituation lf_userSituation() { return UserSituation{}; }

void lf_makeParkAirport(const std::string&, const LatLon&) {}

void lf_publishEngineTexts() {}

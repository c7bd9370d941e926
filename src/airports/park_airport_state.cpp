// The park-airport candidates and the state of the current park airport that the traffic engine
// keeps beside its stands. Worker thread only.
#include "airports/airports.h"

std::string g_parkAirportName;
std::vector<ParkAirport> g_parkAirports;
std::string g_reservedStand;
LatLon g_parkListUserPos;
bool g_parkCalcPending = false;

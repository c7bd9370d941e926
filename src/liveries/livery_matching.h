#pragma once
// Livery matching: the title of an installed livery for every live and static aircraft, chosen in
// fixed steps from the registration (1), airline and type (2), airline and similar type (3),
// generic airline "ZZZ" and type (4), any livery of the type (5) to any livery of a substitute
// type (6). Reads the matching tables; runs on the worker thread inside the engine's tick.

#include <string>
#include <string_view>

#include "liveries/livery_target.h"

struct ParkPos;

// The title registered for the first written form of the registration; empty when none.
std::string_view gf_liveryFromReg(const std::string& registration);
// Sets the livery and the FSLTL mark of a live aircraft and counts the step. A title the
// simulator refused before leaves the aircraft without a livery.
void gf_matchLivery(LiveryTarget& aircraft);
// Sets the cargo flag from the stand and the livery of a static aircraft; true when it has a
// livery afterwards. Nothing is counted.
bool gf_matchParkedLivery(LiveryTarget& aircraft, const ParkPos& stand);

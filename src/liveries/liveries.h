#pragma once
// The livery catalogue and aircraft database: what the other subsystems call.

#include "liveries/aircraft_database.h"
#include "liveries/code_scrambler.h"
#include "liveries/database_queries.h"
#include "liveries/regcodes.h"

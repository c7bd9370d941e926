#pragma once
// The livery catalogue and aircraft database: what the other subsystems call.

#include "liveries/aircraft_database.h"
#include "liveries/code_scrambler.h"
#include "liveries/database_queries.h"
#include "liveries/liveries_scan.h"
#include "liveries/livery.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_processing.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "liveries/regcodes.h"

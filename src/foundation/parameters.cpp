// The settings table: every setting object with its default, limits, control id and row, built
// at static initialisation in table order; and the "{}={}" log lines of the settings.
#include "foundation/parameters.h"

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/strings.h"

namespace {

// Rows of the main window's controls: y = 119 + 28 k; push buttons sit 2 pixels higher.
constexpr std::uint32_t lf_row(std::uint32_t k) { return 119 + 28 * k; }
constexpr std::uint32_t lf_buttonRow(std::uint32_t k) { return lf_row(k) - 2; }

}  // namespace

// clang-format off
StringParameter g_paramProgramInstallPath{"PROGRAM_INSTALL_PATH", ""};
CheckBoxParameter g_paramHighPerfAircraft{"HIGH_PERF_AIRCRAFT", true, 32811, lf_row(3)};
CheckBoxParameter g_paramHelicopters{"HELICOPTERS", true, 32810, lf_row(3)};
CheckBoxParameter g_paramLightAircraft{"LIGHT_AIRCRAFT", true, 32809, lf_row(3)};
StringParameter g_paramProgramVersion{"PROGRAM_VERSION", ""};
ButtonParameter g_paramFlushStatic{"Flush static", 32858, lf_buttonRow(9)};
FloatEditParameter g_paramMaxFitFl{"MAX_FIT_FL", 24.0f, 0.5f, 24.0f, 32855, lf_row(9)};
EditParameter g_paramMaxLive{"MAX_LIVE", -1, -1, 300, 32821, lf_row(7)};
CheckBoxParameter g_paramLearnSoft{"LEARN_SOFT", true, 32777, lf_row(2)};
CheckBoxParameter g_paramWeek{"WEEK", false, 32854, lf_row(9)};
EditParameter g_paramMaxFit{"MAX_FIT", 47, 0, 47, 32853, lf_row(9)};
EditParameter g_paramParkingPercentage{"parking_percentage", 30, 0, 100, 32848, lf_row(9)};
CheckBoxParameter g_paramParkFake{"PARK_FAKE", false, 32852, lf_row(9)};
CheckBoxParameter g_paramParkSoft{"PARK_SOFT", true, 32851, lf_row(9)};
CheckBoxParameter g_paramInitialLoadOnly{"INITIAL_LOAD_ONLY", false, 32850, lf_row(9)};
CheckBoxParameter g_paramAutoRange{"AUTO_RANGE", true, 32819, lf_row(4)};
EditParameter g_paramLateralRange{"LATERAL_RANGE", 40, 2, 100, 32818, lf_row(4)};
IntParameter g_paramHoldingThresholdMeters{"HOLDING_THRESHOLD_METERS", 250, 10, 4000};
IntParameter g_paramMaxHoldingMinutes{"MAX_HOLDING_MINUTES", 20, 1, 60};
IntParameter g_paramCustomParkingPercentage{"CUSTOM_PARKING_PERCENTAGE", -1, -1, 100};
IntParameter g_paramLastEpochTime{"LAST_EPOCH_TIME", 0, 0, 2147483647};
BoolParameter g_paramRandom{"RANDOM", true};
StringParameter g_paramPortNumber{"PORT_NUMBER", "10747"};
IntParameter g_paramP3dVersion{"P3D_VERSION", 5, 5, 6};
std::array<StringParameter, kFolderSettings> g_paramLfolder{{
    {"lfolder0", ""}, {"lfolder1", ""}, {"lfolder2", ""}, {"lfolder3", ""}, {"lfolder4", ""},
    {"lfolder5", ""}, {"lfolder6", ""}, {"lfolder7", ""}, {"lfolder8", ""}, {"lfolder9", ""}}};
std::array<StringParameter, kFolderSettings> g_paramAfolder{{
    {"afolder0", ""}, {"afolder1", ""}, {"afolder2", ""}, {"afolder3", ""}, {"afolder4", ""},
    {"afolder5", ""}, {"afolder6", ""}, {"afolder7", ""}, {"afolder8", ""}, {"afolder9", ""}}};
StringEditParameter g_paramAllInstallPath{"ALL_INSTALL_PATH", "", 32788, lf_row(0)};
StringParameter g_paramSimInstallPath{"SIM_INSTALL_PATH", ""};
CheckBoxParameter g_paramScanLiveries{"SCAN_LIVERIES", true, 32797, lf_row(1)};
CheckBoxParameter g_paramLigAutomatic{"LIG_AUTOMATIC", true, 32798, lf_row(1)};
CheckBoxParameter g_paramLigPrioritize{"LIG_PRIORITIZE", false, 32799, lf_row(1)};
CheckBoxParameter g_paramSuppressStub{"SUPPRESS_STUB", true, 32801, lf_row(1)};
CheckBoxParameter g_paramLog{"LOG", true, 32779, lf_row(1)};
CheckBoxParameter g_paramAlwaysOnTop{"ALWAYS_ON_TOP", false, 32771, lf_row(1)};
CheckBoxParameter g_paramScanAirports{"SCAN_AIRPORTS", true, 32802, lf_row(2)};
CheckBoxParameter g_paramAfgAutomatic{"AFG_AUTOMATIC", true, 32803, lf_row(2)};
CheckBoxParameter g_paramNavLightsWhileParked{"NAV_LIGHTS_WHILE_PARKED", true, 32778, lf_row(2)};
EditParameter g_paramMatchingDepth{"MATCHING_DEPTH", 4, 1, 4, 32808, lf_row(3)};
CheckBoxParameter g_paramAerowinx{"AEROWINX", false, 32775, lf_row(3)};
CheckBoxParameter g_paramGuidChanges{"GUID_CHANGES", true, 32773, lf_row(3)};
EditParameter g_paramAutoRangeAboveHeight{"AUTO_RANGE_ABOVE_HEIGHT", 49000, 18000, 49000, 32820,
                                          lf_row(4)};
StringEditParameter g_paramBlockCallsign{"BLOCK_CALLSIGN", "", 32828, lf_row(5)};
ButtonParameter g_paramUnblock{"Unblock", 32829, lf_buttonRow(5)};
CheckBoxParameter g_paramCollisionUserAir{"COLLISION_USER_AIR", true, 32833, lf_row(6)};
CheckBoxParameter g_paramCollisionUserGnd{"COLLISION_USER_GND", true, 32834, lf_row(6)};
CheckBoxParameter g_paramCollisionLiveParkedGnd{"COLLISION_LIVE_PARKED_GND", false, 32835,
                                                lf_row(6)};
EditParameter g_paramCustomMaxPark{"CUSTOM_MAX_PARK", -1, -1, 500, 32865, lf_row(7)};
StringEditParameter g_paramDestination{"DESTINATION", "", 32840, lf_row(8)};
EditParameter g_paramAirportRange{"AIRPORT_RANGE", 20, 8, 30, 32841, lf_row(8)};
EditParameter g_paramAirportHeight{"AIRPORT_HEIGHT", 18000, 2000, 45000, 32842, lf_row(8)};
CheckBoxParameter g_paramStraightPbsOnly{"STRAIGHT_PBS_ONLY", false, 32856, lf_row(7)};
ButtonParameter g_paramReread{"Re-read", 32838, lf_buttonRow(8)};

StringParameter g_metaAuthor{"author", ""};
StringParameter g_metaDate{"date", ""};
StringParameter g_metaVersion{"version", ""};
StringParameter g_metaCopyright{"copyright", "Copyright (c) Ulvabrook. All rights reserved."};
StringParameter g_metaMsfs{"MSFS", ""};
StringParameter g_metaP3d{"P3D", ""};
// clang-format on

void BoolParameter::log() const {
  gf_logIfActive(fmt::format("{}={}", name, value() ? "true" : "false"));
}

void IntParameter::log() const { gf_logIfActive(fmt::format("{}={}", name, value())); }

void FloatParameter::log() const {
  gf_logIfActive(fmt::format("{}={}", name, gf_float2string(value())));
}

void StringParameter::log() const { gf_logIfActive(fmt::format("{}={}", name, value())); }

bool gf_isFolderParameter(const ParameterBase& parameter) {
  return parameter.name.find("lfolder") != std::string::npos ||
         parameter.name.find("afolder") != std::string::npos;
}

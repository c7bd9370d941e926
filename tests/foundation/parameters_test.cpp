// The settings table: every setting object against the table as written down for users, the
// control ids, the rows and the "{}={}" lines.
#include "foundation/parameters.h"

#include <gtest/gtest.h>

#include <set>
#include <variant>

#include "foundation/log.h"
#include "foundation/run_state.h"
#include "foundation/temp_folder.h"

namespace {

enum class Kind { kString, kCheckBox, kButton, kEdit, kFloatEdit, kInt, kBool, kStringEdit };

struct Row {
  const char* name;
  Kind kind;
  double defaultValue;  // numbers and bools (true = 1)
  double minValue;
  double maxValue;
  const char* defaultText;  // strings
  int controlId;            // 0 = no control
  int y;
  const ParameterBase* object;
};

// clang-format off
const std::vector<Row> kTable{
  {"PROGRAM_INSTALL_PATH", Kind::kString, 0, 0, 0, "", 0, 0, &g_paramProgramInstallPath},
  {"HIGH_PERF_AIRCRAFT", Kind::kCheckBox, 1, 1, 1, nullptr, 32811, 203, &g_paramHighPerfAircraft},
  {"HELICOPTERS", Kind::kCheckBox, 1, 1, 1, nullptr, 32810, 203, &g_paramHelicopters},
  {"LIGHT_AIRCRAFT", Kind::kCheckBox, 1, 1, 1, nullptr, 32809, 203, &g_paramLightAircraft},
  {"PROGRAM_VERSION", Kind::kString, 0, 0, 0, "", 0, 0, &g_paramProgramVersion},
  {"Flush static", Kind::kButton, 0, 0, 0, nullptr, 32858, 369, &g_paramFlushStatic},
  {"MAX_FIT_FL", Kind::kFloatEdit, 24.0, 0.5, 24.0, nullptr, 32855, 371, &g_paramMaxFitFl},
  {"MAX_LIVE", Kind::kEdit, -1, -1, 300, nullptr, 32821, 315, &g_paramMaxLive},
  {"LEARN_SOFT", Kind::kCheckBox, 1, 1, 1, nullptr, 32777, 175, &g_paramLearnSoft},
  {"WEEK", Kind::kCheckBox, 0, 0, 0, nullptr, 32854, 371, &g_paramWeek},
  {"MAX_FIT", Kind::kEdit, 47, 0, 47, nullptr, 32853, 371, &g_paramMaxFit},
  {"parking_percentage", Kind::kEdit, 30, 0, 100, nullptr, 32848, 371, &g_paramParkingPercentage},
  {"PARK_FAKE", Kind::kCheckBox, 0, 0, 0, nullptr, 32852, 371, &g_paramParkFake},
  {"PARK_SOFT", Kind::kCheckBox, 1, 1, 1, nullptr, 32851, 371, &g_paramParkSoft},
  {"INITIAL_LOAD_ONLY", Kind::kCheckBox, 0, 0, 0, nullptr, 32850, 371, &g_paramInitialLoadOnly},
  {"AUTO_RANGE", Kind::kCheckBox, 1, 1, 1, nullptr, 32819, 231, &g_paramAutoRange},
  {"LATERAL_RANGE", Kind::kEdit, 40, 2, 100, nullptr, 32818, 231, &g_paramLateralRange},
  {"HOLDING_THRESHOLD_METERS", Kind::kInt, 250, 10, 4000, nullptr, 0, 0, &g_paramHoldingThresholdMeters},
  {"MAX_HOLDING_MINUTES", Kind::kInt, 20, 1, 60, nullptr, 0, 0, &g_paramMaxHoldingMinutes},
  {"CUSTOM_PARKING_PERCENTAGE", Kind::kInt, -1, -1, 100, nullptr, 0, 0, &g_paramCustomParkingPercentage},
  {"LAST_EPOCH_TIME", Kind::kInt, 0, 0, 2147483647, nullptr, 0, 0, &g_paramLastEpochTime},
  {"RANDOM", Kind::kBool, 1, 1, 1, nullptr, 0, 0, &g_paramRandom},
  {"PORT_NUMBER", Kind::kString, 0, 0, 0, "10747", 0, 0, &g_paramPortNumber},
  {"P3D_VERSION", Kind::kInt, 5, 5, 6, nullptr, 0, 0, &g_paramP3dVersion},
  {"ALL_INSTALL_PATH", Kind::kStringEdit, 0, 0, 0, "", 32788, 119, &g_paramAllInstallPath},
  {"SIM_INSTALL_PATH", Kind::kString, 0, 0, 0, "", 0, 0, &g_paramSimInstallPath},
  {"SCAN_LIVERIES", Kind::kCheckBox, 1, 1, 1, nullptr, 32797, 147, &g_paramScanLiveries},
  {"LIG_AUTOMATIC", Kind::kCheckBox, 1, 1, 1, nullptr, 32798, 147, &g_paramLigAutomatic},
  {"LIG_PRIORITIZE", Kind::kCheckBox, 0, 0, 0, nullptr, 32799, 147, &g_paramLigPrioritize},
  {"SUPPRESS_STUB", Kind::kCheckBox, 1, 1, 1, nullptr, 32801, 147, &g_paramSuppressStub},
  {"LOG", Kind::kCheckBox, 1, 1, 1, nullptr, 32779, 147, &g_paramLog},
  {"ALWAYS_ON_TOP", Kind::kCheckBox, 0, 0, 0, nullptr, 32771, 147, &g_paramAlwaysOnTop},
  {"SCAN_AIRPORTS", Kind::kCheckBox, 1, 1, 1, nullptr, 32802, 175, &g_paramScanAirports},
  {"AFG_AUTOMATIC", Kind::kCheckBox, 1, 1, 1, nullptr, 32803, 175, &g_paramAfgAutomatic},
  {"NAV_LIGHTS_WHILE_PARKED", Kind::kCheckBox, 1, 1, 1, nullptr, 32778, 175, &g_paramNavLightsWhileParked},
  {"MATCHING_DEPTH", Kind::kEdit, 4, 1, 4, nullptr, 32808, 203, &g_paramMatchingDepth},
  {"AEROWINX", Kind::kCheckBox, 0, 0, 0, nullptr, 32775, 203, &g_paramAerowinx},
  {"GUID_CHANGES", Kind::kCheckBox, 1, 1, 1, nullptr, 32773, 203, &g_paramGuidChanges},
  {"AUTO_RANGE_ABOVE_HEIGHT", Kind::kEdit, 49000, 18000, 49000, nullptr, 32820, 231, &g_paramAutoRangeAboveHeight},
  {"BLOCK_CALLSIGN", Kind::kStringEdit, 0, 0, 0, "", 32828, 259, &g_paramBlockCallsign},
  {"Unblock", Kind::kButton, 0, 0, 0, nullptr, 32829, 257, &g_paramUnblock},
  {"COLLISION_USER_AIR", Kind::kCheckBox, 1, 1, 1, nullptr, 32833, 287, &g_paramCollisionUserAir},
  {"COLLISION_USER_GND", Kind::kCheckBox, 1, 1, 1, nullptr, 32834, 287, &g_paramCollisionUserGnd},
  {"COLLISION_LIVE_PARKED_GND", Kind::kCheckBox, 0, 0, 0, nullptr, 32835, 287, &g_paramCollisionLiveParkedGnd},
  {"CUSTOM_MAX_PARK", Kind::kEdit, -1, -1, 500, nullptr, 32865, 315, &g_paramCustomMaxPark},
  {"DESTINATION", Kind::kStringEdit, 0, 0, 0, "", 32840, 343, &g_paramDestination},
  {"AIRPORT_RANGE", Kind::kEdit, 20, 8, 30, nullptr, 32841, 343, &g_paramAirportRange},
  {"AIRPORT_HEIGHT", Kind::kEdit, 18000, 2000, 45000, nullptr, 32842, 343, &g_paramAirportHeight},
  {"STRAIGHT_PBS_ONLY", Kind::kCheckBox, 0, 0, 0, nullptr, 32856, 315, &g_paramStraightPbsOnly},
  {"Re-read", Kind::kButton, 0, 0, 0, nullptr, 32838, 341, &g_paramReread},
};
// clang-format on

const GuiControl* lf_control(const Row& row) {
  return dynamic_cast<const GuiControl*>(row.object);
}

template <typename P>
void lf_expectLimits(const Row& row) {
  const auto* p = dynamic_cast<const P*>(row.object);
  ASSERT_NE(p, nullptr) << row.name;
  EXPECT_EQ(p->defaultValue, row.defaultValue) << row.name;
  EXPECT_EQ(p->minValue, row.minValue) << row.name;
  EXPECT_EQ(p->maxValue, row.maxValue) << row.name;
  EXPECT_EQ(p->value(), p->defaultValue) << row.name;
}

TEST(ParametersTest, EverySettingMatchesTheTable) {
  for (const auto& row : kTable) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.object->name, row.name);
    switch (row.kind) {
      case Kind::kBool:
      case Kind::kCheckBox: lf_expectLimits<BoolParameter>(row); break;
      case Kind::kInt:
      case Kind::kEdit: lf_expectLimits<IntParameter>(row); break;
      case Kind::kFloatEdit: lf_expectLimits<FloatParameter>(row); break;
      case Kind::kString:
      case Kind::kStringEdit: {
        const auto* p = dynamic_cast<const StringParameter*>(row.object);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->defaultValue, row.defaultText);
        EXPECT_EQ(p->value(), row.defaultText);
        break;
      }
      case Kind::kButton:
        EXPECT_EQ(dynamic_cast<const BoolParameter*>(row.object), nullptr);
        EXPECT_EQ(dynamic_cast<const IntParameter*>(row.object), nullptr);
        EXPECT_EQ(dynamic_cast<const StringParameter*>(row.object), nullptr);
        break;
    }
    const GuiControl* control = lf_control(row);
    const bool shown = row.kind == Kind::kCheckBox || row.kind == Kind::kButton ||
                       row.kind == Kind::kEdit || row.kind == Kind::kFloatEdit ||
                       row.kind == Kind::kStringEdit;
    ASSERT_EQ(control != nullptr, shown);
    if (control) {
      EXPECT_EQ(control->controlId, row.controlId);
      EXPECT_EQ(control->y, static_cast<std::uint32_t>(row.y));
      EXPECT_EQ(control->hwnd.load(), nullptr);
      EXPECT_EQ(control->previousProc, 0);
    }
  }
}

TEST(ParametersTest, ControlIdsAreUniqueAndRowsLieOnTheGrid) {
  std::set<int> ids;
  for (const auto& row : kTable) {
    if (row.controlId == 0) continue;
    EXPECT_TRUE(ids.insert(row.controlId).second) << row.controlId;
    EXPECT_GE(row.controlId, 32771);
    EXPECT_LE(row.controlId, 32865);
    const int onRow = row.kind == Kind::kButton ? row.y + 2 : row.y;
    EXPECT_EQ((onRow - 119) % 28, 0) << row.name;
    EXPECT_LE(onRow, 371) << row.name;
  }
}

TEST(ParametersTest, FolderEntriesAndMetaNames) {
  for (std::size_t i = 0; i < kFolderSettings; ++i) {
    EXPECT_EQ(g_paramLfolder[i].name, "lfolder" + std::to_string(i));
    EXPECT_EQ(g_paramAfolder[i].name, "afolder" + std::to_string(i));
    EXPECT_EQ(g_paramLfolder[i].value(), "");
    EXPECT_TRUE(gf_isFolderParameter(g_paramLfolder[i]));
    EXPECT_TRUE(gf_isFolderParameter(g_paramAfolder[i]));
  }
  EXPECT_FALSE(gf_isFolderParameter(g_paramSimInstallPath));
  EXPECT_EQ(g_metaAuthor.name, "author");
  EXPECT_EQ(g_metaDate.name, "date");
  EXPECT_EQ(g_metaVersion.name, "version");
  EXPECT_EQ(g_metaCopyright.name, "copyright");
  EXPECT_FALSE(g_metaCopyright.defaultValue.empty());
  EXPECT_EQ(g_metaMsfs.name, "MSFS");
  EXPECT_EQ(g_metaP3d.name, "P3D");
  EXPECT_EQ(g_trafficRadiusNm.load(), 40.0);
  EXPECT_EQ(g_trafficRadiusM.load(), 74080u);
}

TEST(ParametersTest, SettingsLogThemselvesAsNameEqualsValue) {
  TempWorkingFolder folder;
  gf_openLog();
  g_paramLog.log();
  g_paramWeek.log();
  g_paramLateralRange.log();
  g_paramMaxFitFl.log();
  g_paramPortNumber.log();
  g_stopRequested.store(true);
  g_paramRandom.log();  // dropped while a stop is requested
  g_stopRequested.store(false);
  gf_closeLog();
  auto lines = gf_testReadLines("Log.txt");
  lines.erase(lines.begin());
  EXPECT_EQ(lines, (std::vector<std::string>{"LOG=true", "WEEK=false", "LATERAL_RANGE=40",
                                             "MAX_FIT_FL=24", "PORT_NUMBER=10747"}));
}

}  // namespace

// The setting objects: unique names and control ids, rows on the window's grid, defaults within
// their limits, and the "{}={}" lines.
#include "foundation/parameters.h"

#include <gtest/gtest.h>

#include <set>

#include "foundation/log.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "foundation/temp_folder.h"

namespace {

// Every setting that has a window control: the groups of parameters.xml and those never stored.
std::vector<const GuiControl*> lf_controls() {
  const ParameterGroups groups = gf_parameterGroups();
  std::vector<const GuiControl*> controls{&g_paramFlushStatic,       &g_paramMaxFitFl,
                                          &g_paramParkingPercentage, &g_paramAllInstallPath,
                                          &g_paramUnblock,           &g_paramReread};
  controls.insert(controls.end(), groups.checkBoxes.begin(), groups.checkBoxes.end());
  controls.insert(controls.end(), groups.edits.begin(), groups.edits.end());
  controls.insert(controls.end(), groups.stringEdits.begin(), groups.stringEdits.end());
  for (const StringParameter* p : groups.strings) {
    if (const auto* control = dynamic_cast<const GuiControl*>(p)) controls.push_back(control);
  }
  return controls;
}

TEST(ParametersTest, ControlIdsAreUniqueAndRowsLieOnTheGrid) {
  std::set<int> ids;
  for (const GuiControl* control : lf_controls()) {
    const int id = control->controlId;
    EXPECT_TRUE(ids.insert(id).second) << id;
    EXPECT_GE(id, 32771);
    EXPECT_LE(id, 32865);
    const bool button = dynamic_cast<const ButtonParameter*>(control) != nullptr;
    const int row = static_cast<int>(control->y) + (button ? 2 : 0);  // buttons sit 2 px higher
    EXPECT_EQ((row - 119) % 28, 0) << id;
    EXPECT_LE(row, 371) << id;
  }
  EXPECT_EQ(ids.size(), 40u);
}

TEST(ParametersTest, NamesAreUniqueAndDefaultsLieWithinTheirLimits) {
  const ParameterGroups groups = gf_parameterGroups();
  std::set<std::string> names;
  const auto check = [&names](const auto& group) {
    for (const auto* p : group) {
      EXPECT_TRUE(names.insert(p->name).second) << p->name;  // entries are found by name
      EXPECT_LE(p->minValue, p->defaultValue) << p->name;
      EXPECT_LE(p->defaultValue, p->maxValue) << p->name;
      EXPECT_EQ(p->value(), p->defaultValue) << p->name;
    }
  };
  check(groups.bools);
  check(groups.checkBoxes);
  check(groups.ints);
  check(groups.edits);
  check(groups.strings);
  check(groups.stringEdits);
  check(std::vector<const FloatParameter*>{&g_paramMaxFitFl});
  check(std::vector<const IntParameter*>{&g_paramParkingPercentage});
}

TEST(ParametersTest, FolderEntriesAreNumberedFromZero) {
  for (std::size_t i = 0; i < kFolderSettings; ++i) {
    EXPECT_EQ(g_paramLfolder[i].name, "lfolder" + std::to_string(i));
    EXPECT_EQ(g_paramAfolder[i].name, "afolder" + std::to_string(i));
    EXPECT_TRUE(gf_isFolderParameter(g_paramLfolder[i]));
    EXPECT_TRUE(gf_isFolderParameter(g_paramAfolder[i]));
  }
  EXPECT_FALSE(gf_isFolderParameter(g_paramSimInstallPath));
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

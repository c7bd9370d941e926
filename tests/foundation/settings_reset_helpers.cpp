// Settings, run flags and window lines back to a fresh start between tests.
#include <mutex>

#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "settings_reset.h"

void gf_testResetSettings() {
  const ParameterGroups groups = gf_parameterGroups();
  for (auto* p : groups.bools) p->setValue(p->defaultValue);
  for (auto* p : groups.checkBoxes) p->setValue(p->defaultValue);
  for (auto* p : groups.ints) p->setValue(p->defaultValue);
  for (auto* p : groups.edits) p->setValue(p->defaultValue);
  for (auto* p : groups.strings) p->setValue(p->defaultValue);
  for (auto* p : groups.stringEdits) p->setValue(p->defaultValue);
  gf_setTrafficRadius(static_cast<double>(g_paramLateralRange.value()));
}

void gf_testResetRunState() {
  g_stopRequested = false;
  g_exitRequested = false;
  std::lock_guard lock(g_mainWindowState.mutex);
  g_mainWindowState.statusText.clear();
  g_mainWindowState.errorText.clear();
  g_mainWindowState.statusTimer = 0;
  g_mainWindowState.statusSeconds = 0;
}

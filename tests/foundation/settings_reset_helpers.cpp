// Settings back to their defaults between tests.
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

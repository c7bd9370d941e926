// Shared state put back between tests: every setting of parameters.xml to its default, and the
// run flags and the window's status and error lines to a fresh start.
#pragma once

void gf_testResetSettings();
void gf_testResetRunState();

// Puts every setting of parameters.xml back to its default, so that a test that changes settings
// leaves nothing behind for the tests after it.
#pragma once

void gf_testResetSettings();

// The world of the targets that read the simulator's configuration files.
#pragma once

#include <cstdlib>

#include "foundation/parameters.h"
#include "fuzz_support.h"

namespace fuzz {

// Drive C inside the work folder (ZENDRIK_DRIVE_C), and a version 5 simulator installed on it.
inline void useSimulatorOnDriveC() {
  setenv("ZENDRIK_DRIVE_C", (workFolder() / "C").c_str(), 1);
  g_paramSimInstallPath.setValue("C:\\Prepar3D v5");
}

}  // namespace fuzz

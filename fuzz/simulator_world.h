// The world of the targets that read the simulator's configuration files.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "airports/scan.h"
#include "foundation/parameters.h"
#include "fuzz_support.h"
#include "platform/paths.h"

namespace fuzz {

// Drive C inside the work folder (ZENDRIK_DRIVE_C), and a version 5 simulator installed on it.
inline void useSimulatorOnDriveC() {
  setenv("ZENDRIK_DRIVE_C", (workFolder() / "C").c_str(), 1);
  g_paramSimInstallPath.setValue("C:\\Prepar3D v5");
}

// Writes the input as the simulator's configuration file `name` (in its ProgramData folder) and
// has `read` take the scenery folders out of it.
template <typename Read>
void readSimulatorConfig(const std::uint8_t* data, std::size_t size, const std::string& name,
                         Read read) {
  static const bool s_world = (useSimulatorOnDriveC(), true);
  (void)s_world;
  writeFile(gf_winPath(lf_simConfigFolderText() + "\\" + name),
            std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> folders;
  read(folders);
  g_sink += folders.size();
}

}  // namespace fuzz

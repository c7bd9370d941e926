// The simulator detection as the program does it at start: which Prepar3D versions the
// registry's HKLM keys name, and v5's install folder. Prints them; exit 0 when v5 is found with
// the folder given as the argument.
#include <cstdio>
#include <string>

#include "foundation/registry_lookup.h"

int main(int argc, char** argv) {
  const std::string expected = argc > 1 ? argv[1] : "";
  const std::string setupPath = gf_getP3DSetupPath(5);
  std::printf("v5 %d (at start %d) v6 %d SetupPath \"%s\"\n", gf_isP3DInstalled(5),
              g_p3dV5Installed, gf_isP3DInstalled(6), setupPath.c_str());
  return g_p3dV5Installed && gf_isP3DInstalled(5) && setupPath == expected ? 0 : 1;
}

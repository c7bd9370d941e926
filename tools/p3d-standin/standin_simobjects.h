// Installed aircraft titles: the "title=" lines of every aircraft.cfg below a SimObjects folder.
#pragma once

#include <set>
#include <string>

namespace p3d {

// Lowercase titles; files that cannot be read are skipped with a line on stderr.
std::set<std::string> gf_readInstalledTitles(const std::string& simobjectsDir);

}  // namespace p3d

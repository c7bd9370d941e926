#pragma once
// Automatic discovery of the livery folders: the packages of the user's add-ons.cfg (each with
// its add-on.xml) and the entries of the machine-wide simobjects.cfg. Lines are read as text
// with case-sensitive substring tests, not as INI or XML. The folders found are Windows path
// texts; the scan maps them to this file system. Worker thread.

#include <filesystem>
#include <string>
#include <vector>

// Appends the SimObjects folders declared by the add-on.xml of each add-ons.cfg package.
// Never throws.
void lf_readP3DAddOnsAircraft(std::vector<std::string>& liveryFolders);
// Appends the folders of the simobjects.cfg entries. File-system errors pass.
void lf_readP3DSimObjectsCfg(std::vector<std::string>& liveryFolders);
// Appends the folder declared right after a SimObjects line of the package's add-on.xml; a
// relative one joined to the package folder.
void lf_explorePackage(const std::string& packageFolder, std::vector<std::string>& liveryFolders);

// The add-ons.cfg and simobjects.cfg of the simulator's version (gf_p3dVersionFromPath), on this
// file system.
std::filesystem::path lf_addOnsCfgPath();
std::filesystem::path lf_simObjectsCfgPath();

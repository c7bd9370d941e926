// Windows path texts as simulator files and settings write them ("D:\AI\MyPack",
// "Addon Scenery\XYZ", "C:\ProgramData\Lockheed Martin\Prepar3D v5\scenery.cfg") turned into
// paths of this file system.
//
// Drive letters: "X:\..." is rooted at the folder named by ZENDRIK_DRIVE_X (X upper-case),
// else at "$XDG_DATA_HOME/zendrik/drive_x" (XDG_DATA_HOME defaulting to ~/.local/share).
// Names are matched case-insensitively against existing entries, as Windows does.
// On Windows the texts are native paths already: they are used as they stand.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

// '\' becomes '/', a leading drive letter maps to its root, and the longest existing prefix
// is resolved case-insensitively (see gf_resolvePathCase). A relative text stays relative.
// UTF-8 in, native path out. An empty text gives an empty path.
std::filesystem::path gf_winPath(std::string_view text);

// The folder a drive letter ('c' or 'C') maps to. A non-letter gives an empty path.
std::filesystem::path gf_driveRoot(char letter);

// For each element of `path` that does not exist as written, the unique entry of its parent
// folder whose name is equal ignoring ASCII case is taken (several: the first in name order);
// once an element is not found at all the rest is kept as written. A path that exists as
// written is returned unchanged; nothing is created.
std::filesystem::path gf_resolvePathCase(const std::filesystem::path& path);

// UTF-8 text <-> native path, never through a code page: the identity on bytes here, the
// wide form on Windows (where the narrow path calls decode through a code page, so a name in
// another script is lost). For every path text: names read from files, settings, the registry
// and known folders, and paths written to logs and files. On Windows a text that is no UTF-8
// (a line of an 8-bit file) is read in the ANSI code page, as the narrow calls read it; its
// way back is UTF-8, so join such texts to others only as paths or after that way back.
std::filesystem::path gf_pathFromUtf8(std::string_view text);
std::string gf_pathToUtf8(const std::filesystem::path& path);

// fopen of a native path (on Windows through its wide name, so that any name opens).
std::FILE* gf_openFile(const std::filesystem::path& path, const char* mode);

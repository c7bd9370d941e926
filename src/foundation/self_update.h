// The start-up check for a newer program version on the download server; when there is one, its
// installer is downloaded beside the program and the run ends with a message to run it.
// Worker thread, once per process start.
#pragma once

#include <string>

#include "foundation/download.h"
#include "foundation/version.h"

// The version named by the version file at url; 0.0.0 when it cannot be had: a failed download
// is logged, and a file that names no version is described in `why` (when given).
Version gf_downloadVersion(curlHolder& holder, const std::string& url, std::string* why = nullptr);
// The version a downloaded version file's text names: its first line, else the whole text.
Version gf_versionOfFileText(const std::string& content);
// The server's program version ("release/version_P3D.json"); `why` as gf_downloadVersion's.
Version gf_remoteVersion(std::string* why = nullptr);
// Downloads "release/setup_Zendrik_P3D_d_v<version>.zip" and writes its installer entry to
// "install_new_version.exe". True when the installer was written completely.
bool gf_downloadInstaller(const Version& remote);
// Compares the server's version with the running one; a newer one is downloaded and reported by
// throwing qvb::UserErrorException 99. Every other outcome lets start-up go on.
void gf_checkNewVersion();

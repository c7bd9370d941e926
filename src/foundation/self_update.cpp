// The self-update check: version file, installer archive, install_new_version.exe.
#include "foundation/self_update.h"

#include <fmt/format.h>

#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "foundation/strings.h"
#include "foundation/zip_archive.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kVersionFile = "version.json";
constexpr const char* kVersionPath = "release/version_P3D.json";
// A version file holds a few dozen bytes; a larger answer is no version file (and read whole,
// a huge one would cost many times its size in memory).
constexpr std::uint64_t kVersionFileMaxBytes = 16384;
// How much of a version file without a version the log shows.
constexpr std::size_t kShownContentBytes = 60;

bool lf_endsWithExe(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = gf_asciiUpper(c);
  return tail == ".EXE";
}

// The archive entry that holds the installer: the one ".exe" file, or the only file of an
// archive without one. None when that is ambiguous.
std::optional<ZipEntry> lf_installerEntry(const std::vector<ZipEntry>& entries) {
  std::vector<ZipEntry> files;
  std::vector<ZipEntry> executables;
  for (const ZipEntry& entry : entries) {
    if (entry.isDirectory()) continue;
    files.push_back(entry);
    if (lf_endsWithExe(entry.name)) executables.push_back(entry);
  }
  if (executables.size() == 1) return executables.front();
  if (executables.empty() && files.size() == 1) return files.front();
  return std::nullopt;
}

// Writes the entry to install_new_version.exe through a partial file that replaces it only
// when complete. True on success.
bool lf_extractInstaller(ZipArchive& archive, const ZipEntry& entry) {
  fs::path part = g_installerPath;
  part += kPartialDownloadSuffix;
  int result = kZipOk;
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    result = out ? archive.readContent(entry, out) : static_cast<int>(kZipWriteFailed);
    if (result == kZipOk) {
      out.flush();
      if (!out) result = kZipWriteFailed;
    }
  }
  std::error_code ec;
  if (result != kZipOk) {
    gf_logError(fmt::format("unzipping error code : {}", result));
    fs::remove(part, ec);
    return false;
  }
  fs::rename(part, g_installerPath, ec);  // replaces an older installer in one step
  if (ec) {
    gf_logError(
        fmt::format("could not write {}: {}", gf_pathToUtf8(g_installerPath), ec.message()));
    fs::remove(part, ec);
    return false;
  }
  gf_log(fmt::format("{} unzipped to {}", gf_pathToUtf8(archive.path()),
                     gf_pathToUtf8(g_installerPath)));
  return true;
}

// What a version file without a version holds, for the log: its first line that is not blank,
// cut short, every byte that is no printable ASCII shown as '?' (a page may be in any encoding).
std::string lf_contentStart(const std::string& content) {
  const std::string text = gf_trim(content);
  std::string start = gf_trim(text.substr(0, text.find('\n'))).substr(0, kShownContentBytes);
  for (char& c : start) {
    if (c < ' ' || c > '~') c = '?';
  }
  return start;
}

}  // namespace

Version gf_downloadVersion(curlHolder& holder, const std::string& url, std::string* why) {
  const fs::path local = kVersionFile;
  if (!gf_download(holder, url, local, false, kVersionFileMaxBytes)) {
    gf_logError(fmt::format("downloading \"{}\" failed", url));
    return Version(std::string_view());
  }
  std::string content(kVersionFileMaxBytes, '\0');
  {
    std::ifstream in(local, std::ios::binary);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(in.gcount()));
  }
  fs::remove(local);
  const Version version = gf_versionOfFileText(content);
  if (version == Version() && why != nullptr) {
    *why = gf_trim(content).empty()
               ? fmt::format("\"{}\" is empty", url)
               : fmt::format("\"{}\" holds no version: \"{}\"", url, lf_contentStart(content));
  }
  return version;
}

Version gf_versionOfFileText(const std::string& content) {
  // The first line holds the version; a JSON object spread over several lines is read whole.
  const Version firstLine(gf_trim(content.substr(0, content.find('\n'))));
  return firstLine != Version() ? firstLine : Version(gf_trim(content));
}

Version gf_remoteVersion(std::string* why) {
  curlHolder holder;
  return gf_downloadVersion(holder, gf_downloadBaseUrl() + kVersionPath, why);
}

bool gf_downloadInstaller(const Version& remote) {
  const std::string versionText = remote.toString();
  const std::string zipName = fmt::format("setup_{}_d_v{}.zip", g_programName, versionText);
  const fs::path local = zipName;
  bool installed = false;
  curlHolder holder;
  if (!gf_download(holder, gf_downloadBaseUrl() + "release/" + zipName, local, true)) {
    gf_showMessage(fmt::format("Downloading program installer file version {} failed", versionText),
                   true);
  } else {
    gf_log(fmt::format("downloaded {}", zipName));
    ZipArchive archive(local);
    if (!archive.open()) {
      gf_logError(fmt::format("could not open {}", zipName));
    } else if (std::optional<ZipEntry> entry = lf_installerEntry(archive.getEntries())) {
      installed = lf_extractInstaller(archive, *entry);
    } else {
      gf_logError(fmt::format("{} holds no single installer", zipName));
    }
    archive.close();
  }
  if (fs::exists(local)) fs::remove(local);
  return installed;
}

void gf_checkNewVersion() {
  std::string why;  // set when a file came but named no version; a failed download logged its own
  const Version remote = gf_remoteVersion(&why);
  if (remote == Version()) {
    gf_logError(why.empty() ? std::string("Program Version file not found?")
                            : fmt::format("Program Version file not found?: {}", why));
    return;
  }
  if (remote <= g_version) return;
  if (gf_downloadInstaller(remote)) {
    const fs::path installer = gf_pathFromUtf8(g_paramProgramInstallPath.value()) / g_installerPath;
    throw qvb::UserErrorException(
        99, fmt::format("New version {} available, exit {}. Run as administrator: \"{}\"",
                        remote.toString(), g_programName, gf_pathToUtf8(installer)));
  }
  gf_showMessage(
      "The downloading/unzipping of the new version failed? Try manually via Ulvabrook website",
      true);
}

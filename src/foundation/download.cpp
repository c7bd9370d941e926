// Downloads with libcurl's easy interface and the unzip of downloaded archives.
#include "foundation/download.h"

#include <fmt/format.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>

#include "foundation/file_helpers.h"
#include "foundation/log.h"
#include "foundation/run_state.h"
#include "foundation/text_file.h"
#include "foundation/zip_archive.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUserAgent = "Zendrik";
constexpr long kStallBytesPerSecond = 1;
constexpr long kMaxRedirects = 5;
constexpr long kHttpOk = 200;

// A positive number of seconds from the environment, else the fallback.
long lf_envSeconds(const char* name, long fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr) return fallback;
  const std::string_view view(text);
  long value = 0;
  const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), value);
  if (ec != std::errc() || end != view.data() + view.size() || value <= 0) return fallback;
  return value;
}

// Where one transfer writes, and how much it may write.
struct WriteTarget {
  FILE* file = nullptr;
  fs::path path;                             // the partial file on disk
  std::uint64_t limit = kDownloadUnlimited;  // bytes
  std::uint64_t written = 0;
  bool overLimit = false;
  int writeError = 0;  // errno of a refused write or close (a full disk)
};

size_t lf_curlWrite(char* data, size_t size, size_t count, void* target) {
  auto& out = *static_cast<WriteTarget*>(target);
  const std::uint64_t bytes = static_cast<std::uint64_t>(size) * count;
  if (bytes > out.limit - out.written) {
    out.overLimit = true;
    return 0;  // ends the transfer
  }
  errno = 0;
  const size_t done = std::fwrite(data, size, count, out.file);
  if (done < count && out.writeError == 0) out.writeError = errno;
  out.written += static_cast<std::uint64_t>(done) * size;
  return done;
}

long lf_httpStatus(CURL* curl) {
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

// An HTTP(S) transfer succeeded only with a final 200: after the redirects, anything else (a
// 3xx without a usable Location, a 204, a 206 ...) is no copy of the file asked for. Other
// schemes (file://) have no status.
std::optional<long> lf_badHttpStatus(CURL* curl) {
  const char* scheme = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_SCHEME, &scheme) != CURLE_OK || scheme == nullptr)
    return std::nullopt;
  std::string name(scheme);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name != "http" && name != "https") return std::nullopt;
  const long status = lf_httpStatus(curl);
  return status == kHttpOk ? std::nullopt : std::optional<long>(status);
}

// The log's words for a failed transfer.
std::string lf_failureReason(CURL* curl, CURLcode code, const WriteTarget& out,
                             std::optional<long> badStatus) {
  if (out.overLimit) return fmt::format("larger than {} bytes", out.limit);
  if (out.writeError != 0)
    return fmt::format("{} could not be written: {}", gf_pathToUtf8(out.path),
                       gf_errnoText(out.writeError, "reason unknown"));
  if (code == CURLE_HTTP_RETURNED_ERROR) return fmt::format("HTTP status {}", lf_httpStatus(curl));
  if (code != CURLE_OK) return curl_easy_strerror(code);
  if (badStatus) return fmt::format("HTTP status {}", *badStatus);
  return fmt::format("{} could not be written", gf_pathToUtf8(out.path));
}

// What the progress callback watches during one transfer.
struct TransferWatch {
  std::chrono::steady_clock::time_point lastData;  // when the received count last grew
  curl_off_t received = 0;                         // bytes received so far
  std::chrono::seconds stallLimit{kDownloadStallTimeoutSec};
};

// Called by libcurl at least once a second; non-zero aborts the transfer. Ends it when the
// program is asked to exit, and when no byte has arrived for the stall limit (libcurl's own
// low-speed check averages over several seconds and reacts later).
int lf_curlProgress(void* data, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
  if (g_exitRequested.load()) return 1;
  auto& watch = *static_cast<TransferWatch*>(data);
  const auto now = std::chrono::steady_clock::now();
  if (received != watch.received) {
    watch.received = received;
    watch.lastData = now;
    return 0;
  }
  return now - watch.lastData >= watch.stallLimit ? 1 : 0;
}

fs::path lf_partPath(const fs::path& file) {
  fs::path part = file;
  part += kPartialDownloadSuffix;
  return part;
}

void lf_setOptions(CURL* curl, const std::string& url, WriteTarget& out, TransferWatch& watch) {
  const long stallSeconds =
      lf_envSeconds("ZENDRIK_DOWNLOAD_STALL_TIMEOUT", kDownloadStallTimeoutSec);
  watch = TransferWatch{std::chrono::steady_clock::now(), 0, std::chrono::seconds(stallSeconds)};
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &lf_curlWrite);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &out);
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  // A server that moved a file answers 3xx; its body is no copy of the file.
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // Without these a server that accepts and then goes silent would hold start-up for ever.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT,
                   lf_envSeconds("ZENDRIK_DOWNLOAD_CONNECT_TIMEOUT", kDownloadConnectTimeoutSec));
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, stallSeconds);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &lf_curlProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &watch);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
}

void lf_removeQuietly(const fs::path& file) {
  std::error_code ec;
  fs::remove(file, ec);
}

// Closes the transfer's file; the last bytes of a small file meet a full disk only here.
bool lf_closeTarget(WriteTarget& out) {
  errno = 0;
  if (std::fclose(out.file) == 0) return true;
  if (out.writeError == 0) out.writeError = errno;
  return false;
}

// A failed download's result, with its reason for a caller that asks.
bool lf_failed(std::string* why, const std::string& reason) {
  if (why != nullptr) *why = reason;
  return false;
}

}  // namespace

curlHolder::curlHolder() {
  static std::once_flag s_globalInit;
  std::call_once(s_globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  m_handle = curl_easy_init();
}

curlHolder::~curlHolder() {
  if (m_handle != nullptr) curl_easy_cleanup(m_handle);
}

std::string gf_downloadBaseUrl() {
  const char* env = std::getenv("ZENDRIK_DOWNLOAD_URL");
  std::string base = (env != nullptr && *env != '\0') ? env : kDownloadBaseUrl;
  if (base.back() != '/') base += '/';
  return base;
}

std::string gf_downloadFolderUrl() {
  return gf_downloadBaseUrl() + "P3D/";
}

bool gf_download(curlHolder& holder, const std::string& url, const fs::path& file, bool byteMode,
                 std::uint64_t maxBytes, std::string* why) {
  CURL* curl = holder.handle();
  if (curl == nullptr) return lf_failed(why, "libcurl could not be started");
  const fs::path part = lf_partPath(file);
  try {
    WriteTarget out;
    out.path = part;
    out.file = gf_openFile(part, byteMode ? "wb" : "w");
    out.limit = maxBytes;
    if (out.file == nullptr) {
      const int error = errno;
      const std::string failure =
          fmt::format("could not open output file: {}: {}", gf_pathToUtf8(file),
                      gf_errnoText(error, "reason unknown"));
      gf_log(failure);
      return lf_failed(why, failure);
    }
    TransferWatch watch;
    lf_setOptions(curl, url, out, watch);
    const CURLcode code = curl_easy_perform(curl);
    const bool closed = lf_closeTarget(out);
    const std::optional<long> badStatus = code == CURLE_OK ? lf_badHttpStatus(curl) : std::nullopt;
    if (code != CURLE_OK || !closed || badStatus) {
      const std::string failure = lf_failureReason(curl, code, out, badStatus);
      gf_log(fmt::format("download of \"{}\" failed: {}", url, failure));
      lf_removeQuietly(part);
      return lf_failed(why, failure);
    }
    fs::rename(part, file);  // replaces an older file in one step
    return true;
  } catch (const std::exception& e) {
    gf_log(
        fmt::format("downloader exception: \"{}\", {} => {}", e.what(), url, gf_pathToUtf8(file)));
    lf_removeQuietly(part);
    return lf_failed(why, e.what());
  }
}

namespace {

// An entry's text with its CR LF line ends made LF: the text-mode write gives the platform's
// own, where Windows would otherwise turn CR LF into CR CR LF.
std::string lf_withNewlines(std::string text) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    text[out++] = text[i];
  }
  text.resize(out);
  return text;
}

// Writes the text of the archive's file entries to destination (each replacing the one
// before). "" when done, else why not: the archive holds no file entry, or an entry cannot be
// read or written.
std::string lf_unzipText(ZipArchive& archive, const fs::path& destination) {
  bool wroteAny = false;
  for (const ZipEntry& entry : archive.getEntries()) {
    if (entry.isDirectory()) continue;
    const std::optional<std::string> text = archive.readAsText(entry);
    if (!text) {
      gf_logError(fmt::format("unzipping error code : {}", archive.errorCode()));
      return fmt::format("{}: {}", entry.name, archive.errorText());
    }
    std::string why;
    if (!gf_writeStringToFile(lf_withNewlines(*text), destination, false, &why)) {
      const std::string failure =
          fmt::format("could not write {}: {}", gf_pathToUtf8(destination), why);
      gf_logError(failure);
      return failure;
    }
    wroteAny = true;
  }
  return wroteAny ? std::string() : "it holds no file";
}

}  // namespace

bool gf_downloadAndUnzip(const fs::path& zipName, const fs::path& destination, std::string* why) {
  curlHolder holder;
  const fs::path local = zipName.filename();
  const std::string name = gf_pathToUtf8(zipName);
  std::string failure;
  if (!gf_download(holder, gf_downloadBaseUrl() + zipName.generic_string(), local, true,
                   kDownloadUnlimited, &failure)) {
    gf_logError(fmt::format("downloading {} failed?", name));
    failure = fmt::format("downloading {} failed: {}", name, failure);
  } else {
    ZipArchive archive(local);
    failure = archive.open() ? lf_unzipText(archive, destination) : archive.errorText();
    archive.close();
    if (!failure.empty()) {
      std::error_code ec;
      fs::remove(destination, ec);
      gf_logError(fmt::format("unzipping {} failed?", name));
      failure = fmt::format("unzipping {} failed: {}", name, failure);
    }
  }
  if (fs::exists(local)) fs::remove(local);
  if (why != nullptr) *why = failure;
  return failure.empty();
}

bool gf_downloadDbase(const fs::path& destination, std::string* why) {
  static const fs::path s_dbaseZip = "dbase.zip";
  return gf_downloadAndUnzip(s_dbaseZip, destination, why);
}

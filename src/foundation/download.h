// HTTP(S) downloads from the program's download server, and the unpacking of downloaded zip
// archives. Runs on the worker thread (start-up, database, registration codes, stand files);
// every call uses its own curl handle, so calls from different threads do not interfere.
//
// Environment overrides, looked up when a transfer starts (documented for tests in the README):
//   ZENDRIK_DOWNLOAD_URL              base URL of the download server (a trailing '/' is added
//                                     when missing); default kDownloadBaseUrl
//   ZENDRIK_DOWNLOAD_CONNECT_TIMEOUT  seconds allowed to connect; default 15
//   ZENDRIK_DOWNLOAD_STALL_TIMEOUT    seconds without data (or at under 1 byte a second) before
//                                     the transfer is given up; default 60
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

// The download server and its downloads folder; paths below it are relative to this.
inline constexpr const char* kDownloadBaseUrl = "https://download.ulvabrook.com/zendrik/";
inline constexpr long kDownloadConnectTimeoutSec = 15;
inline constexpr long kDownloadStallTimeoutSec = 60;
// No limit on the size of a download.
inline constexpr std::uint64_t kDownloadUnlimited = std::numeric_limits<std::uint64_t>::max();
// Suffix of the file a transfer writes into; it is renamed to the real name on success.
inline constexpr const char* kPartialDownloadSuffix = ".part";

// Owns one libcurl easy handle for the span of one download or a group of downloads.
class curlHolder {
 public:
  curlHolder();
  ~curlHolder();
  curlHolder(const curlHolder&) = delete;
  curlHolder& operator=(const curlHolder&) = delete;
  CURL* handle() const { return m_handle; }

 private:
  CURL* m_handle = nullptr;
};

// Base URL of the download server, ending in '/'.
std::string gf_downloadBaseUrl();
// The stand-file archive folder of this simulator: base URL + "P3D/".
std::string gf_downloadFolderUrl();

// Downloads url into file (byteMode: binary, else text). The data goes to file + ".part" first
// and replaces file only when the whole transfer succeeded; a failed transfer leaves no partial
// file and the previous file untouched. Redirects are followed (at most five, HTTP(S) only); an
// HTTP(S) transfer succeeds only with a final status of 200. Gives up when the server does not
// answer within the connect timeout, when it stalls, when the file grows beyond maxBytes, or
// when the program is asked to exit. A failure is logged; `why` (when given) receives its
// reason, naming the local file where writing it failed.
bool gf_download(curlHolder& holder, const std::string& url, const std::filesystem::path& file,
                 bool byteMode, std::uint64_t maxBytes = kDownloadUnlimited,
                 std::string* why = nullptr);

// Downloads base URL + zipName into the working folder, writes the text of its file entry into
// destination and removes the zip again (also on failure). False when the download, the archive
// or the writing of destination fails; then destination is removed and `why` (when given) says
// which step failed, on which file, and the cause.
bool gf_downloadAndUnzip(const std::filesystem::path& zipName,
                         const std::filesystem::path& destination, std::string* why = nullptr);

// gf_downloadAndUnzip of "dbase.zip".
bool gf_downloadDbase(const std::filesystem::path& destination, std::string* why = nullptr);

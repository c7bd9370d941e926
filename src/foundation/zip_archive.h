// A small read-only view of a zip archive on libzip: open, list the entries, read one entry as
// text or into a stream in chunks. Used by the downloads (database, registration codes and the
// program installer). One archive object belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct zip;

// Results of ZipArchive::readContent. 0 is success; the negative values are our own; a positive
// value is the libzip error code (ZIP_ER_*) of the failing call.
enum ZipResult : int {
  kZipOk = 0,
  kZipNotOpen = -1,       // the archive is not open
  kZipInvalidEntry = -2,  // the entry does not belong to this archive
  kZipWriteFailed = -3,   // the output stream refused the data
  kZipSizeMismatch = -4,  // fewer or more bytes than the directory promised
};

// Bytes handed to the output stream per read of ZipArchive::readContent (512 KiB).
constexpr std::size_t kZipChunkBytes = 524288;

struct ZipEntry {
  std::string name;         // as stored in the archive, '/' separated
  std::uint64_t index = 0;  // position in the archive's directory
  std::uint64_t size = 0;   // uncompressed size in bytes
  bool isDirectory() const { return !name.empty() && name.back() == '/'; }
  bool isFile() const { return !isDirectory(); }
};

class ZipArchive {
 public:
  explicit ZipArchive(std::filesystem::path file);
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Opens the file read-only (no password). False when it is missing or not a zip archive;
  // errorCode() then holds the libzip code.
  bool open();
  bool isOpen() const { return m_zip != nullptr; }
  void close();
  int errorCode() const { return m_error; }
  // libzip's description of errorCode().
  std::string errorText() const;
  const std::filesystem::path& path() const { return m_path; }

  // Every entry in directory order; empty when the archive is not open.
  std::vector<ZipEntry> getEntries() const;

  // The whole entry as bytes; no value when it cannot be read completely (errorCode() says why).
  std::optional<std::string> readAsText(const ZipEntry& entry);

  // Streams the entry into out in pieces of chunkBytes; returns a ZipResult or a libzip code.
  int readContent(const ZipEntry& entry, std::ostream& out,
                  std::size_t chunkBytes = kZipChunkBytes);

 private:
  std::filesystem::path m_path;
  zip* m_zip = nullptr;
  int m_error = 0;
};

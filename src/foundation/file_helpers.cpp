// Small file-system chores and XML attribute access.
#include "foundation/file_helpers.h"

#include <atomic>
#include <cerrno>
#include <fstream>
#include <system_error>

#include <pugixml.hpp>

#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/strings.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kXmlFilesReserve = 512;
constexpr std::size_t kAirportCodeLength = 4;
constexpr int kFolderErrorCode = 5;  // UserErrorException of a failed folder clean-up
}  // namespace

bool gf_copyFileOver(const fs::path& from, const fs::path& to) {
  std::error_code ignored;
  if (fs::weakly_canonical(from, ignored) != fs::weakly_canonical(to, ignored)) {
    fs::remove(to, ignored);
  }
  return fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

bool gf_removeFile(const fs::path& file) {
  if (!fs::exists(file)) {
    return true;
  }
  return fs::remove(file);
}

std::string gf_folderWriteError(const fs::path& folder) {
  const fs::path probe = folder / g_writeCheckFileName;
  errno = 0;
  std::ofstream out(probe, std::ios::binary | std::ios::trunc);
  // A full disk lets the file be made and refuses its bytes: the flush and the close tell.
  if (out) out << g_programName << std::flush;
  if (out) out.close();
  const int error = errno;
  std::string why;
  if (!out) why = gf_errnoText(error, "the write failed");
  std::error_code ignored;
  fs::remove(probe, ignored);
  return why;
}

std::string gf_errnoText(int error, const char* unknown) {
  return error != 0 ? std::generic_category().message(error) : unknown;
}

std::size_t gf_countFiles(const fs::path& folder) {
  if (!fs::exists(folder)) {
    return 0;
  }
  std::size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      ++count;
    }
  }
  return count;
}

void gf_removeFilesInFolder(const fs::path& folder) {
  try {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
      return;
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.is_regular_file() && !fs::remove(entry.path())) {
        gf_log(fmt::format("{} could not be removed", gf_pathToUtf8(entry.path())));
      }
    }
  } catch (const std::exception& e) {
    throw qvb::UserErrorException(kFolderErrorCode, e.what());
  }
}

std::vector<std::string> gf_getXmlFiles(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) {
    return names;
  }
  names.reserve(kXmlFilesReserve);
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) {
      continue;
    }
    const auto& path = entry.path();
    const std::string stem = gf_pathToUtf8(path.stem());
    if (gf_equalsUpper(".XML", gf_pathToUtf8(path.extension())) &&
        stem.size() == kAirportCodeLength) {
      names.push_back(stem);
    }
  }
  return names;
}

bool gf_saveXml(const pugi::xml_document& document, const fs::path& file) {
  // Written beside the target and renamed over it, so that a crash or a concurrent reader never
  // meets half a file. Each save has its own temporary name.
  static std::atomic<unsigned> s_saveCount{0};
  fs::path temporary = file;
  temporary += fmt::format(".{}.tmp", s_saveCount.fetch_add(1));
  if (document.save_file(temporary.c_str())) {
    std::error_code error;
    fs::rename(temporary, file, error);
    if (!error) {
      gf_log(fmt::format("\"{}\" saved", gf_pathToUtf8(file)));
      return true;
    }
  }
  std::error_code ignored;
  fs::remove(temporary, ignored);
  gf_log(fmt::format("could not save to \"{}\"", gf_pathToUtf8(file)));
  return false;
}

std::string gf_getAttribute(const pugi::xml_node& node, const char* name) {
  if (!node) {
    return g_emptyString;
  }
  const auto attribute = node.attribute(name);
  if (!attribute) {
    return g_emptyString;
  }
  return attribute.value();
}

bool gf_xmlFileWasRead(const pugi::xml_parse_result& result) {
  return result.status != pugi::status_file_not_found && result.status != pugi::status_io_error &&
         result.status != pugi::status_out_of_memory;
}

std::string gf_xmlLoadProblem(const fs::path& file, const pugi::xml_parse_result& result) {
  if (gf_xmlFileWasRead(result)) {
    return fmt::format("is damaged: {} at byte {}", result.description(), result.offset);
  }
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (error && error != std::errc::no_such_file_or_directory) {
    return "cannot be read: " + error.message();
  }
  if (!fs::exists(status)) {
    return "does not exist";
  }
  if (fs::is_directory(status)) {
    return "is a folder";
  }
  // The parser only says "File was not found" for a file it cannot open: ask the system why.
  const std::string why = gf_fileReadError(file);
  return "cannot be read: " + (why.empty() ? std::string(result.description()) : why);
}

std::string gf_fileReadError(const fs::path& file) {
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (error) return error.message();
  if (fs::is_directory(status)) return std::generic_category().message(EISDIR);
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  const int reason = errno;
  return in ? std::string() : gf_errnoText(reason, "");
}

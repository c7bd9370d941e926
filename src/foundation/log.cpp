// Log.txt: one stream and one mutex for every thread; each line written whole and flushed.
#include "foundation/log.h"

#include <fstream>
#include <mutex>
#include <stdexcept>

#include <fmt/format.h>

#include "foundation/day_slots.h"
#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/run_state.h"
#include "foundation/version.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace {

// The stream and its mutex are built on first use (a static initialiser elsewhere may log) and
// never destroyed (detached threads may still log while static destructors run at process end).
// Every line is flushed as it is written, so nothing waits for a destructor.
struct LogStream {
  std::mutex mutex;    // guards file and path; a leaf lock: nothing else is locked while it is held
  std::ofstream file;  // Log.txt; closed before gf_openLog and after gf_closeLog
  fs::path path;       // the file's path while it is open
};

LogStream& lf_log() {
  static LogStream* const g_logStream = new LogStream;
  return *g_logStream;
}

constexpr std::string_view kErrorPrefix{"===> "};
constexpr std::string_view kIndent{"          "};  // ten blanks
constexpr std::string_view kSimulatorText{"Prepar3D v5/v6"};

// The open test and the write happen under the lock, so a line is never written to a stream
// that another thread is closing, and a line that loses the race to a close is dropped whole.
void lf_writeLine(std::string_view prefix, std::string_view text) {
  LogStream& log = lf_log();
  std::lock_guard lock(log.mutex);
  if (!log.file.is_open()) {
    return;
  }
  log.file << prefix << text << std::endl;
}

}  // namespace

void gf_backupFile(const fs::path& file) {
  const std::string text = gf_pathToUtf8(file);
  const auto dot = text.rfind('.');
  if (text.empty() || dot == std::string::npos) {
    return;
  }
  const std::string_view head = std::string_view(text).substr(0, dot);
  const std::string_view tail = std::string_view(text).substr(dot);
  const std::string name0 = fmt::format("{}0{}", head, tail);
  const std::string name00 = fmt::format("{}00{}", head, tail);
  if (fs::exists(gf_pathFromUtf8(name0))) {
    gf_copyFileOver(gf_pathFromUtf8(name0), gf_pathFromUtf8(name00));
  }
  if (fs::exists(file)) {
    gf_copyFileOver(file, gf_pathFromUtf8(name0));
  }
}

namespace {

void lf_openLog(const fs::path& file) {
  gf_closeLog();  // a second opening starts a new log
  gf_backupFile(file);
  const std::string header =
      fmt::format("{} (utc) {} version {} for {}", gf_ctime(gf_wallClockNow()), g_programName,
                  g_version.toString(), kSimulatorText);
  LogStream& log = lf_log();
  std::lock_guard lock(log.mutex);
  log.file.open(file, std::ios::out);
  if (log.file.is_open()) {
    // Written under the same lock as the opening, so the header is always the first line.
    log.file << header << std::endl;
  }
  // A full disk opens the file but refuses the header: such a log would lose every line.
  if (!log.file.is_open() || !log.file) {
    if (log.file.is_open()) {
      log.file.close();
      std::error_code ignored;
      fs::remove(file, ignored);  // an empty Log.txt would only mislead
    }
    log.file.clear();
    throw std::runtime_error("Failed to write file " + gf_pathToUtf8(file));
  }
  log.path = file;
}

}  // namespace

void gf_openLog() { lf_openLog(g_logFileName); }

bool gf_openLogOrFallback(const fs::path& fallbackFolder) {
  std::string why;
  try {
    gf_openLog();
    return true;
  } catch (const std::exception& e) {
    why = e.what();
  }
  try {
    fs::create_directories(fallbackFolder);
    lf_openLog(fallbackFolder / g_logFileName);
  } catch (const std::exception&) {
    return false;
  }
  std::error_code ignored;
  gf_logError(fmt::format("{} cannot be written in the program folder {} ({}), it is written here",
                          gf_pathToUtf8(g_logFileName), gf_pathToUtf8(fs::current_path(ignored)),
                          why));
  return true;
}

fs::path gf_logPath() {
  LogStream& log = lf_log();
  std::lock_guard lock(log.mutex);
  return log.file.is_open() ? log.path : fs::path();
}

void gf_closeLog() {
  LogStream& log = lf_log();
  std::lock_guard lock(log.mutex);
  if (log.file.is_open()) {
    log.file.close();
  }
  log.file.clear();
  log.path.clear();
}

bool gf_logIsOpen() {
  LogStream& log = lf_log();
  std::lock_guard lock(log.mutex);
  return log.file.is_open();
}

void gf_log(std::string_view text) { lf_writeLine({}, text); }

void gf_logError(std::string_view text) { lf_writeLine(kErrorPrefix, text); }

void gf_logIndented(std::string_view text) { lf_writeLine(kIndent, text); }

void gf_logIfActive(const std::string& text) {
  if (g_stopRequested.load() || g_exitRequested.load()) {
    return;
  }
  lf_writeLine({}, text);
}

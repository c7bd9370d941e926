// The worker thread: one per start or restart, started by WM_APP+1. It checks where it runs, runs
// the start-up and one run, and always ends in the closing sequence, which posts the next
// WM_APP+1 (restart) or WM_APP+2 (quit). Its exception handlers turn every failure of the
// start-up or the run into SYSTEM ERROR with the error shown in the window.
#include <fmt/format.h>

#include <filesystem>
#include <new>
#include <stdexcept>

#include "foundation/errors.h"
#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "platform/paths.h"
#include "shell/shell.h"
#include "shell/worker_seams.h"

std::jthread g_workerThread;
std::atomic<bool> g_restarting{false};

namespace {

constexpr int kNotInProgramFolder = 41;
constexpr int kProgramFolderNotWritable = 44;

// Everything the program writes lives in its folder: a read-only or full one would only show
// later as some download or file that failed, so it is named at once.
void lf_checkProgramFolderWritable() {
  const std::filesystem::path folder = std::filesystem::current_path();
  const std::string why = gf_folderWriteError(folder);
  if (why.empty()) return;
  std::string text =
      fmt::format("The program folder {} cannot be written: {}", gf_pathToUtf8(folder), why);
  const std::filesystem::path log = gf_logPath();
  if (!log.empty() && std::filesystem::absolute(log).parent_path() != folder) {
    text += fmt::format(", see {}", gf_pathToUtf8(log));
  }
  throw qvb::UserErrorException(kProgramFolderNotWritable, text);
}

void lf_checkProgramFolder() {
  std::error_code error;
  const bool isFolder = std::filesystem::is_directory(g_docsDir, error);
  if (error && error != std::errc::no_such_file_or_directory) {
    throw std::filesystem::filesystem_error("status", g_docsDir, error);
  }
  if (!isFolder) {
    throw qvb::UserErrorException(kNotInProgramFolder,
                                  gf_withProgramName("{} must be run from the {} folder!"));
  }
  lf_checkProgramFolderWritable();
}

void lf_workerSteps() {
  lf_checkProgramFolder();
  lf_startup();
  if (lf_prepareRun()) g_workerSeams.run();
}

// A failure that ends the run with SYSTEM ERROR, unless a stop was requested before.
void lf_systemError(const std::string& text) {
  gf_showError(text);
  gf_requestStop(kExitSystemError, 0);
}

}  // namespace

void lf_startWorker() {
  if (g_workerThread.joinable()) g_workerThread.join();  // it has posted its last message
  g_workerThread = std::jthread(lf_worker);
}

void lf_stopWorker() {
  gf_requestExit();
  if (g_workerThread.joinable()) g_workerThread.join();
}

void lf_worker() {
  gf_markWorkerThread();
  try {
    lf_workerSteps();
  } catch (const qvb::UserErrorException& e) {
    gf_showError(e.what());
    gf_forceStop(kExitSystemError, 0);
  } catch (const fmt::format_error& e) {
    gf_showError(fmt::format("std::format error: {}", e.what()));
    lf_systemError(e.what());
  } catch (const std::bad_alloc& e) {
    lf_systemError(e.what());
  } catch (const std::out_of_range& e) {
    lf_systemError(e.what());
  } catch (const std::runtime_error& e) {
    lf_systemError(e.what());
  } catch (const std::exception& e) {
    lf_systemError(e.what());
  } catch (...) {
    gf_showError("Unknown exception");
    gf_forceStop(kExitSystemError, 0);
  }
  lf_closingDown();
}

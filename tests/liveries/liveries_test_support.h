#pragma once
// Shared pieces of the livery tests: a temporary working folder with an open log, a local HTTP
// download server, and the reset of the database tables between tests.

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace liveries_test {

// Makes a fresh temporary folder the working folder (with "input" in it), opens Log.txt there;
// on destruction closes the log, goes back and removes the folder.
class ScopedWorkDir {
 public:
  ScopedWorkDir();
  ~ScopedWorkDir();
  ScopedWorkDir(const ScopedWorkDir&) = delete;
  ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

  const std::filesystem::path& path() const { return dir_; }
  // Everything written to Log.txt so far.
  std::string log() const;

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
};

// python3 -m http.server on 127.0.0.1 and a free port over a folder of its own; sets
// ZENDRIK_DOWNLOAD_URL to it while it lives.
class LocalHttpServer {
 public:
  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  bool running() const { return pid_ > 0; }

 private:
  std::filesystem::path folder_;
  pid_t pid_ = -1;
};

// Empties every database table and zeroes the computed values.
void resetDbaseTables();

// Writes bytes to a file as they stand.
void writeBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace liveries_test

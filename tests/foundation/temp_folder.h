// A fresh temporary folder that becomes the working folder for one test, and small file helpers.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "platform/files_test_support.h"

class TempWorkingFolder {
 public:
  TempWorkingFolder() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir_.path());
  }
  // The working folder changes back before the folder is removed with the member.
  ~TempWorkingFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  TempWorkingFolder(const TempWorkingFolder&) = delete;
  TempWorkingFolder& operator=(const TempWorkingFolder&) = delete;

  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  std::filesystem::path previous_;
  platform_test::TempDir dir_;
};

// A folder that this process cannot write in while the guard lives: its write permissions are
// taken away and, for a user who writes anyway (root), it is made immutable too. made() is false
// where neither works (on Windows, or without the right to set the attribute): tests skip then.
class UnwritableFolder {
 public:
  explicit UnwritableFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
#ifndef _WIN32
    namespace fs = std::filesystem;
    fs::permissions(folder_,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (writable()) immutable_ = setImmutable(true);
#endif
    made_ = !writable();
  }
  ~UnwritableFolder() {
#ifndef _WIN32
    if (immutable_) setImmutable(false);
    std::error_code ignored;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ignored);
#endif
  }
  UnwritableFolder(const UnwritableFolder&) = delete;
  UnwritableFolder& operator=(const UnwritableFolder&) = delete;

  bool made() const { return made_; }

 private:
  bool writable() const {
    const std::filesystem::path probe = folder_ / "probe.tmp";
    const bool opened = std::ofstream(probe).is_open();
    std::error_code ignored;
    std::filesystem::remove(probe, ignored);
    return opened;
  }
#ifndef _WIN32
  bool setImmutable(bool on) const {
    const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
  }
#endif

  std::filesystem::path folder_;
  bool immutable_ = false;
  bool made_ = false;
};

inline std::vector<std::string> gf_testReadLines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

inline std::string gf_testReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void gf_testWriteFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
}

inline bool gf_testHasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A fresh temporary folder that becomes the working folder for one test, and small file helpers.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

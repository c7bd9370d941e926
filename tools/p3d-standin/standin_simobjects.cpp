// Reads the titles of installed aircraft from aircraft.cfg files (UTF-8, with or without BOM,
// or UTF-16 with BOM).
#include "standin_simobjects.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/paths.h"
#include "standin_world.h"

namespace p3d {

namespace {

void lf_appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string lf_toUtf8(const std::string& raw) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(raw[i]); };
  if (raw.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) return raw.substr(3);
  const bool le = raw.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE;
  const bool be = raw.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF;
  if (!le && !be) return raw;
  std::string out;
  for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
    char32_t c = le ? (b(i) | (b(i + 1) << 8)) : ((b(i) << 8) | b(i + 1));
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < raw.size()) {
      const char32_t lo = le ? (b(i + 2) | (b(i + 3) << 8)) : ((b(i + 2) << 8) | b(i + 3));
      c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
      i += 2;
    }
    lf_appendUtf8(out, c);
  }
  return out;
}

std::string lf_trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

}  // namespace

std::set<std::string> gf_readInstalledTitles(const std::string& simobjectsDir) {
  std::set<std::string> titles;
  std::error_code ec;
  namespace fs = std::filesystem;
  for (fs::recursive_directory_iterator it(gf_pathFromUtf8(simobjectsDir), ec), end;
       !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec) ||
        gf_lower(gf_pathToUtf8(it->path().filename())) != "aircraft.cfg") {
      continue;
    }
    std::ifstream in(it->path(), std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "p3d-standin: cannot read %s\n", gf_pathToUtf8(it->path()).c_str());
      continue;
    }
    const std::string text = lf_toUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      const auto eq = line.find('=');
      if (eq == std::string::npos || gf_lower(lf_trim(line.substr(0, eq))) != "title") continue;
      std::string title = line.substr(eq + 1);
      if (const auto comment = title.find("//"); comment != std::string::npos) {
        title.resize(comment);
      }
      title = lf_trim(title);
      if (title.size() >= 2 && title.front() == '"' && title.back() == '"') {
        title = title.substr(1, title.size() - 2);
      }
      if (!title.empty()) titles.insert(gf_lower(title));
    }
  }
  if (ec) std::fprintf(stderr, "p3d-standin: %s: %s\n", simobjectsDir.c_str(), ec.message().c_str());
  return titles;
}

}  // namespace p3d

// Working folder and input cursor of the fuzz targets.
#include "fuzz_support.h"

#include <fmt/format.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace fuzz {

std::uint64_t g_sink = 0;

const fs::path& workFolder() {
  // Never destroyed: the removal at exit runs after the destructors of function statics made
  // before it was registered, and must still see the path.
  static const fs::path* s_folder = [] {
    std::random_device random;
    fs::path folder;
    do {
      folder = fs::temp_directory_path() / fmt::format("zendrik-fuzz-{:08x}", random());
    } while (!fs::create_directory(folder));
    fs::current_path(folder);
    // Removed when the process ends normally; a crashed run leaves it for inspection.
    std::atexit([] {
      std::error_code ignored;
      fs::current_path(fs::temp_directory_path(), ignored);
      fs::remove_all(workFolder(), ignored);
    });
    return new fs::path(folder);
  }();
  return *s_folder;
}

void writeFile(const fs::path& file, std::span<const std::uint8_t> bytes) {
  writeFile(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void writeFile(const fs::path& file, std::string_view bytes) {
  if (file.has_parent_path()) fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::uint8_t InputCursor::takeByte() {
  if (m_size == 0) return 0;
  --m_size;
  return m_data[m_size];
}

std::string_view InputCursor::take(std::size_t n) {
  const std::size_t taken = n < m_size ? n : m_size;
  const std::string_view piece(reinterpret_cast<const char*>(m_data), taken);
  m_data += taken;
  m_size -= taken;
  return piece;
}

std::string_view InputCursor::rest() {
  return take(m_size);
}

}  // namespace fuzz

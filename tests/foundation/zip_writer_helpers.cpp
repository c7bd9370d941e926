// Zip archives for the tests, written with libzip.
#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "http_server_helpers.h"

void gf_testWriteZip(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, std::string>>& entries, bool stored) {
  int error = 0;
  zip_t* archive = zip_open(file.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) throw std::runtime_error("zip_open failed");
  for (const auto& [name, content] : entries) {
    if (!name.empty() && name.back() == '/') {
      zip_dir_add(archive, name.substr(0, name.size() - 1).c_str(), ZIP_FL_ENC_UTF_8);
      continue;
    }
    // libzip reads the buffer when the archive is closed; keep a copy it frees itself.
    void* copy = content.empty() ? nullptr : std::malloc(content.size());
    if (copy != nullptr) std::memcpy(copy, content.data(), content.size());
    zip_source_t* source =
        zip_source_buffer(archive, copy, content.size(), copy != nullptr ? 1 : 0);
    const zip_int64_t index =
        source != nullptr ? zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      zip_source_free(source);
      zip_discard(archive);
      throw std::runtime_error("zip_file_add failed");
    }
    if (stored)
      zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  if (zip_close(archive) != 0) throw std::runtime_error("zip_close failed");
}

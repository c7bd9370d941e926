// Read-only zip archive access on libzip.
#include "foundation/zip_archive.h"

#include <zip.h>

#include <algorithm>
#include <utility>

#include "platform/paths.h"

namespace {

// Checks that the entry still names the same item of the open archive.
bool lf_entryValid(zip_t* archive, const ZipEntry& entry) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive, entry.index, 0, &st) != 0) return false;
  return (st.valid & ZIP_STAT_NAME) != 0 && st.name != nullptr && entry.name == st.name;
}

int lf_fileError(zip_file_t* file) {
  const int code = zip_error_code_zip(zip_file_get_error(file));
  return code != ZIP_ER_OK ? code : ZIP_ER_READ;
}

}  // namespace

ZipArchive::ZipArchive(std::filesystem::path file) : m_path(std::move(file)) {}

ZipArchive::~ZipArchive() {
  close();
}

bool ZipArchive::open() {
  close();
  int error = ZIP_ER_OK;
  m_zip = zip_open(gf_pathToUtf8(m_path).c_str(), ZIP_RDONLY, &error);
  m_error = m_zip != nullptr ? ZIP_ER_OK : error;
  return m_zip != nullptr;
}

void ZipArchive::close() {
  if (m_zip != nullptr) {
    zip_discard(m_zip);  // read-only: nothing to write back
    m_zip = nullptr;
  }
}

std::string ZipArchive::errorText() const {
  switch (m_error) {
    case kZipNotOpen:
      return "archive not open";
    case kZipInvalidEntry:
      return "invalid entry";
    case kZipWriteFailed:
      return "output could not be written";
    case kZipSizeMismatch:
      return "entry size mismatch";
    default:
      break;
  }
  zip_error_t error;
  zip_error_init_with_code(&error, m_error);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

std::vector<ZipEntry> ZipArchive::getEntries() const {
  std::vector<ZipEntry> entries;
  if (m_zip == nullptr) return entries;
  const zip_int64_t count = zip_get_num_entries(m_zip, 0);
  entries.reserve(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)));
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(i), 0, &st) != 0) continue;
    if ((st.valid & ZIP_STAT_NAME) == 0 || st.name == nullptr) continue;
    ZipEntry entry;
    entry.name = st.name;
    entry.index = static_cast<std::uint64_t>(i);
    entry.size = (st.valid & ZIP_STAT_SIZE) != 0 ? st.size : 0;
    entries.push_back(std::move(entry));
  }
  return entries;
}

int ZipArchive::readContent(const ZipEntry& entry, std::ostream& out, std::size_t chunkBytes) {
  if (m_zip == nullptr) return m_error = kZipNotOpen;
  if (!lf_entryValid(m_zip, entry)) return m_error = kZipInvalidEntry;
  zip_file_t* file = zip_fopen_index(m_zip, entry.index, 0);
  if (file == nullptr) {
    const int code = zip_error_code_zip(zip_get_error(m_zip));
    return m_error = (code != ZIP_ER_OK ? code : ZIP_ER_OPEN);
  }
  std::vector<char> buffer(std::max<std::size_t>(chunkBytes, 1));
  std::uint64_t total = 0;
  int result = kZipOk;
  for (;;) {
    const zip_int64_t n = zip_fread(file, buffer.data(), buffer.size());
    if (n < 0) {  // also a CRC mismatch at the end of the entry
      result = lf_fileError(file);
      break;
    }
    if (n == 0) break;
    out.write(buffer.data(), static_cast<std::streamsize>(n));
    if (!out) {
      result = kZipWriteFailed;
      break;
    }
    total += static_cast<std::uint64_t>(n);
  }
  const int closeCode = zip_fclose(file);
  if (result == kZipOk && closeCode != ZIP_ER_OK) result = closeCode;
  if (result == kZipOk && total != entry.size) result = kZipSizeMismatch;
  m_error = result;
  return result;
}

std::optional<std::string> ZipArchive::readAsText(const ZipEntry& entry) {
  struct StringSink : std::streambuf {
    std::string text;
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      text.append(s, static_cast<std::size_t>(n));
      return n;
    }
    int_type overflow(int_type c) override {
      if (!traits_type::eq_int_type(c, traits_type::eof()))
        text.push_back(traits_type::to_char_type(c));
      return traits_type::not_eof(c);
    }
  };
  StringSink sink;
  sink.text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(entry.size, 1ull << 30)));
  std::ostream out(&sink);
  if (readContent(entry, out) != kZipOk) return std::nullopt;
  return std::move(sink.text);
}

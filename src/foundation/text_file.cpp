// Reading text files of any encoding, writing text files, and the strict UTF conversions.
#include "foundation/text_file.h"

#include <fmt/format.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "foundation/errors.h"
#include "foundation/file_helpers.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr const char* kTooLong = "Input string too long: size_t-length doesn't fit into int.";

void lf_dropCarriageReturn(std::string& line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
}

// Appends the lines of a narrow stream; returns the index of the first appended line. The
// stream is read in large pieces and cut at each '\n' as std::getline cuts it (no empty line
// after a last '\n'); each line is made once at its size, where getline grew it piece by piece.
std::size_t lf_readNarrowLines(std::istream& in, std::vector<std::string>& lines) {
  constexpr std::size_t kPieceBytes = 64 * 1024;
  const std::size_t first = lines.size();
  const auto piece = std::make_unique_for_overwrite<char[]>(kPieceBytes);
  std::string begun;  // a line that an earlier piece began
  auto addLine = [&lines](std::string line) {
    lf_dropCarriageReturn(line);
    lines.push_back(std::move(line));
  };
  while (in.read(piece.get(), static_cast<std::streamsize>(kPieceBytes)) || in.gcount() > 0) {
    const std::string_view text(piece.get(), static_cast<std::size_t>(in.gcount()));
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos;
         start = end + 1, end = text.find('\n', start)) {
      if (begun.empty()) {
        addLine(std::string(text.substr(start, end - start)));
      } else {
        addLine(std::move(begun.append(text.substr(start, end - start))));
        begun.clear();
      }
    }
    begun.append(text.substr(start));
  }
  if (!begun.empty()) addLine(std::move(begun));
  return first;
}

// The file's UTF-16 text: the byte order comes from the byte-order mark, which is consumed;
// without a mark the text is big-endian. A trailing odd byte is dropped with a log line.
WString lf_decodeUtf16(const std::string& bytes, const fs::path& file) {
  std::size_t pos = 0;
  bool littleEndian = false;
  if (bytes.size() >= 2) {
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (b0 == 0xFF && b1 == 0xFE) {
      littleEndian = true;
      pos = 2;
    } else if (b0 == 0xFE && b1 == 0xFF) {
      pos = 2;
    }
  }
  if ((bytes.size() - pos) % 2 != 0) {
    gf_log(
        fmt::format("incomplete UTF-16 character at the end of {} ignored", gf_pathToUtf8(file)));
  }
  WString text;
  text.reserve((bytes.size() - pos) / 2);
  for (; pos + 1 < bytes.size(); pos += 2) {
    const auto first = static_cast<unsigned char>(bytes[pos]);
    const auto second = static_cast<unsigned char>(bytes[pos + 1]);
    text.push_back(littleEndian ? static_cast<WCHAR>(first | (second << 8))
                                : static_cast<WCHAR>((first << 8) | second));
  }
  return text;
}

// The whole file's bytes in one read.
bool lf_readAllBytes(std::ifstream& in, std::string& bytes) {
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  in.seekg(0, std::ios::beg);
  bytes.resize(static_cast<std::size_t>(size));
  return size == 0 || static_cast<bool>(in.read(bytes.data(), size));
}

bool lf_readUtf16Stream(std::ifstream& in, const fs::path& file, std::vector<std::string>& lines) {
  std::string bytes;
  if (!lf_readAllBytes(in, bytes)) return false;
  try {
    gf_wideLinesToUtf8(lf_decodeUtf16(bytes, file), lines);
  } catch (const win32::Utf8ConversionException& e) {
    gf_showMessage(fmt::format("conversion from error from utf16 to utf8, code: {}", e.errorCode()),
                   true);
    return false;
  } catch (const std::runtime_error& e) {
    gf_showMessage(fmt::format("conversion from error from utf16 to utf8: {}", e.what()), true);
    return false;
  }
  return true;
}

bool lf_readUtf8BomStream(std::istream& in, std::vector<std::string>& lines) {
  const std::size_t first = lf_readNarrowLines(in, lines);
  // Only the first line of this file can carry the mark, and only a real one is removed.
  if (first < lines.size() && lines[first].starts_with(kUtf8Bom)) {
    lines[first].erase(0, kUtf8Bom.size());
  }
  return true;
}

// The lines of an open stream in the encoding of the code.
bool lf_readLinesOfStream(int code, std::ifstream& in, const fs::path& file,
                          std::vector<std::string>& lines) {
  switch (code) {
    case kTextUtf16Le:
    case kTextUtf16Be:
      return lf_readUtf16Stream(in, file, lines);
    case kTextUtf8Bom:
      return lf_readUtf8BomStream(in, lines);
    default:
      lf_readNarrowLines(in, lines);
      return true;
  }
}

// The encoding code of the first two bytes (fewer bytes: kTextAnsi).
int lf_encodingOfHead(const unsigned char* head, std::size_t count) {
  if (count < 2) return kTextAnsi;
  if (head[0] == 0xFF && head[1] == 0xFE) return kTextUtf16Le;
  if (head[0] == 0xFE && head[1] == 0xFF) return kTextUtf16Be;
  if (head[0] == 0xEF && head[1] == 0xBB) return kTextUtf8Bom;
  return kTextAnsi;
}

// A name for a temporary file beside file, unique within this process.
fs::path lf_tempPathFor(const fs::path& file) {
  static std::atomic<unsigned> s_counter{0};
  const auto thread = std::hash<std::thread::id>{}(std::this_thread::get_id());
  fs::path temp = file;
  temp += fmt::format(".{:x}-{}.tmp", thread & 0xffffff, s_counter.fetch_add(1));
  return temp;
}

// Writes through a temporary file that is renamed over the target once it is complete. "" when
// written, else the system's words for the failure (a full disk may show only in the flush).
template <typename Writer>
std::string lf_replaceFile(const fs::path& file, Writer&& write) {
  const fs::path temp = lf_tempPathFor(file);
  std::string why;
  {
    errno = 0;
    std::ofstream out(temp, std::ios::out | std::ios::trunc);
    if (!out) return gf_errnoText(errno, "the write failed");
    write(out);
    out.flush();
    if (!out.good()) why = gf_errnoText(errno, "the write failed");
  }
  std::error_code ec;
  if (why.empty()) {
    fs::rename(temp, file, ec);
    if (ec) why = ec.message();
  }
  if (!why.empty()) fs::remove(temp, ec);
  return why;
}

[[noreturn]] void lf_throwConversion(DWORD error, std::uint32_t direction, const char* invalid,
                                     const char* other) {
  throw win32::Utf8ConversionException(error == ERROR_NO_UNICODE_TRANSLATION ? invalid : other,
                                       error, direction);
}

// The length of the UTF-8 sequence that the byte starts; 0 for a byte that starts none.
std::size_t lf_utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC0 && lead < 0xE0) return 2;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  return 0;
}

// 8-bit lines (no mark, or a UTF-8 one) are kept as they stand, but one that is no UTF-8 breaks
// every message that shows it: the file is named once, at its first such line.
void lf_reportNonUtf8Line(const fs::path& file, const std::vector<std::string>& lines,
                          std::size_t first) {
  for (std::size_t i = first; i < lines.size(); ++i) {
    if (!gf_isUtf8(lines[i])) {
      gf_logError(fmt::format("{} line {} is not UTF-8 text, save the file as UTF-8",
                              gf_pathToUtf8(file), i - first + 1));
      return;
    }
  }
}

}  // namespace

int gf_textFileEncoding(const fs::path& file) {
  const WString name = Utf8ToUtf16(gf_pathToUtf8(file));
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    std::string text = fmt::format("cannot open file {} for character encoding, err: {}",
                                   gf_pathToUtf8(file), GetLastError());
    // The number is Windows' code, 5 for a locked file and a folder alike (and no errno): the
    // system's words say which it met.
    if (const std::string why = gf_fileReadError(file); !why.empty()) text += " (" + why + ")";
    gf_log(text);
    return kTextCannotOpen;
  }
  unsigned char head[2] = {0, 0};
  DWORD read = 0;
  const BOOL ok = ReadFile(handle, head, sizeof head, &read, nullptr);
  CloseHandle(handle);
  return ok ? lf_encodingOfHead(head, read) : kTextAnsi;
}

bool gf_readTextFileToStringVector(int code, const fs::path& file,
                                   std::vector<std::string>& lines) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  return lf_readLinesOfStream(code, in, file, lines);
}

bool gf_readTextFileOnce(const fs::path& file, std::vector<std::string>& lines, int& code) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    code = kTextCannotOpen;
    return false;
  }
  unsigned char head[2] = {0, 0};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  code = lf_encodingOfHead(head, static_cast<std::size_t>(in.gcount()));
  in.clear();
  in.seekg(0);
  return lf_readLinesOfStream(code, in, file, lines);
}

bool gf_readExtTextFileToStringVector(const fs::path& file, std::vector<std::string>& lines) {
  try {
    const int code = gf_textFileEncoding(file);
    if (code == kTextCannotOpen) return false;
    const std::size_t first = lines.size();
    const bool read = gf_readTextFileToStringVector(code, file, lines);
    if (code == kTextAnsi || code == kTextUtf8Bom) lf_reportNonUtf8Line(file, lines, first);
    return read;
  } catch (const std::exception& e) {
    // A failure, not an empty file: the lines read before it stay for callers that want them.
    gf_log(fmt::format("gf_readExtTextFileToStringVector {}", e.what()));
    return false;
  }
}

void gf_wideLinesToUtf8(std::basic_string_view<WCHAR> text, std::vector<std::string>& lines) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(u'\n', start);
    const std::size_t next = end == std::basic_string_view<WCHAR>::npos ? text.size() : end + 1;
    if (end == std::basic_string_view<WCHAR>::npos) end = text.size();
    std::basic_string_view<WCHAR> line = text.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    lines.push_back(Utf16ToUtf8(line));
    start = next;
  }
}

std::vector<std::string>* gf_readTextFile(TextFile& file, int reserve) {
  std::ifstream in(file.path, std::ios::binary);
  if (!in) return nullptr;
  if (reserve > 0) file.lines.reserve(static_cast<std::size_t>(reserve));
  lf_readNarrowLines(in, file.lines);
  return file.lines.empty() ? nullptr : &file.lines;
}

bool gf_writeStringToFile(const std::string& text, const fs::path& file, bool newline,
                          std::string* why) {
  const std::string failure = lf_replaceFile(file, [&](std::ofstream& out) {
    out << text;
    if (newline) out << '\n';
  });
  if (why != nullptr) *why = failure;
  return failure.empty();
}

bool gf_writeStringVectorToFile(const std::vector<std::string>& lines, const fs::path& file) {
  const std::string failure = lf_replaceFile(file, [&](std::ofstream& out) {
    for (const std::string& line : lines) out << line << '\n';
  });
  return failure.empty();
}

WString Utf8ToUtf16(std::string_view utf8) {
  if (utf8.empty()) return {};
  if (utf8.size() > static_cast<std::size_t>(INT_MAX)) throw std::overflow_error(kTooLong);
  const int length = static_cast<int>(utf8.size());
  const int units =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (units == 0) {
    lf_throwConversion(GetLastError(), win32::Utf8ConversionException::kFromUtf8,
                       "Invalid UTF-8 sequence found in input string.",
                       "Cannot get result string length when converting from UTF-8 to UTF-16 "
                       "(MultiByteToWideChar failed).");
  }
  WString result(static_cast<std::size_t>(units), WCHAR{0});
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, result.data(),
                          units) == 0) {
    lf_throwConversion(GetLastError(), win32::Utf8ConversionException::kFromUtf8,
                       "Invalid UTF-8 sequence found in input string.",
                       "Cannot convert from UTF-8 to UTF-16 (MultiByteToWideChar failed).");
  }
  return result;
}

std::string Utf16ToUtf8(std::basic_string_view<WCHAR> utf16) {
  if (utf16.empty()) return {};
  if (utf16.size() > static_cast<std::size_t>(INT_MAX)) throw std::overflow_error(kTooLong);
  const int length = static_cast<int>(utf16.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16.data(), length,
                                        nullptr, 0, nullptr, nullptr);
  if (bytes == 0) {
    lf_throwConversion(GetLastError(), win32::Utf8ConversionException::kFromUtf16,
                       "Invalid UTF-16 sequence found in input string.",
                       "Cannot get result string length when converting from UTF-16 to UTF-8 "
                       "(WideCharToMultiByte failed).");
  }
  std::string result(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16.data(), length, result.data(), bytes,
                          nullptr, nullptr) == 0) {
    lf_throwConversion(GetLastError(), win32::Utf8ConversionException::kFromUtf16,
                       "Invalid UTF-16 sequence found in input string.",
                       "Cannot convert from UTF-16 to UTF-8 (WideCharToMultiByte failed).");
  }
  return result;
}

bool gf_isUtf8(std::string_view text) {
  if (text.empty()) return true;
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return false;
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                             static_cast<int>(text.size()), nullptr, 0) != 0;
}

std::string gf_displayableUtf8(std::string_view text) {
  if (gf_isUtf8(text)) return std::string(text);
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = lf_utf8SequenceLength(static_cast<unsigned char>(text[at]));
    if (length != 0 && at + length <= text.size() && gf_isUtf8(text.substr(at, length))) {
      shown.append(text.substr(at, length));
      at += length;
    } else {
      shown += '?';
      ++at;
    }
  }
  return shown;
}

// UTF-8 <-> UTF-16 conversions behind MultiByteToWideChar / WideCharToMultiByte.
// Pure functions; any thread.
#include <cstring>
#include <optional>

#include "platform/win32_text.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool lf_isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes one UTF-8 sequence at `pos`. Returns the code point and advances `pos`; on an
// invalid sequence returns nothing and advances past the maximal invalid subpart.
std::optional<char32_t> lf_decodeUtf8(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int length = 0;
  char32_t value = 0;
  unsigned char low = 0x80;  // the allowed range of the second byte (no overlongs/surrogates)
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    ++pos;
    return std::nullopt;
  }
  std::size_t next = pos + 1;
  for (int i = 1; i < length; ++i, ++next) {
    if (next >= text.size()) {
      pos = next;
      return std::nullopt;
    }
    const auto byte = static_cast<unsigned char>(text[next]);
    const bool inRange = i == 1 ? (byte >= low && byte <= high) : lf_isContinuation(byte);
    if (!inRange) {
      pos = next;
      return std::nullopt;
    }
    value = (value << 6) | (byte & 0x3F);
  }
  pos = next;
  return value;
}

// Decodes one UTF-16 code point; nothing for a lone surrogate (advancing by one unit).
std::optional<char32_t> lf_decodeUtf16(std::u16string_view text, std::size_t& pos) {
  const char16_t unit = text[pos++];
  if (unit < 0xD800 || unit > 0xDFFF) return unit;
  if (unit >= 0xDC00 || pos >= text.size()) return std::nullopt;
  const char16_t trail = text[pos];
  if (trail < 0xDC00 || trail > 0xDFFF) return std::nullopt;
  ++pos;
  return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (trail - 0xDC00);
}

void lf_appendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void lf_appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Converts; false when `strict` and the input holds an invalid sequence.
bool lf_utf8ToUtf16(std::string_view in, bool strict, std::u16string& out) {
  out.reserve(in.size());
  for (std::size_t pos = 0; pos < in.size();) {
    const auto cp = lf_decodeUtf8(in, pos);
    if (!cp && strict) return false;
    lf_appendUtf16(out, cp.value_or(kReplacement));
  }
  return true;
}

bool lf_utf16ToUtf8(std::u16string_view in, bool strict, std::string& out) {
  out.reserve(in.size() * 3 / 2);
  for (std::size_t pos = 0; pos < in.size();) {
    const auto cp = lf_decodeUtf16(in, pos);
    if (!cp && strict) return false;
    lf_appendUtf8(out, cp.value_or(kReplacement));
  }
  return true;
}

bool lf_knownCodePage(UINT codePage) {
  return codePage == CP_UTF8 || codePage == CP_ACP;
}

std::size_t lf_lengthUtf16(LPCWSTR text) {
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

// Copies a finished conversion into the caller's buffer with the Win32 return contract.
template <typename Char>
int lf_deliver(const std::basic_string<Char>& result, Char* dst, int dstUnits) {
  constexpr std::size_t kIntMax = 0x7fffffff;
  if (result.size() > kIntMax) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int needed = static_cast<int>(result.size());
  if (dstUnits == 0) return needed;
  if (dstUnits < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(dst, result.data(), result.size() * sizeof(Char));
  return needed;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dst,
                        int dstChars) {
  if (!lf_knownCodePage(codePage) || src == nullptr || srcBytes == 0 || srcBytes < -1 ||
      dstChars < 0 || (dstChars > 0 && dst == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((flags & ~MB_ERR_INVALID_CHARS) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  // -1: the text and its terminating NUL, which is converted too.
  const std::size_t bytes =
      srcBytes == -1 ? std::strlen(src) + 1 : static_cast<std::size_t>(srcBytes);
  std::u16string result;
  if (!lf_utf8ToUtf16(std::string_view(src, bytes), (flags & MB_ERR_INVALID_CHARS) != 0, result)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return lf_deliver(result, dst, dstChars);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcChars, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefaultChar) {
  if (!lf_knownCodePage(codePage) || src == nullptr || srcChars == 0 || srcChars < -1 ||
      dstBytes < 0 || (dstBytes > 0 && dst == nullptr) || defaultChar != nullptr ||
      usedDefaultChar != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((flags & ~WC_ERR_INVALID_CHARS) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const std::size_t units =
      srcChars == -1 ? lf_lengthUtf16(src) + 1 : static_cast<std::size_t>(srcChars);
  std::string result;
  if (!lf_utf16ToUtf8(std::u16string_view(src, units), (flags & WC_ERR_INVALID_CHARS) != 0,
                      result)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return lf_deliver(result, dst, dstBytes);
}

std::string gf_toUtf8(std::u16string_view text) {
  std::string out;
  lf_utf16ToUtf8(text, false, out);
  return out;
}

WString gf_toUtf16(std::string_view text) {
  std::u16string out;
  lf_utf8ToUtf16(text, false, out);
  return out;
}

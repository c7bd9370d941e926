// UTF-8 <-> UTF-16 conversions: round trips, strict refusal with error 1113, the buffer
// contract, and a sweep over every code point checked against the C library's iconv.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

// Converts with the two-call pattern (length, then text); nothing on failure.
std::optional<WString> toUtf16(const std::string& text, DWORD flags = MB_ERR_INVALID_CHARS) {
  const int length =
      MultiByteToWideChar(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length == 0) return std::nullopt;
  WString out(static_cast<std::size_t>(length), u'\0');
  const int written = MultiByteToWideChar(CP_UTF8, flags, text.data(),
                                          static_cast<int>(text.size()), out.data(), length);
  if (written != length) return std::nullopt;
  return out;
}

std::optional<std::string> toUtf8(const WString& text, DWORD flags = WC_ERR_INVALID_CHARS) {
  const int length = WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (length == 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(length), '\0');
  const int written =
      WideCharToMultiByte(CP_UTF8, flags, text.data(), static_cast<int>(text.size()), out.data(),
                          length, nullptr, nullptr);
  if (written != length) return std::nullopt;
  return out;
}

TEST(TextConversion, ConvertsBothWaysExactly) {
  // Every scalar value is swept against iconv below; these add the lengths the sweep leaves out.
  const struct {
    const char* name;
    std::string utf8;
    WString utf16;
  } cases[] = {
      {"surrogatePair", "\xF0\x9D\x84\x9E", u"\U0001D11E"},
      {"embeddedNul", std::string("a\0b", 3), WString(u"a\0b", 3)},
      {"mixed", "Z\xC3\xBCrich \xF0\x9F\x9B\xAB EDDF", u"Z\u00FCrich \U0001F6EB EDDF"}};
  for (const auto& c : cases) {
    EXPECT_EQ(toUtf16(c.utf8), c.utf16) << c.name << ": error " << GetLastError();
    EXPECT_EQ(toUtf8(c.utf16), c.utf8) << c.name << ": error " << GetLastError();
  }
}

struct Invalid {
  const char* name;
  std::string bytes;
};

TEST(TextConversion, InvalidUtf8FailsStrictlyWith1113AndLenientReplaces) {
  const Invalid cases[] = {{"overlongSlash", "a\xC0\xAF"},
                           {"overlongThreeByte", "\xE0\x80\xAF"},
                           {"encodedSurrogate", "\xED\xA0\x80"},
                           {"aboveMaximum", "\xF4\x90\x80\x80"},
                           {"truncatedAtEnd", "ok\xE2\x82"},
                           {"strayContinuation", "\x80z"},
                           {"byteFF", "\xFF"},
                           {"leadThenAscii", "\xC3(x"}};
  for (const auto& [name, bytes] : cases) {
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                  static_cast<int>(bytes.size()), nullptr, 0),
              0)
        << name;
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION) << name;
    auto lenient = toUtf16(bytes, 0);
    ASSERT_TRUE(lenient.has_value()) << name;
    EXPECT_NE(lenient->find(u'\uFFFD'), WString::npos) << name;
  }
}

TEST(TextConversion, LoneSurrogatesFailStrictlyWith1113) {
  const WString cases[] = {WString(1, u'\xD800'), WString(u"ab") + u'\xDC00',
                           WString(1, u'\xD83D') + u'x',
                           WString(1, u'\xDE00') + WString(1, u'\xD83D')};
  for (const WString& text : cases) {
    SetLastError(0);
    EXPECT_FALSE(toUtf8(text).has_value());
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    auto lenient = toUtf8(text, 0);
    ASSERT_TRUE(lenient.has_value());
    EXPECT_NE(lenient->find("\xEF\xBF\xBD"), std::string::npos);
  }
}

TEST(TextConversion, BufferContractMatchesWin32) {
  // -1 converts the terminating NUL too.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
  WCHAR small[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, small, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0x1, "abc", 3, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
  char defaultChar = '?';
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"abc", 3, nullptr, 0, &defaultChar, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u20AC", -1, nullptr, 0, nullptr, nullptr), 4);
}

// Every scalar value, in one text, against glibc's converter.
TEST(TextConversion, EveryCodePointAgreesWithIconv) {
  std::u32string all;
  for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp < 0xD800 || cp > 0xDFFF) all.push_back(cp);
  }
  iconv_t toUtf8Conv = iconv_open("UTF-8", "UTF-32LE");
  iconv_t toUtf16Conv = iconv_open("UTF-16LE", "UTF-32LE");
  ASSERT_NE(toUtf8Conv, reinterpret_cast<iconv_t>(-1));
  ASSERT_NE(toUtf16Conv, reinterpret_cast<iconv_t>(-1));
  auto run = [&](iconv_t conv, std::size_t unitsOut) {
    std::vector<char> out(all.size() * unitsOut);
    char* in = reinterpret_cast<char*>(all.data());
    std::size_t inLeft = all.size() * sizeof(char32_t);
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    EXPECT_NE(iconv(conv, &in, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1));
    out.resize(out.size() - outLeft);
    return out;
  };
  const std::vector<char> expectedUtf8 = run(toUtf8Conv, 4);
  const std::vector<char> expectedUtf16Bytes = run(toUtf16Conv, 4);
  iconv_close(toUtf8Conv);
  iconv_close(toUtf16Conv);
  WString expectedUtf16(expectedUtf16Bytes.size() / 2, u'\0');
  std::memcpy(expectedUtf16.data(), expectedUtf16Bytes.data(), expectedUtf16Bytes.size());
  const std::string utf8(expectedUtf8.begin(), expectedUtf8.end());

  auto wide = toUtf16(utf8);
  ASSERT_TRUE(wide.has_value());
  EXPECT_TRUE(*wide == expectedUtf16);
  auto narrow = toUtf8(expectedUtf16);
  ASSERT_TRUE(narrow.has_value());
  EXPECT_TRUE(*narrow == utf8);
}

TEST(TextConversion, LenientHelpersNeverFail) {
  EXPECT_EQ(gf_toUtf8(u"Gen\u00E8ve"), "Gen\xC3\xA8ve");
  EXPECT_EQ(gf_toUtf16("Gen\xC3\xA8ve"), u"Gen\u00E8ve");
  EXPECT_EQ(gf_toUtf16("a\xFF"), u"a\uFFFD");
  EXPECT_EQ(gf_toUtf8(WString(1, u'\xDC00')), "\xEF\xBF\xBD");
  EXPECT_TRUE(gf_toUtf8(u"").empty());
}

}  // namespace

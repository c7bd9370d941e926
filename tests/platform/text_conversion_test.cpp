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

struct RoundTrip {
  const char* name;
  std::string utf8;
  WString utf16;
};

class TextRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(TextRoundTrip, ConvertsBothWaysExactly) {
  const RoundTrip& c = GetParam();
  auto wide = toUtf16(c.utf8);
  ASSERT_TRUE(wide.has_value()) << "error " << GetLastError();
  EXPECT_EQ(*wide, c.utf16);
  auto narrow = toUtf8(c.utf16);
  ASSERT_TRUE(narrow.has_value()) << "error " << GetLastError();
  EXPECT_EQ(*narrow, c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextRoundTrip,
    ::testing::Values(
        RoundTrip{"ascii", "SimObjects\\Airplanes", u"SimObjects\\Airplanes"},
        RoundTrip{"latin", "Caf\xC3\xA9 d'\xC3\x89t\xC3\xA9", u"Caf\u00E9 d'\u00C9t\u00E9"},
        RoundTrip{"euro", "\xE2\x82\xAC 5", u"\u20AC 5"},
        RoundTrip{"surrogatePair", "\xF0\x9D\x84\x9E", u"\U0001D11E"},
        RoundTrip{"highestCodePoint", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        RoundTrip{"embeddedNul", std::string("a\0b", 3), WString(u"a\0b", 3)},
        RoundTrip{"mixed", "Z\xC3\xBCrich \xF0\x9F\x9B\xAB EDDF", u"Z\u00FCrich \U0001F6EB EDDF"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct Invalid {
  const char* name;
  std::string bytes;
};

class InvalidUtf8 : public ::testing::TestWithParam<Invalid> {};

TEST_P(InvalidUtf8, StrictFailsWith1113AndLenientReplaces) {
  const std::string& bytes = GetParam().bytes;
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                static_cast<int>(bytes.size()), nullptr, 0),
            0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  auto lenient = toUtf16(bytes, 0);
  ASSERT_TRUE(lenient.has_value());
  EXPECT_NE(lenient->find(u'\uFFFD'), WString::npos);
}

INSTANTIATE_TEST_SUITE_P(Sequences, InvalidUtf8,
                         ::testing::Values(Invalid{"overlongSlash", "a\xC0\xAF"},
                                           Invalid{"overlongThreeByte", "\xE0\x80\xAF"},
                                           Invalid{"encodedSurrogate", "\xED\xA0\x80"},
                                           Invalid{"aboveMaximum", "\xF4\x90\x80\x80"},
                                           Invalid{"truncatedAtEnd", "ok\xE2\x82"},
                                           Invalid{"strayContinuation", "\x80z"},
                                           Invalid{"byteFF", "\xFF"},
                                           Invalid{"leadThenAscii", "\xC3(x"}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

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

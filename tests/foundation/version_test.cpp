// Program version: text and JSON forms, partial results, ordering.
#include "foundation/version.h"

#include <gtest/gtest.h>

#include <charconv>
#include <random>
#include <regex>
#include <string>

namespace {

struct VersionCase {
  const char* text;
  Version expected;
};

TEST(VersionTest, ParsesTextAndJsonForms) {
  const std::vector<VersionCase> cases{
      {"10.10.9", {10, 10, 9}},
      {"1x2y3", {1, 2, 3}},
      {"10-10-9", {10, 10, 9}},
      {"12345", {1, 3, 5}},  // each separator matches any character
      {"123456", {12, 4, 6}},
      {"1\n2.3", {0, 0, 0}},  // but not a line end
      {"1..2.3", {0, 0, 0}},
      {"10.10.9\n", {0, 0, 0}},
      {"1.2", {0, 0, 0}},
      {"1.2.3.4", {0, 0, 0}},
      {"v1.2.3", {0, 0, 0}},
      {"1.2.3 beta", {0, 0, 0}},
      {"", {0, 0, 0}},
      {"99999999999.1.2", {0, 0, 0}},    // first number overflows
      {"1.99999999999.2", {1, 0, 0}},    // the numbers before the overflow stay
      {R"({"major": 10, "minor": 11, "patch": 0})", {10, 11, 0}},
      {R"({"major": 10, "minor": 11})", {10, 11, 0}},
      {R"({"major": 10, "minor": "eleven", "patch": 3})", {10, 0, 0}},
      {R"({"patch": 4})", {0, 0, 4}},
      {R"([10, 11, 0])", {0, 0, 0}},
      {R"({"major": 10, "minor": )", {0, 0, 0}},
      {R"({"major": 1e30})", {0, 0, 0}},
      {"\xff\xfe garbage", {0, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Version(c.text), c.expected) << c.text;
  }
}

// The dotted form as the regular expression engine reads it, for short texts.
Version lf_regexVersion(const std::string& text) {
  static const std::regex kDotted(R"((\d+).(\d+).(\d+))", std::regex::ECMAScript);
  std::smatch groups;
  Version v;
  if (!std::regex_match(text, groups, kDotted)) return v;
  std::int32_t* parts[] = {&v.major, &v.minor, &v.patch};
  for (int i = 0; i < 3; ++i) {
    const std::string digits = groups[i + 1].str();
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), *parts[i]);
    if (ec != std::errc{}) {
      *parts[i] = 0;
      break;
    }
  }
  return v;
}

TEST(VersionTest, DottedTextsSplitAsTheRegularExpressionDoes) {
  std::mt19937 rng(20261206);
  const std::string alphabet = "0123456789.x\n\r-";
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(1, 12);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int n = length(rng); n > 0; --n) text.push_back(alphabet[pick(rng)]);
    // Without a '{' no text here is a JSON object, so only the dotted form can give a version.
    EXPECT_EQ(Version(text), lf_regexVersion(text)) << text;
  }
}

TEST(VersionTest, LongGarbledTextsAreRefused) {
  // Digits with no way to end the match: every split of the digits would be tried by a naive
  // search. The answer must come at once, not after minutes.
  const std::string digits(200000, '7');
  EXPECT_EQ(Version(digits + "xx"), Version());
  EXPECT_EQ(Version(digits + "\n"), Version());
  EXPECT_EQ(Version("1.2." + digits + "x"), Version());
  EXPECT_EQ(Version(digits + ".1.2"), Version());          // the first number overflows
  EXPECT_EQ(Version("1.2." + digits), (Version{1, 2, 0}));  // the last one does
}

TEST(VersionTest, PrintsAndOrders) {
  EXPECT_EQ(g_version.toString(), "10.10.9");
  EXPECT_EQ(Version("10.10.9").toString(), "10.10.9");
  EXPECT_EQ(Version().toString(), "0.0.0");
  EXPECT_LT(Version("10.10.9"), Version("10.11.0"));
  EXPECT_GT(Version("10.10.9"), Version("10.9.99"));
  EXPECT_EQ(Version("10.10.9"), g_version);
  EXPECT_GT(Version("10.10.10"), g_version);
  EXPECT_LT(Version("9.99.99"), g_version);
  EXPECT_EQ(Version("-1.0.0"), Version());  // a sign is not a digit, and not JSON either
}

}  // namespace

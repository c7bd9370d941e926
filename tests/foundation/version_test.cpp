// Program version: text and JSON forms, partial results, ordering.
#include "foundation/version.h"

#include <gtest/gtest.h>

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

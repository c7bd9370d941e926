// Text and list helpers on ordinary, empty, blank-only and non-ASCII input; banners; Winsock texts.
#include "foundation/strings.h"

#include <gtest/gtest.h>

using Pieces = std::vector<std::string>;

namespace {

TEST(StringsTest, TrimRemovesOnlyTheWhitespaceSet) {
  EXPECT_EQ(gf_trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(gf_trim("   "), "");
  EXPECT_EQ(gf_trim(""), "");
  EXPECT_EQ(gf_trim("\v\fx\f"), "\v\fx\f");  // not in the set
  EXPECT_EQ(gf_trim(" Zürich "), "Zürich");
  EXPECT_EQ(gf_trim("\xa0x\xa0"), "\xa0x\xa0");  // a lone high byte is not a blank
}

TEST(StringsTest, SplitKeepsEmptyPiecesAndTrimsEach) {
  EXPECT_EQ(gf_split(" a , b ,", ','), (Pieces{"a", "b", ""}));
  EXPECT_EQ(gf_split("a,,b", ','), (Pieces{"a", "", "b"}));
  EXPECT_EQ(gf_split("", ','), Pieces{});
  EXPECT_EQ(gf_split("   ", ','), (Pieces{""}));
  EXPECT_EQ(gf_split(",", ','), (Pieces{"", ""}));
  EXPECT_EQ(gf_split("abc", ','), (Pieces{"abc"}));
  EXPECT_EQ(gf_split("é;ü ; ß", ';'), (Pieces{"é", "ü", "ß"}));
  EXPECT_EQ(gf_splitCommaTrimmed("x, y"), (Pieces{"x", "y"}));
  EXPECT_EQ(gf_commaList(" b, a ,b"), (std::list<std::string>{"b", "a", "b"}));
  EXPECT_TRUE(gf_commaList("").empty());
}

TEST(StringsTest, JoinAndBlankRemoval) {
  EXPECT_EQ(gf_join({}), "");
  EXPECT_EQ(gf_join({"a"}), "a");
  EXPECT_EQ(gf_join({"a", "", "b"}), "a,,b");
  for (auto [list, expected] :
       {std::pair<std::string, std::string>{" KLM , DLH,BAW ", "KLM,DLH,BAW"},
        {"KLM,DLH", "KLM,DLH"},
        {"   ", ""}}) {
    gf_removeBlanksInList(list);
    EXPECT_EQ(list, expected);
  }
}

TEST(StringsTest, UpperCaseComparisonIsAsciiOnly) {
  EXPECT_TRUE(gf_equalsUpper("KLM", "klm"));
  EXPECT_TRUE(gf_equalsUpper("KLM", "KlM"));
  EXPECT_FALSE(gf_equalsUpper("klm", "klm"));  // the first text must be upper case already
  EXPECT_TRUE(gf_equalsUpper("", ""));
  // Bytes of 0x80 and above keep their value: "é" (C3 A9) is not turned into anything else.
  EXPECT_TRUE(gf_equalsUpper("\xc3\xa9X", "\xc3\xa9x"));
  EXPECT_FALSE(gf_equalsUpper("\xc3\x89X", "\xc3\xa9x"));
  for (int c = -128; c < 128; ++c) {
    const char ch = static_cast<char>(c);
    const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
    EXPECT_EQ(gf_isAsciiAlpha(ch), letter) << c;
    EXPECT_EQ(gf_isAsciiDigit(ch), ch >= '0' && ch <= '9') << c;
    EXPECT_EQ(gf_asciiUpper(ch), (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch) << c;
  }
}

TEST(StringsTest, StarPatternsAndPathTags) {
  EXPECT_TRUE(gf_matchUpToStar("B73*", "B73"));
  EXPECT_FALSE(gf_matchUpToStar("B73*", "B738"));
  EXPECT_TRUE(gf_matchUpToStar("A320", "A320"));
  EXPECT_FALSE(gf_matchUpToStar("A320", "A32"));
  EXPECT_TRUE(gf_matchUpToStar("*", ""));
  EXPECT_EQ(gf_extractPath("  <Path>Addon Scenery\\EHAM</Path>  "), "Addon Scenery\\EHAM");
  EXPECT_EQ(gf_extractPath("<Path>C:\\x"), "C:\\x");
  EXPECT_EQ(gf_extractPath("</Path>x<Path>y"), "y");
  EXPECT_EQ(gf_extractPath("no tags"), "");
  EXPECT_EQ(gf_extractPath(""), "");
  EXPECT_EQ(gf_extractPath("<Path></Path>"), "");
}

TEST(StringsTest, PluralAndNumberTexts) {
  EXPECT_EQ(gf_plural(0), "s");
  EXPECT_EQ(gf_plural(std::size_t{1}), "");
  EXPECT_EQ(gf_plural(std::int64_t{-1}), "s");
  const std::pair<float, const char*> floats[] = {{3.0f, "3"}, {2.5f, "2.5"}, {-0.5f, "-0.5"},
                                                  {0.0f, "0"}, {24.0f, "24"}, {0.25f, "0.2"}};
  for (const auto& [value, text] : floats) EXPECT_EQ(gf_float2string(value), text) << value;
}

TEST(StringsTest, BannersAreCentredAndEvenlyLong) {
  const std::string opening = gf_banner(70, 0, true, false, "parameters");
  EXPECT_EQ(opening, "\n" + std::string(34, '*') + " parameters " + std::string(34, '*'));
  EXPECT_EQ(opening.size(), 81u);
  EXPECT_EQ(gf_banner(70, 10, false, true, ""), std::string(80, '*') + "\n");
  EXPECT_EQ(gf_banner(3, 0, false, false, ""), "****");  // odd totals are rounded up
  EXPECT_EQ(gf_banner(4, 0, false, false, "long title"), "long title");
}

TEST(StringsTest, WinsockErrorTexts) {
  EXPECT_EQ(gf_wsaErrorText(10061), "10061 Connection refused");
  EXPECT_EQ(gf_wsaErrorText(11004), "11004 No host data of that type was found");  // last entry
  EXPECT_EQ(gf_wsaErrorText(0), "0 Unknown errror code");
  EXPECT_EQ(gf_wsaErrorText(-5), "-5 Unknown errror code");
}

}  // namespace

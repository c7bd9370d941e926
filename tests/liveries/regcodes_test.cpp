// Regcode text files (line rules, encodings, which files are read) and the AIG registration
// codes downloaded from a local server.

#include <gtest/gtest.h>

#include <algorithm>

#include "fixtures/dbase_builder.h"
#include "foundation/download.h"
#include "foundation/file_names.h"
#include "liveries/liveries.h"
#include "liveries/liveries_test_support.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::ScopedWorkDir;
using liveries_test::writeBytes;

}  // namespace

void PrintTo(const RegcodeDef& d, std::ostream* os) {
  *os << "{" << d.title << ", [";
  for (const auto& r : d.regs) *os << r << " ";
  *os << "], " << (d.special ? "special" : "normal") << "}";
}

namespace {

struct LineCase {
  const char* name;
  const char* line;
  std::vector<RegcodeDef> defs;
  bool ok;
  const char* logLine;  // an error line expected, with {} for the file path; "" for none
};

void PrintTo(const LineCase& c, std::ostream* os) {
  *os << c.name;
}

const LineCase kLineCases[] = {
    {"OneCodeIsSpecial", "Title A;G-ABCD", {{"Title A", {"G-ABCD"}, true}}, true, ""},
    {"OneCodeSpecialWhateverTheThirdField",
     "Title A;G-ABCD;x",
     {{"Title A", {"G-ABCD"}, true}},
     true,
     ""},
    {"TwoCodesNormal",
     "Title B;G-ABCD,G-ABCE",
     {{"Title B", {"G-ABCD", "G-ABCE"}, false}},
     true,
     ""},
    {"TwoCodesHashSpecial",
     " Title C ; G-ABCE , G-ABCD ; # ",
     {{"Title C", {"G-ABCD", "G-ABCE"}, true}},
     true,
     ""},
    {"TwoCodesOtherThirdField",
     "Title D;G-ABCD,G-ABCE;x",
     {{"Title D", {"G-ABCD", "G-ABCE"}, false}},
     true,
     ""},
    {"ShortCodeDroppedDefinitionKept",
     "Title E;AB,G-ABCD",
     {{"Title E", {"G-ABCD"}, false}},
     false,
     "===> wrong regcode length \"AB\" in {}\n"},
    {"OnlyShortCode", "Title F;AB", {}, false, "===> wrong regcode length \"AB\" in {}\n"},
    {"EmptySecondField", "Title G;", {}, true, ""},
    {"EmptySecondFieldWithThird", "Title G; ;#", {}, true, ""},
    {"FourFields", "a;b;c;d", {}, false, "===> {}: wrong format \"a;b;c;d\"\n"},
    {"TitleAlone", "Title H", {{"Title H", {}, false}}, true, ""},
    {"RepeatedCode", "Title I;G-ABCD,G-ABCD", {{"Title I", {"G-ABCD"}, true}}, true, ""},
    {"DescendingCodes",
     "Title J;G-ZZZZ,G-MMMM,G-AAAA",
     {{"Title J", {"G-AAAA", "G-MMMM", "G-ZZZZ"}, false}},
     true,
     ""},
    {"NoCodeKept", "Title K;ABCDEFGHIJKLM,AB", {}, false, "===> {} ; regs empty? \n"},
    {"TwelveCharactersAllowed",
     "Title L;ABCDEFGHIJKL",
     {{"Title L", {"ABCDEFGHIJKL"}, true}},
     true,
     ""},
    {"BlankLine", "   ", {}, true, ""},
    {"CarriageReturn", "Title M;G-ABCD\r", {{"Title M", {"G-ABCD"}, true}}, true, ""},
};

class RegcodeLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(RegcodeLine, GivesItsDefinitionsAndMessages) {
  ScopedWorkDir work;
  const LineCase& c = GetParam();
  fs::create_directories("input/my_regcodes");
  const fs::path file = fs::path("input/my_regcodes") / "mine.txt";
  writeBytes(file, std::string(c.line) + "\n");

  std::vector<RegcodeDef> defs;
  EXPECT_EQ(gf_readRegcodeFiles("input/my_regcodes", defs), c.ok);
  EXPECT_EQ(defs, c.defs);
  const std::string log = work.log();
  if (*c.logLine) {
    std::string expected = c.logLine;
    expected.replace(expected.find("{}"), 2, file.string());
    EXPECT_NE(log.find(expected), std::string::npos) << log;
  } else {
    EXPECT_EQ(log.find("===>"), std::string::npos) << log;
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, RegcodeLine, ::testing::ValuesIn(kLineCases),
                         [](const auto& p) { return std::string(p.param.name); });

std::string utf16(const std::u16string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return bytes;
}

TEST(RegcodeFiles, EveryEncodingGivesTheSameDefinitions) {
  ScopedWorkDir work;
  const std::string utf8 = "Ünïcode Tïtle;D-ABCD\r\nSecond;G-EFGI,G-EFGH;#\r\n";
  const std::u16string text16 = u"Ünïcode Tïtle;D-ABCD\r\nSecond;G-EFGI,G-EFGH;#\r\n";
  const std::vector<RegcodeDef> expected = {{"Ünïcode Tïtle", {"D-ABCD"}, true},
                                            {"Second", {"G-EFGH", "G-EFGI"}, true}};
  const std::pair<const char*, std::string> files[] = {
      {"plain", utf8},
      {"bom", "\xEF\xBB\xBF" + utf8},
      {"le", utf16(text16, false)},
      {"be", utf16(text16, true)},
  };
  for (const auto& [name, bytes] : files) {
    const fs::path folder = fs::path("input") / name;
    fs::create_directories(folder);
    writeBytes(folder / "codes.txt", bytes);
    std::vector<RegcodeDef> defs;
    EXPECT_TRUE(gf_readRegcodeFiles(folder, defs)) << name;
    EXPECT_EQ(defs, expected) << name;
  }
}

TEST(RegcodeFiles, OnlyTextFilesDirectlyInTheFolder) {
  ScopedWorkDir work;
  const fs::path folder = "input/my_regcodes";
  fs::create_directories(folder / "sub.txt");
  writeBytes(folder / "a.txt", "From a\n");
  writeBytes(folder / "B.TXT", "From B\n");
  writeBytes(folder / "c.Txt", "From c\n");
  writeBytes(folder / "d.cfg", "From d\n");
  writeBytes(folder / "e.txt.bak", "From e\n");
  writeBytes(folder / "empty.txt", "");
  writeBytes(folder / "sub.txt" / "f.txt", "From f\n");

  std::vector<RegcodeDef> defs = {{"Earlier", {}, false}};
  EXPECT_TRUE(gf_readRegcodeFiles(folder, defs));
  std::vector<std::string> titles;
  for (const auto& d : defs) titles.push_back(d.title);
  std::sort(titles.begin(), titles.end());
  EXPECT_EQ(titles, (std::vector<std::string>{"Earlier", "From B", "From a", "From c"}));
  const std::string log = work.log();
  EXPECT_NE(log.find("Processing regcodes file \"" + (folder / "B.TXT").string() + "\"\n"),
            std::string::npos);
  EXPECT_EQ(log.find("d.cfg"), std::string::npos);
  EXPECT_NE(log.find("\n4 liveries read\n"), std::string::npos) << log;
}

TEST(RegcodeFiles, MissingFolderIsAnError) {
  ScopedWorkDir work;
  std::vector<RegcodeDef> defs;
  EXPECT_FALSE(gf_readRegcodeFiles("input/nowhere", defs));
  EXPECT_TRUE(defs.empty());
  EXPECT_NE(work.log().find("===> Error in reading regcode file input/nowhere, what: "),
            std::string::npos);
}

TEST(RegcodeFiles, BrokenUtf16IsReportedAndKeepsEarlierLines) {
  ScopedWorkDir work;
  fs::create_directories("input/my_regcodes");
  std::string bytes = utf16(u"Good;G-ABCD\n", false);
  bytes += std::string("\x00\xD8", 2);  // a lone high surrogate
  bytes += std::string("\n\x00", 2);
  writeBytes("input/my_regcodes/bad.txt", bytes);
  std::vector<RegcodeDef> defs;
  EXPECT_FALSE(gf_readRegcodeFiles("input/my_regcodes", defs));
  ASSERT_FALSE(defs.empty());
  EXPECT_EQ(defs.front().title, "Good");
}

class AigRegcodes : public ::testing::Test {
 protected:
  // Serves the archive, downloads and unpacks it as the livery processing does.
  void fetch(const std::vector<fixtures::AigLivery>& liveries,
             const std::vector<std::string>& raw = {}) {
    ASSERT_TRUE(server_.running());
    fixtures::writeAigRegcodesZip(server_.folder(), liveries, raw);
    ASSERT_TRUE(gf_downloadAndUnzip("AIG-regcodes.zip", g_aigRegcodesFile));
  }

  ScopedWorkDir work_;
  liveries_test::LocalHttpServer server_;
};

TEST_F(AigRegcodes, DefinitionsUnscrambledInOrder) {
  fetch({{"AIG Speedbird", {"G-EUPB", "G-EUPA", "G-EUPA"}, "true"},
         {"", {"G-XXXX"}, "true"},  // no title: skipped
         {"AIG Dont Use", {}, ""},
         {"AIG Lufthansa", {"D-AIBA"}, "0"},
         {"AIG Yes", {"N12A+"}, "Yes"}});
  std::vector<RegcodeDef> defs;
  ASSERT_EQ(gf_readAigRegcodes(g_aigRegcodesFile, defs), 1);
  const std::vector<RegcodeDef> expected = {{"AIG Speedbird", {"G-EUPA", "G-EUPB"}, true},
                                            {"AIG Dont Use", {}, false},
                                            {"AIG Lufthansa", {"D-AIBA"}, false},
                                            {"AIG Yes", {"N12A+"}, true}};
  EXPECT_EQ(defs, expected);
  EXPECT_NE(work_.log().find("4 liveries read from " + g_aigRegcodesFile.string() + "\n"),
            std::string::npos)
      << work_.log();
}

TEST_F(AigRegcodes, EmptyPiecesOfTheListAreNoRegistrations) {
  // Written as "<G-AAAA>,,<G-BBBB>" and "<G-CCCC>,": a doubled and a trailing comma.
  fetch({{"Doubled", {"G-AAAA", "", "G-BBBB"}, ""}, {"Trailing", {"G-CCCC", ""}, ""}});
  std::vector<RegcodeDef> defs;
  ASSERT_EQ(gf_readAigRegcodes(g_aigRegcodesFile, defs), 1);
  const std::vector<RegcodeDef> expected = {{"Doubled", {"G-AAAA", "G-BBBB"}, false},
                                            {"Trailing", {"G-CCCC"}, false}};
  EXPECT_EQ(defs, expected);
}

TEST_F(AigRegcodes, TwoOlderCopiesAreKept) {
  fetch({{"First", {"G-AAAA"}, ""}});
  std::vector<RegcodeDef> defs;
  ASSERT_EQ(gf_readAigRegcodes(g_aigRegcodesFile, defs), 1);
  fetch({{"Second", {"G-BBBB"}, ""}});
  ASSERT_EQ(gf_readAigRegcodes(g_aigRegcodesFile, defs), 1);
  EXPECT_TRUE(fs::exists("input/AIG-regcodes0.xml"));
  EXPECT_TRUE(fs::exists("input/AIG-regcodes00.xml"));
  EXPECT_TRUE(fs::exists(g_aigRegcodesFile));
  EXPECT_FALSE(fs::exists("AIG-regcodes.zip"));
  EXPECT_EQ(defs.size(), 2u);
}

TEST_F(AigRegcodes, MissingRootGivesNothing) {
  ASSERT_TRUE(server_.running());
  fixtures::writeZip(server_.folder() / "AIG-regcodes.zip", "x.xml",
                     "<other><livery title=\"T\"/></other>");
  ASSERT_TRUE(gf_downloadAndUnzip("AIG-regcodes.zip", g_aigRegcodesFile));
  std::vector<RegcodeDef> defs;
  EXPECT_EQ(gf_readAigRegcodes(g_aigRegcodesFile, defs), 1);
  EXPECT_TRUE(defs.empty());
  EXPECT_NE(work_.log().find("0 liveries read from "), std::string::npos);
}

TEST_F(AigRegcodes, UnreadableFile) {
  std::vector<RegcodeDef> defs;
  EXPECT_EQ(gf_readAigRegcodes("input/none.xml", defs), 0);
  EXPECT_NE(work_.log().find("===> Failed to load input/none.xml\n"), std::string::npos);
}

TEST_F(AigRegcodes, RegistrationTooLongEndsTheRead) {
  fetch({}, {"<livery title=\"Long\" reg=\"" + std::string(25, 'K') + "\"/>"});
  std::vector<RegcodeDef> defs;
  EXPECT_THROW(gf_readAigRegcodes(g_aigRegcodesFile, defs), std::out_of_range);
}

}  // namespace

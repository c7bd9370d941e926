// Regcode text files (line rules, which files are read, unreadable input) and the AIG
// registration codes downloaded from a local server. The encodings of the text files are
// covered with the served database in dbase_read_test.cpp.

#include <gtest/gtest.h>

#include <algorithm>

#include "fixtures/ai_package_writer.h"
#include "fixtures/dbase_builder.h"
#include "foundation/download.h"
#include "foundation/file_names.h"
#include "liveries/liveries.h"
#include "liveries/liveries_test_support.h"

namespace {

namespace fs = std::filesystem;
using fixtures::writeFileBytes;
using liveries_test::contains;
using liveries_test::LiveriesEnv;

}  // namespace

void PrintTo(const RegcodeDef& d, std::ostream* os) {
  *os << "{" << d.title << ", [";
  for (const auto& r : d.regs) *os << r << " ";
  *os << "], " << (d.special ? "special" : "normal") << "}";
}

namespace {

struct LineCase {
  const char* line;
  std::vector<RegcodeDef> defs;
  bool ok;
  const char* logLine;  // an error line expected, with {} for the file path; "" for none
};

// clang-format off
const LineCase kLineCases[] = {
    {"Title A;G-ABCD", {{"Title A", {"G-ABCD"}, true}}, true, ""},  // one code: special
    {"Title A;G-ABCD;x", {{"Title A", {"G-ABCD"}, true}}, true, ""},
    {"Title B;G-ABCD,G-ABCE", {{"Title B", {"G-ABCD", "G-ABCE"}, false}}, true, ""},
    {" Title C ; G-ABCE , G-ABCD ; # ", {{"Title C", {"G-ABCD", "G-ABCE"}, true}}, true, ""},
    {"Title D;G-ABCD,G-ABCE;x", {{"Title D", {"G-ABCD", "G-ABCE"}, false}}, true, ""},
    {"Title E;AB,G-ABCD", {{"Title E", {"G-ABCD"}, false}}, false,
     "===> wrong regcode length \"AB\" in {}\n"},
    {"Title F;AB", {}, false, "===> wrong regcode length \"AB\" in {}\n"},
    {"Title G;", {}, true, ""},
    {"Title G; ;#", {}, true, ""},
    {"a;b;c;d", {}, false, "===> {}: wrong format \"a;b;c;d\"\n"},
    {"Title H", {{"Title H", {}, false}}, true, ""},
    {"Title I;G-ABCD,G-ABCD", {{"Title I", {"G-ABCD"}, true}}, true, ""},
    {"Title J;G-ZZZZ,G-MMMM,G-AAAA", {{"Title J", {"G-AAAA", "G-MMMM", "G-ZZZZ"}, false}}, true,
     ""},
    {"Title K;ABCDEFGHIJKLM,AB", {}, false, "===> {} ; regs empty? \n"},
    {"Title L;ABCDEFGHIJKL", {{"Title L", {"ABCDEFGHIJKL"}, true}}, true, ""},
    {"   ", {}, true, ""},
    {"Title M;G-ABCD\r", {{"Title M", {"G-ABCD"}, true}}, true, ""},
};
// clang-format on

TEST(RegcodeFiles, EachLineGivesItsDefinitionsAndMessages) {
  for (const LineCase& c : kLineCases) {
    LiveriesEnv env;
    const fs::path file = g_myRegcodesDir / "mine.txt";
    writeFileBytes(file, std::string(c.line) + "\n");
    std::vector<RegcodeDef> defs;
    EXPECT_EQ(gf_readRegcodeFiles(g_myRegcodesDir, defs), c.ok) << c.line;
    EXPECT_EQ(defs, c.defs) << c.line;
    std::string expected = c.logLine;
    if (const auto at = expected.find("{}"); at != std::string::npos)
      expected.replace(at, 2, file.string());
    EXPECT_TRUE(*c.logLine ? contains(env.log(), expected) : !contains(env.log(), "===>"))
        << c.line << "\n"
        << env.log();
  }
}

TEST(RegcodeFiles, OnlyTextFilesDirectlyInTheFolder) {
  LiveriesEnv env;
  const fs::path folder = g_myRegcodesDir;
  fs::create_directories(folder / "sub.txt");
  for (const char* name : {"a.txt", "B.TXT", "c.Txt", "d.cfg", "e.txt.bak", "sub.txt/f.txt"})
    writeFileBytes(folder / name, std::string("From ") + name[0] + "\n");
  writeFileBytes(folder / "empty.txt", "");

  std::vector<RegcodeDef> defs = {{"Earlier", {}, false}};
  EXPECT_TRUE(gf_readRegcodeFiles(folder, defs));
  std::vector<std::string> titles;
  for (const auto& d : defs) titles.push_back(d.title);
  std::sort(titles.begin(), titles.end());
  EXPECT_EQ(titles, (std::vector<std::string>{"Earlier", "From B", "From a", "From c"}));
  const std::string log = env.log();
  EXPECT_TRUE(contains(log, "Processing regcodes file \"" + (folder / "B.TXT").string() + "\"\n"));
  EXPECT_FALSE(contains(log, "d.cfg"));
  EXPECT_TRUE(contains(log, "\n4 liveries read\n")) << log;
}

TEST(RegcodeFiles, MissingFolderAndBrokenUtf16AreReported) {
  LiveriesEnv env;
  std::vector<RegcodeDef> defs;
  EXPECT_FALSE(gf_readRegcodeFiles("input/nowhere", defs));
  EXPECT_TRUE(defs.empty());
  EXPECT_TRUE(contains(env.log(), "===> Error in reading regcode file input/nowhere, what: "));

  // A lone high surrogate after a good line: the error is reported, the earlier line kept.
  std::string bytes = fixtures::encodeText("Good;G-ABCD\n", fixtures::CfgEncoding::kUtf16Le);
  bytes += std::string("\x00\xD8\n\x00", 4);
  writeFileBytes(g_myRegcodesDir / "bad.txt", bytes);
  EXPECT_FALSE(gf_readRegcodeFiles(g_myRegcodesDir, defs));
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

  LiveriesEnv env_;
  liveries_test::DownloadServer server_;
};

TEST_F(AigRegcodes, DefinitionsUnscrambledInOrder) {
  // Empty pieces of a list ("<a>,,<b>" and a trailing comma) are no registrations.
  fetch({{"AIG Speedbird", {"G-EUPB", "G-EUPA", "G-EUPA"}, "true"},
         {"", {"G-XXXX"}, "true"},  // no title: skipped
         {"AIG Dont Use", {}, ""},
         {"AIG Lufthansa", {"D-AIBA"}, "0"},
         {"AIG Yes", {"N12A+"}, "Yes"},
         {"Doubled", {"G-AAAA", "", "G-BBBB"}, ""},
         {"Trailing", {"G-CCCC", ""}, ""}});
  std::vector<RegcodeDef> defs;
  ASSERT_EQ(gf_readAigRegcodes(g_aigRegcodesFile, defs), 1);
  const std::vector<RegcodeDef> expected = {
      {"AIG Speedbird", {"G-EUPA", "G-EUPB"}, true}, {"AIG Dont Use", {}, false},
      {"AIG Lufthansa", {"D-AIBA"}, false},          {"AIG Yes", {"N12A+"}, true},
      {"Doubled", {"G-AAAA", "G-BBBB"}, false},      {"Trailing", {"G-CCCC"}, false}};
  EXPECT_EQ(defs, expected);
  EXPECT_TRUE(contains(env_.log(), "6 liveries read from " + g_aigRegcodesFile.string() + "\n"))
      << env_.log();
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

TEST_F(AigRegcodes, ForeignUnreadableAndOverlongInput) {
  std::vector<RegcodeDef> defs;
  EXPECT_EQ(gf_readAigRegcodes("input/none.xml", defs), 0);
  EXPECT_TRUE(contains(env_.log(), "===> Failed to load input/none.xml\n"));

  ASSERT_TRUE(server_.running());
  fixtures::writeZip(server_.folder() / "AIG-regcodes.zip", "x.xml",
                     "<other><livery title=\"T\"/></other>");
  ASSERT_TRUE(gf_downloadAndUnzip("AIG-regcodes.zip", g_aigRegcodesFile));
  EXPECT_EQ(gf_readAigRegcodes(g_aigRegcodesFile, defs), 1);  // no root element: nothing
  EXPECT_TRUE(defs.empty());
  EXPECT_TRUE(contains(env_.log(), "0 liveries read from "));

  fetch({}, {"<livery title=\"Long\" reg=\"" + std::string(25, 'K') + "\"/>"});
  EXPECT_THROW(gf_readAigRegcodes(g_aigRegcodesFile, defs), std::out_of_range);
}

}  // namespace

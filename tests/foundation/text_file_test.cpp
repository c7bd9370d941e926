// Text files of every encoding, the text writers and the strict UTF conversions.
#include "foundation/text_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "settings_reset.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Text-mode files end their lines as the platform does.
#ifdef _WIN32
const std::string kEol = "\r\n";
#else
const std::string kEol = "\n";
#endif

namespace {

// UTF-16 bytes of a text given as code units, in either byte order, with a mark in front.
std::string lf_utf16Bytes(const std::u16string& text, bool littleEndian) {
  std::string bytes = littleEndian ? std::string("\xFF\xFE", 2) : std::string("\xFE\xFF", 2);
  for (char16_t unit : text) {
    const char lo = static_cast<char>(unit & 0xFF);
    const char hi = static_cast<char>(unit >> 8);
    bytes += littleEndian ? std::string{lo, hi} : std::string{hi, lo};
  }
  return bytes;
}

struct EncodedFile {
  const char* label;
  std::string bytes;
  int code;
  Lines lines;
};

// U+00E9, U+20AC and U+1F600 (a surrogate pair) in UTF-8.
const std::string kAccents = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";

std::vector<EncodedFile> lf_encodedFiles() {
  const std::u16string wide = u"[fltsim.0]\r\ntitle=caf\u00E9 \u20AC \U0001F600\r\n\r\nlast";
  return {
      {"plain 8-bit with CRLF", "a=1\r\nb=2\n", kTextAnsi, {"a=1", "b=2"}},
      {"UTF-8 with mark", "\xEF\xBB\xBFx=1\r\n" + kAccents + "\n", kTextUtf8Bom, {"x=1", kAccents}},
      {"UTF-16 LE",
       lf_utf16Bytes(wide, true),
       kTextUtf16Le,
       {"[fltsim.0]", "title=" + kAccents, "", "last"}},
      {"UTF-16 BE",
       lf_utf16Bytes(wide, false),
       kTextUtf16Be,
       {"[fltsim.0]", "title=" + kAccents, "", "last"}},
      {"empty", "", kTextAnsi, {}},
      {"one byte", "x", kTextAnsi, {"x"}},
  };
}

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override { gf_testResetRunState(); }
  TempWorkingFolder m_work;
};

}  // namespace

TEST_F(TextFileTest, EveryEncodingReadsIntoTheSameUtf8Lines) {
  for (const EncodedFile& file : lf_encodedFiles()) {
    SCOPED_TRACE(file.label);
    gf_testWriteFile("file with spaces.cfg", file.bytes);
    EXPECT_EQ(gf_textFileEncoding("file with spaces.cfg"), file.code);
    Lines lines;
    EXPECT_TRUE(gf_readExtTextFileToStringVector("file with spaces.cfg", lines));
    EXPECT_EQ(lines, file.lines);
  }
}

// Files are read in large pieces: lines and "\r\n" pairs that straddle a piece's end, empty
// lines and zero bytes come out as std::getline would cut them.
TEST_F(TextFileTest, NarrowLinesAreCutAsGetlineCutsThemAcrossLargeFiles) {
  std::string text;
  for (std::size_t n = 0; text.size() < 300 * 1024; ++n) {
    text += std::string(n * 37 % 211, static_cast<char>('a' + n % 26));
    if (n % 17 == 0) text += std::string(1, '\0');
    text += n % 3 == 0 ? "\r\n" : "\n";
  }
  // The first piece is 64 KiB: a line whose "\r\n" pair it splits.
  const std::string split = std::string(64 * 1024 - 1, 'x') + "\r\nnext\n";
  const std::string cases[] = {text, text + "tail without a line end\r", text + "\n\n", split};
  for (const std::string& bytes : cases) {
    gf_testWriteFile("large.cfg", bytes);
    Lines expected;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      expected.push_back(line);
    }
    Lines lines;
    EXPECT_TRUE(gf_readTextFileToStringVector(kTextAnsi, "large.cfg", lines));
    EXPECT_EQ(lines, expected);
  }
}

TEST_F(TextFileTest, MarkIsRemovedOnlyFromTheFirstLineOfThisFile) {
  gf_testWriteFile("a.cfg", "\xEF\xBB\xBF[General]\n\xEF\xBB\xBFsecond\n");
  Lines lines = {"earlier line", "\xEF\xBB\xBFkept as it was"};
  EXPECT_TRUE(gf_readTextFileToStringVector(kTextUtf8Bom, "a.cfg", lines));
  EXPECT_EQ(lines, (Lines{"earlier line", "\xEF\xBB\xBFkept as it was", "[General]",
                          "\xEF\xBB\xBFsecond"}));

  // EF BB without BF is classified as marked, but nothing that is not a mark is cut off.
  gf_testWriteFile("b.cfg", "\xEF\xBBxyz\n");
  Lines other;
  EXPECT_TRUE(gf_readExtTextFileToStringVector("b.cfg", other));
  EXPECT_EQ(other, Lines{"\xEF\xBBxyz"});
}

TEST_F(TextFileTest, InvalidUtf16StopsAtThatLineWithTheStatusMessage) {
  gf_openLog();
  std::u16string wide = u"first\r\nsecond\r\nbad ";
  wide.push_back(u'\xD800');  // a high surrogate with no low one after it
  wide += u"\r\nnever read\r\n";
  gf_testWriteFile("bad.cfg", lf_utf16Bytes(wide, true));
  Lines lines;
  EXPECT_FALSE(gf_readTextFileToStringVector(kTextUtf16Le, "bad.cfg", lines));
  EXPECT_EQ(lines, (Lines{"first", "second"}));
  const std::string message = "conversion from error from utf16 to utf8, code: 1113";
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::statusText), message);
  gf_closeLog();
  EXPECT_TRUE(gf_testHasLine(gf_testReadLines("Log.txt"), message));
}

// A line of a file that is no UTF-8 is kept as it stands, and the file is named with the line.
TEST_F(TextFileTest, LineThatIsNoUtf8IsNamedWithItsFile) {
  gf_openLog();
  for (const std::string& mark : {std::string(), std::string("\xEF\xBB\xBF")}) {
    gf_testWriteFile("my_park_airports.txt", mark + "EDDF\n\xC3(EHAM\nLOWW,\xFF\n");
    Lines lines;
    EXPECT_TRUE(gf_readExtTextFileToStringVector("my_park_airports.txt", lines));
    EXPECT_EQ(lines, (Lines{"EDDF", "\xC3(EHAM", "LOWW,\xFF"}));
  }
  gf_closeLog();
  const Lines log = gf_testReadLines("Log.txt");
  EXPECT_EQ(
      std::count(log.begin(), log.end(),
                 "===> my_park_airports.txt line 2 is not UTF-8 text, save the file as UTF-8"),
      2);
}

TEST_F(TextFileTest, MissingFileGivesCodeFiveAndFalse) {
  gf_openLog();
  Lines lines;
  EXPECT_EQ(gf_textFileEncoding("missing.cfg"), kTextCannotOpen);
  EXPECT_FALSE(gf_readExtTextFileToStringVector("missing.cfg", lines));
  EXPECT_FALSE(gf_readTextFileToStringVector(kTextUtf16Le, "missing.cfg", lines));
  EXPECT_TRUE(lines.empty());
  TextFile record{"missing.cfg", {}};
  EXPECT_EQ(gf_readTextFile(record, 10), nullptr);
  // Windows gives a folder the code of a locked file: the system's words tell them apart.
  std::filesystem::create_directory("my_park_airports.txt");
  EXPECT_EQ(gf_textFileEncoding("my_park_airports.txt"), kTextCannotOpen);
  gf_closeLog();
  const Lines log = gf_testReadLines("Log.txt");
  EXPECT_TRUE(gf_testHasLine(
      log,
      "cannot open file missing.cfg for character encoding, err: 2 (No such file or directory)"));
  EXPECT_TRUE(gf_testHasLine(
      log,
      "cannot open file my_park_airports.txt for character encoding, err: 5 (Is a directory)"));
}

TEST_F(TextFileTest, ExceptionWhileReadingIsAFailureAndKeepsTheLinesRead) {
#ifdef _WIN32
  GTEST_SKIP() << "narrow names are in the ANSI code page on Windows: any byte names a file";
#endif
  gf_openLog();
  // A name that is no UTF-8 cannot be handed to the system as UTF-16: the encoding test throws.
  const std::string name = "pack\xFF name.cfg";
  gf_testWriteFile(name, "[fltsim.0]\ntitle=x\n");
  Lines lines = {"read before"};
  EXPECT_FALSE(gf_readExtTextFileToStringVector(name, lines));
  EXPECT_EQ(lines, Lines{"read before"});
  gf_closeLog();
  EXPECT_TRUE(gf_testHasLine(
      gf_testReadLines("Log.txt"),
      "gf_readExtTextFileToStringVector Invalid UTF-8 sequence found in input string."));
}

TEST_F(TextFileTest, TextFileRecordReadsLinesAsTheyStand) {
  gf_testWriteFile("regcodes.txt", "\xEF\xBB\xBFPH-BXA\r\nD-AIMA\n");
  TextFile record{"regcodes.txt", {}};
  std::vector<std::string>* lines = gf_readTextFile(record, 512);
  ASSERT_EQ(lines, &record.lines);
  EXPECT_EQ(*lines, (Lines{"\xEF\xBB\xBFPH-BXA", "D-AIMA"}));
  gf_testWriteFile("empty.txt", "");
  TextFile empty{"empty.txt", {}};
  EXPECT_EQ(gf_readTextFile(empty, 512), nullptr);
}

TEST_F(TextFileTest, RealCp1252AircraftCfgReadsAsItStands) {
  const fs::path root = ZENDRIK_REALWORLD_DIR;
  const fs::path cfg = root /
                       "aircraftcfg/fsx_freeware_DLA_Jodel_DR1050/SimObjects/Airplanes/"
                       "DLA_Jodel_DR-1050/aircraft.cfg";
  if (!fs::exists(cfg)) GTEST_SKIP() << "real-world files not found at " << root;
  // Expected: the raw bytes split at line feeds, carriage returns dropped.
  Lines expected;
  for (std::string line : gf_testReadLines(cfg)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    expected.push_back(line);
  }
  Lines lines;
  EXPECT_EQ(gf_textFileEncoding(cfg), kTextAnsi);
  EXPECT_TRUE(gf_readExtTextFileToStringVector(cfg, lines));
  EXPECT_EQ(lines, expected);
  // The accents stay cp1252 bytes; they are not valid UTF-8.
  const bool hasCp1252 = std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find('\xE9') != std::string::npos || l.find('\xE8') != std::string::npos;
  });
  EXPECT_TRUE(hasCp1252);
}

TEST_F(TextFileTest, WritersReplaceTheWholeFile) {
  EXPECT_TRUE(gf_writeStringToFile("abc", "out.txt", false));
  EXPECT_EQ(gf_testReadAll("out.txt"), "abc");
  EXPECT_TRUE(gf_writeStringToFile("abc", "out.txt", true));
  EXPECT_EQ(gf_testReadAll("out.txt"), "abc" + kEol);
  EXPECT_TRUE(gf_writeStringVectorToFile({"x", "", "z"}, "out.txt"));
  EXPECT_EQ(gf_testReadAll("out.txt"), "x" + kEol + kEol + "z" + kEol);
  EXPECT_FALSE(gf_writeStringToFile("abc", "no_such_folder/out.txt", false));
  EXPECT_FALSE(gf_writeStringVectorToFile({"abc"}, "no_such_folder/out.txt"));
  // Nothing but the target is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
}

// Runs the conversion and checks that it throws the strict error with code 1113.
template <typename Convert>
void lf_expectConversionError(Convert convert, unsigned direction, const char* text) {
  try {
    convert();
    ADD_FAILURE() << "no exception";
  } catch (const win32::Utf8ConversionException& e) {
    EXPECT_EQ(e.errorCode(), 1113u);
    EXPECT_EQ(e.direction(), direction);
    EXPECT_STREQ(e.what(), text);
  }
}

TEST(UtfConversion, InvalidInputThrowsWithCode1113AndTheDirection) {
  for (const std::string& bad :
       {std::string("\xC3\x28"), std::string("\xC0\x80"), std::string("\xED\xA0\x80"),
        std::string("\xF4\x90\x80\x80"), std::string("ab\xE2\x82")}) {
    SCOPED_TRACE(::testing::PrintToString(bad));
    lf_expectConversionError([&] { Utf8ToUtf16(bad); }, 0u,
                             "Invalid UTF-8 sequence found in input string.");
  }
  for (const WString& bad : {WString(1, WCHAR{0xD800}), WString(1, WCHAR{0xDC00}),
                             WString(WIDE("a")) + WCHAR{0xDBFF} + WIDE("b")}) {
    lf_expectConversionError([&] { Utf16ToUtf8(bad); }, 1u,
                             "Invalid UTF-16 sequence found in input string.");
  }
}

TEST(UtfConversion, RoundTripsEveryPlane) {
  const std::string text = "A\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80z";
  const WString wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, (WString{u'A', u'\u00C4', u'\u20AC', 0xD83D, 0xDE00, u'z'}));
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_TRUE(Utf8ToUtf16("").empty());
  EXPECT_TRUE(Utf16ToUtf8(WString()).empty());
}

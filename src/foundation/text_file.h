// Text files of any encoding read into UTF-8 lines, text written to files, and the strict
// UTF-8 <-> UTF-16 conversions used at every Win32 call. Any thread (the scan tasks read
// aircraft.cfg files concurrently); nothing here keeps state.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32.h"

// Encodings told apart by gf_textFileEncoding from a file's first two bytes.
enum TextEncoding : int {
  kTextAnsi = 0,     // anything else, also a file shorter than two bytes: 8-bit text as it stands
  kTextUtf16Le = 1,  // FF FE
  kTextUtf16Be = 2,  // FE FF
  kTextUtf8Bom = 3,  // EF BB (the third byte is not looked at)
  kTextCannotOpen = 5,  // the file cannot be opened
};

// A text file read line by line (regcode lists, stock stand files).
struct TextFile {
  std::filesystem::path path;
  std::vector<std::string> lines;
};

// The encoding code of a file; logs "cannot open file {} for character encoding, err: {}" with
// the system's words in parentheses and gives kTextCannotOpen when it cannot be opened.
int gf_textFileEncoding(const std::filesystem::path& file);

// Appends the file's lines, without their line ends and converted to UTF-8, to lines. UTF-16
// files stop at the first line that cannot be converted: the status line and the log say so,
// the lines before it stay and the result is false. True when the file was read.
bool gf_readTextFileToStringVector(int code, const std::filesystem::path& file,
                                   std::vector<std::string>& lines);

// gf_textFileEncoding and gf_readTextFileToStringVector with one opening of the file, for the
// scans that read thousands: code is set to the encoding, or to kTextCannotOpen (nothing
// logged) when the file cannot be opened. The lines and the result are those of
// gf_readTextFileToStringVector.
bool gf_readTextFileOnce(const std::filesystem::path& file, std::vector<std::string>& lines,
                         int& code);

// gf_textFileEncoding, then gf_readTextFileToStringVector; false when the file cannot be opened
// or read (an exception while reading is logged; the lines read before it are kept). The first
// 8-bit line that is no UTF-8 is logged with the file's name and kept as it stands.
bool gf_readExtTextFileToStringVector(const std::filesystem::path& file,
                                      std::vector<std::string>& lines);

// Appends every line of UTF-16 text (split at '\n', a '\r' before it dropped) converted to UTF-8.
// Throws win32::Utf8ConversionException at the first line that is not valid UTF-16; the lines
// before it have been appended.
void gf_wideLinesToUtf8(std::basic_string_view<WCHAR> text, std::vector<std::string>& lines);

// Reads the record's file into its lines (8-bit text as it stands, line ends removed), after
// reserving room for reserve lines. Null when the file cannot be opened or has no line.
std::vector<std::string>* gf_readTextFile(TextFile& file, int reserve);

// Write text (and a newline when asked) / each string and a newline. The file is replaced as a
// whole: the text goes to a temporary file beside it that is renamed over it, so a failure never
// leaves half a file. True when everything was written; else `why` (when given) holds the
// system's words for the failure.
bool gf_writeStringToFile(const std::string& text, const std::filesystem::path& file, bool newline,
                          std::string* why = nullptr);
bool gf_writeStringVectorToFile(const std::vector<std::string>& lines,
                                const std::filesystem::path& file);

// Whether the text is valid UTF-8 (the strict conversion's test, without its exception).
bool gf_isUtf8(std::string_view text);

// The text as the window can draw it: valid UTF-8 stays; each byte that is no part of a valid
// sequence (8-bit text of another code page, a damaged file) becomes '?'.
std::string gf_displayableUtf8(std::string_view text);

// Strict conversions; invalid input throws win32::Utf8ConversionException (error 1113 for an
// invalid sequence; direction 0 for UTF-8 to UTF-16, 1 for UTF-16 to UTF-8), input longer than
// 2147483647 units throws std::overflow_error.
WString Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::basic_string_view<WCHAR> utf16);

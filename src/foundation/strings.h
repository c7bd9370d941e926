// Text and list helpers shared by every subsystem, and the Winsock error texts.
// Character tests and case changes are ASCII-only: bytes of 0x80 and above are neither letters
// nor digits and keep their value when upper-cased (callsigns and registrations come from the
// network and from files in any encoding).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

// Constant texts, never changed.
extern const std::string g_emptyString;  // ""
extern const std::string g_comma;        // ","
extern const std::string g_hashMark;     // "#"
extern const std::string g_pluralS;      // "s"
extern const std::string g_blank;        // " "
extern const std::string g_zeroString;   // "0"
extern const std::string g_newline;      // "\n"
extern const std::string g_whitespace;   // " \t\n\r": what gf_trim removes

// ASCII classification and upper-casing of single bytes, defined for every char value.
bool gf_isAsciiAlpha(char c);
bool gf_isAsciiDigit(char c);
char gf_asciiUpper(char c);

// The text without leading and trailing characters of g_whitespace.
std::string gf_trim(std::string_view text);
// Pieces between delimiters, each trimmed; empty pieces kept; "" gives no piece.
std::vector<std::string> gf_split(const std::string& text, char delimiter);
std::vector<std::string> gf_splitCommaTrimmed(const std::string& text);
// The pieces of gf_split(text, ',') in text order (callers that want them sorted and without
// repeats sort and unique the list themselves).
std::list<std::string> gf_commaList(const std::string& text);
// Joined with ','.
std::string gf_join(const std::vector<std::string>& items);
// When the text holds whitespace: gf_join(gf_split(text, ',')); else unchanged.
void gf_removeBlanksInList(std::string& text);
// a == b upper-cased; a must already be upper case.
bool gf_equalsUpper(const std::string& a, std::string b);
// The pattern up to its first '*' (all of it without one) equals the text exactly.
bool gf_matchUpToStar(const std::string& pattern, const std::string& text);
// Text after the first "<Path>" up to the first "</Path>" after it; "" without "<Path>"; to the
// end of the text when no "</Path>" follows.
std::string gf_extractPath(std::string_view text);

// "" for a count of 1, else "s"; for any integer type (size_t, int64, int, u32 ...).
template <std::integral T>
std::string_view gf_plural(T count) {
  return count == 1 ? std::string_view{} : std::string_view{"s"};
}

// "{:.0f}" without a fractional part, else "{:.1F}".
std::string gf_float2string(float x);
// A line of '*' of width a + b (rounded up to even) around " title ", see the log's banners.
std::string gf_banner(int a, int b, bool leadingNewline, bool trailingNewline,
                      const std::string& title);
// "<code> <English text>" of a Winsock error; "Unknown errror code" for codes not listed.
std::string gf_wsaErrorText(int code);

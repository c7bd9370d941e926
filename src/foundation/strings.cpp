// Text and list helpers, and the Winsock error texts.
#include "foundation/strings.h"

#include <cmath>
#include <unordered_map>

#include <fmt/format.h>

const std::string g_emptyString;
const std::string g_comma{","};
const std::string g_hashMark{"#"};
const std::string g_pluralS{"s"};
const std::string g_blank{" "};
const std::string g_zeroString{"0"};
const std::string g_newline{"\n"};
const std::string g_whitespace{" \t\n\r"};

namespace {
// The same characters as g_whitespace, usable before static initialisation has run.
constexpr std::string_view kWhitespace{" \t\n\r"};
constexpr std::string_view kPathOpen{"<Path>"};
constexpr std::string_view kPathClose{"</Path>"};
}  // namespace

bool gf_isAsciiAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool gf_isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

char gf_asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string gf_trim(std::string_view text) {
  const auto first = text.find_first_not_of(kWhitespace);
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(kWhitespace);
  return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> gf_split(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  if (text.empty()) {
    return pieces;
  }
  std::size_t count = 1;
  for (const char c : text) {
    count += (c == delimiter) ? 1 : 0;
  }
  pieces.reserve(count);
  std::size_t start = 0;
  while (true) {
    const auto end = text.find(delimiter, start);
    const std::string_view view(text);
    if (end == std::string::npos) {
      pieces.push_back(gf_trim(view.substr(start)));
      break;
    }
    pieces.push_back(gf_trim(view.substr(start, end - start)));
    start = end + 1;
  }
  return pieces;
}

std::vector<std::string> gf_splitCommaTrimmed(const std::string& text) {
  return gf_split(text, ',');
}

std::list<std::string> gf_commaList(const std::string& text) {
  auto pieces = gf_split(text, ',');
  return {std::make_move_iterator(pieces.begin()), std::make_move_iterator(pieces.end())};
}

std::string gf_join(const std::vector<std::string>& items) {
  std::string joined;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) {
      joined += ',';
    }
    joined += items[i];
  }
  return joined;
}

void gf_removeBlanksInList(std::string& text) {
  if (text.find_first_of(kWhitespace) != std::string::npos) {
    text = gf_join(gf_split(text, ','));
  }
}

bool gf_equalsUpper(const std::string& a, std::string b) {
  for (char& c : b) {
    c = gf_asciiUpper(c);
  }
  return a == b;
}

bool gf_matchUpToStar(const std::string& pattern, const std::string& text) {
  const auto star = pattern.find('*');
  return std::string_view(pattern).substr(0, star) == text;
}

std::string gf_extractPath(std::string_view text) {
  const auto open = text.find(kPathOpen);
  if (open == std::string_view::npos) {
    return {};
  }
  const auto start = open + kPathOpen.size();
  const auto close = text.find(kPathClose, start);
  if (close == std::string_view::npos) {
    return std::string(text.substr(start));
  }
  return std::string(text.substr(start, close - start));
}

std::string gf_float2string(float x) {
  if (std::fmod(x, 1.0f) == 0.0f) {
    return fmt::format("{:.0f}", x);
  }
  return fmt::format("{:.1F}", x);
}

std::string gf_banner(int a, int b, bool leadingNewline, bool trailingNewline,
                      const std::string& title) {
  std::string line = leadingNewline ? "\n" : "";
  int n = a + b;
  if (n % 2 != 0) {
    n += 1;
  }
  const int titleLength = static_cast<int>(title.size());
  if (title.empty()) {
    line.append(static_cast<std::size_t>(std::max(n, 0)), '*');
  } else if (n > titleLength + 2) {
    const auto half = static_cast<std::size_t>(n / 2 - 1);
    line.append(half, '*');
    line += ' ';
    line += title;
    line += ' ';
    line.append(half, '*');
  } else {
    line += title;
  }
  if (trailingNewline) {
    line += '\n';
  }
  return line;
}

std::string gf_wsaErrorText(int code) {
  static const std::unordered_map<int, std::string_view> kTexts{
      {10004, "Interrupted system call"},
      {10009, "Bad file number"},
      {10013, "Permission denied"},
      {10014, "Bad address"},
      {10022, "Invalid argument"},
      {10024, "Too many open sockets"},
      {10035, "Operation would block"},
      {10036, "Operation now in progress"},
      {10037, "Operation already in progress"},
      {10038, "Socket operation on non-socket"},
      {10039, "Destination address required"},
      {10040, "Messenger too long"},
      {10041, "Protocol wrong type for socket"},
      {10042, "Bad protocol option"},
      {10043, "Protocol not supported"},
      {10044, "Socket type not supported"},
      {10045, "Operation not supported on socket"},
      {10046, "Protocol family not supported"},
      {10047, "Address family not supported"},
      {10048, "Address already in use"},
      {10049, "Can't assign requested address"},
      {10050, "Network is down"},
      {10051, "Network is unreachable"},
      {10052, "Net connection reset"},
      {10053, "Software caused connection abort"},
      {10054, "Connection reset by peer"},
      {10055, "No buffer space available"},
      {10056, "Socket is already connected"},
      {10057, "Socket is not connected"},
      {10058, "Can't send numLines socket shutdown"},
      {10059, "Too many references, can't splice"},
      {10060, "Connection timed out"},
      {10061, "Connection refused"},
      {10062, "Too many levels of symbolic links"},
      {10063, "File name too long"},
      {10064, "Host is down"},
      {10065, "No route to host"},
      {10066, "Directory not empty"},
      {10067, "Too many processes"},
      {10068, "Too many users"},
      {10069, "Disc quota exceeded"},
      {10070, "Stale NFS file handle"},
      {10071, "Too many levels of remote in path"},
      {10091, "Network system is unavailable"},
      {10092, "Winsock version out of range"},
      {10093, "WSAStartup not yet called"},
      {10101, "Graceful shutdown in progress"},
      {11001, "Host not found"},
      {11004, "No host data of that type was found"},
  };
  const auto it = kTexts.find(code);
  const std::string_view text = (it == kTexts.end()) ? "Unknown errror code" : it->second;
  return fmt::format("{} {}", code, text);
}

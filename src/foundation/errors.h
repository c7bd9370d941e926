// The program's own exception types. User-facing failures are qvb::UserErrorException with a
// numeric code; the UTF-8/UTF-16 conversions and the registry calls have their own types.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>

namespace qvb {

// An error the user must act on. The text is "<code>: <message>", except for code 99, which
// carries no code and shows the message as it stands (the self-update notice).
class UserErrorException : public std::runtime_error {
 public:
  UserErrorException(int code, const std::string& message);
};

}  // namespace qvb

namespace win32 {

// A failed UTF-8 <-> UTF-16 conversion at the Win32 boundary.
class Utf8ConversionException : public std::runtime_error {
 public:
  static constexpr std::uint32_t kFromUtf8 = 0;  // UTF-8 to UTF-16
  static constexpr std::uint32_t kFromUtf16 = 1;  // UTF-16 to UTF-8

  Utf8ConversionException(const char* message, std::uint32_t errorCode, std::uint32_t direction);

  std::uint32_t errorCode() const noexcept { return errorCode_; }
  std::uint32_t direction() const noexcept { return direction_; }

 private:
  std::uint32_t errorCode_;  // GetLastError at the failure
  std::uint32_t direction_;  // kFromUtf8 or kFromUtf16
};

}  // namespace win32

namespace winreg {

// A failed registry call: "<message>: <system description of the Win32 error>".
class RegException : public std::system_error {
 public:
  RegException(std::uint32_t errorCode, const std::string& message);
};

}  // namespace winreg

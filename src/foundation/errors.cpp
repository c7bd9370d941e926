// The program's exception types.
#include "foundation/errors.h"

#include <fmt/format.h>

namespace {

constexpr int kCodeWithoutNumber = 99;  // the message is shown as it stands

std::string lf_userErrorText(int code, const std::string& message) {
  if (code == kCodeWithoutNumber) {
    return message;
  }
  return fmt::format("{}: {}", code, message);
}

}  // namespace

namespace qvb {

UserErrorException::UserErrorException(int code, const std::string& message)
    : std::runtime_error(lf_userErrorText(code, message)) {}

}  // namespace qvb

namespace win32 {

Utf8ConversionException::Utf8ConversionException(const char* message, std::uint32_t errorCode,
                                                 std::uint32_t direction)
    : std::runtime_error(message), errorCode_(errorCode), direction_(direction) {}

}  // namespace win32

namespace winreg {

RegException::RegException(std::uint32_t errorCode, const std::string& message)
    : std::system_error(static_cast<int>(errorCode), std::system_category(), message) {}

}  // namespace winreg

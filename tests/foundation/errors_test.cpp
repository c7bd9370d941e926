// The program's exception types.
#include "foundation/errors.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorsTest, UserErrorTextCarriesTheCodeExceptFor99) {
  EXPECT_STREQ(qvb::UserErrorException(41, "abc").what(), "41: abc");
  EXPECT_STREQ(qvb::UserErrorException(0, "abc").what(), "0: abc");
  EXPECT_STREQ(qvb::UserErrorException(-3, "abc").what(), "-3: abc");
  EXPECT_STREQ(qvb::UserErrorException(99, "abc").what(), "abc");
  EXPECT_STREQ(qvb::UserErrorException(99,
                                       "New version 10.10.10 available, exit Zendrik_P3D. Run "
                                       "as administrator: \"C:\\P\\install_new_version.exe\"")
                   .what(),
               "New version 10.10.10 available, exit Zendrik_P3D. Run as administrator: "
               "\"C:\\P\\install_new_version.exe\"");
}

TEST(ErrorsTest, UserErrorIsCaughtAsRuntimeErrorAndException) {
  try {
    throw qvb::UserErrorException(53, "no liveries found");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "53: no liveries found");
  }
  try {
    throw qvb::UserErrorException(5, "x");
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "5: x");
  }
}

TEST(ErrorsTest, ConversionErrorKeepsCodeAndDirectionWhenCopied) {
  const win32::Utf8ConversionException original("Invalid UTF-8 sequence found in input string.",
                                                1113, win32::Utf8ConversionException::kFromUtf8);
  const win32::Utf8ConversionException copy = original;
  EXPECT_EQ(copy.errorCode(), 1113u);
  EXPECT_EQ(copy.direction(), 0u);
  EXPECT_STREQ(copy.what(), "Invalid UTF-8 sequence found in input string.");
  const win32::Utf8ConversionException back("x", 1113, 1);
  EXPECT_EQ(back.direction(), win32::Utf8ConversionException::kFromUtf16);
}

TEST(ErrorsTest, RegistryErrorTextIsMessageThenSystemDescription) {
  const winreg::RegException e(2, "RegOpenKeyExW failed.");
  std::string expected = "RegOpenKeyExW failed.: ";
  expected += std::system_category().message(2);
  EXPECT_EQ(std::string(e.what()), expected);
  EXPECT_EQ(e.code().value(), 2);
}

}  // namespace

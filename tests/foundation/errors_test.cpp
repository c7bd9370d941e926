// The program's exception types: the texts a user sees.
#include "foundation/errors.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorsTest, UserErrorTextCarriesTheCodeExceptFor99) {
  EXPECT_STREQ(qvb::UserErrorException(41, "abc").what(), "41: abc");
  EXPECT_STREQ(qvb::UserErrorException(0, "abc").what(), "0: abc");
  EXPECT_STREQ(qvb::UserErrorException(-3, "abc").what(), "-3: abc");
  EXPECT_STREQ(qvb::UserErrorException(99, "abc").what(), "abc");
  try {
    throw qvb::UserErrorException(53, "no liveries found");
  } catch (const std::runtime_error& e) {  // callers catch it with the standard errors
    EXPECT_STREQ(e.what(), "53: no liveries found");
  }
}

TEST(ErrorsTest, RegistryErrorTextIsMessageThenSystemDescription) {
  const winreg::RegException e(2, "RegOpenKeyExW failed.");
  EXPECT_EQ(std::string(e.what()), "RegOpenKeyExW failed.: " + std::system_category().message(2));
  EXPECT_EQ(e.code().value(), 2);
}

}  // namespace

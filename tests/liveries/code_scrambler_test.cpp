// The unscrambling routines against the fixture builder's scrambling, their wrap and length
// rules, and the builder's refusal of what the program could not read back.

#include "liveries/code_scrambler.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "fixtures/dbase_builder.h"
#include "fixtures/dbase_scrambler.h"
#include "liveries/liveries_test_support.h"
#include "liveries/scramble_keys.h"

namespace {

using fixtures::scrambleAirline;
using fixtures::scrambleReg;
using fixtures::scrambleType;

// A random text of the given length from the 46 scrambleable codes.
std::string randomCode(std::mt19937& rng, std::size_t length) {
  std::uniform_int_distribution<int> pick(scramble_keys::kFirstCode, scramble_keys::kLastCode);
  std::string s;
  for (std::size_t i = 0; i < length; ++i) s.push_back(static_cast<char>(pick(rng)));
  return s;
}

TEST(CodeScrambler, RoundTripsEveryCodeOfTheDemoDatabase) {
  const fixtures::DbaseContent demo = fixtures::demoDbase();
  liveries_test::ScopedWorkDir work;  // the plain-airline warning needs an open log
  for (const std::string& type : demo.types) EXPECT_EQ(gf_cryptType(scrambleType(type)), type);
  for (const std::string& airline : demo.icaoAirlines)
    EXPECT_EQ(gf_decryptAirl(scrambleAirline(airline)), airline);
  for (const fixtures::DbaseReg& r : demo.regs) {
    EXPECT_EQ(gf_decryptReg(scrambleReg(r.reg)), r.reg);
    if (!r.type.empty()) {
      EXPECT_EQ(gf_cryptType(scrambleType(r.type)), r.type);
    }
  }
  EXPECT_EQ(work.log().find("Unencrypted"), std::string::npos);
}

TEST(CodeScrambler, RoundTripsRandomCodesOfEveryLengthCase) {
  std::mt19937 rng(20261206);
  for (int i = 0; i < 2000; ++i) {
    for (std::size_t n : {2u, 3u, 4u}) {
      const std::string type = randomCode(rng, n);
      ASSERT_EQ(gf_cryptType(scrambleType(type)), type);
    }
    const std::string airline = randomCode(rng, 3);
    ASSERT_EQ(gf_decryptAirl(scrambleAirline(airline)), airline);
    std::string reg = randomCode(rng, 1 + static_cast<std::size_t>(i % 24));
    if (i % 5 == 0) reg[reg.size() / 2] = '+';
    ASSERT_EQ(gf_decryptReg(scrambleReg(reg)), reg);
  }
}

TEST(CodeScrambler, EmptyInputGivesEmptyOutput) {
  liveries_test::ScopedWorkDir work;
  EXPECT_EQ(gf_cryptType(""), "");
  EXPECT_EQ(gf_decryptAirl(""), "");
  EXPECT_EQ(gf_decryptReg(""), "");
  EXPECT_EQ(work.log().find("===>"), std::string::npos);
}

TEST(CodeScrambler, ShiftWrapsIntoTheCodeRange) {
  using scramble_keys::kRegKey;
  // Position 0 of a registration is shifted back by kRegKey[0]: '-' falls below 45 and comes
  // out 46 higher; a code above 90 comes out 46 lower.
  const int k = static_cast<int>(kRegKey[0]);
  ASSERT_GT(k, 0);
  EXPECT_EQ(gf_decryptReg("-"), std::string(1, static_cast<char>('-' - k + 46)));
  EXPECT_EQ(gf_decryptReg(std::string(1, static_cast<char>(91 + k))), "-");
  EXPECT_EQ(gf_decryptReg(std::string(1, static_cast<char>(90 + k))), "Z");
  EXPECT_EQ(gf_decryptReg(std::string(1, static_cast<char>(45 + k))), "-");
}

TEST(CodeScrambler, PlusKeepsItsPlaceAndUsesAKeyPosition) {
  const std::string plain = "AB+CD";
  const std::string stored = scrambleReg(plain);
  EXPECT_EQ(stored[2], '+');
  EXPECT_EQ(gf_decryptReg(stored), plain);
  // The character after '+' is keyed with position 3, not 2.
  EXPECT_EQ(gf_decryptReg("++" + stored.substr(2)), "++" + plain.substr(2));
}

TEST(CodeScrambler, RegistrationLengthLimit) {
  const std::string plain24(24, 'K');
  EXPECT_EQ(gf_decryptReg(scrambleReg(plain24)), plain24);
  EXPECT_EQ(gf_decryptReg(scrambleReg(plain24 + "+")), plain24 + "+");
  try {
    gf_decryptReg(scrambleReg(plain24) + "K");
    FAIL() << "a 25th character other than '+' must be refused";
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "invalid array<T, N> subscript");
  }
}

TEST(CodeScrambler, AirlineCodeLengths) {
  liveries_test::ScopedWorkDir work;
  EXPECT_EQ(gf_decryptAirl("BAW"), "BAW");
  EXPECT_NE(work.log().find("===> Unencrypted airline BAW in decrypt airl?\n"), std::string::npos);
  for (const char* bad : {"A", "AB", "ABCD", "ABCDE", "ABCDEFG"}) {
    try {
      gf_decryptAirl(bad);
      FAIL() << bad;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), std::string("decrypt airl \"") + bad + "\" error");
    }
  }
}

TEST(CodeScrambler, OtherTypeLengthsGiveTwoCharacters) {
  EXPECT_EQ(gf_cryptType("ABCDE").size(), 2u);
  EXPECT_EQ(gf_cryptType("ABCDEF").size(), 2u);
  // The second input character of a one-character code is the terminator.
  EXPECT_EQ(gf_cryptType("A").size(), 2u);
  EXPECT_EQ(gf_cryptType("A")[1], gf_cryptType("AX")[1]);
}

TEST(CodeScrambler, BuilderRefusesWhatCannotBeReadBack) {
  EXPECT_THROW(scrambleType("b738"), std::invalid_argument);   // lower case
  EXPECT_THROW(scrambleType("B 38"), std::invalid_argument);   // blank
  EXPECT_THROW(scrambleType("A"), std::invalid_argument);      // no one-character form
  EXPECT_THROW(scrambleType("ABCDE"), std::invalid_argument);  // nor a five-character one
  EXPECT_THROW(scrambleAirline("BA"), std::invalid_argument);
  EXPECT_THROW(scrambleAirline("BAWA"), std::invalid_argument);
  EXPECT_THROW(scrambleAirline("ba1"), std::invalid_argument);
  EXPECT_THROW(scrambleReg(std::string(25, 'K')), std::invalid_argument);
  EXPECT_THROW(scrambleReg("G-éU"), std::invalid_argument);
  EXPECT_NO_THROW(scrambleReg(std::string(24, 'K') + "++"));
  // Stored codes never hold a '+', a ',' or whitespace, which the readers treat specially.
  std::mt19937 rng(7);
  for (int i = 0; i < 500; ++i) {
    const std::string stored =
        scrambleReg(randomCode(rng, 12)) + scrambleAirline(randomCode(rng, 3));
    EXPECT_EQ(stored.find_first_of("+, \t\r\n"), std::string::npos) << stored;
  }
}

}  // namespace

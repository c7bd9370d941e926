// The unscrambling routines against the fixture builder's scrambling, their wrap and length
// rules, inputs outside the formats, and the builder's refusal of what the program could not
// read back.

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
using liveries_test::contains;
using liveries_test::thrownText;

// A random text of the given length from the 46 scrambleable codes.
std::string randomCode(std::mt19937& rng, std::size_t length) {
  std::uniform_int_distribution<int> pick(scramble_keys::kFirstCode, scramble_keys::kLastCode);
  std::string s;
  for (std::size_t i = 0; i < length; ++i) s.push_back(static_cast<char>(pick(rng)));
  return s;
}

TEST(CodeScrambler, RoundTripsEveryCodeOfTheDemoDatabase) {
  const fixtures::DbaseContent demo = fixtures::demoDbase();
  liveries_test::LiveriesEnv env;  // the plain-airline warning needs an open log
  for (const std::string& type : demo.types) EXPECT_EQ(gf_cryptType(scrambleType(type)), type);
  for (const std::string& airline : demo.icaoAirlines)
    EXPECT_EQ(gf_decryptAirl(scrambleAirline(airline)), airline);
  for (const fixtures::DbaseReg& r : demo.regs) {
    EXPECT_EQ(gf_decryptReg(scrambleReg(r.reg)), r.reg);
    if (!r.type.empty()) {
      EXPECT_EQ(gf_cryptType(scrambleType(r.type)), r.type);
    }
  }
  EXPECT_FALSE(contains(env.log(), "Unencrypted"));
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

// Checked against the keys themselves, not the builder: a shift below 45 comes out 46 higher,
// one above 90 comes out 46 lower; '+' keeps its place but uses up a key position.
TEST(CodeScrambler, ShiftWrapsAndThePlusSign) {
  const int k = static_cast<int>(scramble_keys::kRegKey[0]);
  ASSERT_GT(k, 0);
  EXPECT_EQ(gf_decryptReg("-"), std::string(1, static_cast<char>('-' - k + 46)));
  EXPECT_EQ(gf_decryptReg(std::string(1, static_cast<char>(91 + k))), "-");
  EXPECT_EQ(gf_decryptReg(std::string(1, static_cast<char>(90 + k))), "Z");
  EXPECT_EQ(gf_decryptReg(std::string(1, static_cast<char>(45 + k))), "-");

  const std::string stored = scrambleReg("AB+CD");
  EXPECT_EQ(stored[2], '+');
  EXPECT_EQ(gf_decryptReg(stored), "AB+CD");
  EXPECT_EQ(gf_decryptReg("++" + stored.substr(2)), "++" + std::string("+CD"));
}

// A stored registration as the published files hold it, decoded to its known text: the round
// trips above use the builder's copy of the key and cannot see a key entry moved.
TEST(CodeScrambler, KnownStoredRegistrationDecodes) {
  EXPECT_EQ(gf_decryptReg("SH=Y6FJLVO<VBQ<Q@6C1ZULB"), "N12345-D-AIBA-PHBXR-G-EU");
  EXPECT_EQ(gf_decryptReg("SH=Y6"), "N1234");
}

TEST(CodeScrambler, RegistrationLengthLimit) {
  const std::string plain24(24, 'K');
  EXPECT_EQ(gf_decryptReg(scrambleReg(plain24)), plain24);
  EXPECT_EQ(gf_decryptReg(scrambleReg(plain24 + "+")), plain24 + "+");
  // A 25th character other than '+' is refused.
  EXPECT_EQ(thrownText<std::out_of_range>([&] { gf_decryptReg(scrambleReg(plain24) + "K"); }),
            "invalid array<T, N> subscript");
}

TEST(CodeScrambler, InputsOutsideTheFormats) {
  liveries_test::LiveriesEnv env;
  EXPECT_EQ(gf_cryptType(""), "");
  EXPECT_EQ(gf_decryptAirl(""), "");
  EXPECT_EQ(gf_decryptReg(""), "");
  EXPECT_FALSE(contains(env.log(), "===>"));
  // Other type lengths give two characters; a one-character code reads its terminator.
  EXPECT_EQ(gf_cryptType("ABCDEF").size(), 2u);
  EXPECT_EQ(gf_cryptType("A").size(), 2u);
  EXPECT_EQ(gf_cryptType("A")[1], gf_cryptType("AX")[1]);

  EXPECT_EQ(gf_decryptAirl("BAW"), "BAW");
  EXPECT_TRUE(contains(env.log(), "===> Unencrypted airline BAW in decrypt airl?\n"));
  for (const std::string bad : {"A", "AB", "ABCD", "ABCDE", "ABCDEFG"}) {
    EXPECT_EQ(thrownText<std::runtime_error>([&] { gf_decryptAirl(bad); }),
              "decrypt airl \"" + bad + "\" error");
  }
}

TEST(CodeScrambler, BuilderRefusesWhatCannotBeReadBack) {
  for (const char* type : {"b738", "B 38", "A", "ABCDE"})
    EXPECT_THROW(scrambleType(type), std::invalid_argument) << type;
  for (const char* airline : {"BA", "BAWA", "ba1"})
    EXPECT_THROW(scrambleAirline(airline), std::invalid_argument) << airline;
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

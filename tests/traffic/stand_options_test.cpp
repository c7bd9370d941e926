// The operations on a stand's option list, their edge cases and their logged failures.
#include "traffic_test_support.h"

using namespace traffictest;

namespace {

class StandOptionsTest : public TrafficTest {};

ParkPosOption option(std::uint32_t id, std::uint32_t real, const std::string& hh,
                     const std::string& cs = "KLM1", const std::string& cs2 = "") {
  return {"KLM", "B738", "PH-BXA", cs, cs2, gf_hours2bitset(hh), id, 1, 0, real};
}

}  // namespace

TEST_F(StandOptionsTest, AddOption) {
  std::vector<ParkPosOption> options;
  const AircraftHead head = gf_head("A320", "X", "", 1, "TRA");
  EXPECT_EQ(addOption(options, head, 1, {1, 20}, "KLM123_", "PH-BXA"), 1);
  EXPECT_EQ(addOption(options, head, 1, {1, 20}, "KLM123", "PH-BXA"), 0);  // the same use
  EXPECT_EQ(addOption(options, head, 1, {1, 21}, "KLM123", "PH-BXA"), 2);
  EXPECT_EQ(addOption(options, head, 0, {2, 5}, "MPH9", "PH-MCP"), 3);
  EXPECT_EQ(addOption(options, head, 0, {2, 5}, "TRA7", "PH-XXX"), 4);
  EXPECT_THROW(addOption(options, head, 1, {2, 48}, "TRA7", "PH-XXX"), std::out_of_range);
  ASSERT_EQ(options.size(), 4u);
  EXPECT_EQ(options[0].cs, "KLM123");
  EXPECT_EQ(gf_bitset2hours(options[0].hh), "20");
  EXPECT_EQ(options[0].airline + " " + options[0].type, "KLM B738");  // from the database
  EXPECT_EQ(options[2].airline + " " + options[2].type, "KLC B744");  // its operator first
  EXPECT_EQ(options[3].airline + " " + options[3].type, "TRA A320");  // unknown: the head's
  EXPECT_EQ(options[3].day, 2u);
  EXPECT_EQ(options[3].real, 0u);
  EXPECT_EQ(options[3].origin, 0u);
}

TEST_F(StandOptionsTest, CallsignsAndSlots) {
  std::vector<ParkPosOption> options{option(1, 1, "1", ""), option(2, 1, "")};
  for (const char* cs : {"AAA1", "BBB2_", "AAA1", "", "CCC3"}) updateOptionIdent(options, 1, cs);
  EXPECT_EQ(options[0].cs, "AAA1");
  EXPECT_EQ(options[0].cs2, "CCC3");

  // Monday slot 1, four half-hours back: 46 and 47 of the day before, 0 of the new day.
  options[0].hh = gf_hours2bitset("1");
  updateOptionsForIds(options, {1, 1}, "DDD4", 4, 2, 1);
  EXPECT_EQ(gf_bitset2hours(options[1].hh), "46,47");
  EXPECT_EQ(gf_bitset2hours(options[0].hh), "0,1");
  EXPECT_EQ(options[1].cs2, "DDD4");

  std::vector<int> slots{5, 60, 3};
  EXPECT_FALSE(updateOptions(options, slots, 2));
  EXPECT_TRUE(options[1].hh.test(3));  // set before the bad slot
  std::vector<int> wrapped{1, 0, 60};
  EXPECT_FALSE(updateOptionsWrapped(options, wrapped, 1, 2));
  std::vector<int> none{4};
  EXPECT_FALSE(updateOptions(options, none, 9));
  EXPECT_EQ(none.size(), 1u);
  const std::string text = log();
  EXPECT_NE(text.find("===> updateOptions exception:invalid bitset position"), std::string::npos);
  EXPECT_NE(text.find("===> updateOptionsWrapped exception:invalid bitset position"),
            std::string::npos);
}

TEST_F(StandOptionsTest, TestRange) {
  struct Case {
    const char* hh;
    int start, offset;
    bool used;
    std::uint32_t wrap;
  };
  constexpr std::uint32_t kNone = 0xFFFFFFFF;
  const std::vector<Case> cases{{"3,4", 2, 5, false, 3},  {"7", 10, 3, true, kNone},
                                {"6", 10, 3, false, kNone}, {"", 1, 60, false, 46},
                                {"0", 0, 0, true, kNone},  {"5", 48, 2, false, kNone}};
  for (const Case& c : cases) {
    std::uint32_t wrap = 0;
    EXPECT_EQ(testRange(option(1, 1, c.hh), {c.start, c.offset}, wrap), c.used) << c.start;
    EXPECT_EQ(wrap, c.wrap) << c.start;
  }
  EXPECT_NE(log().find("===> exception invalid bitset position in testRange, start: 48, offset: 2"),
            std::string::npos);
}

TEST_F(StandOptionsTest, OptionMatchesAndSameUse) {
  const AircraftHead klm = gf_head("B738", "", "", 1, "KLM");
  const AircraftHead other = gf_head("A320", "", "", 1, "TRA");
  struct Case {
    ParkPosOption o;
    std::string callsign;
    const AircraftHead* head;
    bool matches;
  };
  const std::vector<Case> cases{
      {option(1, 1, "1", "KLM1"), "KLM1", &other, true},
      {option(1, 1, "1", "KLM1", "KLM2"), "KLM2", &other, true},
      {option(1, 1, "1", "KLM1"), "TRA9", &klm, true},   // airline and type
      {option(1, 1, "1", "KLM1"), "", &other, false},    // empty never matches cs2
      {option(1, 0, "1", "KLM1"), "KLM1", &klm, false},  // soft
      {option(0, 1, "1", "KLM1"), "KLM1", &klm, false},  // not in use
  };
  for (const Case& c : cases) EXPECT_EQ(gf_optionMatches(c.callsign, *c.head, c.o), c.matches);

  EXPECT_TRUE(gf_sameUse(option(1, 1, "3,4"), option(2, 1, "4,5", "OTHER")));
  EXPECT_FALSE(gf_sameUse(option(1, 1, "3,4"), option(2, 1, "5")));
  EXPECT_FALSE(gf_sameUse(option(1, 1, "3,4"), option(2, 0, "3")));
}

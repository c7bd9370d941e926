// Time texts, day and half-hour slots with an injected clock, slot differences and slot lists.
#include "foundation/day_slots.h"

#include <gtest/gtest.h>

#include <atomic>

#include "foundation/log.h"
#include "foundation/run_state.h"
#include "foundation/temp_folder.h"

namespace {

constexpr std::int64_t kSunday235959 = 1796601599;  // Sun Dec 06 2026 23:59:59 UTC
constexpr std::int64_t kMonday000000 = 1796601600;  // Mon Dec 07 2026 00:00:00 UTC
constexpr std::int64_t kMonday102929 = 1796639369;  // Mon Dec 07 2026 10:29:29 UTC
constexpr std::int64_t kOctober = 1792051200;       // Thu Oct 15 2026 08:00:00 UTC

// A clock that moves one second forward on every reading.
std::atomic<std::int64_t> g_testNow{0};
std::int64_t lf_tickingClock() { return g_testNow.fetch_add(1); }
std::int64_t lf_standingClock() { return g_testNow.load(); }

class DaySlotsTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = g_wallClock.load(); }
  void TearDown() override {
    g_wallClock.store(previous_);
    g_rtProfessional.store(false);
    g_trafficTimeSec.store(0.0);
  }
  WallClockFn previous_ = nullptr;
};

TEST_F(DaySlotsTest, TimeTextsAreUtcWithTheProgramsMonthNames) {
  EXPECT_EQ(gf_ctime(0), "Thu Jan 01 00:00:00 1970");
  EXPECT_EQ(gf_ctime(kOctober), "Thu Okt 15 08:00:00 2026");
  EXPECT_EQ(gf_ctime(kSunday235959), "Sun Dec 06 23:59:59 2026");
  EXPECT_EQ(gf_ctime(-1), "Wed Dec 31 23:59:59 1969");
  g_testNow.store(kMonday102929);
  g_wallClock.store(&lf_standingClock);
  EXPECT_EQ(gf_timeNow(), "10:29:29");
  EXPECT_EQ(gf_dateNow(), "Dec 07, 2026");
  EXPECT_EQ(gf_weekdayName(1), "Mon");
  EXPECT_EQ(gf_weekdayName(7), "Sun");
  for (const int outside : {0, 8}) EXPECT_EQ(gf_weekdayName(outside), "???");
  EXPECT_EQ(gf_monthName(13), "???");
}

TEST_F(DaySlotsTest, SlotsBeginHalfAMinuteBeforeTheHalfHour) {
  const std::pair<std::int64_t, DayHh> cases[] = {
      {kSunday235959, {7, 47}},
      {kMonday000000, {1, 0}},
      {kMonday102929, {1, 20}},
      {kMonday102929 + 1, {1, 21}},              // 10:29:30
      {kMonday102929 + 31, {1, 21}},             // 10:30:00
      {kMonday102929 + 30 * 60 + 30, {1, 21}},   // 10:59:59
      {kMonday102929 + 30 * 60 + 31, {1, 22}},   // 11:00:00
      {kSunday235959 - 30 * 60 - 29, {7, 47}},   // 23:29:30
      {kSunday235959 - 30 * 60 - 30, {7, 46}}};  // 23:29:29
  for (const auto& [time, expected] : cases) EXPECT_EQ(gf_dayHhAt(time), expected) << time;
}

TEST_F(DaySlotsTest, TheClockIsReadOnceAcrossMidnight) {
  // The clock moves on by a second at every reading: Sunday 23:59:59, then Monday 00:00:00.
  g_wallClock.store(&lf_tickingClock);
  g_testNow.store(kSunday235959);
  EXPECT_EQ(gf_dayHhNow(), (DayHh{7, 47}));
  EXPECT_EQ(gf_dayHhNow(), (DayHh{1, 0}));
  // Across an ordinary midnight, Tuesday to Wednesday.
  g_testNow.store(kSunday235959 + 2 * 86400);
  EXPECT_EQ(gf_dayHhNow(), (DayHh{2, 47}));
  EXPECT_EQ(gf_dayHhNow(), (DayHh{3, 0}));
}

TEST_F(DaySlotsTest, TheProfessionalEditionsTrafficTimeIsTheTimeSource) {
  g_wallClock.store(&lf_standingClock);
  g_testNow.store(kMonday102929);
  g_trafficTimeSec.store(static_cast<double>(kSunday235959) + 0.75);
  EXPECT_EQ(gf_dayHhNow(), (DayHh{1, 20}));  // standard edition: wall clock
  g_rtProfessional.store(true);
  EXPECT_EQ(gf_dayHhNow(), (DayHh{7, 47}));
  EXPECT_EQ(gf_trafficTimeNow(), "23:59:59");
  EXPECT_EQ(gf_timeNow(), "10:29:29");
  g_trafficTimeSec.store(0.0);  // no traffic yet: wall clock
  EXPECT_EQ(gf_dayHhNow(), (DayHh{1, 20}));
  for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, -5.0, 1e300}) {
    g_trafficTimeSec.store(bad);
    EXPECT_EQ(gf_dayHhNow(), (DayHh{1, 20})) << bad;
  }
}

TEST_F(DaySlotsTest, HalfHourDifferenceWrapsOnlyFromSundayToMonday) {
  g_dayHhNow.store(DayHh{7, 47});  // the shared value keeps both halves
  EXPECT_EQ(g_dayHhNow.load(), (DayHh{7, 47}));
  EXPECT_EQ(gf_hhDifference({1, 0}, {7, 47}), 1u);
  EXPECT_EQ(gf_hhDifference({7, 47}, {1, 0}), 1u);
  EXPECT_EQ(gf_hhDifference({2, 0}, {1, 47}), 1u);
  EXPECT_EQ(gf_hhDifference({3, 10}, {3, 10}), 0u);
  EXPECT_EQ(gf_hhDifference({3, 10}, {3, 14}), 4u);
  EXPECT_EQ(gf_hhDifference({1, 5}, {6, 5}), 5u * 48u);  // Saturday is later than Monday
  EXPECT_EQ(gf_hhDifference({1, 2}, {7, 45}), 5u);
}

TEST_F(DaySlotsTest, SlotListsConvertBothWays) {
  HalfHours expected;
  expected.set(0).set(1).set(47);
  EXPECT_EQ(gf_hours2bitset("0,1,47"), expected);
  EXPECT_EQ(gf_hours2bitset(""), HalfHours{});
  EXPECT_EQ(gf_hours2bitset("12x"), HalfHours{}.set(12));
  EXPECT_EQ(gf_hours2bitset("-0,+1"), HalfHours{}.set(0));  // "+1" has no digit first
  EXPECT_EQ(gf_bitset2hours(HalfHours{}.set(3).set(4)), "3,4");
  EXPECT_EQ(gf_bitset2hours(HalfHours{}), "");
  EXPECT_EQ(gf_bitset2hours(expected), "0,1,47");
  HalfHours all;
  all.set();
  EXPECT_EQ(gf_hours2bitset(gf_bitset2hours(all)), all);
}

TEST_F(DaySlotsTest, BadSlotTokensAreLoggedAndSkipped) {
  TempWorkingFolder folder;
  gf_openLog();
  EXPECT_EQ(gf_hours2bitset("48,-1,a,5,,99999999999"), HalfHours{}.set(5));
  EXPECT_EQ(gf_hours2bitset("7,", "stand A12"), HalfHours{}.set(7));
  EXPECT_EQ(gf_hours2bitset(" 8", "stand A12"), HalfHours{});
  gf_closeLog();
  auto lines = gf_testReadLines("Log.txt");
  lines.erase(lines.begin());  // header
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "===> gf_hours2bitset invalid hour \"48\" in 48,-1,a,5,,99999999999",
                       "===> gf_hours2bitset invalid hour \"-1\" in 48,-1,a,5,,99999999999",
                       "===> gf_hours2bitset invalid hour \"a\" in 48,-1,a,5,,99999999999",
                       "===> gf_hours2bitset invalid hour \"\" in 48,-1,a,5,,99999999999",
                       "===> gf_hours2bitset invalid hour \"99999999999\" in "
                       "48,-1,a,5,,99999999999",
                       "===> stand A12 invalid hour \"\" in 7,",
                       "===> stand A12 invalid hour \" 8\" in  8",
                   }));
}

}  // namespace

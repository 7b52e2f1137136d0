#include "runtime/frame_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/threads.h"
#include "runtime/shell_records.h"
#include "support/shell_double.h"

namespace {

int64_t fake_us = 0;
int64_t fake_clock() { return fake_us; }

class FrameClock : public testing::Test {
 protected:
  void SetUp() override {
    xtim_restart();
    fake_us = 5000000;  // any origin: only differences count
    platform_set_time_source(fake_clock);
    mnw = mnw_struct();
    mnw.topwi = 0;
    shell_double::reset();
    shell_double::reopen_log();
  }
  void TearDown() override { platform_set_time_source(nullptr); }

  // Runs one frame at the given elapsed time (seconds since the first frame of the test).
  void frame_at(double seconds) {
    fake_us = 5000000 + static_cast<int64_t>(std::llround(seconds * 1e6));
    clock.xtim_update();
  }

  xtim_class clock;
};

}  // namespace

TEST_F(FrameClock, ConstructedValues) {
  EXPECT_EQ(clock.first_frame, 1);
  EXPECT_FLOAT_EQ(clock.frame_period[0], 0.02f);
  EXPECT_FLOAT_EQ(clock.frame_period[1], 0.02f);
  EXPECT_FLOAT_EQ(clock.frame_period[2], 0.0f);
  EXPECT_FLOAT_EQ(clock.period_ratio, 1.0f);
  EXPECT_FLOAT_EQ(clock.time_of_day[0], 43200.0f);
  EXPECT_FLOAT_EQ(clock.longest_period, 0.05263158f);
  EXPECT_FLOAT_EQ(clock.day_of_year, 90.0f);
  EXPECT_EQ(clock.elapsed, 0.0f);
}

TEST_F(FrameClock, SteadySixtyHertzConvergesInTenFrameSteps) {
  std::vector<float> periods;
  for (int i = 0; i < 400; ++i) {
    frame_at(i / 60.0);
    periods.push_back(clock.frame_period[0]);
    EXPECT_EQ(clock.frame_period[1], clock.frame_period[0]);
    EXPECT_EQ(clock.frame_period[2], clock.frame_period[0]);
  }
  EXPECT_NEAR(clock.elapsed, 399 / 60.0, 1e-4);
  // The period changes only on frames 0, 10, 20, ... and each change is at most a factor of
  // 1.5^(1/4) or 0.5^(1/4).
  for (size_t i = 1; i < periods.size(); ++i) {
    if (i % 10 != 0) {
      EXPECT_EQ(periods[i], periods[i - 1]) << "frame " << i;
    } else {
      double step = periods[i] / periods[i - 1];
      EXPECT_LE(step, std::pow(1.5, 0.25) + 1e-6);
      EXPECT_GE(step, std::pow(0.5, 0.25) - 1e-6);
    }
  }
  EXPECT_NEAR(periods.back(), 1 / 60.0, 0.0005);
}

TEST_F(FrameClock, SlowFramesStayAtTheLongestPeriod) {
  for (int i = 0; i < 200; ++i) frame_at(i * 0.1);
  EXPECT_FLOAT_EQ(clock.frame_period[0], 0.05263158f);
  EXPECT_FLOAT_EQ(clock.period_ratio, 1.5f);

  // From a steady 60 Hz, one pause of 30 s moves the period by at most 1.5^(1/4).
  xtim_restart();
  for (int i = 0; i < 300; ++i) frame_at(i / 60.0);
  const float before = clock.frame_period[0];
  for (int i = 300; i < 310; ++i) frame_at(30.0 + i / 60.0);
  EXPECT_NEAR(clock.frame_period[0] / before, std::pow(1.5, 0.25), 1e-4);
}

TEST_F(FrameClock, ModalScreensFreezeThePeriod) {
  for (int i = 0; i < 100; ++i) frame_at(i / 60.0);
  const float main_period = clock.frame_period[0];
  mnw.topwi = 995;
  for (int i = 100; i < 200; ++i) frame_at(i / 10.0);  // slow frames while the alert shows
  EXPECT_EQ(clock.frame_period[0], main_period);
  mnw.topwi = 0;
  double t = 200 / 10.0;
  for (int i = 0; i < 10; ++i) frame_at(t + i / 60.0);
  // Back on the main screen the measurement starts from the last modal frame, so the slow
  // frames do not push the period up.
  EXPECT_LE(clock.frame_period[0], main_period);
  EXPECT_GE(clock.frame_period[0], main_period * std::pow(0.5f, 0.25f));

  // Any other screen keeps a period of its own.
  mnw.topwi = 2;
  for (int i = 0; i < 200; ++i) frame_at(t + 1 + i * 0.1);
  EXPECT_FLOAT_EQ(clock.frame_period[0], 0.05263158f);
  mnw.topwi = 0;
  frame_at(t + 1 + 200 * 0.1);
  EXPECT_NE(clock.frame_period[0], 0.05263158f);
}

TEST_F(FrameClock, IntervalFlagsFireForOneFrame) {
  std::vector<int> one_second_frames, fifth_second_frames;
  for (int i = 0; i <= 60 * 5; ++i) {
    frame_at(i / 60.0);
    if (clock.act_tick[xtim_class::tick_1s]) one_second_frames.push_back(i);
    if (clock.act_tick[xtim_class::tick_0_2s]) fifth_second_frames.push_back(i);
    EXPECT_EQ(clock.sim_tick[xtim_class::tick_1s], 0);  // simulated time never moves
  }
  // The first frame after 1.0 s, then the first frame more than 1 s after that, ... (float
  // rounding of the elapsed time decides ties).
  ASSERT_EQ(one_second_frames.size(), 4u);
  EXPECT_EQ(one_second_frames[0], 61);
  for (size_t i = 1; i < one_second_frames.size(); ++i) {
    EXPECT_GE(one_second_frames[i] - one_second_frames[i - 1], 60);
    EXPECT_LE(one_second_frames[i] - one_second_frames[i - 1], 61);
  }
  EXPECT_EQ(fifth_second_frames.size(), 23u);
  EXPECT_EQ(fifth_second_frames.front(), 13);

  clock.sim_time = 10.5f;
  frame_at(6.0);
  EXPECT_EQ(clock.sim_tick[xtim_class::tick_10s], 1);
  EXPECT_EQ(clock.sim_tick[xtim_class::tick_0_025s], 1);
  frame_at(6.01);
  EXPECT_EQ(clock.sim_tick[xtim_class::tick_10s], 0);
}

// The window's work runs from the hook, once per step, with the step's elapsed time.
TEST_F(FrameClock, CallsTheFrameHookWithTheElapsedTime) {
  static std::vector<float> seen;
  seen.clear();
  xtim_set_frame_hook([](float elapsed) { seen.push_back(elapsed); });
  frame_at(0.0);
  frame_at(0.25);
  xtim_set_frame_hook(nullptr);
  frame_at(0.5);
  EXPECT_EQ(seen, (std::vector<float>{0.0f, 0.25f}));
}

TEST_F(FrameClock, MonthAndDay) {
  struct row {
    float day_of_year;
    int month, day;
  } rows[] = {
      {0, 0, 1},     {30.9f, 0, 31}, {31, 1, 1},   {59, 2, 1},   {90, 3, 1},
      {333, 10, 30}, {334, 11, 1},   {364, 11, 31},
      // Outside the year: clamped instead of reading past the month table.
      {364.99f, 11, 31}, {365, 11, 31}, {1e9f, 11, 31}, {-3, 0, 1},
      {std::numeric_limits<float>::quiet_NaN(), 0, 1},
  };
  for (const row& r : rows) {
    clock.day_of_year = r.day_of_year;
    int month = -1, day = -1;
    clock.current_month_day(&month, &day);
    EXPECT_EQ(month, r.month) << r.day_of_year;
    EXPECT_EQ(day, r.day) << r.day_of_year;
  }
}

TEST_F(FrameClock, HoursMinutesSeconds) {
  float h, m, s;
  xtim_class::xtim_hrs_min_sec(3725.9f, &h, &m, &s);
  EXPECT_EQ(h, 1.0f);
  EXPECT_EQ(m, 2.0f);
  EXPECT_EQ(s, 5.0f);
  xtim_class::xtim_hrs_min_sec(59.5f, &h, &m, &s);
  EXPECT_EQ(h + m, 0.0f);
  EXPECT_EQ(s, 59.0f);
}

TEST_F(FrameClock, MicrosecondStamps) {
  EXPECT_EQ(xtim_class::microsecs(), 0);  // the first call fixes the origin
  fake_us += 1500;
  EXPECT_EQ(xtim_class::microsecs(), 1500);

  unsigned long long stamp = 0;
  EXPECT_EQ(xtim_class::del_time(&stamp), 1500);
  EXPECT_EQ(stamp, 1500u);
  fake_us += 250;
  EXPECT_EQ(xtim_class::del_time(&stamp), 250);
  EXPECT_EQ(xtim_class::del_time(nullptr), 1750);  // the clock's own stamp starts at 0
  fake_us += 10;
  EXPECT_EQ(xtim_class::del_time(nullptr), 10);

  // Only the low 32 bits of a long difference.
  fake_us += (int64_t(1) << 32) + 7;
  stamp = 1750;
  EXPECT_EQ(xtim_class::del_time(&stamp), 17);
}

TEST_F(FrameClock, ProfileChartWritesOnlyWhenSwitchedOn) {
  xtim_class::profile_chart("init", 1);
  EXPECT_EQ(shell_double::log_text(), "");

  mnw.profile_chart = 1;
  mnw.topwi = 2;
  xtim_class::microsecs();
  fake_us += 12340;
  xtim_class::profile_chart("init", 0);
  fake_us += 500000;
  xtim_class::profile_chart("finish", 1);
  fake_us += 250000;
  xtim_class::profile_chart("finish", 1);
  EXPECT_EQ(shell_double::log_text(),
            "init=  1234 | finish= 50000 |    total: 0.000 sec for topwi=2\n"
            "finish= 25000 |    total: 0.250 sec for topwi=2\n");
}

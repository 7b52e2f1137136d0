#include "runtime/frame_clock.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <iomanip>

#include "platform/threads.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

namespace {

const int64_t no_origin = INT64_MIN;
std::atomic<int64_t> origin{no_origin};

// The stamp that del_time and profile_chart use when given none.
std::atomic<int64_t> own_stamp{0};

// What xtim_update and profile_chart keep from one call to the next.
struct kept_values {
  bool started = false;
  float start_time = 0;
  float prd_win_0 = 0.02f;  // smoothed period of the main screen
  float prd_win_n = 0.02f;  // and of the other screens
  int cntr_FM = 0, cntr_UI = 0;
  float last_time_FM = 0, last_time_UI = 0;
  float sim_last[xtim_class::tick_count] = {};  // when each flag last fired
  float act_last[xtim_class::tick_count] = {};
  bool chart_started = false;
  float chart_last_time = 0;
};
kept_values kept;

const float tick_interval[xtim_class::tick_count] = {10, 5, 2, 1, 0.5f, 0.2f, 0.1f, 0.05f, 0.025f};

const float shortest_period = 0.0010000999f;
const float longest_period = 0.05263158f;

// Follows the measured average period of the last ten frames by a fourth root, clamped, so one
// slow frame moves the period only a little.
void smooth_period(float elapsed, float& last_time, float& period, float& ratio_out) {
  float ratio = ((elapsed - last_time) * 0.1f) / period;
  ratio = std::min(1.5f, std::max(0.5f, ratio));
  ratio_out = ratio;
  period *= std::pow(ratio, 0.25f);
  period = std::min(longest_period, std::max(shortest_period, period));
  last_time = elapsed;
}

void step_ticks(float time, float* last, int* flag) {
  for (int i = 0; i < xtim_class::tick_count; ++i) {
    flag[i] = 0;
    if (std::fabs(time - last[i]) > tick_interval[i]) {
      flag[i] = 1;
      last[i] = time;
    }
  }
}

}  // namespace

xtim_class xtim;

namespace {
xtim_frame_hook frame_hook = nullptr;
}  // namespace

void xtim_set_frame_hook(xtim_frame_hook hook) { frame_hook = hook; }

xtim_class::xtim_class() {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  first_frame = 1;
  reserved_b[0] = reserved_b[1] = 1.0f;
  frame_period[0] = frame_period[1] = 0.02f;
  period_ratio = 1.0f;
  time_of_day[0] = time_of_day[1] = 43200.0f;
  longest_period = 0.05263158f;
  day_of_year = 90.0f;
}

int64_t xtim_class::microsecs() {
  int64_t now = platform_microseconds();
  int64_t expected = no_origin;
  if (origin.load(std::memory_order_acquire) == no_origin)
    origin.compare_exchange_strong(expected, now, std::memory_order_acq_rel);
  return now - origin.load(std::memory_order_acquire);
}

int xtim_class::del_time(unsigned long long* stamp) {
  const int64_t now = microsecs();
  if (!stamp) {
    int64_t before = own_stamp.exchange(now);
    return static_cast<int>(static_cast<uint32_t>(now - before));
  }
  uint32_t delta = static_cast<uint32_t>(static_cast<unsigned long long>(now) - *stamp);
  *stamp = static_cast<unsigned long long>(now);
  return static_cast<int>(delta);
}

void xtim_class::profile_chart(std::string section, int with_total) {
  if (!mnw.profile_chart) return;
  const int64_t now = microsecs();
  const int64_t delta = now - own_stamp.exchange(now);
  const std::ios::fmtflags flags = xer.flags();
  const std::streamsize precision = xer.precision();
  xer << std::fixed << section << "=" << std::setw(6) << std::setprecision(0) << delta * 0.1
      << " | ";
  if (with_total) {
    const float now_s = static_cast<float>(now / 1000000.0);
    if (!kept.chart_started) {
      kept.chart_started = true;
      kept.chart_last_time = now_s;
    }
    const float total = now_s - kept.chart_last_time;
    kept.chart_last_time = now_s;
    xer << "   total: " << std::setw(5) << std::setprecision(3) << total
        << " sec for topwi=" << mnw.topwi << "\n";
  }
  xer.flags(flags);
  xer.precision(precision);
}

void xtim_class::xtim_update() {
  // 1. Time.
  const int64_t now = microsecs();
  if (!kept.started) {
    kept.started = true;
    kept.start_time = static_cast<float>(now / 1000000.0);
  }
  elapsed = static_cast<float>(now / 1000000.0 - kept.start_time);

  // 2. Frame period: the main screen and the other screens each keep their own, and the
  // fixed-size modal screens freeze it.
  if (mnw.topwi == 0 || mnw.two_windows) {
    if (kept.cntr_FM++ % 10 == 0)
      smooth_period(elapsed, kept.last_time_FM, kept.prd_win_0, period_ratio);
    frame_period[0] = frame_period[1] = frame_period[2] = kept.prd_win_0;
    kept.last_time_UI = elapsed;
  } else if (mnw.topwi >= 994 && mnw.topwi <= 999) {
    kept.last_time_FM = kept.last_time_UI = elapsed;
  } else {
    kept.last_time_FM = elapsed;
    if (kept.cntr_UI++ % 10 == 0)
      smooth_period(elapsed, kept.last_time_UI, kept.prd_win_n, period_ratio);
    frame_period[0] = frame_period[1] = frame_period[2] = kept.prd_win_n;
  }

  // 3. Interval flags.
  step_ticks(sim_time, kept.sim_last, sim_tick);
  step_ticks(elapsed, kept.act_last, act_tick);

  // 4. What the window does with each frame's time (mouse timing, the palette's pulse).
  if (frame_hook) frame_hook(elapsed);
}

void xtim_class::current_month_day(int* month, int* day) const {
  static const int month_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  // A day of year outside the year (or not a number) would walk off the end of the table.
  float d = day_of_year;
  if (!(d >= 0)) d = 0;
  if (d >= 365) d = 364;
  if (d < 31) {
    *month = 0;
    *day = static_cast<int>(d) + 1;
    return;
  }
  int before = 0;
  for (int m = 0; m < 12; ++m) {
    if (before + month_days[m] > d) {
      *month = m;
      *day = static_cast<int>(d - before) + 1;
      return;
    }
    before += month_days[m];
  }
}

void xtim_class::xtim_hrs_min_sec(float seconds, float* hours, float* minutes, float* secs) {
  *hours = std::trunc(seconds / 3600.0f);
  *minutes = std::trunc(seconds / 60.0f) - *hours * 60.0f;
  *secs = std::trunc(seconds) - *hours * 3600.0f - *minutes * 60.0f;
}

void xtim_restart() {
  origin = no_origin;
  own_stamp = 0;
  kept = kept_values();
}

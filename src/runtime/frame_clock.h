// The program's clock, stepped once per frame by the shell's event procedure: elapsed real time,
// a smoothed frame period and flags set on the one frame in which a fixed interval has passed.
// The window's own per-frame work (mouse timing, the pulsing palette entries) runs from a hook
// the shell installs. Main thread only, except microsecs and del_time, which any thread may
// call.
#pragma once

#include <cstdint>
#include <string>

class xtim_class {
 public:
  // Indices of the interval flags: the flag is set for one frame each time that much time has
  // passed since it last fired.
  enum { tick_10s, tick_5s, tick_2s, tick_1s, tick_0_5s, tick_0_2s, tick_0_1s, tick_0_05s,
         tick_0_025s, tick_count };

  xtim_class();

  // One step per frame: time, frame period, interval flags, then the frame hook.
  void xtim_update();

  // Microseconds since the clock's origin, fixed by the first call of any time member.
  static int64_t microsecs();
  // Microseconds since *stamp (the low 32 bits of the difference), then *stamp = now; a null
  // stamp uses the clock's own.
  static int del_time(unsigned long long* stamp);
  // A profiling checkpoint written to the log; does nothing unless mnw.profile_chart is set.
  static void profile_chart(std::string section, int with_total);
  // Month (0 = January) and day of month (from 1) of day_of_year, for a year of 365 days.
  void current_month_day(int* month, int* day) const;
  // Whole hours, minutes and seconds of a number of seconds.
  static void xtim_hrs_min_sec(float seconds, float* hours, float* minutes, float* secs);

  int first_frame;         // set until the shell clears it after the wizard's first frame
  int reserved_a[3];
  float reserved_b[2];
  float frame_period[3];   // the smoothed frame period in seconds, the same in all three
  float period_ratio;      // the last measured ratio of actual to smoothed period, 0.5 to 1.5
  int frame_count;         // counted up by the shell once per frame
  float elapsed;           // real seconds since the first xtim_update
  float sim_time;          // simulated seconds; read here, advanced by nothing in this program
  int reserved_c[2];
  float time_of_day[2];    // seconds since midnight
  float reserved_d;
  float longest_period;    // 1/19 s, the upper bound of the smoothed period
  int reserved_e[2];
  float day_of_year;       // days since 1 January, from 0
  int reserved_f[2];
  int sim_tick[tick_count];  // interval flags of simulated time
  int act_tick[tick_count];  // interval flags of elapsed real time
};

extern xtim_class xtim;

// Called at the end of every xtim_update with the new elapsed time; the shell installs it.
using xtim_frame_hook = void (*)(float elapsed);
void xtim_set_frame_hook(xtim_frame_hook hook);

// Forgets the clock's origin and returns every value the update keeps between frames to its
// value at load, as at a fresh start. For tests that drive the clock through
// platform_set_time_source.
void xtim_restart();

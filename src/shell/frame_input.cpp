#include "shell/frame_input.h"

#include <cmath>

#include "runtime/shell_records.h"

namespace {
// The mouse position of the previous frame; far away at the start, so the first frame counts
// as activity.
float last_x = 999, last_y = 999;
}  // namespace

void shell_frame_tick_reset() { last_x = last_y = 999; }

void shell_frame_tick(float t) {
  // Mouse timing.
  mnw.mouse_long = mnw.mouse_held && t > mnw.press_time + 0.25f;
  mnw.mouse_double = mnw.mouse_down && mnw.press_time + 0.25f > t;
  mnw.mouse_quick = mnw.mouse_up && mnw.press_time + 0.25f > t;
  if (mnw.mouse_down) {
    mnw.mouse_held = 1;
    mnw.press_time = mnw.activity_time = t;
    BTN_unfocus_any();
  }
  if (mnw.mouse_up) {
    mnw.mouse_held = 0;
    mnw.mouse_long = 0;
  }
  if (std::fabs(mnw.mouse_x - last_x) > 0.5f || std::fabs(mnw.mouse_y - last_y) > 0.5f)
    mnw.activity_time = t;
  last_x = mnw.mouse_x;
  last_y = mnw.mouse_y;

  // Pulse of the palette.
  const float s = std::sin(20.0f * t) * 0.3f + 0.7f;
  colr.assign(79, s, s, s);
  colr.assign(80, s, 0.5f * s, 0);
  colr.assign(81, s, 0.3f * s, 0.3f * s);
  colr.assign(82, 0.3f * s, 0.3f * s, s);
  colr.assign(83, 0.2f * s, 0.8f * s, 0.2f * s);
  colr.assign(84, 0.7f * s, 0.7f * s, 0.2f * s);
  colr.pulse = s;
}


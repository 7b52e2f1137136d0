// The shell's event procedure on the test display's window, for tests that give it input with
// xdotool: the window record started afresh for the window, and frames run until what a test
// waits for has been seen.
#pragma once

#include "platform/window.h"
#include "runtime/shell_records.h"
#include "shell/event_proc.h"
#include "shell/menus.h"

// A fresh window record the size of the window, no screen on top and no menus; the window's own
// first events are read and dropped.
inline void start_event_proc_window() {
  mnw = mnw_struct();
  window_drawable_size(&mnw.draw_w, &mnw.draw_h);
  mnw.pix_per_unit = 1;
  mnw.topwi = -1;
  MACIBM_clear_menus(1);
  for (int i = 0; i < 5; ++i) MACIBM_event_proc();
}

// Runs the event procedure until condition() holds; false after the given number of frames.
template <typename F>
bool event_frames_until(F condition, int frames) {
  for (int i = 0; i < frames; ++i) {
    MACIBM_event_proc();
    if (condition()) return true;
  }
  return false;
}

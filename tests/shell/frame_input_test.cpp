// The window's per-frame work: mouse timing for the widgets and the palette's pulse, run with
// each frame's elapsed time.
#include "shell/frame_input.h"

#include <gtest/gtest.h>

#include <cmath>

#include "runtime/shell_records.h"

namespace {

class FrameInput : public testing::Test {
 protected:
  void SetUp() override {
    shell_frame_tick_reset();
    mnw = mnw_struct();
    colr = colr_class();
  }
  void frame_at(double seconds) { shell_frame_tick(static_cast<float>(seconds)); }
};

TEST_F(FrameInput, MouseTiming) {
  struct step {
    double t;
    int down, up;
    float x;
    int held, long_press, double_press, quick;
    float press_time, activity_time;
  } steps[] = {
      {1.0, 1, 0, 10, 1, 0, 0, 0, 1.0f, 1.0f},   // press
      {1.1, 0, 1, 10, 0, 0, 0, 1, 1.0f, 1.0f},   // quick release
      {1.2, 1, 0, 10, 1, 0, 1, 0, 1.2f, 1.2f},   // second press 0.2 s after the first
      {1.4, 0, 0, 10, 1, 0, 0, 0, 1.2f, 1.2f},   // held
      {1.5, 0, 0, 10.4f, 1, 1, 0, 0, 1.2f, 1.2f},  // long press; a small move is no activity
      {1.6, 0, 1, 11, 0, 0, 0, 0, 1.2f, 1.6f},   // slow release; the move is activity
      {1.9, 1, 0, 11, 1, 0, 0, 0, 1.9f, 1.9f},   // a press 0.3 s after the last one
  };
  mnw.mouse_x = 10;
  frame_at(0.0);
  for (const step& s : steps) {
    mnw.mouse_down = s.down;
    mnw.mouse_up = s.up;
    mnw.mouse_x = s.x;
    frame_at(s.t);
    EXPECT_EQ(mnw.mouse_held, s.held) << s.t;
    EXPECT_EQ(mnw.mouse_long, s.long_press) << s.t;
    EXPECT_EQ(mnw.mouse_double, s.double_press) << s.t;
    EXPECT_EQ(mnw.mouse_quick, s.quick) << s.t;
    EXPECT_NEAR(mnw.press_time, s.press_time, 1e-4) << s.t;
    EXPECT_NEAR(mnw.activity_time, s.activity_time, 1e-4) << s.t;
  }
}

TEST_F(FrameInput, PulseSetsPaletteEntries) {
  for (double t : {0.0, 0.05, 0.1, 0.3}) {
    frame_at(t);
    const float s = static_cast<float>(std::sin(20 * t) * 0.3 + 0.7);
    EXPECT_NEAR(colr.pulse, s, 1e-5);
    const float expected[6][3] = {{s, s, s},
                                  {s, 0.5f * s, 0},
                                  {s, 0.3f * s, 0.3f * s},
                                  {0.3f * s, 0.3f * s, s},
                                  {0.2f * s, 0.8f * s, 0.2f * s},
                                  {0.7f * s, 0.7f * s, 0.2f * s}};
    for (int e = 0; e < 6; ++e)
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(colr.rgb[79 + e][c], expected[e][c], 1e-5);
  }
  EXPECT_FLOAT_EQ(colr.rgb[78][0], 0.44f);  // neighbours untouched
  EXPECT_FLOAT_EQ(colr.rgb[85][0], 1.0f);
}

}  // namespace

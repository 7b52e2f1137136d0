// The in-window alert on the test display: its four lines drawn by the text renderer, centred
// in the 420 x 250 alert screen in the middle of the window, read back from the frame it draws
// and saved as a screenshot. The widgets are not part of this picture (their stand-ins draw
// nothing); the button is clicked in the second frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/dialogs.h"
#include "platform/folders.h"
#include "platform/window.h"
#include "platform/window_events.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/alerts.h"
#include "shell/event_proc.h"
#include "shell/frame_parts.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "support/display_fixture.h"
#include "support/temp_tree.h"

namespace {

const bool hooks = (shell_install_hooks(), true);

int frames = 0;
gl_picture first_frame;

class WindowAlertDisplay : public gl_display_test {};

TEST_F(WindowAlertDisplay, LinesCentredInTheAlertScreen) {
  temp_tree dir;
  diagnostics_folder = dir.path();
  // The fonts come from the program's Resources folder.
  platform_set_executable_path(SKY_BINARY_DIR "/src/skyrill-installer");
  shell_use_frame_parts();
  // The widgets are stand-ins that draw nothing: the picture holds the text alone.
  frame_parts.fillwin = nullptr;
  frame_parts.subwin = nullptr;
  frame_parts.frame1 = nullptr;
  frame_parts.frame2 = nullptr;
  frame_parts.zap_boxes = nullptr;
  frame_parts.standard_gui = nullptr;
  frame_parts.swap_buffers = [] {
    if (frames++ == 0) {
      first_frame = read_back_buffer();
      save_screenshot("in_window_alert");
    }
  };
  frame_parts.action = [](float, float, float, int, int, const std::string&,
                          const std::string&) { return frames >= 1 ? 1 : 0; };
  window_flush_events();
  shell_event_proc_reset();
  mnw = mnw_struct();
  window_drawable_size(&mnw.draw_w, &mnw.draw_h);
  frame_parts.pix_specs(0);
  MACIBM_clear_menus(1);
  MACIBM_startwind(0);
  ogl_inited = 1;
  colr.assign(34, 0.16f, 0.2f, 0.27f);  // the background
  colr.assign(43, 1, 1, 1);

  __MACIBM_alert(0, "The installer cannot download a file.", "Second line", "Third line",
                 "Fourth", t_alert, "a.cpp", 1);
  ogl_inited = 0;
  frame_parts = shell_frame_parts();
  platform_set_executable_path("");
  diagnostics_folder.clear();

  ASSERT_GE(frames, 1);
  ASSERT_EQ(first_frame.width, 1024);
  // White text lies only inside the alert screen (302..722 x 259..509), around its four rows.
  // Text pixels: anything much brighter than the background, antialiased edges included.
  int x0 = 1 << 20, y0 = 1 << 20, x1 = -1, y1 = -1;
  for (int y = 0; y < first_frame.height; ++y)
    for (int x = 0; x < first_frame.width; ++x)
      if (first_frame.at(x, y)[0] > 128) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  ASSERT_GE(x1, 0) << "no text drawn";
  EXPECT_GE(x0, 302 + 20);
  EXPECT_LE(x1, 722 - 20);
  EXPECT_NEAR((x0 + x1) / 2.0, 512, 6) << "centred on the screen's middle";
  EXPECT_GE(y0, 259 + 85 - 20);
  EXPECT_LE(y1, 259 + 205 + 20);
}

}  // namespace

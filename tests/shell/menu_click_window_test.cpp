// An in-window menu chosen with the pointer of the test display: xdotool clicks its title in
// the bar and then an item, the shell's event procedure reads the clicks from the window, opens
// the menu, and hands the item's command code to the program once; a separator does nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window.h"
#include "runtime/shell_records.h"
#include "shell/event_proc.h"
#include "shell/frame_parts.h"
#include "shell/menus.h"
#include "shell/startup.h"
#include "support/display_fixture.h"
#include "support/event_proc_window.h"
#include "support/interface_atlas.h"
#include "support/process.h"

namespace {

const bool hooks = (shell_install_hooks(), true);

std::vector<int> chosen;

class MenuClickWindow : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string problem;
    ASSERT_TRUE(open_test_window(1024, 768, &problem, true)) << problem;
    // The menu's layout measures its texts with the bundled face.
    ASSERT_TRUE(start_widgets_on_display(SKY_RESOURCES_DIR));
  }
  static void TearDownTestSuite() { close_test_window(); }
  void SetUp() override {
    ASSERT_TRUE(hooks);
    shell_event_proc_reset();
    frame_parts = shell_frame_parts();
    frame_parts.swap_buffers = window_swap;
    frame_parts.app_handlemenu = [](int code) { chosen.push_back(code); };
    chosen.clear();
    start_event_proc_window();
    window_ = run_process({"xdotool", "search", "--name", "."}).out;
    window_ = window_.substr(0, window_.find('\n'));
    ASSERT_FALSE(window_.empty());
  }
  void TearDown() override {
    MACIBM_clear_menus(1);
    frame_parts = shell_frame_parts();
  }

  // Clicks the middle of a box (left, bottom, right, top in window units, y up): the pointer is
  // moved first and seen by a frame, then pressed and released.
  void click_box(short x1, short y1, short x2, short y2) {
    move_to_box(x1, y1, x2, y2);
    ASSERT_EQ(run_process({"xdotool", "click", "1"}).exit_code, 0);
  }
  void move_to_box(short x1, short y1, short x2, short y2) {
    const int x = (x1 + x2) / 2, y = mnw.draw_h - (y1 + y2) / 2;
    ASSERT_EQ(run_process({"xdotool", "mousemove", "--window", window_, "--sync", std::to_string(x),
                           std::to_string(y)})
                  .exit_code,
              0);
    ASSERT_TRUE(frames_until([&] { return mnw.mouse_x == x && mnw.mouse_y == mnw.draw_h - y; }));
  }
  // Frames until the condition holds (a few seconds at most).
  template <typename F>
  bool frames_until(F condition) {
    return event_frames_until(condition, 300);
  }
  std::string window_;
};

TEST_F(MenuClickWindow, AClickedItemIsHandledOnce) {
  MACIBM_create_menu(0, 0, "File");
  MACIBM_append_menu(0, 0, 101, "Open", 0);
  MACIBM_append_menu(0, 1, 0, "-", 0);
  MACIBM_append_menu(0, 2, 103, "Quit", 0);
  MACIBM_create_menu(1, 0, "Help");
  MACIBM_append_menu(1, 0, 201, "About", 0);
  const menu_struct& file = menu[0];
  ASSERT_GT(file.x2, file.x1);
  ASSERT_EQ(file.items.size(), 3u);

  // The title opens the menu; nothing is chosen yet.
  click_box(file.x1, file.y1, file.x2, file.y2);
  ASSERT_TRUE(frames_until([] { return mnw.open_menu == 0; }));
  for (int i = 0; i < 10; ++i) MACIBM_event_proc();
  EXPECT_TRUE(chosen.empty());

  // The separator is no item: the click closes the menu and chooses nothing.
  click_box(file.items[1].x1, file.items[1].y1, file.items[1].x2, file.items[1].y2);
  ASSERT_TRUE(frames_until([] { return mnw.open_menu == -1; }));
  EXPECT_TRUE(chosen.empty());

  // Opened again, "Quit" is chosen: its code once, and the menu closes.
  click_box(file.x1, file.y1, file.x2, file.y2);
  ASSERT_TRUE(frames_until([] { return mnw.open_menu == 0; }));
  click_box(file.items[2].x1, file.items[2].y1, file.items[2].x2, file.items[2].y2);
  ASSERT_TRUE(frames_until([] { return !chosen.empty(); }));
  for (int i = 0; i < 10; ++i) MACIBM_event_proc();
  EXPECT_EQ(chosen, std::vector<int>{103});
  EXPECT_EQ(mnw.open_menu, -1);

  // With one menu open, the pointer moved over another title opens that one instead; its item
  // is handled with its own code.
  click_box(file.x1, file.y1, file.x2, file.y2);
  ASSERT_TRUE(frames_until([] { return mnw.open_menu == 0; }));
  const menu_struct& help = menu[1];
  move_to_box(help.x1, help.y1, help.x2, help.y2);
  ASSERT_TRUE(frames_until([] { return mnw.open_menu == 1; }));
  click_box(help.items[0].x1, help.items[0].y1, help.items[0].x2, help.items[0].y2);
  ASSERT_TRUE(frames_until([] { return chosen.size() == 2; }));
  EXPECT_EQ(chosen.back(), 201);
}

}  // namespace

// The event procedure on a real window of the test display, with input from xdotool as a user
// would give it: the pointer's position in screen units (y up, relative to the current
// screen's origin), a press and a release each seen in exactly one frame, a typed key with its
// character, and the frame's swap. The pictures a frame draws are looked at by the drawing
// tests; here the frame is read back only to show it ran.
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/window.h"
#include "platform/window_events.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/event_proc.h"
#include "shell/frame_input.h"
#include "shell/frame_parts.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "support/display_fixture.h"
#include "support/event_proc_window.h"
#include "support/process.h"

namespace {

const bool hooks = (shell_install_hooks(), true);

std::vector<window_event> keys;

class EventProcWindow : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string problem;
    ASSERT_TRUE(open_test_window(1024, 768, &problem, true)) << problem;
  }
  static void TearDownTestSuite() { close_test_window(); }
  void SetUp() override {
    shell_event_proc_reset();
    shell_frame_tick_reset();
    frame_parts = shell_frame_parts();
    frame_parts.swap_buffers = window_swap;
    frame_parts.handle_key_raw = [](const window_event& e) { keys.push_back(e); };
    keys.clear();
    start_event_proc_window();
  }
  void TearDown() override { frame_parts = shell_frame_parts(); }
  static void xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    process_result r = run_process(args);
    ASSERT_EQ(r.exit_code, 0) << r.err;
  }
  // Frames until the condition holds (a few seconds at most), then one more check.
  template <typename F>
  bool frames_until(F condition) {
    return event_frames_until(condition, 200);
  }
};

TEST_F(EventProcWindow, PointerAndClicksFromTheServer) {
  std::string id = run_process({"xdotool", "search", "--name", "."}).out;
  ASSERT_FALSE(id.empty());
  // Into the window, 100 right and 200 down from its top-left corner.
  xdotool({"mousemove", "--window", id.substr(0, id.find('\n')), "100", "200"});
  ASSERT_TRUE(frames_until([] { return mnw.mouse_x == 100; }));
  EXPECT_FLOAT_EQ(mnw.mouse_y, 768 - 200);

  MACIBM_startwind(994);  // a centred screen: positions are relative to its origin
  MACIBM_event_proc();
  EXPECT_FLOAT_EQ(mnw.mouse_x, 100 - 302);
  EXPECT_FLOAT_EQ(mnw.mouse_y, 768 - 200 - 259);
  MACIBM_startwind(0);

  xdotool({"mousedown", "1"});
  ASSERT_TRUE(frames_until([] { return mnw.mouse_down == 1; }));
  EXPECT_EQ(mnw.mouse_held, 1);
  MACIBM_event_proc();
  EXPECT_EQ(mnw.mouse_down, 0) << "seen in one frame only";
  xdotool({"mouseup", "1"});
  ASSERT_TRUE(frames_until([] { return mnw.mouse_up == 1; }));
  EXPECT_EQ(mnw.mouse_held, 0);
  MACIBM_event_proc();
  EXPECT_EQ(mnw.mouse_up, 0);
}

TEST_F(EventProcWindow, TypedKeyArrivesWithItsCharacter) {
  xdotool({"key", "--clearmodifiers", "shift+a"});
  ASSERT_TRUE(frames_until([] {
    for (const window_event& e : keys)
      if (e.type == window_event_type::key_down && !e.text.empty()) return true;
    return false;
  }));
  for (const window_event& e : keys)
    if (e.type == window_event_type::key_down && !e.text.empty()) {
      EXPECT_EQ(e.text, "A");
      EXPECT_NE(e.modifiers & window_mod_shift, 0);
    }
}

// The window's key events as the keyboard translation reads them.
TEST_F(EventProcWindow, KeysBecomeTranslationEvents) {
  struct {
    window_event_type type;
    bool repeat;
    int modifiers;
    const char* text;
    bool key;
    int kind;
    char32_t typed;
  } cases[] = {
      {window_event_type::key_down, false, 0, "\xC3\xA9", true, key_event_down, 0xE9},
      {window_event_type::key_down, true, 0, "a", true, key_event_repeat, 'a'},
      {window_event_type::key_down, false, 0, "", true, key_event_down, 0},
      {window_event_type::key_up, false, window_mod_shift, "", true, key_event_up, 'A'},
      {window_event_type::key_up, false, 0, "", true, key_event_up, 'a'},
      {window_event_type::text, false, 0, "x", false, 0, 0},
      {window_event_type::mouse_down, false, 0, "", false, 0, 0},
  };
  for (const auto& c : cases) {
    window_event e;
    e.type = c.type;
    e.repeat = c.repeat;
    e.scancode = SDL_SCANCODE_A;
    e.modifiers = c.modifiers;
    e.text = c.text;
    platform_key_event k;
    ASSERT_EQ(window_key_event_of(e, &k), c.key) << c.text;
    if (!c.key) continue;
    EXPECT_EQ(k.kind, c.kind);
    EXPECT_EQ(k.scancode, SDL_SCANCODE_A);
    EXPECT_EQ(k.modifiers, c.modifiers);
    EXPECT_EQ(k.typed, c.typed) << c.text;
    EXPECT_EQ(k.unshifted, U'a');
    EXPECT_EQ(k.shifted, U'A');
  }
}

}  // namespace

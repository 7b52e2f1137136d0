// The widgets on the test display with the program's own atlases and fonts: a page of frames,
// panels, labels, buttons, check boxes, radio buttons and tabs drawn and read back, clicks
// pushed as window events reaching the widget under them, and Tab and Shift-Tab moving the
// keyboard focus through the real key translation.
#include <GL/gl.h>
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "platform/text.h"
#include "platform/window.h"
#include "runtime/shell_records.h"
#include "graphics/text_draw.h"
#include "shell/keyboard.h"
#include "shell/startup.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"
#include "support/display_fixture.h"
#include "support/shell_double.h"
#include "support/widgets_fixture.h"

namespace {

// The keys the page's two entry fields keep, one set for the kind.
int field_chars[64], field_vkeys[64], field_flags[64], field_owners[64], field_count = 0;

// What one frame of the page answered.
struct page_answers {
  int next = 0, back = 0, sound = 0, radio = 0, tab = 0, zap = 0;
};

struct page_state {
  int sound = 0;
  int quality = 1;
  int tab = 0;
  float heading = 45;
};

class WidgetsOnScreen : public gl_widgets_test {
 protected:
  void SetUp() override {
    gl_widgets_test::SetUp();  // screen 2 (600 x 380) centred in the 1024 x 768 window
    widget_screen_title() = "Preferences";
    window_flush_events();
  }

  // One frame: this frame's events into mnw and the keys, then the page.
  static page_answers frame(page_state& s) {
    mnw.mouse_down = 0;
    mnw.mouse_up = 0;
    window_event ev;
    while (window_poll_event(&ev)) {
      if (ev.type == window_event_type::mouse_down) {
        mnw.mouse_down = 1;
        mnw.mouse_held = 1;
        mnw.mouse_x = static_cast<float>(ev.x) - mnw.origin_x;
        mnw.mouse_y = static_cast<float>(ev.y) - mnw.origin_y;
        BTN_unfocus_any();
      } else if (ev.type == window_event_type::mouse_up) {
        mnw.mouse_up = 1;
        mnw.mouse_held = 0;
      } else if (ev.type == window_event_type::key_down || ev.type == window_event_type::key_up) {
        platform_key_event key;
        key.kind = ev.type == window_event_type::key_up ? key_event_up : ev.repeat ? key_event_repeat : key_event_down;
        key.scancode = ev.scancode;
        key.modifiers = ev.modifiers;
        // The digit row types its digit on every layout the tests use; the text event that
        // would bring it is not pushed.
        if (ev.scancode >= SDL_SCANCODE_1 && ev.scancode <= SDL_SCANCODE_9)
          key.typed = key.unshifted = key.shifted = U'1' + static_cast<char32_t>(ev.scancode - SDL_SCANCODE_1);
        keys.handle_key_raw(key);
      }
    }
    BTN_begin_focus_ring();
    glClearColor(colr.rgb[34][0], colr.rgb[34][1], colr.rgb[34][2], 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return draw_page(s);
  }

  static page_answers draw_page(page_state& s) {
    page_answers a;
    BTN_fillwin(1, 21);
    a.zap = BTN_zap_boxes(0);
    a.tab = BTN_tab(0, 0, &s.tab, 0, "General") | BTN_tab(1, 0, &s.tab, 1, "Network");
    float nx = 0, ny = 0;
    BTN_subwin(40, 13, 20, 60, 270, 250, "Display", &nx, &ny);
    BTN_subwin(40, 15, nx, 60, 290, 250, "Download", &nx, &ny);

    // Left panel: check boxes and a radio group.
    a.sound = BTN_xchr_sound(s);
    a.radio = BTN_is_int(150, 220, &s.quality, 0, "Texture quality|Low") |
              BTN_is_int(150, 200, &s.quality, 1, "|Medium") | BTN_is_int(150, 180, &s.quality, 2, "|High");
    BTN_util_draw_label(150, 140, 0, "Anti-aliasing level", 0);
    plot_dir(230, 110, &s.heading, 0);

    // Right panel: entry fields that take the focus, a progress bar and a lit button.
    for (int i = 0; i < 2; ++i) {
      const float x = 470, y = 250.0f - 40 * i;
      const int id = BTN_focus_id_at(x, y);
      const int focused = BTN_register_focus(id, field_chars, field_vkeys, field_flags, field_owners, &field_count,
                                             64, 0xD0, 0);
      BTN_frame1(9, x, y + 3, 120, 0);
      BTN_util_draw_label(x - 70, y, 0, i == 0 ? "Streams" : "Proxy port", focused);
      widget_drawing().text(focused ? 81 : 43, x - 56, y - 1, i == 0 ? "4" : "8080", 9999, 0);
    }
    BTN_frame1(4, 445, 150, 240, 0);
    BTN_frame1(5, 375, 150, 100, 0);
    widget_drawing().text(43, 445, 128, "42% of 300 MB", 9999, 1);
    BTN_action(445, 95, 0, 1, 2, "Mirror list", "-");

    // The bottom row of push buttons.
    a.back = BTN_action(390, 25, 90, 0, 1, "Back", "-");
    a.next = BTN_action(500, 25, 90, 0, 1, "Next", "-");
    BTN_action(80, 25, 90, 0, 1, "Quit", "-");
    return a;
  }

  static int BTN_xchr_sound(page_state& s) {
    int hit = BTN_bool(150, 280, &s.sound, "Play sounds|{ Engine and wind sounds", 0);
    char fullscreen = 1;
    BTN_xchr(150, 260, &fullscreen, "Full screen");
    return hit;
  }

  // A press and release at a screen point of the current screen.
  static void click(float x, float y) {
    window_event ev;
    ev.type = window_event_type::mouse_down;
    ev.button = 1;
    ev.x = static_cast<int>(x + mnw.origin_x);
    ev.y = static_cast<int>(y + mnw.origin_y);
    ASSERT_TRUE(window_push_event(ev));
    ev.type = window_event_type::mouse_up;
    ASSERT_TRUE(window_push_event(ev));
  }

  static void key(int scancode, int modifiers) {
    window_event ev;
    ev.type = window_event_type::key_down;
    ev.scancode = scancode;
    ev.modifiers = modifiers;
    ASSERT_TRUE(window_push_event(ev));
    ev.type = window_event_type::key_up;
    ASSERT_TRUE(window_push_event(ev));
  }
};

int differing(const gl_picture& a, const gl_picture& b) {
  int n = 0;
  for (size_t i = 0; i + 3 < a.rgba.size(); i += 4)
    if (std::abs(a.rgba[i] - b.rgba[i]) + std::abs(a.rgba[i + 1] - b.rgba[i + 1]) +
            std::abs(a.rgba[i + 2] - b.rgba[i + 2]) > 60)
      ++n;
  return n;
}

TEST_F(WidgetsOnScreen, ThePageDrawsFromTheAtlas) {
  page_state s;
  frame(s);
  const std::string path = save_screenshot("widgets_page");
  EXPECT_FALSE(path.empty());
  const gl_picture p = read_back_buffer();
  const uint32_t background = p.rgb(5, 5);
  // The window covers its screen; outside it the background shows.
  EXPECT_NE(p.rgb(212 + 300, 194 + 190), background);
  EXPECT_EQ(p.rgb(100, 100), background);
  // The buttons are not flat: their bar has more than one colour across its height.
  std::vector<uint32_t> seen;
  for (int y = 194 + 14; y <= 194 + 36; ++y) {
    const uint32_t c = p.rgb(212 + 500, y);
    if (std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
  }
  EXPECT_GE(seen.size(), 2u);
  // The Next button's left edge is a line darker than the panel beside it, above its label.
  auto brightness = [&](int x, int y) {
    const uint8_t* c = p.at(x, y);
    return c[0] + c[1] + c[2];
  };
  const int row = 194 + 33, panel = brightness(212 + 440, row);
  int darkest = panel;
  for (int x = 212 + 453; x <= 212 + 458; ++x) darkest = std::min(darkest, brightness(x, row));
  EXPECT_LT(darkest, panel - 60);
  // The ticked box shows its mark: the box's middle is darker than an empty box's.
  EXPECT_LT(brightness(212 + 150, 194 + 263), brightness(212 + 150, 194 + 283) - 60);
}

TEST_F(WidgetsOnScreen, EveryFrameTypeDrawsInItsPlace) {
  // The whole window is the screen here.
  mnw.topwi = 0;
  mnw.screen_w = 1024;
  mnw.screen_h = 768;
  mnw.origin_x = 0;
  mnw.origin_y = 0;
  glClearColor(colr.rgb[34][0], colr.rgb[34][1], colr.rgb[34][2], 1);
  glClear(GL_COLOR_BUFFER_BIT);
  const gl_picture empty = read_back_buffer();
  struct bar {
    int type;
    float x, y, width;
  } bars[] = {{0, 120, 740, 200}, {1, 360, 740, 200}, {2, 100, 690, 120}, {3, 260, 690, 120}, {4, 440, 690, 150},
              {5, 600, 690, 90},  {7, 120, 650, 150}, {8, 300, 650, 100}, {9, 460, 650, 120}, {10, 640, 650, 120}};
  for (const bar& b : bars) BTN_frame1(b.type, b.x, b.y, b.width, 0);
  BTN_frame0(6, 780, 660, 80);
  struct panel {
    int type;
    float x, y, w, h;
    const char* title;
  } panels[] = {{11, 30, 380, 220, 180, "Window"},  {12, 290, 380, 220, 180, "Plain window"},
                {13, 550, 380, 200, 180, "Panel"},  {14, 800, 380, 190, 180, "Help"},
                {15, 30, 120, 220, 180, "Choice"},  {16, 290, 130, 200, 160, "List"},
                {17, 540, 140, 120, 150, "Menu"},   {18, 700, 140, 120, 150, ""},
                {19, 860, 140, 120, 150, ""},       {20, 40, 20, 900, 60, "Steps"}};
  for (const panel& p : panels) BTN_frame2(p.type, p.x, p.y, p.w, p.h, p.title);
  save_screenshot("widgets_frame_types");
  const gl_picture drawn = read_back_buffer();
  // Every bar and panel changed the pixels at its centre, and the edges of a panel differ from
  // its middle (a border, not a flat box).
  for (const bar& b : bars)
    EXPECT_NE(drawn.rgb(static_cast<int>(b.x), static_cast<int>(b.y)), empty.rgb(static_cast<int>(b.x), static_cast<int>(b.y)))
        << "bar " << b.type;
  for (const panel& p : panels) {
    const int cx = static_cast<int>(p.x + p.w / 2), cy = static_cast<int>(p.y + p.h / 2);
    int changed = 0;
    for (int y = cy - 20; y <= cy + 20; ++y)
      for (int x = cx - 20; x <= cx + 20; ++x) changed += drawn.rgb(x, y) != empty.rgb(x, y);
    EXPECT_GT(changed, 800) << "panel " << p.type;
    const int left = static_cast<int>(p.x) - 2;
    EXPECT_NE(drawn.rgb(left, cy), drawn.rgb(cx, cy)) << "panel " << p.type;
  }
}

TEST_F(WidgetsOnScreen, ClicksReachTheWidgetUnderThem) {
  page_state s;
  frame(s);
  const gl_picture before = read_back_buffer(212 + 130, 194 + 270, 40, 30);

  struct row {
    float x, y;
    int page_answers::*answer;
    const char* what;
  } rows[] = {
      {500, 25, &page_answers::next, "Next"},     {390, 25, &page_answers::back, "Back"},
      {150, 282, &page_answers::sound, "sound"},  {150, 180, &page_answers::radio, "High"},
      {140, 342, &page_answers::tab, "Network"},  {16, 370, &page_answers::zap, "close box"},
  };
  for (const row& r : rows) {
    click(r.x, r.y);
    const page_answers a = frame(s);
    for (const row& other : rows) EXPECT_EQ(a.*(other.answer), &other == &r ? 1 : 0) << r.what << " / " << other.what;
    // The next frame has no press left.
    const page_answers after = frame(s);
    EXPECT_EQ(after.*(r.answer), 0) << r.what;
  }
  EXPECT_EQ(s.sound, 1);
  EXPECT_EQ(s.quality, 2);
  EXPECT_EQ(s.tab, 1);
  // The ticked box looks different from the empty one.
  EXPECT_GT(differing(before, read_back_buffer(212 + 130, 194 + 270, 40, 30)), 10);

  // A click between widgets answers nowhere.
  click(300, 330);
  const page_answers none = frame(s);
  EXPECT_EQ(none.next + none.back + none.sound + none.radio + none.tab + none.zap, 0);
  save_screenshot("widgets_page_clicked");
}

TEST_F(WidgetsOnScreen, TabAndShiftTabMoveTheFocus) {
  page_state s;
  frame(s);
  const int first = BTN_focus_id_at(470, 250), second = BTN_focus_id_at(470, 210);
  key(SDL_SCANCODE_TAB, 0);
  frame(s);
  EXPECT_EQ(focus_id, first);
  key(SDL_SCANCODE_TAB, 0);
  frame(s);
  EXPECT_EQ(focus_id, second);
  key(SDL_SCANCODE_TAB, window_mod_shift);
  frame(s);
  EXPECT_EQ(focus_id, first);
  key(SDL_SCANCODE_TAB, window_mod_shift);
  frame(s);
  EXPECT_EQ(focus_id, second);
  save_screenshot("widgets_page_focus");
  // A digit goes into the focused field's queue.
  key(SDL_SCANCODE_5, 0);
  frame(s);
  ASSERT_GE(field_count, 1);
  EXPECT_EQ(field_owners[field_count - 1], second);
  EXPECT_EQ(field_vkeys[field_count - 1], '5');
  // A click anywhere drops the focus.
  click(300, 330);
  frame(s);
  EXPECT_EQ(focus_id, 0);
}

// Last: the real shell's hooks replace the double's for the rest of this program.
TEST_F(WidgetsOnScreen, TheShellLendsItsWidgetsToTheTextFields) {
  const int left = 212 + 300 - 40;  // the field's left end: 300 less half of 73 + 7, rounded
  auto field_edge_ink = [&] {
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_boxed_string(300, 200, "Name|units", "abcdefghij", font_regular, 43);
    const gl_picture p = read_back_buffer(left - 6, 194 + 200 - 12, 12, 30);
    int ink = 0;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) ink += p.rgb(x, y) != p.rgb(0, 0);
    return ink;
  };
  glClearColor(0, 0, 0, 1);
  const int before = field_edge_ink();
  shell_install_hooks();
  const int after = field_edge_ink();
  EXPECT_EQ(before, 0);
  EXPECT_GT(after, 20);
  save_screenshot("widgets_boxed_string");
}

}  // namespace

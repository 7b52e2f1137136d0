// The window side of the engine's question about a changed file, and the release builder's
// progress line and key q, on the test display: each button's click gives its answer, the
// screen closed or the program quit without a press gives the cancel answer, and the
// builder's line is drawn across the top while a typed q stops it.
#include <GL/gl.h>
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <string>

#include "install/modified_file_question.h"
#include "install/release_builder_display.h"
#include "platform/folders.h"
#include "platform/window.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/file_question.h"
#include "shell/modal_screen.h"
#include "shell/startup.h"
#include "shell/translation.h"
#include "graphics/text_draw.h"
#include "shell/widgets.h"
#include "support/display_fixture.h"
#include "support/graphics_fixture.h"
#include "support/interface_atlas.h"
#include "support/shell_double.h"

namespace {

int frames = 0;
int other_party_closes = 0;  // Escape makes another screen current, as the shell's close would

void test_startwind(int screen) {
  mnw.topwi = screen;
  mnw.screen_w = screen == 996 ? 700 : 1024;
  mnw.screen_h = screen == 996 ? 146 : 768;
  mnw.origin_x = (1024 - mnw.screen_w) / 2;
  mnw.origin_y = (768 - mnw.screen_h) / 2;
}

// One frame of the event procedure as far as the question needs it: the picture is kept for
// looking at, then the events go into mnw.
void test_event_proc() {
  static bool looked = false;
  if (!looked) looked = !save_screenshot("file_question").empty();
  ++frames;
  mnw.mouse_down = 0;
  window_event ev;
  while (window_poll_event(&ev)) {
    if (ev.type == window_event_type::mouse_down) {
      mnw.mouse_down = 1;
      mnw.mouse_x = static_cast<float>(ev.x) - mnw.origin_x;
      mnw.mouse_y = static_cast<float>(ev.y) - mnw.origin_y;
    } else if (ev.type == window_event_type::mouse_up) {
      break;  // one click per frame, as a person clicks
    } else if (ev.type == window_event_type::quit) {
      app_done = 1;
    } else if (ev.type == window_event_type::key_down && ev.scancode == SDL_SCANCODE_ESCAPE) {
      ++other_party_closes;
      test_startwind(0);
    }
  }
  glClear(GL_COLOR_BUFFER_BIT);
}

class FileQuestion : public gl_graphics_test {
 protected:
  static void SetUpTestSuite() {
    gl_graphics_test::SetUpTestSuite();
    platform_set_executable_path(std::string(SKY_RESOURCES_DIR) + "/../skyrill-installer");
    ASSERT_TRUE(load_interface_atlases());
  }
  void SetUp() override {
    gl_graphics_test::SetUp();
    mnw.mouse_down = mnw.mouse_up = mnw.mouse_held = 0;
    test_startwind(0);
    app_done = 0;
    frames = 0;
    other_party_closes = 0;
    window_flush_events();
    shell_screen().startwind = test_startwind;
    shell_screen().event_proc = test_event_proc;
  }
  void TearDown() override {
    shell_screen() = shell_screen_defaults();
    app_done = 0;
  }

  // A click at a point of the question's screen, queued before the question opens.
  static void click(float x, float y) {
    window_event ev;
    ev.type = window_event_type::mouse_down;
    ev.button = 1;
    ev.x = static_cast<int>(x + (1024 - 700) / 2);
    ev.y = static_cast<int>(y + (768 - 146) / 2);
    ASSERT_TRUE(window_push_event(ev));
    ev.type = window_event_type::mouse_up;
    ASSERT_TRUE(window_push_event(ev));
  }
};

TEST_F(FileQuestion, EachButtonGivesItsAnswer) {
  for (int deleting = 0; deleting <= 1; ++deleting) {
    const file_question_button* buttons = file_question_buttons(deleting);
    for (int i = 0; i < 5; ++i) {
      SCOPED_TRACE(buttons[i].label);
      frames = 0;
      // Near the button's right edge, so a neighbour's width would not catch it.
      click(buttons[i].x + buttons[i].width / 2 - 2, buttons[i].y + 9);
      EXPECT_EQ(shell_select_alert("/home/pilot/Skyrill 9/Resources/settings.txt", deleting), buttons[i].answer);
      EXPECT_EQ(mnw.topwi, 0);  // back on the main screen
      EXPECT_GE(frames, 1);     // answered by a click, not by a press left from before
    }
  }
  // Two changed files in a row: the click that answers the first is not taken as the answer
  // to the second, which waits for its own.
  click(96 + 80 - 2, 53 + 9);
  EXPECT_EQ(shell_select_alert("/a/first.txt", 0), answer_replace);
  click(96 + 80 - 2, 28 + 9);
  frames = 0;
  EXPECT_EQ(shell_select_alert("/a/second.txt", 0), answer_keep);
  EXPECT_GE(frames, 1);
  const int answers[] = {answer_replace, answer_keep, answer_replace_folder, answer_keep_folder, answer_cancel};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(file_question_buttons(0)[i].answer, answers[i]);
}

TEST_F(FileQuestion, LeavingWithoutAnAnswerCancels) {
  // Closed by the window's close box: the quit path.
  window_event quit;
  quit.type = window_event_type::quit;
  ASSERT_TRUE(window_push_event(quit));
  EXPECT_EQ(shell_select_alert("/a/b.txt", 0), answer_cancel);
  EXPECT_EQ(app_done, 1);
  app_done = 0;

  // Another screen made current by someone else.
  window_event esc;
  esc.type = window_event_type::key_down;
  esc.scancode = SDL_SCANCODE_ESCAPE;
  ASSERT_TRUE(window_push_event(esc));
  EXPECT_EQ(shell_select_alert("/a/b.txt", 1), answer_cancel);
  EXPECT_EQ(other_party_closes, 1);

  // A press beside every button answers nothing; the question stays until one is pressed.
  click(450, 120);
  click(96 + 80 - 2, 28 + 9);
  EXPECT_EQ(shell_select_alert("/a/b.txt", 0), answer_keep);
  EXPECT_GE(frames, 2);

  // The screen never became current.
  shell_screen().startwind = [](int) {};
  EXPECT_EQ(shell_select_alert("/a/b.txt", 0), answer_cancel);
  // No frame to ask in at all: the file is kept.
  shell_screen().startwind = nullptr;
  EXPECT_EQ(shell_select_alert("/a/b.txt", 0), answer_keep);
}

TEST_F(FileQuestion, TheEngineAsksThroughTheShell) {
  shell_install_hooks();
  click(308 + 130 - 2, 53 + 9);
  EXPECT_EQ(select_alert("/a/b.txt", 1), answer_replace_folder);
}

TEST_F(FileQuestion, EveryLanguageFitsItsButtons) {
  shell_install_hooks();
  const char* files[] = {"", "French.txt", "German.txt"};
  const int languages[] = {lang_english, lang_french, lang_german};
  for (int l = 0; l < 3; ++l) {
    UTL_translate_clear();
    if (*files[l]) translate_load_file(languages[l], std::string(SKY_SOURCE_DIR) + "/resources/" + files[l], files[l]);
    for (int deleting = 0; deleting <= 1; ++deleting) {
      const file_question_button* buttons = file_question_buttons(deleting);
      for (int i = 0; i < 5; ++i) {
        const std::string shown = UTL_translate_string(buttons[i].label);
        if (l > 0) {
          EXPECT_NE(shown, buttons[i].label) << files[l];
        }
        // A few units of the button's rounded ends stay clear on each side.
        EXPECT_LE(str_dx(shown) + 8, buttons[i].width) << files[l] << ": " << shown;
      }
    }
    if (l == 1) {
      click(584 + 100 - 2, 28 + 9);
      EXPECT_EQ(shell_select_alert("/home/pilote/Skyrill 9/Resources/réglages.txt", 0), answer_cancel);
      EXPECT_FALSE(save_screenshot("file_question_french").empty());
    }
  }
  UTL_translate_clear();
}

TEST_F(FileQuestion, BuilderLineAcrossTheTopAndItsKey) {
  test_startwind(0);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  colr.assign(12, 0.1f, 0.1f, 0.6f);
  set_builder_display(shell_builder_draw_progress, shell_builder_poll_key_q);
  // The line ends with a swap; the picture is read from the back buffer instead.
  static int swaps;
  swaps = 0;
  shell_screen().swap = [] { ++swaps; };
  builder_draw_progress("reg: 0: total files to compress: 1200. now doing: 17.", "/Skyrill 9.00/All/Resources/a.txt");
  EXPECT_EQ(swaps, 1);
  const gl_picture p = read_back_buffer(0, 0, 1024, 40);
  EXPECT_EQ(p.rgb(1000, 2), 0xFFFFFFu);  // the white strip, 30 high
  EXPECT_EQ(p.rgb(1000, 35), 0u);
  int ink = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 400; ++x) ink += p.rgb(x, y) != 0xFFFFFFu;
  EXPECT_GT(ink, 200);  // both lines of text
  write_png(std::string(SKY_BINARY_DIR) + "/screenshots/builder_line.png", p);

  // One event per look: only the character q stops the build.
  window_event ev;
  ev.type = window_event_type::key_down;
  ev.scancode = SDL_SCANCODE_A;
  ASSERT_TRUE(window_push_event(ev));
  ev.type = window_event_type::text;
  ev.text = "a";
  ASSERT_TRUE(window_push_event(ev));
  ev.text = "q";
  ASSERT_TRUE(window_push_event(ev));
  EXPECT_EQ(builder_poll_key_q(), 0);
  EXPECT_EQ(builder_poll_key_q(), 0);
  EXPECT_EQ(builder_poll_key_q(), 1);
  EXPECT_EQ(builder_poll_key_q(), 0);
}

}  // namespace

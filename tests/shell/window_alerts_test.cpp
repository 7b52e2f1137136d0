// The alerts once the window is up: the in-window alert on screen 994 with its lines, its
// button and Return; the language chooser; the fatal alert's exit; the two-choice question;
// and texts too long for the native box. The widgets and text drawing are recorders.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/window_events.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/alerts.h"
#include "shell/event_proc.h"
#include "shell/frame_parts.h"
#include "shell/log.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "support/temp_tree.h"

namespace {

const bool hooks = (shell_install_hooks(), true);

struct recorder {
  std::vector<std::string> strings;  // "colour x y text" of the first frame
  std::vector<std::string> radios;   // "x y value label"
  std::vector<std::string> buttons;  // "x y label"
  int frames = 0;
  // The frame in which the button is clicked (0 never), and a language radio to click first.
  int click_at = 0;
  std::string pick;
  int leave_at = 0;  // the frame in which another party makes screen 0 current
  int nuke_button = 0;
} rec;

std::vector<std::string> boxes;

void install_recorder() {
  rec = recorder();
  frame_parts = shell_frame_parts();
  frame_parts.swap_buffers = [] {};
  frame_parts.draw_string = [](int colour, float x, float y, const std::string& text, float,
                               int) {
    if (rec.frames == 0)
      rec.strings.push_back(std::to_string(colour) + " " + std::to_string(int(x)) + " " +
                            std::to_string(int(y)) + " " + text);
    return y;
  };
  frame_parts.is_int = [](float x, float y, int* variable, int value, const std::string& label) {
    if (rec.frames == 0)
      rec.radios.push_back(std::to_string(int(x)) + " " + std::to_string(int(y)) + " " +
                           std::to_string(value) + " " + label);
    if (label == rec.pick) *variable = value;
    return label == rec.pick ? 1 : 0;
  };
  frame_parts.action = [](float x, float y, float, int, int, const std::string& label,
                          const std::string&) {
    if (rec.frames == 0)
      rec.buttons.push_back(std::to_string(int(x)) + " " + std::to_string(int(y)) + " " + label);
    if (rec.nuke_button && label == stls.texts[606 + rec.nuke_button] && rec.frames >= 1)
      return 1;
    return rec.click_at && rec.frames + 1 == rec.click_at ? 1 : 0;
  };
  frame_parts.str_dx = [](const std::string& text) { return 10.0f * text.size(); };
  frame_parts.languages = [] { return std::vector<int>{0, 1, 2}; };
  frame_parts.language_button = [](int l) {
    return std::string(l == 0 ? "|English" : l == 1 ? "|Francais" : "|Deutsch");
  };
  // Every frame the alert runs counts; the leave hook stands for a party that changes screens.
  frame_parts.begin_focus_ring = [] {
    ++rec.frames;
    if (rec.leave_at && rec.frames == rec.leave_at) MACIBM_startwind(0);
  };
}

class WindowAlerts : public testing::Test {
 protected:
  temp_tree dir;
  void SetUp() override {
    diagnostics_folder = dir.path();
    ASSERT_TRUE(window_init_events());
    window_flush_events();
    shell_event_proc_reset();
    install_recorder();
    platform_set_alert_box([](const std::string& m, const std::string& e) {
      boxes.push_back(m + "|" + e);
    });
    boxes.clear();
    mnw = mnw_struct();
    mnw.draw_w = 1024;
    mnw.draw_h = 768;
    mnw.pix_per_unit = 1;
    stls = stls_struct();
    stls.texts[602] = "OK";
    MACIBM_clear_menus(1);
    MACIBM_open_log(dir.path());
    ogl_inited = 1;
    MACIBM_event_proc();  // the first frame makes screen 0
    rec.frames = 0;
  }
  void TearDown() override {
    diagnostics_folder.clear();
    ogl_inited = 0;
    frame_parts = shell_frame_parts();
    platform_set_alert_box(nullptr);
    window_flush_events();
    xer.close();
  }
};

// The alert's lines centred in the 420-unit screen; Return accepts it like its button, is
// cleared, and the screen below gets back its mouse position.
TEST_F(WindowAlerts, ReturnAcceptsAnInWindowAlert) {
  mnw.mouse_x = 321;
  mnw.mouse_y = 123;
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = SDL_SCANCODE_RETURN;
  ASSERT_EQ(SDL_PushEvent(&e), 1);
  __MACIBM_alert(0, "one", "two", "three", "four", t_alert, "a.cpp", 5);
  EXPECT_TRUE(boxes.empty()) << "shown in the window";
  EXPECT_EQ(rec.strings, (std::vector<std::string>{"43 210 205 one", "43 210 165 two",
                                                   "43 210 125 three", "43 210 85 four"}));
  EXPECT_EQ(rec.buttons, std::vector<std::string>{"210 18 OK"});
  EXPECT_EQ(mnw.topwi, 0);
  EXPECT_EQ(return_hit, 0);
  EXPECT_FLOAT_EQ(mnw.mouse_x, 321);
  EXPECT_FLOAT_EQ(mnw.mouse_y, 123);
  EXPECT_NE(read_whole_file(dir.path() + "Skyrill Installer Log.txt")
                .find("\none\ntwo\nthree\nfour\n(a.cpp line 5)\n"),
            std::string::npos);
}

TEST_F(WindowAlerts, ButtonReturnsToTheGivenScreen) {
  rec.click_at = 3;
  MACIBM_startwind(2);
  __MACIBM_alert(2, "a", "", "", "", t_alert, "a.cpp", 6);
  EXPECT_EQ(rec.frames, 2) << "frames run until the button";
  EXPECT_EQ(mnw.topwi, 2);
}

TEST_F(WindowAlerts, AllEmptyLinesShowNothing) {
  __MACIBM_alert(0, "", "", "", "", t_alert, "a.cpp", 7);
  EXPECT_EQ(rec.frames, 0);
  EXPECT_TRUE(boxes.empty());
}

// The chooser offers one radio per language, 20 units apart; Francais then Accept leaves
// French in mnw and returns to the screen before the first (-1).
TEST_F(WindowAlerts, LanguageChooser) {
  mnw.topwi = -1;
  mnw.language = 0;
  rec.pick = "|Francais";
  rec.click_at = 2;
  __MACIBM_alert(-1, "-", "-", "-", "-", t_lang, "hl_init", 1669);
  EXPECT_EQ(rec.radios, (std::vector<std::string>{"185 180 0 |English", "185 160 1 |Francais",
                                                  "185 140 2 |Deutsch"}));
  EXPECT_EQ(rec.buttons, std::vector<std::string>{"210 18 Accept"});
  EXPECT_EQ(stls.title, "Language/");
  EXPECT_EQ(mnw.language, 1);
  EXPECT_EQ(mnw.topwi, -1);
  EXPECT_EQ(read_whole_file(dir.path() + "Skyrill Installer Log.txt").find("hl_init"),
            std::string::npos)
      << "the chooser writes nothing to the log";
}

void fatal_in_window(const std::string& folder) {
  MACIBM_open_log(folder);
  rec.click_at = 2;
  __MACIBM_alert(0, "fatal", "", "", "", t_exit, "f.cpp", 9);
  std::_Exit(10);
}

TEST_F(WindowAlerts, FatalAlertShowsWhereAndExitsAfterItsButton) {
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(fatal_in_window(dir.path()), testing::ExitedWithCode(1), "");
  const std::string log = read_whole_file(dir.path() + "Skyrill Installer Log.txt");
  EXPECT_NE(log.find("\nfatal\n\n\n\n(f.cpp line 9)\n"), std::string::npos) << log;
}

TEST_F(WindowAlerts, TwoChoiceQuestion) {
  stls.texts[607] = "Nuke";
  stls.texts[608] = "Keep";
  stls.texts[609] = "Later";
  for (int button : {1, 2, 3}) {
    install_recorder();
    rec.nuke_button = button;
    EXPECT_EQ(MACIBM_nuke_alert("the file", button == 3), button);
    EXPECT_EQ(mnw.topwi, 0);
  }
  EXPECT_EQ(rec.buttons,
            (std::vector<std::string>{"40 60 Nuke", "40 25 Keep", "255 25 Later"}));
  install_recorder();
  rec.leave_at = 2;
  EXPECT_EQ(MACIBM_nuke_alert("the file", 0), 3) << "left some other way";
}

// The window's close box (or the system's quit request) during an alert accepts it and leaves
// the quit flag for the main loop; the two-choice question counts it as left some other way.
TEST_F(WindowAlerts, QuitRequestEndsTheAlert) {
  for (int nuke : {0, 1}) {
    app_done = 0;
    window_event quit;
    quit.type = window_event_type::quit;
    SDL_Event e{};
    e.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    if (nuke) EXPECT_EQ(MACIBM_nuke_alert("the file", 1), 3);
    else __MACIBM_alert(0, "a", "", "", "", t_alert, "q.cpp", 1);
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(mnw.topwi, 0);
  }
  app_done = 0;
}

// Before the window, a text too long for the native box is shown cut at a character boundary,
// never by raising another alert from inside this one.
TEST_F(WindowAlerts, LongTextsAreCutForTheNativeBox) {
  ogl_inited = 0;
  std::string long_line;
  while (long_line.size() < 600) long_line += "\xC3\xA9";  // two bytes each
  __MACIBM_alert(0, "x", long_line, "", "", t_alert, "l.cpp", 1);
  ASSERT_EQ(boxes.size(), 1u);
  const std::string shown = boxes[0].substr(0, boxes[0].find('|'));
  EXPECT_EQ(shown.size(), 498u) << "\"x \" and 248 whole characters";
  EXPECT_EQ(shown.substr(0, 4), "x \xC3\xA9");
  EXPECT_EQ(app_done, 0);
}

}  // namespace

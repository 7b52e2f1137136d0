// The movie settings screen on the test display, frame by frame: clicks on the number fields'
// arrows and keys through the key translation change the recorder's frame rate and movie
// width within their ranges; the texts follow the encoder's availability and the language; a
// running recording ends when the screen is drawn. Screenshots in <build>/screenshots/.
#include "shell/movie_settings_window.h"

#include <GL/gl.h>
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "graphics/movie_fixture.h"
#include "graphics/movie_recorder.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/keyboard.h"
#include "shell/shell_globals.h"
#include "shell/translation.h"
#include "shell/widgets.h"
#include "support/alert_recorder.h"
#include "support/graphics_fixture.h"
#include "support/interface_atlas.h"
#include "support/temp_tree.h"

namespace {

constexpr int kOriginX = 112, kOriginY = 84;
std::vector<std::string>& alerts_seen = recorded_alerts();

class MovieSettings : public gl_graphics_test {
 protected:
  static void SetUpTestSuite() {
    gl_graphics_test::SetUpTestSuite();
    ASSERT_TRUE(start_widgets_on_display(SKY_RESOURCES_DIR));
    install_recording_shell_hooks();
  }
  void SetUp() override {
    gl_graphics_test::SetUp();
    alerts_seen.clear();
    mnw.mouse_down = mnw.mouse_up = mnw.mouse_held = 0;
    mnw.mouse_x = mnw.mouse_y = -100;
    mnw.open_menu = -1;
    mnw.topwi = 0;
    mnw.draw_w = 1024;
    mnw.draw_h = 768;
    mnw.screen_w = 800;
    mnw.screen_h = 600;
    mnw.origin_x = kOriginX;
    mnw.origin_y = kOriginY;
    focus_id = 0;
    BTN_begin_focus_ring();
    qtim.frame_rate = 20.0f;
    qtim.movie_width = 320;
    available = qtim.available;
    for (int s = 700; s < 740; ++s) stls.texts[s].clear();
    stls.texts[527].clear();
    stls.texts[528].clear();
    UTL_translate_clear();
  }
  void TearDown() override {
    EXPECT_TRUE(alerts_seen.empty()) << alerts_seen.front();
    qtim.available = available;
    UTL_translate_clear();
  }

  static void frame() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    BTN_begin_focus_ring();
    qtim_wind();
    mnw.mouse_down = 0;
  }
  static void click(float x, float y) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = mnw.mouse_held = 1;
    BTN_unfocus_any();
    frame();
    mnw.mouse_held = 0;
    mnw.mouse_x = mnw.mouse_y = -100;
    frame();
  }
  static void key(int scancode) {
    platform_key_event e;
    e.kind = key_event_down;
    e.scancode = scancode;
    keys.handle_key_raw(e);
    e.kind = key_event_up;
    keys.handle_key_raw(e);
    frame();
  }
  // Distinct colours along a row of the screen (screen units) from x0 to x1.
  static size_t colours_along(const gl_picture& p, int y, int x0, int x1) {
    std::set<uint32_t> seen;
    for (int x = x0; x < x1; ++x) seen.insert(p.rgb(x + kOriginX, y + kOriginY));
    return seen.size();
  }
  int available = 0;
};

// Each click steps one digit cell of a field (above the cell up, below it down); the values
// stay within 10..99 frames per second and 32..2048 pixels.
TEST_F(MovieSettings, ClicksOnTheFieldsChangeTheRecordersSettings) {
  struct step {
    float x, y;
    float rate;
    int width;
  } steps[] = {
      {155, 430, 30, 320},   // frame rate, tens up
      {165, 403, 29, 320},   // frame rate, units down
      {155, 403, 19, 320},   // tens down
      {155, 403, 10, 320},   // 9 is below the range: 10
      {155, 430, 20, 320},
      {135, 380, 20, 1320},  // width, thousands up
      {135, 380, 20, 2048},  // 2320 is above the range
      {135, 350, 20, 1048},  // thousands down
      {145, 350, 20, 948},   // hundreds down
      {165, 350, 20, 947},   // units down
      {155, 350, 20, 937},   // tens down
      {135, 350, 20, 32},    // -63 is below the range
      {300, 500, 20, 32},    // nowhere near a field
  };
  frame();
  for (const step& s : steps) {
    SCOPED_TRACE(std::to_string(s.x) + "," + std::to_string(s.y));
    click(s.x, s.y);
    EXPECT_EQ(qtim.frame_rate, s.rate);
    EXPECT_EQ(qtim.movie_width, s.width);
  }
}

// A click in a field's row gives it the keyboard: arrows move between its cells and step them.
TEST_F(MovieSettings, KeysEditTheFocusedField) {
  frame();
  click(145, 367);  // the width's hundreds cell
  key(SDL_SCANCODE_UP);
  EXPECT_EQ(qtim.movie_width, 420);
  key(SDL_SCANCODE_LEFT);
  key(SDL_SCANCODE_UP);
  EXPECT_EQ(qtim.movie_width, 1420);
  click(165, 417);  // the frame rate's units cell
  key(SDL_SCANCODE_DOWN);
  EXPECT_EQ(qtim.frame_rate, 19);
  EXPECT_EQ(qtim.movie_width, 1420);
  save_screenshot("movie_settings_focused");
}

// The texts under the fields: one line when movies can be recorded, three about the missing
// encoder when not; interface texts set for the slots are shown instead of the screen's own.
TEST_F(MovieSettings, TextsFollowTheEncodersAvailability) {
  qtim.available = 1;
  frame();
  save_screenshot("movie_settings_available");
  gl_picture p = read_back_buffer();
  EXPECT_GE(colours_along(p, 287, 20, 300), 3u);  // 723
  EXPECT_EQ(colours_along(p, 257, 20, 300), 1u);  // nothing at 725's place
  EXPECT_GE(colours_along(p, 227, 20, 300), 3u);  // 727
  EXPECT_GE(colours_along(p, 87, 20, 300), 3u);   // 731

  qtim.available = 0;
  frame();
  save_screenshot("movie_settings_unavailable");
  p = read_back_buffer();
  EXPECT_GE(colours_along(p, 287, 20, 300), 3u);  // 724
  EXPECT_GE(colours_along(p, 257, 20, 300), 3u);  // 725

  EXPECT_EQ(qtim_wind_text(731), "A window larger than 2048 x 2048 cannot be recorded.");
  stls.texts[731] = "own text";
  EXPECT_EQ(qtim_wind_text(731), "own text");
  EXPECT_EQ(qtim_wind_text(732), "");
  EXPECT_EQ(qtim_wind_text(-1), "");
  stls.texts[731].clear();
}

TEST_F(MovieSettings, DrawsInEnglishFrenchAndGerman) {
  const struct {
    int language;
    const char* file;
    const char* shot;
  } langs[] = {{lang_english, nullptr, "movie_settings_en"},
               {lang_french, "French.txt", "movie_settings_fr"},
               {lang_german, "German.txt", "movie_settings_de"}};
  std::set<std::string> labels;
  for (const auto& l : langs) {
    mnw.language = l.language;
    if (l.file) translate_load_file(l.language, std::string(SKY_SOURCE_DIR) + "/resources/" + l.file, l.file);
    for (int slot : {527, 528, 723, 724, 725, 726, 727, 728, 729, 730, 731})
      EXPECT_TRUE(labels.insert(qtim_wind_text(slot)).second) << l.file << " " << slot << " not translated";
    qtim.available = 1;
    frame();
    EXPECT_FALSE(save_screenshot(l.shot).empty());
    qtim.available = 0;
    frame();
    save_screenshot(std::string(l.shot) + "_unavailable");
  }
}

// Drawing the screen ends a running recording once the compressor has returned frames (before
// that a stop would wait on it for ever, so the screen asks again in later frames).
TEST_F(MovieSettings, ARunningRecordingStops) {
  static int64_t now_us = 1000000000;
  platform_set_time_source([] { return now_us; });
  xtim_restart();
  movie_test::synthetic_capture capture;
  qtim_set_capture(&capture);
  temp_tree tree;
  current_folder_guard in_tree{tree.path()};

  qtim.mov_toggle(2);  // a recording that writes no file
  ASSERT_EQ(qtim.mode, 2);
  frame();
  EXPECT_EQ(qtim.mode, 2) << "no frame has come back yet";
  for (int i = 0; i < 200 && qtim.returned_buffers <= 2; ++i) {
    now_us += 50000;
    xtim.xtim_update();
    qtim.mov_add_frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_GT(qtim.returned_buffers, 2);
  frame();
  EXPECT_EQ(qtim.mode, 0);

  qtim.stop_thread();
  qtim_set_capture(nullptr);
  platform_set_time_source(nullptr);
  xtim_restart();
}

}  // namespace

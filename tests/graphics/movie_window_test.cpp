// The movie recorder on a real window: a scene drawn with OpenGL, captured through the capture
// texture and read back (straight or through a pixel pack buffer), compressed on the
// compressor thread and decoded by ffmpeg.
#include "graphics/movie_gl_capture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "graphics/gl_capabilities.h"
#include "graphics/movie_fixture.h"
#include "graphics/movie_recorder.h"
#include "platform/threads.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "support/display_fixture.h"
#include "support/temp_tree.h"

using namespace movie_test;

namespace {

constexpr int win_w = 1024, win_h = 768;  // the fixture's window
constexpr int movie_w = 320, movie_h = 240;

int64_t now_us = 0;
int64_t driven_clock() { return now_us; }

void fill(int x, int y, int w, int h, rgb c) {
  glScissor(x, y, w, h);
  glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

// Test picture k at window size: the quadrants and the bar scaled up from the movie's size.
void draw_scene(int k) {
  glEnable(GL_SCISSOR_TEST);
  fill(0, win_h / 2, win_w / 2, win_h / 2, top_left);
  fill(win_w / 2, win_h / 2, win_w / 2, win_h / 2, top_right);
  fill(0, 0, win_w / 2, win_h / 2, bottom_left);
  fill(win_w / 2, 0, win_w / 2, win_h / 2, bottom_right);
  fill(bar_x(k, movie_w) * win_w / movie_w, 0, bar_width * win_w / movie_w, win_h, rgb{0, 0, 0});
  glDisable(GL_SCISSOR_TEST);
}

// The record light stands out in magenta, so the movie shows whether it was captured.
constexpr rgb light{255, 0, 255};
int lights = 0;
void draw_light(int, float, float, const std::string&) {
  ++lights;
  glEnable(GL_SCISSOR_TEST);
  fill(10, 10, 300, 40, light);
  glDisable(GL_SCISSOR_TEST);
}

class MovieWindow : public gl_display_test, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    gl_display_test::SetUp();
    static bool detected = false;
    if (!detected) {
      glExt.init_extensions();
      detected = true;
    }
    now_us = 1000000000;
    platform_set_time_source(driven_clock);
    xtim_restart();
    mnw.draw_w = win_w;
    mnw.draw_h = win_h;
    mnw.origin_x = 200;  // a centred modal screen is current
    mnw.origin_y = 150;
    qtim.movie_width = movie_w;
    qtim.frame_rate = 20.0f;
  }
  void TearDown() override {
    qtim.stop_thread();
    qtim_set_capture(nullptr);
    platform_set_time_source(nullptr);
    xtim_restart();
  }
  temp_tree tree;
  current_folder_guard in_tree{tree.path()};
};

// Ten frames of a moving scene: every picture reaches the movie once, in order, upright, in
// its colours, without the record light, whichever way the pixels are read.
TEST_P(MovieWindow, RecordsWhatTheWindowShows) {
  const int use_pbo = GetParam();
  if (use_pbo) {
    ASSERT_EQ(movie_gl_capture::pbo_wanted(), 1) << "Mesa offers pack buffers";
  }
  movie_gl_capture::hooks hooks;
  hooks.draw_text = draw_light;
  movie_gl_capture capture(use_pbo, hooks);
  qtim_set_capture(&capture);
  qtim.mov_toggle(1);
  ASSERT_EQ(qtim.mode, 1);
  EXPECT_EQ(capture.delayed(), use_pbo);
  const int frames = 10;
  for (int k = 0; k < frames; ++k) {
    now_us += 50000;
    for (;;) {
      draw_scene(k);
      const double last = qtim_prev_frame_time();
      ASSERT_EQ(qtim.mov_per_frame(), 1);
      if (qtim_prev_frame_time() != last) break;  // captured; else dropped, all records out
    }
  }
  EXPECT_GE(lights, frames);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const std::string path = qtim_movie_path();
  qtim.stop_thread();
  ASSERT_EQ(qtim.mode, 0);

  const probe p = probe_movie(path);
  EXPECT_EQ(p.codec, "mjpeg");
  EXPECT_EQ(p.width, movie_w);
  EXPECT_EQ(p.height, movie_h);
  EXPECT_EQ(p.durations, std::vector<int>(frames, 30));
  const decoded d = decode_movie(path, movie_w, movie_h);
  ASSERT_EQ(d.frames.size(), static_cast<size_t>(frames));
  for (int k = 0; k < frames; ++k) {
    expect_picture(d, k, k);
    // The light covers the window's lower-left corner from (10, 10); a movie pixel there
    // shows the scene.
    const rgb corner = d.at(k, 100 * movie_w / win_w + 20, movie_h - 1 - 30 * movie_h / win_h);
    EXPECT_FALSE(near(corner, light)) << "the record light is in frame " << k;
  }
  // One frame to look at.
  make_folders(std::string(SKY_BINARY_DIR) + "/screenshots/");
  run_process({"ffmpeg", "-v", "error", "-y", "-i", path, "-frames:v", "1",
               std::string(SKY_BINARY_DIR) + "/screenshots/movie_frame_" +
                   (use_pbo ? "pbo" : "plain") + ".png"});
}

INSTANTIATE_TEST_SUITE_P(ReadBack, MovieWindow, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& i) {
                           return std::string(i.param ? "pack_buffer" : "plain");
                         });

}  // namespace

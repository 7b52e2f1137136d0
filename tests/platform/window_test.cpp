// The window stand-in on a real X server (the private Xvfb of the display fixture): placement,
// the pixel-format ladder and its compatibility context, entry points, events with the
// program's y-up coordinates, and the read-back the drawing tests rely on.
#include "platform/window.h"

#include <GL/gl.h>
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/display_fixture.h"

namespace {

TEST(WindowPlacement, FramedWhenItFitsElseBorderless) {
  struct row {
    int desk_w, desk_h, w, h;
    int x, y;
    bool borderless;
  };
  const row rows[] = {
      {1920, 1200, 1280, 1024, 0, 40, false},
      {1280, 1024, 1024, 768, 0, 40, false},
      {800, 600, 800, 600, 0, 0, true},
      {1300, 1044, 1280, 1024, 0, 40, false},  // exactly 20 to spare fits
      {1299, 1044, 1280, 1024, 0, 0, true},
      {1300, 1043, 1280, 1024, 0, 0, true},
  };
  for (const row& r : rows) {
    window_placement p = window_place(r.desk_w, r.desk_h, r.w, r.h);
    EXPECT_EQ(p.borderless, r.borderless) << r.desk_w << "x" << r.desk_h << " " << r.w << "x" << r.h;
    EXPECT_EQ(p.x, r.x);
    EXPECT_EQ(p.y, r.y);
  }
}

class Window : public gl_display_test {};

TEST_F(Window, CompatibilityContextWithADoubleBufferedFormat) {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  ASSERT_NE(version, nullptr);
  EXPECT_NE(std::strstr(version, "Compatibility Profile"), nullptr) << version;
  // The compatibility context answers the extension string that the detection reads.
  EXPECT_NE(glGetString(GL_EXTENSIONS), nullptr);

  const gl_pixel_format& f = window_pixel_format();
  EXPECT_EQ(f.double_buffer, 1);
  EXPECT_GE(f.depth, 24);
  EXPECT_EQ(f.red, 8);

  int w = 0, h = 0;
  window_drawable_size(&w, &h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);

  EXPECT_NE(window_gl_proc("glGetString"), nullptr);
  // Mesa's software renderer answers the renderer query with the memory it may use.
  EXPECT_GT(window_video_memory_mb(), 0);
  EXPECT_NE(window_gl_proc("glActiveTextureARB"), nullptr);

  desktop_mode mode;
  std::string problem;
  ASSERT_TRUE(window_desktop_mode(&mode, &problem)) << problem;
  EXPECT_EQ(mode.width, 1280);
  EXPECT_EQ(mode.height, 1024);
  EXPECT_EQ(mode.bits_per_pixel, 24);
}

TEST_F(Window, BackBufferReadsBackBottomUpAndSavesAPng) {
  // A red band across the bottom quarter, drawn in window pixels.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1024, 0, 768, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor3f(1, 0, 0);
  glBegin(GL_QUADS);
  glVertex2f(0, 0);
  glVertex2f(0, 192);
  glVertex2f(1024, 192);
  glVertex2f(1024, 0);
  glEnd();

  gl_picture p = read_back_buffer();
  ASSERT_EQ(p.width, 1024);
  ASSERT_EQ(p.height, 768);
  EXPECT_EQ(p.rgb(0, 0), 0xFF0000u);
  EXPECT_EQ(p.rgb(1023, 191), 0xFF0000u);
  EXPECT_EQ(p.rgb(0, 192), 0x000000u);
  EXPECT_EQ(p.count(0xFF0000), 1024 * 192);

  // An odd-sized box reads back whole (pack alignment 1).
  gl_picture box = read_back_buffer(1, 190, 3, 5);
  EXPECT_EQ(box.count(0xFF0000), 3 * 2);

  std::string path = save_screenshot("window_red_band");
  ASSERT_FALSE(path.empty());
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  unsigned char sig[8] = {};
  EXPECT_EQ(std::fread(sig, 1, 8, f), 8u);
  std::fclose(f);
  EXPECT_EQ(std::memcmp(sig, "\x89PNG\r\n\x1a\n", 8), 0);
}

TEST_F(Window, EventsRoundTripWithYUp) {
  window_flush_events();
  window_event down;
  down.type = window_event_type::mouse_down;
  down.button = 1;
  down.x = 10;
  down.y = 20;
  ASSERT_TRUE(window_push_event(down));

  window_event key;
  key.type = window_event_type::key_down;
  key.scancode = SDL_SCANCODE_A;
  key.modifiers = window_mod_shift | window_mod_control;
  ASSERT_TRUE(window_push_event(key));

  window_event text;
  text.type = window_event_type::text;
  text.text = "\xC3\xAA";  // ê
  ASSERT_TRUE(window_push_event(text));

  window_event quit;
  quit.type = window_event_type::quit;
  ASSERT_TRUE(window_push_event(quit));

  EXPECT_TRUE(window_wait_event(100));
  // The system may add its own window events (shown, exposed) between ours; skip those.
  auto next_of_ours = [](window_event* e) {
    while (window_poll_event(e))
      if (e->type != window_event_type::other_window && e->type != window_event_type::exposed &&
          e->type != window_event_type::focus_gained && e->type != window_event_type::mouse_move &&
          e->type != window_event_type::none)
        return true;
    return false;
  };
  window_event e;
  ASSERT_TRUE(next_of_ours(&e));
  EXPECT_EQ(e.type, window_event_type::mouse_down);
  EXPECT_EQ(e.button, 1);
  EXPECT_EQ(e.x, 10);
  EXPECT_EQ(e.y, 20);
  ASSERT_TRUE(next_of_ours(&e));
  EXPECT_EQ(e.type, window_event_type::key_down);
  EXPECT_EQ(e.scancode, SDL_SCANCODE_A);
  EXPECT_EQ(e.modifiers, window_mod_shift | window_mod_control);
  ASSERT_TRUE(next_of_ours(&e));
  EXPECT_EQ(e.type, window_event_type::text);
  EXPECT_EQ(e.text, "\xC3\xAA");
  ASSERT_TRUE(next_of_ours(&e));
  EXPECT_EQ(e.type, window_event_type::quit);

  window_push_event(quit);
  window_flush_events();
  EXPECT_FALSE(next_of_ours(&e));
}

TEST(WindowLadder, FindsAFormatWhenMoreSamplesAreWantedThanOffered) {
  std::string problem;
  ASSERT_TRUE(test_display(&problem)) << problem;
  window_request request;
  request.width = 320;
  request.height = 240;
  request.samples_wanted = 16;
  request.hidden = true;
  ASSERT_TRUE(window_open(request, &problem)) << problem;
  const gl_pixel_format& f = window_pixel_format();
  EXPECT_EQ(f.double_buffer, 1);
  EXPECT_LE(f.samples, 16);
  EXPECT_GE(f.depth, 24);
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  ASSERT_NE(version, nullptr);
  EXPECT_NE(std::strstr(version, "Compatibility Profile"), nullptr) << version;
  // A second window is refused while one is open.
  EXPECT_FALSE(window_open(request, &problem));
  window_close();
  EXPECT_FALSE(window_is_open());
}

TEST(WindowWithoutDisplay, DummyVideoDriverGivesNoGlWindow) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        window_request request;
        request.hidden = true;
        std::string problem;
        bool opened = window_open(request, &problem);
        std::exit(opened || problem.empty() ? 0 : 3);
      },
      testing::ExitedWithCode(3), "");
}

}  // namespace

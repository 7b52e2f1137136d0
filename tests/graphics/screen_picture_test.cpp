// The background picture and screenshots on a real GL context (Xvfb, Mesa): tiles built from a
// picture file and drawn where they belong before and after the first screen, a picture smaller
// than the window, a missing picture, and screenshots checked against the drawing.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/background.h"
#include "graphics/draw_2d.h"
#include "graphics/image_desc.h"
#include "graphics/image_files.h"
#include "graphics/image_png.h"
#include "graphics/screenshot.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_records.h"
#include "support/display_fixture.h"
#include "support/shell_double.h"
#include "support/temp_tree.h"

namespace {

// The colour of tile (r, c): rows counted from the picture's bottom.
uint32_t tile_colour(int r, int c) { return (uint32_t(40 + 60 * c) << 16) | (uint32_t(40 + 60 * r) << 8) | 200; }

// Writes <folder>/Resources/bitmaps/intro.png: each 512 x 512 block in its tile colour.
void write_picture(const std::string& folder, int dx, int dy) {
  std::vector<unsigned char> px(static_cast<size_t>(dx) * dy * 4);
  for (int y = 0; y < dy; ++y)
    for (int x = 0; x < dx; ++x) {
      const uint32_t c = tile_colour(y / 512, x / 512);
      unsigned char* p = &px[(static_cast<size_t>(y) * dx + x) * 4];
      p[0] = c >> 16;
      p[1] = (c >> 8) & 0xFF;
      p[2] = c & 0xFF;
      p[3] = 255;
    }
  make_folders(folder + "Resources/bitmaps/");
  TEX_image_desc desc;
  desc.format = TEX_fmt_rgba;
  desc.width = dx;
  desc.height = dy;
  ASSERT_EQ(TEX_save_png(folder + "Resources/bitmaps/intro.png", desc, px.data()), 1);
}

class ScreenPictureTest : public gl_display_test {
 protected:
  static void SetUpTestSuite() {
    gl_display_test::SetUpTestSuite();
    if (!scratch_array) scratch_array = static_cast<unsigned char*>(nedmemalign(16, TEX_scratch_bytes));
  }
  void SetUp() override {
    gl_display_test::SetUp();
    use_window(1024, 768);
    shell_double::reset();
  }
  // Window pixels as screen units, as the 2-D set-up makes them.
  void use_window(int w, int h) {
    mnw.draw_w = w;
    mnw.draw_h = h;
    mnw.origin_x = mnw.origin_y = 0;
    mnw.side_margin = 0;
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    OGL_nrml_colors();
  }
  void build_background(int dx, int dy) {
    write_picture(tree_.path(), dx, dy);
    current_folder_guard here(tree_.path());
    mnw.topwi = -1;
    OGL_make_back_tex();
  }
  temp_tree tree_;
};

struct probe {
  int x, y;  // window pixel
  uint32_t colour;
};

void expect_pixels(const std::vector<probe>& probes) {
  gl_picture p = read_back_buffer();
  for (const probe& q : probes)
    EXPECT_EQ(p.rgb(q.x, q.y), q.colour) << "at " << q.x << "," << q.y;
}

TEST_F(ScreenPictureTest, TilesGoWhereThePictureSays) {
  build_background(2048, 2048);
  ASSERT_TRUE(shell_double::alerts().empty());
  EXPECT_EQ(back_dx, 2048);
  EXPECT_EQ(back_dy, 2048);
  // After the first screen: the picture's bottom-left quarter from the window's corner.
  mnw.topwi = 0;
  OGL_plot_back_tex();
  expect_pixels({{256, 256, tile_colour(0, 0)},
                 {768, 256, tile_colour(0, 1)},
                 {256, 600, tile_colour(1, 0)},
                 {1023, 767, tile_colour(1, 1)},
                 {0, 0, tile_colour(0, 0)}});
  // Before it: the right half, the band from 768 to 1536 rows up.
  glClear(GL_COLOR_BUFFER_BIT);
  mnw.topwi = -1;
  OGL_plot_back_tex();
  expect_pixels({{100, 100, tile_colour(1, 2)},   // picture (1124, 868)
                 {600, 300, tile_colour(2, 3)},   // picture (1624, 1068)
                 {1000, 700, tile_colour(2, 3)},  // picture (2024, 1468)
                 {10, 700, tile_colour(2, 2)}});
  EXPECT_NE(save_screenshot("background_before_first_screen"), "");
}

TEST_F(ScreenPictureTest, SmallPictureFillsTheRestOfTheWindow) {
  // 1000 x 700: partial tiles, empty ones never copied with a negative length.
  build_background(1000, 700);
  ASSERT_TRUE(shell_double::alerts().empty());
  colr.assign(34, 0, 0, 1);
  mnw.topwi = -1;
  OGL_plot_back_tex();
  // Anchored right at 1000 and at the top (no excess height): bottom at 68.
  expect_pixels({{500, 400, tile_colour(0, 0)},
                 {900, 700, tile_colour(1, 1)},
                 {999, 767, tile_colour(1, 1)},
                 {1010, 400, 0x0000FF},
                 {500, 60, 0x0000FF}});
}

TEST_F(ScreenPictureTest, MissingPictureIsFatal) {
  current_folder_guard here(tree_.path());
  mnw.topwi = -1;
  OGL_make_back_tex();
  std::vector<recorded_alert> a = shell_double::alerts();
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].type, 2);
  EXPECT_EQ(a[0].lines[0], "Trying to load a texture that you do not have!");
  EXPECT_EQ(a[0].lines[3], "Resources/bitmaps/intro.png");
  // Not before the first screen: nothing is loaded and nothing is said.
  shell_double::reset();
  mnw.topwi = 0;
  OGL_make_back_tex();
  EXPECT_TRUE(shell_double::alerts().empty());
}

// Draws four coloured quarters and a white diagonal, so orientation and offsets show.
void draw_marks(int w, int h) {
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  const float colours[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
  for (int i = 0; i < 4; ++i) {
    glColor4f(colours[i][0], colours[i][1], colours[i][2], 1);
    const float x0 = (i % 2) * w / 2.0f, y0 = (i / 2) * h / 2.0f;
    glRecti(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x0 + w / 2.0f), static_cast<int>(y0 + h / 2.0f));
  }
  glColor4f(1, 1, 1, 1);
  glBegin(GL_LINES);
  glVertex2f(0.5f, 0.5f);
  glVertex2f(w - 0.5f, h - 0.5f);
  glEnd();
}

TEST_F(ScreenPictureTest, ScreenshotsMatchTheDrawingAndNeverOverwrite) {
  for (int size : {0, 1}) {
    const int w = size ? 1023 : 1024, h = size ? 767 : 768;
    SCOPED_TRACE(w);
    std::string problem;
    ASSERT_TRUE(open_test_window(w, h, &problem)) << problem;
    use_window(w, h);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_marks(w, h);
    const gl_picture want = read_back_buffer();
    temp_tree shots;
    write_whole_file(shots.path() + "screenshot_0.png", "taken");
    write_whole_file(shots.path() + "screenshot_1.png", "taken");
    {
      current_folder_guard here(shots.path());
      ASSERT_EQ(OGL_screenshot(1), 0);
    }
    EXPECT_EQ(read_whole_file(shots.path() + "screenshot_0.png"), "taken");
    EXPECT_EQ(read_whole_file(shots.path() + "screenshot_1.png"), "taken");
    // The counter lasts for the run: the first test's file is _2, the second's _3.
    const std::string name = shots.path() + (size ? "screenshot_3.png" : "screenshot_2.png");
    ASSERT_TRUE(path_exists(name));
    TEX_image_desc desc;
    unsigned char* pixels = nullptr;
    ASSERT_EQ(TEX_load_any(name, pixels, TEX_fmt_rgb, 0, 0, desc), 1);
    ASSERT_EQ(desc.width, w);
    ASSERT_EQ(desc.height, h);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned char* got = pixels + (static_cast<size_t>(y) * w + x) * 3;
        const uint8_t* expect = want.at(x, y);
        wrong += got[0] != expect[0] || got[1] != expect[1] || got[2] != expect[2];
      }
    EXPECT_EQ(wrong, 0);
    nedfree(pixels);
  }
  ASSERT_TRUE(open_test_window(1024, 768));
}

TEST_F(ScreenPictureTest, FailedScreenshotIsReported) {
  // A current folder that is gone: nothing can be created in it, even by root.
  temp_tree gone;
  current_folder_guard here(gone.path());
  remove_tree(gone.path());
  shell_double::reopen_log();
  EXPECT_NE(OGL_screenshot(1), 0);
  EXPECT_NE(shell_double::log_text().find("WARNING: the screenshot could not be written to screenshot_"),
            std::string::npos);
  // Without saving only the pixels are read.
  EXPECT_EQ(OGL_screenshot(0), 0);
}

TEST(ScreenshotRegion, CentredAndAtMost2048) {
  struct {
    int w, h, x, y, gw, gh;
  } cases[] = {{1024, 768, 0, 0, 1024, 768}, {2560, 1600, 256, 0, 2048, 1600}, {3000, 2500, 476, 226, 2048, 2048},
               {0, 0, 0, 0, 0, 0}};
  for (const auto& c : cases) {
    int x, y, w, h;
    screenshot_region(c.w, c.h, &x, &y, &w, &h);
    EXPECT_EQ(x, c.x);
    EXPECT_EQ(y, c.y);
    EXPECT_EQ(w, c.gw);
    EXPECT_EQ(h, c.gh);
  }
}

}  // namespace

// The 2-D layout and primitives on a real context: the layout fields and viewport for two
// window sizes, the colour rule read back from GL's current colour, primitives drawn into the
// back buffer and read back (positions, colours, alpha, scissor, the screen origin), vertex
// counts through GL's feedback mode, the spectrum, the state left behind, and the swap.
#include "graphics/draw_2d.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <limits>
#include <vector>

#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "platform/window.h"
#include "runtime/shell_records.h"
#include "support/graphics_fixture.h"
#include "support/shell_double.h"

namespace {

// A new context starts from GL's defaults, so the caches start again too.
void reset_screen(int w, int h) {
  reset_gl_state_cache();
  TEX_reset_bind();
  mnw.draw_w = w;
  mnw.draw_h = h;
  mnw.topwi = 0;
  mnw.origin_x = 0;
  mnw.origin_y = 0;
  ren.monochrome = 0;
  ren.global_alpha = 1.0f;
  colr.assign(105, 1, 1, 1);  // no tint
  colr.assign(34, 0, 0, 1);   // background: blue
  colr.assign(50, 1, 0, 0);   // red
  colr.assign(51, 0, 1, 0);   // green
  colr.assign(12, 0.5f, 0.5f, 0.5f);
  OGL_pix_specs(0);
  OGL_nrml_colors();
}

class Draw2d : public gl_graphics_test {
 protected:
  void SetUp() override {
    gl_graphics_test::SetUp();
    reset_screen(1024, 768);
  }
};

TEST_F(Draw2d, LayoutOfA1024By768Window) {
  EXPECT_EQ(mnw.side_margin, 0);
  EXPECT_EQ(mnw.extra_height, 0);
  EXPECT_EQ(mnw.centre_x, 512);
  EXPECT_EQ(mnw.centre_y, 384);
  EXPECT_EQ(mnw.ortho_r, 1024);
  EXPECT_EQ(mnw.ortho_t, 768);
  EXPECT_EQ(mnw.pix_per_unit, 1);
  GLint vp[4];
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[0], 0);
  EXPECT_EQ(vp[1], 0);
  EXPECT_EQ(vp[2], 1024);
  EXPECT_EQ(vp[3], 768);
  double proj[16];
  glGetDoublev(GL_PROJECTION_MATRIX, proj);
  EXPECT_NEAR(proj[0], 2.0 / 1024, 1e-9);
  EXPECT_NEAR(proj[5], 2.0 / 768, 1e-9);
  EXPECT_NEAR(proj[12], -1, 1e-12);
  EXPECT_NEAR(proj[13], -1, 1e-12);

  // Before the first screen the offset stays 0 and the viewport is not touched.
  glViewport(1, 2, 3, 4);
  mnw.topwi = -1;
  mnw.draw_w = 1280;
  mnw.draw_h = 1024;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.side_margin, 0);
  EXPECT_EQ(mnw.extra_height, 256);
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], 3);
  EXPECT_EQ(vp[3], 4);
}

TEST(Draw2dLarge, LayoutOfA1280By1024Window) {
  std::string problem;
  ASSERT_TRUE(open_test_window(1280, 1024, &problem)) << problem;
  reset_screen(1280, 1024);
  EXPECT_EQ(mnw.side_margin, 128);
  EXPECT_EQ(mnw.extra_height, 256);
  EXPECT_EQ(mnw.centre_x, 640);
  GLint vp[4];
  glGetIntegerv(GL_VIEWPORT, vp);
  EXPECT_EQ(vp[2], 1280);
  EXPECT_EQ(vp[3], 1024);
  // The background covers the whole window wherever the screen's origin is.
  mnw.origin_x = 128;
  mnw.origin_y = 256;
  OGL_plot_back_col();
  gl_picture p = read_back_buffer();
  EXPECT_EQ(p.count(0x0000FF), 1280 * 1024);
  close_test_window();
}

TEST_F(Draw2d, ColourRule) {
  auto current = [] {
    std::vector<float> c(4);
    glGetFloatv(GL_CURRENT_COLOR, c.data());
    return c;
  };
  colr.assign(105, 0.5f, 0.25f, 1.0f);
  colr.assign(45, 1, 1, 1);
  colr.assign(46, 1, 1, 1);
  struct row {
    const char* what;
    int colour;
    float alpha, global_alpha;
    int mono;
    float want[4];
  };
  colr.assign(60, 0.002f, 0.002f, 0.002f);
  colr.assign(61, 0.5f, 0.4f, 0.3f);
  const row rows[] = {
      {"45 tinted", 45, 1, 1, 0, {0.5f, 0.25f, 1, 1}},
      {"46 untinted", 46, 1, 1, 0, {1, 1, 1, 1}},
      {"alpha times global alpha", 46, 0.5f, 0.5f, 0, {1, 1, 1, 0.25f}},
      {"0.995 is opaque", 46, 0.995f, 1, 0, {1, 1, 1, 1}},
      {"monochrome dark", 60, 0.5f, 1, 1, {0, 0.01f, 0, 0.5f}},
      {"monochrome bright", 61, 1, 1, 1, {0, 1, 0, 1}},
  };
  for (const row& r : rows) {
    glColor4f(0.3f, 0.3f, 0.3f, 0.3f);  // opaque calls must reset the alpha too
    ren.global_alpha = r.global_alpha;
    ren.monochrome = r.mono;
    set_palette_colour(r.colour, r.alpha);
    std::vector<float> c = current();
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(c[i], r.want[i], 1e-6) << r.what << " component " << i;
  }
}

TEST_F(Draw2d, RectanglesLinesAndTheOrigin) {
  OGL_fillrect(50, 1, 100, 100, 50, 30);
  gl_picture p = read_back_buffer();
  int x0, y0, x1, y1;
  ASSERT_TRUE(p.bounds(0xFF0000, &x0, &y0, &x1, &y1));
  EXPECT_EQ(p.count(0xFF0000), 50 * 30);
  EXPECT_EQ(x0, 100);
  EXPECT_EQ(y0, 100);
  EXPECT_EQ(x1, 149);
  EXPECT_EQ(y1, 129);

  // The outline lights rows y and y + h and columns x and x + w, each once.
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_framerect(51, 1, 200, 200, 40, 20);
  p = read_back_buffer();
  ASSERT_TRUE(p.bounds(0x00FF00, &x0, &y0, &x1, &y1));
  EXPECT_EQ(x0, 200);
  EXPECT_EQ(y0, 200);
  EXPECT_EQ(x1, 240);
  EXPECT_EQ(y1, 220);
  for (int x = 201; x < 240; ++x) {
    EXPECT_EQ(p.rgb(x, 200), 0x00FF00u) << x;
    EXPECT_EQ(p.rgb(x, 220), 0x00FF00u) << x;
    EXPECT_EQ(p.rgb(x, 210), 0u) << x;
  }
  for (int y = 201; y < 220; ++y) {
    EXPECT_EQ(p.rgb(200, y), 0x00FF00u) << y;
    EXPECT_EQ(p.rgb(240, y), 0x00FF00u) << y;
  }

  // A line lights one row.
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_line(50, 1, 10, 300, 60, 300);
  p = read_back_buffer();
  ASSERT_TRUE(p.bounds(0xFF0000, &x0, &y0, &x1, &y1));
  EXPECT_EQ(y0, 300);
  EXPECT_EQ(y1, 300);
  EXPECT_EQ(x0, 10);
  EXPECT_GE(x1, 59);

  // The screen origin is added exactly once.
  glClear(GL_COLOR_BUFFER_BIT);
  mnw.origin_x = 100;
  mnw.origin_y = 50;
  OGL_fillrect(50, 1, 0, 0, 10, 10);
  OGL_line(51, 1, 20, 0, 29, 0);
  p = read_back_buffer();
  ASSERT_TRUE(p.bounds(0xFF0000, &x0, &y0, &x1, &y1));
  EXPECT_EQ(x0, 100);
  EXPECT_EQ(y0, 50);
  ASSERT_TRUE(p.bounds(0x00FF00, &x0, &y0, &x1, &y1));
  EXPECT_EQ(x0, 120);
  EXPECT_EQ(y0, 50);
}

TEST_F(Draw2d, AlphaBlendsAndGrayRect) {
  OGL_fillrect(50, 0.5f, 0, 0, 10, 10);
  gl_picture p = read_back_buffer(0, 0, 10, 10);
  EXPECT_NEAR(p.at(5, 5)[0], 128, 1);
  EXPECT_EQ(p.at(5, 5)[1], 0);
  // The global alpha counts too.
  ren.global_alpha = 0.5f;
  OGL_fillrect(51, 0.5f, 20, 0, 10, 10);
  p = read_back_buffer(20, 0, 10, 10);
  EXPECT_NEAR(p.at(5, 5)[1], 64, 1);
  ren.global_alpha = 1.0f;
  // Just under opaque is drawn opaque, even right after a translucent colour.
  OGL_fillrect(50, 0.995f, 60, 0, 10, 10);
  p = read_back_buffer(60, 0, 10, 10);
  EXPECT_EQ(p.at(5, 5)[0], 255);
  OGL_grayrect(40, 0, 50, 10, 1.0f);
  p = read_back_buffer(40, 0, 10, 10);
  EXPECT_NEAR(p.at(5, 5)[0], 128, 1);
  EXPECT_EQ(p.count(p.rgb(0, 0)), 100);
}

TEST_F(Draw2d, ScissorsClipToTheBox) {
  OGL_scissors(10, 20, 30, 40);
  OGL_plot_back_col();
  OGL_scissors_end();
  gl_picture p = read_back_buffer();
  int x0, y0, x1, y1;
  ASSERT_TRUE(p.bounds(0x0000FF, &x0, &y0, &x1, &y1));
  EXPECT_EQ(p.count(0x0000FF), 30 * 40);
  EXPECT_EQ(x0, 10);
  EXPECT_EQ(y0, 20);
  EXPECT_EQ(x1, 39);
  EXPECT_EQ(y1, 59);

  // With the origin moved the box moves with it; no width means nothing is drawn.
  glClear(GL_COLOR_BUFFER_BIT);
  mnw.origin_x = 5;
  OGL_scissors(10, 20, 0, 40);
  OGL_plot_back_col();
  OGL_scissors(10, 20, -5, 40);
  OGL_plot_back_col();
  OGL_scissors_end();
  EXPECT_EQ(read_back_buffer().count(0x0000FF), 0);
  GLint box[4];
  glGetIntegerv(GL_SCISSOR_BOX, box);
  EXPECT_EQ(box[0], 15);
  EXPECT_EQ(box[2], 0);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

// Draws in GL's feedback mode and returns the line segments: (x1, y1, x2, y2) in window
// coordinates, and the vertex count of polygons.
struct feedback {
  std::vector<std::vector<float>> lines;
};

template <typename F>
feedback record(F draw) {
  std::vector<GLfloat> buffer(200000);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint n = glRenderMode(GL_RENDER);
  feedback f;
  for (GLint i = 0; i < n;) {
    const GLint token = static_cast<GLint>(buffer[i++]);
    if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
      f.lines.push_back({buffer[i], buffer[i + 1], buffer[i + 2], buffer[i + 3]});
      i += 4;
    } else if (token == GL_POLYGON_TOKEN) {
      i += 1 + 2 * static_cast<GLint>(buffer[i]);
    } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
               token == GL_COPY_PIXEL_TOKEN) {
      i += 2;
    } else if (token == GL_PASS_THROUGH_TOKEN) {
      i += 1;
    } else {
      ADD_FAILURE() << "unknown feedback token " << token;
      break;
    }
  }
  return f;
}

TEST_F(Draw2d, CirclesAndArcsByTheirSegments) {
  feedback f = record([] { OGL_fillcircle(50, 100, 100, 2.5f); });
  ASSERT_EQ(f.lines.size(), 6u);
  const float dys[6] = {-2.5f, -1.5f, -0.5f, 0.5f, 1.5f, 2.5f};
  for (int i = 0; i < 6; ++i) {
    EXPECT_FLOAT_EQ(f.lines[i][1], 100 + dys[i] + 0.5f) << i;
    EXPECT_FLOAT_EQ(f.lines[i][3], f.lines[i][1]);
    const float dx = std::sqrt(2.5f * 2.5f - dys[i] * dys[i]);
    EXPECT_NEAR(f.lines[i][2] - f.lines[i][0], 2 * dx, 1e-4) << i;
  }
  f = record([] { OGL_fillcircle(50, 100, 100, 0); });
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_EQ(f.lines[0][0], f.lines[0][2]);

  f = record([] { OGL_arc(50, 300, 300, 10, 12, 0, 90); });
  EXPECT_EQ(f.lines.size(), 273u);
  // Each radius starts with a segment of no length at the first angle.
  EXPECT_EQ(f.lines[0][0], f.lines[0][2]);
  EXPECT_NEAR(f.lines[0][1], 300 + 10 + 0.5f, 1e-4);
  EXPECT_TRUE(record([] { OGL_arc(50, 300, 300, 12, 10, 0, 90); }).lines.empty());

  f = record([] { OGL_framecircle(50, 500, 400, 20); });
  ASSERT_EQ(f.lines.size(), 72u);  // a strip of 73 points
  EXPECT_NEAR(f.lines[0][0], 500.5f, 1e-4);
  EXPECT_NEAR(f.lines[0][1], 420.5f, 1e-4);
  EXPECT_NEAR(f.lines[71][2], 500.5f, 1e-3);
  EXPECT_NEAR(f.lines[71][3], 420.5f, 1e-3);
}

TEST_F(Draw2d, StateLeftByThePrimitives) {
  OGL_fillrect(50, 1, 0, 0, 1, 1);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  OGL_framecircle(50, 10, 10, 5);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  OGL_glow_colors();
  GLint dst = 0;
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(dst, GL_ONE);
  OGL_nrml_colors();
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
  OGL_poly_offset(2);
  GLfloat factor = 0;
  glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &factor);
  EXPECT_EQ(factor, -20);
  EXPECT_TRUE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
  OGL_poly_offset(0);
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
}

TEST_F(Draw2d, SpectrumColours) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float v;
    float want[3];
  } rows[] = {{-1, {0, 0, 0}},   {1.0f / 12, {0.5f, 0, 0}}, {0.5f, {1, 1, 0}},        {1, {0.8f, 0, 0.8f}},
              {2, {0.8f, 0, 0.8f}}, {nan, {0, 0, 0}},         {0.75f, {0, 0.5f, 0.5f}}};
  for (const auto& r : rows) {
    OGL_spectrum_rgb(r.v);
    GLfloat c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(c[i], r.want[i], 1e-5) << r.v << " component " << i;
  }
  ren.monochrome = 1;
  OGL_spectrum_rgb(0.5f);
  GLfloat c[4];
  glGetFloatv(GL_CURRENT_COLOR, c);
  EXPECT_NEAR(c[0], 0, 1e-6);
  EXPECT_NEAR(c[1], 1, 1e-6);
}

TEST_F(Draw2d, TexturedQuadsKeepTheirOrientation) {
  // A 2 x 2 texture: bottom row red, green; top row blue, white.
  const GLubyte texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
  const int ref = 301;
  TEX_reset_bind();
  glBindTexture(GL_TEXTURE_2D, ref);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  colr.assign(70, 1, 1, 1);
  OGL_2dquad_d(ref, 70, 1, 100, 100, 0, 0, 64, 64, 1, 1, 4);
  // The same picture turned through the four-corner form, upside down.
  OGL_2dquad(ref, 70, 1, 200, 100, 0, 1, 200, 164, 0, 0, 264, 164, 1, 0, 264, 100, 1, 1, 1, 4);
  gl_picture p = read_back_buffer();
  EXPECT_EQ(p.rgb(110, 110), 0xFF0000u);
  EXPECT_EQ(p.rgb(150, 110), 0x00FF00u);
  EXPECT_EQ(p.rgb(110, 150), 0x0000FFu);
  EXPECT_EQ(p.rgb(150, 150), 0xFFFFFFu);
  EXPECT_EQ(p.rgb(210, 150), 0xFF0000u);
  EXPECT_EQ(p.rgb(210, 110), 0x0000FFu);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  OGL_fillrect(50, 1, 0, 0, 1, 1);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(Draw2d, APageOfPrimitivesLooksRight) {
  colr.assign(80, 0.93f, 0.94f, 0.96f);
  colr.assign(81, 0.2f, 0.45f, 0.8f);
  colr.assign(82, 0.35f, 0.35f, 0.4f);
  colr.assign(34, 0.93f, 0.94f, 0.96f);
  OGL_plot_back_col();
  OGL_fillrect(81, 1, 0, 708, 1024, 60);
  OGL_framerect(82, 1, 40, 40, 944, 640);
  for (int i = 0; i < 5; ++i) {
    OGL_fillrect(81, 0.2f * (i + 1), 80 + i * 180, 500, 140, 100);
    OGL_framerect(82, 1, 80 + i * 180, 500, 140, 100);
  }
  OGL_scissors(80, 300, 300, 120);
  for (int i = 0; i < 40; ++i) OGL_line(82, 1, 60 + i * 12, 280, 120 + i * 12, 440);
  OGL_scissors_end();
  OGL_fillcircle(81, 600, 360, 40);
  OGL_framecircle(82, 600, 360, 50);
  OGL_arc(50, 800, 360, 30, 36, 0, 270);
  for (int i = 0; i < 200; ++i) {
    OGL_spectrum_rgb(i / 199.0f);
    glBegin(GL_QUADS);
    glVertex2f(412 + i * 3, 100);
    glVertex2f(412 + i * 3, 140);
    glVertex2f(415 + i * 3, 140);
    glVertex2f(415 + i * 3, 100);
    glEnd();
  }
  OGL_grayrect(80, 100, 380, 140, 0.6f);
  const std::string path = save_screenshot("draw_2d_page");
  EXPECT_FALSE(path.empty());
  gl_picture p = read_back_buffer();
  EXPECT_EQ(p.rgb(10, 10), p.rgb(1000, 600));  // background on both sides
  // Against the picture looked at and committed; a few pixels may round differently on another
  // Mesa.
  EXPECT_TRUE(matches_golden(p, SKY_SOURCE_DIR "/tests/graphics/golden/draw_2d_page.png", 2, 256));
  // Every frame is opaque whatever the fill drawn just before it.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(p.rgb(130 + i * 180, 600), 0x595966u) << i;
}

TEST(Draw2dSwap, SwapShowsTheFrameDrawnBefore) {
  std::string problem;
  ASSERT_TRUE(open_test_window(320, 240, &problem, true)) << problem;
  reset_screen(320, 240);
  OGL_plot_back_col();
  OGL_fillrect(50, 1, 10, 10, 20, 20);
  OGL_sbuff();
  glFinish();
  // The window sits at the top left of the 1280 x 1024 screen; the X server shows the frame
  // once the swap's image has reached it.
  const int base = 1024 - 240;
  gl_picture shown;
  for (int i = 0; i < 100; ++i) {
    shown = read_screen(0, base, 320, 240);
    if (shown.width == 320 && shown.rgb(100, 100) == 0x0000FFu) break;
    usleep(10000);
  }
  ASSERT_EQ(shown.width, 320);
  EXPECT_EQ(shown.rgb(15, 15), 0xFF0000u);
  EXPECT_EQ(shown.rgb(100, 100), 0x0000FFu);
  EXPECT_EQ(shown.count(0xFF0000), 400);
  GLfloat c[4];
  glGetFloatv(GL_CURRENT_COLOR, c);
  EXPECT_EQ(c[0], 1);
  EXPECT_EQ(c[1], 1);
  close_test_window();
}

}  // namespace

// The background fill is the same picture whichever way it is drawn: a clear when it is opaque,
// normally blended and covers the viewport, the quad otherwise (a glow blend adds it to what is
// there; a translucent fill mixes; a smaller viewport keeps the fill inside it). The clear
// colour is left as it was.
TEST_F(Draw2d, TheBackgroundFillDrawsTheSamePictureAsItsQuad) {
  struct fill_case {
    const char* name;
    bool glow;
    float global_alpha;
    bool small_viewport;
    unsigned centre, corner;
  };
  const fill_case cases[] = {
      {"opaque", false, 1.0f, false, 0x0000FF, 0x0000FF},
      {"glow blend adds", true, 1.0f, false, 0xFF00FF, 0xFF00FF},
      {"translucent mixes", false, 0.5f, false, 0x800080, 0x800080},
      {"small viewport", false, 1.0f, true, 0x0000FF, 0xFF0000},
  };
  for (const fill_case& c : cases) {
    SCOPED_TRACE(c.name);
    reset_screen(1024, 768);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ren.global_alpha = c.global_alpha;
    if (c.glow) OGL_glow_colors();
    if (c.small_viewport) glViewport(256, 192, 512, 384);
    OGL_plot_back_col();
    OGL_nrml_colors();
    ren.global_alpha = 1.0f;
    glViewport(0, 0, 1024, 768);
    const gl_picture p = read_back_buffer();
    // Within one step per channel: the clear and the blend may round a half differently.
    auto near = [](unsigned got, unsigned want) {
      for (int shift = 0; shift < 24; shift += 8)
        EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((want >> shift) & 0xFF), 1)
            << std::hex << got << " " << want;
    };
    near(p.rgb(512, 384), c.centre);
    near(p.rgb(5, 5), c.corner);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 1.0f);
    EXPECT_EQ(clear[2], 0.0f);
  }
}

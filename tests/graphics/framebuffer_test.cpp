// Rendering into a texture on Mesa under Xvfb, in an 800 x 600 window: both paths, colour and
// depth targets, small and large, read back from the texture; the window record comes back
// exactly; the texture is made once for passes of one size, with its flags combined bit by bit;
// drawing on a centred screen lands in the target; a minimised window does not end the program;
// an incomplete frame buffer is fatal. The textures are the texture manager's own.
#include "graphics/framebuffer.h"

#include <GL/glext.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "graphics/image_desc.h"
#include "graphics/texture_manager.h"
#include "runtime/shell_records.h"
#include "support/display_fixture.h"
#include "support/shell_double.h"

namespace {

const tman_class::ref_dat_struct& record(int ref) { return tman.ref_dat.at(static_cast<size_t>(ref)); }

int g_status_checks = 0, g_attachments = 0;
PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC g_real_check = nullptr;
PFNGLFRAMEBUFFERTEXTURE2DEXTPROC g_real_attach = nullptr;
GLenum GLAPIENTRY counting_check(GLenum target) {
  ++g_status_checks;
  return g_real_check(target);
}
void GLAPIENTRY counting_attach(GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level) {
  ++g_attachments;
  g_real_attach(target, attachment, textarget, texture, level);
}
GLenum GLAPIENTRY incomplete(GLenum) { return GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT; }

const fbo_id kFramebuffer = 77;
const fbo_id kDepthFramebuffer = 79;
const unsigned long kDepthBuffer = 78;
// Manual references of the texture manager.
const int kTexture = 1001;

class Framebuffer : public gl_display_test {
 protected:
  static void SetUpTestSuite() {
    std::string problem;
    ASSERT_TRUE(open_test_window(800, 600, &problem)) << problem;
    ASSERT_EQ(OGL_extensions::init_entry_points(), 0);
    glExt.init_extensions();
    ASSERT_TRUE(glExt.framebuf_avail);
    // Start-up's scratch image, which scratch loads upload from.
    static std::vector<unsigned char> scratch(TEX_scratch_bytes);
    scratch_array = scratch.data();
    tman.make_fallback_texture();
  }
  void SetUp() override {
    gl_display_test::SetUp();
    shell_double::reset();
    for (int ref = kTexture; ref < kTexture + 3; ++ref) tman.unload_texture(ref);
    // The window record of an 800 x 600 window showing its main screen.
    mnw.draw_w = 800;
    mnw.draw_h = 600;
    mnw.ortho_l = 0;
    mnw.ortho_b = 0;
    mnw.ortho_r = 800;
    mnw.ortho_t = 600;
    mnw.side_margin = 0;
    mnw.origin_x = 0;
    mnw.origin_y = 0;
    glExt.framebuf_avail = 1;
  }
  void TearDown() override {
    glExt.framebuf_avail = 1;
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
  }

  // The 2-D set-up a screen makes from the window record: pixels as units, y up.
  static void screen_setup() {
    glViewport(0, 0, mnw.draw_w, mnw.draw_h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(mnw.ortho_l, mnw.ortho_r, mnw.ortho_b, mnw.ortho_t, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
  }
  // A filled rectangle in screen units, placed as every primitive places it: plus the origin.
  static void fill(uint32_t rgb, float x, float y, float w, float h, float z = 0) {
    glColor3ub(static_cast<GLubyte>(rgb >> 16), static_cast<GLubyte>(rgb >> 8), static_cast<GLubyte>(rgb));
    const float x0 = x + mnw.origin_x, y0 = y + mnw.origin_y;
    glBegin(GL_QUADS);
    glVertex3f(x0, y0, z);
    glVertex3f(x0 + w, y0, z);
    glVertex3f(x0 + w, y0 + h, z);
    glVertex3f(x0, y0 + h, z);
    glEnd();
  }
  static std::vector<uint8_t> texture_rgba(int level, int* width, int* height) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(kTexture));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, height);
    std::vector<uint8_t> pixels(static_cast<size_t>(*width) * static_cast<size_t>(*height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    TEX_reset_bind();
    return pixels;
  }
  static uint32_t rgb_at(const std::vector<uint8_t>& pixels, int width, int x, int y) {
    const uint8_t* p = &pixels[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
};

TEST_F(Framebuffer, ColourTargetsOnBothPaths) {
  struct Case {
    const char* what;
    int use;
    int size;
    int expect;  // the texture side rendered
  } cases[] = {
      {"frame buffer, 64", 1, 64, 64},
      {"frame buffer, 1024", 1, 1024, 1024},
      {"copy, 64", 0, 64, 64},
      {"copy, 1024 in 800 x 600: halved to 512", 0, 1024, 512},
  };
  for (const Case& c : cases) {
    tman.unload_texture(kTexture);
    OGL_framebuffer target(kTexture, kFramebuffer, 0x2, c.size, c.size, kDepthBuffer);
    target.begin_render(c.use);
    EXPECT_EQ(target.render_width, c.expect) << c.what;
    EXPECT_EQ(mnw.draw_w, c.expect) << c.what;
    EXPECT_EQ(mnw.ortho_r, static_cast<float>(c.expect)) << c.what;
    screen_setup();
    const float s = static_cast<float>(c.expect);
    fill(0x0000FF, 0, 0, s, s);
    fill(0xFF0000, 0, 0, 8, 8);
    fill(0x00FF00, s - 8, s - 8, 8, 8);
    target.end_render();
    EXPECT_TRUE(shell_double::alerts().empty()) << c.what;

    int w = 0, h = 0;
    const std::vector<uint8_t> pixels = texture_rgba(0, &w, &h);
    ASSERT_EQ(w, c.expect) << c.what;
    ASSERT_EQ(h, c.expect) << c.what;
    EXPECT_EQ(rgb_at(pixels, w, 0, 0), 0xFF0000u) << c.what;
    EXPECT_EQ(rgb_at(pixels, w, 7, 7), 0xFF0000u) << c.what;
    EXPECT_EQ(rgb_at(pixels, w, w - 1, h - 1), 0x00FF00u) << c.what;
    EXPECT_EQ(rgb_at(pixels, w, w / 2, h / 2), 0x0000FFu) << c.what;
    EXPECT_EQ(rgb_at(pixels, w, 8, 8), 0x0000FFu) << c.what;
  }
  // The last texture, drawn into the window to look at: blue, red lower left, green upper right.
  screen_setup();
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(kTexture));
  glColor3f(1, 1, 1);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex2f(40, 40);
  glTexCoord2f(1, 0), glVertex2f(552, 40);
  glTexCoord2f(1, 1), glVertex2f(552, 552);
  glTexCoord2f(0, 1), glVertex2f(40, 552);
  glEnd();
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_TEXTURE_2D);
  TEX_reset_bind();
  save_screenshot("framebuffer_copy_texture");
}

TEST_F(Framebuffer, DepthTargetsOnBothPaths) {
  for (int use : {1, 0}) {
    for (int size : {64, 1024}) {
      tman.unload_texture(kTexture);
      // A frame buffer of its own: a depth target leaves its frame buffer without colour.
      OGL_framebuffer target(kTexture, kDepthFramebuffer, 0x6, size, size, 0);
      target.begin_render(use);
      screen_setup();
      glEnable(GL_DEPTH_TEST);
      glDepthMask(GL_TRUE);
      glDepthFunc(GL_ALWAYS);
      glClear(GL_DEPTH_BUFFER_BIT);
      const float s = static_cast<float>(target.render_width);
      // Eye depth -0.5 in a (-1, 1) orthographic box is window depth 0.75; +0.5 is 0.25.
      fill(0xFFFFFF, 0, 0, s / 2, s, -0.5f);
      fill(0xFFFFFF, s / 2, 0, s / 2, s, 0.5f);
      glDepthFunc(GL_LESS);
      glDisable(GL_DEPTH_TEST);
      target.end_render();
      EXPECT_TRUE(shell_double::alerts().empty());

      const int w = target.render_width;
      glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(kTexture));
      std::vector<float> depth(static_cast<size_t>(w) * static_cast<size_t>(w));
      glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
      glBindTexture(GL_TEXTURE_2D, 0);
      TEX_reset_bind();
      const std::string what = std::string(use ? "frame buffer " : "copy ") + std::to_string(size);
      EXPECT_NEAR(depth[static_cast<size_t>(w / 2) * static_cast<size_t>(w) + 2], 0.75f, 1e-3) << what;
      EXPECT_NEAR(depth[static_cast<size_t>(w / 2) * static_cast<size_t>(w) + static_cast<size_t>(w - 3)], 0.25f,
                  1e-3)
          << what;
    }
  }
}

TEST_F(Framebuffer, TheWindowRecordComesBackExactly) {
  // A centred modal screen of a larger window.
  mnw.draw_w = 1279;
  mnw.draw_h = 1001;
  mnw.ortho_l = 0.5f;
  mnw.ortho_b = 0.25f;
  mnw.ortho_r = 1279;
  mnw.ortho_t = 1001;
  mnw.side_margin = 127.5f;
  mnw.origin_x = 339.5f;
  mnw.origin_y = 200.25f;
  const mnw_struct before = mnw;
  for (int use : {1, 0}) {
    OGL_framebuffer target(kTexture, kFramebuffer, 0x2, 256, 128, 0);
    target.begin_render(use);
    EXPECT_EQ(mnw.ortho_l, 0);
    EXPECT_EQ(mnw.ortho_b, 0);
    EXPECT_EQ(mnw.ortho_r, 256);
    EXPECT_EQ(mnw.ortho_t, 128);
    EXPECT_EQ(mnw.draw_w, 256);
    EXPECT_EQ(mnw.draw_h, 128);
    EXPECT_EQ(mnw.side_margin, 0);
    EXPECT_EQ(mnw.origin_x, 0);
    EXPECT_EQ(mnw.origin_y, 0);
    target.end_render();
    EXPECT_EQ(mnw.draw_w, before.draw_w) << "use " << use;
    EXPECT_EQ(mnw.draw_h, before.draw_h) << "use " << use;
    EXPECT_EQ(mnw.ortho_l, before.ortho_l) << "use " << use;
    EXPECT_EQ(mnw.ortho_b, before.ortho_b) << "use " << use;
    EXPECT_EQ(mnw.ortho_r, before.ortho_r) << "use " << use;
    EXPECT_EQ(mnw.ortho_t, before.ortho_t) << "use " << use;
    EXPECT_EQ(mnw.side_margin, before.side_margin) << "use " << use;
    EXPECT_EQ(mnw.origin_x, before.origin_x) << "use " << use;
    EXPECT_EQ(mnw.origin_y, before.origin_y) << "use " << use;
  }
}

TEST_F(Framebuffer, DrawingOnACentredScreenLandsInTheTarget) {
  mnw.origin_x = 112;
  mnw.origin_y = 84;
  for (int use : {1, 0}) {
    tman.unload_texture(kTexture);
    OGL_framebuffer target(kTexture, kFramebuffer, 0x2, 64, 64, 0);
    target.begin_render(use);
    screen_setup();
    fill(0x000000, 0, 0, 64, 64);
    fill(0xFFFF00, 0, 0, 16, 16);
    target.end_render();
    int w = 0, h = 0;
    const std::vector<uint8_t> pixels = texture_rgba(0, &w, &h);
    EXPECT_EQ(rgb_at(pixels, w, 0, 0), 0xFFFF00u) << "use " << use;
    EXPECT_EQ(rgb_at(pixels, w, 15, 15), 0xFFFF00u) << "use " << use;
    EXPECT_EQ(rgb_at(pixels, w, 16, 16), 0x000000u) << "use " << use;
    EXPECT_EQ(mnw.origin_x, 112);
  }
}

TEST_F(Framebuffer, OneLoadPerSizeWithFlagsCombinedBitByBit) {
  g_real_check = glExt.glCheckFramebufferStatusEXT;
  g_real_attach = glExt.glFramebufferTexture2DEXT;
  glExt.glCheckFramebufferStatusEXT = counting_check;
  glExt.glFramebufferTexture2DEXT = counting_attach;
  g_status_checks = g_attachments = 0;
  const float flushes = g_fbo_flushes.value;

  // Flags that carry the bits the passes add already: an arithmetic sum would lose them.
  OGL_framebuffer target(kTexture, kFramebuffer, 0x502, 128, 128, kDepthBuffer);
  target.begin_render(1);
  screen_setup();
  fill(0xFF0000, 0, 0, 128, 128);
  target.end_render();
  EXPECT_EQ(record(kTexture).flags, 0x1502);
  EXPECT_EQ(record(kTexture).file_name, "scratch_array-fbo");
  EXPECT_EQ(record(kTexture).image_w, 128);
  // The second pass of the same size keeps the texture (a new load would upload the scratch
  // image over the red) and neither attaches nor checks again.
  target.begin_render(1);
  target.end_render();
  int w = 0, h = 0;
  std::vector<uint8_t> pixels = texture_rgba(0, &w, &h);
  EXPECT_EQ(rgb_at(pixels, w, 64, 64), 0xFF0000u);
  EXPECT_EQ(g_status_checks, 1);
  EXPECT_EQ(g_attachments, 1);
  EXPECT_EQ(g_fbo_flushes.value, flushes + 2);

  // A new size makes a new texture and attaches it again.
  target.set_render_size(64, 32);
  target.begin_render(1);
  target.end_render();
  EXPECT_EQ(record(kTexture).image_w, 64);
  EXPECT_EQ(record(kTexture).image_h, 32);
  EXPECT_EQ(g_status_checks, 2);
  EXPECT_EQ(g_attachments, 2);
  glExt.glCheckFramebufferStatusEXT = g_real_check;
  glExt.glFramebufferTexture2DEXT = g_real_attach;

  // The copy path: its own name and flags.
  OGL_framebuffer copy(kTexture + 1, kFramebuffer, 0x1401, 32, 32, 0);
  copy.begin_render(0);
  copy.end_render();
  EXPECT_EQ(record(kTexture + 1).flags, 0x1501);
  EXPECT_EQ(record(kTexture + 1).file_name, "scratch_array-mTexID");
  EXPECT_EQ(g_fbo_flushes.value, flushes + 4);

  // Without frame-buffer objects the copy path is taken even when asked for the other.
  glExt.framebuf_avail = 0;
  OGL_framebuffer fallback(kTexture + 2, kFramebuffer, 0x2, 1024, 1024, 0);
  fallback.begin_render(1);
  EXPECT_EQ(fallback.render_width, 512);
  fallback.end_render();
  EXPECT_EQ(record(kTexture + 2).file_name, "scratch_array-mTexID");
  EXPECT_EQ(record(kTexture + 2).image_w, 512);
}

TEST_F(Framebuffer, MipmapsAreMadeOnTheFramebufferPath) {
  OGL_framebuffer target(kTexture, kFramebuffer, 0x2 | 0x8, 64, 64, 0);
  target.begin_render(1);
  screen_setup();
  fill(0xFF0000, 0, 0, 64, 64);
  target.end_render();
  int w = 0, h = 0;
  const std::vector<uint8_t> level1 = texture_rgba(1, &w, &h);
  ASSERT_EQ(w, 32);
  EXPECT_EQ(rgb_at(level1, w, 5, 5), 0xFF0000u);
}

TEST_F(Framebuffer, AMinimisedWindowRendersOnePixel) {
  mnw.draw_w = 0;
  mnw.draw_h = 0;
  OGL_framebuffer target(kTexture, kFramebuffer, 0x2, 256, 256, 0);
  target.begin_render(0);
  EXPECT_EQ(target.render_width, 1);
  EXPECT_EQ(target.render_height, 1);
  target.end_render();
  EXPECT_EQ(record(kTexture).image_w, 1);
  EXPECT_EQ(record(kTexture).image_h, 1);
  EXPECT_TRUE(shell_double::alerts().empty());
  EXPECT_EQ(mnw.draw_w, 0);
}

TEST_F(Framebuffer, AnIncompleteFramebufferIsFatal) {
  const auto real = glExt.glCheckFramebufferStatusEXT;
  glExt.glCheckFramebufferStatusEXT = incomplete;
  OGL_framebuffer target(kTexture, kFramebuffer, 0x2, 64, 64, 0);
  target.begin_render(1);
  glExt.glCheckFramebufferStatusEXT = real;
  target.end_render();
  const auto alerts = shell_double::alerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].type, 2);
  EXPECT_EQ(alerts[0].lines[0], "ERROR: incomplete framebuffer.");
  EXPECT_EQ(alerts[0].lines[1], std::to_string(GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT) + ".000000");
  EXPECT_EQ(alerts[0].lines[2], "");
}

}  // namespace

// The cached GL setters on a real context: which calls reach GL for a sequence of binds and
// switches (counted through the replaceable call table, each call still passed on to GL), the
// state GL ends up in, and every combiner mode drawn and read back against its formula.
#include "graphics/gl_state.h"

#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "graphics/gl_capabilities.h"
#include "platform/window.h"
#include "support/graphics_fixture.h"
#include "support/shell_double.h"

namespace {

std::vector<std::string> g_calls;

void rec_bind(GLenum t, GLuint n) {
  g_calls.push_back("bind " + std::to_string(n));
  gl_state_default_calls().bind_texture(t, n);
}
void rec_env_i(GLenum t, GLenum p, GLint v) {
  if (p == GL_TEXTURE_ENV_MODE) g_calls.push_back("mode " + std::to_string(v));
  gl_state_default_calls().tex_env_i(t, p, v);
}
void rec_env_f(GLenum t, GLenum p, GLfloat v) {
  if (p == GL_TEXTURE_ENV_MODE) g_calls.push_back("mode " + std::to_string(static_cast<int>(v)));
  gl_state_default_calls().tex_env_f(t, p, v);
}
void rec_env_fv(GLenum t, GLenum p, const GLfloat* v) {
  g_calls.push_back("env colour");
  gl_state_default_calls().tex_env_fv(t, p, v);
}
void rec_active(GLenum u) {
  g_calls.push_back("active " + std::to_string(u - GL_TEXTURE0));
  gl_state_default_calls().active_texture(u);
}
std::string cap_name(GLenum c) {
  switch (c) {
    case GL_BLEND: return "BLEND";
    case GL_ALPHA_TEST: return "ALPHA_TEST";
    case GL_TEXTURE_2D: return "TEXTURE_2D";
    case GL_FOG: return "FOG";
    case GL_LIGHTING: return "LIGHTING";
    case GL_LIGHT0: return "LIGHT0";
    case GL_DEPTH_TEST: return "DEPTH_TEST";
  }
  return std::to_string(c);
}
void rec_enable(GLenum c) {
  g_calls.push_back("enable " + cap_name(c));
  gl_state_default_calls().enable(c);
}
void rec_disable(GLenum c) {
  g_calls.push_back("disable " + cap_name(c));
  gl_state_default_calls().disable(c);
}
void rec_depth_mask(GLboolean f) {
  g_calls.push_back(f ? "depth mask on" : "depth mask off");
  gl_state_default_calls().depth_mask(f);
}
void rec_bind_buffer(GLenum t, GLuint b) {
  g_calls.push_back("bind buffer " + std::to_string(b));
  gl_state_default_calls().bind_buffer(t, b);
}

int count_prefix(const std::string& prefix) {
  return static_cast<int>(std::count_if(g_calls.begin(), g_calls.end(),
                                        [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

std::string joined() {
  std::string s;
  for (const auto& c : g_calls) s += c + "; ";
  return s;
}

class GlState : public gl_graphics_test {
 protected:
  void SetUp() override {
    gl_graphics_test::SetUp();
    ASSERT_EQ(glExt.combine_avail, 1);
    ASSERT_GE(ren.tex_units, 4);
    gl_state_calls& c = gl_state_dispatch();
    c.bind_texture = rec_bind;
    c.tex_env_i = rec_env_i;
    c.tex_env_f = rec_env_f;
    c.tex_env_fv = rec_env_fv;
    c.active_texture = rec_active;
    c.enable = rec_enable;
    c.disable = rec_disable;
    c.depth_mask = rec_depth_mask;
    c.bind_buffer = rec_bind_buffer;
    TEX_reset_bind();
    g_calls.clear();
    shell_double::reset();
    gKillTex.value = 0;
  }
  void TearDown() override { gl_state_dispatch() = gl_state_default_calls(); }
};

TEST_F(GlState, BindSequencesReachGlOnlyForChanges) {
  struct bind {
    int tex, unit, mode;
  };
  struct row {
    const char* what;
    std::vector<bind> binds;
    bool reset_between;  // TEX_reset_bind before the last bind
    int kill;
    std::vector<std::string> calls;
  };
  const std::string modulate = "mode " + std::to_string(GL_MODULATE);
  const std::string combine = "mode " + std::to_string(GL_COMBINE_ARB);
  const row rows[] = {
      {"same texture and mode twice", {{5, 0, 0}, {5, 0, 0}}, false, 0, {"bind 5", modulate}},
      {"new mode only", {{5, 0, 0}, {5, 0, 17}}, false, 0, {"bind 5", modulate, combine, "env colour"}},
      {"bind only", {{5, 0, 0}, {6, 0, 25}, {5, 0, 0}}, false, 0, {"bind 5", modulate, "bind 6", "bind 5"}},
      {"plain mode passes through", {{5, 0, GL_REPLACE}}, false, 0, {"bind 5", "mode " + std::to_string(GL_REPLACE)}},
      {"after a reset", {{5, 0, 0}, {5, 0, 0}}, true, 0, {"bind 5", modulate, "bind 5", modulate}},
      {"kill_tex", {{5, 0, 0}, {392, 0, 0}}, false, 1, {"bind 932", modulate, "bind 392"}},
      {"unit 2", {{7, 2, 0}}, false, 0, {"active 2", "bind 7", modulate, "active 0"}},
  };
  for (const row& r : rows) {
    TEX_reset_bind();
    g_calls.clear();
    gKillTex.value = static_cast<float>(r.kill);
    for (size_t i = 0; i < r.binds.size(); ++i) {
      if (r.reset_between && i + 1 == r.binds.size()) TEX_reset_bind();
      TEX_bind_ref(r.binds[i].tex, r.binds[i].unit, r.binds[i].mode);
    }
    std::vector<std::string> got;
    for (const auto& c : g_calls)
      if (c.rfind("bind", 0) == 0 || c.rfind("mode", 0) == 0 || c.rfind("active", 0) == 0 || c == "env colour")
        got.push_back(c);
    EXPECT_EQ(got, r.calls) << r.what << ": " << joined();
  }
  gKillTex.value = 0;

  // GL agrees: unit 2 holds texture 7 and unit 0 is active again.
  GLint active = 0, bound = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  gl_state_default_calls().active_texture(GL_TEXTURE2);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  gl_state_default_calls().active_texture(GL_TEXTURE0);
  EXPECT_EQ(bound, 7);
}

TEST_F(GlState, UnitOutsideTheHardwareIsRefused) {
  for (int unit : {-1, 8, ren.tex_units}) {
    shell_double::reset();
    g_calls.clear();
    TEX_bind_ref(5, unit, 0);
    auto alerts = shell_double::alerts();
    ASSERT_EQ(alerts.size(), 1u) << unit;
    EXPECT_EQ(alerts[0].type, 2);
    EXPECT_EQ(alerts[0].lines[0].rfind("Trying to", 0), 0u);
    EXPECT_TRUE(g_calls.empty()) << joined();
  }
}

// One combiner mode drawn with a known texel, primary colour and constant, read back.
struct rgba {
  float r, g, b, a;
};

TEST_F(GlState, CombinerModesComputeTheirFormulas) {
  const rgba T = {0.8f, 0.4f, 0.2f, 0.6f};   // exact in 8 bits
  const rgba P = {0.6f, 0.2f, 1.0f, 0.4f};   // primary colour = previous stage on unit 0
  const float level = 0.2f;                   // constant for 21 and 22
  auto mix = [](float a, float b, float c) { return a * c + b * (1 - c); };
  auto cl = [](float v) { return std::min(1.0f, std::max(0.0f, v)); };
  struct row {
    int mode;
    rgba want;
  };
  const float C = level;
  const row rows[] = {
      {1, {cl(P.r + T.r), cl(P.g + T.g), cl(P.b + T.b), P.a}},
      {2, {cl(P.r + T.r), cl(P.g + T.g), cl(P.b + T.b), cl(P.a + T.a)}},
      {10, {P.r * T.r, P.g * T.g, P.b * T.b, T.a}},
      {11, {P.r, P.g, P.b, cl(cl(T.a - P.a) * 4)}},
      {12, {P.r, P.g, P.b, (1 - P.a) * T.a}},
      {13, {P.r * (1 - P.a), P.g * (1 - P.a), P.b * (1 - P.a), 1}},
      {14, {P.r, P.g, P.b, P.a}},
      {15, {P.r, P.g, P.b, 1}},
      {16, {P.r * T.r, P.g * T.g, P.b * T.b, 1}},
      {17, {T.a, T.a, T.a, 1}},
      {18, {mix(T.r, P.r, T.a), mix(T.g, P.g, T.a), mix(T.b, P.b, T.a), P.a}},
      {19, {mix(T.r, P.r, P.a), mix(T.g, P.g, P.a), mix(T.b, P.b, P.a), P.a}},
      {20, {P.r * T.a, P.g * T.a, P.b * T.a, P.a}},
      {21, {mix(T.r, P.r, C), mix(T.g, P.g, C), mix(T.b, P.b, C), mix(T.a, P.a, C)}},
      {22, {mix(T.r, C, T.a), mix(T.g, C, T.a), mix(T.b, C, T.a), P.a}},
      {23, {P.r * P.r, P.g * P.g, P.b * P.b, P.a}},
      {24, {P.r * T.r, P.g * T.g, P.b * T.b, T.a}},  // constant (0, 0, 0, 0)
  };
  gl_state_dispatch() = gl_state_default_calls();
  const bool alpha_bits = window_pixel_format().alpha >= 8;
  const GLubyte texel[4] = {204, 102, 51, 153};
  const GLuint tex = 77;
  for (const row& r : rows) {
    // GL's own environment defaults, so that what a mode leaves alone is known.
    TEX_reset_bind();
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB, GL_CONSTANT);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, GL_PREVIOUS);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_ALPHA, GL_CONSTANT);
    glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1.0f);
    TEX_bind_ref(tex, 0, r.mode);
    if (r.mode == 21 || r.mode == 22) TEX_set_blend_level(0, level);
    OGL_setstate(1, 1, 3, 4, 9, 11);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1024, 0, 768, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(P.r, P.g, P.b, P.a);
    glBegin(GL_QUADS);
    glTexCoord2f(0.5f, 0.5f);
    glVertex2f(10, 10);
    glVertex2f(10, 20);
    glVertex2f(20, 20);
    glVertex2f(20, 10);
    glEnd();
    gl_picture p = read_back_buffer(15, 15, 1, 1);
    const uint8_t* px = p.at(0, 0);
    const float tol = 2.5f / 255;
    EXPECT_NEAR(px[0] / 255.0f, r.want.r, tol) << "mode " << r.mode;
    EXPECT_NEAR(px[1] / 255.0f, r.want.g, tol) << "mode " << r.mode;
    EXPECT_NEAR(px[2] / 255.0f, r.want.b, tol) << "mode " << r.mode;
    if (alpha_bits) {
      EXPECT_NEAR(px[3] / 255.0f, r.want.a, tol) << "mode " << r.mode << " alpha";
    }
  }
  EXPECT_TRUE(alpha_bits) << "the window has no alpha channel; alphas were not checked";
  OGL_setstate(1, 0, 3, 4, 9, 11);
}

TEST_F(GlState, SwitchesChangeOnlyWhatDiffers) {
  auto enabled_on = [](int unit) {
    gl_state_default_calls().active_texture(GL_TEXTURE0 + unit);
    GLboolean on = glIsEnabled(GL_TEXTURE_2D);
    gl_state_default_calls().active_texture(GL_TEXTURE0);
    return on == GL_TRUE;
  };
  OGL_setstate(1, 0, 3, 4, 9, 11);
  const int hardware = ren.tex_units;
  ren.tex_units = 2;
  g_calls.clear();
  OGL_setstate(1, 3, 3, 4, 9, 11);
  EXPECT_EQ(num_units, 2);
  EXPECT_TRUE(enabled_on(0));
  EXPECT_TRUE(enabled_on(1));
  EXPECT_FALSE(enabled_on(2));

  // The same again reaches GL not at all.
  g_calls.clear();
  OGL_setstate(1, 3, 3, 4, 9, 11);
  EXPECT_TRUE(g_calls.empty()) << joined();

  OGL_setstate(1, 0, 3, 4, 9, 11);
  EXPECT_FALSE(enabled_on(0));
  EXPECT_FALSE(enabled_on(1));
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  EXPECT_EQ(active, GL_TEXTURE0);
  ren.tex_units = hardware;

  // Each switch by itself.
  g_calls.clear();
  OGL_setstate(0, 0, 2, 7, 8, 10);
  EXPECT_EQ(joined(), "enable FOG; enable LIGHTING; enable LIGHT0; enable BLEND; enable ALPHA_TEST; "
                      "enable DEPTH_TEST; depth mask on; ");
  EXPECT_TRUE(glIsEnabled(GL_FOG) && glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_BLEND) &&
              glIsEnabled(GL_ALPHA_TEST) && glIsEnabled(GL_DEPTH_TEST));
  g_calls.clear();
  OGL_setstate(1, 0, 3, 6, 9, 11);
  EXPECT_EQ(joined(), "disable FOG; disable LIGHTING; disable LIGHT0; disable BLEND; disable DEPTH_TEST; "
                      "depth mask off; ");

  // An alpha code outside 4 to 7 leaves GL and the cache alone.
  g_calls.clear();
  OGL_setstate(1, 0, 3, 3, 9, 11);
  OGL_setstate(1, 0, 3, 6, 9, 11);
  EXPECT_TRUE(g_calls.empty()) << joined();
  OGL_setstate(1, 0, 3, 4, 9, 11);
}

TEST_F(GlState, FirstCallStartsFromGlsOwnState) {
  reset_gl_state_cache();
  gl_state_default_calls().enable(GL_BLEND);
  gl_state_default_calls().disable(GL_TEXTURE_2D);
  gl_state_default_calls().disable(GL_FOG);
  gl_state_default_calls().disable(GL_LIGHTING);
  gl_state_default_calls().disable(GL_ALPHA_TEST);
  gl_state_default_calls().disable(GL_DEPTH_TEST);
  g_calls.clear();
  OGL_setstate(1, 0, 3, 5, 9, 11);
  EXPECT_TRUE(g_calls.empty()) << joined();
  OGL_setstate(1, 0, 3, 4, 9, 11);
}

TEST_F(GlState, BufferBindsAreCounted) {
  const float before = vbo_bind_count();
  GLuint a = 3, b = 4;
  OGL_bind_vbo(a);
  OGL_bind_vbo(a);
  OGL_bind_vbo(b);
  EXPECT_EQ(vbo_bind_count() - before, 2.0f);
  EXPECT_EQ(count_prefix("bind buffer"), 2);
  const float ind_before = vbo_ind_bind_count();
  OGL_bind_vbo_ind(a);
  OGL_bind_vbo_ind(a);
  EXPECT_EQ(vbo_ind_bind_count() - ind_before, 1.0f);
  GLuint none = 0;
  OGL_bind_vbo(none);
  OGL_bind_vbo_ind(none);
}

TEST(TextureSizeCheck, OutsideOneTo2048IsFatal) {
  const struct {
    int value;
    bool fatal;
    const char* printed;
  } rows[] = {{0, true, "0"}, {2049, true, "2049"}, {-1, true, "-1"}, {1, false, ""}, {2048, false, ""}};
  for (const auto& r : rows) {
    shell_double::reset();
    check_dxy(r.value, "t_tex");
    auto alerts = shell_double::alerts();
    ASSERT_EQ(alerts.size(), r.fatal ? 1u : 0u) << r.value;
    if (!r.fatal) continue;
    EXPECT_EQ(alerts[0].type, 2);
    EXPECT_EQ(alerts[0].lines[0], "Trying to create a texture either less than 1 or greater than 2048!");
    EXPECT_EQ(alerts[0].lines[1], "t_tex");
    EXPECT_EQ(alerts[0].lines[2], "value:");
    EXPECT_EQ(alerts[0].lines[3], r.printed);
  }
}

}  // namespace

#include "graphics/gl_state.h"

#include <GL/glext.h>

#include <cassert>
#include <cstdio>

#include "graphics/gl_capabilities.h"
#include "runtime/shell_services.h"

UTL_stat gKillTex("perf/kill_tex", UTL_stat_shadow, 0.0f);
int num_units = 1;

namespace {

const int kUnits = 8;
int o_tex[kUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};
int o_mod[kUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};

// glActiveTextureARB is not part of the GL 1.1 ABI the library must export; it is looked up.
void active_texture_looked_up(GLenum unit) {
  static PFNGLACTIVETEXTUREARBPROC fn =
      reinterpret_cast<PFNGLACTIVETEXTUREARBPROC>(aglGetProcAddress("glActiveTextureARB"));
  if (fn) fn(unit);
}

void bind_buffer_through_capabilities(GLenum target, GLuint buffer) {
  if (glExt.glBindBufferARB) glExt.glBindBufferARB(target, buffer);
}

const gl_state_calls kDefaults = {glBindTexture, glTexEnvi, glTexEnvf, glTexEnvfv, active_texture_looked_up,
                                  glEnable,      glDisable, glDepthMask, bind_buffer_through_capabilities};
gl_state_calls calls = kDefaults;

// One combiner set-up: the functions with their sources and operands (0: leave as it was),
// the alpha scale (0: leave it) and the environment colour (negative: leave it).
struct combiner {
  int mode;
  GLenum rgb;
  GLenum src[3], op[3];
  GLenum alpha;
  GLenum asrc[3], aop[3];
  float alpha_scale;
  float env_colour;
  bool float_form;
};

const GLenum PREV = GL_PREVIOUS_ARB, TEX = GL_TEXTURE, CONST = GL_CONSTANT_ARB, PRIM = GL_PRIMARY_COLOR_ARB;
const GLenum RGB = GL_SRC_COLOR, A = GL_SRC_ALPHA, ONE_MINUS_A = GL_ONE_MINUS_SRC_ALPHA;

const combiner kCombiners[] = {
    {1, GL_ADD, {PREV, TEX, 0}, {RGB, RGB, 0}, GL_REPLACE, {PREV, 0, 0}, {A, 0, 0}, 1, -1, false},
    {2, GL_ADD, {PREV, TEX, 0}, {RGB, RGB, 0}, GL_ADD, {PREV, TEX, 0}, {A, A, 0}, 1, -1, false},
    {10, GL_MODULATE, {PREV, TEX, 0}, {RGB, RGB, 0}, GL_REPLACE, {TEX, 0, 0}, {A, 0, 0}, 1, -1, false},
    {11, GL_REPLACE, {PREV, 0, 0}, {RGB, 0, 0}, GL_SUBTRACT_ARB, {TEX, PREV, 0}, {A, A, 0}, 4, -1, false},
    {12, GL_REPLACE, {PREV, 0, 0}, {RGB, 0, 0}, GL_MODULATE, {PREV, TEX, 0}, {ONE_MINUS_A, A, 0}, 1, -1, false},
    {13, GL_MODULATE, {PREV, PREV, 0}, {RGB, ONE_MINUS_A, 0}, GL_REPLACE, {CONST, 0, 0}, {A, 0, 0}, 1, 1, false},
    {14, GL_REPLACE, {PREV, 0, 0}, {RGB, 0, 0}, GL_REPLACE, {PREV, 0, 0}, {A, 0, 0}, 1, -1, false},
    {15, GL_REPLACE, {PREV, 0, 0}, {RGB, 0, 0}, GL_REPLACE, {CONST, 0, 0}, {A, 0, 0}, 1, 1, false},
    {16, GL_MODULATE, {PREV, TEX, 0}, {RGB, RGB, 0}, GL_REPLACE, {CONST, 0, 0}, {A, 0, 0}, 1, 1, false},
    // The texture's alpha as grey: glyph coverage drawn as an opaque picture.
    {17, GL_REPLACE, {TEX, 0, 0}, {A, 0, 0}, GL_REPLACE, {CONST, 0, 0}, {A, 0, 0}, 1, 1, false},
    {18, GL_INTERPOLATE_ARB, {TEX, PREV, TEX}, {RGB, RGB, A}, GL_REPLACE, {PREV, 0, 0}, {A, 0, 0}, 1, -1, false},
    {19, GL_INTERPOLATE_ARB, {TEX, PREV, PREV}, {RGB, RGB, A}, GL_REPLACE, {PREV, 0, 0}, {A, 0, 0}, 1, -1, false},
    {20, GL_MODULATE, {PREV, TEX, 0}, {RGB, A, 0}, GL_REPLACE, {PREV, 0, 0}, {A, 0, 0}, 1, -1, false},
    {21, GL_INTERPOLATE_ARB, {TEX, PREV, CONST}, {RGB, RGB, RGB}, GL_INTERPOLATE_ARB, {TEX, PREV, CONST}, {A, A, A},
     1, -1, false},
    {22, GL_INTERPOLATE_ARB, {TEX, CONST, TEX}, {RGB, RGB, A}, GL_REPLACE, {PREV, 0, 0}, {A, 0, 0}, 1, -1, false},
    {23, GL_MODULATE, {PREV, PRIM, 0}, {RGB, RGB, 0}, GL_REPLACE, {PREV, 0, 0}, {A, 0, 0}, 0, -1, false},
    {24, GL_INTERPOLATE_ARB, {PRIM, CONST, TEX}, {RGB, RGB, RGB}, GL_REPLACE, {TEX, 0, 0}, {A, 0, 0}, 1, 0, true},
};

const GLenum kSrcRgb[3] = {GL_SOURCE0_RGB_ARB, GL_SOURCE1_RGB_ARB, GL_SOURCE2_RGB_ARB};
const GLenum kOpRgb[3] = {GL_OPERAND0_RGB_ARB, GL_OPERAND1_RGB_ARB, GL_OPERAND2_RGB_ARB};
const GLenum kSrcA[3] = {GL_SOURCE0_ALPHA_ARB, GL_SOURCE1_ALPHA_ARB, GL_SOURCE2_ALPHA_ARB};
const GLenum kOpA[3] = {GL_OPERAND0_ALPHA_ARB, GL_OPERAND1_ALPHA_ARB, GL_OPERAND2_ALPHA_ARB};

void set_environment(int mode) {
  const combiner* c = nullptr;
  if (glExt.combine_avail)
    for (const combiner& k : kCombiners)
      if (k.mode == mode) c = &k;
  if (!c) {
    calls.tex_env_i(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
    return;
  }
  auto param = [c](GLenum name, GLenum value) {
    if (c->float_form) calls.tex_env_f(GL_TEXTURE_ENV, name, static_cast<GLfloat>(value));
    else calls.tex_env_i(GL_TEXTURE_ENV, name, static_cast<GLint>(value));
  };
  param(GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
  param(GL_COMBINE_RGB_ARB, c->rgb);
  for (int i = 0; i < 3; ++i)
    if (c->src[i]) {
      param(kSrcRgb[i], c->src[i]);
      param(kOpRgb[i], c->op[i]);
    }
  param(GL_COMBINE_ALPHA_ARB, c->alpha);
  for (int i = 0; i < 3; ++i)
    if (c->asrc[i]) {
      param(kSrcA[i], c->asrc[i]);
      param(kOpA[i], c->aop[i]);
    }
  if (c->env_colour >= 0) {
    const GLfloat v = c->env_colour;
    const GLfloat colour[4] = {v, v, v, v};
    calls.tex_env_fv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
  }
  if (c->alpha_scale > 0) calls.tex_env_f(GL_TEXTURE_ENV, GL_ALPHA_SCALE, c->alpha_scale);
}

// The hardware's texture units as the caches may use them: at most 8; all 8 until the
// detection has counted them.
int hardware_units() {
  int n = ren.tex_units;
  if (n < 1 || n > kUnits) n = kUnits;
  return n;
}

#ifndef NDEBUG
bool unit_0_active() {
  GLint active = GL_TEXTURE0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  return active == GL_TEXTURE0;
}
#endif

// OGL_setstate's view of GL.
struct state_cache {
  bool made = false;
  int fog = 1, units = 0, lighting = 3, depth = 9, depth_write = 11;
  bool blend = false, alpha_test = false;
} state;

}  // namespace

gl_state_calls& gl_state_dispatch() { return calls; }
const gl_state_calls& gl_state_default_calls() { return kDefaults; }

void TEX_bind_ref(int tex, int unit, int mode) {
  if (unit < 0 || unit >= hardware_units()) {
    char text[32];
    std::snprintf(text, sizeof text, "%d", unit);
    __MACIBM_alert(0, "Trying to bind a texture on a texture unit the hardware does not have!",
                   std::string("unit: ") + text, "", "", t_exit, __FILE__, __LINE__);
    return;
  }
  assert(unit_0_active() && "the bind cache expects texture unit 0 to be active");
  if (mode == 0) mode = GL_MODULATE;
  if (gKillTex.value != 0 && tex != 392) tex = 932;
  if (tex == o_tex[unit] && mode == o_mod[unit]) return;

  if (unit > 0) calls.active_texture(GL_TEXTURE0 + unit);
  if (tex != o_tex[unit]) {
    calls.bind_texture(GL_TEXTURE_2D, static_cast<GLuint>(tex));
    o_tex[unit] = tex;
  }
  if (mode != 25 && mode != o_mod[unit]) {
    o_mod[unit] = mode;
    set_environment(mode);
  }
  if (unit > 0) calls.active_texture(GL_TEXTURE0);
}

void TEX_reset_bind() {
  for (int i = 0; i < kUnits; ++i) o_tex[i] = o_mod[i] = -1;
}

void TEX_set_blend_level(int unit, float level) {
  if (unit < 0 || unit >= ren.tex_units || unit >= kUnits) return;
  const GLfloat colour[4] = {level, level, level, level};
  if (unit > 0) calls.active_texture(GL_TEXTURE0 + unit);
  calls.tex_env_fv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
  if (unit > 0) calls.active_texture(GL_TEXTURE0);
}

void reset_gl_state_cache() { state = state_cache(); }

void OGL_setstate(int fog, int units, int lighting, int alpha, int depth, int depth_write) {
  if (!state.made) {
    state.made = true;
    state.fog = glIsEnabled(GL_FOG) ? 0 : 1;
    state.units = glIsEnabled(GL_TEXTURE_2D) ? num_units : 0;
    state.lighting = glIsEnabled(GL_LIGHTING) ? 2 : 3;
    state.blend = glIsEnabled(GL_BLEND) != 0;
    state.alpha_test = glIsEnabled(GL_ALPHA_TEST) != 0;
    state.depth = glIsEnabled(GL_DEPTH_TEST) ? 8 : 9;
    state.depth_write = 11;
  }

  if (fog != state.fog) {
    if (fog == 0) calls.enable(GL_FOG);
    else calls.disable(GL_FOG);
  }

  if (units < 0) units = 0;
  if (units > hardware_units()) units = hardware_units();
  if (units != state.units) {
    if (units < 1) calls.disable(GL_TEXTURE_2D);
    else calls.enable(GL_TEXTURE_2D);
    if (units >= 2 || state.units >= 2) {
      for (int k = 0; k < kUnits; ++k) {
        if (state.units <= k && k < units) {
          calls.active_texture(GL_TEXTURE0 + k);
          calls.enable(GL_TEXTURE_2D);
        } else if (units <= k && k < state.units) {
          calls.active_texture(GL_TEXTURE0 + k);
          calls.disable(GL_TEXTURE_2D);
        }
      }
      calls.active_texture(GL_TEXTURE0);
    }
  }
  num_units = units;

  if (lighting != state.lighting) {
    if (lighting == 2) {
      calls.enable(GL_LIGHTING);
      calls.enable(GL_LIGHT0);
    } else {
      calls.disable(GL_LIGHTING);
      calls.disable(GL_LIGHT0);
    }
  }

  // An alpha code no caller passes leaves blending, the test and their cache alone.
  if (alpha >= 4 && alpha <= 7) {
    const bool blend = alpha == 5 || alpha == 7;
    const bool test = alpha == 6 || alpha == 7;
    if (blend != state.blend) {
      if (blend) calls.enable(GL_BLEND);
      else calls.disable(GL_BLEND);
      state.blend = blend;
    }
    if (test != state.alpha_test) {
      if (test) calls.enable(GL_ALPHA_TEST);
      else calls.disable(GL_ALPHA_TEST);
      state.alpha_test = test;
    }
  }

  if (depth != state.depth) {
    if (depth == 8) calls.enable(GL_DEPTH_TEST);
    else calls.disable(GL_DEPTH_TEST);
  }
  if (depth_write != state.depth_write) calls.depth_mask(depth_write == 10 ? GL_TRUE : GL_FALSE);

  state.fog = fog;
  state.units = units;
  state.lighting = lighting;
  state.depth = depth;
  state.depth_write = depth_write;
}

namespace {
UTL_stat& vbo_binds() {
  static UTL_stat s("num_xdl_bind", UTL_stat_perf, 0.0f);
  return s;
}
UTL_stat& vbo_ind_binds() {
  static UTL_stat s("num_xdl_bind_ind", UTL_stat_perf, 0.0f);
  return s;
}
GLuint bound_array = 0;
GLuint bound_elements = 0;
}  // namespace

void OGL_bind_vbo(const GLuint& id) {
  if (id == bound_array) return;
  vbo_binds().value += 1;
  calls.bind_buffer(GL_ARRAY_BUFFER_ARB, id);
  bound_array = id;
}

void OGL_bind_vbo_ind(const GLuint& id) {
  if (id == bound_elements) return;
  vbo_ind_binds().value += 1;
  calls.bind_buffer(GL_ELEMENT_ARRAY_BUFFER_ARB, id);
  bound_elements = id;
}

float vbo_bind_count() { return vbo_binds().value; }
float vbo_ind_bind_count() { return vbo_ind_binds().value; }

void check_dxy(int value, std::string name) {
  if (value >= 1 && value <= 2048) return;
  char text[32];
  std::snprintf(text, sizeof text, "%1.0f", static_cast<double>(value));
  __MACIBM_alert(0, "Trying to create a texture either less than 1 or greater than 2048!", name, "value:", text,
                 t_exit, __FILE__, __LINE__);
}

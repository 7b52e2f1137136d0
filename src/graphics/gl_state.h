// The cached GL setters every drawing goes through: texture binds with their texture
// environment, the fixed-function switches (fog, texture units, lighting, blending and alpha
// test, depth test and writes) and the buffer-object binds. Each remembers what it last set and
// calls GL only for what changes, so a frame of many small primitives issues few state changes.
// The caches assume nothing else changes that state; code that does (a new context, a texture
// deleted while bound, a direct bind) calls TEX_reset_bind. Main thread only.
#pragma once

#include <GL/gl.h>

#include <string>

#include "runtime/memory/stats.h"

// Binds a texture on a unit (0 to 7) and sets the unit's environment mode: 0 is GL_MODULATE,
// 1, 2 and 10 to 24 are the combiner set-ups of the table in gl_state.cpp, 25 binds only, any
// other value is handed to GL as the environment mode. Nothing happens when both the texture
// and the mode are the unit's cached ones. Unit 0 is active before and after.
void TEX_bind_ref(int tex, int unit, int mode);
// Forgets every cached texture and mode, so the next bind on each unit reaches GL.
void TEX_reset_bind();
// The unit's environment colour (level, level, level, level), the constant modes 21 and 22
// blend with; a unit the hardware lacks is ignored.
void TEX_set_blend_level(int unit, float level);

// While non-zero every texture but the interface atlas 392 binds as the fallback texture 932.
extern UTL_stat gKillTex;

// The cached switches. Codes: fog 0 on, 1 off; texture units 0 to 8 (cut to the hardware's
// count); lighting 2 on, 3 off; alpha 4 none, 5 blending, 6 alpha test, 7 both; depth test
// 8 on, 9 off; depth writes 10 on, 11 off. The first call reads the GL state it starts from.
void OGL_setstate(int fog, int units, int lighting, int alpha, int depth, int depth_write);
// The number of texture units enabled now; the texture upload sets it to 1 around its bind.
extern int num_units;

// Cached binds of GL_ARRAY_BUFFER and GL_ELEMENT_ARRAY_BUFFER; the statistics "num_xdl_bind"
// and "num_xdl_bind_ind" count the binds that reached GL.
void OGL_bind_vbo(const GLuint& id);
void OGL_bind_vbo_ind(const GLuint& id);
float vbo_bind_count();
float vbo_ind_bind_count();

// A texture side outside 1 to 2048 is a fatal alert naming the texture.
void check_dxy(int value, std::string name);

// The GL calls the caches make, replaceable so tests can count what reaches GL.
struct gl_state_calls {
  void (*bind_texture)(GLenum target, GLuint texture);
  void (*tex_env_i)(GLenum target, GLenum name, GLint value);
  void (*tex_env_f)(GLenum target, GLenum name, GLfloat value);
  void (*tex_env_fv)(GLenum target, GLenum name, const GLfloat* values);
  void (*active_texture)(GLenum unit);
  void (*enable)(GLenum cap);
  void (*disable)(GLenum cap);
  void (*depth_mask)(GLboolean flag);
  void (*bind_buffer)(GLenum target, GLuint buffer);
};
// The calls in use; a test may replace entries and must put the returned defaults back.
gl_state_calls& gl_state_dispatch();
const gl_state_calls& gl_state_default_calls();
// Forgets what OGL_setstate cached, so its next call reads GL again (a new context).
void reset_gl_state_cache();

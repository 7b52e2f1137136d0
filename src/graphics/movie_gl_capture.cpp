#include "graphics/movie_gl_capture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include "graphics/gl_capabilities.h"
#include "graphics/text_draw.h"
#include "platform/window.h"
#include "runtime/shell_records.h"

namespace {

// The buffer-object entry points of the capability record.
bool pbo_calls_present() {
  return glExt.glGenBuffersARB && glExt.glDeleteBuffersARB && glExt.glBindBufferARB &&
         glExt.glBufferDataARB && glExt.glGetBufferSubDataARB;
}

int clamp_side(int v) { return v < 0 ? 0 : (v > movie_gl_capture::texture_side ? movie_gl_capture::texture_side : v); }

// The drawing state of the capture: no fog, lighting, blending, alpha or depth test, no depth
// writes, one texture unit; saved first and restored by restore_state.
void save_and_set_state() {
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_FALSE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBindTexture(GL_TEXTURE_2D, movie_gl_capture::capture_texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
}

void restore_state() {
  glPopClientAttrib();
  glPopAttrib();
}

}  // namespace

movie_gl_capture::movie_gl_capture(int use_pbo, const hooks& h) : use_pbo_(use_pbo), hooks_(h) {}

int movie_gl_capture::pbo_wanted() {
  return glExt.pbo_avail && window_pixel_format().samples == 0 && pbo_calls_present() ? 1 : 0;
}

movie_gl_capture::~movie_gl_capture() = default;

void movie_gl_capture::begin(int movie_w, int movie_h) {
  movie_w_ = movie_w;
  movie_h_ = movie_h;
  glPushAttrib(GL_TEXTURE_BIT);
  glBindTexture(GL_TEXTURE_2D, capture_texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, texture_side, texture_side, 0, GL_RGB, GL_UNSIGNED_BYTE,
               nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPopAttrib();
  texture_made_ = 1;
  if (use_pbo_ && pbo_calls_present()) {
    glExt.glGenBuffersARB(1, &pbo_);
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_);
    glExt.glBufferDataARB(GL_PIXEL_PACK_BUFFER_ARB,
                static_cast<GLsizeiptrARB>(movie_w_) * movie_h_ * 4, nullptr, GL_STREAM_READ_ARB);
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
  }
}

void movie_gl_capture::end() {
  if (pbo_) {
    glExt.glDeleteBuffersARB(1, &pbo_);
    pbo_ = 0;
  }
  if (texture_made_) {
    const GLuint name = capture_texture;
    glDeleteTextures(1, &name);
    texture_made_ = 0;
  }
}

int movie_gl_capture::delayed() const { return pbo_ != 0 ? 1 : 0; }

void movie_gl_capture::grab_window() {
  grab_w_ = clamp_side(mnw.draw_w);
  grab_h_ = clamp_side(mnw.draw_h);
  save_and_set_state();
  glReadBuffer(GL_BACK);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, grab_w_, grab_h_);
  restore_state();
}

void movie_gl_capture::draw_text(int colour, float x, float y, const std::string& text) {
  if (hooks_.draw_text)
    hooks_.draw_text(colour, x, y, text);
  else
    OGL_string(colour, x, y, text, 9999.0f, font_regular, 0);
}

void movie_gl_capture::swap_buffers() {
  if (hooks_.swap_buffers)
    hooks_.swap_buffers();
  else
    window_swap();
}

void movie_gl_capture::read_frame(uint8_t* pixels) {
  save_and_set_state();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, mnw.draw_w, 0.0, mnw.draw_h, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glViewport(0, 0, mnw.draw_w, mnw.draw_h);
  // The window's lower-left pixel, whatever screen is current: the read below starts there.
  const float s = static_cast<float>(grab_w_) / texture_side;
  const float t = static_cast<float>(grab_h_) / texture_side;
  const float w = static_cast<float>(movie_w_);
  const float h = static_cast<float>(movie_h_);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(0.0f, 0.0f);
  glTexCoord2f(0.0f, t);
  glVertex2f(0.0f, h);
  glTexCoord2f(s, t);
  glVertex2f(w, h);
  glTexCoord2f(s, 0.0f);
  glVertex2f(w, 0.0f);
  glEnd();
  glReadBuffer(GL_BACK);
  if (pbo_) {
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_);
    glReadPixels(0, 0, movie_w_, movie_h_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
  } else {
    glReadPixels(0, 0, movie_w_, movie_h_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  restore_state();
}

void movie_gl_capture::read_previous(uint8_t* pixels) {
  if (!pbo_) return;
  glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_);
  glExt.glGetBufferSubDataARB(GL_PIXEL_PACK_BUFFER_ARB, 0,
                 static_cast<GLsizeiptrARB>(movie_w_) * movie_h_ * 4, pixels);
  glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
}

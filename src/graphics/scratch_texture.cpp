// Until the texture manager and the state cache are in, the image goes straight into the GL
// texture named by the ref, clamped and linearly filtered, and the state is set directly.
#include "graphics/scratch_texture.h"

#include <GL/gl.h>

#include "graphics/image_desc.h"
#include "runtime/shell_records.h"

namespace {
void palette_colour(int colour) {
  if (colour < 0 || colour >= colr_class::entry_count) colour = 0;
  glColor4f(colr.rgb[colour][0], colr.rgb[colour][1], colr.rgb[colour][2], 1);
}
}  // namespace

void load_scratch_texture(int, int ref, int flags, float, const std::string&) {
  const GLenum format = (flags & 7) == 3 ? GL_ALPHA : GL_RGBA;
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(ref));
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), scratch_dx, scratch_dy, 0, format, GL_UNSIGNED_BYTE,
               scratch_array);
}

void bind_scratch_texture(int ref) {
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(ref));
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void set_picture_state(int colour, bool opaque) {
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glEnable(GL_TEXTURE_2D);
  if (opaque) {
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
  } else {
    glEnable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
  }
  palette_colour(colour);
}

void fill_window(int colour) {
  glDisable(GL_TEXTURE_2D);
  palette_colour(colour);
  glRecti(0, 0, mnw.draw_w, mnw.draw_h);
}

// The text renderer's GL side until the texture manager and the state cache take it over: the
// glyph image goes straight into the texture named by the font's ref, and the text state and
// colour are set directly.
#include <GL/gl.h>

#include "graphics/font.h"
#include "runtime/shell_records.h"

namespace {

void upload_glyph_image(int ref, const unsigned char* pixels, int rows) {
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(ref));
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, OGL_font_info::image_width, rows, 0, GL_ALPHA,
               GL_UNSIGNED_BYTE, pixels);
}

void begin_text(int colour) {
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  // The glyph image is coverage only: the palette colour modulated by the texel's alpha.
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  if (colour < 0 || colour >= colr_class::entry_count) colour = 0;
  glColor3fv(colr.rgb[colour]);
}

void bind_texture(int ref) { glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(ref)); }

}  // namespace

font_gl_hooks default_font_hooks() {
  font_gl_hooks hooks;
  hooks.upload = upload_glyph_image;
  hooks.begin_text = begin_text;
  hooks.bind = bind_texture;
  return hooks;
}

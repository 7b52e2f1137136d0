// The text renderer's GL side: the glyph image becomes the font's texture through the scratch
// image and the texture manager; the text state and palette colour go through the state cache
// and the colour rule.
#include <cstring>

#include "graphics/draw_2d.h"
#include "graphics/font.h"
#include "graphics/gl_state.h"
#include "graphics/image_desc.h"
#include "graphics/texture_manager.h"

namespace {

void upload_glyph_image(int ref, const unsigned char* pixels, int rows) {
  scratch_dx = OGL_font_info::image_width;
  scratch_dy = rows;
  std::memcpy(scratch_array, pixels, static_cast<size_t>(rows) * OGL_font_info::image_width);
  tman.load_texture(4, ref, 0x503, 100, "scratch_array-fonts");
}

// Fog off, one texture unit, lighting off, blending (the glyph image is coverage only), no
// depth test or writes; the palette colour is modulated by each texel's coverage.
void begin_text(int colour) {
  OGL_setstate(1, 1, 3, 5, 9, 11);
  set_palette_colour(colour, 1.0f);
}

void bind_glyph_image(int ref) { tman.bind_ref(ref, 0, 0); }

}  // namespace

font_gl_hooks default_font_hooks() {
  font_gl_hooks hooks;
  hooks.upload = upload_glyph_image;
  hooks.begin_text = begin_text;
  hooks.bind = bind_glyph_image;
  return hooks;
}

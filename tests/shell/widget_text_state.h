// For the widget tests on the display: the text renderer's GL side pointed at the state and
// binding caches, so that text and the widgets' atlas quads can follow each other in one frame
// without a stale cached bind.
#pragma once

#include "graphics/draw_2d.h"
#include "graphics/font.h"
#include "graphics/gl_state.h"

inline void route_text_through_caches() {
  static const font_gl_hooks base = default_font_hooks();
  font_gl_hooks hooks = base;
  // The glyph image's upload binds behind the cache: the cache forgets what it knew.
  hooks.upload = [](int ref, const unsigned char* pixels, int rows) {
    base.upload(ref, pixels, rows);
    TEX_reset_bind();
  };
  hooks.begin_text = [](int colour) {
    OGL_setstate(1, 1, 3, 5, 9, 11);
    set_palette_colour(colour, 1.0f);
  };
  hooks.bind = [](int ref) { TEX_bind_ref(ref, 0, 0); };
  font_hooks() = hooks;
}

#include "graphics/background.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "graphics/draw_2d.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "graphics/image_desc.h"
#include "graphics/image_files.h"
#include "graphics/maker_contacts.h"
#include "graphics/texture_manager.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

int back_dx = 0, back_dy = 0;

namespace {
const int tile = 512;
}

void back_tile_copy(const unsigned char* picture, int dx, int dy, int r, int c, unsigned char* out) {
  std::memset(out, 0, static_cast<size_t>(tile) * tile * 4);
  // Clamped at 0: a picture smaller than the tile's start gives an empty tile, never a
  // negative copy length.
  const int rows = std::max(0, std::min(tile, dy - tile * r));
  const int cols = std::max(0, std::min(tile, dx - tile * c));
  for (int y = 0; y < rows; ++y)
    std::memcpy(out + static_cast<size_t>(y) * tile * 4,
                picture + (static_cast<size_t>(tile * r + y) * dx + static_cast<size_t>(tile) * c) * 4,
                static_cast<size_t>(cols) * 4);
}

back_layout back_tex_layout(int screen, int draw_w, int draw_h, float offset_x, int dx, int dy) {
  back_layout l = {};
  if (screen == -1) {
    l.right = static_cast<float>(std::min(draw_w, dx));
    l.left = l.right - static_cast<float>(dx);
    l.top = static_cast<float>(draw_h + std::max(0, std::min(tile, dy - draw_h)));
    l.bottom = l.top - static_cast<float>(dy);
    l.fill_first = dx < draw_w || dy < draw_h;
  } else {
    l.left = offset_x;
    l.right = l.left + static_cast<float>(dx);
    l.bottom = 0;
    l.top = static_cast<float>(dy);
  }
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      const int px0 = tile * c, px1 = std::min(tile * (c + 1), dx);
      const int py0 = tile * r, py1 = std::min(tile * (r + 1), dy);
      if (px1 <= px0 || py1 <= py0) continue;
      back_quad q;
      q.ref = 429 + 4 * r + c;
      q.x0 = l.left + static_cast<float>(px0);
      q.x1 = l.left + static_cast<float>(px1);
      q.y0 = l.bottom + static_cast<float>(py0);
      q.y1 = l.bottom + static_cast<float>(py1);
      q.s1 = static_cast<float>(px1 - px0) / tile;
      q.t1 = static_cast<float>(py1 - py0) / tile;
      if (q.x1 > 0 && q.x0 < static_cast<float>(draw_w) && q.y1 > 0 && q.y0 < static_cast<float>(draw_h))
        l.quads[l.count++] = q;
    }
  }
  return l;
}

void OGL_make_back_tex() {
  if (mnw.topwi != -1) return;
  static const char path[] = "Resources/bitmaps/intro.png";
  std::memset(scratch_array, 0, TEX_scratch_bytes);
  // Rows exactly the picture's width (no pad-to width), so tiles are cut with stride back_dx.
  TEX_image_desc desc;
  unsigned char* buffer = scratch_array;
  if (!TEX_load_any(path, buffer, TEX_fmt_rgba, 0, 0, desc) || desc.width < 1 || desc.height < 1) {
    __MACIBM_alert(0, "Trying to load a texture that you do not have!",
                   "This smacks of a mis-installed copy of Skyrill!",
                   std::string("Get a new download from ") + maker_web_address + ". The missing file is:", path, t_exit, __FILE__,
                   __LINE__);
    return;
  }
  back_dx = desc.width;
  back_dy = desc.height;
  // The tiles are built in scratch_array, so the picture moves out of it first.
  const size_t bytes = static_cast<size_t>(back_dx) * back_dy * 4;
  unsigned char* picture = static_cast<unsigned char*>(nedmalloc(bytes));
  std::memcpy(picture, scratch_array, bytes);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      back_tile_copy(picture, back_dx, back_dy, r, c, scratch_array);
      scratch_dx = tile;
      scratch_dy = tile;
      tman.load_texture(4, 429 + 4 * r + c, 0x412, 100, "scratch_array-t_tex_back (tile)");
    }
  nedfree(picture);
}

void OGL_plot_back_tex() {
  const back_layout l = back_tex_layout(mnw.topwi, mnw.draw_w, mnw.draw_h, mnw.side_margin, back_dx, back_dy);
  if (l.fill_first) OGL_plot_back_col();
  // Opaque pictures take the alpha test; a faded interface blends them.
  OGL_setstate(1, 1, 3, ren.global_alpha > 0.99f ? 6 : 5, 9, 11);
  set_palette_colour(0, 1.0f);
  for (int i = 0; i < l.count; ++i) {
    const back_quad& q = l.quads[i];
    tman.bind_ref(q.ref, 0, 0);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(q.x0, q.y0);
    glTexCoord2f(0, q.t1);
    glVertex2f(q.x0, q.y1);
    glTexCoord2f(q.s1, q.t1);
    glVertex2f(q.x1, q.y1);
    glTexCoord2f(q.s1, 0);
    glVertex2f(q.x1, q.y0);
    glEnd();
  }
}

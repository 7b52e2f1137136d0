#include "graphics/background.h"

#include <algorithm>
#include <cstring>

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

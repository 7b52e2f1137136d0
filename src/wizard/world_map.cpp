#include "wizard/world_map.h"

#include <cstring>

#include "install/file_decisions.h"
#include "install/installer_state.h"
#include "runtime/shell_records.h"
#include "wizard/disc_screens.h"
#include "wizard/page_calls.h"
#include "wizard/wizard_driver.h"

namespace {

// Palette entries: white for the map, black (the page text's colour) for the drag outline.
enum { col_map = 49, col_outline = 12 };
// The picture is 512 texels square; one map unit is one texel.
constexpr float texels = 512;
// Blending on: the textured quads' alpha mode.
enum { alpha_blend = 5 };

float o_x = 0, o_y = 0;  // where the current drag began
int o_use = 0;           // the value the drag paints
bool dragging = false;   // the press that began the drag fell on the map

void quad(int texture, int colour, float alpha, const float corners[4][4], int units) {
  const page_calls& c = current_page_calls();
  if (c.quad_2d) c.quad_2d(texture, colour, alpha, corners, units, alpha_blend);
}

void rect(int texture, int colour, float alpha, float x0, float y0, float x1, float y1, float u0, float v0, float u1,
          float v1, int units) {
  const float corners[4][4] = {{x0, y0, u0, v0}, {x0, y1, u0, v1}, {x1, y1, u1, v1}, {x1, y0, u1, v0}};
  quad(texture, colour, alpha, corners, units);
}

bool on_map(float x, float y) {
  return x >= world_map_x && x <= world_map_x + world_map_w && y >= world_map_y && y <= world_map_y + world_map_h;
}

// The drag outline, one unit wide, through the page's untextured quads.
void draw_outline(float x0, float y0, float x1, float y1) {
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  const float w = 1;
  rect(0, col_outline, 0.5f, x0, y0, x1, y0 + w, 0, 0, 0, 0, 0);
  rect(0, col_outline, 0.5f, x0, y1 - w, x1, y1, 0, 0, 0, 0, 0);
  rect(0, col_outline, 0.5f, x0, y0 + w, x0 + w, y1 - w, 0, 0, 0, 0, 0);
  rect(0, col_outline, 0.5f, x1 - w, y0 + w, x1, y1 - w, 0, 0, 0, 0, 0);
}

void set_every_cell(int value) {
  for (auto& band : stg.sector_want)
    for (int32_t& cell : band) cell = value;
}

}  // namespace

float world_map_cell_x(int lon_band) { return world_map_x + world_map_cell * (lon_band + 0.5f); }
float world_map_cell_y(int lat_band) { return world_map_y + world_map_cell * (lat_band + 0.5f); }

void world_map_reset() {
  o_x = o_y = 0;
  o_use = 0;
  dragging = false;
}

void UTIL_world_map() {
  const float mx = mnw.mouse_x, my = mnw.mouse_y;
  bool changed = false;

  // A drag begins only with a press on the map: a press on the icons below it or elsewhere on
  // the page, carried into the map, must not paint cells with a stale value.
  if (mnw.mouse_down) {
    o_x = mx;
    o_y = my;
    dragging = on_map(mx, my);
  }
  if (!mnw.mouse_held) dragging = false;

  rect(world_map_texture, col_map, 1, world_map_x, world_map_y, world_map_x + world_map_w, world_map_y + world_map_h,
       0, 0, world_map_w / texels, world_map_h / texels, 1);

  // The value the drag paints: the opposite of the cell pressed. On a shared border the cell
  // scanned last (higher column, then higher row) decides.
  if (mnw.mouse_down && dragging)
    for (int i = 0; i < sector_lon_bands; ++i)
      for (int j = 0; j < sector_lat_bands; ++j) {
        const float x0 = world_map_x + world_map_cell * i, y0 = world_map_y + world_map_cell * j;
        if (mx >= x0 && mx <= x0 + world_map_cell && my >= y0 && my <= y0 + world_map_cell)
          o_use = stg.sector_want[i][j] ? 0 : 1;
      }

  const float r_x0 = o_x < mx ? o_x : mx, r_x1 = o_x < mx ? mx : o_x;
  const float r_y0 = o_y < my ? o_y : my, r_y1 = o_y < my ? my : o_y;
  for (int i = 0; i < sector_lon_bands; ++i)
    for (int j = 0; j < sector_lat_bands; ++j) {
      const float x0 = world_map_x + world_map_cell * i, x1 = x0 + world_map_cell;
      const float y0 = world_map_y + world_map_cell * j, y1 = y0 + world_map_cell;
      // Strict overlap: a click without moving sets only the cell it falls inside.
      if (dragging && r_x0 < x1 && x0 < r_x1 && r_y0 < y1 && y0 < r_y1 && stg.sector_want[i][j] != o_use) {
        stg.sector_want[i][j] = o_use;
        changed = true;
      }
      if (stg.sector_offered[i][j])
        rect(world_map_texture, col_map, stg.sector_want[i][j] ? 1.0f : 0.5f, x0, y0, x1, y1,
             world_map_cell * i / texels, (world_map_h + world_map_cell * j) / texels,
             (world_map_cell * i + world_map_cell) / texels, (world_map_h + world_map_cell * j + world_map_cell) / texels,
             1);
    }

  if (dragging) draw_outline(o_x, o_y, mx, my);

  int clear_width = 0;
  if (interface_rect(world_map_buttons_right, world_map_buttons_y, 4, -1, &clear_width, 1, 0)) {
    set_every_cell(0);
    changed = true;
  }
  if (interface_rect(static_cast<float>(world_map_buttons_right - clear_width), world_map_buttons_y, 3, -1, nullptr, 1,
                     0)) {
    set_every_cell(1);
    changed = true;
  }
  if (changed) recalc_disk_sizes();
}

// The clickable world map of the scenery pages: 36 by 18 cells of 10 degrees, 14 units each,
// drawn from the world map picture (texture 396: the plain map in its lower half, the same map
// highlighted above it). A press on a cell toggles it, a drag from a cell paints every cell it
// spans with that cell's new value, and the two icons under the map's right corner select every
// cell or none. The selection is stg.sector_want; cells the release offers are drawn cut from
// the highlighted map, at full opacity when wanted and half when not. Main thread only.
#pragma once

// The map's lower-left corner and size in page units, and the side of a cell.
enum { world_map_x = 248, world_map_y = 150, world_map_w = 504, world_map_h = 252, world_map_cell = 14 };
// The world map picture's texture reference.
enum { world_map_texture = 396 };
// The y of the select-all and clear icons, and the right edge of the clear icon.
enum { world_map_buttons_y = 122, world_map_buttons_right = 780 };

// The page point of the centre of a cell (longitude band 0..35, latitude band 0..17).
float world_map_cell_x(int lon_band);
float world_map_cell_y(int lat_band);

// Forgets the drag under way and the value it paints (tests, a fresh run).
void world_map_reset();

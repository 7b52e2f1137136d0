// The background picture: "Resources/bitmaps/intro.png" cut into 16 tiles of 512 x 512 texels
// (texture refs 429 to 444, row r and column c counted from the picture's first stored row,
// which is its bottom row, is ref 429 + 4r + c) and drawn in window pixels.
#pragma once

// The picture's size in pixels; 0 until it is built.
extern int back_dx, back_dy;

// Builds the tiles; only before the first screen (current screen -1). A missing picture is a
// fatal alert.
void OGL_make_back_tex();
// Draws the tiles: before the first screen anchored to the window's right edge and shifted up
// by at most 512 pixels of the picture's excess height, afterwards from the design-area offset
// at the bottom.
void OGL_plot_back_tex();

// Copies tile (r, c) of a picture of dx x dy RGBA pixels (rows of dx pixels, bottom row first)
// into a 512 x 512 RGBA tile, clearing what the picture does not cover. A tile past the
// picture's edge copies nothing.
void back_tile_copy(const unsigned char* picture, int dx, int dy, int r, int c, unsigned char* tile);

// Where the tiles go in the window. Each tile covers its own pixels of the picture one to one;
// a tile only partly covered by a smaller picture shows only that part (s1, t1 below 1).
struct back_quad {
  int ref;
  float x0, y0, x1, y1;  // window pixels
  float s1, t1;          // texture extent used
};
struct back_layout {
  float left, right, bottom, top;  // the picture's rectangle
  bool fill_first;                 // the window shows beyond the picture: fill it first
  int count;
  back_quad quads[16];             // the tiles that overlap the window
};
back_layout back_tex_layout(int screen, int draw_w, int draw_h, float offset_x, int dx, int dy);

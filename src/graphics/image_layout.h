// The output layout the PNG and BMP readers share: row padding from a pad-to width or from
// power-of-two sizing, the rows to hold, and the checks against the caller's buffer, all worked
// out before a single pixel is written.
#pragma once

#include <cstddef>
#include <string>

#include "graphics/image_desc.h"

struct image_layout {
  int pad = 0;         // bytes after each row
  int rows = 0;        // rows the buffer holds (the height, or its power of two)
  size_t stride = 0;   // bytes per row, padding included
  size_t bytes = 0;    // stride x rows
};

// Fills layout for a width x height image of bpp bytes per pixel. 0 (with a log line naming
// path) when a side is outside 1..2048, the pad-to width is below the width, or the bytes
// exceed capacity.
int TEX_plan_layout(const std::string& path, int width, int height, int bpp, int pad_to, int pow2, size_t capacity,
                    image_layout& layout);

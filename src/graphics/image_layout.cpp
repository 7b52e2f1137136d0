#include "graphics/image_layout.h"

#include "runtime/shell_services.h"

int TEX_plan_layout(const std::string& path, int width, int height, int bpp, int pad_to, int pow2, size_t capacity,
                    image_layout& layout) {
  if (width < 1 || height < 1 || width > TEX_max_side || height > TEX_max_side) {
    thread_log() << "WARNING: image size " << width << " x " << height << " is outside 1 to " << TEX_max_side
                 << ": " << path << "\n";
    return 0;
  }
  int row_texels = width;
  if (pow2) row_texels = TEX_next_pow2(width);
  else if (pad_to > 0) row_texels = pad_to;
  if (row_texels < width || row_texels > TEX_max_side) {
    thread_log() << "WARNING: image " << width << " wide cannot be padded to " << row_texels << ": " << path << "\n";
    return 0;
  }
  image_layout l;
  l.pad = (row_texels - width) * bpp;
  l.rows = pow2 ? TEX_next_pow2(height) : height;
  l.stride = size_t(row_texels) * bpp;
  l.bytes = l.stride * size_t(l.rows);
  if (l.bytes > capacity) {
    thread_log() << "WARNING: image of " << l.bytes << " bytes does not fit a buffer of " << capacity << ": " << path
                 << "\n";
    return 0;
  }
  layout = l;
  return 1;
}

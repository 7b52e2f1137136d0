#include "graphics/image_bmp.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/mapped_file.h"
#include "graphics/image_layout.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_services.h"

namespace {

const char kAlertFile[] = "RIzirud/TEX/TEX_bmp";

// Little-endian fields at an offset from the cursor; a field past the end of the mapping reads 0.
struct field_reader {
  const unsigned char* at;
  long size;
  uint32_t u32(long off) const {
    if (off < 0 || off + 4 > size) return 0;
    return uint32_t(at[off]) | (uint32_t(at[off + 1]) << 8) | (uint32_t(at[off + 2]) << 16) |
           (uint32_t(at[off + 3]) << 24);
  }
  uint16_t u16(long off) const {
    if (off < 0 || off + 2 > size) return 0;
    return static_cast<uint16_t>(at[off] | (at[off + 1] << 8));
  }
};

}  // namespace

int TEX_load_bmp(const std::string& path, xmap_class* file, unsigned char*& buffer, unsigned format, int pad_to,
                 int pow2, TEX_image_desc& desc, size_t capacity) {
  if (!file || !file->mapped() || !file->cursor) return 0;
  int bpp = 0;
  if (format == TEX_fmt_rgb) bpp = 3;
  else if (format == TEX_fmt_rgba) bpp = 4;
  else if (format == TEX_fmt_alpha) bpp = 1;
  else {
    __MACIBM_alert(0, "Illegal desired format for bmp.", path, "", "", t_exit, kAlertFile, __LINE__);
    return 0;
  }

  const field_reader f{reinterpret_cast<const unsigned char*>(file->cursor), static_cast<long>(file->end - file->cursor)};
  const uint32_t data_offset = f.u32(10);
  const int32_t width = static_cast<int32_t>(f.u32(18));
  const int32_t raw_height = static_cast<int32_t>(f.u32(22));
  const int bits = f.u16(28);
  const uint32_t compression = f.u32(30);
  if (bits != 24) {
    __MACIBM_alert(0, "Wrong bitmap color depth for texture!", "We need 24-bit color.", "", path, t_exit, kAlertFile,
                   __LINE__);
    return 0;
  }
  if (compression != 0) {
    __MACIBM_alert(0, "Bitmap is compressed!", "", "", path, t_exit, kAlertFile, __LINE__);
    return 0;
  }
  // A negative height marks a file stored top row first.
  const bool top_down = raw_height < 0;
  const int64_t height = top_down ? -int64_t(raw_height) : raw_height;
  if (width < 1 || height < 1 || width > TEX_max_side || height > TEX_max_side) {
    thread_log() << "WARNING: bitmap size " << width << " x " << height << " is outside 1 to " << TEX_max_side << ": "
                 << path << "\n";
    return 0;
  }
  const int h = static_cast<int>(height);
  const size_t src_stride = (size_t(width) * 3 + 3) & ~size_t(3);
  if (uint64_t(data_offset) + uint64_t(src_stride) * h > uint64_t(f.size)) {
    thread_log() << "WARNING: bitmap pixel data runs past the end of the file: " << path << "\n";
    return 0;
  }
  image_layout layout;
  if (!TEX_plan_layout(path, width, h, bpp, pad_to, pow2, capacity, layout)) return 0;

  if (!buffer) buffer = static_cast<unsigned char*>(nedmalloc(layout.bytes));
  if (layout.bytes > size_t(h) * width * bpp) std::memset(buffer, 0, layout.bytes);

  desc.format = format;
  desc.width = width;
  desc.height = h;
  desc.pad = layout.pad;
  desc.has_mips = 0;

  const bool gamma = TEX_gamma.table_on != 0;
  for (int r = 0; r < h; ++r) {
    const int src_row = top_down ? h - 1 - r : r;
    const unsigned char* s = f.at + data_offset + size_t(src_row) * src_stride;
    unsigned char* d = buffer + size_t(r) * layout.stride;
    for (int x = 0; x < width; ++x, s += 3) {
      const unsigned char b = s[0], g = s[1], red = s[2];
      if (bpp == 1) {
        *d++ = static_cast<unsigned char>((red + g + b) / 3);
        continue;
      }
      const bool magenta = red == 255 && g == 0 && b == 255;
      if (bpp == 4 && magenta) {
        std::memset(d, 0, 4);
        d += 4;
        continue;
      }
      *d++ = gamma ? TEX_gamma.table[red] : red;
      *d++ = gamma ? TEX_gamma.table[g] : g;
      *d++ = gamma ? TEX_gamma.table[b] : b;
      if (bpp == 4) *d++ = 255;
    }
  }
  return 1;
}

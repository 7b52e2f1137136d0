#include "graphics/image_flip.h"

#include <squish.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/image_ops.h"
#include "runtime/shell_services.h"

namespace {

const char kAlertFile[] = "RIzirud/TEX/TEX_utils";

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Reverses the first `rows` index rows of a colour block (the rest of a partial block holds
// texels outside the picture and stays).
void flip_colour_rows(DXTColBlock* b, int rows) { std::reverse(b->row, b->row + rows); }

void flip_dxt3_alpha_rows(uint8_t* alpha, int rows) {
  for (int i = 0, j = rows - 1; i < j; ++i, --j)
    for (int k = 0; k < 2; ++k) std::swap(alpha[2 * i + k], alpha[2 * j + k]);
}

void flip_dxt5_alpha_rows(DXT5AlphaBlock* b, int rows) {
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(b->index[i]) << (8 * i);
  uint64_t row[4];
  for (int r = 0; r < 4; ++r) row[r] = (bits >> (12 * r)) & 0xFFF;
  std::reverse(row, row + rows);
  bits = 0;
  for (int r = 0; r < 4; ++r) bits |= row[r] << (12 * r);
  for (int i = 0; i < 6; ++i) b->index[i] = static_cast<uint8_t>(bits >> (8 * i));
}

// Whether a three-colour block gives index 3 to a texel inside the picture: the texels of a
// partial block outside the picture often carry index 3 and show nowhere, so they do not
// count (else nearly every mipmap chain would come out as DXT1 with alpha).
bool uses_transparent_index(const DXTColBlock* b, int cols = 4, int rows = 4) {
  if (get16(b->col0) > get16(b->col1)) return false;
  for (int r = 0; r < rows; ++r)
    for (int t = 0; t < cols; ++t)
      if (((b->row[r] >> (2 * t)) & 3) == 3) return true;
  return false;
}

// The colour block inside a block of the format.
DXTColBlock* colour_of(uint8_t* block, unsigned format) {
  return reinterpret_cast<DXTColBlock*>(block + (format == TEX_fmt_dxt3 || format == TEX_fmt_dxt5 ? 8 : 0));
}

int block_bytes(unsigned format) { return format == TEX_fmt_dxt1 || format == TEX_fmt_dxt1a ? 8 : 16; }

// Flips `rows` texel rows inside each of count blocks of one block row of a level `width`
// texels wide; gamma-corrects the endpoints when the table is on; sets flag when a DXT1 block
// uses its transparent index.
void flip_block_row(uint8_t* blocks, int count, unsigned format, int rows, int width, int& flag) {
  const int bs = block_bytes(format);
  for (int i = 0; i < count; ++i) {
    uint8_t* block = blocks + size_t(i) * bs;
    if (format == TEX_fmt_dxt3) flip_dxt3_alpha_rows(block, rows);
    if (format == TEX_fmt_dxt5) flip_dxt5_alpha_rows(reinterpret_cast<DXT5AlphaBlock*>(block), rows);
    DXTColBlock* c = colour_of(block, format);
    flip_colour_rows(c, rows);
    if (bs == 8 && !flag && uses_transparent_index(c, std::min(4, width - 4 * i), rows)) flag = 1;
    if (TEX_gamma.table_on) nv_gamma_correct(c);
  }
}

// A level whose height is above 4 but not a multiple of 4 cannot be flipped block by block:
// its texel rows straddle blocks differently once turned over. It is decoded, flipped by rows
// and encoded again.
void flip_level_by_reencoding(uint8_t* data, unsigned format, int w, int h, int& flag) {
  const int kind = TEX_squish_kind(format);
  std::vector<uint8_t> rgba(size_t(w) * h * 4);
  TEX_squish_decompress(rgba.data(), w, h, data, kind);
  const size_t stride = size_t(w) * 4;
  for (int r = 0; r < h / 2; ++r)
    std::swap_ranges(rgba.begin() + r * stride, rgba.begin() + (r + 1) * stride, rgba.begin() + (h - 1 - r) * stride);
  TEX_squish_compress(rgba.data(), w, h, data, kind | squish::kColourClusterFit);
  const int bs = block_bytes(format), across = (w + 3) / 4, down = (h + 3) / 4;
  for (int i = 0; i < across * down; ++i) {
    DXTColBlock* c = colour_of(data + size_t(i) * bs, format);
    const int cols = std::min(4, w - 4 * (i % across)), rows = std::min(4, h - 4 * (i / across));
    if (bs == 8 && !flag && uses_transparent_index(c, cols, rows)) flag = 1;
    if (TEX_gamma.table_on) nv_gamma_correct(c);
  }
}

void flip_dxt_level(uint8_t* data, unsigned format, int w, int h, int& flag) {
  const int bs = block_bytes(format);
  const int across = (w + 3) / 4, down = (h + 3) / 4;
  const size_t row_bytes = size_t(across) * bs;
  if (h <= 4) {
    flip_block_row(data, across, format, h, w, flag);
    return;
  }
  if (h % 4 != 0) {
    flip_level_by_reencoding(data, format, w, h, flag);
    return;
  }
  for (int k = 0; k < down / 2; ++k) {
    uint8_t* a = data + size_t(k) * row_bytes;
    uint8_t* b = data + size_t(down - 1 - k) * row_bytes;
    flip_block_row(a, across, format, 4, w, flag);
    flip_block_row(b, across, format, 4, w, flag);
    std::swap_ranges(a, a + row_bytes, b);
  }
  // With an odd number of block rows the middle one stays in place but its blocks still turn.
  if (down % 2) flip_block_row(data + size_t(down / 2) * row_bytes, across, format, 4, w, flag);
}

void flip_rows(uint8_t* data, size_t row_bytes, int h) {
  std::vector<uint8_t> spare(row_bytes);
  for (int k = 0; k < h / 2; ++k) {
    uint8_t* a = data + size_t(k) * row_bytes;
    uint8_t* b = data + size_t(h - 1 - k) * row_bytes;
    std::memcpy(spare.data(), a, row_bytes);
    std::memcpy(a, b, row_bytes);
    std::memcpy(b, spare.data(), row_bytes);
  }
}

}  // namespace

int TEX_flip_y(const TEX_image_desc& desc, unsigned char* data) {
  const unsigned f = desc.format;
  const bool plain = f == TEX_fmt_alpha || f == TEX_fmt_rgb || f == TEX_fmt_rgba || f == TEX_fmt_bgr || f == TEX_fmt_bgra;
  if (!plain && !TEX_is_dxt(f)) {
    __MACIBM_alert(0, "Illegal format!", "", "", "", t_exit, kAlertFile, __LINE__);
    return 0;
  }
  if (desc.width < 1 || desc.height < 1) return 0;
  int flag = 0;
  int w = desc.width, h = desc.height;
  for (;;) {
    TEX_image_desc level{f, w, h, plain ? desc.pad : 0, 0};
    if (plain) flip_rows(data, size_t(w) * TEX_bytes_per_pixel(f) + desc.pad, h);
    else flip_dxt_level(data, f, w, h, flag);
    if (!desc.has_mips || (w == 1 && h == 1)) break;
    data += TEX_bytes_needed_for_image(level);
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
  return flag;
}

int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int flag) {
  flip_block_row(reinterpret_cast<uint8_t*>(blocks), count, TEX_fmt_dxt1, 4, 4 * count, flag);
  return flag;
}

int nv_flip_blocks_dxtc3(unsigned char* blocks, int count) {
  int unused = 0;
  flip_block_row(blocks, count, TEX_fmt_dxt3, 4, 4 * count, unused);
  return 0;
}

int nv_flip_blocks_dxtc5(unsigned char* blocks, int count) {
  int unused = 0;
  flip_block_row(blocks, count, TEX_fmt_dxt5, 4, 4 * count, unused);
  return 0;
}

void nv_flip_dxt5_alpha(DXT5AlphaBlock* block) { flip_dxt5_alpha_rows(block, 4); }

int IncColor565(uint16_t& c) {
  const int r = c >> 11, g = (c >> 5) & 63, b = c & 31;
  if (g < 63) c = static_cast<uint16_t>(c + (1 << 5));
  else if (b < 31) c = static_cast<uint16_t>(c + 1);
  else if (r < 31) c = static_cast<uint16_t>(c + (1 << 11));
  else return 0;
  return 1;
}

int DecColor565(uint16_t& c) {
  const int r = c >> 11, g = (c >> 5) & 63, b = c & 31;
  if (g > 0) c = static_cast<uint16_t>(c - (1 << 5));
  else if (b > 0) c = static_cast<uint16_t>(c - 1);
  else if (r > 0) c = static_cast<uint16_t>(c - (1 << 11));
  else return 0;
  return 1;
}

namespace {

uint16_t gamma_565(uint16_t c) {
  const unsigned r5 = c >> 11, g6 = (c >> 5) & 63, b5 = c & 31;
  const unsigned r = TEX_gamma.table[(r5 << 3) | (r5 >> 2)];
  const unsigned g = TEX_gamma.table[(g6 << 2) | (g6 >> 4)];
  const unsigned b = TEX_gamma.table[(b5 << 3) | (b5 >> 2)];
  return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

}  // namespace

void nv_gamma_correct(DXTColBlock* block) {
  const uint16_t old0 = get16(block->col0), old1 = get16(block->col1);
  const bool four_colour = old0 > old1;
  uint16_t c0 = gamma_565(old0), c1 = gamma_565(old1);
  if ((c0 > c1) == four_colour) {
    put16(block->col0, c0);
    put16(block->col1, c1);
    return;
  }
  if (four_colour && c0 == c1) {
    if (!IncColor565(c1)) {
      // Both ends went white: keep colour 0 white above colour 1, so the block stays in
      // four-colour mode and no texel turns transparent.
      DecColor565(c1);
      put16(block->col0, c0);
      put16(block->col1, c1);
      return;
    }
  }
  // The order flipped: exchange the ends and renumber the indices that name them.
  put16(block->col0, c1);
  put16(block->col1, c0);
  for (int r = 0; r < 4; ++r) {
    uint8_t v = 0;
    for (int t = 0; t < 4; ++t) {
      int i = (block->row[r] >> (2 * t)) & 3;
      if (four_colour || i < 2) i ^= 1;
      v = static_cast<uint8_t>(v | (i << (2 * t)));
    }
    block->row[r] = v;
  }
}

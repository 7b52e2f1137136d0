// The descriptor of a decoded image and the layout rules every image reader and image operation
// shares: rows stored bottom row first, each row width x bytes per pixel + row padding, then
// (with mipmaps) each smaller level right after the one before it.
//
// Also the image gamma settings the readers and the DXT colour handling read. The palette owns
// them in meaning; they live here, with their readers, so the image code stays in this layer.
#pragma once

#include <cstddef>
#include <cstdint>

// OpenGL pixel formats, spelled out so the image code needs no GL header.
enum : unsigned {
  TEX_fmt_depth = 0x1902,        // GL_DEPTH_COMPONENT
  TEX_fmt_alpha = 0x1906,        // GL_ALPHA
  TEX_fmt_rgb = 0x1907,          // GL_RGB
  TEX_fmt_rgba = 0x1908,         // GL_RGBA
  TEX_fmt_depth24 = 0x81A7,      // GL_DEPTH_COMPONENT24
  TEX_fmt_bgr = 0x80E0,          // GL_BGR
  TEX_fmt_bgra = 0x80E1,         // GL_BGRA
  TEX_fmt_dxt1 = 0x83F0,         // GL_COMPRESSED_RGB_S3TC_DXT1_EXT
  TEX_fmt_dxt1a = 0x83F1,        // GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
  TEX_fmt_dxt3 = 0x83F2,         // GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
  TEX_fmt_dxt5 = 0x83F3,         // GL_COMPRESSED_RGBA_S3TC_DXT5_EXT
};

struct TEX_image_desc {
  unsigned format = 0;  // one of the formats above
  int width = 0;        // texels
  int height = 0;       // texels
  int pad = 0;          // bytes appended to every row
  int has_mips = 0;     // the data holds the whole chain down to 1 x 1 after level 0
};

// The largest side the program takes, and the bytes of the shared 16 MB scratch buffer
// (2048 x 2048 four-byte pixels) that the texture manager decodes into.
constexpr int TEX_max_side = 2048;
constexpr size_t TEX_scratch_bytes = size_t(TEX_max_side) * TEX_max_side * 4;

// Bytes per pixel of an uncompressed format; 0 for a compressed or unknown one.
inline int TEX_bytes_per_pixel(unsigned format) {
  switch (format) {
    case TEX_fmt_alpha: return 1;
    case TEX_fmt_rgb: case TEX_fmt_bgr: return 3;
    case TEX_fmt_rgba: case TEX_fmt_bgra: return 4;
    case TEX_fmt_depth: case TEX_fmt_depth24: return 4;
    default: return 0;
  }
}

inline bool TEX_is_dxt(unsigned format) {
  return format == TEX_fmt_dxt1 || format == TEX_fmt_dxt1a || format == TEX_fmt_dxt3 || format == TEX_fmt_dxt5;
}

// The smallest power of two at or above n (1 for n below 2).
inline int TEX_next_pow2(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

// Image gamma settings: the PNG reader's file-gamma basis and screen gamma, and the byte table
// that BMP pixels and DXT colour endpoints go through while the switch is on.
struct TEX_gamma_settings {
  double file_gamma_basis = 1.8;
  double screen_gamma = 1.8;
  int table_on = 0;
  unsigned char table[256];
  TEX_gamma_settings() {
    for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
  }
};
extern TEX_gamma_settings TEX_gamma;

// The shared 16 MB image buffer (TEX_scratch_bytes), 16-byte aligned, there from the program's
// load (tests may point it elsewhere); scratch_dx and scratch_dy give the size of an image a caller placed in it for a
// "scratch_array" texture load. The PNG screenshot writer reads it too.
extern unsigned char* scratch_array;
extern int scratch_dx;
extern int scratch_dy;

#include "graphics/image_ops.h"

#include <squish.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

int TEX_squish_kind(unsigned format) {
  // The DDS reader reports DXT1 as 0x83F0; both DXT1 enums are the same 8-byte blocks.
  if (format == TEX_fmt_dxt1 || format == TEX_fmt_dxt1a) return squish::kDxt1;
  if (format == TEX_fmt_dxt3) return squish::kDxt3;
  return squish::kDxt5;
}

void TEX_squish_compress(const unsigned char* rgba, int width, int height, unsigned char* blocks, int flags) {
  const int block_bytes = (flags & squish::kDxt1) ? 8 : 16;
  unsigned char texels[16 * 4];
  for (int by = 0; by < height; by += 4) {
    for (int bx = 0; bx < width; bx += 4) {
      // Texels outside the picture are left out of the fit through the mask.
      int mask = 0;
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
          unsigned char* t = texels + (y * 4 + x) * 4;
          if (bx + x < width && by + y < height) {
            std::memcpy(t, rgba + (size_t(by + y) * width + bx + x) * 4, 4);
            mask |= 1 << (y * 4 + x);
          } else {
            std::memset(t, 0, 4);
          }
        }
      squish::CompressMasked(texels, mask, blocks, flags);
      blocks += block_bytes;
    }
  }
}

void TEX_squish_decompress(unsigned char* rgba, int width, int height, const unsigned char* blocks, int flags) {
  const int block_bytes = (flags & squish::kDxt1) ? 8 : 16;
  unsigned char texels[16 * 4];
  for (int by = 0; by < height; by += 4) {
    for (int bx = 0; bx < width; bx += 4) {
      squish::Decompress(texels, blocks, flags);
      blocks += block_bytes;
      for (int y = 0; y < 4 && by + y < height; ++y)
        for (int x = 0; x < 4 && bx + x < width; ++x)
          std::memcpy(rgba + (size_t(by + y) * width + bx + x) * 4, texels + (y * 4 + x) * 4, 4);
    }
  }
}

namespace {

// Bytes of one level, in 64 bits; -1 for an unknown format.
int64_t level_bytes(unsigned format, int w, int h, int pad) {
  switch (format) {
    case TEX_fmt_depth:
    case TEX_fmt_depth24:
      return int64_t(w) * h * 4;
    case TEX_fmt_alpha:
      return int64_t(h) * (int64_t(w) + pad);
    case TEX_fmt_rgb:
    case TEX_fmt_bgr:
      return int64_t(h) * (3 * int64_t(w) + pad);
    case TEX_fmt_rgba:
    case TEX_fmt_bgra:
      return int64_t(h) * (4 * int64_t(w) + pad);
    case TEX_fmt_dxt1:
    case TEX_fmt_dxt1a:
      return ((int64_t(w) + 3) / 4) * ((int64_t(h) + 3) / 4) * 8;
    case TEX_fmt_dxt3:
    case TEX_fmt_dxt5:
      return ((int64_t(w) + 3) / 4) * ((int64_t(h) + 3) / 4) * 16;
    default:
      return -1;
  }
}

}  // namespace

int TEX_bytes_needed_for_image(const TEX_image_desc& desc) {
  int w = desc.width, h = desc.height;
  if (w < 1 || h < 1 || desc.pad < 0) return 0;
  int64_t total = 0;
  for (;;) {
    const int64_t bytes = level_bytes(desc.format, w, h, desc.pad);
    if (bytes < 0) return 0;
    total += bytes;
    if (total > INT_MAX) return 0;
    if (!desc.has_mips || (w == 1 && h == 1)) break;
    if (w >= 2) w /= 2;
    if (h >= 2) h /= 2;
  }
  return static_cast<int>(total);
}

namespace {

// The common halving (texture resolution levels and software mipmaps), with the pixel size known
// to the compiler. Same arithmetic and in-place order as the general loop.
template <int BPP>
void halve(unsigned char* pixels, int nw, int nh, size_t src_stride, size_t dst_stride) {
  for (int y = 0; y < nh; ++y) {
    const unsigned char* r0 = pixels + size_t(2 * y) * src_stride;
    const unsigned char* r1 = r0 + src_stride;
    unsigned char* d = pixels + size_t(y) * dst_stride;
    for (int x = 0; x < nw; ++x, r0 += 2 * BPP, r1 += 2 * BPP, d += BPP)
      for (int c = 0; c < BPP; ++c) d[c] = static_cast<unsigned char>((r0[c] + r0[BPP + c] + r1[c] + r1[BPP + c]) / 4);
  }
}

}  // namespace

int TEX_downscale(TEX_image_desc& desc, unsigned char* pixels, int fx, int fy) {
  const int bpp = TEX_bytes_per_pixel(desc.format);
  if (bpp == 0 || desc.format == TEX_fmt_depth || desc.format == TEX_fmt_depth24) return 0;
  if (fx < 1 || fy < 1 || fx > desc.width || fy > desc.height) return 0;
  if (fx == 1 && fy == 1) return 1;
  const int nw = desc.width / fx, nh = desc.height / fy;
  const size_t src_stride = size_t(desc.width) * bpp + desc.pad;
  const size_t dst_stride = size_t(nw) * bpp + desc.pad;
  const unsigned count = unsigned(fx) * unsigned(fy);
  if (fx == 2 && fy == 2) {
    if (bpp == 4) halve<4>(pixels, nw, nh, src_stride, dst_stride);
    else if (bpp == 3) halve<3>(pixels, nw, nh, src_stride, dst_stride);
    else halve<1>(pixels, nw, nh, src_stride, dst_stride);
    desc.width = nw;
    desc.height = nh;
    return 1;
  }
  // Output pixel (x, y) lands at or before the first source byte it reads, so the reduction can
  // run in place from the start.
  for (int y = 0; y < nh; ++y) {
    for (int x = 0; x < nw; ++x) {
      for (int c = 0; c < bpp; ++c) {
        unsigned sum = 0;
        for (int j = 0; j < fy; ++j) {
          const unsigned char* row = pixels + (size_t(y) * fy + j) * src_stride + size_t(x) * fx * bpp + c;
          for (int i = 0; i < fx; ++i) sum += row[size_t(i) * bpp];
        }
        pixels[size_t(y) * dst_stride + size_t(x) * bpp + c] = static_cast<unsigned char>(sum / count);
      }
    }
  }
  desc.width = nw;
  desc.height = nh;
  return 1;
}

void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* rgba, const unsigned char key[3], int threshold) {
  const size_t stride = size_t(desc.width) * 4 + desc.pad;
  for (int y = 0; y < desc.height; ++y) {
    unsigned char* p = rgba + size_t(y) * stride;
    for (int x = 0; x < desc.width; ++x, p += 4) {
      const int d = std::abs(p[0] - key[0]) + std::abs(p[1] - key[1]) + std::abs(p[2] - key[2]);
      if (d < threshold) p[3] = 0;
    }
  }
}

void TEX_composite(const TEX_image_desc& sd, const TEX_image_desc& dd, const unsigned char* src, unsigned char* dst,
                   float x1, float y1, float x2, float y2) {
  auto known = [](unsigned f) { return f == TEX_fmt_alpha || f == TEX_fmt_rgb || f == TEX_fmt_rgba; };
  if (!known(sd.format) || !known(dd.format) || sd.width < 1 || sd.height < 1) return;
  const int sbpp = TEX_bytes_per_pixel(sd.format), dbpp = TEX_bytes_per_pixel(dd.format);
  const bool s_alpha = sd.format == TEX_fmt_rgba, d_alpha = dd.format == TEX_fmt_rgba;
  // Colour channels drawn: a one-byte image is its own single channel.
  const int s_colours = s_alpha ? 3 : sbpp, d_colours = d_alpha ? 3 : dbpp;
  const size_t s_stride = size_t(sd.width) * sbpp + sd.pad, d_stride = size_t(dd.width) * dbpp + dd.pad;
  const int j0 = std::max(0, int(std::floor(x1))), j1 = std::min(int(std::ceil(x2)), dd.width);
  const int i0 = std::max(0, int(std::floor(y1))), i1 = std::min(int(std::ceil(y2)), dd.height);
  for (int i = i0; i < i1; ++i) {
    for (int j = j0; j < j1; ++j) {
      const double sx = (x1 == x2) ? sd.width * 0.5 : sd.width / double(x2 - x1) * (j - x1);
      const double sy = (y1 == y2) ? sd.height * 0.5 : sd.height / double(y2 - y1) * (i - y1);
      const int e = int(std::floor(sx)), f = int(std::floor(sy));
      const double fx = sx - e, fy = sy - f;
      const int nx[4] = {e, e + 1, e, e + 1}, ny[4] = {f, f, f + 1, f + 1};
      double w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
      const unsigned char* n[4];
      for (int k = 0; k < 4; ++k) {
        const bool inside = nx[k] >= 0 && nx[k] < sd.width && ny[k] >= 0 && ny[k] < sd.height;
        if (!inside) w[k] = 0;
        n[k] = inside ? src + size_t(ny[k]) * s_stride + size_t(nx[k]) * sbpp : nullptr;
      }
      unsigned char* d = dst + size_t(i) * d_stride + size_t(j) * dbpp;
      if (s_alpha) {
        if (d_alpha) {
          double a = d[3];
          for (int k = 0; k < 4; ++k)
            if (n[k]) a += w[k] * n[k][3];
          d[3] = static_cast<unsigned char>(std::clamp(a, 0.0, 255.0));
        }
        for (int k = 0; k < 4; ++k)
          if (n[k]) w[k] *= n[k][3] / 255.0;
      } else if (d_alpha) {
        const double a = d[3] + 255.0 * (w[0] + w[1] + w[2] + w[3]);
        d[3] = static_cast<unsigned char>(std::clamp(a, 0.0, 255.0));
      }
      const double wsum = w[0] + w[1] + w[2] + w[3];
      for (int c = 0; c < d_colours; ++c) {
        // A one-channel source feeds every destination colour; a colour source into a
        // one-byte destination gives its first channel.
        const int sc = s_colours == 1 ? 0 : std::min(c, s_colours - 1);
        double v = d[c] * (1 - wsum);
        for (int k = 0; k < 4; ++k)
          if (n[k]) v += w[k] * n[k][sc];
        d[c] = static_cast<unsigned char>(std::clamp(v, 0.0, 255.0));
      }
    }
  }
}

namespace {

int fit_flags(int quality) {
  if (quality == TEX_s3tc_range_fit) return squish::kColourRangeFit;
  if (quality == TEX_s3tc_iterative_fit) return squish::kColourIterativeClusterFit;
  return squish::kColourClusterFit;
}

}  // namespace

void TEX_encode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src,
                     unsigned char* dst, int quality) {
  TEX_squish_compress(src, src_desc.width, src_desc.height, dst, TEX_squish_kind(dst_desc.format) | fit_flags(quality));
}

void TEX_decode_s3tc(const TEX_image_desc& comp_desc, const TEX_image_desc&, const unsigned char* comp,
                     unsigned char* dst) {
  TEX_squish_decompress(dst, comp_desc.width, comp_desc.height, comp, TEX_squish_kind(comp_desc.format));
}

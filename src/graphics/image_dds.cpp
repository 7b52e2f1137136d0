#include "graphics/image_dds.h"

#include <squish.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/mapped_file.h"
#include "graphics/image_ops.h"
#include "runtime/shell_services.h"

namespace {

const char kAlertFile[] = "RIzirud/TEX/TEX_dds";

constexpr int kHeaderBytes = 128;
constexpr uint32_t kFlagMipmapCount = 0x20000;
constexpr uint32_t kCapsMipmap = 0x400000;
constexpr uint32_t kPixelAlpha = 0x1, kPixelFourCC = 0x4, kPixelRGB = 0x40;

uint32_t get32(const unsigned char* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

int full_chain_levels(int w, int h) {
  int levels = 1;
  while (w > 1 || h > 1) {
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
    ++levels;
  }
  return levels;
}

}  // namespace

int TEX_load_dds(const std::string&, xmap_class* file, const unsigned char*& data, TEX_image_desc& desc) {
  if (!file || !file->mapped() || file->size() < kHeaderBytes) return 0;
  const unsigned char* h = reinterpret_cast<const unsigned char*>(file->begin);
  if (std::memcmp(h, "DDS ", 4) != 0 || get32(h + 4) != 124) return 0;

  const uint32_t pf_flags = get32(h + 80);
  const uint32_t bits = get32(h + 88);
  unsigned format = 0;
  if (pf_flags & kPixelRGB) {
    // Only the byte orders the upload takes as GL_BGR / GL_BGRA; 16-bit and other layouts
    // would be read as something they are not.
    const bool masks_bgr = get32(h + 92) == 0xFF0000 && get32(h + 96) == 0xFF00 && get32(h + 100) == 0xFF;
    if (!masks_bgr) return 0;
    if ((pf_flags & kPixelAlpha) && bits == 32 && get32(h + 104) == 0xFF000000u) format = TEX_fmt_bgra;
    else if (!(pf_flags & kPixelAlpha) && bits == 24) format = TEX_fmt_bgr;
    else return 0;
  } else if (pf_flags & kPixelFourCC) {
    if (std::memcmp(h + 84, "DXT1", 4) == 0) format = TEX_fmt_dxt1;
    else if (std::memcmp(h + 84, "DXT3", 4) == 0) format = TEX_fmt_dxt3;
    else if (std::memcmp(h + 84, "DXT5", 4) == 0) format = TEX_fmt_dxt5;
    else return 0;
  } else {
    return 0;
  }

  const uint32_t height = get32(h + 12), width = get32(h + 16);
  if (width < 1 || height < 1 || width > TEX_max_side || height > TEX_max_side) return 0;

  TEX_image_desc d;
  d.format = format;
  d.width = static_cast<int>(width);
  d.height = static_cast<int>(height);
  d.pad = 0;
  const bool says_mips = (get32(h + 8) & kFlagMipmapCount) && (get32(h + 108) & kCapsMipmap);
  d.has_mips = says_mips && get32(h + 28) >= uint32_t(full_chain_levels(d.width, d.height)) ? 1 : 0;

  const long need = TEX_bytes_needed_for_image(d);
  if (need <= 0 || file->size() - kHeaderBytes < need) return 0;
  desc = d;
  data = h + kHeaderBytes;
  return 1;
}

int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc) {
  if (desc.format != TEX_fmt_rgba && desc.format != TEX_fmt_rgb) {
    __MACIBM_alert(0, "rel_assert Error! Possibly an out of range vector! Attach the debugger and see who called this!",
                   "in_desc.format == GL_RGBA || in_desc.format == GL_RGB", "TEX_save_dds",
                   "Please report this to Corvane.", t_exit, kAlertFile, __LINE__);
    return 0;
  }
  if (desc.width < 1 || desc.height < 1) return 0;
  FILE* out = std::fopen((app_path + path).c_str(), "wb");
  if (!out) return 0;

  const int kind = desc.format == TEX_fmt_rgb ? squish::kDxt1 : squish::kDxt5;
  const int flags = kind | squish::kColourIterativeClusterFit;
  int w = desc.width, h = desc.height;
  const int bpp = TEX_bytes_per_pixel(desc.format);
  const size_t src_stride = size_t(w) * bpp + desc.pad;

  // The working image: four bytes per pixel, top row first, as DDS stores it.
  std::vector<unsigned char> work(size_t(w) * h * 4);
  for (int r = 0; r < h; ++r) {
    const unsigned char* s = pixels + size_t(r) * src_stride;
    unsigned char* d = &work[size_t(h - 1 - r) * w * 4];
    for (int x = 0; x < w; ++x, s += bpp, d += 4) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
      d[3] = bpp == 4 ? s[3] : 255;
    }
  }

  const int levels = full_chain_levels(w, h);
  unsigned char header[kHeaderBytes] = {};
  std::memcpy(header, "DDS ", 4);
  put32(header + 4, 124);
  put32(header + 8, 0xA1007);
  put32(header + 12, uint32_t(h));
  put32(header + 16, uint32_t(w));
  put32(header + 20, uint32_t(squish::GetStorageRequirements(w, h, kind)));
  put32(header + 28, uint32_t(levels));
  put32(header + 76, 32);
  put32(header + 80, kPixelFourCC);
  std::memcpy(header + 84, kind == squish::kDxt1 ? "DXT1" : "DXT5", 4);
  put32(header + 108, 0x401008);
  bool ok = std::fwrite(header, 1, sizeof header, out) == sizeof header;

  std::vector<unsigned char> blocks;
  while (ok) {
    blocks.resize(size_t(squish::GetStorageRequirements(w, h, kind)));
    TEX_squish_compress(work.data(), w, h, blocks.data(), flags);
    ok = std::fwrite(blocks.data(), 1, blocks.size(), out) == blocks.size();
    if (w == 1 && h == 1) break;
    // Halve in place: a 2 x 2 box, or two neighbours once one side is down to 1.
    const int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
    for (int y = 0; y < nh; ++y) {
      for (int x = 0; x < nw; ++x) {
        for (int c = 0; c < 4; ++c) {
          auto at = [&](int xx, int yy) { return unsigned(work[(size_t(yy) * w + xx) * 4 + c]); };
          unsigned v;
          if (w > 1 && h > 1) v = (at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1)) >> 2;
          else if (w > 1) v = (at(2 * x, y) + at(2 * x + 1, y)) >> 1;
          else v = (at(x, 2 * y) + at(x, 2 * y + 1)) >> 1;
          work[(size_t(y) * nw + x) * 4 + c] = static_cast<unsigned char>(v);
        }
      }
    }
    w = nw;
    h = nh;
  }
  if (std::fclose(out) != 0) ok = false;
  return ok ? 1 : 0;
}

#include "graphics/texture_loading.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/mapped_file.h"
#include "graphics/gl_capabilities.h"
#include "graphics/image_bmp.h"
#include "graphics/image_dds.h"
#include "graphics/image_flip.h"
#include "graphics/image_ops.h"
#include "graphics/image_png.h"
#include "runtime/command_line.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

// The binding cache's size check; until it is part of the build, the same test here.
#include "graphics/gl_state.h"

namespace {

const char kAlertFile[] = "RIzirud/OOPS_cpp/tman";

std::string value_text(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%1.0f", v);
  return text;
}

bool size_ok(int v) { return v >= 1 && v <= TEX_max_side; }

// Checks a size through the check (fatal in the program) and says whether it passed.
bool checked(int value, const std::string& name) {
  tex_check_size(value, name);
  return size_ok(value);
}

unsigned char* temp_buffer() {
  static unsigned char* storage = nullptr;
  if (!storage) {
    storage = static_cast<unsigned char*>(nedmalloc(TEX_scratch_bytes + 16));
    scratch_array_temp = reinterpret_cast<unsigned char*>((reinterpret_cast<uintptr_t>(storage) + 15) & ~uintptr_t(15));
  }
  return scratch_array_temp;
}

// The largest power of two not above v (v at least 1).
int pow2_floor(int v) {
  int p = 1;
  while (p * 2 <= v) p *= 2;
  return p;
}

uint32_t be32(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return (uint32_t(u[0]) << 24) | (uint32_t(u[1]) << 16) | (uint32_t(u[2]) << 8) | u[3];
}
int32_t le32(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return int32_t(uint32_t(u[0]) | (uint32_t(u[1]) << 8) | (uint32_t(u[2]) << 16) | (uint32_t(u[3]) << 24));
}

// The size a PNG or BMP header declares, so a picture too large for a texture is refused with
// the size alert before anything is decoded. False when the header is too short to say.
bool declared_size(const xmap_class& file, bool png, int64_t& w, int64_t& h) {
  if (png) {
    if (file.size() < 24) return false;
    w = be32(file.begin + 16);
    h = be32(file.begin + 20);
  } else {
    if (file.size() < 26) return false;
    w = le32(file.begin + 18);
    h = std::llabs(int64_t(le32(file.begin + 22)));
  }
  return true;
}

}  // namespace

unsigned char* scratch_array_temp = nullptr;
void (*tex_check_size)(int value, std::string name) = check_dxy;

std::string TEX_replace_ext(const std::string& name, const char* ext) {
  if (name.size() > 4 && name[name.size() - 4] == '.') return name.substr(0, name.size() - 4) + ext;
  return name;
}

float TEX_get_scale(const std::string& name, int flags, int width, int height, int& image_w, int& image_h, int& tex_w,
                    int& tex_h, int force) {
  double factor;
  switch (mnw.tex_res) {
    case 0: factor = 1.0 / 32; break;
    case 1: factor = 1.0 / 16; break;
    case 2: factor = 1.0 / 8; break;
    case 3: factor = 1.0 / 4; break;
    case 4: factor = 1.0 / 2; break;
    default: factor = 1; break;
  }
  if (flags & tex_res_double) factor = std::min(1.0, factor * 2);
  if (flags & tex_res_half) factor = std::min(1.0, factor * 0.5);
  if (flags & tex_res_full) factor = 1;
  if (force == 1) factor = 1;
  if (width >= 1 && factor < 1.0 / width) factor = 1.0 / width;
  if (height >= 1 && factor < 1.0 / height) factor = 1.0 / height;
  // One limit: the capability record's, so a test can lower it.
  const int limit = glExt.max_tex_size > 0 ? glExt.max_tex_size : TEX_max_side;
  while (factor * width > limit || factor * height > limit) factor *= 0.5;
  image_w = int(factor * width);
  image_h = int(factor * height);
  tex_w = (flags & tex_exact_size) ? image_w : TEX_next_pow2(image_w);
  tex_h = (flags & tex_exact_size) ? image_h : TEX_next_pow2(image_h);
  for (int v : {width, height, image_w, image_h, tex_w, tex_h})
    if (!checked(v, name)) return 0;
  return float(factor);
}

namespace {

// Decodes one mapped file into target as the wanted format. Fills desc and, for DDS, the data
// pointer inside the mapping. 0 when the file is not one the loader takes.
enum { sniff_none, sniff_dds, sniff_decoded };
int sniff_and_decode(const std::string& name, xmap_class& file, unsigned char* target, unsigned wanted, int follow_alpha,
                     TEX_image_desc& desc, const unsigned char*& dds_data) {
  if (file.size() < 8) return sniff_none;
  if (std::memcmp(file.begin, "DDS ", 4) == 0) {
    // Only a DDS that carries its whole chain, and whose chain fits the buffer.
    if (TEX_load_dds(name, &file, dds_data, desc) && desc.has_mips &&
        size_t(TEX_bytes_needed_for_image(desc)) <= TEX_scratch_bytes)
      return sniff_dds;
    return sniff_none;
  }
  const bool bmp = std::memcmp(file.begin, "BM", 2) == 0;
  const bool png = !bmp && png_sig_cmp(reinterpret_cast<png_const_bytep>(file.begin), 0, 8) == 0;
  if (!bmp && !png) return sniff_none;
  int64_t w = 0, h = 0;
  if (declared_size(file, png, w, h)) {
    if (!checked(int(std::clamp<int64_t>(w, -1, TEX_max_side + 1)), name)) return sniff_none;
    if (!checked(int(std::clamp<int64_t>(h, -1, TEX_max_side + 1)), name)) return sniff_none;
  }
  unsigned char* out = target;
  file.cursor = file.begin;
  if (bmp) return TEX_load_bmp(name, &file, out, wanted, 0, 1, desc, TEX_scratch_bytes) ? sniff_decoded : sniff_none;
  return TEX_load_png(name, &file, out, wanted, 0, 1, follow_alpha, desc, TEX_scratch_bytes) ? sniff_decoded : sniff_none;
}

int channels_of(unsigned format) {
  switch (format) {
    case TEX_fmt_rgba: case TEX_fmt_bgra: return 4;
    case TEX_fmt_rgb: case TEX_fmt_bgr: case TEX_fmt_dxt1: return 3;
    case TEX_fmt_dxt1a: case TEX_fmt_dxt3: case TEX_fmt_dxt5: return 4;
    default: return 1;
  }
}

}  // namespace

// Row width of the buffer the last decode left, in texels (the upload's unpack row length).
int tex_decoded_row_texels = 0;

int load_any_into_scratch(const std::string& name, int, int flags, int& format, int& file_mips, unsigned char& channels,
                          int follow_alpha, int& image_w, int& image_h, int& tex_w, int& tex_h) {
  if (channels < 1 || channels > 4) {
    __MACIBM_alert(0, "Trying to bind too low or high a number of bytes!", name, "value:", value_text(channels), t_exit,
                   kAlertFile, __LINE__);
    return 0;
  }
  unsigned char* target = (flags & tex_keep_scratch) ? scratch_array : temp_buffer();
  if (!target) return 0;
  const unsigned wanted = channels == 1 ? TEX_fmt_alpha : channels == 4 ? TEX_fmt_rgba : TEX_fmt_rgb;

  const bool no_dds = cmdline.has_option("--no_dds") != 0;
  const std::string first = no_dds ? name : TEX_replace_ext(name, ".dds");
  const std::string names[] = {first, first, TEX_replace_ext(name, ".png"), TEX_replace_ext(name, ".bmp")};
  // A file that maps but does not decode (a DDS without its chain, a damaged file) does not end
  // the search: the next name may hold a good picture.
  std::vector<std::string> undecodable;
  xmap_class file;
  TEX_image_desc desc;
  const unsigned char* dds_data = nullptr;
  int found = sniff_none;
  for (const std::string& n : names) {
    if (std::find(undecodable.begin(), undecodable.end(), n) != undecodable.end()) continue;
    if (!file.retry(n)) continue;
    found = sniff_and_decode(name, file, target, wanted, follow_alpha, desc, dds_data);
    if (found != sniff_none) break;
    undecodable.push_back(n);
  }
  if (found == sniff_none) return 0;

  format = int(desc.format);
  file_mips = desc.has_mips;
  channels = static_cast<unsigned char>(channels_of(desc.format));
  int iw, ih, tw, th;
  const float factor = TEX_get_scale(name, flags, desc.width, desc.height, iw, ih, tw, th, 2);
  if (factor <= 0) return 0;
  double inverse = 1.0 / factor;

  if (found == sniff_dds) {
    TEX_image_desc chain = desc;
    while (inverse > 1 && (chain.width > 1 || chain.height > 1)) {
      dds_data += TEX_bytes_needed_for_image({chain.format, chain.width, chain.height, 0, 0});
      chain.width = std::max(1, chain.width / 2);
      chain.height = std::max(1, chain.height / 2);
      inverse *= 0.5;
    }
    std::memcpy(target, dds_data, size_t(TEX_bytes_needed_for_image(chain)));
    if (TEX_flip_y(chain, target) && chain.format == TEX_fmt_dxt1) {
      format = TEX_fmt_dxt1a;
      channels = 4;
    }
    image_w = chain.width;
    image_h = chain.height;
    tex_w = (flags & tex_exact_size) ? image_w : TEX_next_pow2(image_w);
    tex_h = (flags & tex_exact_size) ? image_h : TEX_next_pow2(image_h);
    tex_decoded_row_texels = chain.width;
    return 1;
  }

  // The decoders padded rows and row count to powers of two; the reduction works on that whole
  // padded picture, by power-of-two factors, so the buffer stays the texture's size.
  TEX_image_desc full{desc.format, TEX_next_pow2(desc.width), TEX_next_pow2(desc.height), 0, 0};
  const int fx = pow2_floor(std::max(1, std::min(int(inverse), desc.width)));
  const int fy = pow2_floor(std::max(1, std::min(int(inverse), desc.height)));
  if (fx > 1 || fy > 1) TEX_downscale(full, target, fx, fy);
  image_w = std::max(1, desc.width / fx);
  image_h = std::max(1, desc.height / fy);
  tex_w = (flags & tex_exact_size) ? image_w : full.width;
  tex_h = (flags & tex_exact_size) ? image_h : full.height;
  tex_decoded_row_texels = full.width;
  return 1;
}

int load_texture_io(tex_load_vars* v) {
  v->format = TEX_fmt_rgb;
  v->channels = 3;
  v->follow_alpha = 0;
  v->file_mips = 0;
  switch (v->flags & tex_colour_mask) {
    case 0:
      __MACIBM_alert(0, "BAD color enum for tman - see tman.h for valid colors!  We cannot pass 0.", "", "", "", t_exit,
                     kAlertFile, __LINE__);
      break;
    case 2: v->format = TEX_fmt_rgba; v->channels = 4; break;
    case 3: v->format = TEX_fmt_alpha; v->channels = 1; break;
    case 4: v->follow_alpha = 1; break;
    case 5: v->format = TEX_fmt_rgba; v->channels = 4; v->follow_alpha = 1; break;
    case 6: v->format = TEX_fmt_depth; v->channels = 1; break;
    default: break;
  }
  if (v->name.empty()) return 0;
  int result;
  if (v->name.compare(0, 13, "scratch_array") == 0) {
    if (!checked(scratch_dx, v->name) || !checked(scratch_dy, v->name)) return 0;
    if (TEX_get_scale(v->name, v->flags, scratch_dx, scratch_dy, v->image_w, v->image_h, v->tex_w, v->tex_h, 1) <= 0)
      return 0;
    v->pixels = scratch_array;
    tex_decoded_row_texels = scratch_dx;
    result = 1;
  } else {
    result = load_any_into_scratch(v->name, v->ref, v->flags, v->format, v->file_mips, v->channels, v->follow_alpha,
                                   v->image_w, v->image_h, v->tex_w, v->tex_h)
                 ? 2
                 : 0;
    v->pixels = scratch_array_temp;
  }
  if (v->flags & tex_keep_scratch) v->pixels = scratch_array;
  return result;
}

void TEX_bleed_alpha(unsigned char* rgba, int width, int height) {
  const size_t stride = size_t(width) * 4;
  // Bled pixels keep alpha 0, so reading the same buffer never lets one feed another.
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned char* p = rgba + y * stride + size_t(x) * 4;
      if (p[3] != 0) continue;
      unsigned sum[3] = {0, 0, 0}, n = 0;
      for (int yy = std::max(0, y - 2); yy <= std::min(height - 1, y + 2); ++yy)
        for (int xx = std::max(0, x - 2); xx <= std::min(width - 1, x + 2); ++xx) {
          const unsigned char* q = rgba + yy * stride + size_t(xx) * 4;
          if (q[3] == 0) continue;
          sum[0] += q[0], sum[1] += q[1], sum[2] += q[2];
          ++n;
        }
      if (n == 0) continue;
      for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>(sum[c] / n);
    }
  }
}

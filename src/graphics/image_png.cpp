// libpng reports errors by longjmp back to the set-up point, so the functions that hold one
// keep no C++ object alive across it: their state is plain pointers, released on both paths.
#include "graphics/image_png.h"

#include <cstdio>
#include <cstring>

#include "files/mapped_file.h"
#include "graphics/image_layout.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_services.h"

xmap_class* png_mapped_file = nullptr;
std::string ping_path;

namespace {

const char kAlertFile[] = "RIzirud/TEX/TEX_png";

void ping_alert(const char* what, const std::string& path) {
  __MACIBM_alert(0, "PING-FILE ERROR!", what, path, "", t_exit, kAlertFile, __LINE__);
}

// Called from my_error; returns before the longjmp so its strings are gone by then.
void show_png_error(png_const_charp message) {
  __MACIBM_alert(0, "PNG error!", message ? message : "", ping_path, "", t_alert, kAlertFile, __LINE__);
}

}  // namespace

png_voidp my_malloc(png_structp, png_alloc_size_t size) { return nedmalloc(size); }

void my_free(png_structp, png_voidp ptr) {
  if (ptr) nedfree(ptr);
}

void my_readbuf(png_structp png, png_bytep out, size_t length) {
  xmap_class* m = png_mapped_file;
  if (!m || !m->cursor || length > size_t(m->end - m->cursor)) png_error(png, "PNG Read Error, overran end of buffer!");
  std::memcpy(out, m->cursor, length);
  m->cursor += length;
}

void my_error(png_structp png, png_const_charp message) {
  show_png_error(message);
  png_longjmp(png, 1);
}

void my_warning(png_structp, png_const_charp message) {
  thread_log() << "PNG warning! " << (message ? message : "") << ", " << ping_path << "\n";
}

namespace {

enum png_outcome { png_decoded, png_refused, png_failed };

// The transformations to the wanted format and the row read; called under decode_png's
// recovery point.
png_outcome read_rows(const std::string& path, png_structp png, png_infop info, unsigned char*& buffer,
                      unsigned char** volatile* rows_out, unsigned char* volatile* allocated_out, unsigned format,
                      bool has_alpha, bool grey, png_uint_32 width, png_uint_32 height, int pad_to, int pow2,
                      TEX_image_desc& desc, size_t capacity) {
  // The sizes are settled before libpng sets up a single row.
  const int bpp = TEX_bytes_per_pixel(format);
  image_layout layout;
  if (!TEX_plan_layout(path, int(width > 0x7FFFFFFF ? 0 : width), int(height > 0x7FFFFFFF ? 0 : height), bpp, pad_to,
                       pow2, capacity, layout))
    return png_refused;
  if (format == TEX_fmt_rgba) {
    if (!has_alpha) png_set_filler(png, 255, PNG_FILLER_AFTER);
  } else if (has_alpha) {
    png_set_strip_alpha(png);
  }
  if (grey && format != TEX_fmt_alpha) png_set_gray_to_rgb(png);
  if (!grey && format == TEX_fmt_alpha) png_set_rgb_to_gray(png, PNG_ERROR_ACTION_NONE, -1, -1);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  // The transformations must deliver exactly the row the layout holds, never a wider one.
  if (png_get_rowbytes(png, info) != size_t(width) * bpp) {
    thread_log() << "WARNING: PNG rows decode to " << png_get_rowbytes(png, info) << " bytes, not " << width * bpp
                 << ": " << path << "\n";
    return png_refused;
  }

  if (!buffer) {
    *allocated_out = static_cast<unsigned char*>(nedmalloc(layout.bytes));
    buffer = *allocated_out;
  }
  if (layout.bytes > size_t(width) * height * bpp) std::memset(buffer, 0, layout.bytes);
  unsigned char** rows = static_cast<unsigned char**>(nedmalloc(sizeof(unsigned char*) * height));
  *rows_out = rows;
  // The file's first row is the top of the picture: it goes to the last row in memory.
  for (png_uint_32 r = 0; r < height; ++r) rows[r] = buffer + size_t(height - 1 - r) * layout.stride;
  png_read_image(png, rows);

  desc.format = format;
  desc.width = int(width);
  desc.height = int(height);
  desc.pad = layout.pad;
  desc.has_mips = 0;
  return png_decoded;
}

// The part of the read that runs under libpng's recovery point. Everything it allocates is
// recorded in the caller's plain pointers so the caller can release it on either path.
png_outcome decode_png(const std::string& path, png_structp png, png_infop info, unsigned char*& buffer,
                       unsigned char** volatile* rows_out, unsigned char* volatile* allocated_out, unsigned format,
                       int pad_to, int pow2, int match_alpha, TEX_image_desc& desc, size_t capacity) {
  if (setjmp(png_jmpbuf(png))) return png_failed;
  png_set_read_fn(png, nullptr, my_readbuf);
  png_set_sig_bytes(png, 8);
  png_mapped_file->cursor += 8;
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colour = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colour, nullptr, nullptr, nullptr);

  double file_gamma = 0;
  if (!png_get_gAMA(png, info, &file_gamma)) file_gamma = 1.0 / TEX_gamma.file_gamma_basis;
  png_set_gamma(png, TEX_gamma.screen_gamma, file_gamma);

  const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colour == PNG_COLOR_TYPE_PALETTE || (colour == PNG_COLOR_TYPE_GRAY && depth < 8) || has_trns) png_set_expand(png);
  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) png_set_packing(png);

  // A transparency chunk becomes an alpha channel through the expansion, so it counts as alpha.
  const bool has_alpha = (colour & PNG_COLOR_MASK_ALPHA) || has_trns;
  const bool grey = !(colour & PNG_COLOR_MASK_COLOR);
  unsigned matched = format;
  if (match_alpha && has_alpha && format == TEX_fmt_rgb) matched = TEX_fmt_rgba;
  if (match_alpha && !has_alpha && format == TEX_fmt_rgba) matched = TEX_fmt_rgb;
  return read_rows(path, png, info, buffer, rows_out, allocated_out, matched, has_alpha, grey, width, height, pad_to,
                   pow2, desc, capacity);
}

}  // namespace

int TEX_load_png(const std::string& path, xmap_class* file, unsigned char*& buffer, unsigned format, int pad_to,
                 int pow2, int match_alpha, TEX_image_desc& desc, size_t capacity) {
  if (TEX_bytes_per_pixel(format) == 0 || format == TEX_fmt_bgr || format == TEX_fmt_bgra) {
    __MACIBM_alert(0, "Illegal bits per pixel", path, "", "", t_exit, kAlertFile, __LINE__);
    return 0;
  }
  if (!file || !file->cursor || file->end - file->cursor <= 7) return 0;
  ping_path = path;
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, my_error, my_warning, nullptr, my_malloc,
                                             my_free);
  if (!png) {
    ping_alert("!png_ptr", path);
    return 0;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    ping_alert("!info_ptr", path);
    return 0;
  }
  if (png_sig_cmp(reinterpret_cast<png_const_bytep>(file->cursor), 0, 8) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    ping_alert("is_png=!png_sig_cmp(png_io_buf,0,8)", path);
    return 0;
  }
  png_mapped_file = file;
  unsigned char** volatile rows = nullptr;
  unsigned char* volatile allocated = nullptr;
  const png_outcome outcome = decode_png(path, png, info, buffer, &rows, &allocated, format, pad_to, pow2, match_alpha,
                                         desc, capacity);
  png_mapped_file = nullptr;
  if (rows) nedfree(rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (outcome == png_decoded) return 1;
  if (allocated) {
    nedfree(allocated);
    buffer = nullptr;
  }
  if (outcome == png_failed) ping_alert("setjmp(png_ptr->jmpbuf", path);
  return 0;
}

namespace {

// The write under libpng's recovery point; 1 when every row went out.
int encode_png(png_structp png, png_infop info, FILE* out, const TEX_image_desc& desc, const unsigned char* pixels,
               int bpp) {
  if (setjmp(png_jmpbuf(png))) return 0;
  png_init_io(png, out);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, 9);
  png_set_compression_mem_level(png, 8);
  png_set_compression_strategy(png, 0);
  png_set_compression_window_bits(png, 15);
  png_set_compression_method(png, 8);
  png_set_compression_buffer_size(png, 8192);
  const int colour = bpp == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : bpp == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
  png_set_IHDR(png, info, png_uint_32(desc.width), png_uint_32(desc.height), 8, colour, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_gAMA(png, info, 1.0 / 1.8);
  png_write_info(png, info);
  const size_t stride = size_t(desc.width) * bpp + desc.pad;
  // Memory holds the bottom row first; the file wants the top row first.
  for (int r = desc.height - 1; r >= 0; --r)
    png_write_row(png, const_cast<png_bytep>(pixels + size_t(r) * stride));
  png_write_end(png, info);
  return 1;
}

}  // namespace

int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels) {
  int bpp = 0;
  if (desc.format == TEX_fmt_rgb) bpp = 3;
  else if (desc.format == TEX_fmt_rgba) bpp = 4;
  else if (desc.format == TEX_fmt_alpha) bpp = 1;
  else {
    __MACIBM_alert(0, "Illegal pixel format for png-write.", path, "", "", t_exit, kAlertFile, __LINE__);
    return 0;
  }
  if (desc.width < 1 || desc.height < 1 || !pixels) return 0;
  ping_path = path;
  FILE* out = std::fopen((app_path + path).c_str(), "wb");
  if (!out) return 0;
  png_structp png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, nullptr, my_error, my_warning, nullptr,
                                              my_malloc, my_free);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  int ok = png && info ? encode_png(png, info, out, desc, pixels, bpp) : 0;
  if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  if (std::fflush(out) != 0 || std::ferror(out)) ok = 0;
  if (std::fclose(out) != 0) ok = 0;
  return ok;
}

int write_png_to_disk(std::string path, int width, int height, int channels) {
  if (!scratch_array) return 0;
  TEX_image_desc desc;
  desc.format = channels == 4 ? TEX_fmt_rgba : TEX_fmt_rgb;
  desc.width = width;
  desc.height = height;
  return TEX_save_png(path, desc, scratch_array);
}

#include "graphics/image_files.h"

#include <png.h>

#include <cstring>

#include "files/mapped_file.h"
#include "graphics/image_bmp.h"
#include "graphics/image_png.h"

int TEX_load_any(const std::string& path, unsigned char*& buffer, unsigned format, int pad_to, int match_alpha,
                 TEX_image_desc& desc, size_t capacity) {
  xmap_class file(path);
  if (!file.mapped() || file.size() <= 7) return 0;
  if (std::memcmp(file.begin, "BM", 2) == 0) {
    if (TEX_load_bmp(path, &file, buffer, format, pad_to, 0, desc, capacity)) return 1;
    file.cursor = file.begin;
  }
  if (png_sig_cmp(reinterpret_cast<png_const_bytep>(file.begin), 0, 8) == 0)
    return TEX_load_png(path, &file, buffer, format, pad_to, 0, match_alpha, desc, capacity);
  return 0;
}

std::string TEX_name_with_ext(const std::string& path, const char* ext) {
  if (path.size() > 4 && path[path.size() - 4] == '.') return path.substr(0, path.size() - 4) + ext;
  return path + ext;
}

int TEX_load_any_ext(const std::string& path, unsigned char*& buffer, unsigned format, int pad_to, int match_alpha,
                     TEX_image_desc& desc, size_t capacity) {
  if (TEX_load_any(TEX_name_with_ext(path, ".png"), buffer, format, pad_to, match_alpha, desc, capacity)) return 1;
  return TEX_load_any(TEX_name_with_ext(path, ".bmp"), buffer, format, pad_to, match_alpha, desc, capacity);
}

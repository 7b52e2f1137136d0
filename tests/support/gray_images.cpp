#include "support/gray_images.h"

#include <png.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

void put16(std::string& s, uint16_t v) { s.append({static_cast<char>(v), static_cast<char>(v >> 8)}); }
void put32(std::string& s, uint32_t v) {
  put16(s, static_cast<uint16_t>(v));
  put16(s, static_cast<uint16_t>(v >> 16));
}
uint32_t get32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(s[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}

}  // namespace

bool write_gray_png(const std::string& path, int width, int height, const std::vector<unsigned char>& rows) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_GRAY;
  return png_image_write_to_file(&image, path.c_str(), 0, rows.data(), width, nullptr) != 0;
}

bool write_gray_bmp(const std::string& path, int width, int height, const std::vector<unsigned char>& rows) {
  const int stride = (width + 3) / 4 * 4;
  const uint32_t pixels_at = 14 + 40 + 256 * 4;
  std::string s = "BM";
  put32(s, pixels_at + static_cast<uint32_t>(stride * height));
  put32(s, 0);
  put32(s, pixels_at);
  put32(s, 40);
  put32(s, static_cast<uint32_t>(width));
  put32(s, static_cast<uint32_t>(height));  // positive: rows stored from the bottom
  put16(s, 1);
  put16(s, 8);
  for (int i = 0; i < 6; ++i) put32(s, i == 1 ? static_cast<uint32_t>(stride * height) : 0);
  for (int i = 0; i < 256; ++i) put32(s, static_cast<uint32_t>(i * 0x010101));
  for (int y = height - 1; y >= 0; --y) {
    s.append(reinterpret_cast<const char*>(&rows[static_cast<size_t>(y) * width]), static_cast<size_t>(width));
    s.append(static_cast<size_t>(stride - width), '\0');
  }
  std::ofstream out(path, std::ios::binary);
  out << s;
  return static_cast<bool>(out);
}

bool load_gray_image(const std::string& path, int* width, int* height, std::vector<unsigned char>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (s.size() > 54 && s.compare(0, 2, "BM") == 0) {
    const int w = static_cast<int>(get32(s, 18)), h = static_cast<int>(get32(s, 22));
    const uint32_t at = get32(s, 10);
    const size_t stride = (static_cast<size_t>(w) + 3) / 4 * 4;
    if (w <= 0 || h <= 0 || at + stride * static_cast<size_t>(h) > s.size()) return false;
    out->assign(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) std::memcpy(&(*out)[static_cast<size_t>(y) * w], &s[at + y * stride], static_cast<size_t>(w));
    *width = w, *height = h;
    return true;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, s.data(), s.size())) return false;
  image.format = PNG_FORMAT_GRAY;
  const int w = static_cast<int>(image.width), h = static_cast<int>(image.height);
  out->assign(PNG_IMAGE_SIZE(image), 0);
  // A negative row stride reads the picture bottom row first.
  if (!png_image_finish_read(&image, nullptr, out->data(), -w, nullptr)) return false;
  *width = w, *height = h;
  return true;
}

// Image benchmark: our PNG reader (straight into the padded scratch layout the texture loader
// uses) against libpng's own simplified reader on the same file, and the flips and the
// downscale of a 2048 x 2048 picture against a memcpy of the same bytes.
//   image_bench [repeats]
// Prints milliseconds per run and the ratios; the decode ratio (ours / libpng's) is last.
#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/mapped_file.h"
#include "graphics/image_flip.h"
#include "graphics/image_ops.h"
#include "graphics/image_png.h"

namespace {

double now_ms() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <class F>
double best_of(int repeats, F&& f) {
  double best = 1e300;
  for (int i = 0; i < repeats; ++i) {
    const double t0 = now_ms();
    f();
    best = std::min(best, now_ms() - t0);
  }
  return best;
}

// A 1024 x 768 picture like the background: smooth shading with a little noise, written by
// libpng's defaults (adaptive filters), as image editors do.
std::string make_png(const std::string& path) {
  const int w = 1024, h = 768;
  std::vector<unsigned char> rgb(size_t(w) * h * 3);
  unsigned seed = 7;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245 + 12345;
      unsigned char* p = &rgb[(size_t(y) * w + x) * 3];
      p[0] = static_cast<unsigned char>(x / 4 + (seed >> 28));
      p[1] = static_cast<unsigned char>(y / 3);
      p[2] = static_cast<unsigned char>((x + y) / 8);
    }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_RGB;
  png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 10;
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = make_png(std::string(tmp && *tmp ? tmp : "/tmp") + "/sky_image_bench.png");
  xmap_class file(path);
  if (!file.mapped()) return 1;
  std::vector<unsigned char> scratch(TEX_scratch_bytes);

  const double ours = best_of(repeats, [&] {
    file.cursor = file.begin;
    unsigned char* out = scratch.data();
    TEX_image_desc desc;
    TEX_load_png(path, &file, out, TEX_fmt_rgb, 0, 1, 0, desc);
  });
  const double theirs = best_of(repeats, [&] {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, file.begin, size_t(file.size()));
    image.format = PNG_FORMAT_RGB;
    png_image_finish_read(&image, nullptr, scratch.data(), 0, nullptr);
  });
  std::remove(path.c_str());

  // 2048 x 2048 RGBA: flip, halve, and the memcpy floor.
  const TEX_image_desc rgba{TEX_fmt_rgba, 2048, 2048, 0, 0};
  std::vector<unsigned char> copy(TEX_scratch_bytes);
  const double floor_ms = best_of(repeats, [&] { std::memcpy(copy.data(), scratch.data(), TEX_scratch_bytes); });
  const double flip_ms = best_of(repeats, [&] { TEX_flip_y(rgba, scratch.data()); });
  const double down_ms = best_of(repeats, [&] {
    TEX_image_desc d = rgba;
    TEX_downscale(d, scratch.data(), 2, 2);
  });
  // A 2048 x 2048 DXT5 chain, flipped block by block.
  const TEX_image_desc dxt{TEX_fmt_dxt5, 2048, 2048, 0, 1};
  const double dxt_ms = best_of(repeats, [&] { TEX_flip_y(dxt, scratch.data()); });

  std::printf("png decode 1024x768 RGB: ours %.2f ms, libpng simplified %.2f ms\n", ours, theirs);
  std::printf("2048x2048 RGBA: memcpy %.2f ms, flip %.2f ms (%.1fx), downscale by 2 %.2f ms (%.1fx)\n", floor_ms, flip_ms,
              flip_ms / floor_ms, down_ms, down_ms / floor_ms);
  std::printf("2048x2048 DXT5 chain flip: %.2f ms\n", dxt_ms);
  std::printf("ratio png decode ours/libpng: %.2f\n", ours / theirs);
  return 0;
}

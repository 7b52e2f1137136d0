// The text renderer's measuring against FreeType itself, with the bundled DejaVu face:
//   text_bench
// prints the cold rasterisation time of ASCII and Latin-1 (every glyph rendered into the cache),
// then the time to measure a 2 KB French and German text from the cache against asking
// FreeType for each character's advance (FT_Load_Char, light hinting, no rendering), and their
// ratio last.
#include <chrono>
#include <cstdio>
#include <string>

#include "graphics/font.h"
#include "graphics/text_layout.h"
#include "platform/folders.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  platform_set_executable_path(std::string(SKY_RESOURCES_DIR) + "/../skyrill-installer");
  // The GL side is not needed for measuring.
  font_hooks().upload = [](int, const unsigned char*, int) {};

  OGL_measure_char(' ', font_regular);
  OGL_font_reset(font_regular);
  auto start = std::chrono::steady_clock::now();
  for (unsigned c = 32; c < 256; ++c)
    if (c < 127 || c >= 160) OGL_measure_char(c, font_regular);
  const double cold = seconds_since(start);
  std::printf("cold rasterisation of ASCII and Latin-1 (%zu glyphs): %.2f ms\n",
              sFont[font_regular]->chars.size(), cold * 1e3);

  std::string text;
  while (text.size() < 2048)
    text += "T\xC3\xA9l\xC3\xA9" "chargement des fichiers modifi\xC3\xA9s. \xC3\x9C" "berpr\xC3\xBC" "fung der "
            "Gr\xC3\xB6\xC3\x9F" "e l\xC3\xA4uft. ";
  OGL_measure_string(text, font_regular);

  const int rounds = 2000;
  float sum = 0;
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) sum += OGL_measure_string(text, font_regular);
  const double cached = seconds_since(start) / rounds;

  FT_Face face = sFont[font_regular]->face;
  const int base_rounds = 50;
  float base_sum = 0;
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < base_rounds; ++i)
    for (const char *p = text.data(), *end = p + text.size(); p < end;) {
      FT_Load_Char(face, utf8_decode(p, end, &p), FT_LOAD_TARGET_LIGHT);
      base_sum += face->glyph->metrics.horiAdvance / 64.0f;
    }
  const double freetype = seconds_since(start) / base_rounds;

  std::printf("measure %zu bytes: cached %.1f us, FreeType per character %.1f us (widths %.1f / %.1f)\n",
              text.size(), cached * 1e6, freetype * 1e6, sum / rounds, base_sum / base_rounds);
  std::printf("ratio %.1f\n", freetype / cached);
  return 0;
}

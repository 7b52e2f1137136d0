// Text drawn into the back buffer of a real GL context (Xvfb, Mesa) and read back: where the
// glyphs land, alignment, the line step, the palette colour, and what English, French and
// German text looks like in both faces.
#include "graphics/text_draw.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/draw_2d.h"
#include "graphics/font.h"
#include "graphics/image_desc.h"
#include "runtime/memory/pooled_allocator.h"
#include "graphics/text_layout.h"
#include "graphics/texture_manager.h"
#include "platform/folders.h"
#include "runtime/shell_records.h"
#include "support/display_fixture.h"
#include "support/shell_double.h"

namespace {

int uploads = 0;
void (*real_upload)(int, const unsigned char*, int) = nullptr;
void counting_upload(int ref, const unsigned char* pixels, int rows) {
  ++uploads;
  real_upload(ref, pixels, rows);
}

struct box {
  int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  bool empty() const { return x1 < x0; }
};

// The box of every pixel the text touched (anything brighter than the black background).
box lit_box(const gl_picture& p, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
  if (x1 < 0) x1 = p.width - 1;
  if (y1 < 0) y1 = p.height - 1;
  box b;
  b.x0 = p.width;
  b.y0 = p.height;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (p.rgb(x, y) != 0) {
        b.x0 = std::min(b.x0, x);
        b.y0 = std::min(b.y0, y);
        b.x1 = std::max(b.x1, x);
        b.y1 = std::max(b.y1, y);
      }
  return b;
}

// The box the glyph cache says the text covers when drawn from pen (x, y): each glyph's cell at
// floor(pen + bearing), floor(y + bottom offset), pens moving by the exact advances.
box expected_box(const std::string& text, float x, float y, charset_t font) {
  OGL_font_info* f = sFont[font];
  box b;
  b.x0 = 1 << 30;
  b.y0 = 1 << 30;
  float pen = x;
  for (const char* p = text.data(), *end = p + text.size(); p < end;) {
    const unsigned code = utf8_decode(p, end, &p);
    const OGL_char_info& c = f->chars.at(code);
    if (c.right > c.left && c.bottom > c.top) {
      const int l = static_cast<int>(std::floor(pen + c.bearing));
      const int bot = static_cast<int>(std::floor(y + c.bottom_offset));
      b.x0 = std::min(b.x0, l);
      b.y0 = std::min(b.y0, bot);
      b.x1 = std::max(b.x1, l + (c.right - c.left) - 1);
      b.y1 = std::max(b.y1, bot + (c.bottom - c.top) - 1);
    }
    pen += c.advance;
  }
  return b;
}

// A PNG written by write_png, as RGBA rows bottom first; empty when it cannot be read.
gl_picture read_png(const std::string& path) {
  gl_picture pic;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return pic;
  image.format = PNG_FORMAT_RGBA;
  pic.width = static_cast<int>(image.width);
  pic.height = static_cast<int>(image.height);
  pic.rgba.resize(PNG_IMAGE_SIZE(image));
  // A negative stride turns the file's top-first rows into GL's bottom-first order.
  if (!png_image_finish_read(&image, nullptr, pic.rgba.data(), -static_cast<int>(PNG_IMAGE_ROW_STRIDE(image)), nullptr))
    pic = gl_picture();
  return pic;
}

// Pixels whose channels differ by more than 48 between the two pictures.
int differing_pixels(const gl_picture& a, const gl_picture& b) {
  int n = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      for (int k = 0; k < 3; ++k)
        if (std::abs(a.at(x, y)[k] - b.at(x, y)[k]) > 48) {
          ++n;
          break;
        }
  return n;
}

class TextDrawTest : public gl_display_test {
 protected:
  static void SetUpTestSuite() {
    gl_display_test::SetUpTestSuite();
    // The glyph images pass through the scratch image that start-up provides.
    if (!scratch_array) scratch_array = static_cast<unsigned char*>(nedmemalign(16, TEX_scratch_bytes));
  }
  void SetUp() override {
    gl_display_test::SetUp();
    platform_set_executable_path(std::string(SKY_RESOURCES_DIR) + "/../skyrill-installer");
    // Window pixels as screen units, y up, as the 2-D set-up makes them.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1024, 0, 768, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Ordinary alpha blending, as start-up sets it.
    OGL_nrml_colors();
    mnw.origin_x = 0;
    mnw.origin_y = 0;
    if (!real_upload) real_upload = font_hooks().upload;
    font_hooks().upload = counting_upload;
    uploads = 0;
  }
  void TearDown() override { font_hooks().upload = real_upload; }
};

TEST_F(TextDrawTest, GlyphsLandWhereTheCacheSays) {
  const std::string text = "Skyrill 9";
  for (float origin : {0.0f, 100.0f}) {
    SCOPED_TRACE(origin);
    glClear(GL_COLOR_BUFFER_BIT);
    mnw.origin_x = origin;
    mnw.origin_y = origin / 2;
    OGL_font_string(0, 10, 10, text, 9999, font_regular, 0, 0);
    box want = expected_box(text, 10 + origin, 10 + origin / 2, font_regular);
    box got = lit_box(read_back_buffer());
    EXPECT_EQ(got.x0, want.x0);
    EXPECT_EQ(got.x1, want.x1);
    EXPECT_EQ(got.y0, want.y0);
    EXPECT_EQ(got.y1, want.y1);
    // Glyphs, not filled cells: well under half the box is lit.
    gl_picture p = read_back_buffer();
    int lit = 0;
    for (int y = got.y0; y <= got.y1; ++y)
      for (int x = got.x0; x <= got.x1; ++x) lit += p.rgb(x, y) != 0;
    EXPECT_LT(lit, (got.x1 - got.x0 + 1) * (got.y1 - got.y0 + 1) / 2);
    // The 'y' reaches below the baseline, the capital above it.
    EXPECT_LT(got.y0, 10 + origin / 2);
    EXPECT_GT(got.y1, 10 + origin / 2 + 5);
  }
}

TEST_F(TextDrawTest, AlignmentAnchorsEachLine) {
  const std::string text = "\xC3\x9C" "berpr\xC3\xBC" "fung l\xC3\xA4uft";  // Überprüfung läuft
  int kw = 0;
  for (const char* p = text.data(), *end = p + text.size(); p < end;)
    kw += static_cast<int>(OGL_measure_char(utf8_decode(p, end, &p), font_regular));
  box at[3];
  for (int align = 0; align < 3; ++align) {
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_font_string(0, 512, 300, text, 9999, font_regular, align, 0);
    at[align] = lit_box(read_back_buffer());
    ASSERT_FALSE(at[align].empty());
  }
  // Same shape, moved left by half the line's width and by the whole of it.
  EXPECT_EQ(at[1].x1 - at[1].x0, at[0].x1 - at[0].x0);
  EXPECT_NEAR(at[0].x0 - at[1].x0, kw / 2.0, 1.0);
  EXPECT_NEAR(at[0].x0 - at[2].x0, kw, 1.0);
  EXPECT_NEAR(at[2].x1, 512, 2.0);
  EXPECT_NEAR((at[1].x0 + at[1].x1) / 2.0, 512, 2.0);
}

TEST_F(TextDrawTest, WrappedLinesAreTenUnitsApart) {
  // Two lines of the same word: their boxes are the same, ten pixels apart.
  EXPECT_EQ(OGL_font_string(0, 100, 400, "Datei Datei", 40, font_regular, 0, 0), 380);
  gl_picture p = read_back_buffer();
  box upper = lit_box(p, 0, 400, 1023, 767);
  box lower = lit_box(p, 0, 0, 1023, 399);
  ASSERT_FALSE(upper.empty());
  ASSERT_FALSE(lower.empty());
  EXPECT_EQ(upper.y0 - lower.y0, 10);
  EXPECT_EQ(upper.x0, lower.x0);
  EXPECT_EQ(upper.x1, lower.x1);
}

TEST_F(TextDrawTest, PaletteColourAndCoverage) {
  // A bold 'l' has a fully covered stem: those pixels are exactly the palette colour.
  colr.assign(90, 1, 0.5f, 0);
  OGL_font_string(90, 50, 50, "lll", 9999, font_bold, 0, 0);
  gl_picture p = read_back_buffer();
  EXPECT_GT(p.count(0xFF8000), 20);
  int x0, y0, x1, y1;
  ASSERT_TRUE(p.bounds(0xFF8000, &x0, &y0, &x1, &y1));
  // Partly covered edge pixels are blended toward the black background, never another hue.
  int partial = 0;
  for (int y = y0 - 2; y <= y1 + 2; ++y)
    for (int x = x0 - 2; x <= x1 + 2; ++x) {
      const uint8_t* c = p.at(x, y);
      EXPECT_EQ(c[2], 0);
      EXPECT_NEAR(c[1] * 2, c[0], 2);
      if (c[0] > 0 && c[0] < 255) ++partial;
    }
  EXPECT_GT(partial, 5);
}

TEST_F(TextDrawTest, SpacesFirstDrawNothingAndEndNothing) {
  // The bold glyph texture as before the first text: never loaded. Binding it now would be
  // the manager's fatal "missing" alert.
  OGL_font_reset(font_both);
  tman.unload_texture(394);
  shell_double::reset();
  EXPECT_EQ(OGL_font_string(0, 10, 10, "    ", 9999, font_bold, 0, 0), 10);
  EXPECT_TRUE(shell_double::alerts().empty());
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(lit_box(read_back_buffer()).empty(), true);
  EXPECT_EQ(uploads, 0);
  OGL_font_string(0, 10, 10, "Ende", 9999, font_bold, 0, 0);
  EXPECT_EQ(uploads, 1);
  EXPECT_FALSE(lit_box(read_back_buffer()).empty());
  // Drawn again unchanged: no new upload.
  OGL_font_string(0, 10, 30, "Ende", 9999, font_bold, 0, 0);
  EXPECT_EQ(uploads, 1);
}

TEST_F(TextDrawTest, ThreeLanguagesInBothFaces) {
  const char* lines[] = {
      "Skyrill 9 Installer: Checking the files of your installation...",
      "T\xC3\xA9l\xC3\xA9" "chargement des fichiers modifi\xC3\xA9s \xE2\x80\x94 \xC2\xAB \xC3\xA7" "a d\xC3\xA9marre \xC2\xBB",
      "\xC3\x9C" "berpr\xC3\xBC" "fung der Dateien l\xC3\xA4uft: Gr\xC3\xB6\xC3\x9F" "e 1.234 MB, \xC3\x84nderungen",
  };
  float y = 700;
  for (charset_t font : {font_regular, font_bold})
    for (const char* line : lines) {
      OGL_font_string(0, 20, y, line, 9999, font, 0, 0);
      y -= 20;
    }
  y = OGL_font_string(5, 20, y, std::string(lines[1]) + " " + lines[2], 300, font_regular, 0, 0);
  OGL_number(10, 120, y - 20, 1234567, 7, 0, font_regular);
  OGL_number(10, 120, y - 40, -1234.5f, 6, 1, font_bold);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // Every line left something on screen.
  gl_picture p = read_back_buffer();
  for (int i = 0; i < 6; ++i)
    EXPECT_FALSE(lit_box(p, 0, 700 - 20 * i - 3, 1023, 700 - 20 * i + 8).empty()) << i;
  EXPECT_NE(save_screenshot("text_three_languages"), "");
  // Against the reviewed picture: the same FreeType and DejaVu give the same pixels, a newer
  // version may move a few edges.
  const gl_picture golden = read_png(std::string(SKY_SOURCE_DIR) + "/tests/graphics/golden/text_three_languages.png");
  ASSERT_EQ(golden.width, p.width);
  ASSERT_EQ(golden.height, p.height);
  int lit = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) lit += p.rgb(x, y) != 0;
  EXPECT_LT(differing_pixels(p, golden), lit / 50);
}

// The shell's widgets as the boxed text calls them, recorded.
struct widget_call {
  std::string what;
  float x, y, width;
  int type;
  std::string text;
};
std::vector<widget_call> widget_calls;

void split_label(const std::string& label, std::string* left, std::string* right, std::string* help) {
  const size_t brace = label.rfind('{');
  const std::string head = label.substr(0, brace);
  *help = brace == std::string::npos ? "" : label.substr(brace + 1);
  const size_t bar = head.rfind('|');
  *left = head.substr(0, bar);
  *right = bar == std::string::npos ? "" : head.substr(bar + 1);
}
void record_frame(int type, float x, float y, float width, int) { widget_calls.push_back({"frame", x, y, width, type, ""}); }
void record_label(float x, float y, int type, std::string text, int) {
  widget_calls.push_back({"label", x, y, 0, type, text});
}

TEST_F(TextDrawTest, BoxedStringWidthsAndLabels) {
  graphics_widget_hooks hooks;
  hooks.expand_label = split_label;
  hooks.frame1 = record_frame;
  hooks.draw_label = record_label;
  install_graphics_widget_hooks(hooks);
  const std::string text = "Gr\xC3\xB6\xC3\x9F" "e";  // 7 bytes, 5 characters
  struct {
    charset_t font;
    float width;
  } cases[] = {{font_regular, OGL_measure_string(text, font_regular) + 7},
               {font_bold, 10 * 7 + 7},
               {static_cast<charset_t>(7), 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.font));
    widget_calls.clear();
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_boxed_string(500, 300, "Size|MB{The size on disk", text, c.font, 0);
    ASSERT_EQ(widget_calls.size(), 3u);
    EXPECT_EQ(widget_calls[0].what, "frame");
    EXPECT_EQ(widget_calls[0].type, 9);
    EXPECT_FLOAT_EQ(widget_calls[0].x, 500);
    EXPECT_FLOAT_EQ(widget_calls[0].y, 303);
    EXPECT_FLOAT_EQ(widget_calls[0].width, c.width);
    EXPECT_EQ(widget_calls[1].text, "Size");
    EXPECT_EQ(widget_calls[1].type, 0);
    EXPECT_FLOAT_EQ(widget_calls[1].x, 500 - c.width / 2 - 8);
    EXPECT_EQ(widget_calls[2].text, "MB");
    EXPECT_EQ(widget_calls[2].type, 2);
    EXPECT_FLOAT_EQ(widget_calls[2].x, 500 + c.width / 2 + 8);
    // The text starts 4 units inside the box, on the baseline one below y.
    box b = lit_box(read_back_buffer());
    ASSERT_FALSE(b.empty());
    EXPECT_NEAR(b.x0, 500 - c.width / 2 + 4, 2);
    EXPECT_EQ(b.y0, 299);
  }
  install_graphics_widget_hooks(graphics_widget_hooks());
}

TEST_F(TextDrawTest, FixedCellsAndBadCharset) {
  float s, t, w, h;
  EXPECT_EQ(OGL_strtex(font_bold, 0, &s, &t, &w, &h), 10);
  EXPECT_EQ(w, 14);
  EXPECT_EQ(h, 15);
  EXPECT_EQ(OGL_strtex(font_regular, 0, &s, &t, &w, &h), 0);
  shell_double::reset();
  EXPECT_EQ(OGL_strtex(static_cast<charset_t>(3), 0, &s, &t, &w, &h), 0);
  ASSERT_EQ(shell_double::alerts().size(), 1u);
  EXPECT_EQ(shell_double::alerts()[0].lines[0], "String proc with bad charset!");
  EXPECT_EQ(shell_double::alerts()[0].type, 2);
  // -1234.5 in 6 digits in bold cells ending at x = 100: the minus one unit right of the
  // first cell edge at 90, the last digit in the cell at 150.
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_number(0, 100, 100, -1234.5f, 6, 1, font_bold);
  box b = lit_box(read_back_buffer());
  ASSERT_FALSE(b.empty());
  EXPECT_NEAR(b.x0, 91, 2);
  EXPECT_GE(b.x1, 150);
  EXPECT_LE(b.x1, 160);
}

TEST_F(TextDrawTest, GrayStringSitsOnAHalfGreyBox) {
  colr.assign(12, 1, 1, 1);
  const std::string text = "Pr\xC3\xBC" "fung";
  const float half = OGL_measure_string(text, font_regular) / 2;
  OGL_gray_string(5, 300, 200, text);
  gl_picture p = read_back_buffer();
  // The box: half-white over black, from x - half - 2 to x + half + 2 and y - 2 to y + 8.
  EXPECT_EQ(p.rgb(static_cast<int>(300 - half - 1), 198), 0x808080u);
  EXPECT_EQ(p.rgb(static_cast<int>(300 + half + 1), 207), 0x808080u);
  EXPECT_EQ(p.rgb(static_cast<int>(300 - half - 3), 198), 0u);
  EXPECT_EQ(p.rgb(300, 209), 0u);
  // The yellow text on it, centred on x.
  int x0, y0, x1, y1;
  ASSERT_TRUE(p.bounds(0xFFFF00, &x0, &y0, &x1, &y1));
  EXPECT_NEAR((x0 + x1) / 2.0, 300, 3);
  EXPECT_GE(y0, 199);
}

}  // namespace

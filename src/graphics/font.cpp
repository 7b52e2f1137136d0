#include "graphics/font.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "files/paths.h"
#include "graphics/text_layout.h"
#include "runtime/memory/pooled_allocator.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

OGL_font_info* sFont[2] = {nullptr, nullptr};
FT_Library sLibrary = nullptr;
const char* const fnames[2] = {"RESOURCE:DejaVuSans.ttf", "RESOURCE:DejaVuSansBold.ttf"};
const float fsizes[2] = {10.5f, 10.5f};
UTL_stat g_font_tex_mem("font/tex_mem", UTL_stat_memory, 0);

namespace {

int grown_rows(int needed) {
  int rows = 1;
  while (rows < needed) rows *= 2;
  return rows;
}

inline bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Any value but bold is the regular font: a caller with a bad font number still gets text, and
// never an index past the two fonts.
int font_index(charset_t font) { return font == font_bold ? 1 : 0; }

OGL_font_info* font_for(charset_t font) {
  const int i = font_index(font);
  if (!sFont[i]) {
    sFont[i] = new OGL_font_info(393 + i);
    OGL_font_reset(static_cast<charset_t>(i));
  }
  return sFont[i];
}

}  // namespace

OGL_font_info::OGL_font_info(int ref)
    : tex_ref(ref),
      rows(0),
      dirty(0),
      pen_column(0),
      shelf_top(0),
      shelf_height(0),
      pixels(nullptr),
      face(nullptr),
      flushes(0) {}

OGL_font_info::~OGL_font_info() {
  empty_cache();
  if (face) FT_Done_Face(face);
}

void OGL_font_info::empty_cache() {
  g_font_tex_mem.value -= static_cast<float>(rows);
  rows = 0;
  dirty = 0;
  pen_column = 0;
  shelf_top = 0;
  shelf_height = 0;
  ranges_loaded = 0;
  chars.clear();
  if (pixels) nedfree(pixels);
  pixels = nullptr;
}

void OGL_font_info::clear(const std::string& path, float size) {
  if (!sLibrary && FT_Init_FreeType(&sLibrary) != 0) {
    sLibrary = nullptr;
    __MACIBM_alert(0, "Unable to initialize freetype.", "", "", "", t_exit, __FILE__, __LINE__);
    return;
  }
  empty_cache();
  if (face) FT_Done_Face(face);
  face = nullptr;

  std::string file = path;
  if (UTL_path_is_resource(file))
    file = UTL_resource_get_file(file);
  else
    set_path_to_full(file);

  if (FT_New_Face(sLibrary, file.c_str(), 0, &face) != 0) {
    face = nullptr;
    __MACIBM_alert(0, "Error: unable to make font from file", path, "", "", t_exit, __FILE__,
                   __LINE__);
    return;
  }
  if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(size * 64), 72, 72) != 0) {
    FT_Done_Face(face);
    face = nullptr;
    __MACIBM_alert(0, "Error: unable to set char size for font", path, "", "", t_exit, __FILE__,
                   __LINE__);
    return;
  }
  face_path_ = path;
  face_size_ = size;
}

namespace {
// Ranges whose first visible character brings the whole range into the image: printable ASCII,
// and the Latin-1 letters and signs of the French and German texts. Drawing a character that is
// new sends the whole image to the renderer again, and a software renderer first waits for
// every draw of the frame so far that reads it; a page of changing numbers and file names would
// otherwise pay that wait for each new character it shows.
struct glyph_range {
  unsigned trigger_first, first, last;
};
constexpr glyph_range whole_ranges[] = {{0x21, 0x20, 0x7E}, {0xA1, 0xA0, 0xFF}};
// Above this size a range can fill a good part of the image; characters come one at a time.
constexpr float whole_range_max_points = 32;
}  // namespace

float OGL_font_info::require_char(unsigned code) {
  auto found = chars.find(code);
  if (found != chars.end()) return found->second.advance;
  if (face_size_ <= whole_range_max_points) {
    for (size_t i = 0; i < std::size(whole_ranges); ++i) {
      const glyph_range& r = whole_ranges[i];
      const unsigned bit = 1u << i;
      if (code < r.trigger_first || code > r.last || (ranges_loaded & bit)) continue;
      ranges_loaded |= bit;
      // A cache that starts again on the way ends the range; what it dropped comes back when
      // next asked for.
      const int before = flushes;
      for (unsigned c = r.first; c <= r.last && flushes == before; ++c)
        if (chars.find(c) == chars.end()) render_char(c);
      found = chars.find(code);
      if (found != chars.end()) return found->second.advance;
    }
  }
  return render_char(code);
}

float OGL_font_info::render_char(unsigned code) {
  OGL_char_info info = {};
  // A font whose face could not be made measures every character as 0 wide and draws none.
  int error = face ? FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)
                   : FT_Err_Invalid_Face_Handle;
  const FT_Bitmap& bitmap = face ? face->glyph->bitmap : FT_Bitmap();
  if (error == 0 && bitmap.width > 0 && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
    error = FT_Err_Unimplemented_Feature;
  // The cell is the size of the rendered bitmap, which is what gets copied; with light hinting
  // it can be a column wider than the outline's metrics.
  const int width = error ? 0 : static_cast<int>(bitmap.width);
  const int height = error ? 0 : static_cast<int>(bitmap.rows);
  if (error == 0 && (width > image_width || height > max_rows)) error = error_too_wide;
  if (error != 0) {
    info.error = error;
    chars[code] = info;
    return 0;
  }

  // Shelf packing: a glyph that does not fit beside the others starts a new shelf below them.
  int top = shelf_top, column = pen_column, tallest = shelf_height;
  if (column + width > image_width) {
    top += tallest;
    column = 0;
    tallest = 0;
  }
  tallest = std::max(tallest, height);
  if (top + tallest > rows) {
    const int new_rows = grown_rows(rows + tallest);
    if (new_rows > max_rows) {
      // The texture cannot be taller: start the cache again rather than stop the program. The
      // characters dropped are rendered again when next asked for.
      empty_cache();
      ++flushes;
      return render_char(code);
    }
    unsigned char* grown = static_cast<unsigned char*>(nedmalloc(static_cast<size_t>(new_rows) * image_width));
    if (rows > 0) std::memcpy(grown, pixels, static_cast<size_t>(rows) * image_width);
    std::memset(grown + static_cast<size_t>(rows) * image_width, 0,
                static_cast<size_t>(new_rows - rows) * image_width);
    if (pixels) nedfree(pixels);
    pixels = grown;
    g_font_tex_mem.value += static_cast<float>(new_rows - rows);
    rows = new_rows;
  }
  shelf_top = top;
  pen_column = column;
  shelf_height = tallest;

  const FT_Glyph_Metrics& m = face->glyph->metrics;
  info.left = pen_column;
  info.top = shelf_top;
  info.right = pen_column + width;
  info.bottom = shelf_top + height;
  info.bearing = static_cast<float>(m.horiBearingX) / 64.0f;
  info.bottom_offset = static_cast<float>(m.horiBearingY - m.height) / 64.0f;
  info.advance = static_cast<float>(m.horiAdvance) / 64.0f;
  info.error = 0;
  if (width > 0 && height > 0) {
    // Rows top first; the pitch may be wider than the glyph.
    for (int r = 0; r < height; ++r)
      std::memcpy(pixels + static_cast<size_t>(info.top + r) * image_width + info.left,
                  bitmap.buffer + static_cast<ptrdiff_t>(r) * bitmap.pitch, static_cast<size_t>(width));
  }
  chars[code] = info;
  dirty = 1;
  pen_column += width;
  return info.advance;
}

float OGL_font_info::draw_char(unsigned code, float x, float y) {
  auto found = chars.find(code);
  if (found == chars.end() || found->second.error != 0) return 0;
  const OGL_char_info& c = found->second;
  // Without an image (nothing visible loaded yet) or without pixels there is nothing to draw,
  // and t = row / rows would divide by zero.
  if (rows == 0 || c.right == c.left || c.bottom == c.top) return c.advance;
  const float l = std::floor(x + c.bearing);
  const float b = std::floor(y + c.bottom_offset);
  const float r = l + static_cast<float>(c.right - c.left);
  const float t = b + static_cast<float>(c.bottom - c.top);
  const float s0 = static_cast<float>(c.left) / image_width;
  const float s1 = static_cast<float>(c.right) / image_width;
  const float t_top = static_cast<float>(c.top) / static_cast<float>(rows);
  const float t_bottom = static_cast<float>(c.bottom) / static_cast<float>(rows);
  glTexCoord2f(s0, t_bottom);
  glVertex2f(l, b);
  glTexCoord2f(s0, t_top);
  glVertex2f(l, t);
  glTexCoord2f(s1, t_top);
  glVertex2f(r, t);
  glTexCoord2f(s1, t_bottom);
  glVertex2f(r, b);
  return c.advance;
}

void OGL_font_info::sync_tex() {
  // An image of 0 rows cannot be a texture: the flag stays until a visible glyph arrives.
  if (!dirty || rows == 0) return;
  dirty = 0;
  font_hooks().upload(tex_ref, pixels, rows);
}

float OGL_font_string(int colour, float x, float y, const std::string& text, float wrap_width,
                      charset_t font, int align, int fixed_advance) {
  const char* p = text.data();
  const char* end = text_end_at_nul(p, p + text.size());
  if (p == end) return y;
  OGL_font_info* f = font_for(font);
  auto advance = [f](unsigned code) { return f->require_char(code); };

  const float X = x + mnw.origin_x;
  float Y = y + mnw.origin_y;
  const bool wraps = text_wraps(wrap_width);
  while (p < end) {
    const int flushes = f->flushes;
    const text_line line = text_next_line(p, end, wrap_width, fixed_advance, advance);
    // The cache started again during the scan: load this line's characters once more.
    if (f->flushes != flushes) OGL_measure_range(line.begin, line.end, font);
    f->sync_tex();
    if (f->rows > 0 && line.begin < line.end) {
      font_hooks().begin_text(colour);
      font_hooks().bind(f->tex_ref);
      float pen = X;
      if (align == 1)
        pen -= line.width / 2;
      else if (align == 2)
        pen -= line.width;
      glBegin(GL_QUADS);
      for (const char* q = line.begin; q < line.end;) {
        const unsigned code = utf8_decode(q, line.end, &q);
        const float moved = f->draw_char(code, pen, Y);
        pen += fixed_advance != 0 ? static_cast<float>(fixed_advance) : moved;
      }
      glEnd();
    }
    if (wraps) Y -= 10;
    p = line.next;
  }
  return Y - mnw.origin_y;
}

float OGL_measure_range(const char* begin, const char* end, charset_t font) {
  if (!begin || begin >= end) return 0;
  OGL_font_info* f = font_for(font);
  float sum = 0;
  for (const char* p = begin; p < end;) sum += f->require_char(utf8_decode(p, end, &p));
  return sum;
}

float OGL_measure_string(const std::string& text, charset_t font) {
  const char* begin = text.data();
  return OGL_measure_range(begin, text_end_at_nul(begin, begin + text.size()), font);
}

float OGL_measure_char(unsigned code, charset_t font) { return font_for(font)->require_char(code); }

const char* OGL_fit_forward(const char* begin, const char* end, float width, charset_t font) {
  if (!begin || begin >= end) return begin;
  OGL_font_info* f = font_for(font);
  float sum = 0;
  for (const char* p = begin; p < end;) {
    const char* next;
    const float advance = f->require_char(utf8_decode(p, end, &next));
    if (sum + advance > width) return p;
    sum += advance;
    p = next;
  }
  return end;
}

const char* OGL_fit_reverse(const char* begin, const char* end, float width, charset_t font) {
  if (!begin || begin >= end) return begin;
  OGL_font_info* f = font_for(font);
  float sum = 0;
  const char* cur = end;
  while (cur > begin) {
    // The character before cur: back to the nearest lead byte, then forward-decode to cur so
    // that stray continuation bytes split the same way as they do going forward.
    const char* s = cur - 1;
    while (s > begin && is_continuation(*s)) --s;
    const char* last = s;
    unsigned code = 0;
    for (const char* q = s; q < cur;) {
      last = q;
      code = utf8_decode(q, cur, &q);
    }
    const float advance = f->require_char(code);
    if (sum + advance > width) return cur;
    sum += advance;
    cur = last;
  }
  return begin;
}

void OGL_font_reset(charset_t font) {
  if (font == font_both) {
    OGL_font_reset(font_regular);
    OGL_font_reset(font_bold);
    return;
  }
  const int i = font_index(font);
  if (sFont[i]) sFont[i]->clear(fnames[i], fsizes[i]);
}

void OGL_char(int colour, float x, float y, float, float, float, float, int code, charset_t font) {
  // The low byte is a Latin-1 character; as UTF-8 it may take two bytes, so a byte such as 0xE9
  // is an 'é' and never the start of a longer sequence.
  char text[4];
  const int n = utf8_encode(static_cast<unsigned>(code) & 0xFF, text);
  OGL_font_string(colour, x - mnw.origin_x, y + 1 - mnw.origin_y, std::string(text, static_cast<size_t>(n)),
                  9999, font, 0, 0);
}

font_gl_hooks& font_hooks() {
  static font_gl_hooks hooks = default_font_hooks();
  return hooks;
}

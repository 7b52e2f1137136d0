// Text rendering from the two TrueType faces through a glyph cache. FreeType renders each code
// point once into an 8-bit coverage image 1024 texels wide (shelf packing, the height growing
// in powers of two), which becomes the alpha texture of the font (ref 393 regular, 394 bold);
// each character is then one textured quad. Text is UTF-8; positions are screen units relative
// to the current screen's origin in mnw, y pointing up. Main thread only: the caches are not
// guarded and drawing uses the calling thread's GL context.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <unordered_map>

#include "runtime/memory/stats.h"

// The font of a text call; font_both is accepted by OGL_font_reset only.
enum charset_t : int { font_regular = 0, font_bold = 1, font_both = 2 };

// One cached character: its cell in the glyph image and its metrics in screen units.
struct OGL_char_info {
  int left;             // first column
  int top;              // first row
  int right;            // one past the last column
  int bottom;           // one past the last row
  float bearing;        // pen to the bitmap's left edge
  float bottom_offset;  // baseline up to the bitmap's lower edge (negative below the baseline)
  float advance;        // pen movement
  int error;            // FreeType's error for the load; 0 for a usable character
};

class OGL_font_info {
 public:
  enum { image_width = 1024, max_rows = 2048 };
  // The error a glyph wider than the image is cached with.
  enum { error_too_wide = -1 };

  explicit OGL_font_info(int ref);
  ~OGL_font_info();
  OGL_font_info(const OGL_font_info&) = delete;
  OGL_font_info& operator=(const OGL_font_info&) = delete;

  // Empties the cache and loads the face from the file at the size in points (72 dpi).
  void clear(const std::string& path, float size);
  // The advance of a code point, rendering it into the image first when it is not cached.
  float require_char(unsigned code);
  // Emits the quad of a cached character at pen (x, y) inside glBegin(GL_QUADS) and returns
  // its advance; a character not cached, failed or without pixels emits nothing.
  float draw_char(unsigned code, float x, float y);
  // Uploads the glyph image when characters were added since the last upload.
  void sync_tex();

  int tex_ref;
  int rows;         // image height; 0 until the first visible glyph, then a power of two
  int dirty;        // characters were added since the last upload
  int pen_column;   // first free column of the current shelf
  int shelf_top;    // first row of the current shelf
  int shelf_height; // tallest glyph on the current shelf
  std::unordered_map<unsigned, OGL_char_info> chars;
  unsigned char* pixels;  // rows x 1024 coverage bytes, row 0 first (pooled allocator)
  FT_Face face;
  // How many times the cache was emptied because the image would have passed max_rows.
  int flushes;

 private:
  // Drops every cached character and the image, keeping the face.
  void empty_cache();
  // Renders a character that is not cached into the image (or caches its error).
  float render_char(unsigned code);
  // Which of the character ranges that are brought in whole are in the cache (one bit each).
  unsigned ranges_loaded = 0;
  std::string face_path_;
  float face_size_ = 0;
};

// The fonts by charset_t, made on first use; the shared FreeType library.
extern OGL_font_info* sFont[2];
extern FT_Library sLibrary;
// The font files and their sizes in points, by charset_t.
extern const char* const fnames[2];
extern const float fsizes[2];
// "font/tex_mem": the glyph-image rows (kilobytes) both fonts hold.
extern UTL_stat g_font_tex_mem;

// Draws the text with its first baseline at (x, y) and returns the baseline of the line that
// would follow the last one drawn. Wrapping only for 0 < wrap_width < 9999, with a 10-unit line
// step. Alignment 1 centres each line on x, 2 ends it at x, anything else starts it at x. A
// non-zero fixed_advance moves the pen that much per character. Drawing stops at a zero byte.
float OGL_font_string(int colour, float x, float y, const std::string& text, float wrap_width,
                      charset_t font, int align, int fixed_advance);
// The sum of the advances of the text's characters, up to its end or its first zero byte.
float OGL_measure_string(const std::string& text, charset_t font);
float OGL_measure_char(unsigned code, charset_t font);
float OGL_measure_range(const char* begin, const char* end, charset_t font);
// The end of the longest prefix of [begin, end) whose advances sum to at most width.
const char* OGL_fit_forward(const char* begin, const char* end, float width, charset_t font);
// The start of the longest suffix of [begin, end) whose advances sum to at most width.
const char* OGL_fit_reverse(const char* begin, const char* end, float width, charset_t font);
// Reloads the face of a font that exists and empties its cache; font_both does both.
void OGL_font_reset(charset_t font);
// One character at window position (x, y) (the screen origin already added): the low byte of
// code, taken as a Latin-1 code point. The cell arguments are not used.
void OGL_char(int colour, float x, float y, float s, float t, float cell_width, float cell_height,
              int code, charset_t font);

// What the text renderer asks of the texture manager and the state cache. Tests wrap these
// to count uploads and binds.
struct font_gl_hooks {
  // Makes the glyph image (1024 wide, rows high, one alpha byte per texel) the texture ref.
  void (*upload)(int ref, const unsigned char* pixels, int rows);
  // Sets the text drawing state and the colour of a palette entry for the lines that follow.
  void (*begin_text)(int colour);
  // Binds the texture ref on unit 0 for drawing.
  void (*bind)(int ref);
};
font_gl_hooks& font_hooks();
// The hooks that reach the texture manager and the state cache.
font_gl_hooks default_font_hooks();

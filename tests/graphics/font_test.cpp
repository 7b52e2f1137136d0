// The glyph cache and text measurement with the real DejaVu faces, checked against FreeType
// loading the same files itself. No GL: the texture side is replaced by counting hooks.
#include "graphics/font.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/text_layout.h"
#include "platform/folders.h"

namespace {

int uploads = 0;
int binds = 0;
std::vector<int> upload_rows;

void count_upload(int, const unsigned char*, int rows) {
  ++uploads;
  upload_rows.push_back(rows);
}
void count_bind(int) { ++binds; }
void no_state(int) {}

const std::string resources = SKY_RESOURCES_DIR;

// FreeType on its own, as the renderer is meant to use it: 10.5 points at 72 dpi, light hinting.
class reference_face {
 public:
  explicit reference_face(const char* file) {
    EXPECT_EQ(FT_Init_FreeType(&lib_), 0);
    EXPECT_EQ(FT_New_Face(lib_, (resources + "/" + file).c_str(), 0, &face_), 0);
    EXPECT_EQ(FT_Set_Char_Size(face_, 0, 10 * 64 + 32, 72, 72), 0);
  }
  ~reference_face() {
    FT_Done_Face(face_);
    FT_Done_FreeType(lib_);
  }
  float advance(unsigned code) {
    EXPECT_EQ(FT_Load_Char(face_, code, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT), 0);
    return static_cast<float>(face_->glyph->metrics.horiAdvance) / 64.0f;
  }
  float sum(const std::u32string& text) {
    float s = 0;
    for (char32_t c : text) s += advance(static_cast<unsigned>(c));
    return s;
  }
  FT_Face face() { return face_; }

 private:
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
};

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The test program stands where the installer does, so "RESOURCE:" finds the faces.
    platform_set_executable_path(resources + "/../skyrill-installer");
    font_hooks().upload = count_upload;
    font_hooks().bind = count_bind;
    font_hooks().begin_text = no_state;
    // Both fonts made and emptied: every test starts with empty caches.
    OGL_measure_char('a', font_regular);
    OGL_measure_char('a', font_bold);
    OGL_font_reset(font_both);
    uploads = binds = 0;
    upload_rows.clear();
  }
  void TearDown() override { font_hooks() = default_font_hooks(); }
};

struct sample {
  const char* language;
  std::string utf8;
  std::u32string codes;
};

const std::vector<sample> samples = {
    {"English", "Checking the files of your installation", U"Checking the files of your installation"},
    {"French", "T\xC3\xA9l\xC3\xA9" "chargement des fichiers modifi\xC3\xA9s, \xC3\xA0 v\xC3\xA9rifier : "
               "\xC2\xAB \xC3\xA7" "a d\xC3\xA9marre \xC2\xBB \xC5\x93uvre \xE2\x82\xAC",
     U"Téléchargement des fichiers modifiés, à vérifier : « ça démarre » œuvre €"},
    {"German", "Gr\xC3\xB6\xC3\x9F" "e der \xC3\x9C" "berpr\xC3\xBC" "fung: \xC3\x84pfel, \xC3\x96l, "
               "F\xC3\xBC\xC3\x9F" "e",
     U"Größe der Überprüfung: Äpfel, Öl, Füße"},
};

TEST_F(FontTest, MeasuredWidthsAreFreeTypeAdvances) {
  reference_face regular("DejaVuSans.ttf");
  reference_face bold("DejaVuSansBold.ttf");
  for (const sample& s : samples) {
    SCOPED_TRACE(s.language);
    EXPECT_FLOAT_EQ(OGL_measure_string(s.utf8, font_regular), regular.sum(s.codes));
    EXPECT_FLOAT_EQ(OGL_measure_string(s.utf8, font_bold), bold.sum(s.codes));
    // Bold is wider, and both are plausible for 10.5 points (about 6 units a character).
    EXPECT_GT(OGL_measure_string(s.utf8, font_bold), OGL_measure_string(s.utf8, font_regular));
    EXPECT_GT(OGL_measure_string(s.utf8, font_regular), 4.0f * s.codes.size());
    EXPECT_LT(OGL_measure_string(s.utf8, font_regular), 8.0f * s.codes.size());
  }
  // Measuring stops at a zero byte; an empty text is 0.
  EXPECT_FLOAT_EQ(OGL_measure_string(std::string("ab\0cd", 5), font_regular), regular.sum(U"ab"));
  EXPECT_EQ(OGL_measure_string("", font_regular), 0);
}

TEST_F(FontTest, WrappedLinesBreakAtSpacesWithTheirOwnWidths) {
  reference_face regular("DejaVuSans.ttf");
  for (const sample& s : samples) {
    for (float wrap : {97.0f, 130.0f, 180.0f}) {
      SCOPED_TRACE(std::string(s.language) + " at " + std::to_string(wrap));
      const char* p = s.utf8.data();
      const char* end = p + s.utf8.size();
      std::string rejoined;
      int lines = 0;
      while (p < end) {
        text_line l = text_next_line(p, end, wrap, 0, [](unsigned c) { return OGL_measure_char(c, font_regular); });
        std::string text(l.begin, l.end);
        // The width is the sum of FreeType's advances, each truncated.
        float expect = 0;
        for (const char* q = l.begin; q < l.end;)
          expect += static_cast<int>(regular.advance(utf8_decode(q, l.end, &q)));
        EXPECT_EQ(l.width, expect) << text;
        // Every word of these texts is narrower than 97, so every break is at a space, and a
        // line goes past the width by at most the character that reached it.
        EXPECT_LT(l.width, wrap + 12) << text;
        if (l.next < end) {
          EXPECT_EQ(*l.end, ' ') << text;
        }
        rejoined += (rejoined.empty() ? "" : " ") + text;
        p = l.next;
        ++lines;
      }
      EXPECT_EQ(rejoined, s.utf8);
      EXPECT_GT(lines, 1);
    }
  }
}

TEST_F(FontTest, FitFindsTheLongestPrefixAndSuffix) {
  const std::string text = "\xC3\x84gypten \xE2\x82\xAC" "5";  // "Ägypten €5"
  const char* b = text.data();
  const char* e = b + text.size();
  const float all = OGL_measure_range(b, e, font_regular);
  const float first = OGL_measure_char(0xC4, font_regular);
  const float last = OGL_measure_char('5', font_regular);
  EXPECT_EQ(OGL_fit_forward(b, e, first - 0.5f, font_regular), b);
  EXPECT_EQ(OGL_fit_forward(b, e, first, font_regular), b + 2);
  EXPECT_EQ(OGL_fit_forward(b, e, all, font_regular), e);
  EXPECT_EQ(OGL_fit_reverse(b, e, last - 0.5f, font_regular), e);
  EXPECT_EQ(OGL_fit_reverse(b, e, last, font_regular), e - 1);
  EXPECT_EQ(OGL_fit_reverse(b, e, last + OGL_measure_char(0x20AC, font_regular), font_regular), e - 4);
  EXPECT_EQ(OGL_fit_reverse(b, e, all, font_regular), b);
  EXPECT_EQ(OGL_fit_forward(b, b, 100, font_regular), b);
  EXPECT_EQ(OGL_fit_reverse(b, b, 100, font_regular), b);
}

TEST_F(FontTest, CellHoldsFreeTypesBitmap) {
  reference_face regular("DejaVuSans.ttf");
  OGL_font_info* f = sFont[font_regular];
  // U+1D538 (double-struck A) needs four bytes in UTF-8.
  for (unsigned code : {unsigned('g'), 0xC4u, 0x20ACu, 0x1D538u}) {
    SCOPED_TRACE(code);
    char utf8[4];
    OGL_measure_string(std::string(utf8, static_cast<size_t>(utf8_encode(code, utf8))), font_regular);
    ASSERT_EQ(f->chars.count(code), 1u);
    const OGL_char_info& c = f->chars[code];
    EXPECT_EQ(c.error, 0);
    ASSERT_NE(FT_Get_Char_Index(regular.face(), code), 0u) << "the face has no such glyph";
    regular.advance(code);
    const FT_Bitmap& bm = regular.face()->glyph->bitmap;
    ASSERT_EQ(c.right - c.left, static_cast<int>(bm.width));
    ASSERT_EQ(c.bottom - c.top, static_cast<int>(bm.rows));
    ASSERT_GT(bm.width * bm.rows, 0u);
    for (unsigned r = 0; r < bm.rows; ++r)
      EXPECT_EQ(std::memcmp(f->pixels + (c.top + r) * 1024 + c.left, bm.buffer + r * bm.pitch, bm.width), 0)
          << "row " << r;
    EXPECT_FLOAT_EQ(c.bearing, regular.face()->glyph->metrics.horiBearingX / 64.0f);
  }
  // A code point the face lacks is its .notdef box: loaded without error, drawn as a box.
  EXPECT_EQ(FT_Get_Char_Index(regular.face(), 0x4E00), 0u);
  EXPECT_GT(OGL_measure_char(0x4E00, font_regular), 0);
  EXPECT_EQ(f->chars[0x4E00].error, 0);
}

TEST_F(FontTest, ImageGrowsInPowersOfTwoAndKeepsEarlierCells) {
  OGL_font_info* f = sFont[font_regular];
  const float mem_before = g_font_tex_mem.value;
  std::vector<unsigned> codes;
  for (unsigned c = 0x100; c < 0x250; ++c) codes.push_back(c);   // Latin Extended
  for (unsigned c = 0x391; c < 0x3CA; ++c) codes.push_back(c);   // Greek
  for (unsigned c = 0x400; c < 0x500; ++c) codes.push_back(c);   // Cyrillic
  for (unsigned c = 0x2200; c < 0x2300; ++c) codes.push_back(c); // mathematical operators
  ASSERT_GT(codes.size(), 900u);
  std::vector<unsigned char> first_cell;
  OGL_char_info first{};
  int last_rows = 0;
  for (unsigned code : codes) {
    OGL_measure_char(code, font_regular);
    if (f->rows != last_rows) {
      // Power of two, and the first cell is still intact after the copy.
      EXPECT_EQ(f->rows & (f->rows - 1), 0) << f->rows;
      EXPECT_GT(f->rows, last_rows);
      last_rows = f->rows;
    }
    if (first_cell.empty() && f->rows > 0) {
      first = f->chars[code];
      for (int r = first.top; r < first.bottom; ++r)
        first_cell.insert(first_cell.end(), f->pixels + r * 1024 + first.left, f->pixels + r * 1024 + first.right);
    }
  }
  EXPECT_GE(f->rows, 64);
  EXPECT_EQ(g_font_tex_mem.value - mem_before, static_cast<float>(f->rows));
  std::vector<unsigned char> now;
  for (int r = first.top; r < first.bottom; ++r)
    now.insert(now.end(), f->pixels + r * 1024 + first.left, f->pixels + r * 1024 + first.right);
  EXPECT_EQ(now, first_cell);
  // Cells never pass the 1024 columns nor overlap: shelves wrapped.
  int max_right = 0, max_top = 0;
  for (const auto& kv : f->chars) {
    EXPECT_LE(kv.second.right, 1024);
    EXPECT_LE(kv.second.bottom, f->rows);
    max_right = std::max(max_right, kv.second.right);
    max_top = std::max(max_top, kv.second.top);
  }
  EXPECT_GT(max_top, 0);
  EXPECT_GT(max_right, 900);
}

TEST_F(FontTest, OversizedGlyphsAndAFullImageNeverStopTheProgram) {
  OGL_font_info* f = sFont[font_regular];
  // At 1500 points a 'W' is wider than the image: cached as an error, measured 0.
  f->clear(fnames[font_regular], 1500);
  EXPECT_EQ(f->require_char('W'), 0);
  EXPECT_EQ(f->chars['W'].error, OGL_font_info::error_too_wide);
  // At 150 points the image passes 2048 rows after some hundred glyphs: the cache starts over
  // and the character is still measured right.
  f->clear(fnames[font_regular], 150);
  const float a_width = f->require_char('a');
  for (unsigned c = 0x400; c < 0x500 && f->flushes == 0; ++c) f->require_char(c);
  EXPECT_EQ(f->flushes, 1);
  EXPECT_LE(f->rows, 2048);
  EXPECT_FLOAT_EQ(f->require_char('a'), a_width);
  OGL_font_reset(font_regular);
}

TEST_F(FontTest, UploadsOnlyWhatChanged) {
  // A text of spaces first: no rows, nothing uploaded or bound, and the program goes on.
  OGL_font_string(0, 10, 10, "   ", 9999, font_regular, 0, 0);
  EXPECT_EQ(sFont[font_regular]->rows, 0);
  EXPECT_EQ(uploads, 0);
  EXPECT_EQ(binds, 0);
  OGL_font_string(0, 10, 10, "Skyrill 9", 9999, font_regular, 0, 0);
  OGL_font_string(0, 10, 10, "Skyrill 9", 9999, font_regular, 0, 0);
  EXPECT_EQ(uploads, 1);
  OGL_measure_char(0xDF, font_regular);
  OGL_font_string(0, 10, 10, "Skyrill 9", 9999, font_regular, 0, 0);
  EXPECT_EQ(uploads, 2);
  EXPECT_EQ(binds, 3);
  for (int rows : upload_rows) EXPECT_GT(rows, 0);
}

// A progress page shows new digits, signs and letters frame after frame (percentages, rates,
// file names); each upload makes a software renderer wait for the frame drawn so far. The first
// character of the common ranges brings the range, so later texts in them upload nothing.
TEST_F(FontTest, NewCharactersOfCommonRangesDoNotUploadAgain) {
  struct step {
    const char* text;
    int uploads_after;
  } steps[] = {
      {"Skyrill 9", 1},
      {"Downloading and installing file 0123.dat.zip, currently 45% done with that file.", 1},
      {"About 2 minutes left, downloading at 9.8 MB/s with 4 streams (~#&*@!)[]{}|<>=+_^`$", 1},
      // The French and German letters come as one more range.
      {"T\xC3\xA9l\xC3\xA9" "chargement", 2},
      {"Gr\xC3\xB6\xC3\x9F" "e \xC2\xAB \xC3\x87" "a \xC2\xBB \xC3\x9C" "berpr\xC3\xBC" "fung", 2},
      // Outside them, characters still come one text at a time.
      {"\xE2\x82\xAC", 3},
      {"\xD0\x96", 4},
  };
  for (const step& s : steps) {
    OGL_font_string(0, 10, 10, s.text, 9999, font_regular, 0, 0);
    EXPECT_EQ(uploads, s.uploads_after) << s.text;
  }
  // Every cached character is measured as FreeType measures it.
  reference_face ref("DejaVuSans.ttf");
  for (unsigned code : {0x20u, 0x7Eu, 0xA0u, 0xE9u, 0xFFu, 0x20ACu})
    EXPECT_FLOAT_EQ(sFont[font_regular]->chars.at(code).advance, ref.advance(code)) << code;

  // At a heading's size the range is not brought whole: 'a' alone is rendered.
  OGL_font_info* f = sFont[font_regular];
  f->clear(fnames[font_regular], 150);
  f->require_char('a');
  EXPECT_EQ(f->chars.size(), 1u);
  OGL_font_reset(font_regular);
}

TEST_F(FontTest, ResultIsTheNextBaseline) {
  EXPECT_EQ(OGL_font_string(0, 5, 100, "", 50, font_regular, 0, 0), 100);
  EXPECT_EQ(OGL_font_string(0, 5, 100, "one\ntwo\nthree", 9999, font_regular, 0, 0), 100);
  EXPECT_EQ(OGL_font_string(0, 5, 100, "one\ntwo\nthree", 500, font_regular, 0, 0), 70);
}

TEST_F(FontTest, BadBytesStayInsideTheText) {
  // Heap copies exactly as long as each text: ASan reports any read past the end.
  const std::vector<std::string> texts = {"ab\xE2\x82", "\x80\x80\x80", "\xF8\xFF\xFE", "\xF0\x9F", "\xC3"};
  for (const std::string& t : texts) {
    std::vector<char> heap(t.begin(), t.end());
    const char* b = heap.data();
    const char* e = b + heap.size();
    EXPECT_GE(OGL_measure_range(b, e, font_regular), 0);
    EXPECT_GE(OGL_fit_forward(b, e, 3, font_regular), b);
    EXPECT_LE(OGL_fit_reverse(b, e, 3, font_regular), e);
    OGL_font_string(0, 0, 0, t, 20, font_regular, 1, 0);
  }
  // OGL_char takes the low byte as a Latin-1 character: 0xE9 is 'é', never a lead byte.
  OGL_char(0, 10, 10, 0, 0, 14, 15, 0xE9, font_bold);
  OGL_char(0, 10, 10, 0, 0, 14, 15, 0x1F0, font_bold);
  EXPECT_EQ(sFont[font_bold]->chars.count(0xE9), 1u);
  EXPECT_EQ(sFont[font_bold]->chars.count(0xF0), 1u);
}

}  // namespace

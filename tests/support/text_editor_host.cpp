#include "support/text_editor_host.h"

namespace {

test_editor_host* host_of(OGLE_Rec* rec) { return static_cast<test_editor_host*>(rec->ref); }

bool breaks_word(unsigned char c) { return OGLE_is_blank(c) || c == '\n' || c == '\r'; }

void get_visible(OGLE_Rec* rec, float* l, float* b, float* r, float* t) {
  const auto& v = host_of(rec)->visible;
  *l = v.l, *b = v.b, *r = v.r, *t = v.t;
}
void get_logical(OGLE_Rec* rec, float* l, float* b, float* r, float* t) {
  auto lb = host_of(rec)->logical();
  *l = lb.l, *b = lb.b, *r = lb.r, *t = lb.t;
}
void set_height(OGLE_Rec* rec, float h) { host_of(rec)->logical_height = h; }
void scroll_to(OGLE_Rec* rec, float x, float y) {
  host_of(rec)->scroll_x = x;
  host_of(rec)->scroll_y = y;
}
void get_text(OGLE_Rec* rec, const char** b, const char** e) {
  auto& s = host_of(rec)->text;
  *b = s.data();
  *e = s.data() + s.size();
}
void replace_text(OGLE_Rec* rec, int from, int to, const char* b, const char* e) {
  host_of(rec)->text.replace(static_cast<size_t>(from), static_cast<size_t>(to - from),
                             b ? std::string(b, e) : std::string());
}
float get_line_height(OGLE_Rec* rec) { return host_of(rec)->line_height; }
float measure(OGLE_Rec* rec, const char* b, const char* e) {
  return host_of(rec)->char_width * static_cast<float>(test_editor_host::chars_in(b, e));
}
int fit_fwd(OGLE_Rec* rec, const char* b, const char* e, float width) {
  const char* p = b;
  float used = 0;
  while (p < e) {
    const char* n = OGLE_utf8_next(p, b, e);
    if (used + host_of(rec)->char_width > width) break;
    used += host_of(rec)->char_width;
    p = n;
  }
  return static_cast<int>(p - b);
}
int fit_rev(OGLE_Rec*, const char*, const char*, float) { return 0; }
void draw_string(OGLE_Rec* rec, const char* b, const char* e, float, float y) {
  host_of(rec)->drawn_lines.emplace_back(b, e);
  host_of(rec)->drawn_line_y.push_back(y);
}
void draw_selection(OGLE_Rec* rec, float l, float b, float r, float t) {
  host_of(rec)->drawn_selection.push_back({l, b, r, t});
}
const char* word_break(OGLE_Rec*, const char* b, const char* e) {
  while (b < e && breaks_word(static_cast<unsigned char>(*b))) ++b;
  while (b < e && !breaks_word(static_cast<unsigned char>(*b))) ++b;
  return b;
}
const char* next_char(OGLE_Rec* rec, const char* p) {
  auto& s = host_of(rec)->text;
  return OGLE_utf8_next(p, s.data(), s.data() + s.size());
}
int next_pos(OGLE_Rec* rec, int offset) {
  auto& s = host_of(rec)->text;
  if (offset >= static_cast<int>(s.size())) return offset + 1;
  return static_cast<int>(OGLE_utf8_next(s.data() + offset, s.data(), s.data() + s.size()) - s.data());
}
int prev_pos(OGLE_Rec* rec, int offset) {
  auto& s = host_of(rec)->text;
  return OGLE_utf8_prev_pos(s.data(), s.data() + s.size(), offset);
}

}  // namespace

int test_editor_host::chars_in(const char* begin, const char* end) {
  int n = 0;
  for (const char* p = begin; p < end; ++p)
    if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) ++n;
  return n;
}

test_editor_host::rect test_editor_host::logical() const {
  float l = visible.l - scroll_x, b = visible.b - scroll_y;
  return {l, b, l + wrap_width, b + (visible.t - visible.b)};
}

test_editor_host::test_editor_host(std::string initial, bool stepping_slots) : text(std::move(initial)) {
  OGLE_Callbacks cbs{get_visible, get_logical, set_height, scroll_to,    get_text,      replace_text,
                     get_line_height, measure, fit_fwd,    fit_rev,      draw_string,   draw_selection,
                     word_break,  nullptr,     nullptr,    nullptr};
  if (stepping_slots) {
    cbs.MBCS_Next = next_char;
    cbs.MBCS_NextPos = next_pos;
    cbs.MBCS_PrevPos = prev_pos;
  }
  rec = OGLE_Create(&cbs, this);
}

test_editor_host::~test_editor_host() { OGLE_Destroy(rec); }

void test_editor_host::draw(int caret) {
  drawn_lines.clear();
  drawn_line_y.clear();
  drawn_selection.clear();
  OGLE_Draw(rec, caret);
}

bool test_is_valid_utf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : c >= 0xC2 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

#include "shell/text_editor.h"

#include <algorithm>
#include <cmath>

namespace {

struct text_span {
  const char* begin;
  const char* end;
  int length() const { return static_cast<int>(end - begin); }
};

text_span text_of(OGLE_Rec* rec) {
  const char* b = nullptr;
  const char* e = nullptr;
  rec->callbacks.GetText(rec, &b, &e);
  if (b == nullptr || e < b) e = b;
  return {b, e};
}

bool is_line_break(unsigned char c) { return c == '\n' || c == '\r'; }

// The next character's start after p, from the host or by UTF-8, always moving forward and
// never past the end, so a host that stalls cannot hang the layout.
const char* next_char(OGLE_Rec* rec, const char* p, const text_span& t) {
  const char* n = rec->callbacks.MBCS_Next ? rec->callbacks.MBCS_Next(rec, p)
                                           : OGLE_utf8_next(p, t.begin, t.end);
  if (n <= p) n = p + 1;
  return std::min(n, t.end);
}

int next_pos(OGLE_Rec* rec, int offset) {
  if (rec->callbacks.MBCS_NextPos) return rec->callbacks.MBCS_NextPos(rec, offset);
  text_span t = text_of(rec);
  if (offset >= t.length()) return offset + 1;  // clamped by normalisation
  if (offset < 0) return 0;
  return static_cast<int>(OGLE_utf8_next(t.begin + offset, t.begin, t.end) - t.begin);
}

int prev_pos(OGLE_Rec* rec, int offset) {
  if (rec->callbacks.MBCS_PrevPos) return rec->callbacks.MBCS_PrevPos(rec, offset);
  text_span t = text_of(rec);
  if (offset <= 0) return -1;  // clamped by normalisation
  return OGLE_utf8_prev_pos(t.begin, t.end, offset);
}

void normalise(OGLE_Rec* rec) {
  if (rec->sel_end < rec->sel_start) {
    std::swap(rec->sel_start, rec->sel_end);
    rec->caret_at_end = 1 - rec->caret_at_end;
  }
  int len = text_of(rec).length();
  rec->sel_start = std::clamp(rec->sel_start, 0, len);
  rec->sel_end = std::clamp(rec->sel_end, 0, len);
}

struct bounds {
  float l = 0, b = 0, r = 0, t = 0;
};

bounds visible_bounds(OGLE_Rec* rec) {
  bounds v;
  rec->callbacks.GetVisibleBounds(rec, &v.l, &v.b, &v.r, &v.t);
  return v;
}

bounds logical_bounds(OGLE_Rec* rec) {
  bounds v;
  rec->callbacks.GetLogicalBounds(rec, &v.l, &v.b, &v.r, &v.t);
  return v;
}

// A line height of zero or less would turn every line index into infinity.
float line_height(OGLE_Rec* rec) {
  float h = rec->callbacks.GetLineHeight(rec);
  return h > 0.0f ? h : 1.0f;
}

int line_count(const OGLE_Rec* rec) { return std::max<int>(1, static_cast<int>(rec->line_starts.size())); }

int line_start(const OGLE_Rec* rec, int line) {
  return rec->line_starts.empty() ? 0 : rec->line_starts[line];
}

int line_end(const OGLE_Rec* rec, int line, int text_length) {
  return line + 1 < static_cast<int>(rec->line_starts.size()) ? rec->line_starts[line + 1] : text_length;
}

int line_of(const OGLE_Rec* rec, int pos) {
  auto it = std::upper_bound(rec->line_starts.begin(), rec->line_starts.end(), pos);
  return std::max(0, static_cast<int>(it - rec->line_starts.begin()) - 1);
}

// Width from the start of the position's line up to the position.
float width_in_line(OGLE_Rec* rec, const text_span& t, int line, int pos) {
  int start = std::min(line_start(rec, line), t.length());
  pos = std::clamp(pos, start, t.length());
  return rec->callbacks.MeasureString(rec, t.begin + start, t.begin + pos);
}

int fit_in_line(OGLE_Rec* rec, const text_span& t, int line, float width) {
  int start = std::min(line_start(rec, line), t.length());
  int end = std::clamp(line_end(rec, line, t.length()), start, t.length());
  // The caret never sits after a line's own break on that line: there it would belong to the
  // next line, and a run of Down keys through a short line would skip a line.
  if (end > start && is_line_break(static_cast<unsigned char>(t.begin[end - 1]))) --end;
  int n = rec->callbacks.FitStringFwd(rec, t.begin + start, t.begin + end, width);
  return start + std::clamp(n, 0, end - start);
}

int point_to_position(OGLE_Rec* rec, float x, float y) {
  text_span t = text_of(rec);
  bounds lb = logical_bounds(rec);
  x = std::clamp(x, lb.l, std::max(lb.l, lb.r));
  float line = std::floor((lb.t - y) / line_height(rec));
  if (!(line >= 0.0f)) return 0;
  if (line >= static_cast<float>(line_count(rec))) return t.length();
  return fit_in_line(rec, t, static_cast<int>(line), x - lb.l);
}

int vertical_move(OGLE_Rec* rec, int pos, int direction) {
  text_span t = text_of(rec);
  int line = line_of(rec, pos);
  if (rec->desired_x == -1.0f) rec->desired_x = width_in_line(rec, t, line, pos);
  int target = line + direction;
  if (target < 0) return 0;
  if (target >= line_count(rec)) return t.length();
  return fit_in_line(rec, t, target, rec->desired_x);
}

int& active_end(OGLE_Rec* rec) { return rec->caret_at_end ? rec->sel_end : rec->sel_start; }

void replace_selection(OGLE_Rec* rec, const char* begin, const char* end) {
  int at = rec->sel_start;
  rec->callbacks.ReplaceText(rec, rec->sel_start, rec->sel_end, begin, end);
  rec->sel_start = rec->sel_end = at + static_cast<int>(end - begin);
  rec->caret_at_end = 1;
  OGLE_Repaginate(rec);
  normalise(rec);
  OGLE_RevealSelection(rec);
}

// One typed character as UTF-8: the lead byte's length must match the count, every further
// byte must be a continuation byte, and no control character is typed into the text (a host
// that forwards Home, Delete or a stray NUL gets nothing inserted rather than a control byte).
bool is_typed_character(const unsigned char* s, int count) {
  if (count == 1) return (s[0] >= 0x20 && s[0] < 0x7F) || s[0] == '\t' || s[0] == '\n';
  int expected = s[0] >= 0xF0 && s[0] <= 0xF4 ? 4 : s[0] >= 0xE0 && s[0] < 0xF0 ? 3 : s[0] >= 0xC2 && s[0] < 0xE0 ? 2 : 0;
  if (expected != count) return false;
  for (int i = 1; i < count; ++i)
    if ((s[i] & 0xC0) != 0x80) return false;
  if (count == 2 && s[0] == 0xC2 && s[1] < 0xA0) return false;  // C1 controls
  if (count == 3 && s[0] == 0xE0 && s[1] < 0xA0) return false;  // overlong
  if (count == 3 && s[0] == 0xED && s[1] >= 0xA0) return false;  // surrogates
  if (count == 4 && s[0] == 0xF0 && s[1] < 0x90) return false;  // overlong
  if (count == 4 && s[0] == 0xF4 && s[1] >= 0x90) return false;  // past U+10FFFF
  return true;
}

}  // namespace

bool OGLE_is_blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

const char* OGLE_utf8_next(const char* p, const char* begin, const char* end) {
  if (p < begin) return begin;
  if (p >= end) return end;
  // Back up to the start of the character p is in, then past it.
  while (p > begin && (static_cast<unsigned char>(*p) & 0xC0) == 0x80) --p;
  ++p;
  while (p < end && (static_cast<unsigned char>(*p) & 0xC0) == 0x80) ++p;
  return p;
}

int OGLE_utf8_prev_pos(const char* begin, const char* end, int offset) {
  auto continuation = [&](int i) { return (static_cast<unsigned char>(begin[i]) & 0xC0) == 0x80; };
  const int len = static_cast<int>(end - begin);
  if (offset <= 0) return -1;
  // Back to the start of the character holding the offset, then to the one before it.
  int p = std::min(offset, len);
  while (p > 0 && p < len && continuation(p)) --p;
  if (p == 0) return -1;
  --p;
  while (p > 0 && continuation(p)) --p;
  return p;
}

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* ref) {
  OGLE_Rec* rec = new OGLE_Rec;
  rec->callbacks = *callbacks;
  rec->ref = ref;
  return rec;
}

void OGLE_Destroy(OGLE_Rec* rec) { delete rec; }

void* OGLE_GetRef(OGLE_Rec* rec) { return rec->ref; }

void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end) {
  if (start) *start = rec->sel_start;
  if (end) *end = rec->sel_end;
}

void OGLE_SetSelection(OGLE_Rec* rec, int start, int end) {
  rec->sel_start = start;
  rec->sel_end = end;
  normalise(rec);
}

void OGLE_Repaginate(OGLE_Rec* rec) {
  text_span t = text_of(rec);
  bounds lb = logical_bounds(rec);
  const float wrap = lb.r - lb.l;
  const char* const end = t.end;
  size_t lines = 0;
  const char* line = t.begin;
  for (;;) {
    if (lines < rec->line_starts.size()) rec->line_starts[lines] = static_cast<int>(line - t.begin);
    else rec->line_starts.push_back(static_cast<int>(line - t.begin));
    ++lines;
    // Build the line segment by segment: blanks, then a word, while the words fit.
    const char* p = line;
    float used = 0.0f;
    for (;;) {
      const char* blanks = p;
      while (p < end && OGLE_is_blank(static_cast<unsigned char>(*p))) p = next_char(rec, p, t);
      float pending = p > blanks ? rec->callbacks.MeasureString(rec, blanks, p) : 0.0f;
      if (p >= end) break;
      if (is_line_break(static_cast<unsigned char>(*p))) {
        ++p;
        break;
      }
      const char* word_end = rec->callbacks.WordBreak(rec, p, end);
      if (word_end <= p || word_end > end) word_end = next_char(rec, p, t);
      used += pending + rec->callbacks.MeasureString(rec, p, word_end);
      if (used > wrap) {
        // A word wider than the line on an empty line is split off one whole character at
        // a time: a line start inside a UTF-8 sequence would let the next typed character
        // land inside it.
        if (p == line) p = next_char(rec, p, t);
        break;
      }
      p = word_end;
      if (p >= end) break;
    }
    if (p >= end || p <= line) break;
    line = p;
  }
  rec->line_starts.resize(lines);
  rec->callbacks.SetLogicalHeight(rec, static_cast<float>(lines) * rec->callbacks.GetLineHeight(rec));
}

void OGLE_Draw(OGLE_Rec* rec, int draw_caret) {
  text_span t = text_of(rec);
  bounds vb = visible_bounds(rec);
  bounds lb = logical_bounds(rec);
  const float h = line_height(rec);
  const int count = line_count(rec);
  const int first = std::max(0, static_cast<int>(std::floor((lb.t - vb.t) / h)));
  const int last = std::min(count, static_cast<int>(std::ceil((lb.t - vb.b) / h)));
  const int len = t.length();
  auto box_bottom = [&](int i) { return lb.t - static_cast<float>(i + 1) * h; };
  auto box_top = [&](int i) { return lb.t - static_cast<float>(i) * h; };
  auto x_at = [&](int i, int pos) { return lb.l + width_in_line(rec, t, i, pos); };

  if (rec->sel_start < rec->sel_end) {
    for (int i = first; i < last; ++i) {
      int s = line_start(rec, i), e = line_end(rec, i, len);
      if (s >= rec->sel_end) break;
      if (e <= rec->sel_start) continue;
      float left = rec->sel_start > s ? x_at(i, rec->sel_start) : lb.l;
      float right = rec->sel_end < e ? x_at(i, rec->sel_end) : lb.r;
      rec->callbacks.DrawSelection(rec, left, box_bottom(i), right, box_top(i));
    }
  }
  for (int i = first; i < last; ++i) {
    int s = std::min(line_start(rec, i), len), e = std::clamp(line_end(rec, i, len), s, len);
    rec->callbacks.DrawString(rec, t.begin + s, t.begin + e, lb.l, box_bottom(i));
  }
  if (draw_caret && rec->sel_start == rec->sel_end) {
    int caret = rec->sel_start;
    for (int i = first; i < last; ++i) {
      int s = line_start(rec, i), e = line_end(rec, i, len);
      if (s <= caret && (e > caret || (i == count - 1 && e == caret))) {
        float x = x_at(i, caret);
        rec->callbacks.DrawSelection(rec, x, box_bottom(i), x, box_top(i));
        break;
      }
    }
  }
}

void OGLE_RevealSelection(OGLE_Rec* rec) {
  text_span t = text_of(rec);
  bounds vb = visible_bounds(rec);
  bounds lb = logical_bounds(rec);
  const float h = line_height(rec);
  int p = active_end(rec);
  int line = line_of(rec, p);
  float px = lb.l + width_in_line(rec, t, line, p);
  float py = lb.t - static_cast<float>(line - rec->caret_at_end + 1) * h;
  const float old_x = vb.l - lb.l, old_y = vb.b - lb.b;
  float x = old_x, y = old_y;
  if (px < vb.l) x = px - lb.l;
  if (px > vb.r) x = px - lb.l - (vb.r - vb.l);
  if (py < vb.b) y = py - lb.b;
  if (py > vb.t) y = py - lb.b - (vb.t - vb.b);
  if (x != old_x || y != old_y) rec->callbacks.ScrollTo(rec, x, y);
}

void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend) {
  rec->desired_x = -1.0f;
  int p = point_to_position(rec, x, y);
  if (!extend) {
    rec->sel_start = rec->sel_end = p;
    rec->caret_at_end = 1;
  } else if (p < rec->sel_start) {
    rec->sel_start = p;
    rec->caret_at_end = 0;
  } else {
    rec->sel_end = p;
    rec->caret_at_end = 1;
  }
  normalise(rec);
  OGLE_RevealSelection(rec);
}

void OGLE_Drag(OGLE_Rec* rec, float x, float y) {
  rec->desired_x = -1.0f;
  active_end(rec) = point_to_position(rec, x, y);
  normalise(rec);
  OGLE_RevealSelection(rec);
}

void OGLE_Key(OGLE_Rec* rec, char key, int shift) {
  const int code = static_cast<unsigned char>(key);
  if (code != OGLE_key_up && code != OGLE_key_down) rec->desired_x = -1.0f;
  const bool empty = rec->sel_start == rec->sel_end;
  switch (code) {
    case OGLE_key_backspace: {
      int from = rec->sel_start, to = rec->sel_end;
      if (empty) from = std::max(0, prev_pos(rec, to));
      rec->caret_at_end = 1;
      if (from < to) {
        rec->callbacks.ReplaceText(rec, from, to, nullptr, nullptr);
        rec->sel_start = rec->sel_end = from;
        OGLE_Repaginate(rec);
        normalise(rec);
        OGLE_RevealSelection(rec);
      }
      return;
    }
    case OGLE_key_left:
      if (shift) active_end(rec) = prev_pos(rec, active_end(rec));
      else if (empty) rec->sel_start = rec->sel_end = prev_pos(rec, rec->sel_start);
      else rec->sel_end = rec->sel_start;
      break;
    case OGLE_key_right:
      if (shift) active_end(rec) = next_pos(rec, active_end(rec));
      else if (empty) rec->sel_start = rec->sel_end = next_pos(rec, rec->sel_end);
      else rec->sel_start = rec->sel_end;
      break;
    case OGLE_key_up:
      if (shift) active_end(rec) = vertical_move(rec, active_end(rec), -1);
      else if (empty) rec->sel_start = rec->sel_end = vertical_move(rec, rec->sel_start, -1);
      else rec->sel_end = rec->sel_start;
      break;
    case OGLE_key_down:
      if (shift) active_end(rec) = vertical_move(rec, active_end(rec), +1);
      else if (empty) rec->sel_start = rec->sel_end = vertical_move(rec, rec->sel_end, +1);
      else rec->sel_start = rec->sel_end;
      break;
    default: {
      const unsigned char byte = static_cast<unsigned char>(key);
      if (!is_typed_character(&byte, 1)) return;
      replace_selection(rec, &key, &key + 1);
      return;
    }
  }
  normalise(rec);
  OGLE_RevealSelection(rec);
}

void OGLE_Key_MBCS(OGLE_Rec* rec, int count, const char* bytes, int shift) {
  if (count <= 0 || bytes == nullptr) return;
  if (count == 1) {
    OGLE_Key(rec, bytes[0], shift);
    return;
  }
  rec->desired_x = -1.0f;
  if (!is_typed_character(reinterpret_cast<const unsigned char*>(bytes), count)) return;
  replace_selection(rec, bytes, bytes + count);
}

void OGLE_ReplaceText(OGLE_Rec* rec, int from, int to, const char* begin, const char* end) {
  const int delta = static_cast<int>(end - begin) - (to - from);
  if (rec->sel_start >= to) {
    rec->sel_start += delta;
    rec->sel_end += delta;
  } else if (rec->sel_start >= from) {
    rec->sel_end += delta;
    if (rec->sel_end < rec->sel_start) rec->sel_start = rec->sel_end = std::max(rec->sel_start + delta, from);
  }
  rec->callbacks.ReplaceText(rec, from, to, begin, end);
  OGLE_Repaginate(rec);
  normalise(rec);
  // An end carried along by the length change can land inside a character of the new text;
  // typing there would split it.
  text_span t = text_of(rec);
  for (int* p : {&rec->sel_start, &rec->sel_end})
    while (*p > 0 && *p < t.length() && (static_cast<unsigned char>(t.begin[*p]) & 0xC0) == 0x80) --*p;
}

// ---- The object face --------------------------------------------------------------------

namespace {
OGLE* object_of(OGLE_Rec* rec) { return static_cast<OGLE*>(rec->ref); }
}  // namespace

OGLE::OGLE() {
  OGLE_Callbacks cbs{};
  cbs.GetVisibleBounds = GetVisibleBoundsCB;
  cbs.GetLogicalBounds = GetLogicalBoundsCB;
  cbs.SetLogicalHeight = SetLogicalHeightCB;
  cbs.ScrollTo = ScrollToCB;
  cbs.GetText = GetTextCB;
  cbs.ReplaceText = ReplaceTextCB;
  cbs.GetLineHeight = GetLineHeightCB;
  cbs.MeasureString = MeasureStringCB;
  cbs.FitStringFwd = FitStringFwdCB;
  cbs.FitStringRev = FitStringRevCB;
  cbs.DrawString = DrawStringCB;
  cbs.DrawSelection = DrawSelectionCB;
  cbs.WordBreak = WordBreakCB;
  // The stepping slots stay empty: the engine then steps over the text as UTF-8.
  rec_ = OGLE_Create(&cbs, this);
}

OGLE::~OGLE() { OGLE_Destroy(rec_); }

void OGLE::GetVisibleBoundsCB(OGLE_Rec* rec, float* l, float* b, float* r, float* t) {
  object_of(rec)->GetVisibleBounds(l, b, r, t);
}
void OGLE::GetLogicalBoundsCB(OGLE_Rec* rec, float* l, float* b, float* r, float* t) {
  object_of(rec)->GetLogicalBounds(l, b, r, t);
}
void OGLE::SetLogicalHeightCB(OGLE_Rec* rec, float height) { object_of(rec)->SetLogicalHeight(height); }
void OGLE::ScrollToCB(OGLE_Rec* rec, float x, float y) { object_of(rec)->ScrollTo(x, y); }
void OGLE::GetTextCB(OGLE_Rec* rec, const char** begin, const char** end) {
  object_of(rec)->GetText(begin, end);
}
void OGLE::ReplaceTextCB(OGLE_Rec* rec, int from, int to, const char* begin, const char* end) {
  object_of(rec)->ReplaceText(from, to, begin, end);
}
float OGLE::GetLineHeightCB(OGLE_Rec* rec) { return object_of(rec)->GetLineHeight(); }
float OGLE::MeasureStringCB(OGLE_Rec* rec, const char* begin, const char* end) {
  return object_of(rec)->MeasureString(begin, end);
}
int OGLE::FitStringFwdCB(OGLE_Rec* rec, const char* begin, const char* end, float width) {
  return object_of(rec)->FitStringFwd(begin, end, width);
}
int OGLE::FitStringRevCB(OGLE_Rec* rec, const char* begin, const char* end, float width) {
  return object_of(rec)->FitStringRev(begin, end, width);
}
void OGLE::DrawStringCB(OGLE_Rec* rec, const char* begin, const char* end, float x, float y) {
  object_of(rec)->DrawString(begin, end, x, y);
}
void OGLE::DrawSelectionCB(OGLE_Rec* rec, float l, float b, float r, float t) {
  object_of(rec)->DrawSelection(l, b, r, t);
}
const char* OGLE::WordBreakCB(OGLE_Rec* rec, const char* begin, const char* end) {
  return object_of(rec)->WordBreak(begin, end);
}

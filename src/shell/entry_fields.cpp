// The one-line text field. Every field shares one editing record; it belongs to the field that
// holds the keyboard focus and is prepared again whenever the focus moves to another field.
#include <algorithm>
#include <cstring>

#include "graphics/draw_2d.h"
#include "graphics/font.h"
#include "runtime/shell_records.h"
#include "shell/keyboard.h"
#include "shell/text_editor.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

int OGLE_x = 0, OGLE_y = 0, OGLE_entry_dx = 0;
float OGLE_dx = 0, OGLE_dy = 0;
std::string* OGLE_input = nullptr;
int OGLE_edit = 0;

namespace {

constexpr float kLineHeight = 11;
constexpr float kExtraWidth = 1024;  // one line: the text never wraps in a field
constexpr int kQueueSize = 64;
constexpr int kAcceptMask = 0x1F4;
constexpr int kVkHome = 36, kVkEnd = 35, kVkPageUp = 33, kVkPageDown = 34;

float logical_height = kLineHeight;

void visible(OGLE_Rec*, float* l, float* b, float* r, float* t) {
  *l = static_cast<float>(OGLE_x);
  *b = static_cast<float>(OGLE_y) - 3;
  *r = static_cast<float>(OGLE_x + OGLE_entry_dx);
  *t = static_cast<float>(OGLE_y) + 8;
}
void logical(OGLE_Rec* rec, float* l, float* b, float* r, float* t) {
  visible(rec, l, b, r, t);
  *l -= OGLE_dx;
  *b -= OGLE_dy;
  *r = *l + static_cast<float>(OGLE_entry_dx) + kExtraWidth;
  *t = *b + std::max(logical_height, kLineHeight);
}
void set_height(OGLE_Rec*, float h) { logical_height = h; }
void scroll_to(OGLE_Rec*, float x, float y) {
  OGLE_dx = x;
  OGLE_dy = y;
}
void get_text(OGLE_Rec*, const char** begin, const char** end) {
  static const char empty = 0;
  if (!OGLE_input) {
    *begin = *end = &empty;
    return;
  }
  *begin = OGLE_input->data();
  *end = *begin + OGLE_input->size();
}
void replace_text(OGLE_Rec*, int from, int to, const char* begin, const char* end) {
  if (!OGLE_input) return;
  OGLE_input->replace(static_cast<size_t>(from), static_cast<size_t>(to - from), begin,
                      static_cast<size_t>(end - begin));
  OGLE_edit = 1;
}
float line_height(OGLE_Rec*) { return kLineHeight; }
float measure(OGLE_Rec*, const char* begin, const char* end) { return OGL_measure_range(begin, end, font_regular); }
int fit_fwd(OGLE_Rec*, const char* begin, const char* end, float width) {
  return static_cast<int>(OGL_fit_forward(begin, end, width, font_regular) - begin);
}
int fit_rev(OGLE_Rec*, const char* begin, const char* end, float width) {
  return static_cast<int>(end - OGL_fit_reverse(begin, end, width, font_regular));
}
void draw_string(OGLE_Rec*, const char* begin, const char* end, float x, float y) {
  widget_drawing().text(45, x, y + 3, std::string(begin, end), 9999, 0);
}
void draw_selection(OGLE_Rec*, float l, float b, float r, float t) {
  if (l == r)
    OGL_fillrect(45, 0.5f + 0.5f * colr.pulse, l, b + 1, 1, t - b - 2);
  else
    OGL_fillrect(8, 0.6f, l, b + 1, r - l, t - b - 2);
}
const char* word_break(OGLE_Rec*, const char* begin, const char* end) {
  const char* p = begin;
  while (p < end && OGLE_is_blank(static_cast<unsigned char>(*p))) ++p;
  while (p < end && !OGLE_is_blank(static_cast<unsigned char>(*p)) && *p != '\n' && *p != '\r') ++p;
  return p;
}

// The shared record and key queue of every field.
OGLE_Rec* ogle = nullptr;
int focused_field_id = 0;
int char_slot[kQueueSize], vkey_slot[kQueueSize], flag_slot[kQueueSize], id_slot[kQueueSize];
int ctr_slot = 0;

int text_length() { return OGLE_input ? static_cast<int>(OGLE_input->size()) : 0; }

// Moves the caret (or with Shift the moving end of the selection) to pos.
void move_to(int pos, int shift) {
  int s = 0, e = 0;
  OGLE_GetSelection(ogle, &s, &e);
  if (shift) {
    const int anchor = ogle->caret_at_end ? s : e;
    OGLE_SetSelection(ogle, std::min(anchor, pos), std::max(anchor, pos));
    ogle->caret_at_end = pos >= anchor ? 1 : 0;
  } else {
    OGLE_SetSelection(ogle, pos, pos);
  }
  ogle->desired_x = -1;
  OGLE_RevealSelection(ogle);
}

// One queued key for the focused field. The keyboard layer brings the layout's character with
// every key, which for the editing keys is a control byte or nothing: those keys are acted on
// here, and no control byte other than the engine's own key codes ever reaches the text.
void feed_key(int character, int vkey, int flags) {
  const int shift = flags & key_flag_shift;
  switch (vkey) {
    case vk_left: OGLE_Key(ogle, OGLE_key_left, shift); return;
    case vk_right: OGLE_Key(ogle, OGLE_key_right, shift); return;
    case vk_up: OGLE_Key(ogle, OGLE_key_up, shift); return;
    case vk_down: OGLE_Key(ogle, OGLE_key_down, shift); return;
    case vk_back: OGLE_Key(ogle, OGLE_key_backspace, shift); return;
    case kVkHome:
    case kVkPageUp: move_to(0, shift); return;
    case kVkEnd:
    case kVkPageDown: move_to(text_length(), shift); return;
    case vk_delete: {
      int s = 0, e = 0;
      OGLE_GetSelection(ogle, &s, &e);
      if (s == e) {
        if (e >= text_length()) return;
        const char* b = OGLE_input->data();
        e = static_cast<int>(OGLE_utf8_next(b + s, b, b + text_length()) - b);
        OGLE_SetSelection(ogle, s, e);
      }
      OGLE_Key(ogle, OGLE_key_backspace, 0);
      return;
    }
    default: break;
  }
  if (character == 8 || (character >= 28 && character <= 31)) {
    OGLE_Key(ogle, static_cast<char>(character), shift);
    return;
  }
  if (character < 32 || character == 127) return;
  char bytes[4];
  const int n = BTN_utf8_encode(character, bytes);
  if (n > 0) OGLE_Key_MBCS(ogle, n, bytes, shift);
}

}  // namespace

const OGLE_Callbacks OGLE_cbs = {visible,  logical,     set_height,     scroll_to,  get_text, replace_text,
                                 line_height, measure,  fit_fwd,        fit_rev,    draw_string,
                                 draw_selection, word_break, nullptr, nullptr, nullptr};

OGLE_Rec* BTN_enterstring_record() {
  if (!ogle) ogle = OGLE_Create(&OGLE_cbs, nullptr);
  return ogle;
}

int BTN_utf8_encode(int c, char out[4]) {
  if (c < 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

size_t BTN_utf8_cut(const std::string& text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text.size();
  size_t cut = max_bytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

int BTN_enterstring(float x, float y, std::string* text, int max_length, const std::string& label, float width,
                    int take_focus) {
  const int id = BTN_focus_id_at(x, y);
  BTN_enterstring_record();
  widget_draw_calls& draw = widget_drawing();
  const bool clicked = !draw.menu_open() && mnw.mouse_down && mnw.mouse_x >= x && mnw.mouse_x <= x + width &&
                       mnw.mouse_y >= y && mnw.mouse_y <= y + 8;
  const int wish = clicked || (take_focus && BTN_no_focus_yet());
  const int focused =
      BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot, &ctr_slot, kQueueSize, kAcceptMask, wish);

  OGLE_edit = 0;
  if (focused) {
    OGLE_x = static_cast<int>(x);
    OGLE_y = static_cast<int>(y);
    OGLE_input = text;
    OGLE_entry_dx = static_cast<int>(width);
    if (id != focused_field_id) {
      OGLE_dx = OGLE_dy = 0;
      if (!clicked) OGLE_SetSelection(ogle, 0, static_cast<int>(text->size()));
      OGLE_Repaginate(ogle);
      focused_field_id = id;
    }
    // The caller may have changed the text since the last frame.
    int s = 0, e = 0;
    OGLE_GetSelection(ogle, &s, &e);
    const int len = static_cast<int>(text->size());
    e = std::clamp(e, 0, len);
    s = std::clamp(s, 0, e);
    OGLE_SetSelection(ogle, s, e);
    if (mnw.mouse_down && clicked)
      OGLE_Click(ogle, mnw.mouse_x, mnw.mouse_y, 0);
    else if (mnw.mouse_held && !mnw.mouse_down && focused_field_id == id && mnw.mouse_x >= x - 20 &&
             mnw.mouse_x <= x + width + 20 && mnw.mouse_y >= y - 10 && mnw.mouse_y <= y + 18)
      OGLE_Drag(ogle, mnw.mouse_x, mnw.mouse_y);
  }

  // A field that lost the focus is prepared afresh when it gets it back.
  if (!focused && focused_field_id == id) focused_field_id = 0;

  // Keys for this field are fed only while it has the focus and the record is prepared for it.
  // Keys for the focused field wait for it (it may be drawn later in the frame); any other
  // entry is a stale key of a field that lost the focus and is thrown away, never applied to
  // whatever string the record was last prepared for.
  bool waiting = false;
  for (int i = 0; i < ctr_slot && i < kQueueSize; ++i) {
    if (id_slot[i] == 0) continue;
    if (id_slot[i] != id && id_slot[i] == focus_id) {
      waiting = true;
      continue;
    }
    if (focused && id_slot[i] == id && !(flag_slot[i] & key_flag_up) && (char_slot[i] || vkey_slot[i]))
      feed_key(char_slot[i], vkey_slot[i], flag_slot[i]);
    char_slot[i] = vkey_slot[i] = flag_slot[i] = id_slot[i] = 0;
  }
  if (!waiting) ctr_slot = 0;

  BTN_frame1(9, x + width * 0.5f - 2, y + 3, width + 10, 0);
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  BTN_util_draw_label(x - 12, y, 0, left, focused);
  BTN_util_draw_label(x + width + 6, y, 2, right, focused);
  OGL_scissors(x - 1, y - 3, width + 2, 11);
  if (focused)
    OGLE_Draw(ogle, 1);
  else
    draw.text(45, x, y, *text, 9999, 0);
  OGL_scissors_end();

  if (focused && OGLE_edit && max_length >= 0 && text->size() > static_cast<size_t>(max_length)) {
    text->resize(BTN_utf8_cut(*text, static_cast<size_t>(max_length)));
    OGLE_Repaginate(ogle);
    int s = 0, e = 0;
    OGLE_GetSelection(ogle, &s, &e);
    const int len = static_cast<int>(text->size());
    OGLE_SetSelection(ogle, std::min(s, len), std::min(e, len));
  }
  const int edited = focused ? OGLE_edit : 0;
  if (focused) OGLE_input = nullptr;  // no key may reach a string that outlives this call
  return edited;
}

int BTN_enterstring(float x, float y, char* buffer, size_t buffer_size, int max_length, const std::string& label,
                    float width, int take_focus) {
  if (!buffer || buffer_size == 0) return 0;
  const int cap = static_cast<int>(std::min<size_t>(buffer_size - 1, 1u << 30));
  if (max_length < 0 || max_length > cap) max_length = cap;
  std::string text(buffer, strnlen(buffer, buffer_size));
  const int result = BTN_enterstring(x, y, &text, max_length, label, width, take_focus);
  // The cut above only runs in a frame with an edit; the buffer's bound holds always.
  text.resize(BTN_utf8_cut(text, static_cast<size_t>(cap)));
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return result;
}

// Push buttons, check boxes and radio buttons. They never take the keyboard focus: screens
// answer Return and Escape themselves through the per-frame key flags.
#include "runtime/shell_records.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

namespace {

constexpr float kAtlasScale = 1.0f / 512.0f;

bool mouse_in(float x0, float x1, float y0, float y1) {
  return mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

// One 18 x 18 cell of the atlas, given by its centre texel, drawn centred on (x, y).
void draw_cell(float x, float y, float s, float t) {
  const float corners[4][4] = {
      {x - 9, y - 9, (s - 9) * kAtlasScale, (t - 9) * kAtlasScale},
      {x - 9, y + 9, (s - 9) * kAtlasScale, (t + 9) * kAtlasScale},
      {x + 9, y + 9, (s + 9) * kAtlasScale, (t + 9) * kAtlasScale},
      {x + 9, y - 9, (s + 9) * kAtlasScale, (t - 9) * kAtlasScale},
  };
  widget_drawing().quad_2d(392, 0, 1, corners);
}

}  // namespace

int BTN_action(float x, float y, float width, int lit, int style, const std::string& label,
               const std::string& hint) {
  widget_draw_calls& draw = widget_drawing();
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  if (width <= 0) width = draw.text_width(label) + 21;
  BTN_frame1(2, x, y, width, 0);
  if (lit) BTN_frame1(3, x, y, width, 0);
  BTN_util_draw_label(x, y - 3, 1, left, style == 2 && lit);
  if (hint != "-") draw.text(45, x + width / 2 + 10, y + 7, hint, 500, 0);

  if (draw.menu_open() || !mnw.mouse_down || !mouse_in(x - width / 2, x + width / 2, y - 10, y + 10)) return 0;
  if (!lit && style != 0) {
    // Show the pressed button at once: the caller may start a long step before the next frame.
    BTN_frame1(3, x, y, width, 0);
    BTN_util_draw_label(x, y - 3, 1, left, 0);
    draw.swap();
  }
  return 1;
}

int BTN_bool(float x, float y, int* value, const std::string& label, int style) {
  widget_draw_calls& draw = widget_drawing();
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  const float s = style == 1 ? 92 : 148;
  const float t = style == 1 ? 132 : 187;
  draw_cell(x, y + 3, s, t);
  if (*value) draw_cell(x, y + 3, s, t + 19);
  BTN_util_draw_label(x - 12, y, 0, left, 0);
  BTN_util_draw_label(x + 12, y, 2, right, 0);

  if (draw.menu_open() || !mouse_in(x - 8, x + 8, y - 4, y + 12)) return 0;
  draw.set_help(help);
  if (!mnw.mouse_down) return 0;
  *value = *value == 0 ? 1 : 0;
  return 1;
}

int BTN_xbol(float x, float y, bool* value, const std::string& label) {
  int v = *value ? 1 : 0;
  const int hit = BTN_bool(x, y, &v, label, 0);
  *value = v != 0;
  return hit;
}

int BTN_xchr(float x, float y, char* value, const std::string& label) {
  int v = *value;
  const int hit = BTN_bool(x, y, &v, label, 0);
  *value = static_cast<char>(v);
  return hit;
}

int BTN_xbyt(float x, float y, unsigned char* value, const std::string& label) {
  int v = *value;
  const int hit = BTN_bool(x, y, &v, label, 0);
  *value = static_cast<unsigned char>(v);
  return hit;
}

int BTN_is_int(float x, float y, int* variable, int value, const std::string& label) {
  int set = *variable == value ? 1 : 0;
  const int hit = BTN_bool(x, y, &set, label, 1);
  // A click on a set radio button clears its flag, but the variable keeps the value: only
  // another button moves it.
  if (set) *variable = value;
  return hit;
}

// The digit-spinner number fields, the vertical scroll bar and the horizontal slider.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "graphics/draw_2d.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/keyboard.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

int BTN_number_hot_digit = 0;

namespace {

constexpr int kQueueSize = 64;
constexpr int kNumberMask = 0xD0;

int char_slot[kQueueSize], vkey_slot[kQueueSize], flag_slot[kQueueSize], id_slot[kQueueSize];
int ctr_slot = 0;

int64_t power10(int n) {
  int64_t p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

bool in_box(float x0, float x1, float y0, float y1) {
  return mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

// The number field's cells (up arrow over, down arrow under each) and its value.
int number_field(float x, float y, double* value, int digits, int decimals, double minimum, double maximum,
                 const std::string& label, bool exact_int) {
  digits = std::clamp(digits, 1, 10);
  decimals = std::clamp(decimals, 0, digits);
  widget_draw_calls& draw = widget_drawing();
  const int id = BTN_focus_id_at(x, y);
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  const float row_right = x + 10.0f * static_cast<float>(digits);
  const bool in_row = in_box(x, row_right, y - 2, y + 8);
  if (in_row && !help.empty()) draw.set_help(help);

  int wish = 0;
  if (!draw.menu_open() && mnw.mouse_down && in_row) {
    BTN_number_hot_digit = static_cast<int>((mnw.mouse_x - 2 - x) / 10);
    wish = 1;
  }
  const int focused =
      BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot, &ctr_slot, kQueueSize, kNumberMask, wish);
  if (focused) BTN_number_hot_digit = std::clamp(BTN_number_hot_digit, 0, digits - 1);

  double v = *value;
  bool changed = false;
  // Keys for the focused widget wait for it if it comes later in the frame; others are stale.
  bool waiting = false;
  for (int i = 0; i < ctr_slot && i < kQueueSize; ++i) {
    if (id_slot[i] != 0 && id_slot[i] != id && id_slot[i] == focus_id) {
      waiting = true;
      continue;
    }
    if (id_slot[i] == 0) continue;
    if (focused && id_slot[i] == id && !(flag_slot[i] & key_flag_up)) {
      v = BTN_number_key(v, digits, decimals, minimum, maximum, char_slot[i], vkey_slot[i], &BTN_number_hot_digit);
      changed = true;
    }
    char_slot[i] = vkey_slot[i] = flag_slot[i] = id_slot[i] = 0;
  }
  if (!waiting) ctr_slot = 0;

  // Clicks on the arrows above and below the cells; a click on a border steps both cells.
  if (!draw.menu_open() && !in_row && in_box(x, row_right, y - 18, y + 24)) {
    const bool up = mnw.mouse_y > y + 3;
    mnw.cursor_request = up ? 13 : 14;
    if (mnw.mouse_down) {
      const int64_t scale = power10(decimals);
      int64_t n = std::llround(v * static_cast<double>(scale));
      for (int k = 0; k < digits; ++k) {
        const float cx = x + 10.0f * static_cast<float>(k);
        if (mnw.mouse_x < cx || mnw.mouse_x > cx + 10) continue;
        const int64_t place = power10(digits - 1 - k);
        n += up ? place : -place;
      }
      v = static_cast<double>(n) / static_cast<double>(scale);
      changed = true;
    }
  }

  v = BTN_number_settle(v, decimals, minimum, maximum);
  if (exact_int) {
    if (changed || v != *value) *value = v;
  } else {
    *value = v;
  }

  BTN_frame1(9, x + 5.0f * static_cast<float>(digits) - 1, y + 3, 10.0f * static_cast<float>(digits) + 15, 0);
  for (int j = 0; j < digits; ++j) {
    const float cx = x + 10.0f * static_cast<float>(j) + 6;
    BTN_util_element(cx, y - 10, 90, 187, 7, 9, 0);
    BTN_util_element(cx, y + 18, 90, 206, 7, 9, 0);
  }
  BTN_util_draw_label(x - 12, y, 0, left, focused);
  BTN_util_draw_label(row_right + 12, y, 2, right, focused);
  if (focused) OGL_fillrect(8, 1, x + 10.0f * static_cast<float>(BTN_number_hot_digit) + 2, y - 2, 9, 11);
  draw.number(45, x + 3, y, static_cast<float>(*value), digits, decimals);
  return changed ? 1 : 0;
}

// The largest value with this many digits and decimals: 9.99... x 10^(digits - 1 - decimals).
double largest(int digits, int decimals) {
  digits = std::clamp(digits, 1, 10);
  decimals = std::clamp(decimals, 0, digits);
  return static_cast<double>(power10(digits) - 1) / static_cast<double>(power10(decimals));
}

}  // namespace

double BTN_number_key(double value, int digits, int decimals, double minimum, double maximum, int character,
                      int vkey, int* hot) {
  digits = std::clamp(digits, 1, 10);
  decimals = std::clamp(decimals, 0, digits);
  const int64_t scale = power10(decimals);
  const bool negative = value < 0;
  int64_t n = std::llround(std::fabs(value) * static_cast<double>(scale));
  int64_t sn = negative ? -n : n;
  const int64_t place = power10(digits - 1 - std::clamp(*hot, 0, digits - 1));
  auto result = [&](int64_t s) { return static_cast<double>(s) / static_cast<double>(scale); };
  if (vkey == vk_left) {
    *hot = *hot <= 0 ? digits - 1 : *hot - 1;
    return value;
  }
  if (vkey == vk_right) {
    *hot = *hot + 1 >= digits ? 0 : *hot + 1;
    return value;
  }
  if (vkey == vk_up) return result(sn + place);
  if (vkey == vk_down) return result(sn - place);
  if (character >= '0' && character <= '9') {
    const int64_t old_digit = (n / place) % 10;
    n += (character - '0' - old_digit) * place;
    *hot = *hot + 1 >= digits ? 0 : *hot + 1;
    return result(negative ? -n : n);
  }
  if (character == '+' && minimum < 0) return result(n);
  if (character == '-' && maximum >= 0) return result(-n);
  return value;
}

double BTN_number_settle(double value, int decimals, double minimum, double maximum) {
  if (value < minimum) value = minimum;
  if (value > maximum) value = maximum;
  const double scale = static_cast<double>(power10(std::clamp(decimals, 0, 10)));
  return std::round(value * scale) / scale;
}

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float minimum, float maximum,
                  const std::string& label) {
  double v = *value;
  const int r = number_field(x, y, &v, digits, decimals, minimum, maximum, label, false);
  *value = static_cast<float>(v);
  return r;
}

int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative, const std::string& label) {
  const float hi = static_cast<float>(largest(digits, decimals));
  return BTN_flt_range(x, y, value, digits, decimals, allow_negative ? -hi : 0, hi, label);
}

int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float minimum, float maximum,
                  const std::string& label) {
  double v = *value;
  const int r = number_field(x, y, &v, digits, decimals, minimum, maximum, label, true);
  if (r) *value = v;
  return r;
}

int BTN_int_range(float x, float y, int* value, int digits, float minimum, float maximum, const std::string& label) {
  // Nine digits always fit an int; the value is held in a double, which keeps every int exactly.
  digits = std::clamp(digits, 1, 9);
  double v = *value;
  const int r = number_field(x, y, &v, digits, 0, minimum, maximum, label, true);
  if (v != static_cast<double>(*value)) *value = static_cast<int>(v);
  return r;
}

int BTN_int(float x, float y, int* value, int digits, int allow_negative, const std::string& label) {
  digits = std::clamp(digits, 1, 9);
  const double hi = largest(digits, 0);
  double v = *value;
  const int r = number_field(x, y, &v, digits, 0, allow_negative ? -hi : 0, hi, label, true);
  if (v != static_cast<double>(*value)) *value = static_cast<int>(v);
  return r;
}

int BTN_fltij(int i, int j, float* value, int digits, int decimals, int allow_negative, const std::string& label) {
  return BTN_flt(75.0f * i + 75 - 10.0f * digits, 50.0f * j + 25, value, digits, decimals, allow_negative, label);
}

int BTN_flt_rangeij(int i, int j, float* value, int digits, int decimals, float minimum, float maximum,
                    const std::string& label) {
  return BTN_flt_range(75.0f * i + 75 - 10.0f * digits, 50.0f * j + 25, value, digits, decimals, minimum, maximum,
                       label);
}

void BTN_display_number(float x, float y, float value, int digits, int decimals, const std::string& label) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  const float row_right = x + 10.0f * static_cast<float>(digits);
  if (in_box(x, row_right, y - 2, y + 8) && !help.empty()) widget_drawing().set_help(help);
  BTN_frame1(9, x + 5.0f * static_cast<float>(digits) - 1, y + 3, 10.0f * static_cast<float>(digits) + 15, 0);
  BTN_util_draw_label(x - 12, y, 0, left, 0);
  BTN_util_draw_label(row_right + 12, y, 2, right, 0);
  widget_drawing().number(45, x + 4, y, value, digits, decimals);
}

int BTN_vert_slider(int index, float x, float y_bottom, float y_top, int minimum, int maximum, int* value) {
  static int slider_grabbed[4] = {0, 0, 0, 0};
  BTN_frame0(6, x, (y_bottom + y_top) / 2, y_top - y_bottom);
  if (minimum >= maximum) return 0;
  if (index < 0 || index > 3) {
    __MACIBM_alert(0, "Too many sliders!", "", "", "", t_exit, __FILE__, __LINE__);
    return 0;
  }
  const double span = static_cast<double>(maximum) - minimum;
  auto thumb_of = [&](int v) {
    const double t = (y_top - 10) + (static_cast<double>(v) - minimum) / span * ((y_bottom + 9) - (y_top - 10));
    return static_cast<float>(std::clamp(t, static_cast<double>(std::min(y_bottom + 9, y_top - 10)),
                                         static_cast<double>(std::max(y_bottom + 9, y_top - 10))));
  };
  const float thumb = thumb_of(*value);
  int& grabbed = slider_grabbed[index];
  if (!mnw.mouse_held)
    grabbed = 0;
  else if (std::fabs(mnw.mouse_x - x) <= 11 && std::fabs(mnw.mouse_y - thumb) <= 11)
    grabbed = 1;
  if (grabbed) {
    // A bar 22 units tall has no room to drag in: the thumb then stays where it is.
    const double range_y = (static_cast<double>(y_top) - 11) - (static_cast<double>(y_bottom) + 11);
    if (range_y != 0) {
      const double f = ((y_top - 11) - static_cast<double>(mnw.mouse_y)) / range_y;
      *value = static_cast<int>(std::clamp(minimum + f * span, static_cast<double>(minimum),
                                           static_cast<double>(maximum)));
    }
  } else if ((mnw.mouse_down || (mnw.mouse_long && xtim.act_tick[xtim_class::tick_0_2s])) &&
             std::fabs(mnw.mouse_x - x) <= 11) {
    const float my = mnw.mouse_y;
    if (my >= y_top && my <= y_top + 20)
      *value -= 1;
    else if (my >= y_bottom - 20 && my <= y_bottom)
      *value += 1;
    else if (my >= y_bottom && my <= y_top)
      *value += my >= thumb ? -10 : 10;
  }
  *value = std::clamp(*value, minimum, maximum);
  const int colour = grabbed ? 47 : 0;
  BTN_util_element(x, y_top + 8, 92, 277, 9, 11, colour);
  BTN_util_element(x, thumb_of(*value), 92, 252, 9, 12, colour);
  BTN_util_element(x, y_bottom - 10, 92, 227, 9, 11, colour);
  return grabbed;
}

int BTN_horz_slider(float x, float y, float width, int fill_colour, float left_value, float right_value, float* value,
                    int interactive, const std::string& label, const std::string& caption) {
  if (left_value < right_value)
    right_value = std::max(right_value, left_value + 0.01f);
  else
    left_value = std::max(left_value, right_value + 0.01f);
  const float lo = std::min(left_value, right_value), hi = std::max(left_value, right_value);
  widget_draw_calls& draw = widget_drawing();
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  BTN_frame1(7, x + width / 2, y, width, 0);
  BTN_util_draw_label(x - 8, y, 0, left, 0);
  BTN_util_draw_label(x + width + 8, y, 2, right, 0);
  if (in_box(x, x + width, y - 7, y + 7) && !help.empty()) draw.set_help(help);
  if (!caption.empty()) draw.text(43, x + width / 2, y + 10, caption, 9999, 1);
  int result = 0;
  if (interactive && mnw.mouse_held && in_box(x - 20, x + width + 20, y - 20, y + 20) && width > 0) {
    *value = std::clamp(lo + (mnw.mouse_x - x) / width * (hi - lo), lo, hi);
    result = 1;
  }
  const float f = std::clamp(width * (*value - left_value) / (right_value - left_value), 0.0f, width);
  if (fill_colour != 12 && f > 0) {
    const float b = 2 * std::round(static_cast<float>(static_cast<int>(f)) / 2);
    BTN_frame1(8, x + b / 2, y + 4, b, fill_colour);
  }
  if (interactive) {
    const float kx = std::clamp(x + (*value - lo) / (hi - lo) * width, x, x + width);
    BTN_util_element(kx, y + 2, 272, 278, 10, 11, 0);
  }
  return result;
}

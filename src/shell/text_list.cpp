// The pop-up text list and the character picker.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "graphics/draw_2d.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/keyboard.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

const char BTN_chars_alphabet[39] = " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";

namespace {

constexpr int kMaxItems = 300;
constexpr float kRow = 12;

bool in_box(float x0, float x1, float y0, float y1) {
  return mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

void list_fatal(const char* what, const std::string& items, const std::string& label) {
  __MACIBM_alert(0, what, items, "", label, t_exit, __FILE__, __LINE__);
}

}  // namespace

int BTN_textlist(float x, float y, int* choice, const std::string& items, const std::string& label) {
  widget_draw_calls& draw = widget_drawing();
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  if (items.find('|') != std::string::npos) {
    list_fatal("Found | char in text string!", items, label);
    return 0;
  }
  std::vector<std::string> list(1);
  for (char c : items) {
    if (c != '-') {
      list.back() += c;
      continue;
    }
    if (list.size() >= kMaxItems) {
      list_fatal("BTN_text_list overflow!", items, label);
      return 0;
    }
    list.emplace_back();
  }
  const int last = static_cast<int>(list.size()) - 1;
  *choice = std::clamp(*choice, 0, last);

  float w = 0;
  for (const std::string& item : list) w = std::max(w, std::trunc(draw.text_width(item)));
  BTN_frame1(10, x + 10, y + 5, w + 28, 0);
  BTN_util_draw_label(x - w / 2 - 5, y, 0, left, 0);
  BTN_util_draw_label(x + w / 2 + 25, y, 2, right, 0);

  const int code = static_cast<int>(y * 1024 + x);
  const bool in_hit = in_box(x - w / 2 - 5, x + w / 2 + 25, y - 2, y + 8);
  if (mnw.mouse_down && code != active_popup_code && in_hit && !draw.menu_open()) active_popup_code = code;

  int result = 0;
  if (select_popup_code == code) {
    *choice = std::clamp(popup_menu_select, 0, last);
    select_popup_code = 0;
    result = 1;
  }

  if (code == active_popup_code && escape_hit) {
    // Escape closes the list without a pick.
    active_popup_code = 0;
    if (mnw.open_menu == popup_menu) mnw.open_menu = -1;
    escape_hit = 0;
  }

  if (code == active_popup_code && static_cast<int>(menu.size()) > popup_menu) {
    mnw.open_menu = popup_menu;
    menu_struct& m = menu[popup_menu];
    m.parent = -1;
    // The list is placed once from the choice: the chosen item over the field, then moved as a
    // whole (in window units, with the screen's origin) so that it fits the window, the top
    // winning when the list is taller than the window. The caller's choice is not touched.
    const float window_h = mnw.pix_per_unit > 0 ? static_cast<float>(mnw.draw_h) / mnw.pix_per_unit
                                                 : static_cast<float>(mnw.draw_h);
    const int n = static_cast<int>(list.size());
    float top = y - kRow * static_cast<float>(0 - *choice) + 9;  // item 0's top, screen units
    float bottom = top - kRow * static_cast<float>(n);
    if (mnw.origin_y + bottom < 0) {
      const float rows = std::ceil(-(mnw.origin_y + bottom) / kRow);
      top += rows * kRow;
      bottom += rows * kRow;
    }
    if (window_h > 0 && mnw.origin_y + top > window_h) {
      const float limit = window_h;
      const float rows = std::ceil((mnw.origin_y + top - limit) / kRow);
      top -= rows * kRow;
    }
    const float shift = (top - 9) - y;  // item i lies at y + shift - 12 i
    m.x1 = static_cast<short>(static_cast<int>(x - w / 2) - 2);
    m.x2 = static_cast<short>(static_cast<int>(x + w / 2) + 4);
    m.y1 = static_cast<short>(static_cast<int>(y + shift - kRow * static_cast<float>(last)));
    m.y2 = static_cast<short>(m.y1 + kRow * static_cast<float>(n));
    m.items.resize(list.size());
    for (int i = 0; i < n; ++i) {
      item_struct& it = m.items[static_cast<size_t>(i)];
      it.x1 = m.x1;
      it.x2 = m.x2;
      it.y1 = static_cast<short>(static_cast<int>(y + shift - kRow * static_cast<float>(i) - 3));
      it.y2 = static_cast<short>(static_cast<int>(y + shift - kRow * static_cast<float>(i) + 9));
      it.label = list[static_cast<size_t>(i)];
      it.code = 0;
    }
  } else {
    draw.text(38, x, y, list[static_cast<size_t>(*choice)], 9999, 1);
    if (in_hit && !help.empty()) draw.set_help(help);
  }
  return result;
}

int BTN_chars_index(char c) {
  const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (int i = 0; i < 38; ++i)
    if (BTN_chars_alphabet[i] == u) return i;
  return 1;
}

void BTN_chars(float x, float y, char* text, int length, const std::string& label) {
  static int char_slot[64], vkey_slot[64], flag_slot[64], id_slot[64], ctr_slot = 0;
  static int hot_digit = 0;
  if (!text || length <= 0) return;
  widget_draw_calls& draw = widget_drawing();
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  const int id = BTN_focus_id_at(x, y);
  const float row_right = x + 10.0f * static_cast<float>(length);
  bool row_click = false;
  if (!draw.menu_open() && mnw.mouse_down && in_box(x, row_right, y - 2, y + 8)) {
    hot_digit = static_cast<int>((mnw.mouse_x - x) / 10);
    row_click = true;
  }
  const int focused =
      BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot, &ctr_slot, 64, 0x1F0, row_click ? 1 : 0);
  if (focused) hot_digit = std::clamp(hot_digit, 0, length - 1);
  auto step = [&](int i, int by) { text[i] = BTN_chars_alphabet[(BTN_chars_index(text[i]) + by + 38) % 38]; };
  // Keys for the focused widget wait for it if it comes later in the frame; others are stale.
  bool waiting = false;
  for (int i = 0; i < ctr_slot && i < 64; ++i) {
    if (id_slot[i] != 0 && id_slot[i] != id && id_slot[i] == focus_id) {
      waiting = true;
      continue;
    }
    if (id_slot[i] == id && focused && !(flag_slot[i] & key_flag_up)) {
      const int c = char_slot[i], vk = vkey_slot[i];
      if (vk == vk_left)
        hot_digit = hot_digit <= 0 ? length - 1 : hot_digit - 1;
      else if (vk == vk_right)
        hot_digit = hot_digit + 1 >= length ? 0 : hot_digit + 1;
      else if (vk == vk_up)
        step(hot_digit, -1);
      else if (vk == vk_down)
        step(hot_digit, 1);
      else if (c == ' ' || c == '-' || (c >= '0' && c <= '9') || (c < 128 && std::isalpha(c))) {
        text[hot_digit] = static_cast<char>(std::toupper(c));
        hot_digit = hot_digit + 1 >= length ? 0 : hot_digit + 1;
      }
    }
    char_slot[i] = vkey_slot[i] = flag_slot[i] = id_slot[i] = 0;
  }
  if (!waiting) ctr_slot = 0;

  BTN_frame1(9, x + 5.0f * static_cast<float>(length) + 1, y + 3, 10.0f * static_cast<float>(length) + 11, 0);
  for (int i = 0; i < length; ++i) {
    const float cx = x + 10.0f * static_cast<float>(i) + 6;
    BTN_util_element(cx, y - 10, 90, 187, 7, 9, 0);
    BTN_util_element(cx, y + 18, 90, 206, 7, 9, 0);
  }
  BTN_util_draw_label(x - 6, y, 0, left, focused);
  if (focused) OGL_fillrect(8, 1, x + 10.0f * static_cast<float>(hot_digit) + 2, y - 2, 9, 11);
  for (int i = 0; i < length; ++i) {
    const float cx = x + 10.0f * static_cast<float>(i);
    draw.text(45, cx + 2, y, std::string(1, text[i]), 9999, 0);
    if (in_box(cx, cx + 10, y - 2, y + 8) && !help.empty()) draw.set_help(help);
    if (!row_click && mnw.mouse_down && !draw.menu_open() && in_box(cx, cx + 10, y - 18, y + 24)) {
      const bool up = mnw.mouse_y > y + 3;
      mnw.cursor_request = up ? 13 : 14;
      step(i, up ? -1 : 1);
    }
  }
}

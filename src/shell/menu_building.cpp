// The in-window menus: built in code or from a menu file, drawn by standard_gui.
#include <algorithm>

#include "files/mapped_file.h"
#include "graphics/draw_2d.h"
#include "runtime/conversions.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/menus.h"
#include "shell/placeholders.h"
#include "shell/translation.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

float m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;

namespace {

constexpr int kCodedLanguage = 100000;
constexpr int kMaxItems = 300;
constexpr int kAtlasMenuArrowS = 167, kAtlasMenuArrowT = 187;

void menu_fatal(const char* message, const std::string& fourth, int line) {
  __MACIBM_alert(0, message, "", "", fourth, t_exit, "hl_mnw", line);
}

bool menu_index_ok(int index) { return index >= 0 && index < static_cast<int>(menu.size()); }

int item_height(const std::string& label) { return !label.empty() && label[0] == '-' ? 2 : 12; }

bool selectable(const std::string& label) { return !label.empty() && label[0] != '-' && label[0] != '='; }

}  // namespace

float menu_dx(const std::string& text) {
  if (mnw.language == kCodedLanguage) return 8.0f * static_cast<float>(text.size());
  return widget_drawing().text_width(text);
}

int accept_item(int) { return 1; }

void MACIBM_clear_items(int index) {
  if (menu_index_ok(index)) menu[static_cast<size_t>(index)].items.clear();
}

void MACIBM_create_menu(int index, int code, std::string name) {
  static int x = 0;
  // A negative index is as far out of the table as one past its end.
  if (index < 0 || index > menu_count - 1 || !menu_index_ok(index)) {
    menu_fatal("Menu index out of range in create_menu!", name, 72);
    return;
  }
  if (name.size() >= 40) name.resize(40);
  menu_struct& m = menu[static_cast<size_t>(index)];
  m.name = name;
  const int w = static_cast<int>(menu_dx(name)) + 30;
  if (code == 0) {
    m.parent = -1;
    if (index == 0) x = 0;
    m.x1 = static_cast<short>(x);
    m.y1 = static_cast<short>(mnw.draw_h - 18);
    m.x2 = static_cast<short>(x + w);
    m.y2 = static_cast<short>(mnw.draw_h);
    if (name != "Plugins") x += w;
    return;
  }
  const int parent = code / 300, item = code % 300;
  if (parent < 0 || item < 0 || !menu_index_ok(parent) ||
      item >= static_cast<int>(menu[static_cast<size_t>(parent)].items.size())) {
    menu_fatal("Menu index out of range in create_menu!", name, 72);
    return;
  }
  const item_struct& it = menu[static_cast<size_t>(parent)].items[static_cast<size_t>(item)];
  m.parent = parent;
  m.x1 = it.x1;
  m.y1 = it.y1;
  m.x2 = it.x2;
  m.y2 = it.y2;
}

void MACIBM_append_menu(int menu_index, int item_index, int command_code, std::string label, int) {
  if (menu_index < 0 || item_index < 0) return;
  if (menu_index > menu_count - 1 || !menu_index_ok(menu_index)) {
    menu_fatal("Menu index out of range in append_menu!", label, 112);
    return;
  }
  if (item_index > kMaxItems - 1) {
    menu_fatal("Item index out of range in append_menu!", label, 113);
    return;
  }
  if (label.size() >= 40) {
    menu_fatal("Menu name too long in append_menu!", label, 114);
    return;
  }
  menu_struct& m = menu[static_cast<size_t>(menu_index)];
  if (static_cast<int>(m.items.size()) < item_index + 1) m.items.resize(static_cast<size_t>(item_index) + 1);
  m.items[static_cast<size_t>(item_index)].label = label;
  m.items[static_cast<size_t>(item_index)].code = command_code;
  // Lay out every item from the first: a grown array gets empty items between.
  float widest = 0;
  for (int i = 0; i <= item_index; ++i) {
    item_struct& it = m.items[static_cast<size_t>(i)];
    const int h = item_height(it.label);
    if (i == 0) {
      if (m.parent == -1) {
        it.y2 = static_cast<short>(m.y1 - 2);
        it.y1 = static_cast<short>(m.y1 - h - 2);
      } else {
        it.y1 = static_cast<short>(m.y1 - 2);
        it.y2 = static_cast<short>(m.y2 - 2);
      }
    } else {
      const item_struct& prev = m.items[static_cast<size_t>(i) - 1];
      it.y2 = prev.y1;
      it.y1 = static_cast<short>(prev.y1 - h);
    }
    widest = std::max(widest, menu_dx(it.label) + 30);
  }
  for (int i = 0; i <= item_index; ++i) {
    item_struct& it = m.items[static_cast<size_t>(i)];
    it.x1 = m.x1;
    it.x2 = static_cast<short>(m.x1 + static_cast<int>(widest));
  }
}

void MACIBM_remove_menu_item(int menu_index, int item_index) {
  if (menu_index < 0 || item_index < 0) return;
  if (menu_index > menu_count - 1 || !menu_index_ok(menu_index)) {
    menu_fatal("Menu index out of range in remove_menu_item!", "", 181);
    return;
  }
  if (item_index >= kMaxItems) {
    menu_fatal("Item index out of range in remove_menu_item!", "", 182);
    return;
  }
  std::vector<item_struct>& items = menu[static_cast<size_t>(menu_index)].items;
  if (item_index >= static_cast<int>(items.size())) return;  // nothing there to remove
  const int h = items[static_cast<size_t>(item_index)].y2 - items[static_cast<size_t>(item_index)].y1;
  items.erase(items.begin() + item_index);
  for (size_t i = static_cast<size_t>(item_index); i < items.size(); ++i) {
    items[i].y1 = static_cast<short>(items[i].y1 + h);
    items[i].y2 = static_cast<short>(items[i].y2 + h);
  }
}

void MACIBM_read_menus(const std::string& folder, const std::string& file_name) {
  const std::string path = folder + "menus/" + UTL_lang_get_folder(mnw.language) + file_name;
  xmap_class map(path);
  static const int versions[] = {1, 0};
  if (!map.mapped() || map.check_file(xmap_text, versions, nullptr, nullptr) != 1) {
    __MACIBM_alert(0, "Cannot open file!", path, "Trash this copy and re-install Skyrill.", "", t_exit, "hl_mnw",
                   967);
    return;
  }
  int menu_index = -1, item_index = 0;
  bool in_menu = false;
  const char* p = map.cursor;
  const char* end = map.begin + map.size();
  while (p < end) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    const char* line_begin = p;
    while (p < end && *p != '\0' && *p != '\r' && *p != '\n') ++p;
    const std::string line(line_begin, p);
    if (p < end) ++p;
    if (line.empty()) continue;
    if (in_menu && line == "-") {
      in_menu = false;
      continue;
    }
    // The number, then blanks, then the text; a line without a blank is the number alone.
    const size_t blank = line.find_first_of(" \t");
    const std::string number = line.substr(0, blank);
    std::string text;
    if (blank != std::string::npos) {
      const size_t start = line.find_first_not_of(" \t", blank);
      if (start != std::string::npos) text = line.substr(start);
    }
    if (mnw.language == kCodedLanguage) char_string_to_int_string(text);
    if (!in_menu) {
      MACIBM_create_menu(++menu_index, str_to_int(number), text);
      item_index = 0;
      in_menu = true;
    } else {
      MACIBM_append_menu(menu_index, item_index++, str_to_int(number), text, 0);
    }
  }
}

void standard_gui() {
  const int open = mnw.open_menu;
  if (!menu_index_ok(open)) return;
  widget_draw_calls& draw = widget_drawing();
  const bool popup = open == popup_menu;
  if (!popup) {
    BTN_frame1(0, static_cast<float>(mnw.draw_w) / 2, static_cast<float>(mnw.draw_h) - 9,
               static_cast<float>(mnw.draw_w), 0);
    for (int i = 0; i < popup_menu && i < static_cast<int>(menu.size()); ++i) {
      const menu_struct& m = menu[static_cast<size_t>(i)];
      if (m.name.empty() || m.parent != -1) continue;
      draw.text(38, m.x1 + 10, m.y1 + 6, m.name, 9999, 0);
    }
  }
  const menu_struct& om = menu[static_cast<size_t>(open)];
  m_x1 = m_y1 = 9999;
  m_x2 = m_y2 = 0;
  for (const item_struct& it : om.items) {
    if (it.label.empty()) continue;
    m_x1 = std::min<float>(m_x1, it.x1);
    m_x2 = std::max<float>(m_x2, it.x2);
    m_y1 = std::min<float>(m_y1, it.y1 - 2);
    m_y2 = std::max<float>(m_y2, it.y2 + 2);
  }
  if (m_x2 > 0) BTN_frame2(17, m_x1, m_y1, m_x2 - m_x1, m_y2 - m_y1, "");
  if (!popup) OGL_fillrect(36, 0.25f, om.x1, om.y1, om.x2 - om.x1, om.y2 - om.y1);
  const item_struct* prev = nullptr;
  for (const item_struct& it : om.items) {
    if (it.label.empty()) {
      prev = &it;
      continue;
    }
    if (selectable(it.label) && mnw.mouse_x >= it.x1 && mnw.mouse_x <= it.x2 && mnw.mouse_y >= it.y1 &&
        mnw.mouse_y <= it.y2)
      OGL_fillrect(36, 0.25f, it.x1, it.y1, it.x2 - it.x1, it.y2 - it.y1);
    if (prev && prev->x1 != it.x1) {
      OGL_line(35, 1, it.x1 - 1, m_y1 - 1, it.x1 - 1, m_y2);
      OGL_line(37, 1, it.x1, m_y1 - 1, it.x1, m_y2);
    }
    if (it.label[0] == '-') {
      OGL_line(35, 1, it.x1, it.y1 + 1, it.x2 - 1, it.y1 + 1);
      OGL_line(37, 1, it.x1, it.y1, it.x2 - 1, it.y1);
    } else {
      draw.text(38, static_cast<float>(it.x1 + (popup ? 3 : 18)), static_cast<float>(it.y1 + 3), it.label, 9999, 0);
    }
    prev = &it;
  }
  for (int i = 0; i < static_cast<int>(menu.size()); ++i) {
    const menu_struct& m = menu[static_cast<size_t>(i)];
    if (i == open || m.name.empty() || m.parent != open) continue;
    BTN_util_element(m.x2 - 8, m.y1 + 6, kAtlasMenuArrowS, kAtlasMenuArrowT, 4.5f, 4.5f, 0);
  }
}

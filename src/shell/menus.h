// The in-window menu table: a bar of menu titles, drop-down menus and the one pop-up list the
// text list widget uses (entry 1519). In this program start-up only clears the table, so only
// the pop-up list is ever filled; the event procedure opens menus and chooses items
// (MACIBM_handleclick).
#pragma once

#include <string>
#include <vector>

// One item of a menu. An empty label, or one beginning with '-' (a separator) or '=', is not
// selectable.
struct item_struct {
  std::string label;
  int code = 0;  // passed to APP_handlemenu when chosen
  short x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// One menu. An empty name marks a free entry.
struct menu_struct {
  std::string name;
  int parent = -1;  // -1 in the bar, else the menu whose item it hangs from
  short x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // the title's box: left, bottom, right, top
  std::vector<item_struct> items;
};

enum { menu_count = 1520, popup_menu = 1519 };

extern std::vector<menu_struct> menu;
// The pop-up list's link to the widget that opened it.
extern int popup_menu_select;
extern int select_popup_code;
extern int active_popup_code;

// With mode 1: exactly 1520 cleared entries; any other mode does nothing.
void MACIBM_clear_menus(int mode);
// Name emptied, parent -1, box (0, 0, 0, 0), items removed.
void MACIBM_clear_menu(int index);

// Building and drawing the menus.
// Items removed.
void MACIBM_clear_items(int index);
// A menu in the bar (code 0) or a sub-menu hanging from item code % 300 of menu code / 300.
void MACIBM_create_menu(int index, int code, std::string name);
// Sets one item of a menu (the array grows with empty items as needed) and lays out the menu.
void MACIBM_append_menu(int menu_index, int item_index, int command_code, std::string label, int unused);
// Removes one item; the items below it move up by its height. An item past the end: nothing.
void MACIBM_remove_menu_item(int menu_index, int item_index);
// Builds menus from folder + "menus/" + the language's folder + file_name.
void MACIBM_read_menus(const std::string& folder, const std::string& file_name);
// Draws the open menu (the bar and its drop-down, or the pop-up list); once per frame.
void standard_gui();
// The width of a text for the menu layout; 8 units a byte under the coded language 100000.
float menu_dx(const std::string& text);
int accept_item(int item);
// The box around the open menu's items while it is drawn.
extern float m_x1, m_y1, m_x2, m_y2;

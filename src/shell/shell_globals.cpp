// The globals unit: every shell global is built here, in this order, before the program entry.
#include "shell/shell_globals.h"

#include "shell/menus.h"

std::string stl_global;
stls_struct stls;
std::vector<menu_struct> menu;
int popup_menu_select = 0;
int select_popup_code = 0;
int active_popup_code = 0;

int return_hit = 0;
int escape_hit = 0;
int delete_hit = 0;
int plot_init_lights = 0;

namespace {
const shell_screen_entry screens[] = {
    {1, "EULA", -1, 500, 300},   {2, "Prefs", -1, 600, 380},   {992, "Livery", -1, 561, 474},
    {993, nullptr, 612, 600, 300}, {994, nullptr, 600, 420, 250}, {995, nullptr, 601, 300, 166},
    {996, nullptr, 601, 700, 146}, {997, nullptr, 601, 700, 206}, {998, nullptr, 613, 561, 474},
    {999, nullptr, 76, 330, 474},
};
}  // namespace

const shell_screen_entry* MACIBM_screen_entry(int id) {
  for (const shell_screen_entry& s : screens)
    if (s.id == id) return &s;
  return nullptr;
}

std::string MACIBM_screen_title(const shell_screen_entry& entry) {
  return entry.title ? std::string(entry.title) : stls.texts[entry.title_slot];
}

void MACIBM_clear_menus(int mode) {
  if (mode != 1) return;
  menu.assign(menu_count, menu_struct());
  for (int i = 0; i < menu_count; ++i) MACIBM_clear_menu(i);
}

void MACIBM_clear_menu(int index) {
  if (index < 0 || index >= static_cast<int>(menu.size())) return;
  menu_struct& m = menu[index];
  m.name.clear();
  m.parent = -1;
  m.x1 = m.y1 = m.x2 = m.y2 = 0;
  m.items.clear();
}

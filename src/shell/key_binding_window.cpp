// The key-binding window.
#include "shell/key_binding_window.h"

#include <algorithm>
#include <vector>

#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/file_browser.h"
#include "shell/keyboard.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

namespace {

constexpr float kTopReserve = 34;
constexpr float kListWidth = 345;
constexpr float kColumnWidth = 184;
constexpr float kButtonX = 78, kButtonWidth = 120, kCommandX = 140;
constexpr float kRightTop = 685;

std::string T(const char* english) { return UTL_translate_string(english); }

// The row's label: the modifiers and a space (none without modifiers) before the key's name;
// the leading "-" keeps the label on one line.
std::string row_label(const key_binding& b) {
  std::string label = "-";
  if (b.modifiers & key_modifier_mask) label += keys_class::flag_to_str(b.modifiers & key_modifier_mask) + " ";
  return label + keys_class::vkey_to_str(b.vkey);
}

std::string command_path(int command) {
  return command >= 0 && command < static_cast<int>(cmnd.paths.size()) ? cmnd.paths[command] : std::string();
}

// The first command whose path lies in the group; -1 when none does.
int first_command_in(const std::string& group) {
  for (size_t i = 0; i < cmnd.paths.size(); ++i)
    if (cmnd.paths[i].size() > group.size() && cmnd.paths[i].compare(0, group.size(), group) == 0)
      return static_cast<int>(i);
  return -1;
}

// The entries of a level, each once, in the registry's order: the branches (ending in "/") or
// the commands.
std::vector<std::string> entries_at(const std::string& level, bool branches) {
  std::vector<std::string> all, out;
  cmnd.get_cmds_in_path(level, all);
  for (const std::string& e : all) {
    const bool branch = !e.empty() && e.back() == '/';
    if (branch == branches && std::find(out.begin(), out.end(), e) == out.end()) out.push_back(e);
  }
  return out;
}

}  // namespace

keys_wind_state& keys_wind_state_now() {
  static keys_wind_state state;
  return state;
}

std::string keys_wind_group_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string keys_wind_parent_of(const std::string& group) {
  if (group.size() < 2) return std::string();
  return keys_wind_group_of(group.substr(0, group.size() - 1));
}

void keys_class::keys_wind(int flag) {
  keys_wind_state& s = keys_wind_state_now();
  const int count = static_cast<int>(bindings.size());
  if (s.edited >= count) s.edited = -1;

  float next_x = 0, next_y = 0;
  BTN_subwin(kTopReserve, 16, -1, -1, kListWidth, -1, "", &next_x, &next_y);
  const float list_right = 10 + kListWidth;
  // The help and the button are centred over the column (the list's right edge with its
  // margin, plus 92).
  const float column_centre = next_x + 92;
  const float column_x = list_right + 20;
  BTN_subwin(kTopReserve, 13, column_x, -1, kColumnWidth, 170, "", &next_x, &next_y);
  BTN_subwin(kTopReserve, 15, column_x, next_y, kColumnWidth, 100, "", &next_x, &next_y);
  BTN_subwin(kTopReserve, 13, column_x, next_y, kColumnWidth, -1, "", &next_x, &next_y);
  const float right_x = next_x;
  BTN_subwin(kTopReserve, 13, right_x, -1, -1, -1, "", &next_x, &next_y);

  widget_draw_calls& draw = widget_drawing();
  draw.text(43, column_centre, 160,
            T("Select the key you'd like to program from the list on the left of this screen and hit any key you "
              "like! Then select the group above and the item at right to assign some funtion to that keypress!"),
            164, 1);
  if (BTN_action(column_centre, 30, 0, 0, 1, T("Add New Key Assignment"), "-")) {
    bindings.push_back(key_binding{0, 0, cmnd.get_cmnd_by_name("sim/operation/none"), 0});
    if (static_cast<int>(bindings.size()) > keys_wind_rows) s.scroll = static_cast<int>(bindings.size()) - keys_wind_rows;
  }

  // The list, from the scroll position.
  const int last_first = std::max(0, static_cast<int>(bindings.size()) - keys_wind_rows);
  BTN_vert_slider(0, list_right - 15, keys_wind_row_y(keys_wind_rows - 1) + 10, keys_wind_row_y(0) - 14, 0,
                  last_first, &s.scroll);
  s.scroll = std::clamp(s.scroll, 0, last_first);
  for (int row = 0; row < keys_wind_rows; ++row) {
    const int i = s.scroll + row;
    if (i >= static_cast<int>(bindings.size())) break;
    const float y = keys_wind_row_y(row);
    if (BTN_action(kButtonX, y, kButtonWidth, s.edited == i, 0, row_label(bindings[i]), "-")) {
      s.edited = s.edited == i ? -1 : i;
      if (s.edited >= 0) s.group = keys_wind_group_of(command_path(bindings[i].command));
    }
    draw.text(45, kCommandX, y, command_path(bindings[i].command).substr(std::min<size_t>(4, command_path(bindings[i].command).size())), 9999, 0);
  }

  if (s.edited < 0) return;
  key_binding& edited = bindings[s.edited];

  // A key pressed now is the binding's key; the combination is bound at most once. Keys typed
  // into the path field are the field's.
  const float path_x = keys_wind_path_x(right_x);
  const bool typing_path = flag == 0 && focus_id != 0 && focus_id == BTN_focus_id_at(path_x, keys_wind_path_y);
  if (mnw.key_went_down && !typing_path) {
    edited.vkey = last_key;
    edited.modifiers = last_modifiers & key_modifier_mask;
    for (int i = 0; i < static_cast<int>(bindings.size()); ++i)
      if (i != s.edited && bindings[i].vkey == edited.vkey && bindings[i].modifiers == edited.modifiers)
        bindings[i].vkey = bindings[i].modifiers = 0;
  }
  if (flag != 0) return;

  const std::string path = command_path(edited.command);
  draw.text(47, column_x + 5, 270, path, 174, 0);
  draw.text(47, column_x + 5, 240,
            edited.command >= 0 && edited.command < static_cast<int>(cmnd.descriptions.size())
                ? cmnd.descriptions[edited.command]
                : std::string(),
            174, 0);

  // The groups beside the current one, then the current group's commands.
  if (s.group.empty()) s.group = keys_wind_group_of(path);
  const std::string parent = keys_wind_parent_of(s.group);
  // A check box's right-hand text starts with "-", which keeps a name such as "-none-" whole and
  // on one line.
  float y = kRightTop;
  for (const std::string& g : entries_at(parent, true)) {
    int on = parent + g == s.group ? 1 : 0;
    if (BTN_bool(column_x + 20, y, &on, "|-" + g.substr(0, g.size() - 1), 0)) {
      s.group = parent + g;
      const int first = first_command_in(s.group);
      if (first >= 0) edited.command = first;
    }
    y -= 15;
  }
  float x = right_x + 20;
  y = kRightTop;
  for (const std::string& c : entries_at(s.group, false)) {
    const int number = cmnd.get_cmnd_by_name(s.group + c);
    int on = edited.command == number ? 1 : 0;
    if (BTN_bool(x, y, &on, "|-" + c, 0)) edited.command = number;
    y -= 15;
    if (y < 20) {
      y = kRightTop;
      x += 148;
    }
  }

  // The command's whole path in a field (the icon opens the file browser on it); a path typed
  // there that names a registered command binds that command.
  if (s.path_binding != s.edited || s.path_command != edited.command) {
    s.path = command_path(edited.command);
    s.path_binding = s.edited;
    s.path_command = edited.command;
  }
  const std::string before = s.path;
  BTN_select_path_stl(path_x, keys_wind_path_y, 999, 21, &s.path, 500, T("|-custom cmnds from plugins"), 200, 0);
  if (s.path != before) {
    const int number = cmnd.get_cmnd_by_name(s.path);
    if (number != 0 || s.path == command_path(0)) {
      edited.command = number;
      s.path_command = number;
      s.group = keys_wind_group_of(s.path);
    }
  }
}

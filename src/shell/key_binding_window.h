// The key-binding window (keys_class::keys_wind, declared with the key tables in
// shell/keyboard.h): the list of bindings at the left, a button that adds one, and for the
// binding being edited its command and the registry's command groups and commands to bind it
// to, or the command's path typed into a path field. While a binding is edited, the next key
// pressed becomes its key (unless the path field has the keyboard), and any other binding of
// that key combination loses it. One frame per call, drawn into the current screen; the
// caller runs the frame around it. Main thread only.
#pragma once

#include <string>

// What the window keeps between frames.
struct keys_wind_state {
  int edited = -1;  // index of the binding being edited in keys.bindings; -1 none
  int scroll = 0;   // first binding shown
  std::string group;  // the command group shown for the edited binding ("sim/operation/")
  // The path picker's text and the binding and command it was last set from.
  std::string path;
  int path_binding = -1;
  int path_command = -1;
};
keys_wind_state& keys_wind_state_now();

// Rows of the list and where they are drawn (screen units), for callers and tests.
enum { keys_wind_rows = 34 };
constexpr float keys_wind_row_y(int row) { return 689.0f - 20.0f * static_cast<float>(row); }
// The path field's left edge in a screen whose right panel starts at right_x, and its baseline.
constexpr float keys_wind_path_x(float right_x) { return right_x + 40; }
constexpr float keys_wind_path_y = 30;

// The group of a command path: the path up to and including its last "/" ("" for none).
std::string keys_wind_group_of(const std::string& path);
// The level above a group ("sim/operation/" -> "sim/"); "" at the top.
std::string keys_wind_parent_of(const std::string& group);

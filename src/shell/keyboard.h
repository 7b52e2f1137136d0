// Keyboard translation and key bindings. Each key event from the platform (platform/text.h)
// becomes a virtual key number, modifier and event flags and the typed character, and goes in
// a fixed order to the widget with the keyboard focus, to the per-frame Return, Escape and
// Delete flags, and last to the key bindings, which press named commands (runtime/shell_records.h).
//
// Virtual key numbers: the named keys of the key name table (8 to 135 follow the Windows
// virtual-key numbering, 176 to 189 are the punctuation and keypad extras); every other key
// gets a free number of its own. Keys whose identity is their position (digit row, keypad,
// Return, Tab, function keys, arrows...) keep their number on every layout; letter and
// punctuation keys follow the character the layout puts on them.
// Main thread only; no lock.
#pragma once

#include <string>
#include <vector>

struct platform_key_event;

// Flags of a key event: the modifiers, and for a key-down or key-up its event bit. An
// auto-key (repeat) event has neither event bit.
enum {
  key_flag_shift = 1,
  key_flag_option = 2,
  key_flag_control = 4,
  key_flag_down = 8,
  key_flag_up = 16,
  key_modifier_mask = 7,
};

// Virtual keys the delivery looks at.
enum {
  vk_back = 8,
  vk_tab = 9,
  vk_return = 13,
  vk_escape = 27,
  vk_left = 37,
  vk_up = 38,
  vk_right = 39,
  vk_down = 40,
  vk_delete = 46,
  vk_enter = 187,
  vk_numpad_enter = 188,
};

// One key binding: a key with exactly these modifiers presses the command.
struct key_binding {
  int vkey;
  int modifiers;  // 0 to 7
  int command;    // number in the command registry
  int held;       // 1 from a matching key-down until the key's key-up
};

// What the delivery reaches in the rest of the shell: the focus ring, the modal screen's close
// and the per-frame flags of the window record. Installed at start-up; a null entry is skipped.
struct key_delivery {
  // Offers the key to the widget with the focus; non-zero when it took the key.
  int (*dispatch_to_focus)(int character, int vkey, int flags) = nullptr;
  // Closes the current modal screen as its close box would (called with 1).
  void (*handle_click)(int which) = nullptr;
  int* return_hit = nullptr;
  int* escape_hit = nullptr;
  int* delete_hit = nullptr;
  int* last_char = nullptr;         // the window record's last typed character (low 7 bits)
  const int* key_switch = nullptr;  // while non-zero only Return and Enter reach the bindings
};
void keys_set_delivery(const key_delivery& delivery);

// The key as translation found it, before delivery.
struct translated_key {
  int vkey = 0;
  int flags = 0;      // modifiers plus key_flag_down or key_flag_up
  int character = 0;  // the typed Unicode character, 0 for none
};

class keys_class {
 public:
  keys_class();

  // Translates one key event and delivers it.
  void handle_key_raw(const platform_key_event& event);
  // The translation alone (used by handle_key_raw); false for an event that carries nothing.
  bool translate(const platform_key_event& event, translated_key& out);
  // The delivery alone, in order: focus, per-frame flags, last key, bindings.
  void deliver(const translated_key& key);
  // Delivers an already translated key to the bindings (no screen test).
  void handle_key(int vkey, int flags);
  // Presses the bindings of a key-down whose modifiers match; releases held ones on its key-up.
  void execute_key_cmnd(int vkey, int flags);
  // Once per frame: every held binding's command gets its per-frame press.
  void run_repeat_keys();

  // The command of the first binding with this key and exactly these modifiers, else 0.
  int key_bound_to(int vkey, int modifiers) const;
  // The shortcut text of the command's first binding ("SHIFT+CTRL-a"); "" when it has none.
  std::string get_key_for_cmnd(int command) const;

  // The US-layout key that types character: 1 with the key and Shift when needed, else 0.
  static int ascii_to_vkey(int character, int& vkey, int& flags);
  // Display name ("Numpad-Enter"), or "KEY" and the number for a key without a name.
  static std::string vkey_to_str(int vkey);
  // The number of a display name (any case), or of "KEY<number>"; 0 for anything else.
  static int str_to_vkey(const std::string& name);
  // The code name ("OSTREL_VK_RETURN"), or the number in decimal.
  static std::string vkey_to_code(int vkey);
  // "SHIFT", "ALT" and "CTRL" joined by "+"; "<none>" for no modifier.
  static std::string flag_to_str(int flags);
  // 1 for "SHIFT", 2 for "ALT", 4 for "CTRL" found anywhere in text (case-sensitive), summed.
  static int str_to_flag(const std::string& text);
  static std::string flag_to_code(int flags);

  // 0: back to the single default binding; 1 (at shut-down): nothing, the bindings are not
  // kept in a file.
  void keys_io(int flag);
  // One frame of the key-binding window (shell/key_binding_window.h); with a non-zero flag
  // only the list.
  void keys_wind(int flag);
  void debug() {}

  int last_key = 0;        // virtual key of the last key event delivered
  int last_modifiers = 0;  // its modifiers (0 to 7)
  std::vector<key_binding> bindings;
  std::vector<int> free_numbers;  // the numbers up to the highest named one that have no name
  int highest_named = 0;

 private:
  // The last key-down, whose character its key-up reports.
  int down_vkey_ = 0;
  int down_char_ = 0;
  int down_modifiers_ = 0;
};

extern keys_class keys;

// Key name table rows, for tests and listings.
struct key_name_row {
  int vkey;
  const char* code;
  const char* display;
};
const std::vector<key_name_row>& key_name_table();

// Table sizes (key names, position keys, layout characters, typing table).
struct key_table_sizes {
  size_t names, positions, characters, typing;
};
key_table_sizes keys_table_sizes();

// A byte of the old single-byte script encoding (Latin-1 here) as a Unicode code point.
int script_to_utf32(int byte);

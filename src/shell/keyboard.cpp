#include "shell/keyboard.h"

#include <SDL2/SDL_scancode.h>

#include <cctype>
#include <cstdio>

#include "platform/text.h"
#include "runtime/shell_records.h"

namespace {

// Every named key, in number order.
const std::vector<key_name_row> kKeyNameTable = {
    {8, "OSTREL_VK_BACK", "Backspace"},
    {9, "OSTREL_VK_TAB", "Tab"},
    {12, "OSTREL_VK_CLEAR", "Clear"},
    {13, "OSTREL_VK_RETURN", "Return"},
    {27, "OSTREL_VK_ESCAPE", "Escape"},
    {32, "OSTREL_VK_SPACE", "Space"},
    {33, "OSTREL_VK_PRIOR", "PageUp"},
    {34, "OSTREL_VK_NEXT", "PageDown"},
    {35, "OSTREL_VK_END", "End"},
    {36, "OSTREL_VK_HOME", "Home"},
    {37, "OSTREL_VK_LEFT", "Left"},
    {38, "OSTREL_VK_UP", "Up"},
    {39, "OSTREL_VK_RIGHT", "Right"},
    {40, "OSTREL_VK_DOWN", "Down"},
    {41, "OSTREL_VK_SELECT", "Select"},
    {42, "OSTREL_VK_PRINT", "Print"},
    {43, "OSTREL_VK_EXECUTE", "Execute"},
    {44, "OSTREL_VK_SNAPSHOT", "Snapshot"},
    {45, "OSTREL_VK_INSERT", "Insert"},
    {46, "OSTREL_VK_DELETE", "Delete"},
    {47, "OSTREL_VK_HELP", "Help"},
    {48, "OSTREL_VK_0", "0"},
    {49, "OSTREL_VK_1", "1"},
    {50, "OSTREL_VK_2", "2"},
    {51, "OSTREL_VK_3", "3"},
    {52, "OSTREL_VK_4", "4"},
    {53, "OSTREL_VK_5", "5"},
    {54, "OSTREL_VK_6", "6"},
    {55, "OSTREL_VK_7", "7"},
    {56, "OSTREL_VK_8", "8"},
    {57, "OSTREL_VK_9", "9"},
    {65, "OSTREL_VK_A", "A"},
    {66, "OSTREL_VK_B", "B"},
    {67, "OSTREL_VK_C", "C"},
    {68, "OSTREL_VK_D", "D"},
    {69, "OSTREL_VK_E", "E"},
    {70, "OSTREL_VK_F", "F"},
    {71, "OSTREL_VK_G", "G"},
    {72, "OSTREL_VK_H", "H"},
    {73, "OSTREL_VK_I", "I"},
    {74, "OSTREL_VK_J", "J"},
    {75, "OSTREL_VK_K", "K"},
    {76, "OSTREL_VK_L", "L"},
    {77, "OSTREL_VK_M", "M"},
    {78, "OSTREL_VK_N", "N"},
    {79, "OSTREL_VK_O", "O"},
    {80, "OSTREL_VK_P", "P"},
    {81, "OSTREL_VK_Q", "Q"},
    {82, "OSTREL_VK_R", "R"},
    {83, "OSTREL_VK_S", "S"},
    {84, "OSTREL_VK_T", "T"},
    {85, "OSTREL_VK_U", "U"},
    {86, "OSTREL_VK_V", "V"},
    {87, "OSTREL_VK_W", "W"},
    {88, "OSTREL_VK_X", "X"},
    {89, "OSTREL_VK_Y", "Y"},
    {90, "OSTREL_VK_Z", "Z"},
    {96, "OSTREL_VK_NUMPAD0", "Numpad-0"},
    {97, "OSTREL_VK_NUMPAD1", "Numpad-1"},
    {98, "OSTREL_VK_NUMPAD2", "Numpad-2"},
    {99, "OSTREL_VK_NUMPAD3", "Numpad-3"},
    {100, "OSTREL_VK_NUMPAD4", "Numpad-4"},
    {101, "OSTREL_VK_NUMPAD5", "Numpad-5"},
    {102, "OSTREL_VK_NUMPAD6", "Numpad-6"},
    {103, "OSTREL_VK_NUMPAD7", "Numpad-7"},
    {104, "OSTREL_VK_NUMPAD8", "Numpad-8"},
    {105, "OSTREL_VK_NUMPAD9", "Numpad-9"},
    {106, "OSTREL_VK_MULTIPLY", "Numpad-*"},
    {107, "OSTREL_VK_ADD", "Numpad-+"},
    {109, "OSTREL_VK_SUBTRACT", "Numpad--"},
    {110, "OSTREL_VK_DECIMAL", "Numpad-."},
    {111, "OSTREL_VK_DIVIDE", "Numpad-/"},
    {112, "OSTREL_VK_F1", "F1"},
    {113, "OSTREL_VK_F2", "F2"},
    {114, "OSTREL_VK_F3", "F3"},
    {115, "OSTREL_VK_F4", "F4"},
    {116, "OSTREL_VK_F5", "F5"},
    {117, "OSTREL_VK_F6", "F6"},
    {118, "OSTREL_VK_F7", "F7"},
    {119, "OSTREL_VK_F8", "F8"},
    {120, "OSTREL_VK_F9", "F9"},
    {121, "OSTREL_VK_F10", "F10"},
    {122, "OSTREL_VK_F11", "F11"},
    {123, "OSTREL_VK_F12", "F12"},
    {124, "OSTREL_VK_F13", "F13"},
    {125, "OSTREL_VK_F14", "F14"},
    {126, "OSTREL_VK_F15", "F15"},
    {127, "OSTREL_VK_F16", "F16"},
    {128, "OSTREL_VK_F17", "F17"},
    {129, "OSTREL_VK_F18", "F18"},
    {130, "OSTREL_VK_F19", "F19"},
    {131, "OSTREL_VK_F20", "F20"},
    {132, "OSTREL_VK_F21", "F21"},
    {133, "OSTREL_VK_F22", "F22"},
    {134, "OSTREL_VK_F23", "F23"},
    {135, "OSTREL_VK_F24", "F24"},
    {176, "OSTREL_VK_EQUAL", "="},
    {177, "OSTREL_VK_MINUS", "-"},
    {178, "OSTREL_VK_RBRACE", "]"},
    {179, "OSTREL_VK_LBRACE", "["},
    {180, "OSTREL_VK_QUOTE", "'"},
    {181, "OSTREL_VK_SEMICOLON", ";"},
    {182, "OSTREL_VK_BACKSLASH", "\\"},
    {183, "OSTREL_VK_COMMA", ","},
    {184, "OSTREL_VK_SLASH", "/"},
    {185, "OSTREL_VK_PERIOD", "."},
    {186, "OSTREL_VK_BACKQUOTE", "`"},
    {187, "OSTREL_VK_ENTER", "Enter"},
    {188, "OSTREL_VK_NUMPAD_ENT", "Numpad-Enter"},
    {189, "OSTREL_VK_NUMPAD_EQ", "Numpad-="},
};

// The keys whose identity is their position, by scancode: the digit row, the keypad, Return,
// Tab, Space, Backspace, Escape, the function keys, the editing block and the arrows.
const struct {
  int scancode;
  int vkey;
} kKeyTranslations[] = {
    // digit row
    {SDL_SCANCODE_1, 49}, {SDL_SCANCODE_2, 50}, {SDL_SCANCODE_3, 51}, {SDL_SCANCODE_4, 52},
    {SDL_SCANCODE_6, 54}, {SDL_SCANCODE_5, 53}, {SDL_SCANCODE_9, 57}, {SDL_SCANCODE_7, 55},
    {SDL_SCANCODE_8, 56}, {SDL_SCANCODE_0, 48},
    // keypad
    {SDL_SCANCODE_KP_PERIOD, 110}, {SDL_SCANCODE_KP_MULTIPLY, 106}, {SDL_SCANCODE_KP_PLUS, 107},
    {SDL_SCANCODE_NUMLOCKCLEAR, 12}, {SDL_SCANCODE_KP_DIVIDE, 111}, {SDL_SCANCODE_KP_ENTER, 188},
    {SDL_SCANCODE_KP_MINUS, 109}, {SDL_SCANCODE_KP_EQUALS, 189}, {SDL_SCANCODE_KP_0, 96},
    {SDL_SCANCODE_KP_1, 97}, {SDL_SCANCODE_KP_2, 98}, {SDL_SCANCODE_KP_3, 99},
    {SDL_SCANCODE_KP_4, 100}, {SDL_SCANCODE_KP_5, 101}, {SDL_SCANCODE_KP_6, 102},
    {SDL_SCANCODE_KP_7, 103}, {SDL_SCANCODE_KP_8, 104}, {SDL_SCANCODE_KP_9, 105},
    // Return, Tab, Space, Backspace, Escape
    {SDL_SCANCODE_RETURN, 13}, {SDL_SCANCODE_TAB, 9}, {SDL_SCANCODE_SPACE, 32},
    {SDL_SCANCODE_BACKSPACE, 8}, {SDL_SCANCODE_ESCAPE, 27},
    // function keys
    {SDL_SCANCODE_F17, 128}, {SDL_SCANCODE_F18, 129}, {SDL_SCANCODE_F19, 130},
    {SDL_SCANCODE_F20, 131}, {SDL_SCANCODE_F5, 116}, {SDL_SCANCODE_F6, 117},
    {SDL_SCANCODE_F7, 118}, {SDL_SCANCODE_F3, 114}, {SDL_SCANCODE_F8, 119},
    {SDL_SCANCODE_F9, 120}, {SDL_SCANCODE_F11, 122}, {SDL_SCANCODE_F13, 124},
    {SDL_SCANCODE_F16, 127}, {SDL_SCANCODE_F14, 125}, {SDL_SCANCODE_F10, 121},
    {SDL_SCANCODE_F12, 123}, {SDL_SCANCODE_F15, 126}, {SDL_SCANCODE_F4, 115},
    {SDL_SCANCODE_F2, 113}, {SDL_SCANCODE_F1, 112},
    // editing block: the Insert position is the Help key of the keyboards this numbering
    // comes from
    {SDL_SCANCODE_INSERT, 47}, {SDL_SCANCODE_HOME, 36}, {SDL_SCANCODE_PAGEUP, 33},
    {SDL_SCANCODE_DELETE, 46}, {SDL_SCANCODE_END, 35}, {SDL_SCANCODE_PAGEDOWN, 34},
    // arrows
    {SDL_SCANCODE_LEFT, 37}, {SDL_SCANCODE_RIGHT, 39}, {SDL_SCANCODE_DOWN, 40},
    {SDL_SCANCODE_UP, 38},
};

// Letter and punctuation keys by the character the layout puts on them, searched in order
// ("." comes first, so a key with "." on either level is the period key; its second row is
// never reached).
const struct {
  char32_t character;
  int vkey;
} kAsciiMappings[] = {
    {'.', 185}, {' ', 32},
    {'a', 65}, {'b', 66}, {'c', 67}, {'d', 68}, {'e', 69}, {'f', 70}, {'g', 71}, {'h', 72},
    {'i', 73}, {'j', 74}, {'k', 75}, {'l', 76}, {'m', 77}, {'n', 78}, {'o', 79}, {'p', 80},
    {'q', 81}, {'r', 82}, {'s', 83}, {'t', 84}, {'u', 85}, {'v', 86}, {'w', 87}, {'x', 88},
    {'y', 89}, {'z', 90},
    {'=', 176}, {'-', 177}, {']', 178}, {'[', 179}, {'\'', 180}, {';', 181}, {'\\', 182},
    {',', 183}, {'/', 184}, {'.', 185}, {'`', 186},
    {'0', 48}, {'1', 49}, {'2', 50}, {'3', 51}, {'4', 52}, {'5', 53}, {'6', 54}, {'7', 55},
    {'8', 56}, {'9', 57},
};

// The key (and Shift) that types each character on a US layout, searched in order.
const struct {
  int character;
  int vkey;
  int flags;
} kCharTranslations[] = {
    {13, 13, 0}, {27, 27, 0}, {9, 9, 0}, {8, 8, 0},
    {28, 37, 0}, {29, 39, 0}, {30, 38, 0}, {31, 40, 0},
    {' ', 32, 0},
    {'!', 49, 1}, {'"', 180, 1}, {'#', 51, 1}, {'$', 52, 1}, {'%', 53, 1}, {'&', 54, 1},
    {'\'', 180, 0}, {'(', 57, 1}, {')', 48, 1}, {'*', 56, 1}, {'+', 176, 1}, {',', 183, 0},
    {'-', 177, 0}, {'.', 185, 0}, {'/', 184, 0},
    {'0', 48, 0}, {'1', 49, 0}, {'2', 50, 0}, {'3', 51, 0}, {'4', 52, 0}, {'5', 53, 0},
    {'6', 54, 0}, {'7', 55, 0}, {'8', 56, 0}, {'9', 57, 0},
    {':', 181, 1}, {';', 181, 0}, {'<', 183, 1}, {'=', 176, 0}, {'>', 185, 1}, {'?', 184, 1},
    {'@', 50, 1},
    {'A', 65, 1}, {'B', 66, 1}, {'C', 67, 1}, {'D', 68, 1}, {'E', 69, 1}, {'F', 70, 1},
    {'G', 71, 1}, {'H', 72, 1}, {'I', 73, 1}, {'J', 74, 1}, {'K', 75, 1}, {'L', 76, 1},
    {'M', 77, 1}, {'N', 78, 1}, {'O', 79, 1}, {'P', 80, 1}, {'Q', 81, 1}, {'R', 82, 1},
    {'S', 83, 1}, {'T', 84, 1}, {'U', 85, 1}, {'V', 86, 1}, {'W', 87, 1}, {'X', 88, 1},
    {'Y', 89, 1}, {'Z', 90, 1},
    {'[', 179, 0}, {'\\', 182, 0}, {']', 178, 0}, {'^', 54, 1}, {'_', 177, 1}, {'`', 186, 0},
    {'a', 65, 0}, {'b', 66, 0}, {'c', 67, 0}, {'d', 68, 0}, {'e', 69, 0}, {'f', 70, 0},
    {'g', 71, 0}, {'h', 72, 0}, {'i', 73, 0}, {'j', 74, 0}, {'k', 75, 0}, {'l', 76, 0},
    {'m', 77, 0}, {'n', 78, 0}, {'o', 79, 0}, {'p', 80, 0}, {'q', 81, 0}, {'r', 82, 0},
    {'s', 83, 0}, {'t', 84, 0}, {'u', 85, 0}, {'v', 86, 0}, {'w', 87, 0}, {'x', 88, 0},
    {'y', 89, 0}, {'z', 90, 0},
    {'{', 179, 1}, {'|', 182, 1}, {'}', 179, 1}, {'~', 186, 1},
};

key_delivery delivery;

const key_name_row* row_of(int vkey) {
  for (const key_name_row& r : kKeyNameTable)
    if (r.vkey == vkey) return &r;
  return nullptr;
}

bool is_return(int vkey) {
  // Keypad Enter accepts like Return: it is the key a user reaches for beside the digits.
  return vkey == vk_return || vkey == vk_enter || vkey == vk_numpad_enter;
}

// The fixed character of a key whose layout character would be wrong or missing.
int special_character(int vkey, int typed) {
  switch (vkey) {
    case vk_back: return 8;
    case vk_tab: return 9;
    case vk_return: return 13;
    case vk_escape: return 27;
    case vk_left: return 28;
    case vk_up: return 30;
    case vk_right: return 29;
    case vk_down: return 31;
    case 110: return '.';
    default: break;
  }
  if (vkey >= 96 && vkey <= 105) return '0' + (vkey - 96);
  return typed;
}

}  // namespace

// Built after the tables above, which its constructor reads.
keys_class keys;

void keys_set_delivery(const key_delivery& d) { delivery = d; }

const std::vector<key_name_row>& key_name_table() { return kKeyNameTable; }

key_table_sizes keys_table_sizes() {
  return {kKeyNameTable.size(), sizeof kKeyTranslations / sizeof kKeyTranslations[0],
          sizeof kAsciiMappings / sizeof kAsciiMappings[0],
          sizeof kCharTranslations / sizeof kCharTranslations[0]};
}

keys_class::keys_class() {
  for (const key_name_row& r : kKeyNameTable)
    if (r.vkey > highest_named) highest_named = r.vkey;
  for (int n = 0; n <= highest_named; ++n)
    if (!row_of(n)) free_numbers.push_back(n);
}

bool keys_class::translate(const platform_key_event& e, translated_key& out) {
  out = translated_key();
  out.flags = e.modifiers & key_modifier_mask;
  if (e.kind == key_event_down) out.flags |= key_flag_down;
  if (e.kind == key_event_up) out.flags |= key_flag_up;

  int vkey = -1;
  for (const auto& t : kKeyTranslations)
    if (t.scancode == e.scancode) {
      vkey = t.vkey;
      break;
    }
  if (vkey < 0)
    for (const auto& m : kAsciiMappings)
      if ((e.unshifted && m.character == e.unshifted) || (e.shifted && m.character == e.shifted)) {
        vkey = m.vkey;
        break;
      }
  if (vkey < 0) {
    const int free_count = static_cast<int>(free_numbers.size());
    vkey = e.scancode >= 0 && e.scancode < free_count ? free_numbers[e.scancode]
                                                      : e.scancode + highest_named - free_count + 1;
  }
  out.vkey = vkey;
  out.character = special_character(vkey, static_cast<int>(e.typed));

  const int modifiers = out.flags & key_modifier_mask;
  if (out.flags & key_flag_down) {
    down_vkey_ = vkey;
    down_char_ = out.character;
    down_modifiers_ = modifiers;
  } else if ((out.flags & key_flag_up) && vkey == down_vkey_ && modifiers == down_modifiers_) {
    out.character = down_char_;
  }
  return out.flags || out.vkey || out.character;
}

void keys_class::handle_key_raw(const platform_key_event& event) {
  translated_key key;
  if (translate(event, key)) deliver(key);
}

void keys_class::deliver(const translated_key& key) {
  if (delivery.dispatch_to_focus && delivery.dispatch_to_focus(key.character, key.vkey, key.flags))
    return;
  if (!(key.flags & key_flag_up)) {  // key-down and auto-key
    int return_hit = 0;
    if (is_return(key.vkey)) {
      return_hit = 1;
      if (delivery.return_hit) *delivery.return_hit = 1;
    }
    if (key.vkey == vk_escape && delivery.escape_hit) *delivery.escape_hit = 1;
    if ((key.vkey == vk_back || key.vkey == vk_delete) && delivery.delete_hit) *delivery.delete_hit = 1;
    if (delivery.return_hit) return_hit = *delivery.return_hit;
    if (mnw.topwi != 0 && return_hit) {
      if (delivery.handle_click) delivery.handle_click(1);
      return;
    }
    if (key.character > 0 && delivery.last_char) *delivery.last_char = key.character & 0x7F;
  }
  last_key = key.vkey;
  last_modifiers = key.flags & key_modifier_mask;
  if (mnw.topwi == 999) return;
  handle_key(key.vkey, key.flags);
}

void keys_class::handle_key(int vkey, int flags) {
  const bool switch_on = delivery.key_switch && *delivery.key_switch;
  if (is_return(vkey) || (vkey != 0 && !switch_on)) execute_key_cmnd(vkey, flags);
}

void keys_class::execute_key_cmnd(int vkey, int flags) {
  for (key_binding& b : bindings) {
    if (b.vkey != vkey) continue;
    if ((flags & key_flag_down) && (flags & key_modifier_mask) == b.modifiers) {
      cmnd.press_one(b.command);
      b.held = 1;
    }
    // The release follows the key, not the modifiers: Control may be let go before the A.
    if (b.held && (flags & key_flag_up)) {
      cmnd.release_one(b.command);
      b.held = 0;
    }
  }
}

void keys_class::run_repeat_keys() {
  for (const key_binding& b : bindings)
    if (b.held) cmnd.press_always(b.command);
}

int keys_class::key_bound_to(int vkey, int modifiers) const {
  for (const key_binding& b : bindings)
    if (b.vkey == vkey && b.modifiers == modifiers) return b.command;
  return 0;
}

std::string keys_class::get_key_for_cmnd(int command) const {
  for (const key_binding& b : bindings) {
    if (b.command != command) continue;
    std::string name = vkey_to_str(b.vkey);
    if (!name.empty() && name[0] >= 'A' && name[0] <= 'Z') name[0] = static_cast<char>(name[0] - 'A' + 'a');
    return b.modifiers ? flag_to_str(b.modifiers) + "-" + name : name;
  }
  return "";
}

int keys_class::ascii_to_vkey(int character, int& vkey, int& flags) {
  for (const auto& t : kCharTranslations)
    if (t.character == character) {
      vkey = t.vkey;
      flags = t.flags;
      return 1;
    }
  vkey = flags = 0;
  return 0;
}

std::string keys_class::vkey_to_str(int vkey) {
  if (const key_name_row* r = row_of(vkey)) return r->display;
  return "KEY" + std::to_string(vkey);
}

int keys_class::str_to_vkey(const std::string& name) {
  for (const key_name_row& r : kKeyNameTable) {
    const std::string display = r.display;
    if (display.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i)
      same = std::tolower(static_cast<unsigned char>(name[i])) ==
             std::tolower(static_cast<unsigned char>(display[i]));
    if (same) return r.vkey;
  }
  if (name.size() > 3 && name.compare(0, 3, "KEY") == 0 && name.size() <= 12) {
    long long n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return 0;
      n = n * 10 + (name[i] - '0');
    }
    return n <= 0x7FFFFFFF ? static_cast<int>(n) : 0;
  }
  return 0;
}

std::string keys_class::vkey_to_code(int vkey) {
  if (const key_name_row* r = row_of(vkey)) return r->code;
  return std::to_string(vkey);
}

std::string keys_class::flag_to_str(int flags) {
  std::string out;
  const char* names[] = {"SHIFT", "ALT", "CTRL"};
  for (int bit = 0; bit < 3; ++bit)
    if (flags & (1 << bit)) out += (out.empty() ? "" : "+") + std::string(names[bit]);
  return out.empty() ? "<none>" : out;
}

int keys_class::str_to_flag(const std::string& text) {
  int flags = 0;
  if (text.find("SHIFT") != std::string::npos) flags |= 1;
  if (text.find("ALT") != std::string::npos) flags |= 2;
  if (text.find("CTRL") != std::string::npos) flags |= 4;
  return flags;
}

std::string keys_class::flag_to_code(int flags) {
  std::string out;
  const char* names[] = {"ostrel_ShiftFlag", "ostrel_OptionAltFlag", "ostrel_ControlFlag"};
  for (int bit = 0; bit < 3; ++bit)
    if (flags & (1 << bit)) out += (out.empty() ? "" : "+") + std::string(names[bit]);
  return out.empty() ? "0" : out;
}

void keys_class::keys_io(int flag) {
  if (flag != 0) return;
  const default_command& d = default_commands[0];
  bindings.assign(1, key_binding{d.key, d.modifiers, cmnd.get_cmnd_by_name(d.path), 0});
}

int script_to_utf32(int byte) { return byte & 0xFF; }

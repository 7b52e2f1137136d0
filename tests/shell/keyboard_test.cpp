// Keyboard translation over synthetic key events (as the X layouts would give them), the order
// of delivery, the key bindings and the key names.
#include "shell/keyboard.h"

#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "runtime/shell_records.h"

namespace {

platform_key_event key(int kind, int scancode, char32_t unshifted, char32_t shifted, char32_t typed,
                       int modifiers = 0) {
  platform_key_event e;
  e.kind = kind;
  e.scancode = scancode;
  e.unshifted = unshifted;
  e.shifted = shifted;
  e.typed = typed;
  e.modifiers = modifiers;
  return e;
}

TEST(KeyTables, SizesAndTheFreeNumbers) {
  const key_table_sizes sizes = keys_table_sizes();
  EXPECT_EQ(sizes.names, 110u);
  EXPECT_EQ(sizes.positions, 63u);
  EXPECT_EQ(sizes.characters, 49u);
  EXPECT_EQ(sizes.typing, 103u);

  std::vector<int> expected;
  for (int n = 0; n <= 7; ++n) expected.push_back(n);
  expected.insert(expected.end(), {10, 11});
  for (int n = 14; n <= 26; ++n) expected.push_back(n);
  for (int n = 28; n <= 31; ++n) expected.push_back(n);
  for (int n = 58; n <= 64; ++n) expected.push_back(n);
  for (int n = 91; n <= 95; ++n) expected.push_back(n);
  expected.push_back(108);
  for (int n = 136; n <= 175; ++n) expected.push_back(n);
  const keys_class k;
  EXPECT_EQ(k.free_numbers, expected);
  EXPECT_EQ(k.free_numbers.size(), 80u);
  EXPECT_EQ(k.highest_named, 189);
  // The global is built after its tables.
  EXPECT_EQ(keys.free_numbers, expected);

  int previous = -1;
  for (const key_name_row& r : key_name_table()) {
    EXPECT_GT(r.vkey, previous) << "ascending";
    previous = r.vkey;
    const std::string code = r.code;
    ASSERT_EQ(code.compare(0, 10, "OSTREL_VK_"), 0) << code;
    if ((r.vkey >= 48 && r.vkey <= 57) || (r.vkey >= 65 && r.vkey <= 90) || (r.vkey >= 112 && r.vkey <= 135)) {
      EXPECT_EQ(code.substr(10), r.display);
    }
  }
}

struct translation_case {
  const char* name;
  platform_key_event event;
  int vkey, character, flags;
};

TEST(KeyTranslation, SyntheticLayouts) {
  const int down = key_event_down, up = key_event_up, repeat = key_event_repeat;
  keys_class k;
  const translation_case cases[] = {
      // French (AZERTY): letters follow the layout, the digit row keeps its numbers.
      {"fr: the key that types a", key(down, SDL_SCANCODE_Q, 'a', 'A', 'a'), 65, 'a', 8},
      {"fr: the key that types z", key(down, SDL_SCANCODE_W, 'z', 'Z', 'z'), 90, 'z', 8},
      {"fr: digit 1 types &", key(down, SDL_SCANCODE_1, '&', '1', '&'), 49, '&', 8},
      {"fr: digit 2 types e-acute", key(down, SDL_SCANCODE_2, U'\u00E9', '2', U'\u00E9'), 50, 0xE9, 8},
      {"fr: digit 6 types -", key(down, SDL_SCANCODE_6, '-', '6', '-'), 54, '-', 8},
      {"fr: digit 0 with Shift", key(down, SDL_SCANCODE_0, U'\u00E0', '0', '0', 1), 48, '0', 9},
      {"fr: the comma key", key(down, SDL_SCANCODE_M, ',', '?', ','), 183, ',', 8},
      {"fr: period on the Shift level", key(down, SDL_SCANCODE_COMMA, ';', '.', ';'), 185, ';', 8},
      {"us: period unshifted", key(down, SDL_SCANCODE_PERIOD, '.', '>', '.'), 185, '.', 8},
      // German (QWERTZ)
      {"de: the key that types y", key(down, SDL_SCANCODE_Z, 'y', 'Y', 'y'), 89, 'y', 8},
      {"de: sharp s on the minus position", key(down, SDL_SCANCODE_MINUS, U'\u00DF', '?', U'\u00DF'),
       0, 0xDF, 8},  // vkey filled below: a free number
      // Position keys and their fixed characters.
      {"keypad 0", key(down, SDL_SCANCODE_KP_0, 0, 0, 0), 96, '0', 8},
      {"keypad 9, typed text ignored", key(down, SDL_SCANCODE_KP_9, 0, 0, '9'), 105, '9', 8},
      {"keypad decimal", key(down, SDL_SCANCODE_KP_PERIOD, 0, 0, ','), 110, '.', 8},
      {"left", key(down, SDL_SCANCODE_LEFT, 0, 0, 0), 37, 28, 8},
      {"right", key(down, SDL_SCANCODE_RIGHT, 0, 0, 0), 39, 29, 8},
      {"up", key(down, SDL_SCANCODE_UP, 0, 0, 0), 38, 30, 8},
      {"down", key(down, SDL_SCANCODE_DOWN, 0, 0, 0), 40, 31, 8},
      {"return", key(down, SDL_SCANCODE_RETURN, '\r', '\r', 0), 13, 13, 8},
      {"keypad enter", key(down, SDL_SCANCODE_KP_ENTER, '\r', '\r', 0), 188, 0, 8},
      {"backspace with shift", key(down, SDL_SCANCODE_BACKSPACE, 8, 8, 0, 1), 8, 8, 9},
      {"escape", key(down, SDL_SCANCODE_ESCAPE, 27, 27, 0), 27, 27, 8},
      {"tab", key(down, SDL_SCANCODE_TAB, 9, 9, 0), 9, 9, 8},
      // Home, forward delete and the other editing keys carry no character to insert.
      {"home", key(down, SDL_SCANCODE_HOME, 0, 0, 0), 36, 0, 8},
      {"forward delete", key(down, SDL_SCANCODE_DELETE, 127, 127, 0), 46, 0, 8},
      {"f1", key(down, SDL_SCANCODE_F1, 0, 0, 0), 112, 0, 8},
      {"f12", key(down, SDL_SCANCODE_F12, 0, 0, 0), 123, 0, 8},
      {"auto-key has no event bit", key(repeat, SDL_SCANCODE_Q, 'a', 'A', 'a', 4), 65, 'a', 4},
      {"key-up of Control+Alt", key(up, SDL_SCANCODE_LEFT, 0, 0, 0, 6), 37, 28, 6 | 16},
  };
  for (const auto& c : cases) {
    translated_key out;
    ASSERT_TRUE(k.translate(c.event, out)) << c.name;
    const int vkey = c.vkey ? c.vkey : k.free_numbers[SDL_SCANCODE_MINUS];
    EXPECT_EQ(out.vkey, vkey) << c.name;
    EXPECT_EQ(out.character, c.character) << c.name;
    EXPECT_EQ(out.flags, c.flags) << c.name;
  }

  // Keys with no name and no table row get numbers of their own: by the free list while the
  // scancode is within it, above the named numbers after that.
  translated_key a, b, c2;
  k.translate(key(down, SDL_SCANCODE_SEMICOLON, U'\u00F6', U'\u00D6', U'\u00F6'), a);   // de: o-umlaut
  k.translate(key(down, SDL_SCANCODE_LEFTBRACKET, U'\u00FC', U'\u00DC', U'\u00FC'), b);  // de: u-umlaut
  k.translate(key(down, SDL_SCANCODE_APPLICATION, 0, 0, 0), c2);
  EXPECT_NE(a.vkey, b.vkey);
  EXPECT_EQ(a.vkey, k.free_numbers[SDL_SCANCODE_SEMICOLON]);
  EXPECT_EQ(c2.vkey, SDL_SCANCODE_APPLICATION + 189 - 80 + 1);
  for (const translated_key* t : {&a, &b, &c2}) EXPECT_EQ(keys_class::vkey_to_str(t->vkey).compare(0, 3, "KEY"), 0);

  // An event that carries nothing is dropped.
  translated_key nothing;
  EXPECT_FALSE(k.translate(key(repeat, SDL_SCANCODE_UNKNOWN, 0, 0, 0), nothing));
}

TEST(KeyTranslation, KeyUpsReportTheirKeyDownsCharacter) {
  keys_class k;
  translated_key out;
  // A dead-key composition typed on the key-down; the key-up has no text of its own.
  k.translate(key(key_event_down, SDL_SCANCODE_E, 'e', 'E', U'\u00EA'), out);
  k.translate(key(key_event_up, SDL_SCANCODE_E, 'e', 'E', 'e'), out);
  EXPECT_EQ(out.character, 0xEA);
  // Shift let go before the key: the layout's own key-up character.
  k.translate(key(key_event_down, SDL_SCANCODE_A, 'a', 'A', 'A', 1), out);
  k.translate(key(key_event_up, SDL_SCANCODE_A, 'a', 'A', 'a', 0), out);
  EXPECT_EQ(out.character, 'a');
  // Another key's key-up keeps its own.
  k.translate(key(key_event_down, SDL_SCANCODE_B, 'b', 'B', 'b'), out);
  k.translate(key(key_event_up, SDL_SCANCODE_C, 'c', 'C', 'c'), out);
  EXPECT_EQ(out.character, 'c');
}

// The rest of the shell as the delivery sees it.
struct KeyDelivery : ::testing::Test {
  static std::vector<std::string> calls;
  static bool number_field_focused;
  int return_hit = 0, escape_hit = 0, delete_hit = 0, last_char = 0, key_switch = 0;
  keys_class k;
  int command = 0;

  static int focus(int character, int vkey, int) {
    calls.push_back("focus " + std::to_string(vkey));
    return number_field_focused && character >= '0' && character <= '9';
  }
  static void click(int which) { calls.push_back("click " + std::to_string(which)); }

  void SetUp() override {
    calls.clear();
    number_field_focused = false;
    key_delivery d;
    d.dispatch_to_focus = focus;
    d.handle_click = click;
    d.return_hit = &return_hit;
    d.escape_hit = &escape_hit;
    d.delete_hit = &delete_hit;
    d.last_char = &last_char;
    d.key_switch = &key_switch;
    keys_set_delivery(d);
    mnw.topwi = 0;
    command = cmnd.add_cmd("test/key/" + std::to_string(cmnd.paths.size()), "");
  }
  void TearDown() override {
    keys_set_delivery(key_delivery());
    mnw.topwi = 0;
  }
  void bind(int vkey, int modifiers) { k.bindings.push_back({vkey, modifiers, command, 0}); }
  void send(int vkey, int character, int flags) {
    translated_key t;
    t.vkey = vkey;
    t.character = character;
    t.flags = flags;
    k.deliver(t);
  }
  void clear_flags() { return_hit = escape_hit = delete_hit = last_char = 0; }
};
std::vector<std::string> KeyDelivery::calls;
bool KeyDelivery::number_field_focused = false;

TEST_F(KeyDelivery, OrderOfDelivery) {
  // A focused number field eats digits; nobody after it sees them.
  number_field_focused = true;
  bind(53, 0);
  k.last_key = -1;
  send(53, '5', 8);
  EXPECT_EQ(k.last_key, -1);
  EXPECT_EQ(last_char, 0);
  EXPECT_EQ(cmnd.presses[command], 0);
  // Letters pass it and reach the last-character field and the last key.
  send(65, 'a', 8 | 1);
  EXPECT_EQ(last_char, 'a');
  EXPECT_EQ(k.last_key, 65);
  EXPECT_EQ(k.last_modifiers, 1);
  number_field_focused = false;

  // Return on a modal screen closes it and stops.
  k.bindings.clear();
  bind(13, 0);
  mnw.topwi = 2;
  calls.clear();
  send(13, 13, 8);
  EXPECT_EQ(calls, (std::vector<std::string>{"focus 13", "click 1"}));
  EXPECT_EQ(cmnd.presses[command], 0);
  EXPECT_EQ(k.last_key, 65);

  // On the main screen it sets the flag and goes on to the bindings.
  mnw.topwi = 0;
  clear_flags();
  send(13, 13, 8);
  EXPECT_EQ(return_hit, 1);
  EXPECT_EQ(cmnd.presses[command], 1);
  send(13, 13, 16);
  EXPECT_EQ(cmnd.presses[command], 0);

  // Keypad Enter accepts like Return, on a modal screen too.
  clear_flags();
  send(vk_numpad_enter, 0, 8);
  EXPECT_EQ(return_hit, 1);
  mnw.topwi = 994;
  calls.clear();
  send(vk_numpad_enter, 0, 8);
  EXPECT_EQ(calls.back(), "click 1");
  mnw.topwi = 0;

  // Escape on a key-up sets nothing; on a key-down it does.
  clear_flags();
  send(27, 27, 16);
  EXPECT_EQ(escape_hit, 0);
  send(27, 27, 8);
  EXPECT_EQ(escape_hit, 1);
  // Backspace with Shift, and forward delete, set the delete flag; so does an auto-key.
  const struct {
    int vkey, flags;
  } deletes[] = {{8, 8 | 1}, {46, 8}, {8, 0}};
  for (const auto& d : deletes) {
    clear_flags();
    send(d.vkey, 0, d.flags);
    EXPECT_EQ(delete_hit, 1) << d.vkey << " " << d.flags;
  }

  // Screen 999 stops before the bindings, after the last key.
  k.bindings.clear();
  bind(70, 0);
  mnw.topwi = 999;
  return_hit = 0;
  send(70, 'f', 8);
  EXPECT_EQ(k.last_key, 70);
  EXPECT_EQ(cmnd.presses[command], 0);

  // While the key-handling switch is on, only Return and Enter reach the bindings.
  mnw.topwi = 0;
  key_switch = 1;
  send(70, 'f', 8);
  EXPECT_EQ(cmnd.presses[command], 0);
  k.bindings.clear();
  bind(vk_numpad_enter, 0);
  send(vk_numpad_enter, 0, 8);
  EXPECT_EQ(cmnd.presses[command], 1);
}

TEST_F(KeyDelivery, BindingsPressAndRelease) {
  bind(65, 4);  // Control+A
  EXPECT_EQ(k.key_bound_to(65, 4), command);
  EXPECT_EQ(k.key_bound_to(65, 0), 0);

  k.execute_key_cmnd(65, 4 | 1 | 8);  // Shift+Control+A: not this binding
  EXPECT_EQ(cmnd.presses[command], 0);
  k.execute_key_cmnd(65, 1 | 8);  // Shift+A
  EXPECT_EQ(cmnd.presses[command], 0);

  k.execute_key_cmnd(65, 4 | 8);
  EXPECT_EQ(cmnd.presses[command], 1);
  EXPECT_EQ(k.bindings[0].held, 1);
  k.execute_key_cmnd(65, 4);  // auto-key: neither presses nor releases
  k.run_repeat_keys();
  EXPECT_EQ(cmnd.presses[command], 1);
  k.execute_key_cmnd(65, 16);  // Control let go first: the A key-up still releases
  EXPECT_EQ(cmnd.presses[command], 0);
  EXPECT_EQ(k.bindings[0].held, 0);
  k.execute_key_cmnd(65, 16);  // a second key-up releases nothing
  EXPECT_EQ(cmnd.presses[command], 0);

  k.keys_io(1);
  EXPECT_EQ(k.bindings.size(), 1u) << "saving keeps the bindings as they are";
  k.keys_io(0);
  ASSERT_EQ(k.bindings.size(), 1u);
  EXPECT_EQ(k.bindings[0].vkey, 0);
  EXPECT_EQ(k.bindings[0].modifiers, 0);
  EXPECT_EQ(k.bindings[0].command, cmnd.get_cmnd_by_name("sim/-none-/-none-"));
}

TEST(KeyNames, RoundTripsAndShortcutTexts) {
  const struct {
    const char* name;
    int vkey;
  } to_vkey[] = {
      {"KEY200", 200}, {"key200", 0},  {"numpad-enter", 188}, {"NUMPAD-ENTER", 188},
      {"KEY", 0},      {"KEY12x", 0},  {"Return", 13},         {"return", 13},
      {"\\", 182},     {"=", 176},     {"F24", 135},           {"", 0},
      {"KEY-5", 0},    {"KEY99999999999", 0},
  };
  for (const auto& c : to_vkey) EXPECT_EQ(keys_class::str_to_vkey(c.name), c.vkey) << c.name;
  EXPECT_EQ(keys_class::vkey_to_str(200), "KEY200");
  EXPECT_EQ(keys_class::str_to_vkey(keys_class::vkey_to_str(200)), 200);
  EXPECT_EQ(keys_class::vkey_to_str(188), "Numpad-Enter");
  EXPECT_EQ(keys_class::vkey_to_code(13), "OSTREL_VK_RETURN");
  EXPECT_EQ(keys_class::vkey_to_code(200), "200");
  for (const key_name_row& r : key_name_table())
    EXPECT_EQ(keys_class::str_to_vkey(r.display), r.vkey) << r.display;

  EXPECT_EQ(keys_class::flag_to_str(7), "SHIFT+ALT+CTRL");
  EXPECT_EQ(keys_class::flag_to_str(5), "SHIFT+CTRL");
  EXPECT_EQ(keys_class::flag_to_str(0), "<none>");
  EXPECT_EQ(keys_class::str_to_flag("SHIFT+CTRL"), 5);
  EXPECT_EQ(keys_class::str_to_flag("CTRL+ALT"), 6);
  EXPECT_EQ(keys_class::str_to_flag("shift"), 0);
  EXPECT_EQ(keys_class::flag_to_code(3), "ostrel_ShiftFlag+ostrel_OptionAltFlag");
  EXPECT_EQ(keys_class::flag_to_code(0), "0");

  keys_class k;
  k.bindings = {{65, 5, 7, 0}, {188, 0, 8, 0}, {65, 0, 7, 0}};
  EXPECT_EQ(k.get_key_for_cmnd(7), "SHIFT+CTRL-a");
  EXPECT_EQ(k.get_key_for_cmnd(8), "numpad-Enter");
  EXPECT_EQ(k.get_key_for_cmnd(9), "");

  const struct {
    int character, vkey, flags, found;
  } typing[] = {{'A', 65, 1, 1}, {'a', 65, 0, 1},  {'&', 54, 1, 1},  {'^', 54, 1, 1},
                {'{', 179, 1, 1}, {'}', 179, 1, 1}, {'"', 180, 1, 1}, {13, 13, 0, 1},
                {29, 39, 0, 1},   {0xE9, 0, 0, 0},  {127, 0, 0, 0},   {-1, 0, 0, 0}};
  for (const auto& t : typing) {
    int vkey = -1, flags = -1;
    EXPECT_EQ(keys_class::ascii_to_vkey(t.character, vkey, flags), t.found) << t.character;
    EXPECT_EQ(vkey, t.vkey) << t.character;
    EXPECT_EQ(flags, t.flags) << t.character;
  }
  EXPECT_EQ(script_to_utf32('A'), 'A');
  EXPECT_EQ(script_to_utf32(0xE9), 0xE9);
}

}  // namespace

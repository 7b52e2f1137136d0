// The key-binding window on the test display, frame by frame, with clicks through the window
// record and keys through the key translation: adding bindings, editing one by a key press
// (a combination stays bound once), choosing a command group and a command, the scrolling of
// a long list, and the window in English, French and German. Screenshots in
// <build>/screenshots/.
#include "shell/key_binding_window.h"

#include <GL/gl.h>
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/keyboard.h"
#include "shell/shell_globals.h"
#include "shell/translation.h"
#include "shell/widgets.h"
#include "support/alert_recorder.h"
#include "support/graphics_fixture.h"
#include "support/interface_atlas.h"

namespace {

std::vector<std::string>& alerts_seen = recorded_alerts();
int cmd_none, cmd_pause, cmd_faster, cmd_map, cmd_zoom;

// Where the window puts things in a 1024 x 768 screen.
constexpr float kAddX = 10 + 345 + 10 + 92, kAddY = 30;
constexpr float kGroupX = 10 + 345 + 20 + 20;
constexpr float kCommandX = 10 + 345 + 20 + 184 + 10 + 20;
constexpr float kTop = 685;

class KeyBindingWindow : public gl_graphics_test {
 protected:
  static void SetUpTestSuite() {
    gl_graphics_test::SetUpTestSuite();
    ASSERT_TRUE(start_widgets_on_display(SKY_RESOURCES_DIR));
    install_recording_shell_hooks();
    cmd_none = cmnd.add_cmd("sim/operation/none", "Does nothing.");
    cmd_pause = cmnd.add_cmd("sim/operation/pause_toggle", "Pause or run the simulation.");
    cmd_faster = cmnd.add_cmd("sim/operation/faster", "Run the simulation faster.");
    cmd_map = cmnd.add_cmd("sim/map/show", "Show the map.");
    cmd_zoom = cmnd.add_cmd("sim/map/zoom_in", "Zoom the map in.");
  }
  void SetUp() override {
    gl_graphics_test::SetUp();
    alerts_seen.clear();
    mnw.mouse_down = mnw.mouse_up = mnw.mouse_held = mnw.key_went_down = 0;
    mnw.mouse_x = mnw.mouse_y = -100;
    mnw.open_menu = -1;
    mnw.topwi = 0;
    mnw.screen_w = 1024;
    mnw.screen_h = 768;
    mnw.origin_x = mnw.origin_y = 0;
    focus_id = 0;
    keys.bindings.clear();
    keys_wind_state_now() = keys_wind_state();
    UTL_translate_clear();
  }
  void TearDown() override {
    EXPECT_TRUE(alerts_seen.empty()) << alerts_seen.front();
    UTL_translate_clear();
  }

  static void frame() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    BTN_begin_focus_ring();
    BTN_fillwin(1, 21);
    keys.keys_wind(0);
    mnw.mouse_down = mnw.key_went_down = 0;
  }
  static void click(float x, float y) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = mnw.mouse_held = 1;
    frame();
    mnw.mouse_held = 0;
    mnw.mouse_x = mnw.mouse_y = -100;
    frame();
  }
  // A key pressed and let go in one frame, as the event procedure reports it.
  static void press(int scancode, char32_t character, int modifiers) {
    platform_key_event e;
    e.kind = key_event_down;
    e.scancode = scancode;
    e.modifiers = modifiers;
    e.typed = e.unshifted = character;
    e.shifted = character >= 'a' && character <= 'z' ? character - 32 : character;
    keys.handle_key_raw(e);
    mnw.key_went_down = 1;
    e.kind = key_event_up;
    keys.handle_key_raw(e);
    frame();
  }
  static void add(int n) {
    for (int i = 0; i < n; ++i) click(kAddX, kAddY);
  }
};

TEST_F(KeyBindingWindow, RebindingAKeyChangesTheTable) {
  add(3);
  ASSERT_EQ(keys.bindings.size(), 3u);
  for (const key_binding& b : keys.bindings) {
    EXPECT_EQ(b.vkey, 0);
    EXPECT_EQ(b.command, cmd_none);
  }
  // Row 1 edited: Control+F becomes its key.
  click(78, keys_wind_row_y(1));
  EXPECT_EQ(keys_wind_state_now().edited, 1);
  press(SDL_SCANCODE_F, 'f', key_flag_control);
  EXPECT_EQ(keys.bindings[1].vkey, 70);
  EXPECT_EQ(keys.bindings[1].modifiers, key_flag_control);
  EXPECT_EQ(keys.bindings[0].vkey, 0);

  // Row 0 takes the same combination: row 1 loses it.
  click(78, keys_wind_row_y(0));
  EXPECT_EQ(keys_wind_state_now().edited, 0);
  press(SDL_SCANCODE_F, 'f', key_flag_control);
  EXPECT_EQ(keys.bindings[0].vkey, 70);
  EXPECT_EQ(keys.bindings[0].modifiers, key_flag_control);
  EXPECT_EQ(keys.bindings[1].vkey, 0);
  EXPECT_EQ(keys.bindings[1].modifiers, 0);
  // A different combination of the same key is a binding of its own.
  click(78, keys_wind_row_y(2));
  press(SDL_SCANCODE_F, 'f', key_flag_control | key_flag_shift);
  EXPECT_EQ(keys.bindings[0].vkey, 70);
  EXPECT_EQ(keys.bindings[2].vkey, 70);
  EXPECT_EQ(keys.bindings[2].modifiers, key_flag_control | key_flag_shift);
  save_screenshot("key_binding_window_edit");

  // A click on the edited row ends editing: keys then change nothing.
  click(78, keys_wind_row_y(2));
  EXPECT_EQ(keys_wind_state_now().edited, -1);
  press(SDL_SCANCODE_G, 'g', 0);
  EXPECT_EQ(keys.bindings[2].vkey, 70);
  EXPECT_EQ(keys.bindings[0].vkey, 70);

  // The bindings are the ones the key delivery presses.
  EXPECT_EQ(keys.key_bound_to(70, key_flag_control), cmd_none);
  EXPECT_EQ(keys.get_key_for_cmnd(cmd_none), "CTRL-f");
}

// The edited binding's groups and commands: a group's box chooses its first command, a
// command's box binds that command.
TEST_F(KeyBindingWindow, GroupsAndCommandsBindTheEditedKey) {
  add(1);
  click(78, keys_wind_row_y(0));
  press(SDL_SCANCODE_P, 'p', 0);
  EXPECT_EQ(keys_wind_state_now().group, "sim/operation/");
  // Groups under "sim/": operation, map (registry order), and "-none-" of command 0 first.
  const float operation_y = kTop - 15, map_y = kTop - 30;
  // The commands of "sim/operation/": none, pause_toggle, faster.
  click(kCommandX, kTop - 15 + 4);
  EXPECT_EQ(keys.bindings[0].command, cmd_pause);
  click(kCommandX, kTop - 30 + 4);
  EXPECT_EQ(keys.bindings[0].command, cmd_faster);
  click(kGroupX, map_y + 4);
  EXPECT_EQ(keys_wind_state_now().group, "sim/map/");
  EXPECT_EQ(keys.bindings[0].command, cmd_map);
  click(kCommandX, kTop - 15 + 4);
  EXPECT_EQ(keys.bindings[0].command, cmd_zoom);
  save_screenshot("key_binding_window_map");
  click(kGroupX, operation_y + 4);
  EXPECT_EQ(keys.bindings[0].command, cmd_none);
  EXPECT_EQ(keys.key_bound_to(80, 0), cmd_none);
  EXPECT_EQ(keys.bindings[0].vkey, 80);
}

// The path field: a typed path that names a registered command binds it, other text binds
// nothing, and the keys typed there never become the binding's key.
TEST_F(KeyBindingWindow, APathTypedIntoTheFieldBindsItsCommand) {
  add(1);
  click(78, keys_wind_row_y(0));
  press(SDL_SCANCODE_P, 'p', 0);
  ASSERT_EQ(keys.bindings[0].vkey, 80);
  const float field_x = keys_wind_path_x(10 + 345 + 20 + 184 + 10);
  click(field_x + 100, keys_wind_path_y + 2);
  EXPECT_EQ(keys_wind_state_now().path, "sim/operation/none");
  press(SDL_SCANCODE_END, 0, 0);
  for (int i = 0; i < 20; ++i) press(SDL_SCANCODE_BACKSPACE, 0, 0);
  EXPECT_EQ(keys_wind_state_now().path, "");
  EXPECT_EQ(keys.bindings[0].command, cmd_none) << "an empty path names no command";
  for (char c : std::string("sim/map/sho")) press(SDL_SCANCODE_A, static_cast<unsigned char>(c), 0);
  EXPECT_EQ(keys.bindings[0].command, cmd_none) << "no command has that path";
  press(SDL_SCANCODE_A, 'w', 0);
  EXPECT_EQ(keys.bindings[0].command, cmd_map);
  EXPECT_EQ(keys_wind_state_now().group, "sim/map/");
  EXPECT_EQ(keys.bindings[0].vkey, 80) << "the typed keys were the field's";
  EXPECT_EQ(keys.bindings[0].modifiers, 0);
  frame();
  save_screenshot("key_binding_window_path");
  // Out of the field, a key is the binding's again.
  BTN_unfocus_any();
  frame();
  press(SDL_SCANCODE_Q, 'q', 0);
  EXPECT_EQ(keys.bindings[0].vkey, 81);
}

// More bindings than rows: adding one scrolls to show the last rows; the slider's arrows move
// the list.
TEST_F(KeyBindingWindow, ALongListScrolls) {
  add(keys_wind_rows);
  EXPECT_EQ(keys_wind_state_now().scroll, 0);
  add(6);
  ASSERT_EQ(keys.bindings.size(), static_cast<size_t>(keys_wind_rows + 6));
  EXPECT_EQ(keys_wind_state_now().scroll, 6);
  // The first row shown is binding 6: editing it gives that binding the key.
  click(78, keys_wind_row_y(0));
  EXPECT_EQ(keys_wind_state_now().edited, 6);
  press(SDL_SCANCODE_Q, 'q', 0);
  EXPECT_EQ(keys.bindings[6].vkey, 81);
  click(78, keys_wind_row_y(0));
  // The arrow above the slider scrolls up one row at a time, never before the first.
  const float slider_x = 10 + 345 - 15, above = keys_wind_row_y(0) - 14 + 10;
  for (int i = 0; i < 8; ++i) click(slider_x, above);
  EXPECT_EQ(keys_wind_state_now().scroll, 0);
}

TEST_F(KeyBindingWindow, KeyTablesNamesOfTheGroupPaths) {
  struct row {
    const char* path;
    const char* group;
    const char* parent;
  } rows[] = {{"sim/operation/pause", "sim/operation/", "sim/"},
              {"sim/x", "sim/", ""},
              {"none", "", ""},
              {"", "", ""},
              {"a/b/c/d", "a/b/c/", "a/b/"}};
  for (const row& r : rows) {
    EXPECT_EQ(keys_wind_group_of(r.path), r.group) << r.path;
    EXPECT_EQ(keys_wind_parent_of(r.group), r.parent) << r.path;
  }
}

TEST_F(KeyBindingWindow, DrawsInEnglishFrenchAndGerman) {
  const struct {
    int language;
    const char* file;
    const char* shot;
  } langs[] = {{lang_english, nullptr, "key_binding_window_en"},
               {lang_french, "French.txt", "key_binding_window_fr"},
               {lang_german, "German.txt", "key_binding_window_de"}};
  add(3);
  click(78, keys_wind_row_y(1));
  press(SDL_SCANCODE_F, 'f', key_flag_control | key_flag_option);
  std::vector<std::string> buttons;
  for (const auto& l : langs) {
    mnw.language = l.language;
    if (l.file) translate_load_file(l.language, std::string(SKY_SOURCE_DIR) + "/resources/" + l.file, l.file);
    buttons.push_back(UTL_translate_string("Add New Key Assignment"));
    frame();
    EXPECT_FALSE(save_screenshot(l.shot).empty());
  }
  EXPECT_NE(buttons[1], buttons[0]);
  EXPECT_NE(buttons[2], buttons[0]);
}

}  // namespace

// The preferences screen on the test display, frame by frame, with clicks and keys through the
// window record, the key translation and the shell's click handling: every setting changed, the
// preference file written, the settings cleared and read back. The screen is drawn in English,
// French and German for looking at. The proxy port takes 1 to 65535 (0: no proxy) only.
#include <GL/gl.h>
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "files/preferences.h"
#include "install/installer_state.h"
#include "net/http_client.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/event_proc.h"
#include "shell/keyboard.h"
#include "shell/menus.h"
#include "shell/shell_globals.h"
#include "shell/translation.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"
#include "support/display_fixture.h"
#include "support/temp_tree.h"
#include "support/widgets_fixture.h"
#include "wizard/preferences_screen.h"

namespace {

std::vector<std::string> alerts_seen;

class PreferencesScreen : public gl_widgets_test {
 protected:
  static void SetUpTestSuite() {
    gl_widgets_test::SetUpTestSuite();
    shell_hooks hooks;
    hooks.alert = [](int, std::string l1, std::string l2, std::string, std::string, int, const char*, int) {
      alerts_seen.push_back(l1 + " / " + l2);
    };
    hooks.translate = translate_lookup;
    install_shell_hooks(hooks);
    key_delivery delivery;
    delivery.dispatch_to_focus = BTN_dispatch_to_focus;
    delivery.escape_hit = &escape_hit;
    keys_set_delivery(delivery);
  }

  void SetUp() override {
    gl_widgets_test::SetUp();  // screen 2 (600 x 380) centred in the 1024 x 768 window
    widget_screen_title() = "Preferences";
    widget_drawing().menu_open = [] { return mnw.open_menu != -1 ? 1 : 0; };
    MACIBM_clear_menus(1);
    active_popup_code = select_popup_code = 0;
    stg.download_os = 1;
    stg.log_actions = 0;
    stg.get_beta = 0;
    stg.stream_count = 0;
    http.proxy_host.clear();
    http.proxy_port_text.clear();
    http.proxy_port = 0;
    alerts_seen.clear();
    UTL_translate_clear();
  }
  void TearDown() override {
    widget_drawing() = widget_default_drawing();
    UTL_translate_clear();
  }

  // One frame: the screen's widgets, then what the shell does with this frame's press (menu
  // items), and the open pop-up drawn over it.
  static void frame() {
    BTN_begin_focus_ring();
    prefs_draw_frame();
    standard_gui();
    mnw.mouse_down = 0;
    escape_hit = 0;
  }
  static void click(float x, float y) {
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = 1;
    mnw.mouse_held = 1;
    BTN_unfocus_any();
    if (mnw.open_menu != -1) MACIBM_handleclick(0);
    frame();
    mnw.mouse_held = 0;
    frame();
  }
  static void type(const std::u32string& text) {
    for (char32_t c : text) press_key(SDL_SCANCODE_A, c);
    frame();
  }
  static void replace_field_text(float y, const std::u32string& text) {
    click(300, y + 2);
    press_key(SDL_SCANCODE_END);
    frame();
    for (int i = 0; i < 20; ++i) press_key(SDL_SCANCODE_BACKSPACE);
    frame();
    type(text);
  }
};

TEST(PreferencesPort, OnlyPortNumbersAreTaken) {
  struct row {
    const char* text;
    int port;
  } rows[] = {{"8080", 8080}, {"1", 1}, {"65535", 65535}, {"0", 0}, {"", -1}, {"abc", -1},
              {"70000", -1},  {"-1", -1}, {"80a", -1},    {" 80", -1}, {"999999", -1}};
  for (const row& r : rows) EXPECT_EQ(prefs_parse_port(r.text), r.port) << r.text;
}

TEST_F(PreferencesScreen, EverySettingChangesAndIsKeptInThePreferenceFile) {
  temp_tree home;
  setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  frame();
  save_screenshot("preferences_en");

  // Manual streams: ticking shows the number field (1 after the clamp), its up arrow steps to
  // 4 and stops there; unticking sets automatic again in the same frame.
  click(30, 152);
  EXPECT_EQ(stg.stream_count, 1);
  for (int i = 0; i < 5; ++i) click(405, 166);
  EXPECT_EQ(stg.stream_count, 4);
  click(30, 152);
  EXPECT_EQ(stg.stream_count, 0);
  click(30, 152);
  click(405, 166);
  EXPECT_EQ(stg.stream_count, 2);

  click(30, 267);
  EXPECT_EQ(stg.log_actions, 1);
  click(30, 192);
  EXPECT_EQ(stg.get_beta, 1);

  // The platform list: opened by a click, "Windows" picked in the pop-up.
  click(200, 312);
  ASSERT_EQ(mnw.open_menu, static_cast<int>(popup_menu));
  save_screenshot("preferences_popup_en");
  const item_struct windows = menu[popup_menu].items[1];
  EXPECT_EQ(windows.label, "Windows");
  click(200, (windows.y1 + windows.y2) / 2.0f);
  EXPECT_EQ(stg.download_os, 2);
  EXPECT_EQ(mnw.open_menu, -1);

  // Escape closes the list without a pick.
  click(200, 312);
  ASSERT_EQ(mnw.open_menu, static_cast<int>(popup_menu));
  press_key(SDL_SCANCODE_ESCAPE);
  frame();
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(stg.download_os, 2);

  // Proxy host and port, typed.
  replace_field_text(40, U"héllo");
  EXPECT_EQ(http.proxy_host, "h\xC3\xA9llo");
  replace_field_text(20, U"8080");
  EXPECT_EQ(http.proxy_port_text, "8080") << focus_id;
  EXPECT_EQ(http.proxy_port, 8080);
  // Text that is not a port leaves the port as it was.
  replace_field_text(20, U"70000");
  EXPECT_EQ(http.proxy_port, 8080);
  save_screenshot("preferences_bad_port_en");
  replace_field_text(20, U"abc");
  EXPECT_EQ(http.proxy_port, 8080);
  replace_field_text(20, U"3128");
  EXPECT_EQ(http.proxy_port, 3128);
  save_screenshot("preferences_set_en");

  // Written at shut-down, read at the next start.
  pref_installer_fields fields;
  fields.stream_count = &stg.stream_count;
  fields.log_actions = &stg.log_actions;
  fields.get_beta = &stg.get_beta;
  fields.proxy_host = &http.proxy_host;
  fields.proxy_port_text = &http.proxy_port_text;
  fields.proxy_port = &http.proxy_port;
  pref_bind_installer_fields(fields);
  pref.IO_set(11, 1);
  const std::string file = read_whole_file(installer_pref_path());
  EXPECT_NE(file.find("h\xC3\xA9llo"), std::string::npos) << file;
  stg.stream_count = stg.log_actions = stg.get_beta = 0;
  http.proxy_host.clear();
  http.proxy_port_text.clear();
  http.proxy_port = 0;
  pref.IO_set(11, 0);
  EXPECT_EQ(stg.stream_count, 2);
  EXPECT_EQ(stg.log_actions, 1);
  EXPECT_EQ(stg.get_beta, 1);
  EXPECT_EQ(http.proxy_host, "h\xC3\xA9llo");
  EXPECT_EQ(http.proxy_port_text, "3128");
  EXPECT_EQ(http.proxy_port, 3128);
  EXPECT_TRUE(alerts_seen.empty()) << alerts_seen[0];
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(PreferencesScreen, DrawsInFrenchAndGerman) {
  stg.stream_count = 3;
  stg.download_os = 3;
  http.proxy_host = "proxy.example";
  http.proxy_port_text = "8080";
  const struct {
    int language;
    const char* file;
    const char* shot;
    const char* label;
  } langs[] = {{lang_french, "French.txt", "preferences_fr", "Préférences générales"},
               {lang_german, "German.txt", "preferences_de", "Allgemeine Einstellungen"}};
  for (const auto& l : langs) {
    translate_load_file(l.language, std::string(SKY_SOURCE_DIR) + "/resources/" + l.file, l.file);
    EXPECT_EQ(UTL_translate_string("General Preferences"), l.label);
    frame();
    save_screenshot(l.shot);
    click(200, 312);
    save_screenshot(std::string(l.shot) + "_popup");
    press_key(SDL_SCANCODE_ESCAPE);
    frame();
  }
  EXPECT_EQ(stg.stream_count, 3);
  EXPECT_EQ(stg.download_os, 3);
}

}  // namespace

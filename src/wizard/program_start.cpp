#include "wizard/program_start.h"

#include <cstdlib>
#include <cstring>

#include "files/file_ops.h"
#include "files/paths.h"
#include "files/preferences.h"
#include "graphics/draw_2d.h"
#include "graphics/text_draw.h"
#include "graphics/texture_manager.h"
#include "install/installer_state.h"
#include "install/wizard_globals.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/window.h"
#include "runtime/constants.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/placeholders.h"
#include "shell/widgets.h"
#include "shell/translation.h"
#include "shell/value_widgets.h"
#include "wizard/install_registry.h"
#include "wizard/page_calls.h"
#include "wizard/preferences_screen.h"
#include "wizard/server_list.h"
#include "wizard/web_update_flow.h"
#include "wizard/wizard_driver.h"

std::string disc_path_for_relaunch() {
  const char* d = std::getenv("SKY_DISC_PATH");
  if (!d || !*d) return "";
  std::string path = d;
  if (path.back() != '/') path += '/';
  return path;
}

bool bundle_is_on_disc(const std::string& bundle, const std::string& disc) {
  if (disc.empty() || bundle.empty()) return false;
  std::string b = bundle;
  if (b.back() != '/') b += '/';
  std::string d = disc;
  if (d.back() != '/') d += '/';
  return b.compare(0, d.size(), d) == 0;
}

void relaunch_from_disc_copy() {
  const std::string disc = disc_path_for_relaunch();
  const std::string bundle = platform_bundle_path();
  if (!bundle_is_on_disc(bundle, disc)) return;
  std::string temp;
  if (!platform_temp_folder(&temp)) return;
  const std::string name = bundle.substr(bundle.rfind('/') + 1);
  const std::string copy = temp + name + "/";
  // The temporary folder is this run's own (mkdtemp, 0700): nothing stale can be there.
  if (copy_file_recursive(bundle + "/", copy) != 0) return;
  std::string exe = platform_executable_path();
  exe = copy + exe.substr(exe.rfind('/') + 1);
  platform_keep_temp_folder();
  pid_t pid = 0;
  // posix_spawn reports a failed exec (a temporary folder mounted noexec, say) as its result.
  if (platform_spawn({exe}, false, &pid) != 0) {
    platform_remove_temp_folder();
    return;
  }
  std::exit(1);
}

namespace {
void draw_text(int colour, float x, float y, const std::string& text, float width) {
  OGL_string(colour, x, y, text, width, static_cast<charset_t>(0), -1);
}
void draw_string(int colour, float x, float y, const std::string& text, float width, int bold, int align) {
  OGL_string(colour, x, y, text, width, static_cast<charset_t>(bold ? 1 : 0), align);
}
void set_colour(int entry, float red, float green, float blue) { colr.assign(entry, red, green, blue); }
void quad_2d(int texture, int colour, float alpha, const float c[4][4], int units, int alpha_mode) {
  OGL_2dquad(texture, colour, alpha, c[0][0], c[0][1], c[0][2], c[0][3], c[1][0], c[1][1], c[1][2], c[1][3],
             c[2][0], c[2][1], c[2][2], c[2][3], c[3][0], c[3][1], c[3][2], c[3][3], units, alpha_mode);
}
// Bundled pictures the program cannot run without: a missing one is a fatal alert.
int load_texture(int reference, int flags, const std::string& name) {
  return tman.load_texture(4, reference, flags, 100, name);
}
// A check box without a label (the radio look of style 1): 1 in the frame it was clicked.
int check_box(float x, float y, int ticked) {
  int value = ticked ? 1 : 0;
  return BTN_bool(x, y, &value, "", 1);
}
int push_button(float x, float y, float width, const std::string& label) {
  return BTN_action(x, y, width, 0, 1, label, "-");
}
}  // namespace

void install_shell_page_calls() {
  page_calls c = current_page_calls();
  c.translate_plural = UTL_translate_plural;
  c.string_sub = string_sub_list;
  c.draw_text = draw_text;
  c.draw_string = draw_string;
  c.text_width = str_dx;
  c.set_colour = set_colour;
  c.quad_2d = quad_2d;
  c.load_texture = load_texture;
  c.check_box = check_box;
  c.push_button = push_button;
  c.text_field = [](float x, float y, std::string* text, int max_length, const std::string& label, float width) {
    return BTN_enterstring(x, y, text, max_length, label, width, 1);
  };
  c.frame1 = BTN_frame1;
  c.frame2 = BTN_frame2;
  c.action = BTN_action;
  c.is_int = BTN_is_int;
  c.open_prefs = handle_prefs;
  install_page_calls(c);
}

wizard_func wizard_first_screen = net_start;

void wizard_startup(int argc, char** argv) {
  static const char* const atlases[3] = {"RESOURCE:elements_English.png", "RESOURCE:elements_French.png",
                                         "RESOURCE:elements_German.png"};
  const int lang = mnw.language >= 0 && mnw.language <= 2 ? mnw.language : 0;
  // Textures need the window's context; without a window (the release builder) there is none.
  if (window_is_open() && current_page_calls().load_texture)
    current_page_calls().load_texture(button_atlas_texture, 1282, atlases[lang]);

  std::string dirs[5];
  static const int kinds[5] = {os_dir_this_app, os_dir_desktop, os_dir_default_apps, os_dir_temp, os_dir_prefs};
  for (int i = 0; i < 5; ++i) get_OS_abs_path(kinds[i], dirs[i]);
  xer << "os_dir_this_app\t\t=" << dirs[0] << "\n"
      << "os_dir_desktop\t\t=" << dirs[1] << "\n"
      << "os_dir_default_apps\t=" << dirs[2] << "\n"
      << "os_dir_temp\t\t\t=" << dirs[3] << "\n"
      << "os_dir_prefs\t\t\t=" << dirs[4] << "\n\n";
  xer.flush();

  temp_path = dirs[3];
  install_name = no_install_name;
  reset_installer_state();
  // This program fetches the Linux files of the release (and those of every platform).
  stg.download_os = 3;
  bind_installer_preferences();
  bind_update_host_preference();
  pref.IO_set(11, 0);

  if (argc > 2 && std::strcmp(argv[1], "-path") == 0) cmd_line_path = accept_command_line_path(argv[2]);
  locate_all_skyrills();
  g_wizard = wizard_first_screen;
}

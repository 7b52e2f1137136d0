#include "shell/startup.h"

#include <unistd.h>

#include "files/preferences.h"
#include "graphics/text_draw.h"
#include "install/modified_file_question.h"
#include "install/release_builder_display.h"
#include "platform/folders.h"
#include "runtime/command_line.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_services.h"
#include "runtime/stack_dump.h"
#include "runtime/thread_layer.h"
#include "shell/alerts.h"
#include "shell/display_preferences.h"
#include "shell/file_question.h"
#include "shell/frame_input.h"
#include "shell/log.h"
#include "shell/translation.h"
#include "shell/widgets.h"

bool MACIBM_fps_test() { return cmdline.has_option("--fps_test") != 0; }

std::string MACIBM_app_folder() { return platform_app_folder(); }

void shell_install_hooks() {
  shell_hooks hooks;
  hooks.alert = shell_alert;
  hooks.finishup = shell_finishup;
  hooks.translate = translate_lookup;
  hooks.open_url = shell_go_to_URL;
  install_shell_hooks(hooks);
  xtim_set_frame_hook(shell_frame_tick);
  set_builder_display(shell_builder_draw_progress, shell_builder_poll_key_q);
  set_modified_file_question(shell_select_alert);
  graphics_widget_hooks widgets;
  widgets.expand_label = BTN_expand_label;
  widgets.frame1 = BTN_frame1;
  widgets.draw_label = [](float x, float y, int type, std::string text, int lit) {
    BTN_util_draw_label(x, y, type, text, lit);
  };
  install_graphics_widget_hooks(widgets);
  pref_bind_display_io(shell_display_preferences_io);
}

void MACIBM_init(int argc, char** argv) {
  shell_install_hooks();
  UTL_debug_init();
  app_path.clear();  // relative paths resolve against the current folder, which is:
  const std::string folder = MACIBM_app_folder();
  if (!folder.empty() && chdir(folder.c_str()) != 0) {
    // The current folder stays as it was.
  }
  MACIBM_open_log(folder);
  // Every option is echoed to the log; the printing options end the program here, before any
  // thread starts.
  cmdline.init_unix(argc, argv);

  THREAD_init();
  THREAD_make_workers();
}

void shell_finishup(int save) {
  if (save) {
    // The preference file and the key bindings are written here once the settings exist;
    // neither under "--fps_test".
    if (THREAD_is_inited()) THREAD_shutdown();
  }
  xer.close();
}

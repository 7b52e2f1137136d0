// The installer's entry: starts the shell, runs the wizard's frames and shuts down.
#include "install/release_builder.h"
#include "runtime/shell_services.h"
#include "shell/startup.h"
#include "wizard/program_start.h"
#include "wizard/wizard_driver.h"

// The frame loop, once the shell has its event procedure: the wizard is its per-frame function
// and the window's close request takes the wizard's cancel path.
#if __has_include("shell/frame_parts.h") && __has_include("shell/event_proc.h")
#include "shell/event_proc.h"
#include "shell/frame_parts.h"
#define SKY_WIZARD_HAS_FRAMES 1
#endif

// Set in the program's own entry file: 1 only in the release builder.
extern const int is_build;

int skyrill_main(int argc, char** argv) {
  int status = 0;
  if (is_build) {
    MACIBM_init(argc, argv);
    status = release_builder_main(argc, argv);
  } else {
    relaunch_from_disc_copy();
#ifdef SKY_WIZARD_HAS_FRAMES
    shell_use_frame_parts();
    frame_parts.app_update = APP_update;
    frame_parts.app_handlemenu = APP_handlemenu;
    frame_parts.on_quit = wizard_cancel_work;
#endif
    MACIBM_init(argc, argv);
    install_shell_page_calls();
    wizard_startup(argc, argv);
#ifdef SKY_WIZARD_HAS_FRAMES
    while (!app_done) MACIBM_event_proc();
#endif
    // However the loop ended, the last page's workers stop before the globals go.
    wizard_cancel_work();
  }
  MACIBM_finishup(1);
  return status;
}

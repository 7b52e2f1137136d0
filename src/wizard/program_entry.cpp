// The installer's entry: starts the shell, runs the wizard's frames and shuts down.
#include "graphics/movie_gl_capture.h"
#include "graphics/movie_recorder.h"
#include "install/release_builder.h"
#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"
#include "shell/event_proc.h"
#include "shell/frame_parts.h"
#include "shell/startup.h"
#include "wizard/program_start.h"
#include "wizard/wizard_driver.h"

// Set in the program's own entry file: 1 only in the release builder.
extern const int is_build;

int skyrill_main(int argc, char** argv) {
  int status = 0;
  if (is_build) {
    // The release builder runs where there is no display (build machines, CI).
    MACIBM_init_without_window(argc, argv);
    THREAD_make_workers();
    status = release_builder_main(argc, argv);
  } else {
    relaunch_from_disc_copy();
    // The wizard is the frame's per-frame function; the window's close request takes the
    // wizard's cancel path.
    shell_use_frame_parts();
    frame_parts.app_update = APP_update;
    frame_parts.while_frame_renders = wizard_while_frame_renders;
    frame_parts.app_handlemenu = APP_handlemenu;
    frame_parts.on_quit = wizard_cancel_work;
    MACIBM_init(argc, argv);
    // The movie recorder captures the window through its GL context, made by the start-up.
    // It lives as long as the program (the recorder keeps the pointer).
    qtim_set_capture(new movie_gl_capture(movie_gl_capture::pbo_wanted(), {}));
    install_shell_page_calls();
    wizard_startup(argc, argv);
    while (!app_done) MACIBM_event_proc();
    // However the loop ended, the last page's workers stop before the globals go.
    wizard_cancel_work();
    // A running recording is finished and its compressor ended while the context still exists.
    qtim.stop_thread();
  }
  MACIBM_finishup(1);
  return status;
}

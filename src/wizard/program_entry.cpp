// The installer's entry: starts the shell, runs the program and shuts down.
#include "install/release_builder.h"
#include "runtime/shell_services.h"
#include "runtime/thread_layer.h"
#include "shell/event_proc.h"
#include "shell/frame_parts.h"
#include "shell/startup.h"

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
    shell_use_frame_parts();
    MACIBM_init(argc, argv);
    while (!app_done) MACIBM_event_proc();
  }
  MACIBM_finishup(1);
  return status;
}

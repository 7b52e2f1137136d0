// The installer's entry: starts the shell, runs the wizard's frames and shuts down.
#include "install/release_builder.h"
#include "runtime/shell_services.h"
#include "shell/startup.h"
#include "wizard/program_start.h"
#include "wizard/wizard_driver.h"

// Set in the program's own entry file: 1 only in the release builder.
extern const int is_build;

int skyrill_main(int argc, char** argv) {
  int status = 0;
  if (is_build) {
    MACIBM_init(argc, argv);
    status = release_builder_main(argc, argv);
  } else {
    relaunch_from_disc_copy();
    MACIBM_init(argc, argv);
    install_shell_page_calls();
    wizard_startup(argc, argv);
    // However the loop ended, the last page's workers stop before the globals go.
    wizard_cancel_work();
  }
  MACIBM_finishup(1);
  return status;
}

// The installer's entry: starts the shell, runs the program and shuts down.
#include "install/release_builder.h"
#include "runtime/shell_services.h"
#include "shell/startup.h"

// Set in the program's own entry file: 1 only in the release builder.
extern const int is_build;

int skyrill_main(int argc, char** argv) {
  MACIBM_init(argc, argv);
  int status = 0;
  if (is_build) status = release_builder_main(argc, argv);
  MACIBM_finishup(1);
  return status;
}

// The installer's entry: starts the shell, runs the program and shuts down.
#include "runtime/shell_services.h"
#include "shell/startup.h"

int skyrill_main(int argc, char** argv) {
  MACIBM_init(argc, argv);
  MACIBM_finishup(1);
  return 0;
}

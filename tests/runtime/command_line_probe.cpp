// A small program that starts like the installer as far as the command line goes: three
// commands registered, then the option map filled from argv. It prints "no printing option"
// and exits 3 when no option ended it first.
#include <cstdio>

#include "runtime/command_line.h"
#include "runtime/shell_records.h"

int main(int argc, char** argv) {
  cmnd.add_cmd("sim/view/forward", "Look forward.");
  cmnd.add_cmd("sim/view/back", "Look back.");
  cmnd.add_cmd("sim/flight/pause", "Pause the flight.");
  cmdline.init_unix(argc, argv);
  std::printf("no printing option\n");
  return 3;
}

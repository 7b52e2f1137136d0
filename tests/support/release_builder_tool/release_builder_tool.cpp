// The release builder as tests run it: the builder's own entry with the shell double, so that
// its alerts are printed instead of shown and a fatal one ends the run with status 1. It is
// compiled once per release number (see tests/support/CMakeLists.txt).
#include <iostream>

#include "install/release_builder.h"
#include "support/shell_double.h"

int main(int argc, char** argv) {
  int status = release_builder_main(argc, argv);
  for (const auto& a : shell_double::alerts()) {
    std::cerr << "ALERT type " << a.type << " line " << a.line << ": " << a.lines[0] << " | "
              << a.lines[1] << " | " << a.lines[2] << " | " << a.lines[3] << "\n";
    if (a.type == 2) status = 1;
  }
  std::cout << shell_double::log_text();
  return status;
}

// The release builder as tests run it: the builder's own entry with the shell double, so that
// its alerts are printed instead of shown and a fatal one ends the run with status 1. It is
// compiled once per release number (see tests/support/CMakeLists.txt). "--disc_limit_kb=<KB>"
// lowers the size at which the builder starts the next disc, so tests get a set of discs
// without writing gigabytes.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "install/release_builder.h"
#include "support/shell_double.h"

int main(int argc, char** argv) {
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--disc_limit_kb=", 16) == 0) builder_disc_limit_kb = std::atof(argv[i] + 16);
    else args.push_back(argv[i]);
  }
  int status = release_builder_main(static_cast<int>(args.size()), args.data());
  for (const auto& a : shell_double::alerts()) {
    std::cerr << "ALERT type " << a.type << " line " << a.line << ": " << a.lines[0] << " | "
              << a.lines[1] << " | " << a.lines[2] << " | " << a.lines[3] << "\n";
    if (a.type == 2) status = 1;
  }
  std::cout << shell_double::log_text();
  return status;
}

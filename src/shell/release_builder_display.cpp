// The release builder's progress line and its key q. The builder runs inside the window's
// frame loop only once the window exists; until the window layer is built, the line goes to
// the log so that a long build still shows where it is, and no key can stop it.
#include "runtime/shell_services.h"
#include "shell/startup.h"

void shell_builder_draw_progress(const std::string& status, const std::string& path) {
  xer << status << "\n" << path << std::endl;
}

int shell_builder_poll_key_q() { return 0; }

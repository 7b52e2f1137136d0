#include "install/release_builder_display.h"

#include <cstdio>

namespace {
void (*draw_hook)(const std::string&, const std::string&) = nullptr;
int (*poll_hook)() = nullptr;
}  // namespace

void set_builder_display(void (*draw)(const std::string& status, const std::string& path),
                         int (*poll_key_q)()) {
  draw_hook = draw;
  poll_hook = poll_key_q;
}

void builder_draw_progress(const std::string& status, const std::string& path) {
  if (draw_hook) draw_hook(status, path);
  else std::printf("%s\n%s\n", status.c_str(), path.c_str());
}

int builder_poll_key_q() { return poll_hook ? poll_hook() : 0; }

// The release builder's progress line and its key q. The builder blocks the frame loop, so it
// draws its line itself and looks at one event after each line. Before the window exists (the
// builder started as a command-line tool) the line goes to the log and no key can stop a build.
#include "platform/window.h"
#include "runtime/shell_services.h"
#include "shell/modal_screen.h"
#include "shell/startup.h"
#include "shell/widget_drawing.h"

void shell_builder_draw_progress(const std::string& status, const std::string& path) {
  if (!window_is_open()) {
    xer << status << "\n" << path << std::endl;
    return;
  }
  shell_screen_calls& frame = shell_screen();
  frame.fillrect(0, 1, 0, 0, 1024, 30);
  widget_draw_calls& draw = widget_drawing();
  draw.text(12, 10, 17, status, 9999, 0);
  draw.text(12, 10, 7, path, 9999, 0);
  frame.swap();
}

int shell_builder_poll_key_q() {
  if (!window_is_open()) return 0;
  window_event event;
  if (!window_poll_event(&event)) return 0;
  // The key's character arrives as the text event right behind the key-down (and behind each
  // repeat of it), so that is the event that names a q on any keyboard layout.
  return event.type == window_event_type::text && event.text == "q" ? 1 : 0;
}

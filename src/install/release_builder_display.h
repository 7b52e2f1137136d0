// What the release builder needs of the window: its one-line progress display and the key that
// stops a build. The builder blocks the frame loop, so these are its only contact with the
// user. Declared here, below the window; the shell installs the drawing and the key poll as
// hooks (unit tests install a double that records the lines). Without hooks the line goes to
// standard output and no key stops a build.
#pragma once

#include <string>

// Draws the status line and the path below it across the top of the window and swaps buffers.
void builder_draw_progress(const std::string& status, const std::string& path);

// Takes one pending event of the window; 1 when it is a key-down (or auto-repeat) of 'q'.
int builder_poll_key_q();

void set_builder_display(void (*draw)(const std::string& status, const std::string& path),
                         int (*poll_key_q)());

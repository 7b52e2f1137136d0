// The installer's preferences screen: stream count, action log, proxy, beta line and download
// platform, edited in place in stg and the HTTP client and kept in the preference file at
// shut-down. Opened by the wizard's Preferences button. Main thread only.
#pragma once

#include <string>

// Runs the modal screen (shell screen 2) until the user closes it.
void handle_prefs();

// One frame of the screen's widgets (without the shell's frame), for tests.
void prefs_draw_frame();

// The proxy port a text stands for: 1 to 65535, or 0 for "no proxy"; -1 for a text that is not
// such a number (it is then not taken).
int prefs_parse_port(const std::string& text);

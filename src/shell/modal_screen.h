// What the shell's own modal loops (the modified-file question) and the release builder's
// progress line need of the frame around them: making a screen current, running one frame of
// the event procedure, clearing to the background colour, a filled rectangle and the buffer
// swap. The event procedure's unit fills the first two at start-up; until it does, there is no
// frame to ask in. The drawing entries are the graphics layer's 2-D primitives. Tests install a
// frame of their own. Main thread only.
#pragma once

struct shell_screen_calls {
  void (*startwind)(int screen) = nullptr;
  void (*event_proc)() = nullptr;
  void (*plot_back_col)() = nullptr;
  void (*fillrect)(int colour, float alpha, float x, float y, float width, float height) = nullptr;
  void (*swap)() = nullptr;
};

// The calls in use; tests replace entries and put the defaults back.
shell_screen_calls& shell_screen();
const shell_screen_calls& shell_screen_defaults();

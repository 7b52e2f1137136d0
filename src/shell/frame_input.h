// The window's share of each frame's clock step: the timing of mouse presses that the widgets
// read (long press, double press, quick release, the time of the last activity) and the pulse
// of the palette entries 79 to 84. Installed as the frame clock's hook at start-up.
#pragma once

// One frame at elapsed seconds: reads and writes the mouse fields of mnw and the pulsing
// entries of colr. A press drops the widgets' keyboard focus.
void shell_frame_tick(float elapsed);

// Forgets the previous frame's mouse position, as at a fresh start (for tests).
void shell_frame_tick_reset();

// Drops the keyboard focus of the immediate-mode widgets.
void BTN_unfocus_any();

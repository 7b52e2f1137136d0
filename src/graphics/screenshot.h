// Screenshots of the window to "screenshot_N.png" files, N the first number of this run whose
// file does not exist yet (0 for the first). Main thread, with the drawing still in the back
// buffer: call it before the frame's buffer swap, after which the back buffer is undefined.
#pragma once

#include <string>

// Reads the centred part of the window at most 2048 pixels a side into the scratch image and,
// with save set, writes it. 0 on success (or when not saving), else a non-zero code with a
// "WARNING:" line in the log.
int OGL_screenshot(int save);

// The part of a draw_w x draw_h window that is grabbed: at most 2048 a side, centred.
void screenshot_region(int draw_w, int draw_h, int* x, int* y, int* w, int* h);

// The next free name after *counter: increments it until "screenshot_<counter>.png" (relative
// to the current folder) names no existing file, and returns that name.
std::string next_screenshot_name(int* counter);

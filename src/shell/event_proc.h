// One frame of the program: the event procedure that every loop of frames calls (the main
// loop and each modal screen's own loop), making a screen current, clicks outside the widgets
// (menus and the close boxes of modal screens), the hover help and the cursor.
#pragma once

struct window_event;

// One frame: clears the frame's flags, drains the events into the keys and mnw, shows posted
// error reports and texture failures while the main screen is current, steps the clock, lets
// the wizard draw when no modal screen is current, draws the help, the cursor and the open
// menu, and ends the frame with the buffer swap.
void MACIBM_event_proc();

// Dispatches one event. The system's quit request and the window's close button take the
// bottom bar's Quit path: the wizard's cancel hook, then app_done.
void APL_handlewin(const window_event& event);

// Makes a screen current: size, origin, modal flag, focus and menus reset.
void MACIBM_startwind(int screen, int unused = 0);

// A press outside the widgets (by_key 0), or a Return on a modal screen acting as a click
// (by_key 1): opens and closes menus, chooses menu items, closes modal screens.
void MACIBM_handleclick(int by_key);

// The hover-help box and the cursor for this frame.
void mouse_help_per_wind(int screen);

// 1 while the Option (Alt) key, a Shift key or Caps Lock is down.
int has_optionkey();
int has_shiftkey();
int has_capslock();

// A point of the window (pixels from its top-left corner) as the mouse position of mnw.
void MACIBM_load_mxy(void* window, int x, int y);

// Whether the system cursor is shown, as the hover-help code last set it.
bool shell_cursor_shown();
// Forgets the first frame and the cursor state, as at a fresh start (for tests).
void shell_event_proc_reset();

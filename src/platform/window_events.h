// Window events, the mouse, the modifier keys and the cursor, as the shell's frame reads them.
// Replaces the original's Event Manager (GetNextEvent, FlushEvents, the event record of key,
// mouse, update and activate events), the Carbon raw-key and mouse-wheel handlers, GetMouse,
// GetCurrentKeyModifiers and the cursor calls, over SDL2's event queue. The quit request and
// the window manager's close box arrive as one quit event; there is no second window and no
// menu bar. Main thread only (SDL pumps events on the thread that set up video).
#pragma once

#include <cstdint>
#include <string>

enum class window_event_type {
  none,
  quit,         // the quit request or the window's close box
  key_down,     // scancode, modifiers, repeat, text typed by this key
  key_up,
  text,         // text typed with no key-down before it (an input method's result), UTF-8
  mouse_down,   // button, x, y
  mouse_up,
  mouse_move,   // x, y
  wheel,        // wheel_y, already turned the right way for a flipped wheel
  exposed,      // the window must be drawn again
  focus_gained,
  other_window  // any other window event
};

// Modifier bits of window_event::modifiers and window_modifiers().
enum { window_mod_shift = 1, window_mod_alt = 2, window_mod_control = 4 };

struct window_event {
  window_event_type type = window_event_type::none;
  int scancode = 0;   // SDL_Scancode
  int modifiers = 0;  // window_mod_* bits
  bool repeat = false;
  std::string text;
  int button = 0;  // 1 left, 2 middle, 3 right
  int x = 0, y = 0;  // pixels, y counted up from the bottom of the drawable
  int wheel_y = 0;
};

// Takes the next queued event; false when the queue is empty. A key-down takes the typed text
// right behind it in the queue, so the key and its character arrive together.
bool window_poll_event(window_event* event);
// Drops every queued event.
void window_flush_events();
// Mouse position (y up from the bottom) and held buttons (bit 0 left, 1 middle, 2 right).
uint32_t window_mouse_state(int* x, int* y);
int window_modifiers();
void window_show_cursor(bool show);

// Caps Lock is on.
bool window_caps_lock();
// Puts back the system's arrow cursor.
void window_arrow_cursor();
// Starts SDL's event queue on its own (idempotent): enough for the frame's event wait and for
// events pushed by tests, before or without a window.
bool window_init_events();

// The keys the shell acts on before any key translation exists: Return (and keypad Enter),
// Escape, Backspace and Delete.
enum window_key_role { window_key_other, window_key_return, window_key_escape, window_key_delete };
window_key_role window_role_of_key(int scancode);

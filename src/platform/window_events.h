// What the shell's frame needs of the window's events beyond platform/window.h: the typed text
// taken together with its key, Caps Lock, the arrow cursor, the event queue without a window,
// and the few keys the frame acts on itself. Replaces the rest of the original's Event Manager
// and GetCurrentKeyModifiers (Caps Lock). Main thread only.
#pragma once

#include <string>

#include "platform/text.h"
#include "platform/window.h"

// The text typed by the key-down just taken from the queue: SDL sends it as a separate event
// right behind the key. Takes that event and returns true when it is next in the queue.
bool window_take_text_after_key(std::string* text);

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

// A key event of the window as the keyboard translation reads it: down, up or repeat, with the
// typed character of its text and the layout's characters of the key. False for events that
// are not keys (text without a key before it among them: the key that typed it has it).
bool window_key_event_of(const window_event& event, platform_key_event* out);

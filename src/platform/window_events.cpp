#include "platform/window_events.h"

#include <SDL2/SDL.h>

bool window_take_text_after_key(std::string* text) {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  SDL_Event next;
  if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) != 1) return false;
  if (next.type != SDL_TEXTINPUT) return false;
  SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
  *text = next.text.text;
  return true;
}

bool window_init_events() {
  if (SDL_WasInit(SDL_INIT_EVENTS)) return true;
  return SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
}

bool window_caps_lock() {
  return SDL_WasInit(SDL_INIT_EVENTS) && (SDL_GetModState() & KMOD_CAPS) != 0;
}

void window_arrow_cursor() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  static SDL_Cursor* arrow = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  if (arrow) SDL_SetCursor(arrow);
}

window_key_role window_role_of_key(int scancode) {
  switch (scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_RETURN2:
    case SDL_SCANCODE_KP_ENTER: return window_key_return;
    case SDL_SCANCODE_ESCAPE: return window_key_escape;
    case SDL_SCANCODE_BACKSPACE:
    case SDL_SCANCODE_DELETE: return window_key_delete;
    default: return window_key_other;
  }
}

bool window_key_event_of(const window_event& e, platform_key_event* out) {
  if (e.type != window_event_type::key_down && e.type != window_event_type::key_up) return false;
  platform_key_event k;
  k.kind = e.type == window_event_type::key_up ? key_event_up
           : e.repeat                          ? key_event_repeat
                                               : key_event_down;
  k.scancode = e.scancode;
  k.modifiers = e.modifiers;
  const SDL_Keycode key = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(e.scancode));
  // Keys without a character carry the scancode mask instead.
  if (key > 0 && !(key & SDLK_SCANCODE_MASK) && key <= 0x10FFFF)
    k.unshifted = static_cast<char32_t>(key);
  k.shifted = platform_us_shifted(k.unshifted);
  if (k.kind == key_event_up) k.typed = (k.modifiers & window_mod_shift) ? k.shifted : k.unshifted;
  else if (!e.text.empty()) k.typed = platform_first_code_point(e.text.c_str());
  *out = k;
  return true;
}

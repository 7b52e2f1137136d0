#include "platform/window_events.h"

#include <SDL2/SDL.h>

namespace {

int key_modifiers(Uint16 mod) {
  return ((mod & KMOD_SHIFT) ? window_mod_shift : 0) | ((mod & KMOD_ALT) ? window_mod_alt : 0) |
         ((mod & KMOD_CTRL) ? window_mod_control : 0);
}

int drawable_height(Uint32 window_id) {
  int w = 0, h = 0;
  if (SDL_Window* window = SDL_GetWindowFromID(window_id)) SDL_GL_GetDrawableSize(window, &w, &h);
  return h;
}

// The text event right behind a key-down carries that key's character: SDL sends the two
// separately, from the same key press.
void take_following_text(window_event* event) {
  SDL_Event next;
  if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) != 1) return;
  if (next.type != SDL_TEXTINPUT) return;
  SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
  event->text = next.text.text;
}

void translate(const SDL_Event& e, window_event* out) {
  *out = window_event();
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out->type = e.type == SDL_KEYUP ? window_event_type::key_up : window_event_type::key_down;
      out->repeat = e.key.repeat != 0;
      out->scancode = e.key.keysym.scancode;
      out->modifiers = key_modifiers(e.key.keysym.mod);
      if (e.type == SDL_KEYDOWN) take_following_text(out);
      return;
    case SDL_TEXTINPUT:
      out->type = window_event_type::text;
      out->text = e.text.text;
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      out->type = e.type == SDL_MOUSEBUTTONDOWN ? window_event_type::mouse_down
                                                : window_event_type::mouse_up;
      out->button = e.button.button;
      out->x = e.button.x;
      out->y = drawable_height(e.button.windowID) - e.button.y;
      return;
    case SDL_MOUSEMOTION:
      out->type = window_event_type::mouse_move;
      out->x = e.motion.x;
      out->y = drawable_height(e.motion.windowID) - e.motion.y;
      return;
    case SDL_MOUSEWHEEL:
      out->type = window_event_type::wheel;
      out->wheel_y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      return;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_EXPOSED: out->type = window_event_type::exposed; return;
        case SDL_WINDOWEVENT_FOCUS_GAINED: out->type = window_event_type::focus_gained; return;
        case SDL_WINDOWEVENT_CLOSE: out->type = window_event_type::quit; return;
        default: out->type = window_event_type::other_window; return;
      }
    case SDL_QUIT:
      out->type = window_event_type::quit;
      return;
    default:
      out->type = window_event_type::none;
      return;
  }
}

}  // namespace

bool window_init_events() {
  if (SDL_WasInit(SDL_INIT_EVENTS)) return true;
  return SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
}

bool window_poll_event(window_event* event) {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  SDL_Event e;
  if (!SDL_PollEvent(&e)) return false;
  translate(e, event);
  return true;
}

void window_flush_events() {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

uint32_t window_mouse_state(int* x, int* y) {
  *x = *y = 0;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  int top = 0;
  const Uint32 buttons = SDL_GetMouseState(x, &top);
  int w = 0, h = 0;
  if (SDL_Window* window = SDL_GetMouseFocus()) SDL_GL_GetDrawableSize(window, &w, &h);
  *y = h - top;
  return (buttons & SDL_BUTTON_LMASK ? 1u : 0u) | (buttons & SDL_BUTTON_MMASK ? 2u : 0u) |
         (buttons & SDL_BUTTON_RMASK ? 4u : 0u);
}

int window_modifiers() {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return 0;
  return key_modifiers(SDL_GetModState());
}

bool window_caps_lock() {
  return SDL_WasInit(SDL_INIT_EVENTS) && (SDL_GetModState() & KMOD_CAPS) != 0;
}

void window_show_cursor(bool show) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
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

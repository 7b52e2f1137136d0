#include "platform/window.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <cstring>

namespace {

SDL_Window* g_window = nullptr;
SDL_GLContext g_context = nullptr;
gl_pixel_format g_format;
bool g_video_started = false;

bool start_video(std::string* problem) {
  if (g_video_started) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (problem) *problem = SDL_GetError();
    return false;
  }
  g_video_started = true;
  return true;
}

int attribute(SDL_GLattr which) {
  int value = 0;
  if (SDL_GL_GetAttribute(which, &value) != 0) return 0;
  return value;
}

void read_format() {
  g_format.red = attribute(SDL_GL_RED_SIZE);
  g_format.green = attribute(SDL_GL_GREEN_SIZE);
  g_format.blue = attribute(SDL_GL_BLUE_SIZE);
  g_format.alpha = attribute(SDL_GL_ALPHA_SIZE);
  g_format.depth = attribute(SDL_GL_DEPTH_SIZE);
  g_format.stencil = attribute(SDL_GL_STENCIL_SIZE);
  g_format.double_buffer = attribute(SDL_GL_DOUBLEBUFFER);
  g_format.sample_buffers = attribute(SDL_GL_MULTISAMPLEBUFFERS);
  g_format.samples = attribute(SDL_GL_MULTISAMPLESAMPLES);
  g_format.accelerated = attribute(SDL_GL_ACCELERATED_VISUAL);
}

int sdl_modifiers(Uint16 mod) {
  int bits = 0;
  if (mod & KMOD_SHIFT) bits |= window_mod_shift;
  if (mod & KMOD_ALT) bits |= window_mod_alt;
  if (mod & KMOD_CTRL) bits |= window_mod_control;
  return bits;
}

Uint16 to_sdl_modifiers(int bits) {
  Uint16 mod = 0;
  if (bits & window_mod_shift) mod |= KMOD_LSHIFT;
  if (bits & window_mod_alt) mod |= KMOD_LALT;
  if (bits & window_mod_control) mod |= KMOD_LCTRL;
  return mod;
}

int drawable_height() {
  int w = 0, h = 0;
  window_drawable_size(&w, &h);
  return h;
}

// SDL counts window y down from the top; the program counts up from the bottom.
int flip_y(int y) { return drawable_height() - y; }

}  // namespace

bool window_desktop_mode(desktop_mode* mode, std::string* problem) {
  if (!start_video(problem)) return false;
  SDL_DisplayMode m;
  if (SDL_GetDesktopDisplayMode(0, &m) != 0) {
    if (problem) *problem = SDL_GetError();
    return false;
  }
  mode->width = m.w;
  mode->height = m.h;
  mode->bits_per_pixel = static_cast<int>(SDL_BITSPERPIXEL(m.format));
  return true;
}

window_placement window_place(int desktop_width, int desktop_height, int width, int height) {
  window_placement p;
  if (width + 20 > desktop_width || height + 20 > desktop_height) {
    p.borderless = true;
    p.x = 0;
    p.y = 0;
  } else {
    p.x = 0;
    p.y = 40;
  }
  return p;
}

bool window_open(const window_request& request, std::string* problem) {
  if (g_window) {
    if (problem) *problem = "a window is already open";
    return false;
  }
  if (!start_video(problem)) return false;

  Uint32 flags = SDL_WINDOW_OPENGL | (request.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
  if (request.place.borderless) flags |= SDL_WINDOW_BORDERLESS;

  // The ladder: the deepest depth buffer first, then fewer anti-aliasing samples, down to a
  // plain format that every driver offers.
  static const int depths[] = {32, 24};
  static const int sample_steps[] = {16, 8, 4, 2, 0};
  std::string last_error = "no pixel format was tried";
  for (int depth : depths) {
    for (int samples : sample_steps) {
      if (samples > request.samples_wanted) continue;
      SDL_GL_ResetAttributes();
      SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
      SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
      SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
      SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
      SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
      SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
      SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
      SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples);
      // Immediate mode needs the compatibility profile; a core context would refuse it.
      SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);

      SDL_Window* w = SDL_CreateWindow(request.title.c_str(), request.place.x, request.place.y, request.width,
                                       request.height, flags);
      if (!w) {
        last_error = SDL_GetError();
        continue;
      }
      SDL_GLContext c = SDL_GL_CreateContext(w);
      if (!c) {
        // Mesa refuses the profile request when its compatibility version is below 3.0 (an
        // old driver, or MESA_GL_VERSION_OVERRIDE); a context made without one is the legacy
        // kind, which is a compatibility context by definition.
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
        c = SDL_GL_CreateContext(w);
      }
      if (!c) {
        last_error = SDL_GetError();
        SDL_DestroyWindow(w);
        continue;
      }
      g_window = w;
      g_context = c;
      SDL_GL_MakeCurrent(w, c);
      read_format();
      return true;
    }
  }
  if (problem) *problem = last_error;
  return false;
}

void window_close() {
  if (g_context) {
    SDL_GL_MakeCurrent(g_window, nullptr);
    SDL_GL_DeleteContext(g_context);
    g_context = nullptr;
  }
  if (g_window) {
    SDL_DestroyWindow(g_window);
    g_window = nullptr;
  }
  g_format = gl_pixel_format();
}

bool window_is_open() { return g_window != nullptr; }

const gl_pixel_format& window_pixel_format() { return g_format; }

void window_drawable_size(int* width, int* height) {
  int w = 0, h = 0;
  if (g_window) SDL_GL_GetDrawableSize(g_window, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
}

bool window_set_swap_interval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

void window_swap() {
  if (g_window) SDL_GL_SwapWindow(g_window);
}

void* window_gl_proc(const char* name) { return SDL_GL_GetProcAddress(name); }

int window_video_memory_mb() {
  if (!g_context) return -1;
  const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  // Asked of GLX only under SDL's X11 driver; the name is looked up, as it is not in every libGL.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") == 0) {
    using query_fn = int (*)(int attribute, unsigned int* value);
    auto query = reinterpret_cast<query_fn>(SDL_GL_GetProcAddress("glXQueryCurrentRendererIntegerMESA"));
    unsigned int mb = 0;
    const int kVideoMemory = 0x8187;  // GLX_RENDERER_VIDEO_MEMORY_MESA
    if (query && query(kVideoMemory, &mb) && mb > 0) return static_cast<int>(mb);
  }
  if (ext && std::strstr(ext, "GL_NVX_gpu_memory_info")) {
    GLint kb = 0;
    glGetIntegerv(0x9047, &kb);  // GL_GPU_MEMORY_INFO_DEDICATED_VIDMEM_NVX
    if (kb > 0) return kb / 1024;
  }
  return -1;
}

void* window_make_shared_context() {
  if (!g_window) return nullptr;
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  SDL_GLContext c = SDL_GL_CreateContext(g_window);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  // Creating a context makes it current; the main thread keeps drawing with the main one.
  SDL_GL_MakeCurrent(g_window, g_context);
  return c;
}

bool window_make_current(void* context) {
  if (!g_window) return false;
  SDL_GLContext c = context ? static_cast<SDL_GLContext>(context) : g_context;
  return SDL_GL_MakeCurrent(g_window, c) == 0;
}

void window_delete_context(void* context) {
  if (context) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
}

bool window_wait_event(int timeout_ms) { return SDL_WaitEventTimeout(nullptr, timeout_ms) == 1; }

bool window_poll_event(window_event* out) {
  SDL_Event e;
  if (SDL_PollEvent(&e) != 1) return false;
  window_event ev;
  switch (e.type) {
    case SDL_QUIT:
      ev.type = window_event_type::quit;
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      ev.type = e.type == SDL_KEYDOWN ? window_event_type::key_down : window_event_type::key_up;
      ev.scancode = e.key.keysym.scancode;
      ev.modifiers = sdl_modifiers(e.key.keysym.mod);
      ev.repeat = e.key.repeat != 0;
      break;
    case SDL_TEXTINPUT:
      ev.type = window_event_type::text;
      ev.text = e.text.text;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      ev.type = e.type == SDL_MOUSEBUTTONDOWN ? window_event_type::mouse_down
                                              : window_event_type::mouse_up;
      ev.button = e.button.button;
      ev.x = e.button.x;
      ev.y = flip_y(e.button.y);
      break;
    case SDL_MOUSEMOTION:
      ev.type = window_event_type::mouse_move;
      ev.x = e.motion.x;
      ev.y = flip_y(e.motion.y);
      break;
    case SDL_MOUSEWHEEL:
      ev.type = window_event_type::wheel;
      ev.wheel_y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
          ev.type = window_event_type::exposed;
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          ev.type = window_event_type::focus_gained;
          break;
        case SDL_WINDOWEVENT_CLOSE:
          ev.type = window_event_type::quit;
          break;
        default:
          ev.type = window_event_type::other_window;
          break;
      }
      break;
    default:
      ev.type = window_event_type::none;
      break;
  }
  *out = ev;
  return true;
}

void window_flush_events() {
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

bool window_push_event(const window_event& ev) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  Uint32 window_id = g_window ? SDL_GetWindowID(g_window) : 0;
  switch (ev.type) {
    case window_event_type::quit:
      e.type = SDL_QUIT;
      break;
    case window_event_type::key_down:
    case window_event_type::key_up:
      e.type = ev.type == window_event_type::key_down ? SDL_KEYDOWN : SDL_KEYUP;
      e.key.windowID = window_id;
      e.key.state = ev.type == window_event_type::key_down ? SDL_PRESSED : SDL_RELEASED;
      e.key.repeat = ev.repeat ? 1 : 0;
      e.key.keysym.scancode = static_cast<SDL_Scancode>(ev.scancode);
      e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
      e.key.keysym.mod = to_sdl_modifiers(ev.modifiers);
      break;
    case window_event_type::text:
      e.type = SDL_TEXTINPUT;
      e.text.windowID = window_id;
      std::strncpy(e.text.text, ev.text.c_str(), sizeof e.text.text - 1);
      break;
    case window_event_type::mouse_down:
    case window_event_type::mouse_up:
      e.type = ev.type == window_event_type::mouse_down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
      e.button.windowID = window_id;
      e.button.button = static_cast<Uint8>(ev.button);
      e.button.state = ev.type == window_event_type::mouse_down ? SDL_PRESSED : SDL_RELEASED;
      e.button.clicks = 1;
      e.button.x = ev.x;
      e.button.y = flip_y(ev.y);
      break;
    case window_event_type::mouse_move:
      e.type = SDL_MOUSEMOTION;
      e.motion.windowID = window_id;
      e.motion.x = ev.x;
      e.motion.y = flip_y(ev.y);
      break;
    case window_event_type::wheel:
      e.type = SDL_MOUSEWHEEL;
      e.wheel.windowID = window_id;
      e.wheel.y = ev.wheel_y;
      e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
      break;
    case window_event_type::exposed:
    case window_event_type::focus_gained:
      e.type = SDL_WINDOWEVENT;
      e.window.windowID = window_id;
      e.window.event = ev.type == window_event_type::exposed ? SDL_WINDOWEVENT_EXPOSED
                                                             : SDL_WINDOWEVENT_FOCUS_GAINED;
      break;
    default:
      return false;
  }
  return SDL_PushEvent(&e) == 1;
}

uint32_t window_mouse_state(int* x, int* y) {
  int sx = 0, sy = 0;
  Uint32 buttons = SDL_GetMouseState(&sx, &sy);
  if (x) *x = sx;
  if (y) *y = flip_y(sy);
  uint32_t bits = 0;
  if (buttons & SDL_BUTTON_LMASK) bits |= 1;
  if (buttons & SDL_BUTTON_MMASK) bits |= 2;
  if (buttons & SDL_BUTTON_RMASK) bits |= 4;
  return bits;
}

int window_modifiers() { return sdl_modifiers(static_cast<Uint16>(SDL_GetModState())); }

void window_show_cursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

// The application window, its OpenGL context and its events. Replaces the original's Window
// Manager window, QuickDraw main device, AGL pixel format, context and buffer swap, the
// OpenGL framework's entry-point look-up and the Event Manager with SDL2:
// - one SDL_WINDOW_OPENGL window, framed or borderless, never a display-mode or depth switch;
// - the pixel format is found by a ladder (depth 32 then 24, samples from the wanted count
//   down to 0) and always asks for a compatibility context, since everything is drawn in
//   immediate mode; no GL version is requested;
// - entry points come from SDL_GL_GetProcAddress, which on Mesa answers even for names the
//   driver lacks, so features must be judged from the version and extension strings;
// - events arrive as window_event records; there is no menu bar, and CGL switches do nothing.
// Main thread only, except window_make_current.
#pragma once

#include <cstdint>
#include <string>

// The desktop's current mode (SDL_GetDesktopDisplayMode of display 0).
struct desktop_mode {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 0;
};
// False (with *problem set) when there is no display.
bool window_desktop_mode(desktop_mode* mode, std::string* problem);

// Where a window of width x height goes on a desktop: a window whose size plus 20 does not fit
// is borderless at (0, 0), covering the display; any other is framed at (0, 40).
struct window_placement {
  int x = 0;
  int y = 0;
  bool borderless = false;
};
window_placement window_place(int desktop_width, int desktop_height, int width, int height);

struct window_request {
  std::string title;
  int width = 1024;
  int height = 768;
  window_placement place;
  int samples_wanted = 0;  // anti-aliasing samples to try first (16, 8, 4, 2 or 0)
  bool hidden = false;     // tests draw into a window that is never mapped
};

// What the pixel-format ladder settled on, as SDL_GL_GetAttribute reports it.
struct gl_pixel_format {
  int red = 0, green = 0, blue = 0, alpha = 0;
  int depth = 0, stencil = 0;
  int double_buffer = 0;
  int sample_buffers = 0, samples = 0;
  int accelerated = 0;
};

// Opens the window and makes its context current. False (with *problem set: SDL's own text)
// when no window or no context can be made with any format of the ladder. Only one window
// exists at a time.
bool window_open(const window_request& request, std::string* problem);
// Destroys the contexts and the window; nothing when none is open.
void window_close();
bool window_is_open();

const gl_pixel_format& window_pixel_format();
// The drawable size in pixels.
void window_drawable_size(int* width, int* height);
// 0 turns off waiting for the vertical blank (tests and benchmarks); false when the driver
// refuses.
bool window_set_swap_interval(int interval);
void window_swap();

// An OpenGL entry point by name, or null. Valid once a window is open.
void* window_gl_proc(const char* name);

// The video memory of the current context's renderer in megabytes (GLX_MESA_query_renderer,
// else GL_NVX_gpu_memory_info); -1 when the driver does not say.
int window_video_memory_mb();

// A second context that shares the main one, for a worker thread; null when the driver
// refuses. The main context stays current on the calling thread.
void* window_make_shared_context();
// Makes a context current on the calling thread (null: the main one); false on failure.
bool window_make_current(void* context);
void window_delete_context(void* context);

// Events
enum class window_event_type {
  none,
  quit,         // the quit request or the window's close box
  key_down,     // scancode, modifiers, repeat
  key_up,
  text,         // text typed, UTF-8
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

// Waits up to timeout_ms for an event to arrive (leaving it queued); true when one is there.
bool window_wait_event(int timeout_ms);
// Takes the next queued event; false when the queue is empty.
bool window_poll_event(window_event* event);
// Drops every queued event.
void window_flush_events();
// Queues an event as if it came from the system (tests drive input with it).
bool window_push_event(const window_event& event);

// Mouse position (y up from the bottom) and held buttons (bit 0 left, 1 middle, 2 right).
uint32_t window_mouse_state(int* x, int* y);
int window_modifiers();
void window_show_cursor(bool show);

// The display and the window as start-up and shut-down use them: the desktop's mode, the one
// window with its GL context (found down the pixel-format ladder), extra contexts for worker
// threads, and the starting GL state. Start-up uses the display installed here; tests install a
// fake one to check placement and depth decisions.
#pragma once

#include <string>

// What the pixel-format ladder settled on, as the driver reports it.
struct shell_pixel_format {
  int rgba = 1, double_buffer = 1;
  int red = 0, green = 0, blue = 0, alpha = 0, depth = 0;
  int samples = 0;  // 0 without multisampling
};

class shell_display {
 public:
  virtual ~shell_display() = default;
  // The main display's width, height and bits per pixel; false when there is no display.
  virtual bool desktop_mode(int* width, int* height, int* bits_per_pixel) = 0;
  // Opens the window at (left, top), framed or not, and its current context, trying
  // samples_wanted samples first and fewer down to none. False with *problem set on failure.
  virtual bool open_window(int left, int top, int width, int height, bool frameless,
                           int samples_wanted, std::string* problem) = 0;
  virtual void close_window() = 0;
  virtual shell_pixel_format pixel_format() = 0;
  // The drawable's size in pixels.
  virtual void drawable_size(int* width, int* height) = 0;
  // The graphics memory in MB, or -1 when the driver does not tell.
  virtual long video_memory_mb() { return -1; }
  // Loads the GL entry points: 0 on success, else a code for the alert.
  virtual int init_entry_points() { return 0; }
  // The GL state every frame starts from.
  virtual void starting_gl_state(bool multisample) = 0;
  // A context sharing the window's, for a worker thread; null when refused.
  virtual void* make_shared_context() = 0;
  // Makes a context current on the calling thread; false on failure.
  virtual bool make_current(void* context) = 0;
  virtual void swap() = 0;
  // The window and its context as handles for mnw.
  virtual void* window_handle() = 0;
  virtual void* context_handle() = 0;
};

// The display in use: the program's window unless another is installed (null restores it).
shell_display* shell_display_in_use();
void shell_set_display(shell_display* display);
// The program's window (platform/window.h).
shell_display* shell_window_display();

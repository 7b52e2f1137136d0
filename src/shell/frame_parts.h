// What the shell's frame, start-up and alert code calls in the units beside and above it: the
// 2-D drawing primitives and the texture manager of the graphics layer, the widgets, the key
// translation, the menus' drawing, the language table and the wizard. Each entry is a plain
// pointer to that unit's function, filled by shell_use_frame_parts at start-up (the wizard's
// entries by the program entry); an entry left null does nothing (returns 0). Tests install
// recorders.
#pragma once

#include <string>
#include <vector>

struct window_event;

struct shell_frame_parts {
  // The wizard: its per-frame function, its menu commands and its cancel hook (the bottom
  // bar's Quit). Null quit: the main loop simply ends.
  void (*app_update)() = nullptr;
  void (*app_handlemenu)(int code) = nullptr;
  void (*on_quit)() = nullptr;
  // Work of the wizard's page that goes on while the frame it just drew is rendered, before
  // the swap waits for that.
  void (*while_frame_renders)() = nullptr;

  // Keys: one raw key or text event, and the per-frame repeat of held bindings.
  void (*handle_key_raw)(const window_event& event) = nullptr;
  void (*run_repeat_keys)() = nullptr;

  // Graphics: GL specs of mnw, the 2-D viewport, the buffer swap, the hand-over of the frame's
  // drawing to the renderer, the background colour, text, text width, one textured quad
  // (corners x, y, s, t), the GL state an alert starts from, the movie recorder's per-frame
  // step (non-zero: it took the frame).
  void (*pix_specs)(int mode) = nullptr;
  void (*viewport_2d)() = nullptr;
  void (*swap_buffers)() = nullptr;
  void (*flush_drawing)() = nullptr;
  void (*plot_back_col)() = nullptr;
  float (*draw_string)(int colour, float x, float y, const std::string& text, float width,
                       int align) = nullptr;
  float (*str_dx)(const std::string& text) = nullptr;
  void (*quad_2d)(int texture, int colour, float alpha, const float corners[4][4]) = nullptr;
  void (*reset_gl_state)() = nullptr;
  int (*movie_per_frame)() = nullptr;
  // Texture load failures by kind (0 scenery, 1 aircraft, 2 installation): query and mute.
  int (*texture_failed)(int kind) = nullptr;
  void (*mute_texture_failure)(int kind) = nullptr;
  // Loads a base texture (fail mode 4); keeps the decoded image of flags 0x200 for pixel().
  int (*load_texture)(int reference, int flags, const std::string& name) = nullptr;
  // The red, green, blue and alpha bytes of the kept image's pixel (column, row), rows in the
  // loader's order (the bottom row first); false when there is none.
  bool (*scratch_pixel)(int column, int row, unsigned char rgba[4]) = nullptr;
  // The capability detection.
  void (*init_extensions)() = nullptr;

  // Widgets.
  void (*begin_focus_ring)() = nullptr;
  int (*zap_boxes)(int lit) = nullptr;
  void (*frame1)(int type, float x_centre, float y_centre, float width, int colour) = nullptr;
  void (*frame2)(int type, float x, float y, float width, float height,
                 const std::string& title) = nullptr;
  void (*fillwin)(int close_boxes, int inner_type) = nullptr;
  void (*subwin)(float top_reserve, int type, float x, float y, float width, float height,
                 const std::string& title, float* next_x, float* next_y) = nullptr;
  int (*action)(float x, float y, float width, int lit, int style, const std::string& label,
                const std::string& hint) = nullptr;
  int (*is_int)(float x, float y, int* variable, int value, const std::string& label) = nullptr;
  // The open in-window menu.
  void (*standard_gui)() = nullptr;

  // Languages: the default one (-1 none), the offered ones, a row's button label and folder,
  // and loading or clearing the translation.
  int (*default_language)() = nullptr;
  std::vector<int> (*languages)() = nullptr;
  std::string (*language_button)(int language) = nullptr;
  std::string (*language_folder)(int language) = nullptr;
  void (*translate_load)(int language, const std::string& path) = nullptr;
  void (*translate_clear)() = nullptr;
};

// The parts in use; start-up fills them.
extern shell_frame_parts frame_parts;

// Fills the parts with the units the program has: the program's start-up calls it first.
void shell_use_frame_parts();

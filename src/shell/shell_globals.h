// The shell's globals beside the window-and-input record mnw (runtime/shell_records.h): the
// per-frame key flags, the interface texts, the in-window menu table, the table of fixed-size
// screens and the start-up tables. Main thread only; no lock.
#pragma once

#include <string>
#include <vector>

// Per-frame key flags: set by the key translation, cleared at the start of every frame. A
// screen that acts on Return clears return_hit itself, so the next screen does not act again.
extern int return_hit;  // Return or Enter went down this frame
extern int escape_hit;  // Escape went down this frame
extern int delete_hit;  // Delete or Backspace went down this frame

// Non-zero once a screen has been started: the start-up progress screen may draw.
extern int plot_init_lights;

// The interface texts: the current screen's title, drawn by the window frame; 1800 text
// slots (602 is the alert's button label, the others the shell reads stay empty); and the
// hover-help text a widget sets while the mouse is over it, shown and cleared every frame.
struct stls_struct {
  enum { slot_count = 1800 };
  std::string title;
  std::string texts[slot_count];
  std::string after_texts;
  std::string help;
};
extern stls_struct stls;

// A general-purpose scratch text.
extern std::string stl_global;

// One fixed-size screen that MACIBM_startwind sizes and makes modal; every other id takes the
// window's drawable size and is not modal.
struct shell_screen_entry {
  int id;
  const char* title;  // a literal title, or null: the title is text slot title_slot
  int title_slot;     // -1 with a literal title
  int width, height;
};
// The row of a screen id, or null for ids that are not in the table (0 among them).
const shell_screen_entry* MACIBM_screen_entry(int id);
// The title the table gives a screen id; "" for slots nobody fills.
std::string MACIBM_screen_title(const shell_screen_entry& entry);

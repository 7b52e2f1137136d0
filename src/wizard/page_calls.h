// The shell calls that the wizard's driver and page helpers (the destination chooser, the
// disk-space report and the display formats) make: the plural choice and placeholder filling of
// the translation engine, texts drawn on the page, the widgets and the textured quads. They go through this
// table so that the helpers' logic stands on its own; the program's start-up points it at the
// shell (its translation and its widgets), and tests point it at doubles.
#pragma once

#include <string>
#include <vector>

struct page_calls {
  // The English singular or plural by count and the language's rule, then translated.
  std::string (*translate_plural)(int count, const std::string& singular, const std::string& plural) = nullptr;
  // Fills the numbered placeholders "%N:name%" of text with values[N - 1].
  std::string (*string_sub)(const std::string& text, const std::vector<std::string>& values) = nullptr;
  // Draws text in a palette colour at (x, y), wrapped at width, regular font, left-aligned.
  void (*draw_text)(int colour, float x, float y, const std::string& text, float width) = nullptr;
  // The width of a text in screen units, regular font.
  float (*text_width)(const std::string& text) = nullptr;
  // A check box without a label at (x, y), style 1; 1 in the frame in which it was clicked.
  int (*check_box)(float x, float y, int ticked) = nullptr;
  // A push button centred on (x, y), not highlighted, style 1, no side text; 1 when clicked.
  int (*push_button)(float x, float y, float width, const std::string& label) = nullptr;
  // A one-line text field (left edge x, baseline y) editing *text, cut to max_length bytes,
  // taking the keyboard when nothing holds it; 1 in the frame in which the text changed.
  int (*text_field)(float x, float y, std::string* text, int max_length, const std::string& label,
                    float width) = nullptr;

  // The driver's calls.
  // Sets a palette entry.
  void (*set_colour)(int entry, float red, float green, float blue) = nullptr;
  // A textured quad through four corners (x, y, s, t each), window units.
  void (*quad_2d)(int texture, int colour, float alpha, const float corners[4][4], int units,
                  int alpha_mode) = nullptr;
  // Text with its charset (0 regular, 1 bold) and alignment (-1 left, 0 centred, 1 right).
  void (*draw_string)(int colour, float x, float y, const std::string& text, float width, int bold,
                      int align) = nullptr;
  // A widget frame centred on (x, y) of the given width, and a panel with its lower-left corner.
  void (*frame1)(int type, float x_centre, float y_centre, float width, int colour) = nullptr;
  void (*frame2)(int type, float x, float y, float width, float height, const std::string& title) = nullptr;
  // A push button (1 when clicked) and a radio button over *variable with its value.
  int (*action)(float x, float y, float width, int lit, int style, const std::string& label,
                const std::string& hint) = nullptr;
  int (*is_int)(float x, float y, int* variable, int value, const std::string& label) = nullptr;
  // The modal preferences screen; returns when the user closes it.
  void (*open_prefs)() = nullptr;
  // Loads a bundled picture into a texture reference (a missing file is a fatal alert).
  int (*load_texture)(int reference, int flags, const std::string& name) = nullptr;
};

// Points the helpers at a new table; a null entry draws nothing, counts no click, measures 0.
void install_page_calls(const page_calls& calls);
const page_calls& current_page_calls();

// The helpers' use of the table. A missing plural choice takes the English rule (the plural for
// every count but 1) and translates; a missing placeholder filler leaves the text unfilled.
std::string page_plural(int count, const std::string& singular, const std::string& plural);
std::string page_sub(const std::string& text, const std::vector<std::string>& values);
void page_draw_text(int colour, float x, float y, const std::string& text, float width);
float page_text_width(const std::string& text);
int page_check_box(float x, float y, int ticked);
int page_push_button(float x, float y, float width, const std::string& label);
int page_text_field(float x, float y, std::string* text, int max_length, const std::string& label, float width);

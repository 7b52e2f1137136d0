// The text calls of the 2-D drawing unit: plain and grey-backed labels, the fixed-cell glyph
// set-up, a labelled read-only text field and the number renderer. Positions are screen units
// relative to the current screen's origin, y up; colours are palette entries.
#pragma once

#include <string>

#include "graphics/font.h"

// The width of the text in the regular font.
float str_dx(const std::string& text);

// Draws the text one unit below y (so that its baseline sits on the row above y) and returns
// the baseline of the line after it, as OGL_font_string does.
float OGL_string(int colour, float x, float y, const std::string& text, float wrap_width,
                 charset_t font, int align);

// A text centred on x over a half-transparent grey box.
void OGL_gray_string(int colour, float x, float y, std::string text);

// Sets the text state and colour, binds the interface atlas and gives the cell figures of the
// fixed-step characters: returns their advance (0 for the regular font, 10 for bold). Any font
// but those two is a fatal alert and returns 0.
int OGL_strtex(charset_t font, int colour, float* s, float* t, float* cell_width, float* cell_height);

// A labelled read-only text field: the label is split into a left text, a right text and a
// help text; the box is as wide as the text (bold: 10 units a byte; another font: 100 units).
void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text,
                      charset_t font, int colour);

// A number with `digits` digits, `decimals` of them after the point: bold in fixed cells 10
// units apart ending at x; any other font as the text of OGL_number_text.
void OGL_number(int colour, float x, float y, float value, int digits, int decimals, charset_t font);

// The widgets the text field is drawn with belong to the shell, which installs them at start-up.
// Until then the label is taken whole as the left text and no frame or label is drawn.
struct graphics_widget_hooks {
  void (*expand_label)(const std::string& label, std::string* left, std::string* right,
                       std::string* help) = nullptr;
  void (*frame1)(int type, float x, float y, float width, int flag) = nullptr;
  void (*draw_label)(float x, float y, int type, std::string text, int flag) = nullptr;
};
void install_graphics_widget_hooks(const graphics_widget_hooks& hooks);

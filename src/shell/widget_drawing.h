// What the widget toolkit draws with and what it reads of the rest of the shell, gathered in
// one table of calls so that the geometry of every frame can be recorded without GL and so
// that the toolkit does not wait on the units beside it: the textured quads, the text, the
// buffer swap, the hover-help text, the current screen's title and whether an in-window menu
// is open. The defaults draw through the graphics layer (state cache, texture manager, 2-D
// primitives, text); the hover help, title and menu entries keep their own values until the
// shell's globals take them over. Main thread only.
#pragma once

#include <string>
#include <vector>

// One axis-aligned quad of a frame: window position (origin already added) and texel
// coordinates of the texture it is cut from.
struct widget_quad {
  float x0, y0, x1, y1;
  float s0, t0, s1, t1;
};

struct widget_draw_calls {
  // One batch of quads from texture ref, whose texel coordinates are scaled by s_scale and
  // t_scale into 0 to 1, in palette colour `colour` by the frame colour rule; drawn with fog,
  // lighting and the depth test off, one texture unit and alpha blending.
  void (*quads)(int ref, int colour, float s_scale, float t_scale, const std::vector<widget_quad>& quads);
  // One quad through four corners (x, y, s, t), positions relative to the current screen's
  // origin, s and t already in 0 to 1: as OGL_2dquad with one unit and blending.
  void (*quad_2d)(int ref, int colour, float alpha, const float corners[4][4]);
  // Text as OGL_string with the regular font (relative positions; returns the next baseline),
  // its width as str_dx, and a number as OGL_number in the bold font.
  float (*text)(int colour, float x, float y, const std::string& text, float wrap_width, int align);
  float (*text_width)(const std::string& text);
  void (*number)(int colour, float x, float y, float value, int digits, int decimals);
  // Ends the frame now: the pressed look of a button shows before its caller acts.
  void (*swap)();
  // The hover-help text: set while the mouse is over a widget, shown by the frame.
  void (*set_help)(const std::string& help);
  // The current screen's title, drawn by the window frame.
  std::string (*screen_title)();
  // Non-zero while an in-window menu or the pop-up list is open: no widget reacts then.
  int (*menu_open)();
};

// The calls in use; tests replace entries and put the defaults back.
widget_draw_calls& widget_drawing();
const widget_draw_calls& widget_default_drawing();

// What the default set_help and screen_title keep and give, until the shell's own texts take
// over.
std::string& widget_help_text();
std::string& widget_screen_title();

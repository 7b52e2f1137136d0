// The widget toolkit's drawing calls: the graphics layer's cached state, texture binds through
// the texture manager, its colour rule, quads and swap.
#include "shell/widget_drawing.h"

#include <GL/gl.h>

#include "graphics/draw_2d.h"
#include "graphics/gl_state.h"
#include "graphics/text_draw.h"
#include "graphics/texture_manager.h"

namespace {

void gl_quads(int ref, int colour, float s_scale, float t_scale, const std::vector<widget_quad>& quads) {
  if (quads.empty()) return;
  // Widgets lie flat on the screen: no fog, one texture unit, no lighting, the atlas's soft
  // edges blended over what is below, and no depth test or writes.
  OGL_setstate(1, 1, 3, 5, 9, 11);
  tman.bind_ref(ref, 0, 0);
  set_palette_colour(colour, 1.0f);
  glBegin(GL_QUADS);
  for (const widget_quad& q : quads) {
    glTexCoord2f(q.s0 * s_scale, q.t0 * t_scale);
    glVertex2f(q.x0, q.y0);
    glTexCoord2f(q.s0 * s_scale, q.t1 * t_scale);
    glVertex2f(q.x0, q.y1);
    glTexCoord2f(q.s1 * s_scale, q.t1 * t_scale);
    glVertex2f(q.x1, q.y1);
    glTexCoord2f(q.s1 * s_scale, q.t0 * t_scale);
    glVertex2f(q.x1, q.y0);
  }
  glEnd();
}

void gl_quad_2d(int ref, int colour, float alpha, const float c[4][4]) {
  OGL_2dquad(ref, colour, alpha, c[0][0], c[0][1], c[0][2], c[0][3], c[1][0], c[1][1], c[1][2], c[1][3], c[2][0],
             c[2][1], c[2][2], c[2][3], c[3][0], c[3][1], c[3][2], c[3][3], 1, 5);
}

float regular_text(int colour, float x, float y, const std::string& text, float wrap_width, int align) {
  return OGL_string(colour, x, y, text, wrap_width, font_regular, align);
}

void bold_number(int colour, float x, float y, float value, int digits, int decimals) {
  OGL_number(colour, x, y, value, digits, decimals, font_bold);
}

void keep_help(const std::string& help) { widget_help_text() = help; }
std::string kept_title() { return widget_screen_title(); }
int no_menu_open() { return 0; }

widget_draw_calls make_defaults() {
  widget_draw_calls calls;
  calls.quads = gl_quads;
  calls.quad_2d = gl_quad_2d;
  calls.text = regular_text;
  calls.text_width = str_dx;
  calls.number = bold_number;
  calls.swap = OGL_sbuff;
  calls.set_help = keep_help;
  calls.screen_title = kept_title;
  calls.menu_open = no_menu_open;
  return calls;
}

}  // namespace

const widget_draw_calls& widget_default_drawing() {
  static const widget_draw_calls defaults = make_defaults();
  return defaults;
}

widget_draw_calls& widget_drawing() {
  static widget_draw_calls calls = widget_default_drawing();
  return calls;
}

std::string& widget_help_text() {
  static std::string help;
  return help;
}

std::string& widget_screen_title() {
  static std::string title;
  return title;
}

// The widget toolkit's drawing calls on plain immediate-mode GL, used until start-up points
// them at the state cache and the texture manager.
#include "shell/widget_drawing.h"

#include <GL/gl.h>

#include <algorithm>

#include "graphics/gl_capabilities.h"
#include "graphics/text_draw.h"
#include "platform/window.h"
#include "runtime/shell_records.h"

namespace {

// The frame colour rule: entries up to 45 are tinted by the light entry 105; monochrome turns
// the colour into its clamped brightness in green; the global alpha applies, and a colour that
// is all but opaque is set with alpha 1 so that no earlier alpha lingers.
void set_frame_colour(int colour, float alpha) {
  colour = std::clamp(colour, 0, colr_class::entry_count - 1);
  float r = colr.rgb[colour][0], g = colr.rgb[colour][1], b = colr.rgb[colour][2];
  if (colour <= 45) {
    r *= colr.rgb[105][0];
    g *= colr.rgb[105][1];
    b *= colr.rgb[105][2];
  }
  if (ren.monochrome) {
    g = std::clamp(r + g + b, 0.01f, 1.0f);
    r = b = 0;
  }
  const float a = alpha * ren.global_alpha;
  glColor4f(r, g, b, a > 0.99f ? 1.0f : a);
}

void begin_textured(int ref) {
  // Widgets lie flat on the screen: nothing may fog, light or depth-test them away, and the
  // atlas's soft edges blend over what is below.
  glDisable(GL_FOG);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(ref));
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void gl_quads(int ref, int colour, float s_scale, float t_scale, const std::vector<widget_quad>& quads) {
  if (quads.empty()) return;
  begin_textured(ref);
  set_frame_colour(colour, 1.0f);
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

void gl_quad_2d(int ref, int colour, float alpha, const float corners[4][4]) {
  begin_textured(ref);
  set_frame_colour(colour, alpha);
  glBegin(GL_QUADS);
  for (int i = 0; i < 4; ++i) {
    glTexCoord2f(corners[i][2], corners[i][3]);
    glVertex2f(corners[i][0] + mnw.origin_x, corners[i][1] + mnw.origin_y);
  }
  glEnd();
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
  calls.swap = window_swap;
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

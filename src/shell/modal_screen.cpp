// The frame calls of the shell's modal loops, with the drawing on plain immediate-mode GL.
#include "shell/modal_screen.h"

#include <GL/gl.h>

#include <algorithm>

#include "platform/window.h"
#include "runtime/shell_records.h"

namespace {

const float* palette(int colour) { return colr.rgb[std::clamp(colour, 0, colr_class::entry_count - 1)]; }

void clear_to_background() {
  const float* c = palette(34);
  glClearColor(c[0], c[1], c[2], 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

void plain_fillrect(int colour, float alpha, float x, float y, float width, float height) {
  // Untextured and flat: nothing of the last widget's texture or depth state may show.
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  const float* c = palette(colour);
  glColor4f(c[0], c[1], c[2], alpha > 0.99f ? 1.0f : alpha);
  const float x0 = x + mnw.origin_x, y0 = y + mnw.origin_y;
  glRectf(x0, y0, x0 + width, y0 + height);
}

shell_screen_calls make_defaults() {
  shell_screen_calls calls;
  calls.plot_back_col = clear_to_background;
  calls.fillrect = plain_fillrect;
  calls.swap = window_swap;
  return calls;
}

}  // namespace

const shell_screen_calls& shell_screen_defaults() {
  static const shell_screen_calls defaults = make_defaults();
  return defaults;
}

shell_screen_calls& shell_screen() {
  static shell_screen_calls calls = shell_screen_defaults();
  return calls;
}

// The frame calls of the shell's modal loops: drawing through the 2-D primitives.
#include "shell/modal_screen.h"

#include "graphics/draw_2d.h"

namespace {

shell_screen_calls make_defaults() {
  shell_screen_calls calls;
  calls.plot_back_col = OGL_plot_back_col;
  calls.fillrect = OGL_fillrect;
  calls.swap = OGL_sbuff;
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

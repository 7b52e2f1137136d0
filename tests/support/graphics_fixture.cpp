#include "support/graphics_fixture.h"

#include "graphics/draw_2d.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "runtime/shell_records.h"
#include "support/shell_double.h"

void start_test_graphics(int width, int height) {
  shell_double::reopen_log();
  OGL_extensions::init_entry_points();
  glExt = OGL_extensions();
  glExt.init_extensions();
  reset_gl_state_cache();
  TEX_reset_bind();
  mnw.draw_w = width;
  mnw.draw_h = height;
  mnw.topwi = 0;
  mnw.origin_x = 0;
  mnw.origin_y = 0;
  OGL_pix_specs(0);
  OGL_nrml_colors();
}

void gl_graphics_test::SetUpTestSuite() {
  gl_display_test::SetUpTestSuite();
  start_test_graphics(1024, 768);
}

void gl_graphics_test::SetUp() {
  gl_display_test::SetUp();
  mnw.topwi = 0;
  mnw.origin_x = 0;
  mnw.origin_y = 0;
  OGL_pix_specs(0);
  OGL_nrml_colors();
}

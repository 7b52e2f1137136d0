// The wizard's window as the benchmarks open it: 800 x 600, no swap wait, the GL state caches
// reset, the page calls installed and the three pictures a page draws loaded from the Resources
// folder beside resource_program. False (with the reason on stderr) when no window opens.
#pragma once

#include <cstdio>
#include <string>

#include "graphics/draw_2d.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "graphics/texture_manager.h"
#include "platform/folders.h"
#include "platform/window.h"
#include "runtime/shell_records.h"
#include "wizard/program_start.h"
#include "wizard/wizard_driver.h"

inline bool open_wizard_window(const char* title, const char* resource_program) {
  window_request request;
  request.title = title;
  request.width = 800;
  request.height = 600;
  std::string problem;
  if (!window_open(request, &problem)) {
    std::fprintf(stderr, "no window: %s\n", problem.c_str());
    return false;
  }
  window_set_swap_interval(0);
  OGL_extensions::init_entry_points();
  glExt.init_extensions();
  reset_gl_state_cache();
  TEX_reset_bind();
  window_drawable_size(&mnw.draw_w, &mnw.draw_h);
  mnw.topwi = 0;
  OGL_pix_specs(0);
  OGL_nrml_colors();
  mnw.screen_w = 800;
  mnw.screen_h = 600;
  mnw.mouse_x = mnw.mouse_y = -100;
  platform_set_executable_path(resource_program);
  install_shell_page_calls();
  tman.load_texture(4, background_texture, 0x501, 100, "RESOURCE:background.png");
  tman.load_texture(4, 392, 0x502, 100, "RESOURCE:interface.png");
  tman.load_texture(4, button_atlas_texture, 1282, 100, "RESOURCE:elements_English.png");
  return true;
}

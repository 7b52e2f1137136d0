#include "shell/frame_parts.h"

#include <GL/gl.h>

#include "graphics/draw_2d.h"
#include "graphics/gl_capabilities.h"
#include "graphics/image_desc.h"
#include "graphics/movie_recorder.h"
#include "graphics/text_draw.h"
#include "graphics/texture_manager.h"
#include "platform/window.h"
#include "platform/window_events.h"
#include "runtime/shell_records.h"
#include "runtime/thread_layer.h"
#include "shell/event_proc.h"
#include "shell/keyboard.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "shell/translation.h"

shell_frame_parts frame_parts;

namespace {

// An alert can be raised from the middle of any drawing: it starts from a known GL state.
void reset_gl_state_for_alert() {
  if (!window_is_open()) return;
  // Outside a primitive or a list these only raise errors, which the drain below discards.
  glEnd();
  glEndList();
  while (glGetError() != GL_NO_ERROR) {
  }
  if (glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB(0);
  if (glExt.framebuf_avail && glExt.glBindFramebufferEXT)
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  OGL_nrml_colors();
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  OGL_scissors_end();
}

// The interface atlas is 512 pixels wide, 4 bytes a pixel, rows bottom first as the loader
// keeps them.
bool atlas_pixel(int column, int row, unsigned char rgba[4]) {
  if (!scratch_array || column < 0 || column >= 512 || row < 0 || row >= 512) return false;
  const unsigned char* p = scratch_array + (static_cast<size_t>(row) * 512 + column) * 4;
  for (int i = 0; i < 4; ++i) rgba[i] = p[i];
  return true;
}

int texture_failed(int kind) {
  return kind == 0 ? tman.has_scene_load_fail()
                   : kind == 1 ? tman.has_plane_load_fail() : tman.has_instl_load_fail();
}

void mute_texture_failure(int kind) {
  if (kind == 0) tman.mute_scene_load_fail();
  else if (kind == 1) tman.mute_plane_load_fail();
  else tman.mute_instl_load_fail();
}

// Threads that ask for GL get a context sharing the window's while threaded GL is available;
// the detection always switches it off, so none is made.
const THREAD_gl_hooks gl_hooks = {
    [] { return glExt.threaded_avail; },
    [] { glExt.threaded_ogl_failed(); },
    MACIBM_make_context_loader,
    MACIBM_set_context_loader,
};

}  // namespace

void shell_use_frame_parts() {
  THREAD_set_gl_hooks(&gl_hooks);
  frame_parts.swap_buffers = OGL_sbuff;
  frame_parts.pix_specs = OGL_pix_specs;
  frame_parts.viewport_2d = [] { OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0); };
  frame_parts.plot_back_col = OGL_plot_back_col;
  frame_parts.quad_2d = [](int texture, int colour, float alpha, const float c[4][4]) {
    OGL_2dquad(texture, colour, alpha, c[0][0], c[0][1], c[0][2], c[0][3], c[1][0], c[1][1],
               c[1][2], c[1][3], c[2][0], c[2][1], c[2][2], c[2][3], c[3][0], c[3][1], c[3][2],
               c[3][3], 1, 5);
  };
  frame_parts.texture_failed = texture_failed;
  frame_parts.mute_texture_failure = mute_texture_failure;
  frame_parts.load_texture = [](int reference, int flags, const std::string& name) {
    return tman.load_texture(4, reference, flags, 100, name);
  };
  frame_parts.scratch_pixel = atlas_pixel;
  tman_hook_table().show_progress = [](const std::string& text) { MACIBM_show_init(text, nullptr); };
  frame_parts.init_extensions = [] { glExt.init_extensions(); };
  frame_parts.reset_gl_state = reset_gl_state_for_alert;
  frame_parts.movie_per_frame = [] { return qtim.mov_per_frame(); };

  frame_parts.draw_string = [](int colour, float x, float y, const std::string& text, float width,
                               int align) {
    return OGL_string(colour, x, y, text, width, font_regular, align);
  };
  frame_parts.str_dx = str_dx;

  key_delivery delivery;
  delivery.handle_click = MACIBM_handleclick;
  delivery.return_hit = &return_hit;
  delivery.escape_hit = &escape_hit;
  delivery.delete_hit = &delete_hit;
  delivery.last_char = &mnw.last_char;
  delivery.key_switch = &mnw.key_handling;
  keys_set_delivery(delivery);
  frame_parts.handle_key_raw = [](const window_event& e) {
    platform_key_event key;
    if (window_key_event_of(e, &key)) keys.handle_key_raw(key);
  };
  frame_parts.run_repeat_keys = [] { keys.run_repeat_keys(); };

  frame_parts.default_language = UTL_get_default_language;
  frame_parts.languages = [] {
    std::vector<int> offered;
    UTL_lang_get_languages(offered);
    return offered;
  };
  frame_parts.language_button = UTL_lang_get_button;
  frame_parts.language_folder = UTL_lang_get_folder;
  frame_parts.translate_load = UTL_translate_load;
  frame_parts.translate_clear = UTL_translate_clear;
}

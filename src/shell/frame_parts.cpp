#include "shell/frame_parts.h"

#include <GL/gl.h>

#include "graphics/gl_capabilities.h"
#include "graphics/movie_recorder.h"
#include "graphics/text_draw.h"
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
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_SCISSOR_TEST);
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
  frame_parts.swap_buffers = window_swap;
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

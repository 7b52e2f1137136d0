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
#include "install/disc_pipeline.h"
#include "shell/alerts.h"
#include "shell/event_proc.h"
#include "shell/keyboard.h"
#include "shell/menus.h"
#include "shell/modal_screen.h"
#include "shell/shell_globals.h"
#include "shell/startup.h"
#include "shell/translation.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

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

// The disc engine's question before it cancels: the shell's two-button question screen, its
// message and button texts lent for the time it shows. The screen answers 1 or 2 (3 left
// without a press); the engine wants 1 for the first button, 0 for the second.
int abort_question(std::string question, std::string first_label, std::string first_text,
                   std::string second_label, std::string second_text) {
  static const int slots[4] = {607, 608, 610, 611};
  std::string kept[4];
  for (int i = 0; i < 4; ++i) kept[i] = stls.texts[slots[i]];
  stls.texts[607] = first_label;
  stls.texts[608] = second_label;
  stls.texts[610] = question + " ";
  stls.texts[611] = "";
  const std::string text = first_label + ": " + first_text + "  " + second_label + ": " + second_text;
  const int answer = MACIBM_nuke_alert(text, 0);
  for (int i = 0; i < 4; ++i) stls.texts[slots[i]] = kept[i];
  return answer == 1 ? 1 : answer == 2 ? 0 : 3;
}

}  // namespace

void shell_use_frame_parts() {
  // The shell's own modal loops run frames of the event procedure.
  shell_screen().startwind = [](int screen) { MACIBM_startwind(screen); };
  shell_screen().event_proc = MACIBM_event_proc;

  // The widgets.
  frame_parts.begin_focus_ring = BTN_begin_focus_ring;
  frame_parts.zap_boxes = BTN_zap_boxes;
  frame_parts.frame1 = BTN_frame1;
  frame_parts.frame2 = BTN_frame2;
  frame_parts.fillwin = BTN_fillwin;
  frame_parts.subwin = BTN_subwin;
  frame_parts.action = BTN_action;
  frame_parts.is_int = BTN_is_int;
  frame_parts.standard_gui = standard_gui;
  // The toolkit's hover help, screen title and menu test are the shell's own.
  widget_draw_calls& draw = widget_drawing();
  draw.set_help = [](const std::string& help) { stls.help = help; };
  draw.screen_title = [] { return stls.title; };
  draw.menu_open = [] { return mnw.open_menu != -1 ? 1 : 0; };

  set_abort_alert(abort_question);

  THREAD_set_gl_hooks(&gl_hooks);
  frame_parts.swap_buffers = OGL_sbuff;
  frame_parts.flush_drawing = OGL_flush;
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
  delivery.dispatch_to_focus = BTN_dispatch_to_focus;
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

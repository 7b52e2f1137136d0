#include "shell/frame_parts.h"

#include <GL/gl.h>

#include "graphics/gl_capabilities.h"
#include "platform/window.h"
#include "runtime/thread_layer.h"
#include "shell/startup.h"

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
}

#include "shell/frame_parts.h"

#include "graphics/gl_capabilities.h"
#include "platform/window.h"

shell_frame_parts frame_parts;

void shell_use_frame_parts() {
  frame_parts.swap_buffers = window_swap;
  frame_parts.init_extensions = [] { glExt.init_extensions(); };
}

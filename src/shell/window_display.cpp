// The display of the running program: the one SDL window with its GL context
// (platform/window.h), as start-up and shut-down use it.
#include <GL/gl.h>

#include "graphics/gl_capabilities.h"
#include "platform/window.h"
#include "shell/display.h"

namespace {

class window_display : public shell_display {
 public:
  bool desktop_mode(int* width, int* height, int* bits_per_pixel) override {
    ::desktop_mode mode;
    std::string problem;
    if (!window_desktop_mode(&mode, &problem)) return false;
    *width = mode.width;
    *height = mode.height;
    *bits_per_pixel = mode.bits_per_pixel;
    return true;
  }

  bool open_window(int left, int top, int width, int height, bool frameless, int samples_wanted,
                   std::string* problem) override {
    window_request request;
    request.title = "Skyrill Installer";
    request.width = width;
    request.height = height;
    request.place.x = left;
    request.place.y = top;
    request.place.borderless = frameless;
    request.samples_wanted = samples_wanted;
    return window_open(request, problem);
  }

  void close_window() override { window_close(); }

  shell_pixel_format pixel_format() override {
    const gl_pixel_format& p = window_pixel_format();
    shell_pixel_format f;
    f.rgba = 1;
    f.double_buffer = p.double_buffer;
    f.red = p.red;
    f.green = p.green;
    f.blue = p.blue;
    f.alpha = p.alpha;
    f.depth = p.depth;
    f.samples = p.sample_buffers ? p.samples : 0;
    return f;
  }

  void drawable_size(int* width, int* height) override { window_drawable_size(width, height); }

  int init_entry_points() override { return OGL_extensions::init_entry_points(); }

  void starting_gl_state(bool multisample) override {
    const GLfloat no_ambient[4] = {0, 0, 0, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, no_ambient);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glAlphaFunc(GL_GREATER, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glHint(GL_FOG_HINT, GL_FASTEST);
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DITHER);
    glDisable(GL_COLOR_LOGIC_OP);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_NORMALIZE);
    glDisable(GL_SCISSOR_TEST);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    if (multisample) glEnable(GL_MULTISAMPLE);
    glDepthMask(GL_FALSE);
  }

  void* make_shared_context() override { return window_make_shared_context(); }
  bool make_current(void* context) override { return window_make_current(context); }
  void swap() override { window_swap(); }
  // The window layer keeps its one window and context itself; mnw holds tokens for them.
  void* window_handle() override { return window_is_open() ? this : nullptr; }
  void* context_handle() override { return window_is_open() ? &token_ : nullptr; }

 private:
  int token_ = 0;
};

window_display the_window;

}  // namespace

shell_display* shell_window_display() { return &the_window; }

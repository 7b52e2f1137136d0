// Rendering into a texture: between begin_render and end_render every drawing primitive works as
// usual, but the window record mnw describes a screen of the texture's size with its origin at
// the lower-left corner of the target. With frame-buffer objects (and when the caller asks for
// them) the target is a frame buffer with the texture attached; otherwise the drawing goes to
// the window's back buffer and is copied into the texture at the end, the size halved until it
// fits the window.
//
// The texture belongs to the texture manager (tman) under the object's reference and is
// re-created, from the scratch image, only when the size wanted changes. The frame-buffer and render-buffer names are the caller's
// and are used as they are (legal with the EXT frame-buffer objects of a compatibility
// context). Passes do not nest: the window record is saved in the object. Main thread only.
#pragma once

#include <GL/gl.h>

#include "runtime/memory/stats.h"

typedef GLuint fbo_id;

// Passes rendered ("fbo/flush_per_frame"); every end_render adds 1.
extern UTL_stat g_fbo_flushes;

class OGL_framebuffer {
 public:
  // Stores the arguments; no GL call.
  OGL_framebuffer(int texture, fbo_id framebuffer, int texture_flags, int width, int height,
                  unsigned long depth_renderbuffer);

  // Takes effect at the next begin_render.
  void set_render_size(int width, int height);
  // Redirects drawing into the texture; use non-zero asks for the frame-buffer path.
  void begin_render(int use);
  // Ends the redirection, puts mnw back and brings the texture up to date.
  void end_render();

  fbo_id framebuffer;
  unsigned long depth_renderbuffer;  // 0: none
  int previous_framebuffer;
  int use_framebuffer;
  int texture;
  int texture_flags;  // bits 0-2 the pixel format (6 depth), 0x8 mipmaps
  int wanted_width, wanted_height;
  int render_width, render_height;

  // mnw as it was when the pass began.
  float saved_viewport[4];
  float saved_side_margin;
  float saved_drawable[2];
  float saved_origin[2];

 private:
  bool framebuffer_path() const;
};

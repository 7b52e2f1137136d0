#include "graphics/framebuffer.h"

#include <GL/glext.h>

#include <cstdio>

#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "graphics/image_desc.h"
#include "graphics/texture_manager.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

UTL_stat g_fbo_flushes("fbo/flush_per_frame", UTL_stat_perf, 0.0f);

namespace {

const char kAlertFile[] = "/code/design++/RIzirud/OGL/OGL_framebuffer";

// Flags every load of the program carries, plus full size regardless of the resolution
// preference; the frame-buffer path adds the sized 8-bit internal format.
constexpr int kCopyPathFlags = 0x500;
constexpr int kFramebufferPathFlags = 0x1500;
constexpr int kDepthFormat = 6;
constexpr int kMipmaps = 0x8;

// Whether the texture manager holds the reference loaded at this size.
bool texture_is(int ref, int width, int height) {
  UTL_critical_section_lock(&tman.lock);
  bool same = false;
  if (ref >= 0 && ref < static_cast<int>(tman.ref_dat.size())) {
    const tman_class::ref_dat_struct& r = tman.ref_dat[static_cast<size_t>(ref)];
    same = r.state == tex_state_loaded && r.image_w == static_cast<float>(width) &&
           r.image_h == static_cast<float>(height);
  }
  UTL_critical_section_unlock(&tman.lock);
  return same;
}

}  // namespace

OGL_framebuffer::OGL_framebuffer(int texture_ref, fbo_id framebuffer_name, int flags, int width, int height,
                                 unsigned long depth_name)
    : framebuffer(framebuffer_name),
      depth_renderbuffer(depth_name),
      previous_framebuffer(0),
      use_framebuffer(0),
      texture(texture_ref),
      texture_flags(flags),
      wanted_width(width),
      wanted_height(height),
      render_width(width),
      render_height(height),
      saved_viewport{0, 0, 0, 0},
      saved_side_margin(0),
      saved_drawable{0, 0},
      saved_origin{0, 0} {}

void OGL_framebuffer::set_render_size(int width, int height) {
  wanted_width = width;
  wanted_height = height;
}

bool OGL_framebuffer::framebuffer_path() const { return glExt.framebuf_avail && use_framebuffer != 0; }

void OGL_framebuffer::begin_render(int use) {
  use_framebuffer = use;
  render_width = wanted_width;
  render_height = wanted_height;
  const bool fbo = framebuffer_path();
  if (!fbo) {
    // The copy comes from the window, so the picture must fit in it. A minimised window has no
    // drawable at all: the pass then renders 1 x 1 instead of asking for a texture of size 0.
    const int fit_w = mnw.draw_w > 0 ? mnw.draw_w : 1, fit_h = mnw.draw_h > 0 ? mnw.draw_h : 1;
    while (render_width > fit_w) render_width /= 2;
    while (render_height > fit_h) render_height /= 2;
  } else {
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    previous_framebuffer = bound;
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  }

  // The record's image size: its texture may be padded to a power of two beyond it.
  const bool current = texture_is(texture, render_width, render_height);
  if (!current) {
    scratch_dx = render_width;
    scratch_dy = render_height;
    // Bitwise: the flags may carry these bits already.
    tman.load_texture(tex_fail_fatal, texture, texture_flags | (fbo ? kFramebufferPathFlags : kCopyPathFlags), 100,
                      fbo ? "scratch_array-fbo" : "scratch_array-mTexID");
  }

  // Attachments made at an earlier load stay with the frame buffer; only a new texture needs
  // them again.
  if (fbo && !current) {
    if ((texture_flags & 7) == kDepthFormat) {
      glDrawBuffer(GL_NONE);
      glReadBuffer(GL_NONE);
      glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D,
                                      static_cast<GLuint>(texture), 0);
    } else {
      glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                      static_cast<GLuint>(texture), 0);
      const GLuint depth = static_cast<GLuint>(depth_renderbuffer);
      if (depth != 0) {
        glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
        glExt.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, wanted_width, wanted_height);
        glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
      }
      glExt.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
    }
    const GLenum status = glExt.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
      char value[64];
      std::snprintf(value, sizeof value, "%f", static_cast<float>(static_cast<unsigned>(status)));
      __MACIBM_alert(0, "ERROR: incomplete framebuffer.", value, "", "", t_exit, kAlertFile, __LINE__);
    }
  }

  saved_viewport[0] = mnw.ortho_l;
  saved_viewport[1] = mnw.ortho_b;
  saved_viewport[2] = mnw.ortho_r;
  saved_viewport[3] = mnw.ortho_t;
  saved_side_margin = mnw.side_margin;
  saved_drawable[0] = static_cast<float>(mnw.draw_w);
  saved_drawable[1] = static_cast<float>(mnw.draw_h);
  saved_origin[0] = mnw.origin_x;
  saved_origin[1] = mnw.origin_y;
  mnw.ortho_l = 0;
  mnw.ortho_b = 0;
  mnw.ortho_r = static_cast<float>(render_width);
  mnw.ortho_t = static_cast<float>(render_height);
  mnw.draw_w = render_width;
  mnw.draw_h = render_height;
  mnw.side_margin = 0;
  // Every primitive adds the screen origin; on a centred modal screen that would put the
  // drawing beside the target, so the pass draws from the corner.
  mnw.origin_x = 0;
  mnw.origin_y = 0;
  TEX_reset_bind();
}

void OGL_framebuffer::end_render() {
  g_fbo_flushes.value += 1.0f;
  mnw.ortho_l = saved_viewport[0];
  mnw.ortho_b = saved_viewport[1];
  mnw.ortho_r = saved_viewport[2];
  mnw.ortho_t = saved_viewport[3];
  mnw.side_margin = saved_side_margin;
  mnw.draw_w = static_cast<int>(saved_drawable[0]);
  mnw.draw_h = static_cast<int>(saved_drawable[1]);
  mnw.origin_x = saved_origin[0];
  mnw.origin_y = saved_origin[1];

  if (framebuffer_path()) {
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous_framebuffer));
    if (texture_flags & kMipmaps) {
      OGL_setstate(1, 1, 3, 5, 9, 11);
      tman.bind_ref(texture, 0, 0);
      glExt.glGenerateMipmapEXT(GL_TEXTURE_2D);
    }
    return;
  }
  OGL_setstate(1, 1, 3, 5, 9, 11);
  tman.bind_ref(texture, 0, 0);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, render_width, render_height);
}

#include "graphics/draw_2d.h"

#include <GL/gl.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/camera.h"
#include "graphics/degree_tables.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "platform/window.h"
#include "runtime/constants.h"
#include "runtime/frame_clock.h"
#include "runtime/shell_records.h"

float oglp = 1.0f;

namespace {

quad_texture_binder binder = TEX_bind_ref;

// Mesa's software renderer allocates its command bins and a copy of the fragment state for every
// state change of a frame and frees them when the frame is drawn. With glibc's default trimming
// that memory goes back to the kernel after every frame and comes back page fault by page fault
// in the next one, which cost about half of a frame's time. Keeping freed memory in the heap
// (up to 64 MB above its top) and mapping only very large blocks on their own makes the next
// frame reuse the same pages. Set before main, so every thread's arena follows it.
struct keep_freed_memory {
  keep_freed_memory() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
  }
} keep_freed_memory_for_frames;

// Untextured drawing: fog off, no texture units, lighting off, alpha blending, no depth test
// or depth writes.
void untextured_state() { OGL_setstate(1, 0, 3, 5, 9, 11); }

// An alpha above 0.99 is drawn fully opaque. The alpha 1 is passed explicitly: Mesa's
// three-component call can keep an earlier alpha (seen after the capability queries), which
// would draw an opaque frame translucent.
void set_colour(float r, float g, float b, float a) {
  if (ren.monochrome) {
    const float s = r + g + b;
    g = s < 0.01f ? 0.01f : std::min(1.0f, s);
    r = b = 0.0f;
  }
  glColor4f(r, g, b, a > 0.99f ? 1.0f : a);
}

}  // namespace

void set_quad_texture_binder(quad_texture_binder b) { binder = b ? b : TEX_bind_ref; }

void set_palette_colour(int colour, float alpha) {
  // A number outside the palette would read past it; the nearest entry stands in.
  colour = std::clamp(colour, 0, colr_class::entry_count - 1);
  float r = colr.rgb[colour][0], g = colr.rgb[colour][1], b = colr.rgb[colour][2];
  if (colour <= 45) {
    const float* tint = colr.rgb[105];
    r *= tint[0];
    g *= tint[1];
    b *= tint[2];
  }
  set_colour(r, g, b, alpha * ren.global_alpha);
}

void OGL_pix_specs(int) {
  const float w = static_cast<float>(mnw.draw_w), h = static_cast<float>(mnw.draw_h);
  mnw.unit_factor = 1.0f;
  mnw.pix_per_unit = 1.0f;
  mnw.ortho_l = 0.0f;
  mnw.ortho_b = 0.0f;
  mnw.ortho_r = w;
  mnw.ortho_t = h;
  mnw.extra_height = std::max(0.0f, h - 768.0f);
  mnw.side_margin = mnw.topwi == -1 ? 0.0f : std::max(0.0f, (w - 1024.0f) * 0.5f);
  mnw.centre_x = w * 0.5f;
  mnw.centre_y = 384.0f;
  if (mnw.topwi >= 0) OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0);
}

void OGL_viewport(int type, float left, float view_x1, float bottom, float view_y1, float right, float view_x2,
                  float near_plane, float top, float view_y2, float far_plane, float divisor, int keep_aspect) {
  if (type == 2) {
    left = mnw.ortho_l;
    right = mnw.ortho_r;
    bottom = mnw.ortho_b;
    top = mnw.ortho_t;
    view_x1 = 0;
    view_y1 = 0;
    view_x2 = static_cast<float>(mnw.draw_w);
    view_y2 = static_cast<float>(mnw.draw_h);
  } else if (type == 3) {
    left *= near_plane;
    right *= near_plane;
    bottom *= near_plane;
    top *= near_plane;
    view_x1 *= mnw.pix_per_unit;
    view_y1 *= mnw.pix_per_unit;
    view_x2 *= mnw.pix_per_unit;
    view_y2 *= mnw.pix_per_unit;
  }
  const float width = view_x2 - view_x1, height = view_y2 - view_y1;
  // A viewport with no width has no aspect to keep.
  if (keep_aspect && width != 0.0f) {
    bottom *= height / width;
    top *= height / width;
  }
  if (divisor == 0.0f) divisor = 1.0f;
  if (type == 2) {
    xcam.SetupOrtho(left / divisor, right / divisor, bottom / divisor, top / divisor, -1, 1);
  } else if (type == 3) {
    xcam.SetupFrustum(left / divisor, right / divisor, bottom / divisor, top / divisor, near_plane, far_plane);
  } else {
    setIdentityMatrix(xcam.projection);
  }
  glViewport(static_cast<GLint>(view_x1), static_cast<GLint>(view_y1), static_cast<GLsizei>(width),
             static_cast<GLsizei>(height));
  xcam.Identity();
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixd(xcam.projection);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(xcam.modelview);
  xcam.matrices_changed = 0;
}

void OGL_screensize(int type, float x1, float y1, float x2, float y2) {
  if (type == 2) {
    glViewport(0, 0, mnw.draw_w, mnw.draw_h);
    return;
  }
  const float s = type == 3 ? mnw.pix_per_unit : 1.0f;
  glViewport(static_cast<GLint>(x1 * s), static_cast<GLint>(y1 * s), static_cast<GLsizei>((x2 - x1) * s),
             static_cast<GLsizei>((y2 - y1) * s));
}

void OGL_scissors(float x, float y, float width, float height) {
  glEnable(GL_SCISSOR_TEST);
  const float s = mnw.pix_per_unit;
  const float x0 = (x + mnw.origin_x) * s, y0 = (y + mnw.origin_y) * s;
  const float x1 = (x + mnw.origin_x + width) * s, y1 = (y + mnw.origin_y + height) * s;
  const float w = x1 - x0, h = y1 - y0;
  glScissor(static_cast<GLint>(x0), static_cast<GLint>(y0), w > 0 ? static_cast<GLsizei>(w) : 0,
            h > 0 ? static_cast<GLsizei>(h) : 0);
}

void OGL_scissors_end() { glDisable(GL_SCISSOR_TEST); }

void OGL_glow_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE); }
void OGL_nrml_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }

void OGL_poly_offset(int n) {
  if (n == 0) {
    glDisable(GL_POLYGON_OFFSET_FILL);
    return;
  }
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(-10.0f * n, -1.0f);
}

void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2) {
  untextured_state();
  set_palette_colour(colour, alpha);
  // Half a pixel puts the line on pixel centres, so a one-pixel line lights one row.
  const float ox = mnw.origin_x + 0.5f, oy = mnw.origin_y + 0.5f;
  glBegin(GL_LINES);
  glVertex2f(x1 + ox, y1 + oy);
  glVertex2f(x2 + ox, y2 + oy);
  glEnd();
}

void OGL_fillrect(int colour, float alpha, float x, float y, float width, float height) {
  untextured_state();
  set_palette_colour(colour, alpha);
  x += mnw.origin_x;
  y += mnw.origin_y;
  glBegin(GL_QUADS);
  glVertex2f(x, y);
  glVertex2f(x, y + height);
  glVertex2f(x + width, y + height);
  glVertex2f(x + width, y);
  glEnd();
}

void OGL_framerect(int colour, float alpha, float x, float y, float width, float height) {
  untextured_state();
  set_palette_colour(colour, alpha);
  x += mnw.origin_x + 0.5f;
  y += mnw.origin_y + 0.5f;
  glBegin(GL_LINE_LOOP);
  glVertex2f(x, y);
  glVertex2f(x, y + height);
  glVertex2f(x + width, y + height);
  glVertex2f(x + width, y);
  glEnd();
}

void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha) {
  untextured_state();
  set_palette_colour(12, alpha);
  x1 += mnw.origin_x;
  x2 += mnw.origin_x;
  y1 += mnw.origin_y;
  y2 += mnw.origin_y;
  glBegin(GL_QUADS);
  glVertex2f(x1, y1);
  glVertex2f(x1, y2);
  glVertex2f(x2, y2);
  glVertex2f(x2, y1);
  glEnd();
}

void OGL_fillcircle(int colour, float x, float y, float radius) {
  for (float dy = -radius; dy <= radius; dy += 1.0f) {
    const float dx = std::sqrt(std::max(0.0f, radius * radius - dy * dy));
    OGL_line(colour, 1.0f, x - dx, y + dy, x + dx, y + dy);
  }
}

void OGL_framecircle(int colour, float x, float y, float radius) {
  OGL_setstate(1, 0, 3, 4, 9, 11);
  set_palette_colour(colour, 1.0f);
  const float cx = x + mnw.origin_x + 0.5f, cy = y + mnw.origin_y + 0.5f;
  glBegin(GL_LINE_STRIP);
  for (int d = 0; d <= 360; d += 5) glVertex2f(cx + radius * lookup_sin[d], cy + radius * lookup_cos[d]);
  glEnd();
}

void OGL_arc(int colour, float x, float y, float inner_radius, float outer_radius, float from_degrees,
             float to_degrees) {
  if (inner_radius > outer_radius) return;
  for (float r = inner_radius; r <= outer_radius; r += 1.0f) {
    float px = x + r * std::sin(from_degrees * degtorad), py = y + r * std::cos(from_degrees * degtorad);
    for (float a = from_degrees; a <= to_degrees; a += 1.0f) {
      const float nx = x + r * std::sin(a * degtorad), ny = y + r * std::cos(a * degtorad);
      OGL_line(colour, 1.0f, px, py, nx, ny);
      px = nx;
      py = ny;
    }
  }
}

namespace {

// True when a quad over the whole drawable would cover every pixel of the viewport and the
// viewport is the whole drawable: the matrices map the drawable's corners onto (or past) the
// corners of clip space, with no perspective.
bool quad_covers_drawable() {
  GLint view[4];
  glGetIntegerv(GL_VIEWPORT, view);
  if (view[0] != 0 || view[1] != 0 || view[2] != mnw.draw_w || view[3] != mnw.draw_h) return false;
  GLfloat p[16], m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  const float w = static_cast<float>(mnw.draw_w), h = static_cast<float>(mnw.draw_h);
  float clip_x[2], clip_y[2];
  for (int corner = 0; corner < 2; ++corner) {
    const float x = corner ? w : 0.0f, y = corner ? h : 0.0f;
    float eye[4];
    for (int r = 0; r < 4; ++r) eye[r] = m[r] * x + m[4 + r] * y + m[12 + r];
    float clip[4];
    for (int r = 0; r < 4; ++r) clip[r] = p[r] * eye[0] + p[4 + r] * eye[1] + p[8 + r] * eye[2] + p[12 + r] * eye[3];
    if (clip[3] != 1.0f) return false;
    clip_x[corner] = clip[0];
    clip_y[corner] = clip[1];
  }
  return clip_x[0] <= -1.0f && clip_y[0] <= -1.0f && clip_x[1] >= 1.0f && clip_y[1] >= 1.0f;
}

}  // namespace

void OGL_plot_back_col() {
  // An opaque fill of the whole drawable with the normal blend is a clear of the colour buffer
  // (inside the scissor box, as the quad would be), which the software renderer does without
  // running a fragment shader over every pixel. The state and colour are left as the quad leaves
  // them, and so is the clear colour.
  untextured_state();
  set_palette_colour(34, 1.0f);
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  GLint src = 0, dst = 0;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  if (colour[3] >= 1.0f && src == GL_SRC_ALPHA && dst == GL_ONE_MINUS_SRC_ALPHA && quad_covers_drawable()) {
    // The clear colour is GL state others may rely on: it is put back.
    GLfloat before[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, before);
    glClearColor(colour[0], colour[1], colour[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(before[0], before[1], before[2], before[3]);
    return;
  }
  OGL_fillrect(34, 1.0f, -mnw.origin_x, -mnw.origin_y, static_cast<float>(mnw.draw_w),
               static_cast<float>(mnw.draw_h));
}

void OGL_2dquad(int ref, int colour, float alpha, float x1, float y1, float s1, float t1, float x2, float y2,
                float s2, float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4,
                int units, int alpha_mode) {
  OGL_setstate(1, units, 3, alpha_mode, 9, 11);
  // 420 holds coverage in its alpha that is drawn as an opaque grey picture.
  if (ref > 0) binder(ref, 0, ref == 420 ? 17 : 0);
  set_palette_colour(colour, alpha);
  const float ox = mnw.origin_x, oy = mnw.origin_y;
  glBegin(GL_QUADS);
  glTexCoord2f(s1, t1);
  glVertex2f(x1 + ox, y1 + oy);
  glTexCoord2f(s2, t2);
  glVertex2f(x2 + ox, y2 + oy);
  glTexCoord2f(s3, t3);
  glVertex2f(x3 + ox, y3 + oy);
  glTexCoord2f(s4, t4);
  glVertex2f(x4 + ox, y4 + oy);
  glEnd();
}

void OGL_2dquad_d(int ref, int colour, float alpha, float x, float y, float s, float t, float width, float height,
                  float s_extent, float t_extent, int alpha_mode) {
  OGL_setstate(1, 1, 3, alpha_mode, 9, 11);
  if (ref > 0) binder(ref, 0, 0);
  set_palette_colour(colour, alpha);
  x += mnw.origin_x;
  y += mnw.origin_y;
  glBegin(GL_QUADS);
  glTexCoord2f(s, t);
  glVertex2f(x, y);
  glTexCoord2f(s, t + t_extent);
  glVertex2f(x, y + height);
  glTexCoord2f(s + s_extent, t + t_extent);
  glVertex2f(x + width, y + height);
  glTexCoord2f(s + s_extent, t);
  glVertex2f(x + width, y);
  glEnd();
}

void OGL_spectrum_rgb(float v) {
  static const float stops[7][3] = {{0, 0, 0},       {1, 0, 0}, {1, 0.32f, 0.08f}, {1, 1, 0},
                                    {0, 1, 0},       {0, 0, 1}, {0.8f, 0, 0.8f}};
  // A value that is not a number is taken as 0; 1 and above end on the last stop rather than
  // in a seventh band that has no upper stop.
  if (std::isnan(v) || v < 0.0f) v = 0.0f;
  int k;
  float f;
  if (v >= 1.0f) {
    k = 6;
    f = 1.0f;
  } else {
    k = static_cast<int>(std::floor(v * 6.0f)) + 1;
    if (k > 6) k = 6;
    f = (v - (k - 1) / 6.0f) * 6.0f;
  }
  const float* a = stops[k - 1];
  const float* b = stops[k];
  set_colour((1 - f) * a[0] + f * b[0], (1 - f) * a[1] + f * b[1], (1 - f) * a[2] + f * b[2], ren.global_alpha);
}

uint64_t OGL_back_buffer_digest() {
  if (mnw.draw_w <= 0 || mnw.draw_h <= 0) return 0;
  static std::vector<uint64_t> pixels;
  const size_t bytes = static_cast<size_t>(mnw.draw_w) * static_cast<size_t>(mnw.draw_h) * 4;
  pixels.assign((bytes + 7) / 8, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, mnw.draw_w, mnw.draw_h, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
  // FNV-1a over 64-bit words: enough to tell a changed picture from the same one.
  uint64_t h = 14695981039346656037ull;
  for (uint64_t w : pixels) h = (h ^ w) * 1099511628211ull;
  return h;
}

void OGL_flush() { glFlush(); }

void OGL_sbuff() {
  set_colour(1, 1, 1, ren.global_alpha);
  xtim_class::profile_chart("sb1", 0);
  window_swap();
  xtim_class::profile_chart("sb2", 0);
}

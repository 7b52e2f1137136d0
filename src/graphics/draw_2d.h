// The 2-D screen: the layout and viewport derived from the window size, scissoring, blend modes,
// and the immediate-mode primitives every widget and page is drawn with, plus the end-of-frame
// swap. Coordinates are screen units with y up; every primitive adds the current screen's
// origin (mnw) once. Colours are palette numbers (colr) under one rule, set_palette_colour.
// Main thread only, with the GL context current.
#pragma once

#include <cstdint>

// Layout
// Fills the layout fields of mnw from the drawable size and, once a screen is current, sets
// the 2-D viewport (the argument has no effect).
void OGL_pix_specs(int);
// Projection, viewport and camera: type 2 the 2-D screen (the arguments are replaced by mnw's
// fields), type 3 a frustum scaled by near and the pixel scale; other types no projection.
void OGL_viewport(int type, float left, float view_x1, float bottom, float view_y1, float right, float view_x2,
                  float near_plane, float top, float view_y2, float far_plane, float divisor, int keep_aspect);
// The viewport alone.
void OGL_screensize(int type, float x1, float y1, float x2, float y2);
// Clips all drawing to the box (screen units, origin added) until OGL_scissors_end.
void OGL_scissors(float x, float y, float width, float height);
void OGL_scissors_end();

// Blending
void OGL_glow_colors();  // additive
void OGL_nrml_colors();  // ordinary alpha blending
// 0 switches polygon offset off; n pulls filled polygons n steps towards the viewer.
void OGL_poly_offset(int n);

// The colour rule: entry `colour` of the palette, tinted by entry 105 for numbers up to 45,
// alpha times the global alpha of ren, green-only in monochrome, set without alpha when the
// alpha is above 0.99.
void set_palette_colour(int colour, float alpha);

// Primitives
void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2);
void OGL_fillrect(int colour, float alpha, float x, float y, float width, float height);
void OGL_framerect(int colour, float alpha, float x, float y, float width, float height);
void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha);
void OGL_fillcircle(int colour, float x, float y, float radius);
void OGL_framecircle(int colour, float x, float y, float radius);
void OGL_arc(int colour, float x, float y, float inner_radius, float outer_radius, float from_degrees,
             float to_degrees);
// The whole window in palette colour 34.
void OGL_plot_back_col();
// A textured quad through four corners (x, y, s, t each) in the order given.
void OGL_2dquad(int ref, int colour, float alpha, float x1, float y1, float s1, float t1, float x2, float y2,
                float s2, float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4,
                int units, int alpha_mode);
// An axis-aligned textured quad from (x, y) and (s, t) over width x height and s_extent x t_extent.
void OGL_2dquad_d(int ref, int colour, float alpha, float x, float y, float s, float t, float width, float height,
                  float s_extent, float t_extent, int alpha_mode);
// The current colour from a value in 0 to 1 along black, red, orange, yellow, green, blue and
// purple.
void OGL_spectrum_rgb(float v);
// Hands the drawing issued so far to the renderer without waiting for it: a software renderer
// then draws on its own threads while the caller goes on.
void OGL_flush();
// Ends the frame: swaps the buffers.
void OGL_sbuff();
// A 64-bit digest of the back buffer's pixels over the whole drawable (read back, so it waits
// for the frame's drawing): two frames with the same digest drew the same picture. 0 when
// there is nothing to read.
uint64_t OGL_back_buffer_digest();

// How the textured quads bind a texture reference. The texture manager installs its own
// (which knows missing and fallback textures); until then the reference is bound as it is.
using quad_texture_binder = void (*)(int ref, int unit, int mode);
void set_quad_texture_binder(quad_texture_binder binder);

// The 2-D unit's one float setting, 1.0 at start; nothing here reads or changes it.
extern float oglp;

// Draws a page the size of the wizard's (1024 x 768) built from the 2-D primitives: the
// background, a title band, rows of framed buttons with textured faces from one atlas, a
// scrolled list under a scissor box, a progress bar, circles and a spectrum strip; then swaps.
// Prints the mean and 99th-percentile frame time and how many GL state calls the caches let
// through per frame.
//   frame_bench [FRAMES]   (default 1000; needs DISPLAY; swap interval 0)
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/draw_2d.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state.h"
#include "platform/window.h"
#include "runtime/shell_records.h"

namespace {

long g_state_calls = 0;
const gl_state_calls* g_real = nullptr;

void count_bind(GLenum t, GLuint n) { ++g_state_calls, g_real->bind_texture(t, n); }
void count_env_i(GLenum t, GLenum p, GLint v) { ++g_state_calls, g_real->tex_env_i(t, p, v); }
void count_env_f(GLenum t, GLenum p, GLfloat v) { ++g_state_calls, g_real->tex_env_f(t, p, v); }
void count_env_fv(GLenum t, GLenum p, const GLfloat* v) { ++g_state_calls, g_real->tex_env_fv(t, p, v); }
void count_active(GLenum u) { ++g_state_calls, g_real->active_texture(u); }
void count_enable(GLenum c) { ++g_state_calls, g_real->enable(c); }
void count_disable(GLenum c) { ++g_state_calls, g_real->disable(c); }
void count_mask(GLboolean f) { ++g_state_calls, g_real->depth_mask(f); }

const int kAtlas = 392;

void make_atlas() {
  std::vector<unsigned char> texels(256 * 256 * 4);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      unsigned char* p = &texels[(y * 256 + x) * 4];
      p[0] = static_cast<unsigned char>(200 + y / 8);
      p[1] = static_cast<unsigned char>(210 + y / 10);
      p[2] = 235;
      p[3] = 255;
    }
  glBindTexture(GL_TEXTURE_2D, kAtlas);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  TEX_reset_bind();
}

void palette() {
  colr.assign(105, 1, 1, 1);
  colr.assign(34, 0.93f, 0.94f, 0.96f);
  colr.assign(70, 1, 1, 1);
  colr.assign(80, 0.2f, 0.45f, 0.8f);
  colr.assign(81, 0.35f, 0.35f, 0.4f);
  colr.assign(82, 0.85f, 0.87f, 0.9f);
  colr.assign(83, 0.1f, 0.6f, 0.3f);
}

void draw_page(int frame) {
  OGL_plot_back_col();
  OGL_fillrect(80, 1, 0, 708, 1024, 60);
  OGL_framerect(81, 1, 20, 20, 984, 670);
  // Buttons: a textured face and a frame each.
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 6; ++col) {
      const float x = 50 + col * 160, y = 560 - row * 50;
      OGL_2dquad_d(kAtlas, 70, 1, x, y, 0, 0, 140, 36, 1, 0.25f, 4);
      OGL_framerect(81, 1, x, y, 140, 36);
    }
  // A list of 30 rows scrolled inside a box.
  OGL_fillrect(82, 1, 50, 120, 500, 220);
  OGL_scissors(50, 120, 500, 220);
  const float scroll = static_cast<float>(frame % 40);
  for (int i = 0; i < 30; ++i) {
    const float y = 320 - i * 22 + scroll;
    OGL_fillrect(i % 2 ? 82 : 70, 1, 50, y, 500, 22);
    OGL_line(81, 0.3f, 50, y, 550, y);
  }
  OGL_scissors_end();
  OGL_framerect(81, 1, 50, 120, 500, 220);
  // Progress bar and indicators.
  OGL_fillrect(82, 1, 600, 300, 380, 24);
  OGL_fillrect(83, 1, 600, 300, 380.0f * (frame % 100) / 100.0f, 24);
  OGL_framerect(81, 1, 600, 300, 380, 24);
  for (int i = 0; i < 5; ++i) {
    OGL_fillcircle(i == frame % 5 ? 80 : 82, 630 + i * 40, 250, 8);
    OGL_framecircle(81, 630 + i * 40, 250, 9);
  }
  for (int i = 0; i < 64; ++i) {
    OGL_spectrum_rgb(i / 63.0f);
    glBegin(GL_QUADS);
    glVertex2f(600 + i * 6, 140);
    glVertex2f(600 + i * 6, 170);
    glVertex2f(606 + i * 6, 170);
    glVertex2f(606 + i * 6, 140);
    glEnd();
  }
  OGL_grayrect(600, 180, 980, 200, 0.5f);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 1000;
  window_request request;
  request.title = "frame bench";
  std::string problem;
  if (!window_open(request, &problem)) {
    std::fprintf(stderr, "no window: %s\n", problem.c_str());
    return 1;
  }
  window_set_swap_interval(0);
  OGL_extensions::init_entry_points();
  glExt.init_extensions();
  window_drawable_size(&mnw.draw_w, &mnw.draw_h);
  mnw.topwi = 0;
  OGL_pix_specs(0);
  OGL_nrml_colors();
  palette();
  make_atlas();

  g_real = &gl_state_default_calls();
  gl_state_calls& c = gl_state_dispatch();
  c.bind_texture = count_bind;
  c.tex_env_i = count_env_i;
  c.tex_env_f = count_env_f;
  c.tex_env_fv = count_env_fv;
  c.active_texture = count_active;
  c.enable = count_enable;
  c.disable = count_disable;
  c.depth_mask = count_mask;

  std::vector<double> ms;
  ms.reserve(frames);
  for (int f = 0; f < frames; ++f) {
    const auto start = std::chrono::steady_clock::now();
    draw_page(f);
    OGL_sbuff();
    glFinish();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  if (frames > 0) {
    double sum = 0;
    for (double v : ms) sum += v;
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const double p99 = sorted[std::min<size_t>(sorted.size() - 1, sorted.size() * 99 / 100)];
    std::printf("frames: %d  mean: %.3f ms  p99: %.3f ms  GL state calls per frame: %.1f\n", frames,
                sum / frames, p99, static_cast<double>(g_state_calls) / frames);
  }
  window_close();
  return 0;
}

// The movie recorder's capture of the window through OpenGL: the back buffer is copied into the
// capture texture (reference 411, 2048 x 2048 RGB), drawn scaled to the movie size at the
// window's lower-left pixel and read back with glReadPixels as BGRA, bottom row first, either
// straight into the frame record or through a pixel pack buffer that is read one frame later.
// Every GL state it changes is restored before it returns, so the state caches stay true.
// Main thread, with the window's context current.
#pragma once

#include <string>

#include "graphics/movie_recorder.h"

class movie_gl_capture : public movie_capture {
 public:
  // What the capture does not draw itself, for tests to replace: the record light's text
  // (OGL_string when null) and the end of the frame (the window's swap when null).
  struct hooks {
    void (*draw_text)(int colour, float x, float y, const std::string& text) = nullptr;
    void (*swap_buffers)() = nullptr;
  };
  // use_pbo: read back through a pixel pack buffer (when the context has pixel buffer objects
  // and no multisampling).
  movie_gl_capture(int use_pbo, const hooks& h);
  // 1 when the pack buffer is the way to read: the capability record has pixel buffer objects
  // and the window's pixel format has no multisampling.
  static int pbo_wanted();
  ~movie_gl_capture() override;

  void begin(int movie_w, int movie_h) override;
  void end() override;
  int delayed() const override;
  void grab_window() override;
  void draw_text(int colour, float x, float y, const std::string& text) override;
  void swap_buffers() override;
  void read_frame(uint8_t* pixels) override;
  void read_previous(uint8_t* pixels) override;

  static constexpr unsigned capture_texture = 411;
  static constexpr int texture_side = 2048;

 private:
  int use_pbo_;
  hooks hooks_;
  int movie_w_ = 0;
  int movie_h_ = 0;
  int grab_w_ = 0;
  int grab_h_ = 0;
  unsigned pbo_ = 0;
  int texture_made_ = 0;
};

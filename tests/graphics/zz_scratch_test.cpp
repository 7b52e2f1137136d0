#include <SDL2/SDL.h>
#include <GL/gl.h>
#include <png.h>
#include <gtest/gtest.h>
#include <vector>
#include "graphics/font.h"
#include "graphics/text_draw.h"
#include "platform/folders.h"
#include "runtime/shell_records.h"

static void save(const char* path, int w, int h) {
  std::vector<unsigned char> px(w * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  FILE* f = fopen(path, "wb");
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, 0, 0, 0);
  png_infop i = png_create_info_struct(p);
  png_init_io(p, f);
  png_set_IHDR(p, i, w, h, 8, PNG_COLOR_TYPE_RGBA, 0, 0, 0);
  png_write_info(p, i);
  for (int y = h - 1; y >= 0; --y) png_write_row(p, &px[y * w * 4]);
  png_write_end(p, i);
  png_destroy_write_struct(&p, &i);
  fclose(f);
}

TEST(Scratch, Draw) {
  platform_set_executable_path(std::string(SKY_BINARY_DIR) + "/src/skyrill-installer");
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_Window* w = SDL_CreateWindow("t", 0, 0, 640, 300, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  ASSERT_TRUE(w);
  SDL_GLContext c = SDL_GL_CreateContext(w);
  ASSERT_TRUE(c);
  glViewport(0, 0, 640, 300);
  glMatrixMode(GL_PROJECTION); glLoadIdentity(); glOrtho(0, 640, 0, 300, -1, 1);
  glMatrixMode(GL_MODELVIEW); glLoadIdentity();
  glClearColor(0.1f, 0.15f, 0.25f, 1); glClear(GL_COLOR_BUFFER_BIT);
  OGL_font_string(0, 10, 280, "Skyrill 9 Installer - Checking the files of your installation", 9999, font_regular, 0, 0);
  OGL_font_string(5, 10, 260, "T\xC3\xA9l\xC3\xA9" "chargement des fichiers modifi\xC3\xA9s \xE2\x82\xAC \xC2\xAB \xC3\xA7" "a \xC2\xBB", 9999, font_regular, 0, 0);
  OGL_font_string(10, 10, 240, "Gr\xC3\xB6\xC3\x9F" "e der \xC3\x9C" "berpr\xC3\xBC" "fung: \xC3\x84pfel, \xC3\x96l, F\xC3\xBC\xC3\x9F" "e", 9999, font_bold, 0, 0);
  OGL_font_string(0, 320, 200, "centred line\nsecond centred line", 9999, font_regular, 1, 0);
  OGL_font_string(0, 630, 180, "right aligned", 9999, font_regular, 2, 0);
  float y = OGL_font_string(2, 10, 150, "This is a long German sentence: Die \xC3\x9C" "berpr\xC3\xBC" "fung der Dateien l\xC3\xA4uft gerade, bitte warten.", 200, font_regular, 0, 0);
  OGL_font_string(0, 10, y, "(next baseline)", 9999, font_regular, 0, 0);
  OGL_number(0, 400, 120, 1234567, 7, 0, font_regular);
  OGL_number(0, 400, 100, -1234.5f, 6, 1, font_bold);
  OGL_number(0, 400, 80, 1.5e10f, 4, 0, font_regular);
  save("/tmp/gfxtext/scratch.png", 640, 300);
  SDL_GL_DeleteContext(c);
  SDL_DestroyWindow(w);
}

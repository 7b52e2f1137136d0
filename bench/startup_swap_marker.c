/* Preloaded into both programs of the start-up benchmark (bench/startup): it notes the
 * monotonic clock at each of the first n buffer swaps (SKY_MARK_SWAPS, 1 by default, at most
 * 64), and at the nth reads that frame back and appends one line to the file named by
 * SKY_FIRST_FRAME_MARKER:
 *   swaps <n> times <t1> ... <tn> size <width>x<height> centre <rrggbb> colours <count>
 * with the nth frame's drawable size, its centre colour and how many distinct colours it holds.
 * Each clock is read when the swap is asked for, before anything is read back. With
 * SKY_FIRST_FRAME_PICTURE set, the nth frame is also written there as a binary PPM (top row
 * first). Every swap goes on to SDL. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kMostSwaps = 64 };
static int g_swaps;
static struct timespec g_times[kMostSwaps];


static int compare_u32(const void* a, const void* b) {
  const unsigned x = *(const unsigned*)a, y = *(const unsigned*)b;
  return x < y ? -1 : x > y;
}

/* The RGBA rows, bottom row first as GL reads them, as a PPM picture. */
static void write_picture(const unsigned* px, int w, int h) {
  const char* path = getenv("SKY_FIRST_FRAME_PICTURE");
  FILE* out = path ? fopen(path, "wb") : NULL;
  if (!out) return;
  fprintf(out, "P6\n%d %d\n255\n", w, h);
  for (int y = h - 1; y >= 0; --y)
    for (int x = 0; x < w; ++x) fwrite(&px[(size_t)y * w + x], 1, 3, out);
  fclose(out);
}

static void mark(SDL_Window* window, int n) {
  const char* path = getenv("SKY_FIRST_FRAME_MARKER");
  if (!path) return;
  void (*drawable_size)(SDL_Window*, int*, int*) =
      (void (*)(SDL_Window*, int*, int*))dlsym(RTLD_DEFAULT, "SDL_GL_GetDrawableSize");
  void (*read_pixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*) =
      (void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*))dlsym(RTLD_DEFAULT, "glReadPixels");
  void (*read_buffer)(GLenum) = (void (*)(GLenum))dlsym(RTLD_DEFAULT, "glReadBuffer");
  int w = 0, h = 0, colours = 0;
  unsigned centre = 0;
  if (drawable_size) drawable_size(window, &w, &h);
  if (read_pixels && w > 0 && h > 0) {
    unsigned* px = malloc((size_t)w * h * 4);
    if (px) {
      if (read_buffer) read_buffer(GL_BACK);
      read_pixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px);
      write_picture(px, w, h);
      const unsigned char* c = (const unsigned char*)&px[(size_t)(h / 2) * w + w / 2];
      centre = ((unsigned)c[0] << 16) | ((unsigned)c[1] << 8) | c[2];
      for (size_t i = 0; i < (size_t)w * h; ++i) px[i] &= 0x00FFFFFFu; /* RGBA bytes: drop alpha */
      qsort(px, (size_t)w * h, sizeof *px, compare_u32);
      for (size_t i = 0; i < (size_t)w * h; ++i)
        if (i == 0 || px[i] != px[i - 1]) ++colours;
      free(px);
    }
  }
  FILE* out = fopen(path, "a");
  if (!out) return;
  fprintf(out, "swaps %d times", n);
  for (int i = 0; i < n; ++i) fprintf(out, " %ld.%09ld", (long)g_times[i].tv_sec, g_times[i].tv_nsec);
  fprintf(out, " size %dx%d centre %06x colours %d\n", w, h, centre, colours);
  fclose(out);
}

void SDL_GL_SwapWindow(SDL_Window* window) {
  static void (*real)(SDL_Window*);
  if (!real) real = (void (*)(SDL_Window*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
  const char* nth = getenv("SKY_MARK_SWAPS");
  int n = nth ? atoi(nth) : 1;
  if (n < 1) n = 1;
  if (n > kMostSwaps) n = kMostSwaps;
  if (g_swaps < n) {
    clock_gettime(CLOCK_MONOTONIC, &g_times[g_swaps]);
    if (++g_swaps == n) mark(window, n);
  }
  if (real) real(window);
}

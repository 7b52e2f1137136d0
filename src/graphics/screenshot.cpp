#include "graphics/screenshot.h"

#include <GL/gl.h>

#include <algorithm>

#include "files/file_ops.h"
#include "graphics/image_desc.h"
#include "graphics/image_png.h"
#include "runtime/conversions.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

void screenshot_region(int draw_w, int draw_h, int* x, int* y, int* w, int* h) {
  *w = std::max(0, std::min(draw_w, 2048));
  *h = std::max(0, std::min(draw_h, 2048));
  *x = (draw_w - *w) / 2;
  *y = (draw_h - *h) / 2;
}

std::string next_screenshot_name(int* counter) {
  for (;;) {
    ++*counter;
    char digits[16];
    int_to_str(*counter, digits, 1, 0);
    std::string name = std::string("screenshot_") + digits + ".png";
    if (!file_exists(name) && !dir_exists(name)) return name;
  }
}

int OGL_screenshot(int save) {
  static int counter = -1;
  int x, y, w, h;
  screenshot_region(mnw.draw_w, mnw.draw_h, &x, &y, &w, &h);
  if (!scratch_array || w < 1 || h < 1) {
    xer << "WARNING: no screenshot of a window of " << mnw.draw_w << " x " << mnw.draw_h << " pixels." << std::endl;
    return 1;
  }
  // Rows of 3 bytes a pixel: an odd width needs byte packing.
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, scratch_array);
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  if (!save) return 0;
  const std::string name = next_screenshot_name(&counter);
  if (!write_png_to_disk(name, w, h, 3)) {
    xer << "WARNING: the screenshot could not be written to " << name << "." << std::endl;
    return 1;
  }
  return 0;
}

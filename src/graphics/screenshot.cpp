#include "graphics/screenshot.h"

#include <algorithm>

#include "files/file_ops.h"
#include "runtime/conversions.h"

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

#include "graphics/text_draw.h"

#include <cmath>

#include "graphics/draw_2d.h"
#include "graphics/number_text.h"
#include "graphics/texture_manager.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"

namespace {

graphics_widget_hooks widgets;

}  // namespace

void install_graphics_widget_hooks(const graphics_widget_hooks& hooks) { widgets = hooks; }

float str_dx(const std::string& text) { return OGL_measure_string(text, font_regular); }

float OGL_string(int colour, float x, float y, const std::string& text, float wrap_width,
                 charset_t font, int align) {
  return OGL_font_string(colour, x, y - 1, text, wrap_width, font, align, 0);
}

void OGL_gray_string(int colour, float x, float y, std::string text) {
  const float half = OGL_measure_string(text, font_regular) / 2;
  OGL_grayrect(x - half - 2, y - 2, x + half + 2, y + 8, 0.5f);
  OGL_font_string(colour, x - half, y - 1, text, 9999, font_regular, 0, 0);
}

int OGL_strtex(charset_t font, int colour, float* s, float* t, float* cell_width, float* cell_height) {
  font_hooks().begin_text(colour);
  if (font != font_regular && font != font_bold) {
    __MACIBM_alert(0, "String proc with bad charset!", "", "", "", t_exit, __FILE__, __LINE__);
    return 0;
  }
  tman.bind_ref(392, 0, 0);
  *s = 0;
  *t = 0;
  *cell_width = 14;
  *cell_height = 15;
  return font == font_bold ? 10 : 0;
}

void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text,
                      charset_t font, int colour) {
  std::string left = label, right, help;
  if (widgets.expand_label) widgets.expand_label(label, &left, &right, &help);
  float width;
  if (font == font_bold)
    width = 10.0f * static_cast<float>(text.size()) + 7;
  else if (font == font_regular)
    width = OGL_measure_string(text, font_regular) + 7;
  else
    width = 100;
  if (widgets.frame1) widgets.frame1(9, x, y + 3, width, 0);
  if (widgets.draw_label) {
    widgets.draw_label(x - width / 2 - 8, y, 0, left, 0);
    widgets.draw_label(x + width / 2 + 8, y, 2, right, 0);
  }
  OGL_font_string(colour, x - width / 2 + 4, y - 1, text, 9999, font, 0, 0);
}

void OGL_number(int colour, float x, float y, float value, int digits, int decimals, charset_t font) {
  if (font != font_bold) {
    OGL_font_string(colour, x, y - 1, OGL_number_text(value, digits, decimals), 9999, font, 0, 0);
    return;
  }
  float s, t, cell_w, cell_h;
  const int advance = OGL_strtex(font_bold, colour, &s, &t, &cell_w, &cell_h);
  // OGL_char takes window positions: the screen origin is added here, on whole pixels.
  const float left = std::round(x + mnw.origin_x) - static_cast<float>(advance);
  const float base = std::round(y + mnw.origin_y) - 2;
  for (const number_cell& c : OGL_number_cells(value, digits, decimals, advance))
    OGL_char(colour, left + c.x, base, s, t, cell_w, cell_h, c.code, font);
}

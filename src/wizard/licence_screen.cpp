// The licence page: the licence text in a read-only field laid out and scrolled by the
// text-editing engine (a click or drag selects, the wheel and the scroll bar scroll, nothing
// edits), and the two radio buttons of the accept choice.
#include "wizard/licence_screen.h"

#include <algorithm>
#include <cmath>

#include "files/mapped_file.h"
#include "graphics/draw_2d.h"
#include "graphics/font.h"
#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/text_editor.h"
#include "shell/translation.h"
#include "shell/value_widgets.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

namespace {

constexpr float kLeft = 236, kRight = 744;  // the text's visible rectangle across
constexpr float kLineHeight = 12;

// The read-only host of the engine. The scroll position is kept as the first line shown.
class licence_view : public OGLE {
 public:
  std::string text;
  float logical_height = kLineHeight;
  int first_line = 0;

  int line_count() const { return std::max(1, static_cast<int>(std::lround(logical_height / kLineHeight))); }
  int visible_lines() const {
    return static_cast<int>((licence_box_top - licence_box_bottom) / kLineHeight);
  }
  int last_first_line() const { return std::max(0, line_count() - visible_lines()); }

  void GetVisibleBounds(float* l, float* b, float* r, float* t) override {
    *l = kLeft;
    *b = licence_box_bottom;
    *r = kRight;
    *t = licence_box_top;
  }
  void GetLogicalBounds(float* l, float* b, float* r, float* t) override {
    *l = kLeft;
    *r = kRight;
    *t = licence_box_top + first_line * kLineHeight;
    *b = *t - std::max(logical_height, kLineHeight);
  }
  void SetLogicalHeight(float height) override { logical_height = height; }
  void ScrollTo(float, float y) override {
    // y is the visible bottom less the logical bottom.
    const float top = licence_box_bottom - y + std::max(logical_height, kLineHeight);
    first_line = std::clamp(static_cast<int>(std::lround((top - licence_box_top) / kLineHeight)), 0,
                            last_first_line());
  }
  void GetText(const char** begin, const char** end) override {
    *begin = text.data();
    *end = text.data() + text.size();
  }
  void ReplaceText(int, int, const char*, const char*) override {}  // read-only
  float GetLineHeight() override { return kLineHeight; }
  float MeasureString(const char* begin, const char* end) override {
    return OGL_measure_range(begin, end, font_regular);
  }
  int FitStringFwd(const char* begin, const char* end, float width) override {
    return static_cast<int>(OGL_fit_forward(begin, end, width, font_regular) - begin);
  }
  int FitStringRev(const char* begin, const char* end, float width) override {
    return static_cast<int>(end - OGL_fit_reverse(begin, end, width, font_regular));
  }
  void DrawString(const char* begin, const char* end, float x, float y) override {
    // A line comes with the break that ends it; the text call would start another line.
    while (end > begin && end[-1] == '\n') --end;
    widget_drawing().text(12, x, y + 3, std::string(begin, end), 9999, 0);
  }
  void DrawSelection(float l, float b, float r, float t) override {
    if (l != r) OGL_fillrect(8, 0.4f, l, b, r - l, t - b);
  }
  const char* WordBreak(const char* begin, const char* end) override {
    const char* p = begin;
    while (p < end && OGLE_is_blank(static_cast<unsigned char>(*p))) ++p;
    while (p < end && !OGLE_is_blank(static_cast<unsigned char>(*p)) && *p != '\n' && *p != '\r') ++p;
    return p;
  }
};

licence_view& view() {
  static licence_view* v = new licence_view;  // lives as long as the program
  return *v;
}

std::string read_resource(const std::string& name) {
  xmap_class map;
  if (!map.retry("RESOURCE:" + name)) return "";
  return std::string(map.begin, map.end);
}

}  // namespace

const char* const full_licence = "licence";
const char* const demo_licence = "demo_licence";

std::string licence_text(const char* licence, int language) {
  const std::string stem = licence;
  std::string folder = UTL_lang_get_folder(language);
  if (!folder.empty()) folder.pop_back();  // "French/" names the file "licence_French.txt"
  std::string text = folder.empty() ? "" : read_resource(stem + "_" + folder + ".txt");
  if (text.empty()) text = read_resource(stem + "_English.txt");
  if (text.empty()) xer << "The licence text is missing from the program's resources.\n";
  // Line breaks as the engine lays them out: CR LF and CR become LF.
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

int eula_screen(int first, wizard_screen& page, int& accepted, wizard_func back, wizard_func next,
                const char* licence) {
  static int shown_language = -2;
  static const char* shown_licence = nullptr;
  licence_view& v = view();
  if (shown_language != mnw.language || shown_licence != licence) {
    v.text = licence_text(licence, mnw.language);
    shown_language = mnw.language;
    shown_licence = licence;
    first = 1;
  }
  if (first) {
    v.first_line = 0;
    v.SetSelection(0, 0);
    v.Repaginate();
  }

  page.title = UTL_translate_string("End User License Agreement (EULA)");
  page.go_back = back;

  // Scrolling: the wheel (three lines a notch, taken as the file browser takes it) and the bar.
  v.first_line -= 3 * mnw.wheel;
  mnw.wheel = 0;
  v.first_line = std::clamp(v.first_line, 0, v.last_first_line());
  BTN_vert_slider(0, licence_scroll_x, licence_box_bottom, licence_box_top, 0, v.last_first_line(), &v.first_line);

  const bool inside = !widget_drawing().menu_open() && mnw.mouse_x >= kLeft && mnw.mouse_x <= kRight &&
                      mnw.mouse_y >= licence_box_bottom && mnw.mouse_y <= licence_box_top;
  if (mnw.mouse_down && inside) v.Click(mnw.mouse_x, mnw.mouse_y, 0);
  else if (mnw.mouse_held && !mnw.mouse_down && inside) v.Drag(mnw.mouse_x, mnw.mouse_y);

  BTN_frame2(20, kLeft - 6, licence_box_bottom - 4, kRight - kLeft + 12,
             licence_box_top - licence_box_bottom + 10, "");
  OGL_scissors(kLeft - 2, licence_box_bottom, kRight - kLeft + 4, licence_box_top - licence_box_bottom);
  v.Draw(0);
  OGL_scissors_end();

  // The accept choice: "I do not accept" stands until the user accepts.
  BTN_is_int(licence_choice_x, licence_accept_y, &accepted, 1,
             "|-" + UTL_translate_string("I accept the terms of the license agreement"));
  int refused = accepted ? 0 : 1;
  if (BTN_is_int(licence_choice_x, licence_refuse_y, &refused, 1,
                 "|-" + UTL_translate_string("I do not accept the terms of the license agreement")))
    accepted = 0;
  page.go_next = accepted ? next : nullptr;
  return 0;
}

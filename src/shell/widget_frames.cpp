// Frames, windows and labels: every surface of the interface is cut from the interface atlas
// by these routines, bars from a left cap, repeated middle tiles and a right cap, panels in
// nine. Each call builds its quads and hands them over as one batch.
#include <algorithm>
#include <cmath>

#include "runtime/shell_records.h"
#include "runtime/shell_services.h"
#include "shell/widget_drawing.h"
#include "shell/widgets.h"

namespace {

constexpr int kAtlas = 392;
constexpr int kButtonAtlas = 395;
constexpr float kAtlasScale = 1.0f / 512.0f;

// Halves away from zero, as the layout of every bar expects.
float round_half_away(float v) { return std::round(v); }

bool pressed_in(float x0, float x1, float y0, float y1) {
  return mnw.mouse_down && mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

struct bar_cell {
  float k, g, s, h;
  float s0, t0;
  float extra_width, y_shift;
};

// One-row bar cells by frame type; type 6 is the vertical track and has no row here.
const bar_cell* bar_cell_of(int type) {
  static const bar_cell cells[11] = {
      {10, 90, 100, 26, 1, 487, 0, -3},   {20, 80, 100, 26, 102, 487, 0, -3}, {10, 42, 52, 26, 304, 486, 0, 0},
      {10, 42, 52, 26, 304, 459, 0, 0},   {10, 18, 28, 16, 112, 161, 0, 0},   {10, 18, 28, 16, 83, 161, 0, 0},
      {0, 0, 0, 0, 0, 0, 0, 0},           {10, 55, 65, 24, 240, 242, 0, 0},   {7, 9, 16, 16, 289, 219, 0, 0},
      {10, 41, 51, 26, 262, 133, 4, 0},   {26, 42, 68, 24, 357, 488, 4, 0},
  };
  if (type < 0 || type > 10 || type == 6) return nullptr;
  return &cells[type];
}

struct panel_cell {
  int ref;
  float s0, t0, size;
  float a, bb, bt;
  float mx, my, oy;
  int title_colour;
  // The cell's middle rows do not change across its middle columns, nor its middle columns
  // down its middle rows (with a texel to spare either side for filtering): the middle and the
  // border strips are then drawn stretched, one quad each, and look as the repeated tiles do.
  // A software renderer pays per quad: a wizard-sized panel is some 1,500 tiles.
  bool plain_middle;
};

const panel_cell* panel_cell_of(int type) {
  // Borders are 0.35 of the cell across and 0.3 of it up and down, worked out in double
  // precision; only the drop-down menu has borders of its own.
  auto cell = [](int ref, float s0, float t0, double size, float mx, float my, float oy, int colour,
                 bool plain = true) {
    return panel_cell{ref, s0, t0, static_cast<float>(size), static_cast<float>(0.35 * size),
                      static_cast<float>(0.3 * size), static_cast<float>(0.3 * size), mx, my, oy, colour, plain};
  };
  static const panel_cell cells[10] = {
      cell(kAtlas, 1, 358, 100, 9, 14, 4, 40),
      cell(kAtlas, 102, 358, 100, 9, 14, 4, 43),
      cell(kAtlas, 203, 358, 100, 9, 14, 4, 43),
      cell(kAtlas, 304, 358, 100, 9, 14, 4, 43),
      cell(kAtlas, 405, 358, 100, 9, 14, 4, 47),
      cell(kAtlas, 1, 289, 68, 2, 2, 2, 43),
      panel_cell{kAtlas, 70, 315, 42, 20, 26, 14, 8, 13, 2, 43, true},
      cell(kAtlas, 113, 315, 42, 8, 13, 2, 43, false),  // a patterned middle: repeated
      cell(kAtlas, 440, 12, 44, 6, 9, 4, 43),
      cell(kButtonAtlas, 982, 2, 41, 1, 1, 1, 43),
  };
  if (type < 11 || type > 20) return nullptr;
  return &cells[type - 11];
}

// The close boxes of a window lie in its top corners, 18 units square.
constexpr float kBoxHalf = 9;
float close_box_y() { return mnw.screen_h - 10; }
float right_box_x() { return mnw.screen_w - 16; }

widget_quad close_box_quad(float cx, int lit) {
  const float cy = close_box_y();
  const float t0 = lit ? 197 : 178;
  return widget_quad{cx - kBoxHalf + mnw.origin_x, cy - kBoxHalf + mnw.origin_y, cx + kBoxHalf + mnw.origin_x,
                     cy + kBoxHalf + mnw.origin_y, 120, t0, 138, t0 + 18};
}

bool press_in_left_box() { return pressed_in(7, 25, close_box_y() - kBoxHalf, close_box_y() + kBoxHalf); }
bool press_in_right_box() {
  return pressed_in(right_box_x() - kBoxHalf, right_box_x() + kBoxHalf, close_box_y() - kBoxHalf,
                    close_box_y() + kBoxHalf);
}

void fatal(const char* message, int line) { __MACIBM_alert(0, message, "", "", "", t_exit, __FILE__, line); }

}  // namespace

void BTN_expand_label(const std::string& label, std::string* left, std::string* right, std::string* help) {
  const size_t length = label.size();
  const size_t brace = label.rfind('{');
  const size_t b = brace == std::string::npos ? length : brace;
  // Only a '|' before the help counts: one inside the help text is part of it.
  const size_t bar = b == 0 ? std::string::npos : label.rfind('|', b - 1);
  const size_t d = bar == std::string::npos ? b : bar;
  *left = label.substr(0, d);
  *right = bar == std::string::npos ? std::string() : label.substr(bar + 1, b - bar - 1);
  // The character after '{' is a separator; a '{' at the very end has no help at all.
  *help = b + 2 <= length ? label.substr(b + 2) : std::string();
}

int BTN_label_break(const std::string& text, int type) {
  if (type == 1 || text.size() <= 12 || text[0] == '-') return 0;
  const int length = static_cast<int>(text.size());
  const int middle = length / 2;
  int best = 0;
  for (int i = 0; i < length; ++i) {
    const char c = text[static_cast<size_t>(i)];
    if ((c == ' ' || c == '-' || c == '/') && std::abs(i - middle) < std::abs(best - middle)) best = i;
  }
  return best > 0 && best < length - 1 ? best : 0;
}

void BTN_util_draw_label(float x, float y, int type, const std::string& text, int lit) {
  if (text.empty()) return;
  const int colour = lit ? 81 : 43;
  const int align = type == 0 ? 2 : type == 2 ? 0 : 1;
  const std::string shown = text[0] == '-' ? text.substr(1) : text;
  const widget_draw_calls& draw = widget_drawing();
  const int split = text[0] == '-' ? 0 : BTN_label_break(text, type);
  if (split == 0) {
    draw.text(colour, x, y, shown, 9999, align);
    return;
  }
  draw.text(colour, x, y + 5, shown.substr(0, static_cast<size_t>(split)), 9999, align);
  draw.text(colour, x, y - 5, shown.substr(static_cast<size_t>(split) + 1), 9999, align);
}

void BTN_frame1(int type, float x_centre, float y_centre, float width, int colour) {
  const bar_cell* c = bar_cell_of(type);
  if (!c) {
    fatal("Bad BTN_frame1 call!", __LINE__);
    return;
  }
  const float cx = round_half_away(x_centre);
  const float e = 2 * round_half_away(width / 2) + c->extra_width;
  const float cy = y_centre + c->y_shift;
  const float left = cx - e / 2 + mnw.origin_x;
  const float y0 = cy - c->h / 2 + mnw.origin_y, y1 = cy + c->h / 2 + mnw.origin_y;
  const float t0 = c->t0, t1 = c->t0 + c->h;
  const float k = c->k, g = c->g, middle = g - k;
  const int tiles = static_cast<int>((e - 2 * k) / middle) + 1;
  if (tiles < -1) return;

  std::vector<widget_quad> quads;
  quads.push_back({left, y0, left + k, y1, c->s0, t0, c->s0 + k, t1});
  for (int i = 0; i < tiles; ++i) {
    const float a = k + middle * static_cast<float>(i);
    const float b = std::fmin(a + middle, e - k);
    if (b <= a) continue;  // a bar narrower than its caps: the caps meet
    float s1 = g;
    if (b < a + middle) {
      // The cut tile keeps the look of its whole: its texels are squeezed to its length.
      s1 = std::fmax(k, std::fmin(g, k + (b - a) * middle / g));
    }
    quads.push_back({left + a, y0, left + b, y1, c->s0 + k, t0, c->s0 + s1, t1});
  }
  quads.push_back({left + e - k, y0, left + e, y1, c->s0 + g, t0, c->s0 + c->s, t1});
  widget_drawing().quads(kAtlas, colour, kAtlasScale, kAtlasScale, quads);
}

void BTN_frame0(int type, float x_centre, float y_centre, float height) {
  if (type != 6) {
    fatal("Bad BTN_frame0 call!", __LINE__);
    return;
  }
  if (x_centre != std::floor(x_centre)) {
    fatal("BTN_frame0 non-int x_center!", __LINE__);
    return;
  }
  if (y_centre != std::floor(y_centre)) {
    fatal("BTN_frame0 non-int y_center!", __LINE__);
    return;
  }
  const float total = 2 * round_half_away(height / 2) + 8;
  const float x0 = x_centre - 10 + mnw.origin_x, x1 = x_centre + 10 + mnw.origin_x;
  const float bottom = y_centre - total / 2 + mnw.origin_y;
  std::vector<widget_quad> quads;
  quads.push_back({x0, bottom, x1, bottom + 10, 102, 248, 122, 258});
  const int tiles = static_cast<int>((total - 20) / 20) + 1;
  for (int i = 0; i < tiles; ++i) {
    const float a = 10 + 20 * static_cast<float>(i);
    const float b = std::fmin(a + 20, total - 10);
    if (b <= a) continue;
    const float t1 = b < a + 20 ? 258 + (b - a) * 2 / 3 : 278;
    quads.push_back({x0, bottom + a, x1, bottom + b, 102, 258, 122, t1});
  }
  quads.push_back({x0, bottom + total - 10, x1, bottom + total, 102, 278, 122, 288});
  widget_drawing().quads(kAtlas, 0, kAtlasScale, kAtlasScale, quads);
}

void BTN_frame2(int type, float x, float y, float width, float height, const std::string& title) {
  const panel_cell* c = panel_cell_of(type);
  if (!c) {
    fatal("Bad BTN_frame2 call!", __LINE__);
    return;
  }
  const float left = x - c->mx + mnw.origin_x, bottom = y - c->my + mnw.origin_y;
  const float w = width + 2 * c->mx, h = height + c->my + c->oy;
  const float a = c->a, size = c->size, mid_s = size - 2 * a;
  const float mid_t = size - c->bb - c->bt;
  // A plain middle is one span as long as the panel's middle; the texels stay in the middle.
  const float step_s = c->plain_middle ? std::fmax(mid_s, w - 2 * a) : mid_s;
  const float step_t = c->plain_middle ? std::fmax(mid_t, h - c->bb - c->bt) : mid_t;
  const int columns = static_cast<int>((w - 2 * a) / step_s) + 1;
  const int rows = std::max(static_cast<int>((h - c->bb - c->bt) / step_t), 0) + 1;

  // Column and row spans: position from, position to, texel from, texel to (cell-relative).
  struct span {
    float p0, p1, q0, q1;
  };
  std::vector<span> cols, lines;
  if (columns >= -1) {
    cols.push_back({0, a, 0, a});
    for (int i = 0; i < columns; ++i) {
      const float p0 = a + step_s * static_cast<float>(i), p1 = std::fmin(p0 + step_s, w - a);
      if (p1 <= p0) continue;
      cols.push_back({p0, p1, a, std::fmax(a, std::fmin(size - a, a + (p1 - p0)))});
    }
    cols.push_back({w - a, w, size - a, size});
  }
  lines.push_back({0, c->bb, 0, c->bb});
  for (int i = 0; i < rows; ++i) {
    const float p0 = c->bb + step_t * static_cast<float>(i), p1 = std::fmin(p0 + step_t, h - c->bt);
    if (p1 <= p0) continue;
    lines.push_back({p0, p1, c->bb, std::fmax(c->bb, std::fmin(size - c->bt, c->bb + (p1 - p0)))});
  }
  lines.push_back({h - c->bt, h, size - c->bt, size});

  std::vector<widget_quad> quads;
  for (const span& r : lines)
    for (const span& col : cols)
      quads.push_back({left + col.p0, bottom + r.p0, left + col.p1, bottom + r.p1, c->s0 + col.q0,
                       c->t0 + r.q0, c->s0 + col.q1, c->t0 + r.q1});
  const float s_scale = c->ref == kButtonAtlas ? 1.0f / 1024.0f : kAtlasScale;
  const float t_scale = c->ref == kButtonAtlas ? 1.0f / 128.0f : kAtlasScale;
  const widget_draw_calls& draw = widget_drawing();
  draw.quads(c->ref, 0, s_scale, t_scale, quads);

  if (!title.empty()) {
    const float tx = type == 20 ? x + 10 : x + width / 2 - draw.text_width(title) / 2;
    const float ty = type == 11 ? y + height - 13 : y + height - 16;
    draw.text(c->title_colour, tx, ty, title, 9999, 0);
  }

  const int screen = mnw.topwi;
  if (type != 11 || screen == 0 || (screen >= 994 && screen <= 999)) return;
  std::vector<widget_quad> boxes{close_box_quad(16, 0)};
  if (!press_in_left_box()) boxes.push_back(close_box_quad(right_box_x(), 0));
  draw.quads(kAtlas, 0, kAtlasScale, kAtlasScale, boxes);
}

void BTN_fillwin(int close_boxes, int inner_type) {
  const float w = mnw.screen_w, h = mnw.screen_h;
  BTN_frame2(close_boxes ? 11 : 12, 0, 0, w, h, widget_drawing().screen_title());
  if (inner_type == 1)
    BTN_frame1(1, w / 2, h - 50, w, 0);
  else if (inner_type != 21)
    BTN_frame2(inner_type, 10, 10, w - 20, h - 40, "");
}

void BTN_subwin(float top_reserve, int type, float x, float y, float width, float height,
                const std::string& title, float* next_x, float* next_y) {
  if (x < 0) x = 10;
  if (y < 0) y = 10;
  if (width < 0) width = mnw.screen_w - 10 - x;
  if (height < 0) height = mnw.screen_h - 28 - y - top_reserve;
  BTN_frame2(type, x, y, width, height, title);
  *next_x = x + width + 10;
  *next_y = y + height + 10;
}

int BTN_zap_boxes(int lit) {
  widget_draw_calls& draw = widget_drawing();
  draw.quads(kAtlas, 0, kAtlasScale, kAtlasScale, {close_box_quad(16, lit)});
  if (press_in_left_box()) return 1;
  draw.quads(kAtlas, 0, kAtlasScale, kAtlasScale, {close_box_quad(right_box_x(), lit)});
  return press_in_right_box() ? 1 : 0;
}

int BTN_tab(int column, int row, int* selected, int value, const std::string& label) {
  const float cx = 88.0f * static_cast<float>(column) + 53;
  const float cy = mnw.screen_h - 38 - 32.0f * static_cast<float>(row);
  int hit = 0;
  // Tested before drawing, so that the clicked tab already shows selected.
  if (!widget_drawing().menu_open() && pressed_in(cx - 50, cx + 40, cy - 13, cy + 13)) {
    *selected = value;
    hit = 1;
  }
  const bool on = *selected == value;
  const float t0 = on ? 486 : 459;
  const float ox = mnw.origin_x, oy = mnw.origin_y;
  widget_drawing().quads(kAtlas, 0, kAtlasScale, kAtlasScale,
                         {{cx - 49 + ox, cy - 13 + oy, cx + 49 + ox, cy + 13 + oy, 204, t0, 302, t0 + 26}});
  widget_drawing().text(on ? 41 : 42, cx - 40, cy - 4, label, 9999, 0);
  return hit;
}

void plot_dir(float x, float y, float* heading, int style) {
  const widget_draw_calls& draw = widget_drawing();
  const double turn = -static_cast<double>(*heading) * M_PI / 180.0;
  const float cs = static_cast<float>(std::cos(turn)), sn = static_cast<float>(std::sin(turn));
  const float t0 = style == 0 ? 315 : 272;
  // The needle's corners about the dial centre, in the order lower-left, upper-left,
  // upper-right, lower-right, with their texels.
  const float needle[4][4] = {{-5, -21, 156, t0}, {-5, 21, 156, t0 + 42}, {5, 21, 166, t0 + 42}, {5, -21, 166, t0}};
  float corners[4][4];
  for (int i = 0; i < 4; ++i) {
    corners[i][0] = x + needle[i][0] * cs - needle[i][1] * sn;
    corners[i][1] = y + needle[i][0] * sn + needle[i][1] * cs;
    corners[i][2] = needle[i][2] * kAtlasScale;
    corners[i][3] = needle[i][3] * kAtlasScale;
  }
  draw.quad_2d(kAtlas, 0, 1, corners);
  const float ox = mnw.origin_x, oy = mnw.origin_y;
  draw.quads(kAtlas, 0, kAtlasScale, kAtlasScale, {{x - 28 + ox, y - 29 + oy, x + 28 + ox, y + 29 + oy, 178, 160, 234, 218}});
  draw.number(45, x - 14, y - 2, *heading, 3, 0);

  if (mnw.mouse_held && std::fabs(mnw.mouse_x - x) <= 30 && std::fabs(mnw.mouse_y - y) <= 30) {
    float h = static_cast<float>(std::atan2(mnw.mouse_x - x, mnw.mouse_y - y) * 180.0 / M_PI);
    while (h < 0) h += 360;
    while (h > 360) h -= 360;
    *heading = h;
  }
}

void BTN_util_element(float x, float y, float s, float t, float half_width, float half_height, int colour) {
  const float corners[4][4] = {
      {x - half_width, y - half_height, (s - half_width) * kAtlasScale, (t - half_height) * kAtlasScale},
      {x - half_width, y + half_height, (s - half_width) * kAtlasScale, (t + half_height) * kAtlasScale},
      {x + half_width, y + half_height, (s + half_width) * kAtlasScale, (t + half_height) * kAtlasScale},
      {x + half_width, y - half_height, (s + half_width) * kAtlasScale, (t - half_height) * kAtlasScale},
  };
  widget_drawing().quad_2d(kAtlas, colour, 1, corners);
}

#include "interface_art.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace interface_art {
namespace {

constexpr double pi = 3.14159265358979323846;

struct rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

rgba rgb(float r, float g, float b, float a = 1) { return {r, g, b, a}; }
rgba hex(uint32_t v, float a = 1) {
  return {((v >> 16) & 255) / 255.0f, ((v >> 8) & 255) / 255.0f, (v & 255) / 255.0f, a};
}
rgba mix(rgba x, rgba y, float f) {
  return {x.r + (y.r - x.r) * f, x.g + (y.g - x.g) * f, x.b + (y.b - x.b) * f, x.a + (y.a - x.a) * f};
}
float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// The interface's colours. The palette swatches carry the text colours to the program.
namespace colour {
const rgba ink = hex(0x1f2630);          // labels and titles
const rgba ink_soft = hex(0x4b5563);     // secondary text
const rgba accent = hex(0x2f6fd0);       // selection, progress, highlights
const rgba accent_dark = hex(0x1d4f9c);
const rgba accent_light = hex(0x6fa2ec);
const rgba line = hex(0x9aa6b6);         // borders
const rgba line_dark = hex(0x6b7788);
const rgba face_top = hex(0xffffff);     // raised faces
const rgba face_bottom = hex(0xe4e9f0);
const rgba panel = hex(0xf4f6f9);
const rgba panel_edge = hex(0xc3ccd8);
const rgba title_band_top = hex(0xe9eef5);
const rgba title_band_bottom = hex(0xd9e1ec);
const rgba field = hex(0xffffff);
const rgba groove = hex(0xd5dbe3);
const rgba shadow = rgb(0.05f, 0.08f, 0.15f);
}  // namespace colour

class canvas {
 public:
  canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * h) { clip(0, 0, w, h); }

  void clip(int s0, int t0, int s1, int t1) {
    cs0_ = std::max(0, s0);
    ct0_ = std::max(0, t0);
    cs1_ = std::min(w_, s1);
    ct1_ = std::min(h_, t1);
  }

  // Lays colour c over the texel with the given coverage.
  void blend(int s, int t, rgba c, float coverage) {
    if (s < cs0_ || s >= cs1_ || t < ct0_ || t >= ct1_) return;
    const float a = clamp01(c.a * coverage);
    if (a <= 0) return;
    rgba& d = px_[size_t(h_ - 1 - t) * w_ + s];
    const float out = a + d.a * (1 - a);
    d.r = (c.r * a + d.r * d.a * (1 - a)) / out;
    d.g = (c.g * a + d.g * d.a * (1 - a)) / out;
    d.b = (c.b * a + d.b * d.a * (1 - a)) / out;
    d.a = out;
  }

  // Fills by a signed distance (negative inside, in texels), antialiased over one texel.
  void fill(const std::function<double(double, double)>& sdf,
            const std::function<rgba(double, double)>& paint) {
    for (int t = ct0_; t < ct1_; ++t)
      for (int s = cs0_; s < cs1_; ++s) {
        const double x = s + 0.5, y = t + 0.5;
        const double d = sdf(x, y);
        if (d >= 0.5) continue;
        blend(s, t, paint(x, y), clamp01(float(0.5 - d)));
      }
  }
  void fill(const std::function<double(double, double)>& sdf, rgba c) {
    fill(sdf, [c](double, double) { return c; });
  }

  // A soft shadow of a shape: full strength inside, fading out over `blur` texels.
  void shadow(const std::function<double(double, double)>& sdf, double blur, float strength) {
    for (int t = ct0_; t < ct1_; ++t)
      for (int s = cs0_; s < cs1_; ++s) {
        const double d = sdf(s + 0.5, t + 0.5);
        if (d >= blur) continue;
        const double f = d <= 0 ? 1 : 1 - d / blur;
        rgba c = colour::shadow;
        c.a = float(strength * f * f);
        blend(s, t, c, 1);
      }
  }

  // Fills a polygon (any winding), 4 x 4 samples a texel.
  void polygon(const std::vector<std::pair<double, double>>& pts, rgba c) {
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (auto& p : pts) {
      x0 = std::min(x0, p.first), x1 = std::max(x1, p.first);
      y0 = std::min(y0, p.second), y1 = std::max(y1, p.second);
    }
    for (int t = std::max(ct0_, int(std::floor(y0))); t < std::min(ct1_, int(std::ceil(y1)) + 1); ++t)
      for (int s = std::max(cs0_, int(std::floor(x0))); s < std::min(cs1_, int(std::ceil(x1)) + 1); ++s) {
        int inside = 0;
        for (int j = 0; j < 4; ++j)
          for (int i = 0; i < 4; ++i) inside += contains(pts, s + (i + 0.5) / 4, t + (j + 0.5) / 4);
        if (inside) blend(s, t, c, inside / 16.0f);
      }
  }

  void put(int s, int t, rgba c) {
    if (s < 0 || s >= w_ || t < 0 || t >= h_) return;
    px_[size_t(h_ - 1 - t) * w_ + s] = c;
  }

  picture to_picture() const {
    picture p;
    p.width = w_;
    p.height = h_;
    p.rgba.resize(size_t(w_) * h_ * 4);
    for (size_t i = 0; i < px_.size(); ++i) {
      const rgba& c = px_[i];
      p.rgba[i * 4 + 0] = uint8_t(std::lround(clamp01(c.r) * 255));
      p.rgba[i * 4 + 1] = uint8_t(std::lround(clamp01(c.g) * 255));
      p.rgba[i * 4 + 2] = uint8_t(std::lround(clamp01(c.b) * 255));
      p.rgba[i * 4 + 3] = uint8_t(std::lround(clamp01(c.a) * 255));
    }
    return p;
  }

 private:
  static bool contains(const std::vector<std::pair<double, double>>& pts, double x, double y) {
    bool in = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      const auto& a = pts[i];
      const auto& b = pts[j];
      if ((a.second > y) != (b.second > y) &&
          x < (b.first - a.first) * (y - a.second) / (b.second - a.second) + a.first)
        in = !in;
    }
    return in;
  }

  int w_, h_;
  std::vector<rgba> px_;
  int cs0_ = 0, ct0_ = 0, cs1_ = 0, ct1_ = 0;
};

// Signed distances.
std::function<double(double, double)> round_box(double x0, double y0, double x1, double y1, double r) {
  return [=](double x, double y) {
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double hx = (x1 - x0) / 2 - r, hy = (y1 - y0) / 2 - r;
    const double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
    const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
  };
}
std::function<double(double, double)> circle(double cx, double cy, double r) {
  return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}
// The band of a shape between its edge and `width` texels inside it.
std::function<double(double, double)> ring(std::function<double(double, double)> sdf, double width) {
  return [=](double x, double y) {
    const double d = sdf(x, y);
    return std::max(d, -(d + width));
  };
}
std::function<double(double, double)> segment(double ax, double ay, double bx, double by, double width) {
  return [=](double x, double y) {
    const double px = x - ax, py = y - ay, vx = bx - ax, vy = by - ay;
    const double h = std::clamp((px * vx + py * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    return std::hypot(px - vx * h, py - vy * h) - width / 2;
  };
}
std::function<rgba(double, double)> vertical(double y0, double y1, rgba bottom, rgba top) {
  return [=](double, double y) { return mix(bottom, top, clamp01(float((y - y0) / (y1 - y0)))); };
}

// A raised face with a border: buttons, fields, knobs.
void raised(canvas& c, double x0, double y0, double x1, double y1, double r, rgba top, rgba bottom,
            rgba border) {
  c.fill(round_box(x0, y0, x1, y1, r), vertical(y0, y1, bottom, top));
  c.fill(ring(round_box(x0, y0, x1, y1, r), 1.0), border);
}

void arrow_head(canvas& c, double cx, double cy, double size, double angle, rgba col) {
  // A triangle pointing along `angle` (radians, 0 = right).
  const double ca = std::cos(angle), sa = std::sin(angle);
  auto at = [&](double u, double v) {
    return std::make_pair(cx + u * ca - v * sa, cy + u * sa + v * ca);
  };
  c.polygon({at(size * 0.6, 0), at(-size * 0.4, size * 0.55), at(-size * 0.4, -size * 0.55)}, col);
}

// ---------------------------------------------------------------------------------------------
// One-row bars. The middle of each cell is the same in every column, so that it repeats.

void draw_bar(canvas& c, const slot& k) {
  const double x0 = k.s0, y0 = k.t0, x1 = k.s1, y1 = std::min(k.t1, 512);
  const double h = y1 - y0;
  if (k.kind == "bar_menu") {
    c.fill(round_box(x0 - 20, y0 + 3, x1 + 20, y1, 0), vertical(y0 + 3, y1, colour::face_bottom, colour::face_top));
    c.fill(round_box(x0 - 20, y0 + 3, x1 + 20, y0 + 4, 0), colour::line);
    c.shadow(round_box(x0 - 20, y0 + 1, x1 + 20, y0 + 3, 0), 1.5, 0.12f);
  } else if (k.kind == "bar_button" || k.kind == "bar_button_lit") {
    const bool lit = k.kind == "bar_button_lit";
    c.shadow(round_box(x0 + 1.5, y0 + 1.2, x1 - 1.5, y1 - 2.5, 6), 1.5, 0.18f);
    raised(c, x0 + 1, y0 + 2, x1 - 1, y1 - 2, 6, lit ? hex(0xeaf2ff) : colour::face_top,
           lit ? hex(0xc4daf8) : colour::face_bottom, lit ? colour::accent : colour::line);
    // A light line under the top edge gives the face its bevel.
    c.fill(round_box(x0 + 6, y1 - 4, x1 - 6, y1 - 3, 0), rgb(1, 1, 1, 0.8f));
  } else if (k.kind == "bar_trough") {
    raised(c, x0 + 1, y0 + 2, x1 - 1, y1 - 2, 5, colour::groove, hex(0xe6ebf1), colour::line);
  } else if (k.kind == "bar_fill") {
    raised(c, x0 + 1, y0 + 2, x1 - 1, y1 - 2, 5, colour::accent_light, colour::accent, colour::accent_dark);
    c.fill(round_box(x0 + 5, y1 - 5, x1 - 5, y1 - 4, 0), rgb(1, 1, 1, 0.45f));
  } else if (k.kind == "bar_slider") {
    const double cy = y0 + h / 2;
    raised(c, x0 + 2, cy - 3, x1 - 2, cy + 3, 3, colour::groove, hex(0xe9edf2), colour::line);
  } else if (k.kind == "bar_slider_fill") {
    const double cy = y0 + h / 2;
    raised(c, x0 + 2, cy - 3, x1 - 2, cy + 3, 3, colour::accent_light, colour::accent, colour::accent_dark);
  } else if (k.kind == "bar_field") {
    c.fill(round_box(x0 + 1, y0 + 3, x1 - 1, y1 - 3, 3), colour::field);
    c.fill(ring(round_box(x0 + 1, y0 + 3, x1 - 1, y1 - 3, 3), 1.0), colour::line);
    c.fill(round_box(x0 + 4, y1 - 5, x1 - 4, y1 - 4, 0), rgb(0, 0, 0, 0.06f));
  } else if (k.kind == "bar_popup") {
    raised(c, x0 + 1, y0 + 2, x1 - 1, y1 - 2, 4, colour::face_top, colour::face_bottom, colour::line);
    // The right cap (26 texels) holds the drop-down mark behind a separator.
    const double sep = x1 - 22;
    c.fill(round_box(sep, y0 + 6, sep + 1, y1 - 6, 0), colour::panel_edge);
    arrow_head(c, x1 - 11, y0 + h / 2, 9, -pi / 2, colour::ink_soft);
  } else {
    throw std::runtime_error("no bar kind " + k.kind);
  }
}

void draw_track(canvas& c, const slot& k) {
  const double cx = (k.s0 + k.s1) / 2.0;
  raised(c, cx - 3, k.t0 + 2, cx + 3, k.t1 - 2, 3, hex(0xe9edf2), colour::groove, colour::line);
}

// ---------------------------------------------------------------------------------------------
// Panels. The routine draws each panel larger than the rectangle its caller names, by the
// margins below; the body fills the named rectangle and its shadow the margins.

struct panel_shape {
  double left, right, bottom, top;  // margins of the cell outside the body
  double radius;
};

void draw_panel(canvas& c, const slot& k) {
  const double x0 = k.s0, y0 = k.t0, x1 = k.s1, y1 = k.t1;
  std::map<std::string, panel_shape> shapes = {
      {"panel_window", {9, 9, 14, 4, 8}},   {"panel_plain", {9, 9, 14, 4, 8}},
      {"panel_help", {9, 9, 14, 4, 6}},     {"panel_highlight", {9, 9, 14, 4, 8}},
      {"panel_list", {2, 2, 2, 2, 3}},      {"panel_menu", {8, 8, 13, 2, 5}},
      {"panel_small", {7, 7, 7, 3, 5}},    {"panel_wizard", {1, 1, 1, 1, 7}},
  };
  const panel_shape p = shapes.at(k.kind);
  const double bx0 = x0 + p.left, bx1 = x1 - p.right, by0 = y0 + p.bottom, by1 = y1 - p.top;
  const auto body = round_box(bx0, by0, bx1, by1, p.radius);
  if (k.kind == "panel_list") {
    c.fill(body, colour::field);
    c.fill(ring(body, 1), colour::line);
    return;
  }
  if (k.kind == "panel_wizard") {
    c.fill(body, rgb(1, 1, 1, 0.86f));
    c.fill(ring(body, 1), hex(0xb8c4d4));
    return;
  }
  // Shadow below and around, a little lower than the body.
  c.shadow(round_box(bx0 + 1, by0 - 3, bx1 - 1, by1 - 1, p.radius + 1), std::min(p.left, p.bottom) - 1,
           0.22f);
  const rgba fill = k.kind == "panel_help" ? hex(0xfdfbea) : colour::panel;
  c.fill(body, fill);
  const bool titled = k.kind == "panel_window" || k.kind == "panel_plain" || k.kind == "panel_highlight";
  if (titled) {
    // The title band spans the top border; the title is drawn into it.
    const double band = by1 - 24;
    const bool highlight = k.kind == "panel_highlight";
    const rgba top = highlight ? hex(0xdce9fb) : colour::title_band_top;
    const rgba bottom = highlight ? hex(0xc3d8f5) : colour::title_band_bottom;
    auto band_shape = [&](double x, double y) { return std::max(body(x, y), band - y); };
    c.fill(band_shape, vertical(band, by1, bottom, top));
    c.fill(round_box(bx0 + 1, band - 1, bx1 - 1, band, 0), highlight ? colour::accent_light : colour::panel_edge);
  }
  if (k.kind == "panel_menu") c.fill(ring(body, 1), colour::line);
  else c.fill(ring(body, 1), k.kind == "panel_help" ? hex(0xc9bf86) : colour::panel_edge);
}

// ---------------------------------------------------------------------------------------------
// Single pictures.

void draw_cursor(canvas& c, const slot& k) {
  const double cx = (k.s0 + k.s1) / 2.0, cy = (k.t0 + k.t1) / 2.0;
  const rgba white = rgb(1, 1, 1), dark = hex(0x1a1f27);
  // Each cursor is drawn twice: a dark outline, then the white picture inside it.
  auto both = [&](const std::function<void(double, rgba)>& shape) {
    shape(2.2, dark);
    shape(0, white);
  };
  auto arrow = [&](double angle, double grow, rgba col) {
    const double ca = std::cos(angle), sa = std::sin(angle);
    auto at = [&](double u, double v) { return std::make_pair(cx + u * ca - v * sa, cy + u * sa + v * ca); };
    c.polygon({at(12 + grow, 0), at(2 - grow * 0.5, 9 + grow), at(2 - grow * 0.5, 3.5 + grow * 0.5),
               at(-11 - grow, 3.5 + grow * 0.5), at(-11 - grow, -3.5 - grow * 0.5),
               at(2 - grow * 0.5, -3.5 - grow * 0.5), at(2 - grow * 0.5, -9 - grow)},
              col);
  };
  auto double_arrow = [&](double angle, double grow, rgba col) {
    const double ca = std::cos(angle), sa = std::sin(angle);
    auto at = [&](double u, double v) { return std::make_pair(cx + u * ca - v * sa, cy + u * sa + v * ca); };
    c.polygon({at(13 + grow, 0), at(5 - grow * 0.5, 7 + grow), at(5 - grow * 0.5, 2.5 + grow * 0.5),
               at(-5 + grow * 0.5, 2.5 + grow * 0.5), at(-5 + grow * 0.5, 7 + grow), at(-13 - grow, 0),
               at(-5 + grow * 0.5, -7 - grow), at(-5 + grow * 0.5, -2.5 - grow * 0.5),
               at(5 - grow * 0.5, -2.5 - grow * 0.5), at(5 - grow * 0.5, -7 - grow)},
              col);
  };
  auto hand = [&](bool closed, double grow, rgba col) {
    c.fill(round_box(cx - 8 - grow, cy - 11 - grow, cx + 8 + grow, cy + 2 + grow, 5 + grow), col);
    const int fingers = 4;
    for (int i = 0; i < fingers; ++i) {
      const double fx = cx - 6 + i * 4;
      const double top = closed ? cy + 5 : cy + 12 - std::abs(i - 1.5) * 1.5;
      c.fill(round_box(fx - 1.6 - grow, cy - 2, fx + 1.6 + grow, top + grow, 1.6 + grow), col);
    }
    c.fill(round_box(cx - 13 - grow, cy - 6 - grow, cx - 6, cy - 2 + grow, 2 + grow), col);
  };
  auto turn = [&](bool right, double grow, rgba col) {
    const double r = 8;
    const double from = right ? -0.2 : pi + 0.2, to = right ? pi * 0.95 : pi * 0.05;
    c.fill([&](double x, double y) {
      const double a = std::atan2(y - cy, x - cx);
      const double lo = std::min(from, to), hi = std::max(from, to);
      double d = std::fabs(std::hypot(x - cx, y - cy) - r) - 2 - grow;
      if (a < lo || a > hi) d = std::max(d, 3.0);
      return d;
    }, col);
    const double ex = cx + r * std::cos(from), ey = cy + r * std::sin(from);
    arrow_head(c, ex, ey - 1, 9 + grow * 2, -pi / 2, col);
  };
  const std::string& kind = k.kind;
  if (kind == "cursor_up") both([&](double g, rgba col) { arrow(pi / 2, g, col); });
  else if (kind == "cursor_down") both([&](double g, rgba col) { arrow(-pi / 2, g, col); });
  else if (kind == "cursor_left") both([&](double g, rgba col) { arrow(pi, g, col); });
  else if (kind == "cursor_right") both([&](double g, rgba col) { arrow(0, g, col); });
  else if (kind == "cursor_up_down") both([&](double g, rgba col) { double_arrow(pi / 2, g, col); });
  else if (kind == "cursor_left_right") both([&](double g, rgba col) { double_arrow(0, g, col); });
  else if (kind == "cursor_move")
    both([&](double g, rgba col) {
      double_arrow(0, g, col);
      double_arrow(pi / 2, g, col);
    });
  else if (kind == "cursor_cross")
    both([&](double g, rgba col) {
      c.fill(segment(cx - 12, cy, cx + 12, cy, 2 + g), col);
      c.fill(segment(cx, cy - 12, cx, cy + 12, 2 + g), col);
      c.fill(ring(circle(cx, cy, 6 + g / 2), 2 + g), col);
    });
  else if (kind == "cursor_hand") both([&](double g, rgba col) { hand(false, g / 2, col); });
  else if (kind == "cursor_grab") both([&](double g, rgba col) { hand(true, g / 2, col); });
  else if (kind == "cursor_turn_left") both([&](double g, rgba col) { turn(false, g / 2, col); });
  else if (kind == "cursor_turn_right") both([&](double g, rgba col) { turn(true, g / 2, col); });
  else throw std::runtime_error("no cursor kind " + kind);
}

void draw_file_icon(canvas& c, const slot& k) {
  const double x0 = k.s0, y0 = k.t0, x1 = k.s1, y1 = k.t1;
  if (k.kind == "icon_folder") {
    c.fill(round_box(x0 + 0.5, y0 + 1, x0 + 6, y1 - 1.5, 1), hex(0xd9a21b));
    c.fill(round_box(x0 + 0.5, y0 + 1, x1 - 0.5, y1 - 3, 1), vertical(y0, y1, hex(0xe8a71c), hex(0xf7c948)));
    return;
  }
  static const std::map<std::string, uint32_t> band = {
      {"icon_image", 0x2f9e6b}, {"icon_text", 0x6b7788},  {"icon_plane", 0x2f6fd0},
      {"icon_movie", 0x8a4fd0}, {"icon_sound", 0xd0732f}, {"icon_settings", 0x5b6b7f},
      {"icon_scenery", 0x3f9c3a}};
  // A page with a folded corner and a coloured band that tells the kinds apart.
  c.polygon({{x0 + 2, y0 + 0.5}, {x1 - 2, y0 + 0.5}, {x1 - 2, y1 - 3.5}, {x1 - 4.5, y1 - 0.5}, {x0 + 2, y1 - 0.5}},
            hex(0x7d8796));
  c.polygon({{x0 + 3, y0 + 1.5}, {x1 - 3, y0 + 1.5}, {x1 - 3, y1 - 4}, {x1 - 5, y1 - 1.5}, {x0 + 3, y1 - 1.5}},
            rgb(1, 1, 1));
  c.fill(round_box(x0 + 3, y0 + 2.5, x1 - 3, y0 + 6, 0.5), hex(band.at(k.kind)));
}

void draw_picture(canvas& c, const slot& k) {
  const double x0 = k.s0, y0 = k.t0, x1 = k.s1, y1 = k.t1;
  const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const std::string& kind = k.kind;
  if (kind == "close_box" || kind == "close_box_pressed") {
    const bool pressed = kind == "close_box_pressed";
    c.fill(circle(cx, cy, 7.5), vertical(y0, y1, pressed ? hex(0xb3261e) : hex(0xd9534a),
                                            pressed ? hex(0xd04a40) : hex(0xf08a82)));
    c.fill(ring(circle(cx, cy, 7.5), 1), pressed ? hex(0x7e1a14) : hex(0xa8382f));
    const rgba mark = rgb(1, 1, 1, pressed ? 1.0f : 0.9f);
    c.fill(segment(cx - 3, cy - 3, cx + 3, cy + 3, 1.6), mark);
    c.fill(segment(cx - 3, cy + 3, cx + 3, cy - 3, 1.6), mark);
  } else if (kind == "tab" || kind == "tab_selected") {
    const bool on = kind == "tab_selected";
    auto shape = [&](double x, double y) {
      return std::max(round_box(x0 + 1, y0 + 1, x1 - 1, y1 + 8, 7)(x, y), y0 + 1 - y);
    };
    c.fill(shape, vertical(y0, y1, on ? colour::panel : hex(0xd7dde6), on ? colour::face_top : hex(0xe6eaf0)));
    c.fill([&](double x, double y) { return std::max(ring(round_box(x0 + 1, y0 + 1, x1 - 1, y1 + 8, 7), 1)(x, y), y0 + 1 - y); },
           on ? colour::line_dark : colour::line);
    if (on) c.fill(round_box(x0 + 8, y1 - 3, x1 - 8, y1 - 1.5, 0.75), colour::accent);
    else c.fill(round_box(x0, y0, x1, y0 + 1, 0), colour::line);
  } else if (kind == "compass_face") {
    // The needle is drawn before the face, so the face is glass: a light tint over the needle,
    // with the ring, the ticks and the heading's plate solid.
    c.fill(circle(cx, cy, 26), rgb(0.93f, 0.95f, 0.98f, 0.35f));
    c.fill(ring(circle(cx, cy, 26), 1.2), colour::line_dark);
    for (int i = 0; i < 36; ++i) {
      const double a = i * pi / 18;
      const double inner = i % 9 == 0 ? 18 : (i % 3 == 0 ? 20.5 : 22.5);
      c.fill(segment(cx + std::sin(a) * inner, cy + std::cos(a) * inner, cx + std::sin(a) * 24.5,
                     cy + std::cos(a) * 24.5, i % 9 == 0 ? 1.8 : 1.0),
             i == 0 ? colour::accent : colour::ink_soft);
    }
    // The middle stays clear: the heading is printed over it.
    c.fill(round_box(cx - 15, cy - 6, cx + 15, cy + 6, 3), rgb(1, 1, 1, 0.85f));
  } else if (kind == "needle_0" || kind == "needle_1") {
    const rgba tip = kind == "needle_0" ? hex(0xd0392b) : colour::accent;
    c.polygon({{cx, y1 - 0.5}, {cx + 3.5, cy}, {cx - 3.5, cy}}, tip);
    c.polygon({{cx, y0 + 0.5}, {cx + 3.5, cy}, {cx - 3.5, cy}}, hex(0x8a94a3));
    c.fill(circle(cx, cy, 2.2), colour::ink);
  } else if (kind == "check_box") {
    c.fill(round_box(x0 + 1.5, y0 + 1.5, x1 - 1.5, y1 - 1.5, 3), vertical(y0, y1, hex(0xf3f5f8), colour::field));
    c.fill(ring(round_box(x0 + 1.5, y0 + 1.5, x1 - 1.5, y1 - 1.5, 3), 1.1), colour::line_dark);
  } else if (kind == "check_mark") {
    c.fill(segment(x0 + 5, cy + 0.5, x0 + 8, cy - 3, 2.4), colour::accent);
    c.fill(segment(x0 + 8, cy - 3, x1 - 4.5, cy + 5, 2.4), colour::accent);
  } else if (kind == "radio_button") {
    c.fill(circle(cx, cy, 7), vertical(y0, y1, hex(0xf3f5f8), colour::field));
    c.fill(ring(circle(cx, cy, 7), 1.1), colour::line_dark);
  } else if (kind == "radio_mark") {
    c.fill(circle(cx, cy, 3.6), vertical(y0, y1, colour::accent_dark, colour::accent_light));
  } else if (kind == "arrow_up" || kind == "arrow_down") {
    raised(c, x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, 3, colour::face_top, colour::face_bottom, colour::line);
    arrow_head(c, cx, cy, 8, kind == "arrow_up" ? pi / 2 : -pi / 2, colour::ink_soft);
  } else if (kind == "scroll_top" || kind == "scroll_bottom") {
    raised(c, x0 + 1, y0 + 1, x1 - 1, y1 - 1, 4, colour::face_top, colour::face_bottom, colour::line);
    arrow_head(c, cx, cy, 9, kind == "scroll_top" ? pi / 2 : -pi / 2, colour::ink_soft);
  } else if (kind == "scroll_thumb") {
    raised(c, x0 + 2, y0 + 1, x1 - 2, y1 - 1, 5, colour::accent_light, colour::accent, colour::accent_dark);
    for (int i = -1; i <= 1; ++i) c.fill(round_box(cx - 4, cy + i * 3 - 0.5, cx + 4, cy + i * 3 + 0.5, 0.5), rgb(1, 1, 1, 0.7f));
  } else if (kind == "slider_knob") {
    c.shadow(circle(cx, cy - 1, 8.5), 1.5, 0.25f);
    c.fill(circle(cx, cy, 8.5), vertical(y0, y1, colour::face_bottom, colour::face_top));
    c.fill(ring(circle(cx, cy, 8.5), 1.1), colour::line_dark);
    c.fill(circle(cx, cy, 3), colour::accent);
  } else if (kind == "menu_icon") {
    // Read whole as a menu mark; its middle 9 x 9 is the sub-menu arrow.
    arrow_head(c, cx + 0.5, cy, 8, 0, colour::ink_soft);
  } else if (kind == "browse_icon") {
    raised(c, x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5, colour::face_top, colour::face_bottom, colour::line);
    c.fill(round_box(cx - 8, cy - 5, cx - 2, cy + 6, 1), hex(0xd9a21b));
    c.fill(round_box(cx - 8, cy - 5, cx + 8, cy + 4, 1.2), vertical(cy - 5, cy + 4, hex(0xe8a71c), hex(0xf7c948)));
  } else if (kind.rfind("swatch_", 0) == 0) {
    static const std::map<std::string, uint32_t> swatches = {
        {"swatch_34", 0xe8ecf1},  // window background
        {"swatch_35", 0xffffff},  // light edge of menu separators
        {"swatch_36", 0x2f6fd0},
        {"swatch_37", 0x9aa6b6},  // dark edge of menu separators
        {"swatch_38", 0x1f2630},  // menu items
        {"swatch_40", 0x1f2630},  // window titles
        {"swatch_41", 0x1d4f9c},  // selected tab
        {"swatch_42", 0x4b5563},  // other tabs
        {"swatch_43", 0x1f2630},  // labels and panel titles
        {"swatch_44", 0x2f6fd0},  // accent
        {"swatch_45", 0x2a313c},  // field and list text
        {"swatch_46", 0x7d8796},  // dimmed text
        {"swatch_47", 0x1d4f9c},  // highlighted titles and help text
    };
    c.put(k.s0, k.t0, hex(swatches.at(kind)));
  } else {
    throw std::runtime_error("no picture kind " + kind);
  }
}

void draw_slot(canvas& c, const slot& k) {
  c.clip(k.s0, k.t0, k.s1, k.t1);
  if (k.kind.rfind("bar_", 0) == 0) draw_bar(c, k);
  else if (k.kind == "track") draw_track(c, k);
  else if (k.kind.rfind("panel_", 0) == 0) draw_panel(c, k);
  else if (k.kind.rfind("cursor_", 0) == 0) draw_cursor(c, k);
  else if (k.kind.rfind("icon_", 0) == 0) draw_file_icon(c, k);
  else draw_picture(c, k);
}

// ---------------------------------------------------------------------------------------------
// Text for the button atlases.

class font {
 public:
  explicit font(const std::string& path) {
    if (FT_Init_FreeType(&lib_)) throw std::runtime_error("FreeType did not start");
    if (FT_New_Face(lib_, path.c_str(), 0, &face_)) {
      FT_Done_FreeType(lib_);
      throw std::runtime_error("cannot read the font " + path);
    }
  }
  ~font() {
    FT_Done_Face(face_);
    FT_Done_FreeType(lib_);
  }
  font(const font&) = delete;
  font& operator=(const font&) = delete;

  void size(int pixels) { FT_Set_Pixel_Sizes(face_, 0, pixels); }

  double width(const std::u32string& text) {
    double w = 0;
    for (char32_t ch : text) {
      if (FT_Load_Char(face_, ch, FT_LOAD_DEFAULT)) continue;
      w += face_->glyph->advance.x / 64.0;
    }
    return w;
  }

  // Draws the text with its baseline at y and its left end at x (texel units, t up).
  void draw(canvas& c, const std::u32string& text, double x, double y, rgba col) {
    double pen = x;
    for (char32_t ch : text) {
      if (FT_Load_Char(face_, ch, FT_LOAD_RENDER)) continue;
      const FT_GlyphSlot g = face_->glyph;
      const int left = int(std::lround(pen)) + g->bitmap_left;
      const int top = int(std::lround(y)) + g->bitmap_top;
      for (unsigned row = 0; row < g->bitmap.rows; ++row)
        for (unsigned column = 0; column < g->bitmap.width; ++column) {
          const uint8_t v = g->bitmap.buffer[row * g->bitmap.pitch + column];
          if (v) c.blend(left + int(column), top - 1 - int(row), col, v / 255.0f);
        }
      pen += g->advance.x / 64.0;
    }
  }

 private:
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
};

std::u32string utf32(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = s[i];
    const int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 4;
    char32_t ch = n == 1 ? b : b & (0x7f >> n);
    for (int j = 1; j < n && i + j < s.size(); ++j) ch = (ch << 6) | (s[i + j] & 0x3f);
    out += ch;
    i += n;
  }
  return out;
}

// The bottom-bar buttons: left edges in each language, and their words.
const float button_edges[8][3] = {{0, 0, 0},       {56, 91, 96},    {145, 172, 181}, {246, 284, 256},
                                  {357, 477, 422}, {489, 695, 611}, {605, 874, 762}, {691, 958, 859}};
const char* const button_words[7][3] = {
    {"Quit", "Quitter", "Beenden"},
    {"Back", "Retour", "Zurück"},
    {"Next", "Suivant", "Weiter"},
    {"Select All", "Tout sélectionner", "Alle auswählen"},
    {"Clear All", "Tout désélectionner", "Auswahl aufheben"},
    {"", "", ""},
    {"Preferences", "Préférences", "Einstellungen"},
};
// Bands of the button atlas, rows from the bottom: hover, pressed, normal.
const int band_rows[3][2] = {{0, 23}, {23, 46}, {46, 69}};
const char* const band_names[3] = {"hover", "pressed", "normal"};

}  // namespace

std::vector<slot> read_slots(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<slot> slots;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream fields(line);
    slot k;
    if (!(fields >> k.atlas)) continue;
    std::string rest;
    if (!(fields >> k.name >> k.kind >> k.s0 >> k.t0 >> k.s1 >> k.t1) || (fields >> rest) ||
        k.s1 <= k.s0 || k.t1 <= k.t0)
      throw std::runtime_error(path + ":" + std::to_string(number) + ": not a slot line");
    slots.push_back(k);
  }
  return slots;
}

std::vector<slot> button_slots(int language) {
  std::vector<slot> slots;
  for (int icon = 0; icon < 7; ++icon)
    for (int band = 0; band < 3; ++band) {
      slot k;
      k.atlas = "elements";
      k.name = std::string("button_") + std::to_string(icon) + "_" + band_names[band];
      k.kind = band_names[band];
      k.s0 = int(button_edges[icon][language]);
      k.s1 = int(button_edges[icon + 1][language]);
      k.t0 = band_rows[band][0];
      k.t1 = band_rows[band][1];
      slots.push_back(k);
    }
  return slots;
}

std::string first_overlap(const std::vector<slot>& slots, const std::string& atlas) {
  for (size_t i = 0; i < slots.size(); ++i)
    for (size_t j = i + 1; j < slots.size(); ++j) {
      const slot& a = slots[i];
      const slot& b = slots[j];
      if (a.atlas != atlas || b.atlas != atlas) continue;
      if (a.s0 < b.s1 && b.s0 < a.s1 && a.t0 < b.t1 && b.t0 < a.t1) return a.name + " / " + b.name;
    }
  return "";
}

picture draw_interface(const std::vector<slot>& slots) {
  canvas c(512, 512);
  for (const slot& k : slots)
    if (k.atlas == "interface") draw_slot(c, k);
  return c.to_picture();
}

picture draw_elements(const std::vector<slot>& slots, int language, const std::string& bold_font) {
  if (language < 0 || language > 2) throw std::runtime_error("no such language");
  canvas c(1024, 128);
  for (const slot& k : slots)
    if (k.atlas == "elements") draw_slot(c, k);
  font f(bold_font);
  for (const slot& k : button_slots(language)) {
    const int icon = (k.name[7] - '0');
    const std::u32string word = utf32(button_words[icon][language]);
    if (word.empty()) continue;
    c.clip(k.s0, k.t0, k.s1, k.t1);
    const double x0 = k.s0 + 1, x1 = k.s1 - 1, y0 = k.t0 + 1, y1 = k.t1 - 1;
    rgba top = colour::face_top, bottom = colour::face_bottom, border = colour::line, ink = colour::ink;
    if (k.kind == "hover") {
      top = hex(0xf5f9ff), bottom = hex(0xd9e7fb), border = colour::accent;
    } else if (k.kind == "pressed") {
      top = hex(0xb9d0f3), bottom = hex(0xd3e2f8), border = colour::accent_dark, ink = colour::accent_dark;
    }
    c.shadow(round_box(x0 + 0.5, y0 - 0.5, x1 - 0.5, y1 - 1, 6), 1.2, 0.16f);
    raised(c, x0, y0, x1, y1, 6, top, bottom, border);
    // The label keeps five texels clear of each end: long words get a smaller size.
    int pixels = 12;
    for (f.size(pixels); pixels > 8 && f.width(word) > k.s1 - k.s0 - 10; f.size(--pixels)) {
    }
    const double w = f.width(word);
    const double pressed_shift = k.kind == "pressed" ? 0.6 : 0;
    f.draw(c, word, std::round((k.s0 + k.s1 - w) / 2 + pressed_shift), k.t0 + 7.5 - pressed_shift * 2, ink);
  }
  return c.to_picture();
}

picture draw_background() {
  // Soft daylight sky: a gradient and a few periods of gentle waves, all whole periods of the
  // tile so that copies meet without a seam.
  const int n = 1024;
  canvas c(n, n);
  const rgba low = hex(0xc7d6e8), high = hex(0xe9eff6);
  for (int t = 0; t < n; ++t)
    for (int s = 0; s < n; ++s) {
      const double x = (s + 0.5) / n * 2 * pi, y = (t + 0.5) / n * 2 * pi;
      double v = 0.5 + 0.5 * std::cos(y);  // lightest at the bottom and top edges alike
      v += 0.06 * std::sin(x + 2 * y) + 0.04 * std::sin(3 * x - y + 1.3) + 0.03 * std::cos(2 * x + 3 * y + 0.4) +
           0.02 * std::sin(5 * x + 4 * y + 2.1);
      rgba col = mix(low, high, clamp01(float(v)));
      c.put(s, t, col);
    }
  return c.to_picture();
}

void write_png(const std::string& path, const picture& p) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    throw std::runtime_error("cannot write " + path);
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, p.width, p.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  for (int row = 0; row < p.height; ++row)
    png_write_row(png, const_cast<png_bytep>(&p.rgba[size_t(row) * p.width * 4]));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(f) != 0) throw std::runtime_error("cannot write " + path);
}

picture read_png(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) throw std::runtime_error("cannot read " + path);
  image.format = PNG_FORMAT_RGBA;
  picture p;
  p.width = int(image.width);
  p.height = int(image.height);
  p.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, p.rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    throw std::runtime_error("cannot decode " + path);
  }
  return p;
}

}  // namespace interface_art

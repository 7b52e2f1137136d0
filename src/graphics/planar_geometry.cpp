#include "graphics/planar_geometry.h"

#include <cmath>
#include <cstddef>

#include "graphics/inset_walk.h"

namespace {

constexpr double pi = 3.14159265358979323846;

double sign_of(double v) { return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0); }

// Axis-aligned vectors come out exact (the sign of their one component), so that offsets of
// horizontal and vertical sides carry no rounding.
Vector2 normalized(Vector2 v) {
  if (v.dx == 0) {
    v.dy = sign_of(v.dy);
  } else if (v.dy == 0) {
    v.dx = sign_of(v.dx);
  } else {
    const double len = std::sqrt(v.dx * v.dx + v.dy * v.dy);
    if (len != 0) v.dx /= len, v.dy /= len;
  }
  return v;
}

Vector2 diff(const Point2& a, const Point2& b) { return {a.x - b.x, a.y - b.y}; }
double len_sq(const Vector2& v) { return v.dx * v.dx + v.dy * v.dy; }
bool same(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }

// The turn angle at point b of the path a -> b -> c, as the inset rate needs it: pi for a
// straight run, pi/2 for a square left corner, negative for a right turn; in (-pi, pi].
double turn_angle(const Point2& a, const Point2& b, const Point2& c) {
  const float out_angle = atan2f(static_cast<float>(c.y - b.y), static_cast<float>(c.x - b.x));
  const float in_angle = atan2f(static_cast<float>(b.y - a.y), static_cast<float>(b.x - a.x));
  double theta = pi - (static_cast<double>(out_angle) - static_cast<double>(in_angle));
  if (theta > pi) theta -= 2 * pi;
  return theta;
}

// The crossing of two infinite lines; false when they are parallel.
bool intersect_lines(const Segment2& a, const Segment2& b, Point2& out) {
  const Vector2 da = diff(a.p2, a.p1), db = diff(b.p2, b.p1);
  const double det = da.dx * db.dy - da.dy * db.dx;
  if (det == 0) return false;
  const Vector2 ab = diff(b.p1, a.p1);
  const double t = (ab.dx * db.dy - ab.dy * db.dx) / det;
  out = {a.p1.x + t * da.dx, a.p1.y + t * da.dy};
  return true;
}

}  // namespace

Point2 CoordTranslator::Forward(const Point2& p) const {
  return {dst_min.x + (p.x - src_min.x) * (dst_max.x - dst_min.x) / (src_max.x - src_min.x),
          dst_min.y + (p.y - src_min.y) * (dst_max.y - dst_min.y) / (src_max.y - src_min.y)};
}

Point2 CoordTranslator::Reverse(const Point2& p) const {
  return {src_min.x + (p.x - dst_min.x) * (src_max.x - src_min.x) / (dst_max.x - dst_min.x),
          src_min.y + (p.y - dst_min.y) * (src_max.y - src_min.y) / (dst_max.y - dst_min.y)};
}

bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c) {
  const float two_pi = static_cast<float>(2 * pi);
  const float minus_pi = static_cast<float>(-pi);
  float angle_a = atan2f(static_cast<float>(a.dy), static_cast<float>(a.dx));
  float angle_b = atan2f(static_cast<float>(b.dy), static_cast<float>(b.dx));
  float angle_c = atan2f(static_cast<float>(c.dy), static_cast<float>(c.dx));
  if (angle_a == angle_c) return true;
  if (angle_a <= minus_pi) angle_a += two_pi;
  if (angle_b <= minus_pi) angle_b += two_pi;
  if (angle_c <= minus_pi) angle_c += two_pi;
  if (angle_a > angle_b) angle_b += two_pi;
  if (angle_c < angle_a) angle_c += two_pi;
  return angle_b > angle_a && angle_b < angle_c;
}

void MoveSegLeft(const Segment2& s, double dist, Segment2& out) {
  const Vector2 normal = normalized({-(s.p2.y - s.p1.y), s.p2.x - s.p1.x});
  out.p1 = {s.p1.x + dist * normal.dx, s.p1.y + dist * normal.dy};
  out.p2 = {s.p2.x + dist * normal.dx, s.p2.y + dist * normal.dy};
}

double CalcMaxInset(const Polygon2& poly, const double* ratios, bool is_ring) {
  const int n = static_cast<int>(poly.size());
  const int sides = is_ring ? n : n - 1;
  if (sides <= 0) return 0;
  auto pt = [&](int i) -> const Point2& { return poly[static_cast<size_t>((i % n + n) % n)]; };
  auto ratio = [&](int side) { return ratios ? ratios[(side % sides + sides) % sides] : 1.0; };

  bool found = false;
  double best = 0;
  for (int i = 0; i < sides; ++i) {
    const double w = ratio(i);
    double rate = 0;
    // A chain's two outer ends do not move along their sides, and the points beyond them do
    // not exist: only the ends that meet another side count.
    if (is_ring || i > 0) {
      const double theta = turn_angle(pt(i - 1), pt(i), pt(i + 1));
      rate += w * std::cos(theta) / std::sin(theta) + ratio(i - 1) / std::sin(theta);
    }
    if (is_ring || i < sides - 1) {
      // The far end moves with the side that meets it there, side i + 1.
      const double theta = turn_angle(pt(i), pt(i + 1), pt(i + 2));
      rate += w * std::cos(theta) / std::sin(theta) + ratio(i + 1) / std::sin(theta);
    }
    if (rate > 0) {
      const double inset = std::sqrt(len_sq(diff(pt(i + 1), pt(i)))) / rate;
      if (!found || inset < best) best = inset;
      found = true;
    }
  }
  return best;
}

void ReducePolygon(Polygon2& poly, double max_dev_sq, double min_dot, double long_side, double short_side) {
  const double short_sq = short_side * short_side;
  const double long_sq = long_side * long_side;
  bool removed_any = true;
  while (removed_any) {
    removed_any = false;
    for (size_t i = 0; i < poly.size(); ++i) {
      const size_t n = poly.size();
      if (n <= 3) return;
      const Point2 p = poly[(i + n - 1) % n], v = poly[i], q = poly[(i + 1) % n];
      const Vector2 pv = diff(v, p), vq = diff(q, v);
      bool remove = len_sq(pv) < short_sq || len_sq(vq) < short_sq;
      if (!remove && len_sq(pv) > long_sq && len_sq(vq) > long_sq) {
        const Vector2 pq = diff(q, p);
        const double pq_sq = len_sq(pq);
        const double t = pq_sq > 0 ? (pv.dx * pq.dx + pv.dy * pq.dy) / pq_sq : 0;
        const Vector2 off = {pv.dx - t * pq.dx, pv.dy - t * pq.dy};
        const Vector2 a = normalized(pv), b = normalized(vq);
        remove = len_sq(off) < max_dev_sq && a.dx * b.dx + a.dy * b.dy > min_dot;
      }
      if (remove) {
        // The point that moves into slot i waits for the next pass.
        poly.erase(poly.begin() + static_cast<std::ptrdiff_t>(i));
        removed_any = true;
      }
    }
  }
}

void InsetPolygon(const Polygon2& poly, const double* ratios, double dist, bool is_ring, Polygon2& out,
                  inset_cap_cb cap_cb, void* ref) {
  int caps = 0;
  inset_walk<Point2, Segment2>(
      poly, ratios, dist, is_ring, out,
      [](const Segment2& s, double d, Segment2& moved) { MoveSegLeft(s, d, moved); },
      [](const Point2& a, const Point2& b) { return same(a, b); },
      [](const Segment2& j, const Segment2& k, Point2& corner) { return intersect_lines(j, k, corner); },
      [&](int j) {
        // The cap's first point stands after one extra point for each earlier cap.
        if (cap_cb) cap_cb(j + caps, ref);
        ++caps;
      });
}

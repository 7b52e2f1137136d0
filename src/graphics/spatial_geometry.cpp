#include "graphics/spatial_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "graphics/inset_walk.h"

namespace {

Vector3 operator-(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point3 operator+(const Point3& p, const Vector3& v) { return {p.x + v.dx, p.y + v.dy, p.z + v.dz}; }
Vector3 operator*(double s, const Vector3& v) { return {s * v.dx, s * v.dy, s * v.dz}; }
Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.dx + b.dx, a.dy + b.dy, a.dz + b.dz}; }
Vector3 as_vector(const Point3& p) { return {p.x, p.y, p.z}; }
double dot(const Vector3& a, const Vector3& b) { return a.dx * b.dx + a.dy * b.dy + a.dz * b.dz; }
Vector3 cross(const Vector3& a, const Vector3& b) {
  return {a.dy * b.dz - a.dz * b.dy, a.dz * b.dx - a.dx * b.dz, a.dx * b.dy - a.dy * b.dx};
}
double len_sq(const Vector3& v) { return dot(v, v); }
bool is_zero(const Vector3& v) { return v.dx == 0 && v.dy == 0 && v.dz == 0; }
bool same(const Point3& a, const Point3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
bool same(const Vector3& a, const Vector3& b) { return a.dx == b.dx && a.dy == b.dy && a.dz == b.dz; }

// A zero-length vector stays as it is.
Vector3 normalized(const Vector3& v) {
  const double len = std::sqrt(len_sq(v));
  return len != 0 ? Vector3{v.dx / len, v.dy / len, v.dz / len} : v;
}

// Coordinate by coordinate; where both agree the value is kept exactly.
double mid(double a, double b) { return a == b ? a : (a + b) * 0.5; }
Point3 midpoint(const Point3& a, const Point3& b) { return {mid(a.x, b.x), mid(a.y, b.y), mid(a.z, b.z)}; }

// The line where the planes m1 . x = k1 and m2 . x = k2 meet; false when they are parallel.
bool intersect_planes(const Vector3& m1, double k1, const Vector3& m2, double k2, Line3& out) {
  const double p = dot(m1, m1), q = dot(m2, m2), r = dot(m1, m2);
  const double s = p * q - r * r;
  if (s == 0) return false;
  const Vector3 through = (1 / s) * ((k1 * q - k2 * r) * m1 + (k2 * p - k1 * r) * m2);
  out.p = {through.dx, through.dy, through.dz};
  out.v = cross(m1, m2);
  return true;
}

// Where the line meets the plane through `on` with normal n; false when it runs parallel to it.
bool intersect_line_plane(const Line3& line, const Vector3& n, const Point3& on, Point3& out) {
  const double denom = dot(n, line.v);
  if (denom == 0) return false;
  const double t = (dot(n, as_vector(on)) - dot(n, as_vector(line.p))) / denom;
  out = line.p + t * line.v;
  return true;
}

}  // namespace

bool lesser_y_then_x_then_z::operator()(const Point3& a, const Point3& b) const {
  if (a.y != b.y) return a.y < b.y;
  if (a.x != b.x) return a.x < b.x;
  return a.z < b.z;
}

void MoveSegLeft(const Segment3& s, double dist, Segment3& out, const Vector3& up) {
  const Vector3 shift = dist * normalized(cross(up, s.p2 - s.p1));
  out.p1 = s.p1 + shift;
  out.p2 = s.p2 + shift;
}

void InsetPolygon(const Polygon3& poly, const double* ratios, double dist, bool is_ring, const Vector3& up,
                  Polygon3& out) {
  inset_walk<Point3, Segment3>(
      poly, ratios, dist, is_ring, out,
      [&](const Segment3& s, double d, Segment3& moved) { MoveSegLeft(s, d, moved, up); },
      [](const Point3& a, const Point3& b) { return same(a, b); },
      [&](const Segment3& j, const Segment3& k, Point3& corner) {
        // The corner is where moved side j crosses the upright plane that holds moved side k.
        const Vector3 m = normalized(cross(k.p2 - k.p1, up));
        const Vector3 along = j.p2 - j.p1;
        const double denom = dot(m, along);
        if (denom == 0) return false;
        const double t = (dot(m, as_vector(k.p2)) - dot(m, as_vector(j.p1))) / denom;
        corner = j.p1 + t * along;
        return true;
      },
      [](int) {});
}

double LongerSideOfQuad(const std::vector<Point3>& strip) {
  if (strip.size() < 4) return 0;
  const Point3 &q0 = strip[0], &q1 = strip[1], &q2 = strip[2], &q3 = strip[3];
  // A side of no length has nothing to project on: its parameter counts as 0.
  const double odd_sq = len_sq(q1 - q3), even_sq = len_sq(q0 - q2);
  const double t0 = odd_sq > 0 ? dot(q0 - q3, q1 - q3) / odd_sq : 0;
  if (t0 < 1) return -std::sqrt(len_sq(q3 + t0 * (q1 - q3) - q1));
  const double t1 = even_sq > 0 ? dot(q1 - q2, q0 - q2) / even_sq : 0;
  return std::sqrt(len_sq(q2 + t1 * (q0 - q2) - q0));
}

void ReverseQuadStrip(std::vector<Point3>& strip) { std::reverse(strip.begin(), strip.end()); }

namespace {

// Walks one side of a strip (the points first, first + 2, ...) to the segment on which the
// running length reaches `length`; false when the side is shorter. With `or_equal`, reaching
// the length exactly at a segment's end already counts.
bool find_cut(const std::vector<Point3>& strip, size_t first, double length, bool or_equal, size_t& start,
              Point3& cut) {
  double total = 0;
  for (size_t i = first; i + 2 < strip.size(); i += 2) {
    const double seg = std::sqrt(len_sq(strip[i + 2] - strip[i]));
    const double reached = total + seg;
    if (reached > length || (or_equal && reached == length)) {
      const double f = (length - total) / seg;
      start = i;
      if (f == 0)
        cut = strip[i];
      else if (f == 1)
        cut = strip[i + 2];
      else
        cut = strip[i] + f * (strip[i + 2] - strip[i]);
      return true;
    }
    total = reached;
  }
  return false;
}

}  // namespace

void RemoveFromQuadStripFront(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                              bool use_longer_side) {
  removed.clear();
  if (strip.size() <= 3 || !(dist > 0)) return;
  double even_len = dist, odd_len = dist;
  if (use_longer_side) {
    const double e = LongerSideOfQuad(strip);
    if (e >= 0)
      even_len = dist + e;
    else
      odd_len = dist - e;
  }
  size_t o = 0, g = 0;
  Point3 odd_cut, even_cut;
  if (!find_cut(strip, 1, odd_len, false, o, odd_cut)) return;
  if (!find_cut(strip, 0, even_len, true, g, even_cut)) return;

  const size_t keep_to = std::min(o, g + 1), drop_to = std::max(o, g + 1);
  removed.assign(strip.begin(), strip.begin() + static_cast<std::ptrdiff_t>(keep_to + 1));
  strip.erase(strip.begin(), strip.begin() + static_cast<std::ptrdiff_t>(drop_to + 1));
  removed.push_back(even_cut);
  removed.push_back(odd_cut);
  // The rest must start with the pair of cut points, or its sides would begin past the cut.
  // Only when both already lead it is nothing inserted.
  const bool leads = strip.size() >= 2 && same(strip[0], even_cut) && same(strip[1], odd_cut);
  if (!leads) {
    strip.insert(strip.begin(), odd_cut);
    strip.insert(strip.begin(), even_cut);
  }
}

void RemoveFromQuadStripBack(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                             bool use_longer_side) {
  ReverseQuadStrip(strip);
  RemoveFromQuadStripFront(strip, dist, removed, use_longer_side);
  ReverseQuadStrip(strip);
}

void ChainToQuadStrip(const std::vector<Point3>& points, const std::vector<Vector3>& ups,
                      const std::vector<double>& widths, std::vector<Point3>& out) {
  const size_t n = points.size();
  if (n < 2) return;
  out.clear();
  auto add_pair = [&](const Point3& p, double h, const Vector3& s) {
    out.push_back(p + h * s);
    out.push_back(p + (-h) * s);
  };

  add_pair(points[0], 0.5 * widths[0], normalized(cross(points[1] - points[0], ups[0])));
  for (size_t i = 1; i + 1 < n; ++i) {
    const Point3& p = points[i];
    const double h = 0.5 * widths[i];
    const Vector3 a = normalized(p - points[i - 1]), b = normalized(points[i + 1] - p);
    const Vector3 s1 = normalized(cross(a, ups[i])), s2 = normalized(cross(b, ups[i]));
    const double c = dot(s1, s2);
    if (c > 0.9995) {
      add_pair(p, h, s1);
    } else if (c < -0.9995) {
      add_pair(p, h, s1);
      add_pair(p, h, s2);
    } else {
      Point3 mitre[2];
      for (int side = 0; side < 2; ++side) {
        const double sh = side == 0 ? h : -h;
        const Point3 on1 = p + sh * s1, on2 = p + sh * s2;
        // The offset edges before and after the joint meet along a line; the mitre point is
        // where that line passes through the joint's own level.
        Line3 edge_meet;
        if (same(s1, s2) || !intersect_planes(s1, dot(s1, as_vector(on1)), s2, dot(s2, as_vector(on2)), edge_meet))
          edge_meet = {on1, ups[i]};
        if (!intersect_line_plane(edge_meet, normalized(ups[i]), p, mitre[side])) mitre[side] = on1;
      }
      out.push_back(mitre[0]);
      out.push_back(mitre[1]);
    }
  }
  add_pair(points[n - 1], 0.5 * widths[n - 1], normalized(cross(points[n - 1] - points[n - 2], ups[n - 1])));
}

void BezierCurve(const Point3& start, const Point3& end, bool has_c1, bool has_c2, const Point3& c1,
                 const Point3& c2, int segments, double min_start_gap, double min_end_gap,
                 std::vector<Point3>& out) {
  int pieces = 1;
  if (has_c1)
    pieces = segments > 0 ? segments : 1;
  else if (has_c2 && segments > 0)
    pieces = segments;
  const Point3 k1 = has_c1 ? c1 : start, k2 = has_c2 ? c2 : end;
  if (pieces > 1) {
    const Vector3 axis = end - start;
    if (is_zero(cross(k1 - start, axis)) && is_zero(cross(k2 - start, axis))) pieces = 1;
  }

  out.clear();
  out.push_back(start);
  for (int i = 1; i < pieces; ++i) {
    const float t = static_cast<float>(i) / static_cast<float>(pieces);
    const float s = 1.0f - t;
    const double w0 = s * s * s, w1 = 3.0f * s * s * t, w2 = 3.0f * s * t * t, w3 = t * t * t;
    const Vector3 sum = w0 * as_vector(start) + w1 * as_vector(k1) + w2 * as_vector(k2) + w3 * as_vector(end);
    const Point3 pt{sum.dx, sum.dy, sum.dz};
    if (min_start_gap > 0 && len_sq(pt - start) < min_start_gap * min_start_gap) continue;
    if (min_end_gap > 0 && len_sq(pt - end) < min_end_gap * min_end_gap) continue;
    out.push_back(pt);
  }
  out.push_back(end);
}

void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& sphere) {
  const Vector3 u = normalized(p - sphere.c);
  const Point3 far_point = sphere.c + (-std::sqrt(sphere.radius_squared)) * u;
  sphere.c = midpoint(far_point, p);
  sphere.radius_squared = len_sq(p - sphere.c);
}

void ExtendBoundingSphereToPt(const Point3& p, Sphere3& sphere) {
  if (len_sq(p - sphere.c) > sphere.radius_squared) ExtendBoundingSphereToPt1(p, sphere);
}

void FastBoundingSphere(const std::vector<Point3>& points, Sphere3& sphere) {
  if (points.empty()) return;
  std::vector<Point3> sorted(points);
  std::sort(sorted.begin(), sorted.end(), lesser_y_then_x_then_z());
  sphere.c = midpoint(sorted.front(), sorted.back());
  sphere.radius_squared = len_sq(sorted.front() - sphere.c);
  for (size_t i = 1; i + 1 < sorted.size(); ++i) ExtendBoundingSphereToPt(sorted[i], sphere);
}

void ExtendBoundingSphereToSphere(const Sphere3& s, Sphere3& into) {
  if (s.radius_squared == 0) return;
  if (into.radius_squared == 0) {
    into = s;
    return;
  }
  const double rs = std::sqrt(s.radius_squared), ri = std::sqrt(into.radius_squared);
  const Vector3 between = s.c - into.c;
  if ((ri - rs) * (ri - rs) >= len_sq(between)) {
    if (rs > ri) into = s;
    return;
  }
  const Vector3 u = normalized(between);
  const Point3 far_into = into.c + (-ri) * u, far_s = s.c + rs * u;
  into.c = midpoint(far_into, far_s);
  into.radius_squared = len_sq(far_into - into.c);
}

bool PointInPolygon3(const Polygon3& poly, const Point3& p) {
  const size_t n = poly.size();
  if (n < 3) return false;
  const Vector3 normal = normalized(cross(poly[1] - poly[0], poly[1] - poly[2]));
  for (size_t i = 0; i < n; ++i) {
    const Point3& q = poly[i];
    const Vector3 outward = normalized(cross(normal, poly[(i + 1) % n] - q));
    if (dot(outward, p - q) > 0) return false;
  }
  return true;
}

bool IntersectLinesAroundJunction(const Line3& a, const Line3& b, const Point3& junction, Point3& out) {
  const Vector3 across = cross(a.v, b.v);
  if (is_zero(across)) return false;
  const Vector3 n = normalized(across);
  const Vector3 na = normalized(cross(a.v, n)), nb = normalized(cross(b.v, n));
  if (same(na, nb)) return false;
  Line3 meet;
  if (!intersect_planes(na, dot(na, as_vector(a.p)), nb, dot(nb, as_vector(b.p)), meet)) return false;
  return intersect_line_plane(meet, n, junction, out);
}

void ClipToHalfPlane3(const Polygon3& poly, const Plane3& plane, Polygon3& out) {
  out.clear();
  const size_t n = poly.size();
  for (size_t i = 0; i < n; ++i) {
    const Point3& cur = poly[i];
    const Point3& next = poly[(i + 1) % n];
    const double dc = dot(plane.n, as_vector(cur)) - plane.d;
    const double dn = dot(plane.n, as_vector(next)) - plane.d;
    if (dc <= 0) out.push_back(cur);
    // A crossing point only where the side really passes through the plane: ends on the plane
    // are vertices of their own and are kept (or not) above.
    if ((dc < 0 && dn > 0) || (dc > 0 && dn < 0)) {
      const double t = dc / (dc - dn);
      out.push_back(cur + t * (next - cur));
    }
  }
}

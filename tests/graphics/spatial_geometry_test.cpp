// The spatial helpers against hand-worked cases, plus properties on seeded random input:
// bounding spheres hold every point and both spheres, mitre points sit at the half width from
// both offset edges, a clipped polygon lies on the kept side with its on-plane vertices kept,
// and a strip cut from the front leaves no gap between the piece and the rest.
#include "graphics/spatial_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

double dist(const Point3& a, const Point3& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}
double dist_sq(const Point3& a, const Point3& b) { return dist(a, b) * dist(a, b); }

void expect_points(const std::vector<Point3>& got, const std::vector<Point3>& want, double tol, const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_LE(dist(got[i], want[i]), tol) << what << " point " << i << ": got (" << got[i].x << ", " << got[i].y
                                          << ", " << got[i].z << ")";
}

const Vector3 up_y{0, 1, 0};
const Vector3 up_z{0, 0, 1};
const Polygon3 square = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};

TEST(SpatialGeometry, ClipToHalfPlane) {
  struct Case {
    const char* what;
    Polygon3 poly;
    Plane3 plane;
    Polygon3 want;
  } cases[] = {
      {"square, x <= 5", square, {{1, 0, 0}, 5}, {{0, 0, 0}, {5, 0, 0}, {5, 10, 0}, {0, 10, 0}}},
      {"square, x <= 10: an edge on the plane", square, {{1, 0, 0}, 10}, square},
      {"triangle touching the plane", {{0, 0, 0}, {10, 5, 0}, {0, 10, 0}}, {{1, 0, 0}, 10},
       {{0, 0, 0}, {10, 5, 0}, {0, 10, 0}}},
      {"square, x <= -1", square, {{1, 0, 0}, -1}, {}},
      {"square, x <= 0: only the edge on the plane", square, {{1, 0, 0}, 0}, {{0, 0, 0}, {0, 10, 0}}},
      {"square, x >= 5 (the normal turned round)", square, {{-1, 0, 0}, -5},
       {{5, 0, 0}, {10, 0, 0}, {10, 10, 0}, {5, 10, 0}}},
      {"diagonal cut through two corners", square, {{1, 1, 0}, 10}, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}},
      {"square, y <= 2.5 starting outside", {{10, 10, 0}, {0, 10, 0}, {0, 0, 0}, {10, 0, 0}}, {{0, 1, 0}, 2.5},
       {{0, 2.5, 0}, {0, 0, 0}, {10, 0, 0}, {10, 2.5, 0}}},
      {"empty", {}, {{1, 0, 0}, 0}, {}},
  };
  for (const Case& c : cases) {
    Polygon3 out = {{9, 9, 9}};
    ClipToHalfPlane3(c.poly, c.plane, out);
    expect_points(out, c.want, 1e-12, c.what);
  }
}

TEST(SpatialGeometry, ClippedPolygonLiesOnTheKeptSide) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-10, 10);
  for (int round = 0; round < 300; ++round) {
    Polygon3 poly;
    const int n = 3 + static_cast<int>(rng() % 6);
    for (int i = 0; i < n; ++i) poly.push_back({u(rng), u(rng), u(rng)});
    // Now and then a vertex exactly on the plane x + 0 y + 0 z = d.
    Plane3 plane{{u(rng), u(rng), u(rng)}, u(rng)};
    if (round % 3 == 0) {
      plane = {{1, 0, 0}, poly[0].x};
      poly[static_cast<size_t>(n - 1)].x = poly[0].x;
    }
    Polygon3 out;
    ClipToHalfPlane3(poly, plane, out);
    auto side = [&](const Point3& p) { return plane.n.dx * p.x + plane.n.dy * p.y + plane.n.dz * p.z - plane.d; };
    for (const Point3& p : out) EXPECT_LE(side(p), 1e-9) << "round " << round;
    size_t kept = 0;
    for (const Point3& p : poly) kept += side(p) <= 0;
    // Every vertex on the kept side (on the plane included) is in the output as it was.
    for (const Point3& p : poly)
      if (side(p) <= 0) {
        bool found = false;
        for (const Point3& q : out) found |= q.x == p.x && q.y == p.y && q.z == p.z;
        EXPECT_TRUE(found) << "round " << round;
      }
    // Beyond the kept vertices, at most one crossing point per side.
    EXPECT_LE(out.size() - kept, poly.size()) << "round " << round;
  }
}

TEST(SpatialGeometry, ChainToQuadStrip) {
  std::vector<Point3> out;
  ChainToQuadStrip({{0, 0, 0}, {10, 0, 0}, {20, 0, 0}}, {up_y, up_y, up_y}, {2, 2, 2}, out);
  expect_points(out, {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}, {20, 0, 1}, {20, 0, -1}}, 1e-12, "straight");

  // A square turn away from the plus side, half width 1: the plus corner is the outer one,
  // (11, 0, 1), and the minus corner the inner one, (9, 0, -1).
  ChainToQuadStrip({{0, 0, 0}, {10, 0, 0}, {10, 0, -10}}, {up_y, up_y, up_y}, {2, 2, 2}, out);
  expect_points(out, {{0, 0, 1}, {0, 0, -1}, {11, 0, 1}, {9, 0, -1}, {11, 0, -10}, {9, 0, -10}}, 1e-12, "L turn");

  // Turning straight back gives the joint two pairs, one for each direction.
  ChainToQuadStrip({{0, 0, 0}, {10, 0, 0}, {0, 0, 0}}, {up_y, up_y, up_y}, {2, 2, 2}, out);
  expect_points(out, {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}, {10, 0, -1}, {10, 0, 1}, {0, 0, -1}, {0, 0, 1}},
                1e-12, "turn back");

  // One point, or none, leaves the output as it was.
  out = {{7, 7, 7}};
  ChainToQuadStrip({{1, 2, 3}}, {up_y}, {2}, out);
  expect_points(out, {{7, 7, 7}}, 0, "one point");
}

TEST(SpatialGeometry, MitrePointsSitAtHalfWidthFromBothEdges) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-10, 10), w(0.5, 4);
  for (int round = 0; round < 200; ++round) {
    // A chain in the ground plane; up is +y everywhere.
    const Point3 a{u(rng), 0, u(rng)}, b{u(rng), 0, u(rng)}, c{u(rng), 0, u(rng)};
    const double width = w(rng);
    std::vector<Point3> out;
    ChainToQuadStrip({a, b, c}, {up_y, up_y, up_y}, {w(rng), width, w(rng)}, out);
    const double ax = b.x - a.x, az = b.z - a.z, bx = c.x - b.x, bz = c.z - b.z;
    const double la = std::hypot(ax, az), lb = std::hypot(bx, bz);
    const double turn_cos = (ax * bx + az * bz) / (la * lb);
    if (std::fabs(turn_cos) > 0.999) continue;  // the straight and turn-back joints are not mitred
    ASSERT_EQ(out.size(), 6u) << "round " << round;
    // The side normal of an edge with direction (dx, 0, dz) and up +y is (-dz, 0, dx) / len.
    for (int k = 0; k < 2; ++k) {
      const Point3& m = out[2 + k];
      const double sign = k == 0 ? 1 : -1;
      const double off_a = (-az * (m.x - b.x) + ax * (m.z - b.z)) / la;
      const double off_b = (-bz * (m.x - b.x) + bx * (m.z - b.z)) / lb;
      EXPECT_NEAR(off_a, sign * width / 2, 1e-9) << "round " << round;
      EXPECT_NEAR(off_b, sign * width / 2, 1e-9) << "round " << round;
      EXPECT_NEAR(m.y, 0, 1e-9) << "round " << round;
    }
  }
}

TEST(SpatialGeometry, RemoveFromQuadStrip) {
  // Even side along z = 1, odd side along z = -1.
  const std::vector<Point3> strip = {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}, {20, 0, 1}, {20, 0, -1}};
  // The sides differ: even points at x 0, 10, 20, odd points at x 0, 12, 20.
  const std::vector<Point3> uneven = {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {12, 0, -1}, {20, 0, 1}, {20, 0, -1}};
  struct Case {
    const char* what;
    std::vector<Point3> strip;
    double dist;
    bool longer;
    std::vector<Point3> rest, removed;
  } cases[] = {
      {"dist 0 leaves it alone", strip, 0, false, strip, {}},
      {"negative dist", strip, -3, false, strip, {}},
      {"too short a strip", {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}}, 5, false, {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}}, {}},
      {"longer than the strip", strip, 25, false, strip, {}},
      {"inside the first quad",
       strip,
       5,
       false,
       {{5, 0, 1}, {5, 0, -1}, {10, 0, 1}, {10, 0, -1}, {20, 0, 1}, {20, 0, -1}},
       {{0, 0, 1}, {0, 0, -1}, {5, 0, 1}, {5, 0, -1}}},
      {"exactly at the second pair",
       strip,
       10,
       false,
       {{10, 0, 1}, {10, 0, -1}, {20, 0, 1}, {20, 0, -1}},
       {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}}},
      {"inside the second quad",
       strip,
       15,
       false,
       {{15, 0, 1}, {15, 0, -1}, {20, 0, 1}, {20, 0, -1}},
       {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}, {15, 0, 1}, {15, 0, -1}}},
      // Only the even cut falls on a vertex: the rest must still start at the odd cut (x 10),
      // not at the next odd vertex (x 12).
      {"even cut on a vertex, odd cut inside a side",
       uneven,
       10,
       false,
       {{10, 0, 1}, {10, 0, -1}, {10, 0, 1}, {12, 0, -1}, {20, 0, 1}, {20, 0, -1}},
       {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}}},
  };
  for (const Case& c : cases) {
    std::vector<Point3> s = c.strip, removed = {{9, 9, 9}};
    RemoveFromQuadStripFront(s, c.dist, removed, c.longer);
    expect_points(s, c.rest, 1e-12, c.what);
    expect_points(removed, c.removed, 1e-12, c.what);
  }

  // From the back: the same cut on the reversed strip.
  std::vector<Point3> s = strip, removed;
  RemoveFromQuadStripBack(s, 5, removed, false);
  expect_points(s, {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}, {15, 0, 1}, {15, 0, -1}}, 1e-12, "back");
  expect_points(removed, {{20, 0, -1}, {20, 0, 1}, {15, 0, -1}, {15, 0, 1}}, 1e-12, "back removed");
}

TEST(SpatialGeometry, CutStripsJoinWithoutAGap) {
  std::mt19937 rng(21);
  std::uniform_real_distribution<double> step(0.5, 6), dist_u(0.1, 30);
  for (int round = 0; round < 300; ++round) {
    // Two sides along x, each with its own vertex spacing, and vertices shared now and then.
    std::vector<Point3> s;
    double xe = 0, xo = 0;
    for (int k = 0; k < 6; ++k) {
      s.push_back({xe, 0, 1});
      s.push_back({xo, 0, -1});
      const double d = std::round(step(rng));
      xe += d;
      xo += rng() % 2 ? d : std::round(step(rng));
    }
    const double cut = std::round(dist_u(rng) * 2) / 2;
    std::vector<Point3> removed;
    const std::vector<Point3> before = s;
    RemoveFromQuadStripFront(s, cut, removed, false);
    if (removed.empty()) {
      expect_points(s, before, 0, "untouched");
      continue;
    }
    ASSERT_GE(removed.size(), 4u);
    ASSERT_EQ(removed.size() % 2, 0u);
    ASSERT_EQ(s.size() % 2, 0u);
    // The removed piece ends where the rest begins, on both sides, at the cut length.
    EXPECT_EQ(removed[removed.size() - 2].x, s[0].x) << "round " << round;
    EXPECT_EQ(removed[removed.size() - 1].x, s[1].x) << "round " << round;
    EXPECT_NEAR(s[0].x, cut, 1e-9) << "round " << round;
    EXPECT_NEAR(s[1].x, cut, 1e-9) << "round " << round;
    // Both sides of the rest run forward from the cut.
    for (size_t i = 2; i < s.size(); ++i) EXPECT_GE(s[i].x, s[i - 2].x) << "round " << round;
  }
}

TEST(SpatialGeometry, LongerSideOfQuad) {
  struct Case {
    const char* what;
    std::vector<Point3> strip;
    double want;
  } cases[] = {
      {"a rectangle", {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}}, 0},
      // The odd side starts 3 behind the even side's start.
      {"odd side longer", {{0, 0, 1}, {-3, 0, -1}, {10, 0, 1}, {10, 0, -1}}, -3},
      {"even side longer", {{-4, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}}, 4},
      {"a quad with no length", {{0, 0, 1}, {0, 0, -1}, {0, 0, 1}, {0, 0, -1}}, 0},
      {"too few points", {{0, 0, 1}, {0, 0, -1}, {10, 0, 1}}, 0},
  };
  for (const Case& c : cases) {
    const double got = LongerSideOfQuad(c.strip);
    EXPECT_FALSE(std::isnan(got)) << c.what;
    EXPECT_NEAR(got, c.want, 1e-12) << c.what;
  }
  // Cutting with the longer side evens out the first quad's skew.
  std::vector<Point3> s = {{0, 0, 1}, {-3, 0, -1}, {10, 0, 1}, {10, 0, -1}, {20, 0, 1}, {20, 0, -1}}, removed;
  RemoveFromQuadStripFront(s, 5, removed, true);
  EXPECT_NEAR(s[0].x, 5, 1e-12);
  EXPECT_NEAR(s[1].x, 5, 1e-12);
  // A degenerate first quad leaves the plain cut.
  s = {{0, 0, 1}, {0, 0, -1}, {0, 0, 1}, {0, 0, -1}, {10, 0, 1}, {10, 0, -1}};
  RemoveFromQuadStripFront(s, 5, removed, true);
  EXPECT_NEAR(s[0].x, 5, 1e-12);
  EXPECT_NEAR(s[1].x, 5, 1e-12);
}

TEST(SpatialGeometry, BezierCurve) {
  std::vector<Point3> out;
  BezierCurve({0, 0, 0}, {3, 0, 0}, false, false, {}, {}, 8, 0, 0, out);
  expect_points(out, {{0, 0, 0}, {3, 0, 0}}, 0, "no control points");
  BezierCurve({0, 0, 0}, {3, 0, 0}, true, true, {1, 0, 0}, {2, 0, 0}, 3, 0, 0, out);
  expect_points(out, {{0, 0, 0}, {3, 0, 0}}, 0, "controls on the line");
  // One control point lifts the curve: at t = 1/2, (1/8) 0 + (3/8) (0,4,0) + (3/8) end + (1/8) end.
  BezierCurve({0, 0, 0}, {4, 0, 0}, true, false, {0, 4, 0}, {}, 2, 0, 0, out);
  expect_points(out, {{0, 0, 0}, {2, 1.5, 0}, {4, 0, 0}}, 1e-6, "one control");
  // Zero segments with a first control point still gives one piece.
  BezierCurve({0, 0, 0}, {4, 0, 0}, true, false, {0, 4, 0}, {}, 0, 0, 0, out);
  EXPECT_EQ(out.size(), 2u);
  // The gaps leave out inner points too near either end.
  // (the samples at t = 0.1 and 0.2 lie 1.09 and 1.96 from the start, at 0.8 and 0.9 as far
  // from the end).
  BezierCurve({0, 0, 0}, {4, 0, 0}, true, true, {0, 4, 0}, {4, 4, 0}, 10, 0, 0, out);
  EXPECT_EQ(out.size(), 11u);
  BezierCurve({0, 0, 0}, {4, 0, 0}, true, true, {0, 4, 0}, {4, 4, 0}, 10, 2.0, 0, out);
  EXPECT_EQ(out.size(), 9u);
  for (size_t i = 1; i + 1 < out.size(); ++i) EXPECT_GE(dist(out[i], out.front()), 2.0);
  BezierCurve({0, 0, 0}, {4, 0, 0}, true, true, {0, 4, 0}, {4, 4, 0}, 10, 2.0, 1.5, out);
  EXPECT_EQ(out.size(), 8u);
  EXPECT_EQ(out.back().x, 4);
}

TEST(SpatialGeometry, BoundingSpheres) {
  Sphere3 s;
  FastBoundingSphere({{1, 2, 3}}, s);
  EXPECT_EQ(s.c.x, 1);
  EXPECT_EQ(s.c.y, 2);
  EXPECT_EQ(s.c.z, 3);
  EXPECT_EQ(s.radius_squared, 0);

  s = {{5, 5, 5}, 4};
  FastBoundingSphere({}, s);
  EXPECT_EQ(s.radius_squared, 4);  // no points: unchanged

  Sphere3 small{{0, 0, 0}, 1}, big{{0, 0, 0}, 25};
  ExtendBoundingSphereToSphere(big, small);
  EXPECT_EQ(small.radius_squared, 25);
  ExtendBoundingSphereToSphere(Sphere3{{1, 0, 0}, 1}, big);
  EXPECT_EQ(big.radius_squared, 25);  // already inside
  Sphere3 empty;
  ExtendBoundingSphereToSphere(Sphere3{{1, 2, 3}, 4}, empty);
  EXPECT_EQ(empty.radius_squared, 4);
  EXPECT_EQ(empty.c.y, 2);
  ExtendBoundingSphereToSphere(Sphere3{}, empty);
  EXPECT_EQ(empty.radius_squared, 4);

  // Two unit spheres 4 apart: the sphere around both has its centre between them and radius 3.
  Sphere3 a{{0, 0, 0}, 1};
  ExtendBoundingSphereToSphere(Sphere3{{4, 0, 0}, 1}, a);
  EXPECT_NEAR(a.c.x, 2, 1e-12);
  EXPECT_EQ(a.c.y, 0);
  EXPECT_NEAR(a.radius_squared, 9, 1e-12);

  // A point outside a unit sphere: the new sphere runs from the far side to the point.
  Sphere3 u{{0, 0, 0}, 1};
  ExtendBoundingSphereToPt({3, 0, 0}, u);
  EXPECT_NEAR(u.c.x, 1, 1e-12);
  EXPECT_NEAR(u.radius_squared, 4, 1e-12);
  ExtendBoundingSphereToPt({1, 1, 0}, u);  // inside: nothing
  EXPECT_NEAR(u.radius_squared, 4, 1e-12);
}

TEST(SpatialGeometry, BoundingSpheresHoldWhatTheyTakeIn) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-100, 100), r(0.1, 40);
  for (int round = 0; round < 200; ++round) {
    std::vector<Point3> cloud;
    const int n = 1 + static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i) cloud.push_back({u(rng), u(rng) * 0.1, u(rng)});
    Sphere3 s;
    FastBoundingSphere(cloud, s);
    for (const Point3& p : cloud) EXPECT_LE(dist_sq(p, s.c), s.radius_squared * (1 + 1e-12) + 1e-9);

    const double ra = r(rng), rb = r(rng);
    Sphere3 a{{u(rng), u(rng), u(rng)}, ra * ra};
    const Sphere3 b{{u(rng), u(rng), u(rng)}, rb * rb};
    const Sphere3 a0 = a;
    ExtendBoundingSphereToSphere(b, a);
    const double rr = std::sqrt(a.radius_squared);
    EXPECT_LE(dist(a.c, a0.c) + ra, rr + 1e-9) << "round " << round;
    EXPECT_LE(dist(a.c, b.c) + rb, rr + 1e-9) << "round " << round;
  }
}

TEST(SpatialGeometry, PointInPolygon) {
  struct Case {
    const char* what;
    Polygon3 poly;
    Point3 p;
    bool want;
  } cases[] = {
      {"centre", square, {5, 5, 0}, true},
      {"on a side", square, {10, 5, 0}, true},
      {"a corner", square, {0, 0, 0}, true},
      {"outside", square, {5, -1, 0}, false},
      {"outside beyond a corner", square, {11, 11, 0}, false},
      {"above the plane, inside the prism", square, {5, 5, 7}, true},
      {"two points", {{0, 0, 0}, {1, 0, 0}}, {0, 0, 0}, false},
      {"none", {}, {0, 0, 0}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(PointInPolygon3(c.poly, c.p), c.want) << c.what;
}

TEST(SpatialGeometry, IntersectLinesAroundJunction) {
  Point3 out;
  // Two lines crossing at (5, 0, 0): the junction picks the level along their common normal
  // (y), and both lie at y = 0 whatever the junction's other coordinates.
  ASSERT_TRUE(IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{5, 0, -5}, {0, 0, 1}}, {4, 0, 1}, out));
  EXPECT_NEAR(out.x, 5, 1e-12);
  EXPECT_NEAR(out.y, 0, 1e-12);
  EXPECT_NEAR(out.z, 0, 1e-12);
  // Skew lines, one at y = 0 along x and one at y = 2 along z: the common perpendicular is the
  // line x = 3, z = 0; the junction at y = 1.5 picks (3, 1.5, 0).
  ASSERT_TRUE(IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{3, 2, 7}, {0, 0, 1}}, {9, 1.5, 9}, out));
  EXPECT_NEAR(out.x, 3, 1e-12);
  EXPECT_NEAR(out.y, 1.5, 1e-12);
  EXPECT_NEAR(out.z, 0, 1e-12);
  EXPECT_FALSE(IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{0, 1, 0}, {-2, 0, 0}}, {0, 0, 0}, out));
}

TEST(SpatialGeometry, InsetPolygonAroundUp) {
  struct Case {
    const char* what;
    Polygon3 poly;
    bool ring;
    Polygon3 want;
  } cases[] = {
      // With up +z, left is as in the plane: a counter-clockwise square shrinks.
      {"square ring", square, true, {{1, 1, 0}, {9, 1, 0}, {9, 9, 0}, {1, 9, 0}}},
      {"square chain", square, false, {{0, 1, 0}, {9, 1, 0}, {9, 9, 0}, {0, 9, 0}}},
      {"two-point ring: caps", {{0, 0, 0}, {10, 0, 0}}, true,
       {{-1, -1, 0}, {-1, 1, 0}, {11, 1, 0}, {11, -1, 0}}},
      {"one-point chain", {{1, 1, 0}}, false, {}},
  };
  for (const Case& c : cases) {
    Polygon3 out = {{9, 9, 9}};
    InsetPolygon(c.poly, nullptr, 1, c.ring, up_z, out);
    expect_points(out, c.want, 1e-12, c.what);
  }
  // A chain with one ratio per side (no closing side): the middle side moves twice as far.
  const std::vector<double> ratios = {1, 2, 1};
  Polygon3 out;
  InsetPolygon(square, ratios.data(), 1, false, up_z, out);
  expect_points(out, {{0, 1, 0}, {8, 1, 0}, {8, 9, 0}, {0, 9, 0}}, 1e-12, "chain with ratios");

  Segment3 moved;
  MoveSegLeft({{0, 0, 0}, {0, 10, 0}}, 2, moved, up_z);
  expect_points({moved.p1, moved.p2}, {{-2, 0, 0}, {-2, 10, 0}}, 1e-12, "segment");
}

}  // namespace

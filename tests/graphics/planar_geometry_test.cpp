// The planar helpers against hand-worked cases, plus properties on seeded random polygons: an
// inset convex polygon lies inside by the inset, and thinning keeps at least a triangle and
// stops only when no vertex qualifies any more. Chains with per-side ratios and one-point
// chains run here under AddressSanitizer too, with ratio arrays exactly as long as the sides.
#include "graphics/planar_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

void expect_points(const Polygon2& got, const Polygon2& want, double tol, const char* what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(got[i].x, want[i].x, tol) << what << " point " << i;
    EXPECT_NEAR(got[i].y, want[i].y, tol) << what << " point " << i;
  }
}

const Polygon2 square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};

// A convex polygon, counter-clockwise: points on a circle at sorted random angles.
Polygon2 random_convex(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> angle(0, 2 * pi), radius(5, 50);
  std::vector<double> angles(static_cast<size_t>(n));
  for (double& a : angles) a = angle(rng);
  std::sort(angles.begin(), angles.end());
  const double r = radius(rng);
  Polygon2 poly;
  for (double a : angles) poly.push_back({r * std::cos(a), r * std::sin(a)});
  return poly;
}

// The signed distance of p to the left of the side a -> b.
double left_of(const Point2& a, const Point2& b, const Point2& p) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  return (dx * (p.y - a.y) - dy * (p.x - a.x)) / std::sqrt(dx * dx + dy * dy);
}

TEST(PlanarGeometry, CcwBetween) {
  struct Case {
    Vector2 a, b, c;
    bool want;
  } cases[] = {
      {{1, 0}, {0, 1}, {-1, 0}, true},
      {{-1, 0}, {0, 1}, {1, 0}, false},
      {{1, 0}, {0, -1}, {-1, 0}, false},
      {{0, -1}, {1, 0}, {0, 1}, true},
      {{-1, -1e-9}, {0, -1}, {1, 0}, true},  // a just below the negative x axis
      {{-1, 0}, {0, -1}, {1, 0}, true},      // a on the -pi / pi seam
      {{1, 0}, {1, 0}, {0, 1}, false},       // b on a: not strictly between
      {{1, 0}, {0, 1}, {0, 1}, false},       // b on c
      {{2, 3}, {-5, 1}, {2, 3}, true},       // a == c: the full turn
      {{2, 3}, {2, 3}, {4, 6}, true},        // the same direction, b == a
  };
  for (const Case& c : cases)
    EXPECT_EQ(Is_CCW_Between(c.a, c.b, c.c), c.want)
        << "a (" << c.a.dx << "," << c.a.dy << ") b (" << c.b.dx << "," << c.b.dy << ") c (" << c.c.dx << ","
        << c.c.dy << ")";
}

TEST(PlanarGeometry, MoveSegLeftIsExactOnTheAxes) {
  struct Case {
    Segment2 s;
    double dist;
    Segment2 want;
  } cases[] = {
      {{{0, 0}, {10, 0}}, 2, {{0, 2}, {10, 2}}},
      {{{0, 0}, {0, 10}}, 2, {{-2, 0}, {-2, 10}}},
      {{{10, 0}, {0, 0}}, 2, {{10, -2}, {0, -2}}},
      {{{0, 0}, {10, 0}}, -3, {{0, -3}, {10, -3}}},
      {{{0, 0}, {3, 4}}, 5, {{-4, 3}, {-1, 7}}},
      {{{1, 1}, {1, 1}}, 5, {{1, 1}, {1, 1}}},  // no length, no move
  };
  for (const Case& c : cases) {
    Segment2 out;
    MoveSegLeft(c.s, c.dist, out);
    // Axis-aligned sides must come out exact; the slanted one within rounding.
    EXPECT_NEAR(out.p1.x, c.want.p1.x, 1e-12);
    EXPECT_NEAR(out.p1.y, c.want.p1.y, 1e-12);
    EXPECT_NEAR(out.p2.x, c.want.p2.x, 1e-12);
    EXPECT_NEAR(out.p2.y, c.want.p2.y, 1e-12);
  }
  Segment2 out;
  MoveSegLeft({{0.1, 0.3}, {0.7, 0.3}}, 0.2, out);
  EXPECT_EQ(out.p1.y, 0.3 + 0.2);
  EXPECT_EQ(out.p1.x, 0.1);
}

TEST(PlanarGeometry, CoordTranslatorMapsAndMapsBack) {
  const CoordTranslator t{{0, 0}, {10, 20}, {100, 300}, {200, 100}};  // the destination flips y
  const Point2 f = t.Forward({5, 10});
  EXPECT_DOUBLE_EQ(f.x, 150);
  EXPECT_DOUBLE_EQ(f.y, 200);
  const Point2 corner = t.Forward({10, 0});
  EXPECT_DOUBLE_EQ(corner.x, 200);
  EXPECT_DOUBLE_EQ(corner.y, 300);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-100, 100);
  for (int i = 0; i < 100; ++i) {
    const Point2 p{u(rng), u(rng)};
    const Point2 back = t.Reverse(t.Forward(p));
    EXPECT_NEAR(back.x, p.x, 1e-9);
    EXPECT_NEAR(back.y, p.y, 1e-9);
  }
}

TEST(PlanarGeometry, CalcMaxInset) {
  const std::vector<double> chain_ratios = {1, 1, 3};  // one per side of the chain, no more
  const std::vector<double> ring_ratios = {1, 1, 1, 1};
  struct Case {
    const char* what;
    Polygon2 poly;
    const double* ratios;
    bool ring;
    double want;
  } cases[] = {
      {"10 x 10 square ring", square, nullptr, true, 5},
      {"square ring, unit ratios", square, ring_ratios.data(), true, 5},
      // The 3-4-5 right triangle: every side vanishes at the in-circle, radius (3 + 4 - 5) / 2.
      {"3-4-5 triangle", {{0, 0}, {4, 0}, {0, 3}}, nullptr, true, 1},
      // The right side of an open U, between a bottom moved by 1 and a top moved by 3, is
      // 10 - d - 3d long at inset d: gone at 2.5.
      {"U chain with ratios", square, chain_ratios.data(), false, 2.5},
      {"a clockwise square grows", {{0, 0}, {0, 10}, {10, 10}, {10, 0}}, nullptr, true, 0},
      {"one point", {{3, 4}}, nullptr, false, 0},
      {"a two-point chain has no inner end", {{0, 0}, {10, 0}}, nullptr, false, 0},
      {"no points", {}, nullptr, true, 0},
  };
  for (const Case& c : cases) EXPECT_NEAR(CalcMaxInset(c.poly, c.ratios, c.ring), c.want, 1e-5) << c.what;
}

struct CapLog {
  std::vector<int> indices;
  static void record(int index, void* ref) { static_cast<CapLog*>(ref)->indices.push_back(index); }
};

TEST(PlanarGeometry, InsetPolygonCases) {
  const std::vector<double> chain_ratios = {1, 2, 1};  // exactly one per side of the chain
  const std::vector<double> ring_ratios = {1, 2, 1, 2};
  struct Case {
    const char* what;
    Polygon2 poly;
    const double* ratios;
    bool ring;
    Polygon2 want;
    std::vector<int> caps;
  } cases[] = {
      {"square ring", square, nullptr, true, {{1, 1}, {9, 1}, {9, 9}, {1, 9}}, {}},
      {"square chain", square, nullptr, false, {{0, 1}, {9, 1}, {9, 9}, {0, 9}}, {}},
      {"square chain with ratios", square, chain_ratios.data(), false, {{0, 1}, {8, 1}, {8, 9}, {0, 9}}, {}},
      {"square ring with ratios", square, ring_ratios.data(), true, {{2, 1}, {8, 1}, {8, 9}, {2, 9}}, {}},
      {"two-point ring: a cap at each end",
       {{0, 0}, {10, 0}},
       nullptr,
       true,
       {{-1, -1}, {-1, 1}, {11, 1}, {11, -1}},
       {0, 2}},
      {"two-point chain", {{0, 0}, {10, 0}}, nullptr, false, {{0, 1}, {10, 1}}, {}},
      {"straight chain: the parallel corner adds nothing", {{0, 0}, {5, 0}, {10, 0}}, nullptr, false,
       {{0, 1}, {10, 1}}, {}},
      {"chain turning back on itself", {{0, 0}, {10, 0}, {0, 0}}, nullptr, false,
       {{0, 1}, {11, 1}, {11, -1}, {0, -1}}, {1}},
      {"one-point chain", {{3, 4}}, nullptr, false, {}, {}},
      {"no points", {}, nullptr, true, {}, {}},
  };
  for (const Case& c : cases) {
    Polygon2 out = {{99, 99}};  // the output is cleared first
    CapLog log;
    InsetPolygon(c.poly, c.ratios, 1, c.ring, out, &CapLog::record, &log);
    expect_points(out, c.want, 1e-12, c.what);
    EXPECT_EQ(log.indices, c.caps) << c.what;
  }
  Polygon2 out;
  InsetPolygon({{0, 0}, {10, 0}}, nullptr, 1, true, out);  // caps without a callback
  EXPECT_EQ(out.size(), 4u);
}

TEST(PlanarGeometry, InsetConvexPolygonLiesInsideByTheInset) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 200; ++round) {
    const Polygon2 poly = random_convex(rng, 3 + static_cast<int>(rng() % 8));
    const double max_inset = CalcMaxInset(poly, nullptr, true);
    ASSERT_GT(max_inset, 0) << "round " << round;
    const double d = max_inset * std::uniform_real_distribution<double>(0.05, 0.95)(rng);
    Polygon2 out;
    InsetPolygon(poly, nullptr, d, true, out);
    ASSERT_EQ(out.size(), poly.size()) << "round " << round;
    for (const Point2& p : out)
      for (size_t i = 0; i < poly.size(); ++i)
        EXPECT_GE(left_of(poly[i], poly[(i + 1) % poly.size()], p), d - 1e-6) << "round " << round;
    // Just before the largest inset every side still runs the way it ran; just past it, the
    // side that vanished has turned round.
    auto sides_keep_direction = [&](double inset) {
      InsetPolygon(poly, nullptr, inset, true, out);
      for (size_t i = 0; i < poly.size(); ++i) {
        const size_t j = (i + 1) % poly.size();
        const double along = (out[j].x - out[i].x) * (poly[j].x - poly[i].x) +
                             (out[j].y - out[i].y) * (poly[j].y - poly[i].y);
        if (along < 0) return false;
      }
      return true;
    };
    EXPECT_TRUE(sides_keep_direction(max_inset * 0.999)) << "round " << round;
    EXPECT_FALSE(sides_keep_direction(max_inset * 1.01)) << "round " << round;
  }
}

TEST(PlanarGeometry, ReducePolygonCases) {
  struct Case {
    const char* what;
    Polygon2 poly;
    double max_dev_sq, min_dot, long_side, short_side;
    Polygon2 want;
  } cases[] = {
      {"a nearly straight vertex on long sides goes", {{0, 0}, {50, 0.1}, {100, 0}, {100, 100}, {0, 100}},
       1, 0.9, 10, 0, {{0, 0}, {100, 0}, {100, 100}, {0, 100}}},
      {"too far off the line: stays", {{0, 0}, {50, 0.1}, {100, 0}, {100, 100}, {0, 100}}, 0.001, 0.9, 10, 0,
       {{0, 0}, {50, 0.1}, {100, 0}, {100, 100}, {0, 100}}},
      {"sides not long enough: stays", {{0, 0}, {50, 0.1}, {100, 0}, {100, 100}, {0, 100}}, 1, 0.9, 60, 0,
       {{0, 0}, {50, 0.1}, {100, 0}, {100, 100}, {0, 100}}},
      {"a short side takes its first vertex", {{0, 0}, {10, 0}, {10, 0.5}, {10, 10}, {0, 10}}, 0, 1, 1e9, 1,
       {{0, 0}, {10, 0.5}, {10, 10}, {0, 10}}},
      {"a triangle is never thinned", {{0, 0}, {0.1, 0}, {0, 10}}, 1e9, -1, 0, 100, {{0, 0}, {0.1, 0}, {0, 10}}},
      {"all sides short: down to a triangle", {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {1, 1}, {0, 1}}, 0, 1, 1e9, 5,
       {{1, 0}, {2, 1}, {0, 1}}},
  };
  for (const Case& c : cases) {
    Polygon2 poly = c.poly;
    ReducePolygon(poly, c.max_dev_sq, c.min_dot, c.long_side, c.short_side);
    expect_points(poly, c.want, 0, c.what);
  }
}

TEST(PlanarGeometry, ReducePolygonProperties) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<double> coord(-20, 20);
  for (int round = 0; round < 300; ++round) {
    Polygon2 poly;
    const int n = 3 + static_cast<int>(rng() % 30);
    for (int i = 0; i < n; ++i) poly.push_back({coord(rng), coord(rng)});
    const double short_side = std::uniform_real_distribution<double>(0, 8)(rng);
    const double long_side = short_side + std::uniform_real_distribution<double>(0, 20)(rng);
    const double max_dev_sq = std::uniform_real_distribution<double>(0, 30)(rng);
    const double min_dot = std::uniform_real_distribution<double>(-1, 1)(rng);
    const Polygon2 before = poly;
    ReducePolygon(poly, max_dev_sq, min_dot, long_side, short_side);

    ASSERT_GE(poly.size(), 3u) << "round " << round;
    // What is left is the input with vertices taken out, in the same order.
    size_t from = 0;
    for (const Point2& p : poly) {
      while (from < before.size() && (before[from].x != p.x || before[from].y != p.y)) ++from;
      ASSERT_LT(from, before.size()) << "round " << round;
      ++from;
    }
    // The last pass removed nothing: above a triangle, no vertex meets a removal rule, and in
    // particular every vertex whose sides lie between short_side and long_side has stayed.
    if (poly.size() > 3)
      for (size_t i = 0; i < poly.size(); ++i) {
        const size_t m = poly.size();
        const Point2 &p = poly[(i + m - 1) % m], &v = poly[i], &q = poly[(i + 1) % m];
        EXPECT_GE(std::hypot(v.x - p.x, v.y - p.y), short_side) << "round " << round;
        EXPECT_GE(std::hypot(q.x - v.x, q.y - v.y), short_side) << "round " << round;
      }
  }
}

}  // namespace

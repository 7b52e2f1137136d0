// Planar geometry in double precision: direction betweenness, a map between two rectangles,
// offsetting segments, the largest inset a polygon allows, thinning needless vertices and
// insetting a ring or an open chain by a distance per side. Nothing here draws; the functions
// fill the caller's point lists. The 3-D half is spatial_geometry.h.
#pragma once

#include <vector>

// Value types shared with the 3-D helpers.
struct Point2 {
  double x = 0, y = 0;
};
struct Vector2 {
  double dx = 0, dy = 0;
};
struct Segment2 {
  Point2 p1, p2;  // directed from p1 to p2
};
// A ring closes from its last point back to the first; an open chain does not.
using Polygon2 = std::vector<Point2>;

// A linear map between two axis-aligned rectangles given by their corners. The rectangles must
// have a width and a height.
struct CoordTranslator {
  Point2 src_min, src_max, dst_min, dst_max;
  Point2 Forward(const Point2& p) const;  // source to destination
  Point2 Reverse(const Point2& p) const;  // destination to source
};

// Whether b lies strictly between a and c, turning counter-clockwise from a to c. When a and c
// point the same way the arc is the full turn, and the answer is true for any b.
bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c);

// out = s moved dist to its left (a negative dist moves it right). An axis-aligned segment moves
// by exactly dist.
void MoveSegLeft(const Segment2& s, double dist, Segment2& out);

// The largest inset before some side shrinks to nothing; 0 when no side shrinks. ratios is null
// (1 for every side) or holds one factor per side: n for a ring, n - 1 for a chain.
double CalcMaxInset(const Polygon2& poly, const double* ratios, bool is_ring);

// Removes, in place, vertices on sides shorter than short_side, and vertices between two sides
// longer than long_side that sit within sqrt(max_dev_sq) of the line through their neighbours
// with a turn whose direction cosine is above min_dot. Never leaves fewer than 3 points.
void ReducePolygon(Polygon2& poly, double max_dev_sq, double min_dot, double long_side, double short_side);

// The outline moved dist (times ratios[i] for side i, when ratios is given) to the left of every
// side. A ring gives one corner per point; a chain keeps its two ends, moved with their sides.
// Where the outline turns straight back on itself a cap of two points closes the spike, and
// cap_cb, when given, hears of each cap. A chain of fewer than 2 points gives an empty output.
using inset_cap_cb = void (*)(int index, void* ref);
void InsetPolygon(const Polygon2& poly, const double* ratios, double dist, bool is_ring, Polygon2& out,
                  inset_cap_cb cap_cb = nullptr, void* ref = nullptr);

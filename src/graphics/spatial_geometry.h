// Spatial geometry in double precision: insetting a polygon around an up direction, building
// and trimming quad strips along a centre line, sampling a cubic Bezier curve, bounding spheres,
// a point-in-convex-polygon test, the junction point of two lines and clipping a polygon
// against a plane. The planar half is planar_geometry.h.
#pragma once

#include <vector>

#include "graphics/planar_geometry.h"

// Value types.
struct Point3 {
  double x = 0, y = 0, z = 0;
};
struct Vector3 {
  double dx = 0, dy = 0, dz = 0;
};
struct Segment3 {
  Point3 p1, p2;
};
struct Line3 {
  Point3 p;   // a point on the line
  Vector3 v;  // its direction
};
// The plane n . x = d; n . x > d is its outer side.
struct Plane3 {
  Vector3 n;
  double d = 0;
};
// A radius_squared of 0 is an empty sphere.
struct Sphere3 {
  Point3 c;
  double radius_squared = 0;
};
// Closes from its last point to the first.
using Polygon3 = std::vector<Point3>;
// Sorts by y, then x, then z.
struct lesser_y_then_x_then_z {
  bool operator()(const Point3& a, const Point3& b) const;
};

// Insetting around an up vector: a segment moves dist along the normalised up x (p2 - p1). The
// polygon version follows the planar InsetPolygon (per-side ratios, a chain's moved ends, caps
// on spikes), with each corner where a moved side meets the upright plane through the side
// before it.
void MoveSegLeft(const Segment3& s, double dist, Segment3& out, const Vector3& up);
void InsetPolygon(const Polygon3& poly, const double* ratios, double dist, bool is_ring, const Vector3& up,
                  Polygon3& out);

// Quad strips: a std::vector<Point3> of point pairs; pair k is points 2k and 2k + 1, the even
// points form one side of the strip and the odd points the other.
//
// The signed difference between the two sides of the strip's first quad: negative when the odd
// side is the longer, positive when the even side is. 0 for a strip of fewer than 4 points or a
// quad whose sides have no length.
double LongerSideOfQuad(const std::vector<Point3>& strip);
void ReverseQuadStrip(std::vector<Point3>& strip);
// Cut dist off the front (or back) of the strip; removed receives the piece cut off (for the
// back, in reversed order). With use_longer_side the longer side of the first quad is cut by the
// difference more, so that the cut stays square across a bend. A strip of 3 points or fewer, a
// dist of 0 or less, or a strip shorter than dist is left alone with removed empty.
void RemoveFromQuadStripFront(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                              bool use_longer_side);
void RemoveFromQuadStripBack(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                             bool use_longer_side);
// A strip of width widths[i] along the chain, with mitred joints; where the chain turns straight
// back, the joint gets two pairs. Each pair is the plus point, then the minus point. Fewer than
// two points leave out unchanged.
void ChainToQuadStrip(const std::vector<Point3>& points, const std::vector<Vector3>& ups,
                      const std::vector<double>& widths, std::vector<Point3>& out);

// Samples the cubic curve from start to end, with c1 and c2 as control points where their flags
// are set, in segments pieces (one when there is no c1 and no c2, or the controls lie on the
// line). Inner points closer than a positive min_start_gap to the start, or min_end_gap to the
// end, are left out.
void BezierCurve(const Point3& start, const Point3& end, bool has_c1, bool has_c2, const Point3& c1,
                 const Point3& c2, int segments, double min_start_gap, double min_end_gap, std::vector<Point3>& out);

// Bounding spheres.
// A sphere around all the points (not the smallest, but one pass after a sort); an empty list
// leaves the sphere unchanged.
void FastBoundingSphere(const std::vector<Point3>& points, Sphere3& sphere);
// Grows the sphere just enough to take in the point; nothing when it is inside already.
void ExtendBoundingSphereToPt(const Point3& p, Sphere3& sphere);
// The same, for a point known to lie outside.
void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& sphere);
// Grows into so that it takes in s as well.
void ExtendBoundingSphereToSphere(const Sphere3& s, Sphere3& into);

// Whether the point lies inside the convex polygon (points on a side count as inside), for a
// polygon wound so that its first corner turns left; false for fewer than 3 points.
bool PointInPolygon3(const Polygon3& poly, const Point3& p);

// Where the common perpendicular of the two lines (the line across both at their closest
// approach) passes through the plane through junction parallel to both lines; false when the
// lines are parallel or that point does not exist.
bool IntersectLinesAroundJunction(const Line3& a, const Line3& b, const Point3& junction, Point3& out);

// The part of the polygon on the kept side n . x <= d. Vertices on the plane are kept, and a
// crossing point is added only where a side passes from one side of the plane to the other.
void ClipToHalfPlane3(const Polygon3& poly, const Plane3& plane, Polygon3& out);

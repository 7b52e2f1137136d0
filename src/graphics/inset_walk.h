// The walk both InsetPolygon versions share (planar_geometry.cpp and spatial_geometry.cpp): each
// side moved to the left by its inset, then one point of the outline for each point of the
// input: a chain's moved ends, two points capping a spike where the outline turns straight
// back, otherwise the corner where the moved sides on either side of the point meet.
#pragma once

#include <cstddef>
#include <vector>

// move_left(side, inset, moved) moves a side; same(p, q) tells equal points; corner(moved side
// j, moved side k before it, point&) gives the corner and false when there is none; on_cap(j)
// is told after the cap at point j has been added.
template <typename Point, typename Segment, typename MoveLeft, typename Same, typename Corner, typename OnCap>
void inset_walk(const std::vector<Point>& poly, const double* ratios, double dist, bool is_ring,
                std::vector<Point>& out, MoveLeft move_left, Same same, Corner corner, OnCap on_cap) {
  out.clear();
  const int n = static_cast<int>(poly.size());
  if (n == 0 || (!is_ring && n < 2)) return;
  // A chain has no closing side: it is neither formed nor moved, and has no ratio.
  const int sides = is_ring ? n : n - 1;
  std::vector<Segment> side(static_cast<size_t>(sides)), moved(static_cast<size_t>(sides));
  auto inset_of = [&](int i) { return ratios ? dist * ratios[i] : dist; };
  for (int i = 0; i < sides; ++i) {
    side[i] = {poly[static_cast<size_t>(i)], poly[static_cast<size_t>((i + 1) % n)]};
    move_left(side[i], inset_of(i), moved[i]);
  }

  for (int j = 0; j < n; ++j) {
    if (!is_ring && j == 0) {
      out.push_back(moved[0].p1);
      continue;
    }
    if (!is_ring && j == n - 1) {
      out.push_back(moved[n - 2].p2);
      continue;
    }
    const int k = (j + sides - 1) % sides;
    if (same(side[j].p2, side[k].p1)) {
      // The outline turns straight back at point j: close the spike with a cap across its tip.
      Segment cap;
      move_left(Segment{moved[k].p2, moved[j].p1}, inset_of(j), cap);
      out.push_back(cap.p1);
      out.push_back(cap.p2);
      on_cap(j);
      continue;
    }
    Point p;
    if (corner(moved[j], moved[k], p)) out.push_back(p);
  }
}

// Fixed angles in radians, one copy per unit like the shared constants. The values are the
// stored ones, not recomputations: f1, f3 and f9 sit one unit in the last place away from
// float(degrees * pi / 180).
#pragma once

static const float f1 = 0.14660767f;   //  8.4 degrees
static const float f2 = 0.18849556f;   // 10.8 degrees
static const float f3 = 0.073303834f;  //  4.2 degrees
static const float f4 = 0.094247781f;  //  5.4 degrees
static const float f5 = 0.13613568f;   //  7.8 degrees
static const float f6 = 0.062831856f;  //  3.6 degrees
static const float f7 = 0.083775803f;  //  4.8 degrees
static const float f8 = 0.12566371f;   //  7.2 degrees
static const float f9 = 0.073303834f;  //  4.2 degrees

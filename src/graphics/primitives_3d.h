// A few 3-D shapes in immediate mode. Lines and quads go inside the caller's glBegin (GL_LINES
// or GL_QUADS); the box and the disc make their own begin/end blocks and keep the caller's
// matrix. Main thread only.
#pragma once

// Two vertices of a line.
void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2);
// A quad with its normal ((p3 - p2) x (p2 - p1), normalised; (0, 1, 0) when degenerate) and
// texture coordinates (1, 1), (1, 0), (0, 0), (0, 1) at the four corners.
void OGL_3dquad(const float p1[3], const float p2[3], const float p3[3], const float p4[3]);
// The same with the texture corners (s0, t0), (s0, t1), (s1, t1), (s1, t0).
void OGL_3dquad_st(const float p1[3], const float p2[3], const float p3[3], const float p4[3], float s0,
                   float t0, float s1, float t1);
// A box standing on (x, y, z): x and z centred, y from 0 to height, turned by -heading degrees
// about z. The sides are one quad strip; the top takes t1, the bottom t0.
void OGL_cube(float x, float y, float z, float width, float height, float depth, float s0, float s1,
              float t0, float t1, float heading);
// A wheel along the x axis of 12 segments: a fan on each face at radius 0.38 R and three
// bands of tyre out to R.
void OGL_disc(float x, float y, float z, float radius);
// The specular colour of light 0 and of the front material, with shininess 128.
void OGL_setspec(float level);
// Nothing to do on this platform.
void OGL_printer();

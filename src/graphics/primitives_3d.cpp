#include "graphics/primitives_3d.h"

#include <GL/gl.h>

#include <cmath>

#include "runtime/constants.h"

namespace {

void set_normal(const float p1[3], const float p2[3], const float p3[3]) {
  const float a[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
  const float b[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
  float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (len == 0) {
    glNormal3f(0, 1, 0);
    return;
  }
  glNormal3f(n[0] / len, n[1] / len, n[2] / len);
}

// A point of the disc's ring at whole degrees: (x, q cos a, -q sin a).
void ring_vertex(float x, float q, int degrees) {
  const float a = static_cast<float>(degrees) * degtorad;
  glVertex3f(x, q * std::cos(a), -q * std::sin(a));
}

}  // namespace

void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2) {
  glVertex3f(x1, y1, z1);
  glVertex3f(x2, y2, z2);
}

void OGL_3dquad(const float p1[3], const float p2[3], const float p3[3], const float p4[3]) {
  set_normal(p1, p2, p3);
  glTexCoord2f(1, 1);
  glVertex3fv(p1);
  glTexCoord2f(1, 0);
  glVertex3fv(p2);
  glTexCoord2f(0, 0);
  glVertex3fv(p3);
  glTexCoord2f(0, 1);
  glVertex3fv(p4);
}

void OGL_3dquad_st(const float p1[3], const float p2[3], const float p3[3], const float p4[3], float s0,
                   float t0, float s1, float t1) {
  set_normal(p1, p2, p3);
  glTexCoord2f(s0, t0);
  glVertex3fv(p1);
  glTexCoord2f(s0, t1);
  glVertex3fv(p2);
  glTexCoord2f(s1, t1);
  glVertex3fv(p3);
  glTexCoord2f(s1, t0);
  glVertex3fv(p4);
}

void OGL_cube(float x, float y, float z, float width, float height, float depth, float s0, float s1,
              float t0, float t1, float heading) {
  const float w = width / 2, d = depth / 2;
  glPushMatrix();
  glTranslatef(x, y, z);
  glRotatef(-heading, 0, 0, 1);
  // The four sides as one strip: back, right, front, left, and back again to close it.
  static const float corners[5][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {-1, -1}};
  static const float normals[4][3] = {{0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}};
  glBegin(GL_QUAD_STRIP);
  for (int i = 0; i < 5; ++i) {
    glNormal3fv(normals[i < 4 ? i : 3]);
    const float s = i % 2 ? s1 : s0;
    glTexCoord2f(s, t1);
    glVertex3f(corners[i][0] * w, height, corners[i][1] * d);
    glTexCoord2f(s, t0);
    glVertex3f(corners[i][0] * w, 0, corners[i][1] * d);
  }
  glEnd();
  glBegin(GL_QUADS);
  glNormal3f(0, 1, 0);
  glTexCoord2f(s0, t1);
  glVertex3f(-w, height, -d);
  glTexCoord2f(s0, t1);
  glVertex3f(-w, height, d);
  glTexCoord2f(s1, t1);
  glVertex3f(w, height, d);
  glTexCoord2f(s1, t1);
  glVertex3f(w, height, -d);
  glNormal3f(0, -1, 0);
  glTexCoord2f(s0, t0);
  glVertex3f(-w, 0, -d);
  glTexCoord2f(s1, t0);
  glVertex3f(w, 0, -d);
  glTexCoord2f(s1, t0);
  glVertex3f(w, 0, d);
  glTexCoord2f(s0, t0);
  glVertex3f(-w, 0, d);
  glEnd();
  glPopMatrix();
}

void OGL_disc(float x, float y, float z, float radius) {
  const float inner = 0.38f * radius;
  glPushMatrix();
  glTranslatef(x, y, z);
  // The two faces of the wheel, each a fan of the centre and 13 ring points 30 degrees apart.
  glBegin(GL_TRIANGLE_FAN);
  glNormal3f(-1, 0, 0);
  glVertex3f(-radius, 0, 0);
  for (int a = 360; a >= 0; a -= 30) ring_vertex(-radius, inner, a);
  glEnd();
  glBegin(GL_TRIANGLE_FAN);
  glNormal3f(1, 0, 0);
  glVertex3f(radius, 0, 0);
  for (int a = 0; a <= 360; a += 30) ring_vertex(radius, inner, a);
  glEnd();
  // The tyre: a cone out from each face and the tread between them.
  const float band[3][4] = {{-radius, inner, -inner, radius},
                            {-inner, radius, inner, radius},
                            {inner, radius, radius, inner}};
  for (const auto& b : band) {
    glBegin(GL_QUAD_STRIP);
    for (int a = 0; a <= 360; a += 30) {
      const float rad = static_cast<float>(a) * degtorad;
      glNormal3f(0, std::cos(rad), -std::sin(rad));
      ring_vertex(b[0], b[1], a);
      ring_vertex(b[2], b[3], a);
    }
    glEnd();
  }
  glPopMatrix();
}

void OGL_setspec(float level) {
  const float specular[4] = {level, level, level, 1};
  glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
  glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT, GL_SHININESS, 128);
}

void OGL_printer() {}

// The 3-D primitives through GL feedback on Mesa: how many triangles' worth of faces each shape
// sends and where its corners land.
#include "graphics/primitives_3d.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "support/display_fixture.h"

namespace {

struct feedback_result {
  int triangles = 0;  // a polygon of n corners counts n - 2
  float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
};

// Draws in feedback mode with an orthographic view of -10 to 10 on each axis over the
// 1024 x 768 window and sums up the polygons GL hands back.
feedback_result feedback(const std::function<void()>& draw) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-10, 10, -10, 10, -100, 100);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_CULL_FACE);
  std::vector<GLfloat> buffer(1 << 16);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint n = glRenderMode(GL_RENDER);
  feedback_result r;
  EXPECT_GT(n, 0);
  for (GLint i = 0; i < n;) {
    const GLfloat token = buffer[i++];
    if (token != GL_POLYGON_TOKEN) {
      ADD_FAILURE() << "unexpected token " << token;
      break;
    }
    const int corners = static_cast<int>(buffer[i++]);
    r.triangles += corners - 2;
    for (int k = 0; k < corners; ++k, i += 3) {
      r.x0 = std::min(r.x0, buffer[i]);
      r.x1 = std::max(r.x1, buffer[i]);
      r.y0 = std::min(r.y0, buffer[i + 1]);
      r.y1 = std::max(r.y1, buffer[i + 1]);
    }
  }
  return r;
}

// Window x or y of a scene coordinate in -10 to 10.
float window_x(float x) { return (x + 10) / 20 * 1024; }
float window_y(float y) { return (y + 10) / 20 * 768; }

class Primitives3dTest : public gl_display_test {};

TEST_F(Primitives3dTest, CubeIsFourSidesATopAndABottom) {
  feedback_result r = feedback([] { OGL_cube(1, 2, 0, 4, 3, 2, 0, 1, 0, 1, 0); });
  EXPECT_EQ(r.triangles, 12);
  EXPECT_NEAR(r.x0, window_x(-1), 0.01);
  EXPECT_NEAR(r.x1, window_x(3), 0.01);
  EXPECT_NEAR(r.y0, window_y(2), 0.01);
  EXPECT_NEAR(r.y1, window_y(5), 0.01);
  // Turned by 90 degrees about z: x spans the height (0 to 3), y the width (-2 to 2).
  r = feedback([] { OGL_cube(0, 0, 0, 4, 3, 2, 0, 1, 0, 1, 90); });
  EXPECT_NEAR(r.x1 - r.x0, window_x(3) - window_x(0), 0.01);
  EXPECT_NEAR(r.y1 - r.y0, window_y(2) - window_y(-2), 0.01);
}

TEST_F(Primitives3dTest, DiscIsTwoFacesAndThreeBands) {
  // Two fans of 12 triangles and three bands of 12 quads.
  feedback_result r = feedback([] { OGL_disc(0, 0, 0, 5); });
  EXPECT_EQ(r.triangles, 2 * 12 + 3 * 12 * 2);
  EXPECT_NEAR(r.x0, window_x(-5), 0.01);
  EXPECT_NEAR(r.x1, window_x(5), 0.01);
  EXPECT_NEAR(r.y0, window_y(-5), 0.01);
  EXPECT_NEAR(r.y1, window_y(5), 0.01);
}

TEST_F(Primitives3dTest, QuadsInsideTheCallersBlock) {
  const float a[3] = {0, 0, 0}, b[3] = {0, 4, 0}, c[3] = {4, 4, 0}, d[3] = {4, 0, 0};
  feedback_result r = feedback([&] {
    glBegin(GL_QUADS);
    OGL_3dquad(a, b, c, d);
    OGL_3dquad_st(a, b, c, d, 0, 0, 1, 1);
    glEnd();
  });
  EXPECT_EQ(r.triangles, 4);
  EXPECT_NEAR(r.x1, window_x(4), 0.01);
}

}  // namespace

// The camera's matrices and frustum, against hand-worked values; no GL context is needed for
// anything but the model-view read-back and the viewport, which these tests leave alone.
#include "graphics/camera.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double at(const double m[16], int r, int c) { return m[4 * c + r]; }

void expect_matrix_near(const double a[16], const double b[16], const char* what) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-9) << what << " element " << i;
}

TEST(Matrices, BuildersMultiplyAndInvert) {
  double m[16];
  buildPerspectiveMatrix(m, 90, 1, 1, 100);
  EXPECT_NEAR(at(m, 0, 0), 1, 1e-12);
  EXPECT_NEAR(at(m, 1, 1), 1, 1e-12);
  EXPECT_NEAR(at(m, 3, 2), -1, 1e-12);
  EXPECT_NEAR(at(m, 2, 3), -200.0 / 99, 1e-12);

  buildOrthoMatrix(m, 0, 800, 0, 600, -1, 1);
  EXPECT_NEAR(at(m, 0, 0), 2.0 / 800, 1e-15);
  EXPECT_NEAR(at(m, 0, 3), -1, 1e-15);
  EXPECT_NEAR(at(m, 1, 3), -1, 1e-15);

  // Rotation about -z by 90 degrees is rotation about +z by -90 degrees; a general axis agrees
  // with the single-axis form.
  double a[16], b[16], c[16];
  buildRotation(a, 90, 0, 0, -1);
  buildRotation(b, -90, 0, 0, 1);
  expect_matrix_near(a, b, "rotation sense");
  buildRotation(a, 30, 1e-9, 0, 1);  // not a single axis: the general formula
  buildRotation(b, 30, 0, 0, 1);
  expect_matrix_near(a, b, "general axis");
  buildRotation(c, 30, 1e-5, 1e-5, 0);  // a general axis too short to normalise
  expect_matrix_near(c, gIdentity, "axis too short");

  // A product and its inverse give the identity.
  double t[16], inv[16], prod[16];
  buildRotation(a, 37, 1, 2, 3);
  setIdentityMatrix(t);
  applyTranslation(t, 5, -7, 11);
  multMatrices(prod, t, a);
  ASSERT_EQ(invertMatrix(inv, prod), 1);
  multMatrices(c, prod, inv);
  expect_matrix_near(c, gIdentity, "inverse");
  // applyRotation is multiplication on the right.
  copyMatrix(c, t);
  applyRotation(c, 37, 1, 2, 3);
  expect_matrix_near(c, prod, "applyRotation");

  double singular[16];
  setIdentityMatrix(singular);
  singular[4] = singular[5] = singular[6] = singular[7] = 0;  // a zero column
  double untouched[16];
  setIdentityMatrix(untouched);
  EXPECT_EQ(invertMatrix(untouched, singular), 0);
  expect_matrix_near(untouched, gIdentity, "destination untouched");

  transposeMatrix(c, prod);
  EXPECT_EQ(at(c, 1, 3), at(prod, 3, 1));
}

TEST(Matrices, LookAtPutsTheCentreStraightAhead) {
  double m[16];
  buildLookAtMatrix(m, 10, 0, 0, 0, 0, 0, 0, 1, 0);
  // The centre lies on the negative z axis of the eye, ten units away.
  const double x = 0, y = 0, z = 0;
  const double ex = at(m, 0, 0) * x + at(m, 0, 1) * y + at(m, 0, 2) * z + at(m, 0, 3);
  const double ey = at(m, 1, 0) * x + at(m, 1, 1) * y + at(m, 1, 2) * z + at(m, 1, 3);
  const double ez = at(m, 2, 0) * x + at(m, 2, 1) * y + at(m, 2, 2) * z + at(m, 2, 3);
  EXPECT_NEAR(ex, 0, 1e-12);
  EXPECT_NEAR(ey, 0, 1e-12);
  EXPECT_NEAR(ez, -10, 1e-12);
}

TEST(Camera, OrthoFrustumAndFarPlanes) {
  xcam_class cam;
  cam.read_modelview = 0;
  cam.SetupOrtho(0, 800, 0, 600, -1, 1);
  EXPECT_EQ(cam.ortho, 1);
  EXPECT_EQ(cam.near_value, 1);
  EXPECT_EQ(cam.far_value, -1);
  float fx = 7, fy = 7;
  EXPECT_EQ(cam.GetFOVHalfCosines(&fx, &fy), 0);
  EXPECT_EQ(fx, 7);

  cam.SetupPerspective(90, 1, 1, 1000);
  EXPECT_EQ(cam.ortho, 0);
  ASSERT_EQ(cam.GetFOVHalfCosines(&fx, &fy), 1);
  EXPECT_NEAR(fx, std::cos(M_PI / 4), 1e-6);
  EXPECT_NEAR(fy, std::cos(M_PI / 4), 1e-6);
  cam.SetFakeFarClippingPlane(5000);  // beyond the far plane: stays at it
  EXPECT_EQ(cam.fake_far_value, -1000);
  cam.SetFakeFarClippingPlane(200);
  EXPECT_EQ(cam.fake_far_value, -200);
  cam.ResetFakeFarClippingPlane();
  EXPECT_EQ(cam.fake_far_value, -1000);
}

TEST(Camera, DirectionsAndBillboards) {
  xcam_class cam;
  cam.read_modelview = 0;
  cam.LookAtPtFromDir(0, 0, 0, 0, 0, 10);  // eye on +x, looking back along -x
  double dir[3], up[3], right[3];
  cam.CalcDirection(dir);
  cam.CalcUp(up);
  cam.CalcRight(right);
  EXPECT_NEAR(dir[0], -1, 1e-12);
  EXPECT_NEAR(up[1], 1, 1e-12);
  EXPECT_NEAR(right[2], -1, 1e-12);  // looking along -x, right is -z
  float r[3], u[3];
  cam.CalcBillboardGround(r, u);
  EXPECT_NEAR(r[1], 0, 1e-6);
  EXPECT_NEAR(u[1], 1, 1e-6);
  cam.CalcBillboardCamera(r, u);
  EXPECT_NEAR(r[2], -1, 1e-6);
}

TEST(Camera, FrustumBoundsBetweenTwoHeights) {
  xcam_class cam;
  cam.read_modelview = 0;
  cam.SetupOrtho(-10, 10, -10, 10, 1, 100);
  cam.Identity();
  double lo[3], hi[3];
  ASSERT_TRUE(cam.GetFrustumBounds(50, -5, 5, lo, hi));
  EXPECT_NEAR(lo[0], -10, 1e-6);
  EXPECT_NEAR(hi[0], 10, 1e-6);
  EXPECT_NEAR(lo[1], -5, 1e-6);  // cut at the heights
  EXPECT_NEAR(hi[1], 5, 1e-6);
  EXPECT_NEAR(lo[2], -50, 1e-6);  // cut at the distance
  EXPECT_NEAR(hi[2], -1, 1e-6);
  EXPECT_FALSE(cam.GetFrustumBounds(50, 20, 30, lo, hi)) << "no part between these heights";
}

// A light's camera that holds the eye's whole view volume, from the side and from straight above
// (where the usual up vector lies along the view).
TEST(Camera, LookAtCameraHoldsTheOtherView) {
  xcam_class eye;
  eye.read_modelview = 0;
  eye.SetupPerspective(60, 1, 1, 50);
  eye.Identity();
  const double half = 50 * std::tan(M_PI / 6);  // the far plane's half width, about 28.9
  struct row {
    const char* name;
    double dir[3];
  } rows[] = {{"from the side", {1, 0, 0}}, {"from above", {0, -1, 0}}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    xcam_class light;
    light.read_modelview = 0;
    double near_d = 0, far_d = 0;
    light.LookAtCamera(eye, r.dir, 100, near_d, far_d);
    EXPECT_EQ(light.ortho, 1);
    EXPECT_LT(near_d, far_d);
    // One of the light's axes spans the eye frustum's far width.
    EXPECT_GE(std::max(light.right - light.left, light.top - light.bottom), 2 * half - 1e-6);
    EXPECT_GT(light.right - light.left, 1.0);
    EXPECT_GT(light.top - light.bottom, 1.0);
  }
}

}  // namespace

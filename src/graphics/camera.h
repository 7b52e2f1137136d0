// The camera and the 4 x 4 matrix helpers behind the viewport set-up: the projection and
// model-view matrices the 2-D and 3-D drawing loads into OpenGL, with the frustum's extents and
// side planes. Matrices are 16 doubles in OpenGL's column-major order: element (row r, column c)
// is at index 4c + r. Main thread only.
#pragma once

// Matrix helpers
extern const double gIdentity[16];
void setIdentityMatrix(double m[16]);
void copyMatrix(double d[16], const double s[16]);
void transposeMatrix(double d[16], const double s[16]);
void addMatrices(double d[16], const double a[16], const double b[16]);
// d = a x b; d may be a or b.
void multMatrices(double d[16], const double a[16], const double b[16]);
// Gauss-Jordan with partial pivoting: 1 and the inverse in d, or 0 (d untouched) when singular.
int invertMatrix(double d[16], const double s[16]);
void buildFrustumMatrix(double m[16], double l, double r, double b, double t, double n, double f);
void buildPerspectiveMatrix(double m[16], double fov_degrees, double aspect, double n, double f);
void buildOrthoMatrix(double m[16], double l, double r, double b, double t, double n, double f);
void buildLookAtMatrix(double m[16], double eye_x, double eye_y, double eye_z, double centre_x, double centre_y,
                       double centre_z, double up_x, double up_y, double up_z);
void buildRotation(double m[16], double angle_degrees, double x, double y, double z);
// Multiply m on the right by a translation, or by a rotation.
void applyTranslation(double m[16], double x, double y, double z);
void applyRotation(double m[16], double angle_degrees, double x, double y, double z);
void vec3_assign(double v[3], double x, double y, double z);
void printMatrix(const char* title, const double m[16]);

// Grows the box (min, max) by the part of the segment a-b whose height (second component) lies
// between lower and upper.
void accum_segment(double lower, double upper, const double a[3], const double b[3], double box_min[3],
                   double box_max[3]);

class xcam_class {
 public:
  xcam_class();
  xcam_class(const xcam_class&) = default;
  xcam_class& operator=(const xcam_class&) = default;
  // Copies only from a non-null camera.
  explicit xcam_class(const xcam_class* other);

  void SetupOrtho(double left, double right, double bottom, double top, double near_d, double far_d);
  void SetupFrustum(double left, double right, double bottom, double top, double near_d, double far_d);
  void SetupPerspective(double fov_degrees, double aspect, double near_d, double far_d);

  void Identity();
  void Translate(double x, double y, double z);
  void Rotate(double angle_degrees, double x, double y, double z);
  void LookAtPtFromPt(double eye_x, double eye_y, double eye_z, double centre_x, double centre_y, double centre_z,
                      double up_x, double up_y, double up_z);
  void LookAtPtFromDir(double centre_x, double centre_y, double centre_z, double heading, double pitch,
                       double distance);

  void SetFakeFarClippingPlane(double distance);
  void ResetFakeFarClippingPlane();

  // Makes this an orthographic camera that holds the other camera's view volume as seen along
  // dir from distance; near and far receive the planes chosen.
  void LookAtCamera(const xcam_class& other, const double dir[3], double distance, double& near_out,
                    double& far_out);
  // The box of the view volume (cut at cut_distance) between two heights; false when empty.
  bool GetFrustumBounds(double cut_distance, double lower, double upper, double box_min[3], double box_max[3]);

  // 0 for an orthographic camera (nothing written), else 1.
  int GetFOVHalfCosines(float* x, float* y) const;
  void CalcUp(double up[3]);
  void CalcDirection(double dir[3]);
  void CalcRight(double right[3]);
  void CalcBillboardGround(float right[3], float up[3]);
  void CalcBillboardCamera(float right[3], float up[3]);
  // A point in the world to screen units through the current GL viewport.
  void mtr_to_pix(double x, double y, double z, float* screen_x, float* screen_y);

  unsigned char ortho;
  double near_value, far_value, fake_far_value;
  double plane_top[3], plane_left[3], plane_right[3], plane_bottom[3];
  double top, left, right, bottom;
  unsigned char matrices_changed;
  unsigned char read_modelview;
  double projection[16];
  double modelview[16];

 private:
  void read_modelview_if_asked();
};

extern xcam_class xcam;

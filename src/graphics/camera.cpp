#include "graphics/camera.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/memory/stats.h"
#include "runtime/shell_records.h"

const double gIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

xcam_class xcam;

namespace {

UTL_stat gKillClip("perf/kill_clip", UTL_stat_perf, 0);
UTL_stat gKillCull("perf/kill_cull", UTL_stat_perf, 0);
UTL_stat gExtraNear("shadow/extra_near", UTL_stat_shadow, 0);

constexpr double pi = 3.14159265358979323846;
double& at(double m[16], int r, int c) { return m[4 * c + r]; }

void cross(const double a[3], const double b[3], double out[3]) {
  const double x = a[1] * b[2] - a[2] * b[1], y = a[2] * b[0] - a[0] * b[2], z = a[0] * b[1] - a[1] * b[0];
  out[0] = x, out[1] = y, out[2] = z;
}

// A zero-length vector stays as it is.
void normalize(double v[3]) {
  const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len != 0) v[0] /= len, v[1] /= len, v[2] /= len;
}

void transform(const double m[16], const double v[4], double out[4]) {
  double r[4];
  for (int row = 0; row < 4; ++row)
    r[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row] * v[3];
  std::memcpy(out, r, sizeof r);
}

// A point through a matrix, divided by w when w is not 0.
void project(const double m[16], const double in[3], double out[3]) {
  const double v[4] = {in[0], in[1], in[2], 1};
  double r[4];
  transform(m, v, r);
  if (r[3] != 0) r[0] /= r[3], r[1] /= r[3], r[2] /= r[3];
  out[0] = r[0], out[1] = r[1], out[2] = r[2];
}

void add_to_box(const double p[3], double box_min[3], double box_max[3]) {
  for (int k = 0; k < 3; ++k) {
    box_min[k] = std::min(box_min[k], p[k]);
    box_max[k] = std::max(box_max[k], p[k]);
  }
}

}  // namespace

void setIdentityMatrix(double m[16]) { std::memcpy(m, gIdentity, sizeof gIdentity); }
void copyMatrix(double d[16], const double s[16]) { std::memmove(d, s, 16 * sizeof(double)); }

void transposeMatrix(double d[16], const double s[16]) {
  double t[16];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) t[4 * r + c] = s[4 * c + r];
  copyMatrix(d, t);
}

void addMatrices(double d[16], const double a[16], const double b[16]) {
  for (int i = 0; i < 16; ++i) d[i] = a[i] + b[i];
}

void multMatrices(double d[16], const double a[16], const double b[16]) {
  double t[16];
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[4 * k + r] * b[4 * c + k];
      t[4 * c + r] = sum;
    }
  copyMatrix(d, t);
}

int invertMatrix(double d[16], const double s[16]) {
  double a[4][8];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      a[r][c] = s[4 * c + r];
      a[r][c + 4] = r == c ? 1 : 0;
    }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (a[pivot][col] == 0) return 0;
    if (pivot != col)
      for (int c = 0; c < 8; ++c) std::swap(a[pivot][c], a[col][c]);
    const double p = a[col][col];
    for (int c = 0; c < 8; ++c) a[col][c] /= p;
    for (int r = 0; r < 4; ++r) {
      if (r == col || a[r][col] == 0) continue;
      const double f = a[r][col];
      for (int c = 0; c < 8; ++c) a[r][c] -= f * a[col][c];
    }
  }
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) d[4 * c + r] = a[r][c + 4];
  return 1;
}

void buildFrustumMatrix(double m[16], double l, double r, double b, double t, double n, double f) {
  std::fill(m, m + 16, 0.0);
  at(m, 0, 0) = 2 * n / (r - l);
  at(m, 1, 1) = 2 * n / (t - b);
  at(m, 0, 2) = (r + l) / (r - l);
  at(m, 1, 2) = (t + b) / (t - b);
  at(m, 2, 2) = -(f + n) / (f - n);
  at(m, 2, 3) = -2 * f * n / (f - n);
  at(m, 3, 2) = -1;
}

void buildPerspectiveMatrix(double m[16], double fov, double aspect, double n, double f) {
  const double h = std::tan(pi * fov / 360.0) * n;
  buildFrustumMatrix(m, -h * aspect, h * aspect, -h, h, n, f);
}

void buildOrthoMatrix(double m[16], double l, double r, double b, double t, double n, double f) {
  std::fill(m, m + 16, 0.0);
  at(m, 0, 0) = 2 / (r - l);
  at(m, 1, 1) = 2 / (t - b);
  at(m, 2, 2) = -2 / (f - n);
  at(m, 0, 3) = -(r + l) / (r - l);
  at(m, 1, 3) = -(t + b) / (t - b);
  at(m, 2, 3) = -(f + n) / (f - n);
  at(m, 3, 3) = 1;
}

void buildLookAtMatrix(double m[16], double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                       double uy, double uz) {
  double F[3] = {ex - cx, ey - cy, ez - cz}, up[3] = {ux, uy, uz}, S[3], U[3];
  normalize(F);
  cross(up, F, S);
  normalize(S);
  cross(F, S, U);
  normalize(U);
  const double eye[3] = {ex, ey, ez};
  const double* rows[3] = {S, U, F};
  setIdentityMatrix(m);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) at(m, r, c) = rows[r][c];
    at(m, r, 3) = -(rows[r][0] * eye[0] + rows[r][1] * eye[1] + rows[r][2] * eye[2]);
  }
}

void buildRotation(double m[16], double angle, double x, double y, double z) {
  setIdentityMatrix(m);
  const double rad = angle * pi / 180.0;
  auto plain = [&](int a, int b, double sign) {
    const double c = std::cos(rad * sign), s = std::sin(rad * sign);
    at(m, a, a) = c, at(m, a, b) = -s, at(m, b, a) = s, at(m, b, b) = c;
  };
  if (y == 0 && z == 0 && x != 0) return plain(1, 2, x > 0 ? 1 : -1);
  if (x == 0 && z == 0 && y != 0) return plain(2, 0, y > 0 ? 1 : -1);
  if (x == 0 && y == 0 && z != 0) return plain(0, 1, z > 0 ? 1 : -1);
  const double len = std::sqrt(x * x + y * y + z * z);
  if (len <= 1e-4) return;
  x /= len, y /= len, z /= len;
  const double c = std::cos(rad), s = std::sin(rad), k = 1 - c;
  at(m, 0, 0) = x * x * k + c, at(m, 0, 1) = x * y * k - z * s, at(m, 0, 2) = x * z * k + y * s;
  at(m, 1, 0) = y * x * k + z * s, at(m, 1, 1) = y * y * k + c, at(m, 1, 2) = y * z * k - x * s;
  at(m, 2, 0) = x * z * k - y * s, at(m, 2, 1) = y * z * k + x * s, at(m, 2, 2) = z * z * k + c;
}

void applyTranslation(double m[16], double x, double y, double z) {
  for (int r = 0; r < 4; ++r) m[12 + r] += m[r] * x + m[4 + r] * y + m[8 + r] * z;
}

void applyRotation(double m[16], double angle, double x, double y, double z) {
  double rot[16];
  buildRotation(rot, angle, x, y, z);
  multMatrices(m, m, rot);
}

void vec3_assign(double v[3], double x, double y, double z) { v[0] = x, v[1] = y, v[2] = z; }

void printMatrix(const char* title, const double m[16]) {
  std::printf("%s\n", title ? title : "");
  for (int r = 0; r < 4; ++r)
    std::printf(" [ %f %f %f %f ]\n", m[r], m[4 + r], m[8 + r], m[12 + r]);
  std::printf("\n");
}

void accum_segment(double lower, double upper, const double a[3], const double b[3], double box_min[3],
                   double box_max[3]) {
  const float lo = static_cast<float>(lower), hi = static_cast<float>(upper);
  const float ya = static_cast<float>(a[1]), yb = static_cast<float>(b[1]);
  auto inside = [&](float y) { return y >= lo && y <= hi; };
  if (ya == yb) {
    if (inside(ya)) add_to_box(a, box_min, box_max), add_to_box(b, box_min, box_max);
    return;
  }
  if (inside(ya)) add_to_box(a, box_min, box_max);
  if (inside(yb)) add_to_box(b, box_min, box_max);
  for (float bound : {lo, hi}) {
    if ((ya - bound) * (yb - bound) >= 0) continue;
    const float t = (bound - ya) / (yb - ya);
    double p[3];
    for (int k = 0; k < 3; ++k) p[k] = static_cast<float>(a[k] + t * (b[k] - a[k]));
    p[1] = bound;
    add_to_box(p, box_min, box_max);
  }
}

// ---- The camera ---------------------------------------------------------------------------

xcam_class::xcam_class()
    : ortho(1), near_value(0), far_value(0), fake_far_value(0), plane_top{}, plane_left{}, plane_right{},
      plane_bottom{}, top(0), left(0), right(0), bottom(0), matrices_changed(1), read_modelview(1) {
  setIdentityMatrix(projection);
  setIdentityMatrix(modelview);
}

xcam_class::xcam_class(const xcam_class* other) : xcam_class() {
  if (other) *this = *other;
}

void xcam_class::SetupOrtho(double l, double r, double b, double t, double n, double f) {
  ortho = 1;
  buildOrthoMatrix(projection, l, r, b, t, n, f);
  left = l, right = r, bottom = b, top = t;
  near_value = -n;
  far_value = fake_far_value = -f;
  matrices_changed = 1;
}

void xcam_class::SetupFrustum(double l, double r, double b, double t, double n, double f) {
  ortho = 0;
  auto middle_tenth = [](double& lo, double& hi) {
    const double a = lo + 0.45 * (hi - lo), b = lo + 0.55 * (hi - lo);
    lo = a, hi = b;
  };
  double pl = l, pr = r, pb = b, pt = t;
  if (gKillClip.value != 0) middle_tenth(pl, pr), middle_tenth(pb, pt);
  buildFrustumMatrix(projection, pl, pr, pb, pt, n, f);
  double cl = l, cr = r, cb = b, ct = t;
  if (gKillCull.value != 0) middle_tenth(cl, cr), middle_tenth(cb, ct);
  const double lt[3] = {cl, ct, -n}, rt[3] = {cr, ct, -n}, rb[3] = {cr, cb, -n}, lb[3] = {cl, cb, -n};
  cross(lt, rt, plane_top);
  cross(rt, rb, plane_right);
  cross(rb, lb, plane_bottom);
  cross(lb, lt, plane_left);
  for (double* p : {plane_top, plane_right, plane_bottom, plane_left}) normalize(p);
  near_value = n;
  far_value = fake_far_value = -f;
  matrices_changed = 1;
}

void xcam_class::SetupPerspective(double fov, double aspect, double n, double f) {
  const double h = std::tan(pi * fov / 360.0) * n;
  SetupFrustum(-h * aspect, h * aspect, -h, h, n, f);
}

void xcam_class::Identity() {
  setIdentityMatrix(modelview);
  matrices_changed = 1;
}

void xcam_class::Translate(double x, double y, double z) {
  applyTranslation(modelview, x, y, z);
  matrices_changed = 1;
}

void xcam_class::Rotate(double angle, double x, double y, double z) {
  applyRotation(modelview, angle, x, y, z);
  matrices_changed = 1;
}

void xcam_class::LookAtPtFromPt(double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                                double uy, double uz) {
  buildLookAtMatrix(modelview, ex, ey, ez, cx, cy, cz, ux, uy, uz);
  matrices_changed = 1;
}

void xcam_class::LookAtPtFromDir(double cx, double cy, double cz, double heading, double pitch, double distance) {
  const double h = heading * pi / 180.0, p = pitch * pi / 180.0;
  LookAtPtFromPt(cx + distance * std::cos(p) * std::cos(h), cy + distance * std::sin(p),
                 cz + distance * std::cos(p) * std::sin(h), cx, cy, cz, 0, 1, 0);
}

void xcam_class::SetFakeFarClippingPlane(double distance) {
  // The culling distance never goes past the real far plane.
  fake_far_value = static_cast<float>(-distance) > static_cast<float>(far_value) ? -distance : far_value;
}

void xcam_class::ResetFakeFarClippingPlane() { fake_far_value = far_value; }

void xcam_class::LookAtCamera(const xcam_class& other, const double dir[3], double distance, double& near_out,
                              double& far_out) {
  double inv_view[16], inv_proj[16];
  if (!invertMatrix(inv_view, other.modelview) || !invertMatrix(inv_proj, other.projection)) return;
  const double origin[3] = {0, 0, 0};
  double eye[3];
  project(inv_view, origin, eye);
  // Looking straight up or down, "up" (0, 1, 0) lies along the view and the look-at would
  // collapse every x to 0; any horizontal up does then.
  const bool vertical = std::fabs(dir[0]) < 1e-9 && std::fabs(dir[2]) < 1e-9;
  buildLookAtMatrix(modelview, eye[0] - distance * dir[0], eye[1] - distance * dir[1], eye[2] - distance * dir[2],
                    eye[0], eye[1], eye[2], 0, vertical ? 0 : 1, vertical ? 1 : 0);
  double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
  for (int corner = 0; corner < 8; ++corner) {
    const double clip[3] = {corner & 1 ? 1.0 : -1.0, corner & 2 ? 1.0 : -1.0, corner & 4 ? 1.0 : -1.0};
    double view[3], world[3], mine[3];
    project(inv_proj, clip, view);
    project(inv_view, view, world);
    project(modelview, world, mine);
    add_to_box(mine, lo, hi);
  }
  const double extra = gExtraNear.value;
  ortho = 1;
  buildOrthoMatrix(projection, lo[0], hi[0], lo[1], hi[1], -(hi[2] + extra), -lo[2]);
  left = lo[0], right = hi[0], bottom = lo[1], top = hi[1];
  near_value = hi[2] + extra;
  far_value = fake_far_value = lo[2];
  near_out = -(hi[2] + extra);
  far_out = -lo[2];
}

bool xcam_class::GetFrustumBounds(double cut, double lower, double upper, double box_min[3], double box_max[3]) {
  for (int k = 0; k < 3; ++k) box_min[k] = 9900000000.0, box_max[k] = -9900000000.0;
  double inv_view[16];
  if (!invertMatrix(inv_view, modelview)) return false;
  double corners[8][3];
  if (ortho) {
    const double z_near = near_value, z_far = std::max(-cut, far_value);
    for (int c = 0; c < 8; ++c) {
      const double eye_point[3] = {c & 1 ? right : left, c & 2 ? top : bottom, c & 4 ? z_far : z_near};
      project(inv_view, eye_point, corners[c]);
    }
  } else {
    double inv_proj[16];
    if (!invertMatrix(inv_proj, projection)) return false;
    for (int c = 0; c < 8; ++c) {
      const double clip[3] = {c & 1 ? 1.0 : -1.0, c & 2 ? 1.0 : -1.0, c & 4 ? 1.0 : -1.0};
      double eye_point[3];
      project(inv_proj, clip, eye_point);
      const double depth = -eye_point[2];
      if (depth > cut && depth > 0)
        for (double& v : eye_point) v *= cut / depth;  // pulled back along its ray to the cut
      project(inv_view, eye_point, corners[c]);
    }
  }
  // The twelve edges join corners that differ in one of the three bits.
  for (int c = 0; c < 8; ++c)
    for (int bit : {1, 2, 4})
      if (!(c & bit)) accum_segment(lower, upper, corners[c], corners[c | bit], box_min, box_max);
  return box_min[0] <= box_max[0];
}

int xcam_class::GetFOVHalfCosines(float* x, float* y) const {
  if (ortho) return 0;
  *x = static_cast<float>((plane_left[0] - plane_right[0]) / 2);
  *y = static_cast<float>((plane_bottom[1] - plane_top[1]) / 2);
  return 1;
}

void xcam_class::read_modelview_if_asked() {
  if (!read_modelview) return;
  read_modelview = 0;
  matrices_changed = 1;
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
}

void xcam_class::CalcUp(double up[3]) {
  read_modelview_if_asked();
  vec3_assign(up, modelview[1], modelview[5], modelview[9]);
  normalize(up);
}

void xcam_class::CalcDirection(double dir[3]) {
  read_modelview_if_asked();
  vec3_assign(dir, -modelview[2], -modelview[6], -modelview[10]);
  normalize(dir);
}

void xcam_class::CalcRight(double right_out[3]) {
  double dir[3], up[3];
  CalcDirection(dir);
  CalcUp(up);
  cross(dir, up, right_out);
}

void xcam_class::CalcBillboardGround(float right_out[3], float up_out[3]) {
  double dir[3], r[3], u[3];
  const double world_up[3] = {0, 1, 0};
  CalcDirection(dir);
  cross(dir, world_up, r);  // horizontal, and across the view
  normalize(r);
  cross(r, dir, u);
  normalize(u);
  for (int k = 0; k < 3; ++k) right_out[k] = static_cast<float>(r[k]), up_out[k] = static_cast<float>(u[k]);
}

void xcam_class::CalcBillboardCamera(float right_out[3], float up_out[3]) {
  double dir[3], up[3], r[3];
  CalcDirection(dir);
  CalcUp(up);
  cross(dir, up, r);
  normalize(r);
  for (int k = 0; k < 3; ++k) right_out[k] = static_cast<float>(r[k]), up_out[k] = static_cast<float>(up[k]);
}

void xcam_class::mtr_to_pix(double x, double y, double z, float* screen_x, float* screen_y) {
  double mvp[16];
  multMatrices(mvp, projection, modelview);
  const double in[3] = {x, y, z};
  double ndc[3];
  project(mvp, in, ndc);
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const double scale = mnw.pix_per_unit != 0 ? mnw.pix_per_unit : 1.0;
  *screen_x = static_cast<float>(((ndc[0] + 1) / 2 * viewport[2] + viewport[0] - mnw.origin_x) / scale);
  *screen_y = static_cast<float>(((ndc[1] + 1) / 2 * viewport[3] + viewport[1] - mnw.origin_y) / scale);
}

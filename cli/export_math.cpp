#include "cli/export_math.h"

#include <cmath>
#include <cstddef>

namespace vexmara::cli {
namespace {

// The rotation matrix of a unit quaternion, rows of three.
std::array<std::array<double, 3>, 3> RotationOf(const Quat& q) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  return {{{1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * w * z, 2 * x * z + 2 * w * y},
           {2 * x * y + 2 * w * z, 1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * w * x},
           {2 * x * z - 2 * w * y, 2 * y * z + 2 * w * x, 1 - 2 * x * x - 2 * y * y}}};
}

}  // namespace

Quat QuatMultiply(const Quat& a, const Quat& b) {
  const float ax = a[0], ay = a[1], az = a[2], aw = a[3];
  const float bx = b[0], by = b[1], bz = b[2], bw = b[3];
  return {aw * bx + ax * bw + ay * bz - az * by, aw * by + ay * bw + az * bx - ax * bz,
          aw * bz + az * bw + ax * by - ay * bx, aw * bw - ax * bx - ay * by - az * bz};
}

Quat QuatNormalize(const Quat& q) {
  const double length = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] +
                                  double(q[3]) * q[3]);
  if (!std::isfinite(length) || length < 1e-12) return {0, 0, 0, 1};
  return {float(q[0] / length), float(q[1] / length), float(q[2] / length), float(q[3] / length)};
}

Vec3 QuatRotate(const Quat& q, const Vec3& v) {
  const auto r = RotationOf(q);
  Vec3 out{};
  for (size_t row = 0; row < 3; ++row) out[row] = float(r[row][0] * v[0] + r[row][1] * v[1] + r[row][2] * v[2]);
  return out;
}

Matrix ComposeMatrix(const Vec3& t, const Quat& q, const Vec3& s) {
  const auto r = RotationOf(q);
  Matrix m{};
  for (size_t row = 0; row < 3; ++row) {
    for (size_t column = 0; column < 3; ++column) m[row * 4 + column] = r[row][column] * s[column];
    m[row * 4 + 3] = t[row];
  }
  m[15] = 1;
  return m;
}

Matrix IdentityMatrix() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Matrix MultiplyMatrices(const Matrix& a, const Matrix& b) {
  Matrix out{};
  for (size_t row = 0; row < 4; ++row) {
    for (size_t column = 0; column < 4; ++column) {
      double sum = 0;
      for (size_t k = 0; k < 4; ++k) sum += a[row * 4 + k] * b[k * 4 + column];
      out[row * 4 + column] = sum;
    }
  }
  return out;
}

bool InvertAffine(const Matrix& m, Matrix* out) {
  const double a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9], i = m[10];
  const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  if (!std::isfinite(det) || std::fabs(det) < 1e-30) return false;
  const double r = 1 / det;
  Matrix inv{};
  inv[0] = (e * i - f * h) * r;
  inv[1] = (c * h - b * i) * r;
  inv[2] = (b * f - c * e) * r;
  inv[4] = (f * g - d * i) * r;
  inv[5] = (a * i - c * g) * r;
  inv[6] = (c * d - a * f) * r;
  inv[8] = (d * h - e * g) * r;
  inv[9] = (b * g - a * h) * r;
  inv[10] = (a * e - b * d) * r;
  for (size_t row = 0; row < 3; ++row) {
    inv[row * 4 + 3] = -(inv[row * 4 + 0] * m[3] + inv[row * 4 + 1] * m[7] + inv[row * 4 + 2] * m[11]);
  }
  inv[15] = 1;
  *out = inv;
  return true;
}

}  // namespace vexmara::cli

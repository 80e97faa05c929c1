#include "cli/gltf/math.h"

#include <cmath>
#include <cstddef>

#include "math/matrix.h"
#include "math/quaternion.h"

namespace vexmara::cli {

Quat QuatMultiply(const Quat& a, const Quat& b) {
  Quat out{};
  MultiplyQuaternions(a.data(), b.data(), out.data());
  return out;
}

Quat QuatNormalize(const Quat& q) {
  const double length = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] +
                                  double(q[3]) * q[3]);
  if (!std::isfinite(length) || length < 1e-12) return {0, 0, 0, 1};
  return {float(q[0] / length), float(q[1] / length), float(q[2] / length), float(q[3] / length)};
}

Vec3 QuatRotate(const Quat& q, const Vec3& v) { return Rotate(RotationMatrix(q), v); }

Matrix RotationMatrix(const Quat& q) {
  Matrix r{};
  QuaternionToMatrix(q.data(), r.data());
  return r;
}

Vec3 Rotate(const Matrix& r, const Vec3& v) {
  Vec3 out{};
  for (size_t row = 0; row < 3; ++row)
    out[row] = r[row * 4] * v[0] + r[row * 4 + 1] * v[1] + r[row * 4 + 2] * v[2];
  return out;
}

Matrix ComposeMatrix(const Vec3& t, const Quat& q, const Vec3& s) {
  Matrix m{};
  QuaternionToMatrix(q.data(), m.data());
  for (size_t row = 0; row < 3; ++row) {
    for (size_t column = 0; column < 3; ++column) m[row * 4 + column] *= s[column];
    m[row * 4 + 3] = t[row];
  }
  return m;
}

Matrix IdentityMatrix() {
  Matrix m{};
  for (size_t k = 0; k < 16; ++k) m[k] = kIdentityMatrix[k];
  return m;
}

Matrix MultiplyMatrices(const Matrix& a, const Matrix& b) {
  Matrix out{};
  MultiplyAffine(out.data(), a.data(), b.data());
  return out;
}

bool InvertAffine(const Matrix& m, Matrix* out) {
  // A linear part too close to singular, or a non-finite one, has no inverse worth writing: its
  // elements would overflow or carry NaN into the file.
  const float det = MatrixDeterminant(m.data());
  if (!std::isfinite(det) || std::fabs(det) < 1e-30f) return false;
  Matrix inverse{};
  InvertMatrix(m.data(), inverse.data());
  // The inverse of an affine matrix is affine; the general inverse's last row can come out a
  // rounding error away from 0, 0, 0, 1, which glTF readers (and the validator) refuse.
  inverse[12] = inverse[13] = inverse[14] = 0;
  inverse[15] = 1;
  for (const float element : inverse) {
    if (!std::isfinite(element)) return false;
  }
  *out = inverse;
  return true;
}

}  // namespace vexmara::cli

// Double-precision reference arithmetic and matrix generators for the decomposition tests.
#pragma once

#include <array>
#include <cmath>
#include <random>

#include "transform/affine_decomposition.h"

namespace vexmara::affine_test {

using M3 = std::array<std::array<double, 3>, 3>;

inline M3 Identity3() { return M3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}; }

inline M3 Mul(const M3& a, const M3& b) {
  M3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
  return r;
}

inline M3 Transpose(const M3& a) {
  M3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = a[j][i];
  return r;
}

inline double Det(const M3& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

inline double MaxAbs(const M3& m) {
  double r = 0;
  for (const auto& row : m)
    for (double v : row) r = std::fmax(r, std::fabs(v));
  return r;
}

inline double MaxAbsDiff(const M3& a, const M3& b) {
  double r = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r = std::fmax(r, std::fabs(a[i][j] - b[i][j]));
  return r;
}

// Rotation matrix of a quaternion (x, y, z, w), taken as given.
inline M3 QuatToM3(double x, double y, double z, double w) {
  return M3{{{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
             {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
             {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}}};
}
inline M3 QuatToM3(const float q[4]) { return QuatToM3(q[0], q[1], q[2], q[3]); }
inline M3 QuatToM3(const affine::Quat& q) { return QuatToM3(q.x, q.y, q.z, q.w); }

inline double Length(const float q[4]) {
  return std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] +
                   double(q[3]) * q[3]);
}
inline double Length(const affine::Quat& q) {
  const float a[4] = {q.x, q.y, q.z, q.w};
  return Length(a);
}

inline M3 Diag(double a, double b, double c) { return M3{{{a, 0, 0}, {0, b, 0}, {0, 0, c}}}; }

// Upper-left 3×3 of a 16-float matrix, and back (with the given translation).
inline M3 Upper3(const float m[16]) {
  M3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = m[i * 4 + j];
  return r;
}
inline M3 Upper3(const affine::Matrix& m) {
  M3 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = m.m[i][j];
  return r;
}

struct Affine16 {
  float m[16];
};

inline Affine16 ToAffine16(const M3& a, double tx = 0, double ty = 0, double tz = 0) {
  Affine16 r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i * 4 + j] = static_cast<float>(a[i][j]);
  r.m[3] = static_cast<float>(tx);
  r.m[7] = static_cast<float>(ty);
  r.m[11] = static_cast<float>(tz);
  r.m[15] = 1.0f;
  return r;
}

inline affine::Matrix ToMatrix(const M3& a) {
  affine::Matrix r = affine::kIdentity;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = static_cast<float>(a[i][j]);
  return r;
}

// F·R·U·K·Uᵀ from the parts, in double.
inline M3 Recompose3(const AffineParts& p) {
  const M3 r = QuatToM3(p.rotation);
  const M3 u = QuatToM3(p.stretchRotation);
  const M3 k = Diag(p.scale[0], p.scale[1], p.scale[2]);
  M3 m = Mul(Mul(Mul(r, u), k), Transpose(u));
  for (auto& row : m)
    for (double& v : row) v *= p.determinantSign;
  return m;
}

inline bool AllFinite(const AffineParts& p) {
  for (int i = 0; i < 4; ++i)
    if (!std::isfinite(p.translation[i]) || !std::isfinite(p.rotation[i]) ||
        !std::isfinite(p.stretchRotation[i]) || !std::isfinite(p.scale[i]))
      return false;
  return std::isfinite(p.determinantSign);
}

// Uniformly distributed rotation (from a normalised four-dimensional Gaussian).
inline M3 RandomRotation(std::mt19937& rng) {
  std::normal_distribution<double> n(0.0, 1.0);
  double q[4];
  double len = 0;
  do {
    len = 0;
    for (double& c : q) {
      c = n(rng);
      len += c * c;
    }
  } while (len < 1e-6);
  len = std::sqrt(len);
  return QuatToM3(q[0] / len, q[1] / len, q[2] / len, q[3] / len);
}

// One of the 24 signed permutation matrices with determinant +1 (exact in float).
inline M3 RandomCubeRotation(std::mt19937& rng) {
  static constexpr int kPerms[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1},
                                       {0, 2, 1}, {2, 1, 0}, {1, 0, 2}};
  std::uniform_int_distribution<int> pick(0, 5);
  std::uniform_int_distribution<int> bit(0, 1);
  const int* perm = kPerms[pick(rng)];
  M3 m{};
  for (int i = 0; i < 3; ++i) m[i][perm[i]] = bit(rng) ? -1.0 : 1.0;
  if (Det(m) < 0)
    for (double& v : m[0]) v = -v;
  return m;
}

}  // namespace vexmara::affine_test

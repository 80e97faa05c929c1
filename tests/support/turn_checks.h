// Values and checks shared by the tests of the matrix math and of the scene's transforms: the
// quarter turn the axis swap applies, reference matrices made independently of the code under
// test, and float comparisons element by element.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <string>

namespace vexmara::testing {

using Matrix = std::array<float, 16>;
using Vec3 = std::array<float, 3>;
using Quat = std::array<float, 4>;

inline constexpr double kPi = 3.14159265358979323846;
inline const float kHalfRoot = static_cast<float>(std::sqrt(0.5));

// The turn (x, y, z) -> (x, z, -y) as a matrix.
inline Matrix Turn() { return {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}; }

inline Matrix Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

// Reference product in double precision, independent of the code under test.
inline Matrix Product(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += double(a[i * 4 + k]) * double(b[k * 4 + j]);
      r[i * 4 + j] = static_cast<float>(sum);
    }
  }
  return r;
}

inline Matrix Rotation(char axis, double degrees) {
  const float c = static_cast<float>(std::cos(degrees * kPi / 180));
  const float s = static_cast<float>(std::sin(degrees * kPi / 180));
  switch (axis) {
    case 'x':
      return {1, 0, 0, 0, 0, c, -s, 0, 0, s, c, 0, 0, 0, 0, 1};
    case 'y':
      return {c, 0, s, 0, 0, 1, 0, 0, -s, 0, c, 0, 0, 0, 0, 1};
    default:
      return {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  }
}

inline Matrix Translation(float x, float y, float z) {
  return {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z, 0, 0, 0, 1};
}

inline Matrix Scaling(float x, float y, float z) {
  return {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
}

inline void ExpectMatrixNear(const Matrix& actual, const Matrix& expected, float tolerance,
                             const char* what) {
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(actual[i], expected[i], tolerance) << what << ", element " << i;
  }
}

template <std::size_t N>
void ExpectNear(const std::array<float, N>& actual, const std::array<float, N>& expected,
                float tolerance, const std::string& what) {
  for (std::size_t i = 0; i < N; ++i)
    EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " [" << i << "]";
}

}  // namespace vexmara::testing

// Values and checks shared by the tests of the scene's transforms: the quarter turn the axis
// swap applies, as a matrix, and float comparisons element by element.
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

template <std::size_t N>
void ExpectNear(const std::array<float, N>& actual, const std::array<float, N>& expected, float tolerance,
                const std::string& what) {
  for (std::size_t i = 0; i < N; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " [" << i << "]";
}

}  // namespace vexmara::testing

// 4×4 float matrices: 16 floats, row-major ([row][column] = element row × 4 + column), for
// column vectors (a point p maps to M·p), with the translation in elements 3, 7 and 11. An
// affine matrix has the last row 0, 0, 0, 1.
#pragma once

namespace vexmara {

inline constexpr float kIdentityMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// result = a·b for affine matrices: the last rows are taken as 0, 0, 0, 1 (whatever they hold)
// and the result's last row is 0, 0, 0, 1. `result` may be `a` or `b`.
void MultiplyAffine(float result[16], const float a[16], const float b[16]);

// result = a·b for general 4×4 matrices: [r][c] = a[r][0]·b[0][c] + a[r][1]·b[1][c] +
// a[r][2]·b[2][c] + a[r][3]·b[3][c], summed in that order. `result` may be `a` or `b`.
void MultiplyMatrix(float result[16], const float a[16], const float b[16]);

// The determinant of `matrix` by the Laplace expansion in complementary 2×2 minors of
// columns 0-1 and 2-3, as InvertMatrix computes it.
float MatrixDeterminant(const float matrix[16]);

// inverse = the inverse of the general 4×4 `matrix`, in single precision; the identity when
// its determinant is exactly 0. `inverse` may be `matrix`.
void InvertMatrix(const float matrix[16], float inverse[16]);

}  // namespace vexmara

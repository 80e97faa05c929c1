// The quarter turn of the whole host scene, (x, y, z) -> (x, z, -y), with the rebuild of every
// host bone's local transform from its turned world matrix.
//
// Matrices are 16 floats, row-major ([row][column] = element row × 4 + column), for column
// vectors, with the translation in elements 3, 7 and 11.
#pragma once

#include "plugin/host_interface.h"

namespace vexmara {

// Turns vertices, bones and the host's scene objects; nothing when the context is null.
// Asks the host to make every bone's world matrix current first, turns the world matrices,
// derives each bone's local matrix from its parent's turned world matrix and splits that into
// the bone's translation, rotation and scale.
void SwapModelAxes(HostContext* context);

// (x, y, z) -> (x, z, -y), in place.
void SwapAxes(float vector[3]);

// matrix <- P·matrix, with P the matrix of SwapAxes: rows 0 and 3 stay, row 1 becomes the old
// row 2 and row 2 the old row 1 negated (every element's sign flips, zeros included).
void SwapMatrixAxes(float matrix[16]);

// inverse <- the inverse of the general 4×4 `matrix`, in single precision; the identity when
// its determinant is exactly 0. `inverse` may be `matrix`.
void InvertMatrix(const float matrix[16], float inverse[16]);

// The determinant of `matrix` by the Laplace expansion in complementary 2×2 minors of
// columns 0-1 and 2-3, as InvertMatrix computes it.
float MatrixDeterminant(const float matrix[16]);

// result <- a·b for general 4×4 matrices: [r][c] = a[r][0]·b[0][c] + a[r][1]·b[1][c] +
// a[r][2]·b[2][c] + a[r][3]·b[3][c], summed in that order. `result` may be `a` or `b`.
void MultiplyMatrix(float result[16], const float a[16], const float b[16]);

}  // namespace vexmara

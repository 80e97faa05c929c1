// Quaternions as four floats in the order x, y, z, w (the identity is 0, 0, 0, 1), as the model
// file, the host's bones and keys and the affine decomposition keep them.
//
// Matrices are 16 floats, row-major (element row × 4 + column), for column vectors, with the
// translation in elements 3, 7 and 11.
#pragma once

namespace vexmara {

// out = a ⊗ b, the Hamilton product: the rotation b followed by the rotation a. `out` may be
// `a` or `b`.
void MultiplyQuaternions(const float a[4], const float b[4], float out[4]);

// Rotation matrix of the quaternion (x, y, z, w), used as given (not normalised); the last row
// and column are those of the identity.
void QuaternionToMatrix(const float q[4], float out[16]);

}  // namespace vexmara

// The export's vector, quaternion and matrix arithmetic, in the value types the export passes
// around, over the plug-in's math room (the one definition of the products, the rotation matrix
// and the inverse).
//
// Quaternions are x, y, z, w. Matrices are 4 x 4 floats, row-major, for column vectors (a point
// p maps to M·p), with the translation in elements 3, 7 and 11; glTF stores them column by column.
#pragma once

#include <array>

namespace vexmara::cli {

using Vec3 = std::array<float, 3>;
using Quat = std::array<float, 4>;  // x, y, z, w
using Matrix = std::array<float, 16>;

// a ⊗ b, the Hamilton product.
Quat QuatMultiply(const Quat& a, const Quat& b);
// q / |q|; the identity for a quaternion of no length or with a non-finite component.
Quat QuatNormalize(const Quat& q);
// R(q)·v for the unit quaternion q.
Vec3 QuatRotate(const Quat& q, const Vec3& v);
// R(q), the rotation matrix of the unit quaternion q, and R·v: QuatRotate in two steps, for many
// vectors turned by one rotation.
Matrix RotationMatrix(const Quat& q);
Vec3 Rotate(const Matrix& r, const Vec3& v);

// T·R(q)·S: the matrix of a translation, a rotation by the unit quaternion q and a scale.
Matrix ComposeMatrix(const Vec3& t, const Quat& q, const Vec3& s);
Matrix IdentityMatrix();
Matrix MultiplyMatrices(const Matrix& a, const Matrix& b);
// The inverse of an affine matrix (last row 0, 0, 0, 1); false when its linear part is singular.
bool InvertAffine(const Matrix& m, Matrix* out);

}  // namespace vexmara::cli

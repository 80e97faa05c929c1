// Splitting an affine matrix into translation, rotation and scale.
//
// A = T·F·R·U·K·Uᵀ (the Shoemake–Duff polar decomposition): T is a translation, F is plus or
// minus the identity, R a rotation, U the rotation of the stretch axes and K a diagonal scale.
// The bone rebuild after the axis swap uses it to turn each bone's local matrix back into the
// translation, rotation and scale the host keeps per bone.
//
// Matrices are 16 floats, row-major ([row][column] = element row × 4 + column), for column
// vectors, with the translation in elements 3, 7 and 11. Quaternions are x, y, z, w.
//
// Everything here is a pure function: nothing is allocated, no state is kept, nothing fails.
// Singular and rank-deficient matrices get a result too, and finite input never gives NaN or
// infinity. Non-finite input ends in bounded time with unspecified (possibly non-finite) parts.
#pragma once

namespace vexmara {

struct AffineParts {
  // x, y, z are column 3 of the input; w is 0.
  float translation[4] = {0, 0, 0, 0};
  // R as a quaternion: always a proper rotation. When the orthogonal factor mirrors, this is
  // the rotation of the negated factor and `determinantSign` is -1.
  float rotation[4] = {0, 0, 0, 1};
  // U as a quaternion, turned to the axis order nearest the identity.
  float stretchRotation[4] = {0, 0, 0, 1};
  // x, y, z are the stretch factors along the axes of `stretchRotation`, in the order that
  // goes with it; w is 1.
  float scale[4] = {1, 1, 1, 1};
  // +1 or -1: the sign F of the orthogonal factor's determinant (+1 for singular input).
  float determinantSign = 1.0f;
};

// Decomposes the upper-left 3×3 and column 3 of `matrix` (row 3 is not read).
AffineParts DecomposeAffine(const float matrix[16]);

// The steps of the decomposition, exposed for the tests. Everything below works on the
// upper-left 3×3 of a 4×4 matrix; the matrices these steps build have row 3 and column 3 equal
// to those of the identity.
namespace affine {

struct Matrix {
  float m[4][4];
};

struct Quat {
  float x, y, z, w;
};

inline constexpr Matrix kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

// Largest absolute column sum / largest absolute row sum of the 3×3.
float NormOne(const Matrix& m);
float NormInf(const Matrix& m);

// Transpose of the adjugate (determinant times inverse transpose): rows are row1×row2,
// row2×row0 and row0×row1.
Matrix AdjointTranspose(const Matrix& m);

// qL·qR (rotate by qR, then by qL; MultiplyQuaternions on this record) and the conjugate.
Quat QuatMultiply(const Quat& left, const Quat& right);
Quat QuatConjugate(const Quat& q);

// Quaternion of a rotation matrix (for column vectors).
Quat QuatFromMatrix(const Matrix& m);

// Proper orthogonal factor of a matrix of rank one or less, and of rank two or less given its
// adjoint transpose; both built from Householder reflections. The zero matrix gives the
// identity.
Matrix RankOnePolar(const Matrix& m);
Matrix RankTwoPolar(const Matrix& m, const Matrix& adjointTranspose);

// a = q·s with q orthogonal and s symmetric positive semi-definite. Returns the last
// determinant of the iteration (its sign is the sign of det q), or 0 when the matrix is
// rank-deficient.
float PolarDecompose(const Matrix& a, Matrix& q, Matrix& s);

// s = u·diag(k)·uᵀ for a symmetric s (cyclic Jacobi): u a rotation, k the eigenvalues with
// k[3] = 1.
void SpectralDecompose(const Matrix& s, float k[4], Matrix& u);

// The rotation p, made of an axis permutation (and a free turn in the plane of equal factors),
// that brings q·p as near the identity as possible. Reorders k[0..2] to go with q·p.
Quat Snuggle(Quat q, float k[4]);

}  // namespace affine
}  // namespace vexmara

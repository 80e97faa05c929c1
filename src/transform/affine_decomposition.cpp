#include "transform/affine_decomposition.h"

#include <cfloat>
#include <cmath>

#include "math/quaternion.h"

namespace vexmara {
namespace affine {
namespace {

// The polar iteration stops once an update changes the matrix by at most this fraction of its
// one-norm.
constexpr double kPolarTolerance = 1.0e-6;
// The scaled Newton iteration converges quadratically and needs about ten steps even for the
// worst conditioned float matrix; the limit only guards against a last-bit oscillation around
// the tolerance, which would otherwise never end.
constexpr int kPolarIterationLimit = 64;
constexpr int kJacobiSweeps = 20;
// A matrix counts as of rank one when its adjoint transpose is below this fraction of its
// squared size, i.e. when its second singular value is below about 2^-12 of its first. The
// cofactors of such a matrix are mostly rounding error in float: Newton's step and the
// rank-two reflector would be steered by that noise, leaving an error of order
// 2^-24·σ1/σ2 (up to the whole matrix). The reflections of the rank-one case keep the error of
// order σ2 instead; the threshold balances the two at about 2^-12 of the matrix's size.
constexpr double kRankOneThreshold = 1.0 / 4096.0;
constexpr double kSqrtHalf = 0.7071067811865476;

// Power-of-two exponents outside of which a matrix is rescaled before its products are formed.
// Rescaling by a power of two is exact, and every step that rescales is invariant under a
// uniform scale, so in-range input computes exactly as it would unscaled.
constexpr int kPolarRangeExponent = 20;      // Mk: cofactors and determinant stay normal floats
constexpr int kReflectorRangeExponent = 40;  // Householder vectors: squared length stays normal
constexpr int kInputRangeExponent = 64;      // the input: S = Mk·A cannot overflow

constexpr int kX = 0;
constexpr int kY = 1;
constexpr int kZ = 2;
constexpr int kW = 3;

float Dot3(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross3(const float* a, const float* b, float* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

float NormOf(const Matrix& m, bool columns) {
  float largest = 0.0f;
  for (int i = 0; i < 3; ++i) {
    const float sum = columns ? std::fabs(m.m[0][i]) + std::fabs(m.m[1][i]) + std::fabs(m.m[2][i])
                              : std::fabs(m.m[i][0]) + std::fabs(m.m[i][1]) + std::fabs(m.m[i][2]);
    if (largest < sum) largest = sum;
  }
  return largest;
}

void Pad(Matrix& m) {
  m.m[kW][kX] = m.m[kX][kW] = 0.0f;
  m.m[kW][kY] = m.m[kY][kW] = 0.0f;
  m.m[kW][kZ] = m.m[kZ][kW] = 0.0f;
  m.m[kW][kW] = 1.0f;
}

float MaxAbs(const float* values, int count) {
  float largest = 0.0f;
  for (int i = 0; i < count; ++i) {
    const float a = std::fabs(values[i]);
    if (a > largest) largest = a;
  }
  return largest;
}

float MaxAbs3x3(const Matrix& m) {
  float largest = 0.0f;
  for (int i = 0; i < 3; ++i) {
    const float row = MaxAbs(m.m[i], 3);
    if (row > largest) largest = row;
  }
  return largest;
}

// The power of two by which values with largest magnitude `largest` are divided to bring that
// magnitude into [0.5, 1), or 0 when it already lies within 2^±limit (or is zero or not finite).
int RangeExponent(float largest, int limit) {
  if (!(largest > 0.0f) || !std::isfinite(largest)) return 0;
  if (largest <= std::ldexp(1.0f, limit) && largest >= std::ldexp(1.0f, -limit)) return 0;
  int exponent = 0;
  std::frexp(largest, &exponent);
  return exponent;
}

void Scale3x3(Matrix& m, int exponent) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.m[i][j] = std::ldexp(m.m[i][j], -exponent);
}

bool Finite3x3(const Matrix& m) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (!std::isfinite(m.m[i][j])) return false;
  return true;
}

// Column of the entry with the largest magnitude (the first such in row-major order), or -1
// when every entry is zero.
int FindMaxColumn(const Matrix& m) {
  float largest = 0.0f;
  int column = -1;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const float a = std::fabs(m.m[i][j]);
      if (a > largest) {
        largest = a;
        column = j;
      }
    }
  return column;
}

// u (with |u|² = 2) for the Householder reflection I − u·uᵀ that takes v onto the z axis.
// The reflection depends only on v's direction, so v is brought into a safe range first. The
// zero vector gives u = 0, the identity.
void MakeReflector(const float v[3], float u[3]) {
  float w[3] = {v[0], v[1], v[2]};
  const int exponent = RangeExponent(MaxAbs(w, 3), kReflectorRangeExponent);
  for (float& c : w) c = std::ldexp(c, -exponent);
  const float length = std::sqrt(Dot3(w, w));
  u[0] = w[0];
  u[1] = w[1];
  u[2] = w[2] + ((w[2] < 0.0f) ? -length : length);
  const float squared = Dot3(u, u);
  if (squared == 0.0f) {
    u[0] = u[1] = u[2] = 0.0f;
    return;
  }
  const float s = static_cast<float>(std::sqrt(2.0 / squared));
  u[0] *= s;
  u[1] *= s;
  u[2] *= s;
}

// m ← H·m: the reflection applied to each column vector of m.
void ReflectColumns(Matrix& m, const float u[3]) {
  for (int i = 0; i < 3; ++i) {
    const float s = u[0] * m.m[0][i] + u[1] * m.m[1][i] + u[2] * m.m[2][i];
    for (int j = 0; j < 3; ++j) m.m[j][i] -= u[j] * s;
  }
}

// m ← m·H: the reflection applied to each row vector of m.
void ReflectRows(Matrix& m, const float u[3]) {
  for (int i = 0; i < 3; ++i) {
    const float s = Dot3(u, m.m[i]);
    for (int j = 0; j < 3; ++j) m.m[i][j] -= u[j] * s;
  }
}

// True when the cofactors are negligible against the matrix (see kRankOneThreshold).
bool RankAtMostOne(const Matrix& m, const Matrix& adjointTranspose) {
  const double size = MaxAbs3x3(m);
  return static_cast<double>(MaxAbs3x3(adjointTranspose)) <= kRankOneThreshold * size * size;
}

// (c, s) / |(c, s)|; false when both are zero.
bool NormalisePair(float& c, float& s) {
  const float pair[2] = {c, s};
  const int exponent = RangeExponent(MaxAbs(pair, 2), kReflectorRangeExponent);
  c = std::ldexp(c, -exponent);
  s = std::ldexp(s, -exponent);
  const float d = static_cast<float>(std::sqrt(static_cast<double>(c * c + s * s)));
  if (!(d > 0.0f)) return false;
  c /= d;
  s /= d;
  return true;
}

Quat MakeQuat(float x, float y, float z, float w) { return Quat{x, y, z, w}; }

Quat ScaleQuat(const Quat& q, float f) { return Quat{q.x * f, q.y * f, q.z * f, q.w * f}; }

// a[3] is the scratch slot, as in the four-element arrays of Snuggle.
void SwapAxes(float a[4], int i, int j) {
  a[3] = a[i];
  a[i] = a[j];
  a[j] = a[3];
}

// forward: (a0, a1, a2) ← (a1, a2, a0); otherwise (a0, a1, a2) ← (a2, a0, a1).
void CycleAxes(float a[4], bool forward) {
  if (forward) {
    a[3] = a[0];
    a[0] = a[1];
    a[1] = a[2];
    a[2] = a[3];
  } else {
    a[3] = a[2];
    a[2] = a[1];
    a[1] = a[0];
    a[0] = a[3];
  }
}

float WithSign(bool negative, float v) { return negative ? -v : v; }

// ldexp that stays finite: a scale factor beyond the float range becomes ±FLT_MAX.
float SaturatingLdexp(float value, int exponent) {
  const float r = std::ldexp(value, exponent);
  if (std::isinf(r) && std::isfinite(value)) return std::copysign(FLT_MAX, value);
  return r;
}

}  // namespace

float NormOne(const Matrix& m) { return NormOf(m, true); }

float NormInf(const Matrix& m) { return NormOf(m, false); }

Matrix AdjointTranspose(const Matrix& m) {
  Matrix out = kIdentity;
  Cross3(m.m[1], m.m[2], out.m[0]);
  Cross3(m.m[2], m.m[0], out.m[1]);
  Cross3(m.m[0], m.m[1], out.m[2]);
  return out;
}

Quat QuatMultiply(const Quat& l, const Quat& r) {
  const float left[4] = {l.x, l.y, l.z, l.w};
  const float right[4] = {r.x, r.y, r.z, r.w};
  float product[4];
  MultiplyQuaternions(left, right, product);
  return Quat{product[0], product[1], product[2], product[3]};
}

Quat QuatConjugate(const Quat& q) { return Quat{-q.x, -q.y, -q.z, q.w}; }

Quat QuatFromMatrix(const Matrix& m) {
  // Divides by a large component only: w when the trace is non-negative (|w| ≥ 1/2 then),
  // otherwise the component of the largest diagonal element (at least 1/2 as well).
  constexpr Quat kIdentityQuat{0, 0, 0, 1};
  Quat q = kIdentityQuat;
  const float trace = m.m[kX][kX] + m.m[kY][kY] + m.m[kZ][kZ];
  if (trace >= 0.0f) {
    double s = std::sqrt(static_cast<double>(trace) + m.m[kW][kW]);
    if (!(s > 0.0)) return kIdentityQuat;  // not a rotation (row 3 is not the identity's)
    q.w = static_cast<float>(s * 0.5);
    s = 0.5 / s;
    q.x = static_cast<float>((m.m[kZ][kY] - m.m[kY][kZ]) * s);
    q.y = static_cast<float>((m.m[kX][kZ] - m.m[kZ][kX]) * s);
    q.z = static_cast<float>((m.m[kY][kX] - m.m[kX][kY]) * s);
  } else {
    int h = kX;
    if (m.m[kY][kY] > m.m[kX][kX]) h = kY;
    if (m.m[kZ][kZ] > m.m[h][h]) h = kZ;
    const int i = h;
    const int j = (h + 1) % 3;
    const int k = (h + 2) % 3;
    const float argument = (m.m[i][i] - (m.m[j][j] + m.m[k][k])) + m.m[kW][kW];
    if (!(argument > 0.0f)) return kIdentityQuat;  // not a rotation (or not finite)
    float s = std::sqrt(argument);
    float c[3];
    c[i] = s * 0.5f;
    s = 0.5f / s;
    c[j] = (m.m[i][j] + m.m[j][i]) * s;
    c[k] = (m.m[k][i] + m.m[i][k]) * s;
    q = Quat{c[0], c[1], c[2], (m.m[k][j] - m.m[j][k]) * s};
  }
  if (m.m[kW][kW] != 1.0f && m.m[kW][kW] > 0.0f)
    q = ScaleQuat(q, static_cast<float>(1.0 / std::sqrt(static_cast<double>(m.m[kW][kW]))));
  return q;
}

// The nearest plane rotation to the upper-left 2×2 block [w x; y z] of m is (c, −s; s, c) with
// (c, s) ∝ (z + w, y − x); the nearest plane reflection, for a block that mirrors, is
// (−c, s; s, c) with (c, s) ∝ (z − w, y + x). Unnormalised.
void PlaneFactorPair(const Matrix& m, bool mirrored, float& c, float& s) {
  const float w = m.m[0][0];
  const float x = m.m[0][1];
  const float y = m.m[1][0];
  const float z = m.m[1][1];
  c = mirrored ? z - w : z + w;
  s = mirrored ? y + x : y - x;
}

// Writes the block's factor into the upper-left of q, an identity. A reflection of the plane
// gets −1 in the corner the block does not reach, which keeps the whole factor a proper rotation.
void PlacePlaneFactor(float c, float s, bool mirrored, Matrix& q) {
  if (mirrored) {
    q.m[1][1] = c;
    q.m[0][0] = -c;
    q.m[0][1] = q.m[1][0] = s;
    q.m[2][2] = -1.0f;
  } else {
    q.m[0][0] = q.m[1][1] = c;
    q.m[1][0] = s;
    q.m[0][1] = -s;
  }
}

Matrix RankOnePolar(const Matrix& input) {
  Matrix q = kIdentity;
  Matrix m = input;
  const int column = FindMaxColumn(m);
  if (column < 0) return q;  // rank 0
  float v1[3] = {m.m[0][column], m.m[1][column], m.m[2][column]};
  MakeReflector(v1, v1);
  ReflectColumns(m, v1);
  float v2[3] = {m.m[2][0], m.m[2][1], m.m[2][2]};
  MakeReflector(v2, v2);
  ReflectRows(m, v2);
  // m is now zero in row 2 but for m[2][2], which holds the matrix's size; whatever the
  // matrix has besides (rounding, or a second singular value below the rank-one threshold) is
  // left in the upper-left 2×2 block. The factor carries the sign of m[2][2] in its corner and
  // the nearest plane rotation of the same determinant sign in the block, so that it stays a
  // proper rotation.
  const bool mirrored = m.m[2][2] < 0.0f;
  float c, s;
  PlaneFactorPair(m, mirrored, c, s);
  if (!NormalisePair(c, s)) {
    c = 1.0f;
    s = 0.0f;
  }
  PlacePlaneFactor(c, s, mirrored, q);
  ReflectColumns(q, v1);
  ReflectRows(q, v2);
  return q;
}

Matrix RankTwoPolar(const Matrix& input, const Matrix& adjointTranspose) {
  // With rank two the adjoint transpose has rank one; its columns lie along the left null
  // vector of the matrix.
  const int column = FindMaxColumn(adjointTranspose);
  if (column < 0 || RankAtMostOne(input, adjointTranspose)) return RankOnePolar(input);
  Matrix m = input;
  float v1[3] = {adjointTranspose.m[0][column], adjointTranspose.m[1][column],
                 adjointTranspose.m[2][column]};
  MakeReflector(v1, v1);
  ReflectColumns(m, v1);
  float v2[3];
  Cross3(m.m[0], m.m[1], v2);
  // Rows 0 and 1 parallel after the first reflection: numerically of rank one.
  if (v2[0] == 0.0f && v2[1] == 0.0f && v2[2] == 0.0f) return RankOnePolar(input);
  MakeReflector(v2, v2);
  ReflectRows(m, v2);
  // m is now zero outside its upper-left 2×2 block, whose polar factor is found directly.
  // The block mirrors when its determinant is not positive.
  const bool mirrored = !(m.m[0][0] * m.m[1][1] > m.m[0][1] * m.m[1][0]);
  float c, s;
  PlaneFactorPair(m, mirrored, c, s);
  if (!NormalisePair(c, s)) return RankOnePolar(input);
  Matrix q = kIdentity;
  PlacePlaneFactor(c, s, mirrored, q);
  ReflectColumns(q, v1);
  ReflectRows(q, v2);
  return q;
}

float PolarDecompose(const Matrix& a, Matrix& q, Matrix& s) {
  // Newton's iteration Mk ← (γ·Mk + Mk⁻ᵀ/γ)/2 on the transpose, with γ from the one- and
  // infinity-norms of Mk and its inverse (Higham and Schreiber's fast polar decomposition).
  Matrix mk = kIdentity;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) mk.m[i][j] = a.m[j][i];

  float det = 0.0f;
  for (int iteration = 1;; ++iteration) {
    // The update does not change under a uniform scale of Mk; very large or very small
    // iterates are scaled back towards 1 so that their cofactors and determinant cannot
    // overflow or underflow.
    const int exponent = RangeExponent(MaxAbs3x3(mk), kPolarRangeExponent);
    if (exponent != 0) Scale3x3(mk, exponent);
    const float mOne = NormOne(mk);
    const float mInf = NormInf(mk);

    const Matrix adjT = AdjointTranspose(mk);
    det = Dot3(mk.m[0], adjT.m[0]);
    if (det == 0.0f || RankAtMostOne(mk, adjT)) {
      det = 0.0f;
      mk = RankTwoPolar(mk, adjT);
      break;
    }
    const float adjOne = NormOne(adjT);
    const float adjInf = NormInf(adjT);
    const double ratio =
        (static_cast<double>(adjOne) * adjInf) / (static_cast<double>(mOne) * mInf);
    const float gamma =
        static_cast<float>(std::sqrt(std::sqrt(ratio) / std::fabs(static_cast<double>(det))));
    const float g1 = gamma * 0.5f;
    const float g2 = 0.5f / (gamma * det);

    Matrix next = kIdentity;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) next.m[i][j] = g1 * mk.m[i][j] + g2 * adjT.m[i][j];
    if (!std::isfinite(g1) || !std::isfinite(g2) || !Finite3x3(next)) {
      // Never take a non-finite step. With Mk rescaled as above, a finite matrix keeps γ and
      // the step within the float range (the determinant cannot be small enough against the
      // entries to push them out); this is what stops a non-finite input.
      det = 0.0f;
      mk = RankTwoPolar(mk, adjT);
      break;
    }

    Matrix change = kIdentity;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) change.m[i][j] = mk.m[i][j] - next.m[i][j];
    mk = next;
    const double changeOne = NormOne(change);
    const double nextOne = NormOne(mk);
    if (!(changeOne > nextOne * kPolarTolerance)) break;
    if (iteration >= kPolarIterationLimit) break;
  }

  q = kIdentity;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) q.m[i][j] = mk.m[j][i];

  s = kIdentity;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      s.m[i][j] = mk.m[i][0] * a.m[0][j] + mk.m[i][1] * a.m[1][j] + mk.m[i][2] * a.m[2][j];
  Pad(s);
  for (int i = 0; i < 3; ++i)
    for (int j = i; j < 3; ++j) s.m[i][j] = s.m[j][i] = 0.5f * (s.m[i][j] + s.m[j][i]);
  return det;
}

void SpectralDecompose(const Matrix& s, float k[4], Matrix& u) {
  // Cyclic Jacobi rotations (Golub and Van Loan). offDiagonal[i] is the element between the
  // two axes other than i.
  u = kIdentity;
  double diagonal[3] = {s.m[kX][kX], s.m[kY][kY], s.m[kZ][kZ]};
  double offDiagonal[3] = {s.m[kY][kZ], s.m[kZ][kX], s.m[kX][kY]};
  constexpr int kNext[3] = {kY, kZ, kX};
  for (int sweep = kJacobiSweeps; sweep > 0; --sweep) {
    const float sum = static_cast<float>(std::fabs(offDiagonal[kX]) + std::fabs(offDiagonal[kY]) +
                                         std::fabs(offDiagonal[kZ]));
    if (sum == 0.0f) break;
    for (int i = kZ; i >= kX; --i) {
      const int p = kNext[i];
      const int q = kNext[p];
      const double absOff = std::fabs(offDiagonal[i]);
      const double g = 100.0 * absOff;
      if (!(absOff > 0.0)) continue;
      const double h = diagonal[q] - diagonal[p];
      const double absH = std::fabs(h);
      double t;
      if (absH + g == absH) {
        t = offDiagonal[i] / h;
      } else {
        const double theta = 0.5 * h / offDiagonal[i];
        t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
        if (theta < 0.0) t = -t;
      }
      const double c = 1.0 / std::sqrt(t * t + 1.0);
      const double sn = t * c;
      const double tau = sn / (c + 1.0);
      const double ta = t * offDiagonal[i];
      offDiagonal[i] = 0.0;
      diagonal[p] -= ta;
      diagonal[q] += ta;
      const double offQ = offDiagonal[q];
      offDiagonal[q] -= sn * (offDiagonal[p] + tau * offDiagonal[q]);
      offDiagonal[p] += sn * (offQ - tau * offDiagonal[p]);
      for (int j = kZ; j >= kX; --j) {
        const double a = u.m[j][p];
        const double b = u.m[j][q];
        u.m[j][p] = static_cast<float>(a - sn * (b + tau * a));
        u.m[j][q] = static_cast<float>(b + sn * (a - tau * b));
      }
    }
  }
  k[kX] = static_cast<float>(diagonal[kX]);
  k[kY] = static_cast<float>(diagonal[kY]);
  k[kZ] = static_cast<float>(diagonal[kZ]);
  k[kW] = 1.0f;
}

Quat Snuggle(Quat q, float k[4]) {
  // Shoemake and Duff, Matrix Animation and Polar Decomposition (Graphics Interface 1992).
  const float half = 0.5f;
  const float rootHalf = static_cast<float>(kSqrtHalf);
  Quat p;
  float ka[4] = {k[kX], k[kY], k[kZ], 0.0f};
  int turn = -1;
  if (ka[kX] == ka[kY]) {
    turn = (ka[kX] == ka[kZ]) ? kW : kZ;
  } else {
    if (ka[kX] == ka[kZ])
      turn = kY;
    else if (ka[kY] == ka[kZ])
      turn = kX;
  }

  if (turn >= 0) {
    // Two or three equal factors: besides permuting the axes, p may turn freely in the plane
    // of the equal ones. The distinct axis is moved to z first.
    const Quat qxtoz = MakeQuat(0.0f, rootHalf, 0.0f, rootHalf);
    const Quat qytoz = MakeQuat(rootHalf, 0.0f, 0.0f, rootHalf);
    const Quat qppmm = MakeQuat(half, half, -half, -half);
    const Quat qpppp = MakeQuat(half, half, half, half);
    const Quat qmpmm = MakeQuat(-half, half, -half, -half);
    const Quat qpppm = MakeQuat(half, half, half, -half);
    const Quat q0001 = MakeQuat(0.0f, 0.0f, 0.0f, 1.0f);
    const Quat q1000 = MakeQuat(1.0f, 0.0f, 0.0f, 0.0f);
    Quat qtoz = q0001;
    switch (turn) {
      case kX:
        qtoz = qxtoz;
        q = QuatMultiply(q, qtoz);
        SwapAxes(ka, kX, kZ);
        break;
      case kY:
        qtoz = qytoz;
        q = QuatMultiply(q, qtoz);
        SwapAxes(ka, kY, kZ);
        break;
      case kZ:
        qtoz = q0001;
        break;
      default:
        // All three equal: any rotation will do, so undo q altogether.
        return QuatConjugate(q);
    }
    q = QuatConjugate(q);
    double mag[3];
    mag[0] = static_cast<double>(q.z) * q.z + static_cast<double>(q.w) * q.w - 0.5;
    mag[1] = static_cast<double>(q.x) * q.z - static_cast<double>(q.y) * q.w;
    mag[2] = static_cast<double>(q.y) * q.z + static_cast<double>(q.x) * q.w;
    bool neg[3];
    for (int i = 0; i < 3; ++i) {
      neg[i] = mag[i] < 0.0;
      if (neg[i]) mag[i] = -mag[i];
    }
    int win;
    if (mag[0] > mag[1])
      win = (mag[0] > mag[2]) ? 0 : 2;
    else
      win = (mag[1] > mag[2]) ? 1 : 2;
    switch (win) {
      case 0:
        p = neg[0] ? q1000 : q0001;
        break;
      case 1:
        p = neg[1] ? qppmm : qpppp;
        CycleAxes(ka, false);
        break;
      default:
        p = neg[2] ? qmpmm : qpppm;
        CycleAxes(ka, true);
        break;
    }
    const Quat qp = QuatMultiply(q, p);
    const double t = std::sqrt(mag[win] + 0.5);
    p = QuatMultiply(
        p, MakeQuat(0.0f, 0.0f, static_cast<float>(-qp.z / t), static_cast<float>(qp.w / t)));
    p = QuatMultiply(qtoz, QuatConjugate(p));
  } else {
    // Distinct factors: p is one of the 24 rotations of the cube, the one that maximises the
    // w of q·p. Candidates are a single component, two components times √½, or all four
    // times ½.
    float qa[4] = {q.x, q.y, q.z, q.w};
    float pa[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    bool neg[4];
    bool parity = false;
    for (int i = 0; i < 4; ++i) {
      neg[i] = qa[i] < 0.0f;
      if (neg[i]) qa[i] = -qa[i];
      parity ^= neg[i];
    }
    // The two largest components: hi the largest, lo the next.
    int lo = (qa[0] > qa[1]) ? 0 : 1;
    int hi = (qa[2] > qa[3]) ? 2 : 3;
    if (qa[lo] > qa[hi]) {
      if (qa[lo ^ 1] > qa[hi]) {
        hi = lo;
        lo ^= 1;
      } else {
        const int t = hi;
        hi = lo;
        lo = t;
      }
    } else {
      if (qa[hi ^ 1] > qa[lo]) lo = hi ^ 1;
    }
    const double all = (qa[0] + qa[1] + qa[2] + qa[3]) * 0.5;
    const double two = (qa[hi] + qa[lo]) * kSqrtHalf;
    const double big = qa[hi];
    if (all > two) {
      if (all > big) {
        for (int i = 0; i < 4; ++i) pa[i] = WithSign(neg[i], 0.5f);
        CycleAxes(ka, parity);
      } else {
        pa[hi] = WithSign(neg[hi], 1.0f);
      }
    } else {
      if (two > big) {
        pa[hi] = WithSign(neg[hi], rootHalf);
        pa[lo] = WithSign(neg[lo], rootHalf);
        if (lo > hi) {
          const int t = hi;
          hi = lo;
          lo = t;
        }
        if (hi == kW) {
          // A quarter turn about axis lo exchanges the other two axes.
          constexpr int kAfter[3] = {kY, kZ, kX};
          hi = kAfter[lo];
          lo = 3 - hi - lo;
        }
        SwapAxes(ka, hi, lo);
      } else {
        pa[hi] = WithSign(neg[hi], 1.0f);
      }
    }
    p = Quat{-pa[0], -pa[1], -pa[2], pa[3]};
  }
  k[kX] = ka[kX];
  k[kY] = ka[kY];
  k[kZ] = ka[kZ];
  return p;
}

}  // namespace affine

AffineParts DecomposeAffine(const float matrix[16]) {
  using namespace affine;
  AffineParts parts;
  parts.translation[0] = matrix[3];
  parts.translation[1] = matrix[7];
  parts.translation[2] = matrix[11];
  parts.translation[3] = 0.0f;

  Matrix a = kIdentity;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a.m[i][j] = matrix[i * 4 + j];
  // Matrices near the ends of the float range are decomposed at a power-of-two scale; only
  // the stretch factors depend on the scale, and they are scaled back at the end.
  const int exponent = RangeExponent(MaxAbs3x3(a), kInputRangeExponent);
  if (exponent != 0) Scale3x3(a, exponent);

  Matrix q;
  Matrix s;
  const float det = PolarDecompose(a, q, s);
  if (det < 0.0f) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) q.m[i][j] = -q.m[i][j];
    parts.determinantSign = -1.0f;
  } else {
    parts.determinantSign = 1.0f;
  }
  const Quat rotation = QuatFromMatrix(q);

  Matrix u;
  SpectralDecompose(s, parts.scale, u);
  Quat stretch = QuatFromMatrix(u);
  const Quat p = Snuggle(stretch, parts.scale);
  stretch = QuatMultiply(stretch, p);
  for (int i = 0; i < 3; ++i) parts.scale[i] = SaturatingLdexp(parts.scale[i], exponent);

  parts.rotation[0] = rotation.x;
  parts.rotation[1] = rotation.y;
  parts.rotation[2] = rotation.z;
  parts.rotation[3] = rotation.w;
  parts.stretchRotation[0] = stretch.x;
  parts.stretchRotation[1] = stretch.y;
  parts.stretchRotation[2] = stretch.z;
  parts.stretchRotation[3] = stretch.w;
  return parts;
}

}  // namespace vexmara

// The decomposition's documented cases and its individual steps.
#include "transform/affine_decomposition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "affine_test_support.h"

namespace vexmara {
namespace {

using affine::Matrix;
using affine::Quat;
using namespace affine_test;

constexpr float kRootHalf = 0.70710678f;

struct Vec4 {
  float x, y, z, w;
};

void ExpectNear4(const float* actual, const Vec4& expected, float tolerance, const char* what) {
  EXPECT_NEAR(actual[0], expected.x, tolerance) << what << " x";
  EXPECT_NEAR(actual[1], expected.y, tolerance) << what << " y";
  EXPECT_NEAR(actual[2], expected.z, tolerance) << what << " z";
  EXPECT_NEAR(actual[3], expected.w, tolerance) << what << " w";
}

struct DocumentedCase {
  std::string name;
  M3 upper;
  Vec4 translationIn;
  Vec4 translation;
  Vec4 rotation;
  Vec4 stretchRotation;
  Vec4 scale;
  float determinantSign;
  bool checkStretchRotation;
};

TEST(DecomposeAffine, DocumentedCasesGiveTheirParts) {
  const std::vector<DocumentedCase> cases = {
      {"identity",
       Identity3(),
       {0, 0, 0, 0},
       {0, 0, 0, 0},
       {0, 0, 0, 1},
       {0, 0, 0, 1},
       {1, 1, 1, 1},
       1.0f,
       true},
      // All three factors equal: the snuggle undoes the stretch rotation completely.
      {"uniform scale 2 with translation",
       Diag(2, 2, 2),
       {1, 2, 3, 0},
       {1, 2, 3, 0},
       {0, 0, 0, 1},
       {0, 0, 0, 1},
       {2, 2, 2, 1},
       1.0f,
       true},
      // The orthogonal factor mirrors; the rotation is that of its negation, a half turn.
      {"mirror x",
       Diag(-1, 1, 1),
       {0, 0, 0, 0},
       {0, 0, 0, 0},
       {1, 0, 0, 0},
       {0, 0, 0, 1},
       {1, 1, 1, 1},
       -1.0f,
       true},
      {"diag 1 2 3 keeps its axis order",
       Diag(1, 2, 3),
       {0, 0, 0, 0},
       {0, 0, 0, 0},
       {0, 0, 0, 1},
       {0, 0, 0, 1},
       {1, 2, 3, 1},
       1.0f,
       true},
      {"zero",
       M3{},
       {4, 5, 6, 0},
       {4, 5, 6, 0},
       {0, 0, 0, 1},
       {0, 0, 0, 1},
       {0, 0, 0, 1},
       1.0f,
       false},
      {"projection diag 1 1 0",
       Diag(1, 1, 0),
       {0, 0, 0, 0},
       {0, 0, 0, 0},
       {0, 0, 0, 1},
       {0, 0, 0, 1},
       {1, 1, 0, 1},
       1.0f,
       false},
  };
  for (const DocumentedCase& c : cases) {
    SCOPED_TRACE(c.name);
    Affine16 a = ToAffine16(c.upper, c.translationIn.x, c.translationIn.y, c.translationIn.z);
    // Row 3 is not read.
    a.m[12] = 7.0f;
    a.m[13] = -3.0f;
    a.m[15] = 0.0f;
    const AffineParts p = DecomposeAffine(a.m);
    ExpectNear4(p.translation, c.translation, 0.0f, "translation");
    ExpectNear4(p.rotation, c.rotation, 1e-6f, "rotation");
    ExpectNear4(p.scale, c.scale, 1e-6f, "scale");
    if (c.checkStretchRotation) {
      ExpectNear4(p.stretchRotation, c.stretchRotation, 1e-6f, "u");
    }
    EXPECT_EQ(p.determinantSign, c.determinantSign);
    EXPECT_NEAR(Length(p.stretchRotation), 1.0, 1e-6);
    EXPECT_LT(MaxAbsDiff(Recompose3(p), c.upper), 1e-6);
  }
}

TEST(DecomposeAffine, RotationWithScaleSeparates) {
  // A quarter turn about z after a scale (2, 3, 4).
  const M3 rz{{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
  const Affine16 a = ToAffine16(Mul(rz, Diag(2, 3, 4)), -1, 0.5, 8);
  const AffineParts p = DecomposeAffine(a.m);
  ExpectNear4(p.rotation, {0, 0, kRootHalf, kRootHalf}, 1e-6f, "rotation");
  ExpectNear4(p.scale, {2, 3, 4, 1}, 1e-5f, "scale");
  ExpectNear4(p.translation, {-1, 0.5f, 8, 0}, 0.0f, "translation");
  EXPECT_EQ(p.determinantSign, 1.0f);
}

TEST(DecomposeAffine, MirroredScaleReportsNegativeSign) {
  // Mirror in y combined with a rotation and a non-uniform scale.
  const M3 rx{{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}};
  const M3 a3 = Mul(Mul(rx, Diag(1, -1, 1)), Diag(0.5, 2, 5));
  const AffineParts p = DecomposeAffine(ToAffine16(a3).m);
  EXPECT_EQ(p.determinantSign, -1.0f);
  EXPECT_NEAR(Length(p.rotation), 1.0, 1e-6);
  EXPECT_LT(MaxAbsDiff(Recompose3(p), a3), 1e-5);
}

// Rank-deficient matrices whose non-zero part mirrors: the orthogonal factor must still come
// out as a proper rotation (a unit quaternion that recomposes the matrix) with sign +1.
TEST(DecomposeAffine, MirroredRankDeficientMatricesGiveProperRotations) {
  const M3 rz{{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}};
  const std::vector<std::pair<std::string, M3>> cases = {
      {"rank two, mirrored block", Diag(-1, 2, 0)},
      {"rank two, mirrored and turned", Mul(rz, Diag(3, -1, 0))},
      {"rank two, off-axis", M3{{{1, 2, 0}, {3, 4, 0}, {0, 0, 0}}}},
      {"rank one, negative", Diag(0, 0, -2)},
      {"rank one, negative off-diagonal", M3{{{0, 0, 0}, {0, 0, -3}, {0, 0, 0}}}},
      {"rank one, outer product", M3{{{-1, 2, 3}, {-2, 4, 6}, {1, -2, -3}}}},
  };
  for (const auto& [name, a3] : cases) {
    SCOPED_TRACE(name);
    const AffineParts p = DecomposeAffine(ToAffine16(a3).m);
    EXPECT_EQ(p.determinantSign, 1.0f);
    EXPECT_NEAR(Length(p.rotation), 1.0, 1e-6);
    EXPECT_NEAR(Length(p.stretchRotation), 1.0, 1e-6);
    EXPECT_LT(MaxAbsDiff(Recompose3(p), a3), 1e-5 * (1 + MaxAbs(a3)));
  }
}

TEST(DecomposeAffine, RepeatedFactorsTurnTheStretchRotationAway) {
  // S = V·diag(2, 2, 5)·Vᵀ with V a turn about z: only the distinct axis matters, so the
  // free turn in the plane of the equal factors takes the stretch rotation back to identity.
  const double angle = 0.7;
  const M3 v{
      {{std::cos(angle), -std::sin(angle), 0}, {std::sin(angle), std::cos(angle), 0}, {0, 0, 1}}};
  const M3 a3 = Mul(Mul(v, Diag(2, 2, 5)), Transpose(v));
  const AffineParts p = DecomposeAffine(ToAffine16(a3).m);
  EXPECT_NEAR(std::fabs(p.stretchRotation[3]), 1.0, 1e-5);
  EXPECT_LT(MaxAbsDiff(Recompose3(p), a3), 1e-5);
}

TEST(NormOneAndNormInf, TakeLargestColumnAndRowSumsOfTheUpper3x3) {
  Matrix m = {{{1, -2, 3, 100}, {-4, 5, -6, 100}, {7, -8, -9, 100}, {100, 100, 100, 100}}};
  EXPECT_EQ(affine::NormOne(m), 18.0f);  // columns 12, 15, 18
  EXPECT_EQ(affine::NormInf(m), 24.0f);  // rows 6, 15, 24
  const Matrix zero = {};
  EXPECT_EQ(affine::NormOne(zero), 0.0f);
  EXPECT_EQ(affine::NormInf(zero), 0.0f);
}

TEST(AdjointTranspose, IsDeterminantTimesInverseTranspose) {
  const Matrix d = ToMatrix(Diag(2, 3, 4));
  const Matrix dAdj = affine::AdjointTranspose(d);
  EXPECT_EQ(Upper3(dAdj), Diag(12, 8, 6));
  EXPECT_EQ(dAdj.m[3][3], 1.0f);
  EXPECT_EQ(dAdj.m[0][3], 0.0f);

  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-3, 3);
  for (int n = 0; n < 20; ++n) {
    M3 a{};
    for (auto& row : a)
      for (double& v : row) v = static_cast<float>(u(rng));
    const M3 adjT = Upper3(affine::AdjointTranspose(ToMatrix(a)));
    // aᵀ·adjT = det·I.
    const M3 product = Mul(Transpose(a), adjT);
    M3 expected = Identity3();
    for (auto& row : expected)
      for (double& v : row) v *= Det(a);
    EXPECT_LT(MaxAbsDiff(product, expected), 1e-4);
  }
}

TEST(QuatMultiply, ComposesRotationsRightFirst) {
  const Quat qz{0, 0, kRootHalf, kRootHalf};  // quarter turn about z
  const Quat qx{kRootHalf, 0, 0, kRootHalf};  // quarter turn about x
  const Quat product = affine::QuatMultiply(qz, qx);
  EXPECT_LT(MaxAbsDiff(QuatToM3(product), Mul(QuatToM3(qz), QuatToM3(qx))), 1e-6);
  const Quat back = affine::QuatMultiply(qz, affine::QuatConjugate(qz));
  EXPECT_NEAR(back.w, 1.0f, 1e-6f);
  EXPECT_NEAR(back.x, 0.0f, 1e-6f);
  EXPECT_NEAR(back.y, 0.0f, 1e-6f);
  EXPECT_NEAR(back.z, 0.0f, 1e-6f);
}

TEST(QuatFromMatrix, TakesEachBranchForItsLargestComponent) {
  struct Case {
    const char* name;
    M3 m;
    Quat expected;
  };
  const std::vector<Case> cases = {
      {"identity (trace branch)", Identity3(), {0, 0, 0, 1}},
      {"quarter turn about z (trace branch)",
       M3{{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}},
       {0, 0, kRootHalf, kRootHalf}},
      {"half turn about x", Diag(1, -1, -1), {1, 0, 0, 0}},
      {"half turn about y", Diag(-1, 1, -1), {0, 1, 0, 0}},
      {"half turn about z", Diag(-1, -1, 1), {0, 0, 1, 0}},
      {"half turn about x+y", M3{{{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}}, {kRootHalf, kRootHalf, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Quat q = affine::QuatFromMatrix(ToMatrix(c.m));
    EXPECT_NEAR(q.x, c.expected.x, 1e-6f);
    EXPECT_NEAR(q.y, c.expected.y, 1e-6f);
    EXPECT_NEAR(q.z, c.expected.z, 1e-6f);
    EXPECT_NEAR(q.w, c.expected.w, 1e-6f);
  }
}

TEST(QuatFromMatrix, RoundTripsRandomRotations) {
  std::mt19937 rng(5);
  for (int n = 0; n < 200; ++n) {
    const M3 r = RandomRotation(rng);
    const Quat q = affine::QuatFromMatrix(ToMatrix(r));
    EXPECT_NEAR(Length(q), 1.0, 1e-6);
    EXPECT_LT(MaxAbsDiff(QuatToM3(q), r), 1e-6);
  }
}

TEST(QuatFromMatrix, ScalesByTheCornerWhenItIsNotOne) {
  Matrix m = ToMatrix(Identity3());
  m.m[3][3] = 4.0f;  // trace branch: s = √(3 + 4), then everything / √4
  const Quat q = affine::QuatFromMatrix(m);
  EXPECT_NEAR(q.w, std::sqrt(7.0) * 0.5 / 2.0, 1e-6);
  EXPECT_EQ(q.x, 0.0f);
}

// The orthogonal factor Q of the rank-deficient routines: a proper rotation with Qᵀ·M
// symmetric and positive semi-definite, i.e. M = Q·(Qᵀ·M) is a polar decomposition.
void ExpectProperPolarFactor(const Matrix& q, const M3& m) {
  const M3 q3 = Upper3(q);
  EXPECT_LT(MaxAbsDiff(Mul(Transpose(q3), q3), Identity3()), 1e-6);
  EXPECT_NEAR(Det(q3), 1.0, 1e-6);
  const M3 s = Mul(Transpose(q3), m);
  const double scale = 1e-6 * (1 + MaxAbs(m));
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(s[i][j], s[j][i], scale) << i << "," << j;
  for (int i = 0; i < 3; ++i) EXPECT_GE(s[i][i], -scale);
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    EXPECT_GE(s[i][i] * s[j][j] - s[i][j] * s[j][i], -scale * (1 + MaxAbs(m)));
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(q.m[3][i], i == 3 ? 1.0f : 0.0f);
    EXPECT_EQ(q.m[i][3], i == 3 ? 1.0f : 0.0f);
  }
}

TEST(RankDeficientPolar, GivesProperPolarFactors) {
  const std::vector<std::pair<std::string, M3>> rankTwo = {
      {"diag 1 1 0", Diag(1, 1, 0)},
      {"diag -1 2 0 (mirrored block)", Diag(-1, 2, 0)},
      {"zero middle row", M3{{{1, 2, 3}, {0, 0, 0}, {4, 5, 7}}}},
      {"dependent rows", M3{{{1, 2, 3}, {4, 5, 6}, {5, 7, 9}}}},
      {"dependent rows, mirrored", M3{{{2, 1, 3}, {5, 4, 6}, {7, 5, 9}}}},
  };
  for (const auto& [name, m] : rankTwo) {
    SCOPED_TRACE(name);
    const Matrix mm = ToMatrix(m);
    ASSERT_EQ(Det(m), 0.0);
    ExpectProperPolarFactor(affine::RankTwoPolar(mm, affine::AdjointTranspose(mm)), m);
  }
  const std::vector<std::pair<std::string, M3>> rankOne = {
      {"diag 0 0 -2", Diag(0, 0, -2)},
      {"single entry", M3{{{0, 0, 0}, {0, 0, -3}, {0, 0, 0}}}},
      {"outer product", M3{{{-1, 2, 3}, {-2, 4, 6}, {1, -2, -3}}}},
      {"positive outer product", M3{{{1, 1, 0}, {1, 1, 0}, {0, 0, 0}}}},
  };
  for (const auto& [name, m] : rankOne) {
    SCOPED_TRACE(name);
    const Matrix mm = ToMatrix(m);
    ExpectProperPolarFactor(affine::RankOnePolar(mm), m);
    // The rank-two routine hands rank one (zero adjoint transpose) on.
    ExpectProperPolarFactor(affine::RankTwoPolar(mm, affine::AdjointTranspose(mm)), m);
  }
}

TEST(RankDeficientPolar, ZeroMatrixGivesIdentity) {
  const Matrix zero = {};
  const M3 r1 = Upper3(affine::RankOnePolar(zero));
  const M3 r2 = Upper3(affine::RankTwoPolar(zero, zero));
  EXPECT_EQ(r1, Identity3());
  EXPECT_EQ(r2, Identity3());
}

TEST(PolarDecompose, FactorsIntoOrthogonalAndSymmetric) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-4, 4);
  for (int n = 0; n < 50; ++n) {
    M3 a{};
    for (auto& row : a)
      for (double& v : row) v = static_cast<float>(u(rng));
    if (std::fabs(Det(a)) < 0.5) continue;
    Matrix q, s;
    const float det = affine::PolarDecompose(ToMatrix(a), q, s);
    const M3 q3 = Upper3(q);
    const M3 s3 = Upper3(s);
    EXPECT_LT(MaxAbsDiff(Mul(Transpose(q3), q3), Identity3()), 1e-5);
    EXPECT_GT(det * Det(a), 0.0) << "sign of the returned determinant";
    EXPECT_NEAR(Det(q3), Det(a) > 0 ? 1.0 : -1.0, 1e-5);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_EQ(s.m[i][j], s.m[j][i]);
    EXPECT_LT(MaxAbsDiff(Mul(q3, s3), a), 1e-4);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(s.m[3][i], i == 3 ? 1.0f : 0.0f);
      EXPECT_EQ(q.m[i][3], i == 3 ? 1.0f : 0.0f);
    }
  }
}

TEST(PolarDecompose, ReturnsZeroForRankDeficientMatrices) {
  const std::vector<M3> cases = {M3{}, Diag(1, 1, 0), Diag(0, 0, -2),
                                 M3{{{1, 2, 3}, {4, 5, 6}, {5, 7, 9}}}};
  for (const M3& a : cases) {
    Matrix q, s;
    EXPECT_EQ(affine::PolarDecompose(ToMatrix(a), q, s), 0.0f);
    EXPECT_LT(MaxAbsDiff(Mul(Upper3(q), Upper3(s)), a), 1e-5);
  }
  Matrix q, s;
  affine::PolarDecompose(Matrix{}, q, s);
  EXPECT_EQ(Upper3(q), Identity3());
  EXPECT_EQ(Upper3(s), M3{});
}

TEST(SpectralDecompose, DiagonalizesSymmetricMatrices) {
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> u(-5, 5);
  for (int n = 0; n < 100; ++n) {
    M3 s{};
    for (int i = 0; i < 3; ++i)
      for (int j = i; j < 3; ++j) s[i][j] = s[j][i] = static_cast<float>(u(rng));
    float k[4];
    Matrix uu;
    affine::SpectralDecompose(ToMatrix(s), k, uu);
    const M3 u3 = Upper3(uu);
    EXPECT_EQ(k[3], 1.0f);
    EXPECT_LT(MaxAbsDiff(Mul(Transpose(u3), u3), Identity3()), 1e-6);
    EXPECT_NEAR(Det(u3), 1.0, 1e-6);
    EXPECT_LT(MaxAbsDiff(Mul(Mul(u3, Diag(k[0], k[1], k[2])), Transpose(u3)), s), 1e-5);
  }
}

TEST(SpectralDecompose, DiagonalInputKeepsAxes) {
  float k[4];
  Matrix uu;
  affine::SpectralDecompose(ToMatrix(Diag(3, -1, 2)), k, uu);
  EXPECT_EQ(k[0], 3.0f);
  EXPECT_EQ(k[1], -1.0f);
  EXPECT_EQ(k[2], 2.0f);
  EXPECT_EQ(Upper3(uu), Identity3());
}

// Snuggle must keep U·K·Uᵀ: the permuted factors go with the turned rotation.
void ExpectSnuggleKeepsStretch(const Quat& q, const float k[3]) {
  float kk[4] = {k[0], k[1], k[2], 1.0f};
  const Quat p = affine::Snuggle(q, kk);
  EXPECT_NEAR(Length(p), 1.0, 1e-6);
  EXPECT_EQ(kk[3], 1.0f);
  std::vector<float> before(k, k + 3), after(kk, kk + 3);
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(before, after) << "the factors are only reordered";
  const M3 u = QuatToM3(q);
  const M3 up = QuatToM3(affine::QuatMultiply(q, p));
  const M3 s0 = Mul(Mul(u, Diag(k[0], k[1], k[2])), Transpose(u));
  const M3 s1 = Mul(Mul(up, Diag(kk[0], kk[1], kk[2])), Transpose(up));
  EXPECT_LT(MaxAbsDiff(s0, s1), 1e-5 * (1 + MaxAbs(s0)));
}

// All 48 unit quaternions of the rotations of the cube (each rotation twice, ±q).
std::vector<Quat> CubeGroup() {
  std::vector<Quat> g;
  auto add = [&](float a[4]) { g.push_back(Quat{a[0], a[1], a[2], a[3]}); };
  for (int i = 0; i < 4; ++i)
    for (float s : {1.0f, -1.0f}) {
      float a[4] = {0, 0, 0, 0};
      a[i] = s;
      add(a);
    }
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j)
      for (float si : {1.0f, -1.0f})
        for (float sj : {1.0f, -1.0f}) {
          float a[4] = {0, 0, 0, 0};
          a[i] = si * kRootHalf;
          a[j] = sj * kRootHalf;
          add(a);
        }
  for (int signs = 0; signs < 16; ++signs) {
    float a[4];
    for (int i = 0; i < 4; ++i) a[i] = (signs >> i & 1) ? -0.5f : 0.5f;
    add(a);
  }
  return g;
}

TEST(Snuggle, KeepsTheStretchForEveryPatternOfEqualFactors) {
  std::mt19937 rng(17);
  const std::vector<std::vector<float>> patterns = {{1, 2, 3}, {3, 2, 1}, {2, 3, 1}, {2, 2, 5},
                                                    {2, 5, 2}, {5, 2, 2}, {4, 4, 4}, {0, 0, 1}};
  for (const auto& k : patterns) {
    for (int n = 0; n < 60; ++n) {
      const Quat q = affine::QuatFromMatrix(ToMatrix(RandomRotation(rng)));
      SCOPED_TRACE(::testing::Message() << "k " << k[0] << " " << k[1] << " " << k[2]);
      ExpectSnuggleKeepsStretch(q, k.data());
    }
  }
}

TEST(Snuggle, DistinctFactorsPickTheCubeRotationNearestIdentity) {
  std::mt19937 rng(23);
  const std::vector<Quat> group = CubeGroup();
  ASSERT_EQ(group.size(), 48u);
  for (int n = 0; n < 200; ++n) {
    const Quat q = affine::QuatFromMatrix(ToMatrix(RandomRotation(rng)));
    float k[4] = {1, 2, 3, 1};
    const Quat qp = affine::QuatMultiply(q, affine::Snuggle(q, k));
    for (const Quat& g : group)
      EXPECT_LE(std::fabs(affine::QuatMultiply(q, g).w), std::fabs(qp.w) + 1e-6f);
  }
}

TEST(Snuggle, EqualFactorsUndoATurnInTheirPlane) {
  struct Case {
    const char* name;
    Quat q;
    float k[3];
  };
  const float c = std::cos(0.35f);
  const float s = std::sin(0.35f);
  const std::vector<Case> cases = {
      {"turn about z, x and y equal", {0, 0, s, c}, {2, 2, 5}},
      {"turn about x, y and z equal", {s, 0, 0, c}, {5, 2, 2}},
      {"turn about y, x and z equal", {0, s, 0, c}, {2, 5, 2}},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    float k[4] = {t.k[0], t.k[1], t.k[2], 1};
    const Quat qp = affine::QuatMultiply(t.q, affine::Snuggle(t.q, k));
    EXPECT_NEAR(std::fabs(qp.w), 1.0f, 1e-6f);
    EXPECT_EQ(k[0], t.k[0]);
    EXPECT_EQ(k[1], t.k[1]);
    EXPECT_EQ(k[2], t.k[2]);
  }
}

TEST(Snuggle, AllEqualFactorsReturnTheConjugate) {
  const Quat q{0.1f, -0.5f, 0.3f, 0.8062258f};
  float k[4] = {3, 3, 3, 1};
  const Quat p = affine::Snuggle(q, k);
  EXPECT_EQ(p.x, -q.x);
  EXPECT_EQ(p.y, -q.y);
  EXPECT_EQ(p.z, -q.z);
  EXPECT_EQ(p.w, q.w);
}

}  // namespace
}  // namespace vexmara

// Products, determinants and inverses of 4×4 matrices.
#include "math/matrix.h"

#include <gtest/gtest.h>

#include <array>

#include "turn_checks.h"

namespace vexmara {
namespace {

using namespace testing;

TEST(MultiplyAffine, ComposesAndAllowsTheResultToAliasAnOperand) {
  float a[16] = {0, -1, 0, 1, 1, 0, 0, 2,
                 0, 0,  1, 3, 9, 9, 9, 9};  // quarter turn, then move; junk last row
  float b[16] = {2, 0, 0, 5, 0, 2, 0, 0, 0, 0, 2, 0, 7, 7, 7, 7};
  float expected[16] = {0, -2, 0, 1, 2, 0, 0, 7, 0, 0, 2, 3, 0, 0, 0, 1};
  float out[16];
  MultiplyAffine(out, a, b);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(out[i], expected[i]) << i;
  MultiplyAffine(a, a, b);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(a[i], expected[i]) << i;
}

TEST(InvertMatrix, DeterminantByComplementaryMinors) {
  struct Case {
    const char* name;
    Matrix m;
    float det;
  };
  const Case cases[] = {
      {"identity", Identity(), 1},
      {"diagonal", {1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4}, 24},
      {"swap of two rows", {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, -1},
      {"general integers", {2, 0, 1, 3, 1, 3, 2, 1, 0, 1, 4, 2, 1, 2, 0, 5}, 100},
      {"full last row", {1, 2, 3, 4, 0, 1, 2, 3, 0, 0, 1, 2, 2, 0, 0, 1}, 1},
      {"the turn", Turn(), 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatrixDeterminant(c.m.data()), c.det) << c.name;
  }
}

TEST(InvertMatrix, GivesTheInverseOfGeneralMatrices) {
  struct Case {
    const char* name;
    Matrix m;
  };
  const Case cases[] = {
      {"rigid", Product(Translation(1, -2, 3), Rotation('z', 30))},
      {"scaled and turned",
       Product(Product(Translation(4, 5, 6), Rotation('x', -70)), Scaling(2, 0.5f, 3))},
      {"mirror", Product(Translation(-1, 0, 2), Scaling(-1, 1, 1))},
      {"general integers", {2, 0, 1, 3, 1, 3, 2, 1, 0, 1, 4, 2, 1, 2, 0, 5}},
      {"full last row", {1, 2, 3, 4, 0, 1, 2, 3, 0, 0, 1, 2, 2, 0, 0, 1}},
      {"the turn", Turn()},
  };
  for (const Case& c : cases) {
    Matrix inverse;
    InvertMatrix(c.m.data(), inverse.data());
    ExpectMatrixNear(Product(c.m, inverse), Identity(), 1e-5f, c.name);
    ExpectMatrixNear(Product(inverse, c.m), Identity(), 1e-5f, c.name);
  }
}

TEST(InvertMatrix, ExactInversesComeOutExactly) {
  Matrix inverse;
  const Matrix m = {2, 0, 0, 6, 0, 4, 0, -8, 0, 0, 8, 4, 0, 0, 0, 1};
  InvertMatrix(m.data(), inverse.data());
  EXPECT_EQ(inverse, (Matrix{0.5f, 0, 0, -3, 0, 0.25f, 0, 2, 0, 0, 0.125f, -0.5f, 0, 0, 0, 1}));

  // The inverse of the turn is its transpose.
  InvertMatrix(Turn().data(), inverse.data());
  EXPECT_EQ(inverse, (Matrix{1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}));
}

TEST(InvertMatrix, SingularMatricesGiveTheIdentity) {
  struct Case {
    const char* name;
    Matrix m;
  };
  const Case cases[] = {
      {"zero row", {1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 0, 0, 0, 1}},
      {"zero column", {0, 2, 3, 4, 0, 1, 7, 8, 0, 6, 7, 8, 0, 0, 0, 1}},
      {"two equal rows", {1, 2, 3, 4, 1, 2, 3, 4, 0, 1, 0, 0, 0, 0, 0, 1}},
      {"row the sum of two others", {1, 2, 0, 1, 0, 1, 3, 2, 1, 3, 3, 3, 0, 0, 0, 1}},
      {"zero 3x3 with translation", {0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0, 1}},
      {"zero", {}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(MatrixDeterminant(c.m.data()), 0.0f) << c.name;
    Matrix inverse;
    inverse.fill(99.0f);
    InvertMatrix(c.m.data(), inverse.data());
    EXPECT_EQ(inverse, Identity()) << c.name;
  }
}

TEST(InvertMatrix, TinyButNonZeroDeterminantIsStillInverted) {
  // det = 1e-30: no tolerance turns this into the identity.
  const Matrix m = Scaling(1e-10f, 1e-10f, 1e-10f);
  ASSERT_NE(MatrixDeterminant(m.data()), 0.0f);
  Matrix inverse;
  InvertMatrix(m.data(), inverse.data());
  for (int i : {0, 5, 10}) EXPECT_NEAR(inverse[i], 1e10f, 1e4f) << i;
  EXPECT_FLOAT_EQ(inverse[15], 1.0f);
}

TEST(InvertMatrix, ResultMayOverwriteItsInput) {
  Matrix m = {2, 0, 1, 3, 1, 3, 2, 1, 0, 1, 4, 2, 1, 2, 0, 5};
  const Matrix original = m;
  Matrix separate;
  InvertMatrix(original.data(), separate.data());
  InvertMatrix(m.data(), m.data());
  EXPECT_EQ(m, separate);
}

TEST(MultiplyMatrix, UsesEveryRowIncludingTheLast) {
  const Matrix a = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const Matrix b = {2, 0, 0, 1, 0, 3, 0, 0, 1, 0, 1, 0, 0, 1, 0, 2};
  Matrix r;
  MultiplyMatrix(r.data(), a.data(), b.data());
  EXPECT_EQ(r, Product(a, b));
  EXPECT_EQ(r[3], 1 + 4 * 2.0f);  // row 0 · column 3 reaches b's last row
  Matrix aliased = a;
  MultiplyMatrix(aliased.data(), aliased.data(), b.data());
  EXPECT_EQ(aliased, r);
  aliased = b;
  MultiplyMatrix(aliased.data(), a.data(), aliased.data());
  EXPECT_EQ(aliased, r);
}

}  // namespace
}  // namespace vexmara

// Quaternion products and the rotation matrix of a quaternion.
#include "math/quaternion.h"

#include <gtest/gtest.h>

#include <array>

#include "turn_checks.h"

namespace vexmara {
namespace {

using testing::Matrix;
using testing::Quat;

// The product in both orders, against rotations composed as matrices: a ⊗ b turns by b first.
TEST(MultiplyQuaternions, TurnsByTheRightOperandFirst) {
  const float h = testing::kHalfRoot;
  struct Case {
    const char* name;
    Quat a, b, product;
  };
  const Case cases[] = {
      {"z after x", {0, 0, h, h}, {h, 0, 0, h}, {0.5f, 0.5f, 0.5f, 0.5f}},
      {"x after z", {h, 0, 0, h}, {0, 0, h, h}, {0.5f, -0.5f, 0.5f, 0.5f}},
      {"identity on the left", {0, 0, 0, 1}, {0.1f, -0.2f, 0.3f, 0.9f}, {0.1f, -0.2f, 0.3f, 0.9f}},
      {"identity on the right", {-0.4f, 0.5f, 0.1f, 0.7f}, {0, 0, 0, 1}, {-0.4f, 0.5f, 0.1f, 0.7f}},
      {"turn and its conjugate", {0.6f, 0, 0.8f, 0}, {-0.6f, 0, -0.8f, 0}, {0, 0, 0, 1}},
      {"half turns about x and y", {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    Quat product;
    MultiplyQuaternions(c.a.data(), c.b.data(), product.data());
    testing::ExpectNear(product, c.product, 1e-6f, c.name);

    Matrix ra, rb, rab;
    QuaternionToMatrix(c.a.data(), ra.data());
    QuaternionToMatrix(c.b.data(), rb.data());
    QuaternionToMatrix(product.data(), rab.data());
    testing::ExpectMatrixNear(rab, testing::Product(ra, rb), 1e-5f, c.name);
  }
}

TEST(MultiplyQuaternions, ResultMayOverwriteEitherOperand) {
  const Quat a = {0.1f, 0.7f, -0.2f, 0.6f};
  const Quat b = {-0.5f, 0.3f, 0.4f, 0.2f};
  Quat separate;
  MultiplyQuaternions(a.data(), b.data(), separate.data());
  Quat left = a;
  MultiplyQuaternions(left.data(), b.data(), left.data());
  EXPECT_EQ(left, separate);
  Quat right = b;
  MultiplyQuaternions(a.data(), right.data(), right.data());
  EXPECT_EQ(right, separate);
}

TEST(QuaternionToMatrix, QuarterTurnAboutZMapsXOntoY) {
  const float q[4] = {0, 0, 0.7071068f, 0.7071068f};
  float m[16];
  QuaternionToMatrix(q, m);
  // Column 0 is the image of the x axis.
  EXPECT_NEAR(m[0], 0, 1e-6);
  EXPECT_NEAR(m[4], 1, 1e-6);
  EXPECT_NEAR(m[8], 0, 1e-6);
  EXPECT_EQ(m[3], 0);
  EXPECT_EQ(m[15], 1);
  EXPECT_EQ(m[12], 0);
}

TEST(QuaternionToMatrix, UsesTheQuaternionWithoutNormalising) {
  const float q[4] = {0, 0, 0, 2};  // not unit: only the squares of x, y, z enter the diagonal
  float m[16];
  QuaternionToMatrix(q, m);
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], identity[i]);
  const float p[4] = {1, 0, 0, 0};
  QuaternionToMatrix(p, m);
  EXPECT_EQ(m[5], -1);
  EXPECT_EQ(m[10], -1);
}

}  // namespace
}  // namespace vexmara

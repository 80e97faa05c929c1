#include "math/matrix.h"

#include <cstring>

namespace vexmara {
namespace {

// The 2×2 minors of a 4×4 matrix that the Laplace expansion pairs up: `low[rows]` are taken
// from columns 0 and 1, `high[rows]` from columns 2 and 3, for the six pairs of rows
// (0 1), (0 2), (0 3), (1 2), (1 3), (2 3).
struct Minors {
  float low[6];
  float high[6];
};

enum RowPair { k01, k02, k03, k12, k13, k23 };

Minors ComputeMinors(const float* m) {
  auto at = [m](int row, int column) { return m[row * 4 + column]; };
  Minors minors{};
  minors.low[k01] = at(0, 0) * at(1, 1) - at(0, 1) * at(1, 0);
  minors.low[k02] = at(2, 1) * at(0, 0) - at(2, 0) * at(0, 1);
  minors.low[k03] = at(3, 1) * at(0, 0) - at(3, 0) * at(0, 1);
  minors.low[k12] = at(2, 1) * at(1, 0) - at(2, 0) * at(1, 1);
  minors.low[k13] = at(3, 1) * at(1, 0) - at(3, 0) * at(1, 1);
  minors.low[k23] = at(3, 1) * at(2, 0) - at(3, 0) * at(2, 1);
  minors.high[k01] = at(0, 2) * at(1, 3) - at(0, 3) * at(1, 2);
  minors.high[k02] = at(0, 2) * at(2, 3) - at(0, 3) * at(2, 2);
  minors.high[k03] = at(0, 2) * at(3, 3) - at(0, 3) * at(3, 2);
  minors.high[k12] = at(1, 2) * at(2, 3) - at(1, 3) * at(2, 2);
  minors.high[k13] = at(1, 2) * at(3, 3) - at(1, 3) * at(3, 2);
  minors.high[k23] = at(2, 2) * at(3, 3) - at(2, 3) * at(3, 2);
  return minors;
}

// Each low minor times the high minor of the complementary rows, with the sign of the row pair.
float Determinant(const Minors& n) {
  return n.high[k23] * n.low[k01] - n.low[k02] * n.high[k13] + n.low[k03] * n.high[k12] +
         n.low[k12] * n.high[k03] - n.low[k13] * n.high[k02] + n.low[k23] * n.high[k01];
}

}  // namespace

void MultiplyAffine(float result[16], const float a[16], const float b[16]) {
  float product[16];
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      product[r * 4 + c] =
          a[r * 4 + 0] * b[0 * 4 + c] + a[r * 4 + 1] * b[1 * 4 + c] + a[r * 4 + 2] * b[2 * 4 + c];
    }
    product[r * 4 + 3] += a[r * 4 + 3];
  }
  product[12] = 0;
  product[13] = 0;
  product[14] = 0;
  product[15] = 1;
  std::memcpy(result, product, sizeof(product));
}

void MultiplyMatrix(float result[16], const float a[16], const float b[16]) {
  float product[16];
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      product[row * 4 + column] =
          a[row * 4 + 0] * b[0 * 4 + column] + a[row * 4 + 1] * b[1 * 4 + column] +
          a[row * 4 + 2] * b[2 * 4 + column] + a[row * 4 + 3] * b[3 * 4 + column];
    }
  }
  std::memcpy(result, product, sizeof(product));
}

float MatrixDeterminant(const float matrix[16]) { return Determinant(ComputeMinors(matrix)); }

void InvertMatrix(const float matrix[16], float inverse[16]) {
  const Minors n = ComputeMinors(matrix);
  const float det = Determinant(n);
  if (det == 0.0f) {
    std::memcpy(inverse, kIdentityMatrix, sizeof(kIdentityMatrix));
    return;
  }
  const float r = 1.0f / det;
  auto at = [matrix](int row, int column) { return matrix[row * 4 + column]; };
  const float* lo = n.low;
  const float* hi = n.high;
  // Element [i][j] of the inverse is the cofactor of [j][i]. Cofactors of column 0 and 1
  // elements expand along the other of those two columns against the high minors, those of
  // column 2 and 3 elements along the other of those two against the low minors.
  float result[16];
  result[0] = (at(1, 1) * hi[k23] - at(2, 1) * hi[k13] + at(3, 1) * hi[k12]) * r;
  result[1] = (-at(0, 1) * hi[k23] + at(2, 1) * hi[k03] - at(3, 1) * hi[k02]) * r;
  result[2] = (at(0, 1) * hi[k13] - at(1, 1) * hi[k03] + at(3, 1) * hi[k01]) * r;
  result[3] = (-at(0, 1) * hi[k12] + at(1, 1) * hi[k02] - at(2, 1) * hi[k01]) * r;

  result[4] = (-at(1, 0) * hi[k23] + at(2, 0) * hi[k13] - at(3, 0) * hi[k12]) * r;
  result[5] = (at(0, 0) * hi[k23] - at(2, 0) * hi[k03] + at(3, 0) * hi[k02]) * r;
  result[6] = (-at(0, 0) * hi[k13] + at(1, 0) * hi[k03] - at(3, 0) * hi[k01]) * r;
  result[7] = (at(0, 0) * hi[k12] - at(1, 0) * hi[k02] + at(2, 0) * hi[k01]) * r;

  result[8] = (at(1, 3) * lo[k23] - at(2, 3) * lo[k13] + at(3, 3) * lo[k12]) * r;
  result[9] = (-at(0, 3) * lo[k23] + at(2, 3) * lo[k03] - at(3, 3) * lo[k02]) * r;
  result[10] = (at(0, 3) * lo[k13] - at(1, 3) * lo[k03] + at(3, 3) * lo[k01]) * r;
  result[11] = (-at(0, 3) * lo[k12] + at(1, 3) * lo[k02] - at(2, 3) * lo[k01]) * r;

  result[12] = (-at(1, 2) * lo[k23] + at(2, 2) * lo[k13] - at(3, 2) * lo[k12]) * r;
  result[13] = (at(0, 2) * lo[k23] - at(2, 2) * lo[k03] + at(3, 2) * lo[k02]) * r;
  result[14] = (-at(0, 2) * lo[k13] + at(1, 2) * lo[k03] - at(3, 2) * lo[k01]) * r;
  result[15] = (at(0, 2) * lo[k12] - at(1, 2) * lo[k02] + at(2, 2) * lo[k01]) * r;
  std::memcpy(inverse, result, sizeof(result));
}

}  // namespace vexmara

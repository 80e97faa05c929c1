#include "transform/axis_swap.h"

#include <cstdint>
#include <cstring>

#include "transform/affine_decomposition.h"

namespace vexmara {
namespace {

constexpr float kIdentityMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

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

bool HasList(int32_t count, const void* items) { return count > 0 && items != nullptr; }

}  // namespace

void SwapAxes(float vector[3]) {
  const float y = vector[1];
  vector[1] = vector[2];
  vector[2] = -y;
}

void SwapMatrixAxes(float matrix[16]) {
  for (int column = 0; column < 4; ++column) {
    const float row1 = matrix[4 + column];
    matrix[4 + column] = matrix[8 + column];
    matrix[8 + column] = -row1;
  }
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

void MultiplyMatrix(float result[16], const float a[16], const float b[16]) {
  float product[16];
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      product[row * 4 + column] = a[row * 4 + 0] * b[0 * 4 + column] + a[row * 4 + 1] * b[1 * 4 + column] +
                                  a[row * 4 + 2] * b[2 * 4 + column] + a[row * 4 + 3] * b[3 * 4 + column];
    }
  }
  std::memcpy(result, product, sizeof(product));
}

void SwapModelAxes(HostContext* context) {
  if (context == nullptr) {
    return;
  }
  if (HasList(context->bones.count, context->bones.items)) {
    host::NotifyBoneTransform(context);
    // The host may have answered by replacing its list; read it again.
    const int32_t count = context->bones.count;
    HostBone* bones = context->bones.items;
    if (HasList(count, bones)) {
      for (int32_t i = 0; i < count; ++i) {
        HostBone& bone = bones[i];
        SwapMatrixAxes(bone.worldMatrix);
        std::memcpy(bone.localMatrix, kIdentityMatrix, sizeof(kIdentityMatrix));
        bone.translation[0] = bone.translation[1] = bone.translation[2] = 0.0f;
        bone.scale[0] = bone.scale[1] = bone.scale[2] = 1.0f;
        bone.rotation[0] = bone.rotation[1] = bone.rotation[2] = 0.0f;
        bone.rotation[3] = 1.0f;
      }
      // Every world matrix is turned now, so the turn cancels out of a child's local matrix.
      for (int32_t i = 0; i < count; ++i) {
        HostBone& bone = bones[i];
        const int32_t parent = bone.parentIndex;
        if (parent < 0 || parent >= count) {
          std::memcpy(bone.localMatrix, bone.worldMatrix, sizeof(bone.localMatrix));
        } else {
          float parentInverse[16];
          InvertMatrix(bones[parent].worldMatrix, parentInverse);
          MultiplyMatrix(bone.localMatrix, parentInverse, bone.worldMatrix);
        }
      }
      for (int32_t i = 0; i < count; ++i) {
        HostBone& bone = bones[i];
        float local[16];
        std::memcpy(local, bone.localMatrix, sizeof(local));
        local[12] = local[13] = local[14] = 0.0f;
        local[15] = 1.0f;
        const AffineParts parts = DecomposeAffine(local);
        for (int axis = 0; axis < 3; ++axis) {
          bone.translation[axis] = parts.translation[axis];
          bone.scale[axis] = parts.scale[axis];
        }
        for (int axis = 0; axis < 4; ++axis) {
          bone.rotation[axis] = parts.rotation[axis];
        }
        // A mirroring local matrix keeps its mirror in the scale.
        if (parts.determinantSign < 0.0f) {
          for (int axis = 0; axis < 3; ++axis) {
            bone.scale[axis] *= parts.determinantSign;
          }
        }
      }
    }
  }
  if (HasList(context->vertices.count, context->vertices.items)) {
    for (int32_t i = 0; i < context->vertices.count; ++i) {
      SwapAxes(context->vertices.items[i].position);
    }
  }
  if (HasList(context->sceneObjectsA.count, context->sceneObjectsA.items)) {
    for (int32_t i = 0; i < context->sceneObjectsA.count; ++i) {
      HostSceneObjectA& object = context->sceneObjectsA.items[i];
      SwapAxes(object.position);
      SwapMatrixAxes(object.matrix);
    }
  }
  if (HasList(context->sceneObjectsB.count, context->sceneObjectsB.items)) {
    for (int32_t i = 0; i < context->sceneObjectsB.count; ++i) {
      HostSceneObjectB& object = context->sceneObjectsB.items[i];
      SwapAxes(object.position);
      SwapMatrixAxes(object.matrix);
    }
  }
}

}  // namespace vexmara

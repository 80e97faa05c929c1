#include "transform/axis_swap.h"

#include <cstdint>
#include <cstring>

#include "math/matrix.h"
#include "transform/affine_decomposition.h"

namespace vexmara {
namespace {

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

void SwapBoneAxes(HostContext* context) {
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
}

void SwapModelAxes(HostContext* context) {
  if (context == nullptr) {
    return;
  }
  SwapBoneAxes(context);
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

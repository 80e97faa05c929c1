// What the host does when told that bone transforms are to be made current: each bone's local
// matrix is rebuilt from its translation, rotation and scale, and its world matrix is its
// parent's world matrix times its local matrix (a root's world matrix is its local matrix).
#include <cmath>
#include <vector>

#include "host/host_state.h"

namespace vexmara::host {
namespace {

// Row-major, for column vectors: element [row * 4 + column], translation in 3, 7 and 11.
void ComposeLocal(const HostBone& bone, float* out) {
  float x = bone.rotation[0];
  float y = bone.rotation[1];
  float z = bone.rotation[2];
  float w = bone.rotation[3];
  const float length = std::sqrt(x * x + y * y + z * z + w * w);
  if (length > 0.0f && std::isfinite(length)) {
    x /= length;
    y /= length;
    z /= length;
    w /= length;
  } else {
    x = y = z = 0.0f;
    w = 1.0f;
  }
  const float rotation[3][3] = {
      {1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * w * z, 2 * x * z + 2 * w * y},
      {2 * x * y + 2 * w * z, 1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * w * x},
      {2 * x * z - 2 * w * y, 2 * y * z + 2 * w * x, 1 - 2 * x * x - 2 * y * y},
  };
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      out[row * 4 + column] = rotation[row][column] * bone.scale[column];
    }
    out[row * 4 + 3] = bone.translation[row];
  }
  out[12] = out[13] = out[14] = 0.0f;
  out[15] = 1.0f;
}

void Multiply(const float* a, const float* b, float* out) {
  float result[16];
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      result[row * 4 + column] =
          a[row * 4 + 0] * b[0 * 4 + column] + a[row * 4 + 1] * b[1 * 4 + column] +
          a[row * 4 + 2] * b[2 * 4 + column] + a[row * 4 + 3] * b[3 * 4 + column];
    }
  }
  std::copy(result, result + 16, out);
}

}  // namespace

void UpdateBoneMatrices(HostBone* bones, int count) {
  if (bones == nullptr || count <= 0) {
    return;
  }
  enum : char { kPending, kVisiting, kDone };
  std::vector<char> state(static_cast<std::size_t>(count), kPending);
  auto parentOf = [&](int bone) {
    const int parent = bones[bone].parentIndex;
    return parent >= 0 && parent < count ? parent : -1;
  };
  std::vector<int> chain;
  for (int start = 0; start < count; ++start) {
    // Walk up to a finished ancestor or a root, then finish the chain from the top down. A parent
    // still being visited closes a cycle; the bone that reaches it is treated as a root.
    chain.clear();
    for (int bone = start; bone >= 0 && state[static_cast<std::size_t>(bone)] == kPending;
         bone = parentOf(bone)) {
      state[static_cast<std::size_t>(bone)] = kVisiting;
      chain.push_back(bone);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      HostBone& bone = bones[*it];
      ComposeLocal(bone, bone.localMatrix);
      const int parent = parentOf(*it);
      if (parent >= 0 && state[static_cast<std::size_t>(parent)] == kDone) {
        Multiply(bones[parent].worldMatrix, bone.localMatrix, bone.worldMatrix);
      } else {
        std::copy(bone.localMatrix, bone.localMatrix + 16, bone.worldMatrix);
      }
      state[static_cast<std::size_t>(*it)] = kDone;
    }
  }
}

}  // namespace vexmara::host

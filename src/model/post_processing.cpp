#include "model/post_processing.h"

#include <cstring>

#include "math/matrix.h"
#include "math/quaternion.h"
#include "model/first_index_table.h"
#include "platform/platform.h"

namespace vexmara {

int32_t FindMaterialByName(const Model& model, const char* name) {
  if (name == nullptr || model.materials.empty()) return -1;
  for (int32_t i = 0; i < model.materials.count; ++i) {
    if (platform::CompareNoCase(model.materials[i].name, name) == 0) return i;
  }
  return -1;
}

void ResolveMaterialIndices(Model& model) {
  if (model.materials.empty()) return;
  // Every submesh asks for the first material of its name (FindMaterialByName's answer) in
  // constant time, instead of a walk over the materials for each: a model of many materials
  // would otherwise cost submeshes times materials name comparisons.
  const List<Material>& materials = model.materials;
  const FirstIndexLookup firstOfName(
      materials.count, [&](int32_t i) { return materials[i].name; }, NarrowNameHash,
      SameNarrowName);
  for (Geoset& geoset : model.geosets) {
    for (Submesh& submesh : geoset.submeshes) {
      submesh.materialIndex = firstOfName.Find(submesh.materialName);
    }
  }
}

void CountInfluences(Model& model) {
  for (Geoset& geoset : model.geosets) {
    for (Submesh& submesh : geoset.submeshes) {
      for (Vertex& vertex : submesh.vertices)
        vertex.influenceCount = InfluenceCount(vertex.weights);
    }
  }
}

void ComputeBoneMatrices(Model& model) {
  for (Bone& bone : model.bones) {
    const BoneTransform& t = bone.bindTransform;
    bone.localMatrix = Matrix4{};
    bone.worldMatrix = Matrix4{};
    std::memcpy(bone.bindTranslation, t.translation, sizeof(bone.bindTranslation));
    std::memcpy(bone.bindRotation, t.rotation, sizeof(bone.bindRotation));
    if (!(t.scale == 0.0f)) bone.bindScale[0] = bone.bindScale[1] = bone.bindScale[2] = t.scale;
    QuaternionToMatrix(t.rotation, bone.localMatrix.m);
    bone.localMatrix.m[3] = t.translation[0];
    bone.localMatrix.m[7] = t.translation[1];
    bone.localMatrix.m[11] = t.translation[2];
  }
  // A parent later in the list (or the bone itself) still holds the identity here, so such a
  // bone's world matrix is its local one. A parent index past the list makes the bone a root.
  for (Bone& bone : model.bones) {
    const int32_t parent = bone.parentIndex;
    if (parent < 0 || parent >= model.bones.count) {
      bone.worldMatrix = bone.localMatrix;
    } else {
      MultiplyAffine(bone.worldMatrix.m, model.bones[parent].worldMatrix.m, bone.localMatrix.m);
    }
  }
}

}  // namespace vexmara

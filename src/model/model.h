// Model: the model as the model file reader fills it and the scene builder reads it, the part of
// the import's store (store/model_store.h) that one model file gives.
#pragma once

#include <cstdint>

#include "abi/text.h"
#include "model/list.h"
#include "model/list_arena.h"
#include "model/model_types.h"

namespace vexmara {

struct Model {
  // The storage of the short lists inside the elements of the store's lists: submesh vertices
  // and triangles, material slots, and the keys of the animations the store adds. First, so
  // that it outlives every list that borrows from it; the store releases it when it is
  // emptied.
  ListArena listStorage;
  List<Bone> bones;
  List<Geoset> geosets;
  List<Material> materials;
  List<VariantName> variantNames;
  int32_t formatVersion = 0;
  int32_t boneTotal = 0;
  int32_t submeshTotal = 0;
  int32_t vertexTotal = 0;
  int32_t triangleTotal = 0;
  char16_t sourcePath[kPathUnits] = {};
};

}  // namespace vexmara

// ModelStore: the store of the model read from a file and of the import state built on it
// (animations, texture files found, animation files chosen). The plug-in keeps one, module-wide,
// from a read message to the end of the import that follows.
#pragma once

#include <cstdint>

#include "anim/animation_types.h"
#include "model/list.h"
#include "model/list_arena.h"
#include "model/model_types.h"

namespace vexmara {

struct ModelStore {
  // The storage of the short lists inside the elements below (submesh vertices and triangles,
  // material slots, track keys). First, so that it outlives every list that borrows from it.
  ListArena listStorage;
  List<Bone> bones;
  List<Geoset> geosets;
  List<Material> materials;
  List<VariantName> variantNames;
  List<Animation> animations;
  List<TextureRef> textureFiles;
  List<WidePath> animationFiles;
  int32_t formatVersion = 0;
  int32_t boneTotal = 0;
  int32_t submeshTotal = 0;
  int32_t vertexTotal = 0;
  int32_t triangleTotal = 0;
  char16_t sourcePath[kPathUnits] = {};

  // Frees every list (and the lists inside their elements) and their arena, zeroes the
  // counters and empties the source path.
  void Clear();

  // Adds a zeroed Animation at the end of `animations` and returns it; null when the list
  // cannot grow.
  Animation* AppendAnimation();
};

}  // namespace vexmara

// What the model store holds, in bytes: every list's elements, the lists inside them included.
#pragma once

#include <cstdint>

#include "store/model_store.h"

namespace vexmara::bench {

template <typename T>
uint64_t ListBytes(const List<T>& list) {
  return list.empty() ? 0 : uint64_t(list.count) * sizeof(T);
}

inline uint64_t StoreBytes(const ModelStore& store) {
  uint64_t bytes = ListBytes(store.bones) + ListBytes(store.geosets) + ListBytes(store.materials) +
                   ListBytes(store.variantNames) + ListBytes(store.animations) +
                   ListBytes(store.textureFiles) + ListBytes(store.animationFiles);
  for (const Geoset& geoset : store.geosets) {
    bytes += ListBytes(geoset.submeshes);
    for (const Submesh& submesh : geoset.submeshes)
      bytes += ListBytes(submesh.vertices) + ListBytes(submesh.triangles);
  }
  for (const Material& material : store.materials) bytes += ListBytes(material.textureSlots);
  for (const Animation& animation : store.animations) {
    bytes += ListBytes(animation.tracks) + ListBytes(animation.frameTimes);
    for (const AnimationTrack& track : animation.tracks) {
      bytes += ListBytes(track.translationKeys) + ListBytes(track.rotationKeys) +
               ListBytes(track.scaleKeys);
    }
  }
  return bytes;
}

}  // namespace vexmara::bench

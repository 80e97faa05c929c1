// What a host holds after an import, copied out of the reference host's records: the input of
// the glTF export, and a plain value that tests can state directly.
#pragma once

#include <vector>

#include "host/host.h"

namespace vexmara::cli {

struct SceneSnapshot {
  std::vector<host::MaterialView> materials;
  std::vector<host::VertexView> vertices;
  std::vector<host::MeshView> meshes;
  std::vector<host::BoneView> bones;
  std::vector<host::AnimationView> animations;
};

inline SceneSnapshot TakeSnapshot(const host::Host& host) {
  return SceneSnapshot{host.Materials(), host.Vertices(), host.Meshes(), host.Bones(),
                       host.Animations()};
}

}  // namespace vexmara::cli

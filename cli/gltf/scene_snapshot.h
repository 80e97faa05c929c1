// What a host holds after an import, as the glTF export takes it: plain values, with every name
// and path as UTF-8 text. The conversion takes it from the reference host once the import is
// done (convert/snapshot.h); tests state it directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vexmara::cli {

struct SnapshotMaterial {
  std::string name;
  std::string texture;   // the image of texture slot 0, as the host's path names it; empty: none
  std::string alphaMap;  // slot 1: the grey alpha map the host wrote for it; empty: none
};

struct SkinWeight {
  std::int32_t bone = 0;
  float weight = 0;
};

struct SnapshotVertex {
  std::array<float, 3> position{};
  // Its entries in SceneSnapshot::weights: [firstWeight, firstWeight + weightCount).
  std::uint32_t firstWeight = 0;
  std::uint32_t weightCount = 0;
};

struct SnapshotFace {
  std::int32_t material = 0;
  std::array<std::int32_t, 3> vertices{};
  std::array<std::array<float, 2>, 3> uv{};  // u, v per corner
};

struct SnapshotMesh {
  std::int32_t index = 0;
  std::vector<SnapshotFace> faces;
};

struct SnapshotBone {
  std::string name;
  std::int32_t parent = -1;
  std::array<float, 3> translation{};
  std::array<float, 4> rotation{0, 0, 0, 1};  // x, y, z, w
  std::array<float, 3> scale{1, 1, 1};
};

struct VectorKey {
  float time = 0;
  float x = 0, y = 0, z = 0;
};

struct RotationKey {
  float time = 0;
  float x = 0, y = 0, z = 0, w = 1;
};

// The keys of one bone, relative to its bind transform, as the host holds them.
struct SnapshotTrack {
  std::int32_t bone = 0;
  std::vector<VectorKey> translation;
  std::vector<RotationKey> rotation;
  std::vector<VectorKey> scale;
};

struct SnapshotAnimation {
  std::string name;
  std::vector<SnapshotTrack> tracks;
};

struct SceneSnapshot {
  std::vector<SnapshotMaterial> materials;
  std::vector<SnapshotVertex> vertices;
  std::vector<SkinWeight> weights;  // every vertex's entries, vertex after vertex
  std::vector<SnapshotMesh> meshes;
  std::vector<SnapshotBone> bones;
  std::vector<SnapshotAnimation> animations;

  // Adds a vertex with its skin entries, as the tests state their scenes.
  void AddVertex(std::array<float, 3> position, const std::vector<SkinWeight>& entries = {}) {
    vertices.push_back({position, std::uint32_t(weights.size()), std::uint32_t(entries.size())});
    weights.insert(weights.end(), entries.begin(), entries.end());
  }
};

}  // namespace vexmara::cli

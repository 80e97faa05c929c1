// Building host scenes by hand and reading glTF documents back, for the export tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include <tiny_gltf.h>

#include "cli/gltf/file.h"
#include "cli/gltf/scene_snapshot.h"
#include "tests/support/gltf_check.h"

namespace vexmara::testing {

// A vertex as a test states it: its position and skin entries.
struct TestVertex {
  std::array<float, 3> position;
  std::vector<cli::SkinWeight> weights;
};

inline TestVertex Vertex(float x, float y, float z, std::vector<cli::SkinWeight> weights = {}) {
  return TestVertex{{x, y, z}, std::move(weights)};
}

inline void AddVertex(cli::SceneSnapshot& scene, const TestVertex& vertex) {
  scene.AddVertex(vertex.position, vertex.weights);
}

// The scene's vertices, replaced by these.
inline void SetVertices(cli::SceneSnapshot& scene, const std::vector<TestVertex>& vertices) {
  scene.vertices.clear();
  scene.weights.clear();
  for (const TestVertex& vertex : vertices) AddVertex(scene, vertex);
}

inline cli::SnapshotFace Face(int material, std::array<std::int32_t, 3> vertices,
                              std::array<std::array<float, 2>, 3> uv = {}) {
  return cli::SnapshotFace{material, vertices, uv};
}

inline cli::SnapshotMaterial Material(const std::string& name, const std::string& texture = "") {
  return cli::SnapshotMaterial{name, texture, ""};
}

inline cli::SnapshotBone Bone(const std::string& name, int parent,
                              std::array<float, 3> t = {0, 0, 0},
                              std::array<float, 4> q = {0, 0, 0, 1},
                              std::array<float, 3> s = {1, 1, 1}) {
  return cli::SnapshotBone{name, parent, t, q, s};
}

// The document as a client reads it: written as a .glb in memory, checked, and loaded back by
// tinygltf (images found but not decoded).
inline tinygltf::Model Reloaded(const cli::GltfDocument& document) {
  cli::MemoryFiles files;
  EXPECT_TRUE(cli::WriteGltf(document, "document.glb", files)) << files.Failure().message;
  // Whatever a test builds, the export is a valid document.
  EXPECT_EQ(CheckGltf(files, "document.glb"), std::vector<std::string>{});
  tinygltf::Model model;
  std::string error;
  EXPECT_TRUE(LoadWritten(files, "document.glb", false, &model, &error)) << error;
  return model;
}

// The elements of an accessor, copied out of its buffer view (tightly packed views only).
template <class T>
std::vector<T> ReadAccessor(const tinygltf::Model& model, int index) {
  const tinygltf::Accessor& accessor = model.accessors.at(size_t(index));
  const tinygltf::BufferView& view = model.bufferViews.at(size_t(accessor.bufferView));
  const tinygltf::Buffer& buffer = model.buffers.at(size_t(view.buffer));
  const size_t components = size_t(tinygltf::GetNumComponentsInType(std::uint32_t(accessor.type)));
  const size_t bytes =
      size_t(tinygltf::GetComponentSizeInBytes(std::uint32_t(accessor.componentType)));
  EXPECT_EQ(sizeof(T), components * bytes) << "the element type does not match the accessor";
  EXPECT_LE(view.byteOffset + accessor.byteOffset + accessor.count * sizeof(T), buffer.data.size());
  std::vector<T> elements(accessor.count);
  std::memcpy(elements.data(), buffer.data.data() + view.byteOffset + accessor.byteOffset,
              accessor.count * sizeof(T));
  return elements;
}

// Indices of a primitive as 32-bit values, whatever their stored width.
inline std::vector<std::uint32_t> ReadIndices(const tinygltf::Model& model,
                                              const tinygltf::Primitive& primitive) {
  const tinygltf::Accessor& accessor = model.accessors.at(size_t(primitive.indices));
  std::vector<std::uint32_t> indices;
  if (accessor.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
    for (std::uint16_t i : ReadAccessor<std::uint16_t>(model, primitive.indices))
      indices.push_back(i);
  } else {
    indices = ReadAccessor<std::uint32_t>(model, primitive.indices);
  }
  return indices;
}

}  // namespace vexmara::testing

// Imports through the real library, loaded and registered by the reference host: a model file
// is written and read, the import dialog answers as scripted, and the host's objects are read
// back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "image_files.h"
#include "loaded_plugin.h"
#include "turn_checks.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"

namespace vexmara::scene_test {

using testing::DialogScript;

// Host time of a key at frame-scale time t: t × 1/15 in single precision.
inline float HostTime(float t) { return t * std::bit_cast<float>(0x3D888889u); }

// Key values as arrays.
inline std::array<float, 3> Value(const host::HostVectorKey& key) { return {key.x, key.y, key.z}; }
inline std::array<float, 4> Value(const host::HostRotationKey& key) {
  return {key.x, key.y, key.z, key.w};
}

using testing::ExpectNear;
using testing::kHalfRoot;

// A tex file: only the signed 32-bit identifier at byte 16 means anything.
inline std::vector<uint8_t> TexFile(int32_t id) {
  std::vector<uint8_t> bytes(24, 0);
  for (int i = 0; i < 4; ++i) bytes[size_t(16 + i)] = uint8_t(uint32_t(id) >> (8 * i));
  return bytes;
}

class SceneBuild : public testing::LoadedPlugin {
 protected:
  // How many objects the plug-in asked the host to create, over all kinds.
  int CreationCount() const {
    using host::Operation;
    int n = 0;
    for (Operation op : {Operation::CreateMaterial, Operation::CreateGroup, Operation::CreateBone,
                         Operation::CreateAnimation, Operation::CreateMesh,
                         Operation::SetVertexCount, Operation::LoadImage, Operation::SaveImage}) {
      n += host_->CallCount(op);
    }
    return n;
  }
};

// ---- Model descriptions ------------------------------------------------------------------------

using writer::MakeBone;
using writer::MakeMaterial;

// A submesh of `vertexCount` vertices along x (vertex i at (i, 2i, 3i) with texture coordinates
// (64.5 + i, 128)), fanned into triangles (0, i, i + 1).
inline writer::AppSubmesh MakeFan(const std::string& materialName, int vertexCount) {
  writer::AppSubmesh submesh;
  submesh.materialName = materialName;
  for (int i = 0; i < vertexCount; ++i) {
    submesh.vertices.push_back(
        writer::MakeVertex(float(i), float(2 * i), float(3 * i), 64.5f + float(i), 128.0f));
  }
  for (int i = 1; i + 1 < vertexCount; ++i)
    submesh.triangles.push_back({0, uint16_t(i), uint16_t(i + 1)});
  return submesh;
}

}  // namespace vexmara::scene_test

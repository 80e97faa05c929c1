// The in-memory model: what the model file reader fills and the scene builder reads. Plain
// records; every default is what a newly allocated element holds.
#pragma once

#include <cstdint>

#include "abi/text.h"
#include "math/matrix.h"
#include "model/list.h"

namespace vexmara {

// A 4×4 matrix (math/matrix.h), the identity until it is set.
struct Matrix4 {
  float m[16];
  constexpr Matrix4() : m{} {
    for (int i = 0; i < 16; ++i) m[i] = kIdentityMatrix[i];
  }
};

// Eight float32 values, in this order in the file and in memory.
struct BoneTransform {
  float rotation[4] = {0, 0, 0, 1};
  float translation[3] = {0, 0, 0};
  float scale = 1;
};
static_assert(sizeof(BoneTransform) == 32);

struct Bone {
  char name[kNameBytes] = {};
  int32_t parentIndex = -1;
  int32_t trackIndex = -1;
  Matrix4 worldMatrix;
  Matrix4 localMatrix;
  float bindTranslation[3] = {0, 0, 0};
  float bindScale[3] = {1, 1, 1};
  float bindRotation[4] = {0, 0, 0, 1};
  BoneTransform bindTransform;
};

struct Vertex {
  float position[3] = {0, 0, 0};
  float uv[2] = {0, 0};
  float weights[3] = {0, 0, 0};
  int32_t boneIndices[3] = {-1, -1, -1};
  int32_t influenceCount = 0;
};

struct Triangle {
  int32_t indices[3] = {-1, -1, -1};
};

struct Submesh {
  List<Vertex> vertices;
  List<Triangle> triangles;
  char materialName[kNameBytes] = {};
  int32_t materialIndex = -1;
  int32_t groupIndex = -1;
};

struct Geoset {
  List<Submesh> submeshes;
};

// A material's texture slot, and an entry of the list of texture files found in a directory.
struct TextureRef {
  char16_t fileName[kPathUnits] = {};
  char16_t directory[kPathUnits] = {};
  int32_t textureId = -1;
};

struct Material {
  List<TextureRef> textureSlots;
  char name[kNameBytes] = {};
};

struct VariantName {
  char name[kNameBytes] = {};
};

struct WidePath {
  char16_t path[kPathUnits] = {};
};

}  // namespace vexmara

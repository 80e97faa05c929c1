// Writer of model files (.app) from a plain description. It writes the layout the importer
// reads, for every format generation, and places the arrays in the order they are read:
// header, top-level record, bones, geoset 0's submeshes (each followed by its vertices, skin
// and indices), geoset 1 likewise, materials (each followed by its variant entries and their
// texture entries), variant names. Bytes the importer ignores are written as zero.
//
// Every array can be left out, given a count that differs from its elements, or given an
// explicit DataRef, so that fixtures for broken files are stated as data too.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "writer/common.h"

namespace vexmara::writer {

// Record sizes and field positions that depend on the format version. Generations: below 258
// (1040 extra bytes in the top-level record), 258 and 259, and 260 on (larger records).
struct AppRecordSizes {
  uint32_t bone = 0;            // 236, or 312 from 260
  uint32_t submesh = 0;         // 372, or 400 from 260
  uint32_t material = 0;        // 140, or 144 from 260
  uint32_t variantEntry = 248;  // all versions
  uint32_t textureEntry = 0;    // 184, or 160 from 260
  uint32_t textureIdAt = 0;     // texture id inside a texture entry: 4, or 8 from 260
  uint32_t variantBlock = 0;    // B, position of the variant count: 1472 below 258, else 432
  uint32_t topLevelEnd = 0;     // B + 112: where the first array goes
  // Field positions inside a submesh record.
  uint32_t submeshVertexCount = 4;
  uint32_t submeshVertices = 8;
  uint32_t submeshSkin = 0;          // 20, or 24 from 260
  uint32_t submeshIndexCount = 0;    // 32, or 40 from 260
  uint32_t submeshIndices = 0;       // 36, or 44 from 260
  uint32_t submeshMaterialName = 0;  // 72, or 92 from 260
};
AppRecordSizes AppRecordSizesFor(uint32_t formatVersion);

// Element sizes that do not depend on the version.
constexpr uint32_t kAppVertexBytes = 44;
constexpr uint32_t kAppSkinBytes = 24;
constexpr uint32_t kAppTriangleBytes = 6;
constexpr uint32_t kAppVariantNameBytes = 64;

// The int16 whose decoded value (s - 32767) / 512 + 128 is nearest to `value` (clamped to the
// int16 range): 128 -> 32767, 64.001953125 -> 0, 0.001953125 -> -32768.
int16_t EncodeTexCoord(float value);

// One bone transform block: quaternion x, y, z, w, translation, uniform scale.
struct AppTransform {
  std::array<float, 4> rotation{0, 0, 0, 1};
  std::array<float, 3> translation{0, 0, 0};
  float scale = 1;
};

struct AppBone {
  std::string name;  // 64-byte field
  int32_t parentIndex = -1;
  AppTransform firstTransform;   // ignored by the importer
  AppTransform secondTransform;  // ignored by the importer
  AppTransform bindTransform;    // the third block
};

// A bone whose bind transform is `translation`, `rotation` (x, y, z, w) and uniform `scale`.
AppBone MakeBone(const std::string& name, int32_t parent, std::array<float, 3> translation,
                 std::array<float, 4> rotation = {0, 0, 0, 1}, float scale = 1);

struct AppVertex {
  std::array<float, 3> position{0, 0, 0};
  int16_t u = 0;  // raw stored texture coordinates; see EncodeTexCoord
  int16_t v = 0;
};

// A vertex with float texture coordinates encoded to the nearest stored values.
AppVertex MakeVertex(float x, float y, float z, float u, float v);

// Skin record of one vertex: three (bone index, weight) influences.
struct AppSkin {
  std::array<int32_t, 3> boneIndices{0, 0, 0};
  std::array<float, 3> weights{0, 0, 0};
};

struct AppSubmesh {
  std::vector<AppVertex> vertices;
  std::vector<AppSkin> skin;  // empty: no skin array
  std::vector<std::array<uint16_t, 3>> triangles;
  // Written after the triangles and counted in the index count, e.g. one extra index makes
  // 3t + 1 indices, of which the reader uses only the full triples.
  std::vector<uint16_t> extraIndices;
  std::string materialName;  // 128-byte field

  std::optional<int32_t> vertexCount;  // default: vertices.size()
  std::optional<int32_t> indexCount;   // default: 3 * triangles.size() + extraIndices.size()
  ArrayOverride verticesArray;
  ArrayOverride skinArray;
  ArrayOverride indicesArray;
};

struct AppGeoset {
  std::vector<AppSubmesh> submeshes;
  std::optional<int32_t> submeshCount;  // default: submeshes.size()
  ArrayOverride submeshesArray;
};

// One variant of a material: the texture ids of its texture entries.
struct AppVariant {
  std::vector<int32_t> textureIds;
  // The DataRef size tells the reader how many entries there are, so an override such as
  // {offset 0, size 368} gives entries without writing any.
  ArrayOverride textureEntriesArray;
};

struct AppMaterial {
  std::string name;                  // 128-byte field
  std::vector<AppVariant> variants;  // one variant entry each
  ArrayOverride variantEntriesArray;
};

// A material with one variant, whose texture entries name `textureIds`.
AppMaterial MakeMaterial(const std::string& name, std::vector<int32_t> textureIds = {});

struct AppModel {
  uint32_t formatVersion = 260;
  std::vector<AppBone> bones;
  std::array<AppGeoset, 2> geosets;
  std::vector<AppMaterial> materials;
  std::vector<std::string> variantNames;  // 64-byte fields

  std::optional<int32_t> boneCount;      // default: bones.size()
  std::optional<int32_t> materialCount;  // default: materials.size()
  // The variant count is shared by every material's variant entries and the variant names.
  // Default: the largest of variantNames.size() and each material's variants.size().
  std::optional<int32_t> variantCount;
  ArrayOverride bonesArray;
  ArrayOverride materialsArray;
  ArrayOverride variantNamesArray;
};

// Where WriteAppFile put things. Each DataRef is the real placement of the array ((0, 0) when
// it was not written), whatever DataRef an override made the file say; record positions are
// absolute. Feeding a placement back as an override makes two records share one array.
struct AppSubmeshPlacement {
  uint32_t record = 0;
  DataRef vertices;
  DataRef skin;
  DataRef indices;
};

struct AppGeosetPlacement {
  DataRef submeshes;
  std::vector<AppSubmeshPlacement> submeshRecords;  // one per submesh written
};

struct AppMaterialPlacement {
  uint32_t record = 0;
  DataRef variantEntries;
  std::vector<DataRef> textureEntries;  // one per variant entry written
};

struct AppPlacement {
  AppRecordSizes sizes;
  DataRef bones;
  std::array<AppGeosetPlacement, 2> geosets;
  DataRef materials;
  std::vector<AppMaterialPlacement> materialRecords;  // one per material written
  DataRef variantNames;
};

std::vector<uint8_t> WriteAppFile(const AppModel& model, AppPlacement* placement = nullptr);

}  // namespace vexmara::writer

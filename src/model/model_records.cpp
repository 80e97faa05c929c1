// Element records of the model file: bones, submeshes with their vertices, skins and triangle
// indices, materials with their per-variant texture entries, and variant names. Each array is
// located through its DataRef, tested to lie inside the file as a whole, then decoded in place.
#include <cstring>

#include "abi/text.h"
#include "model/model_parse.h"
#include "model/post_processing.h"

namespace vexmara {
namespace {

// From this version on, bones, submeshes, materials and texture entries have their wide layout.
constexpr int32_t kLayout260 = 260;

// Bones (offsets within a record).
constexpr uint64_t kBoneRecordBytes = 236;
constexpr uint64_t kWideBoneRecordBytes = 312;
constexpr uint32_t kBoneNameBytes = 64;  // the name starts the record
constexpr uint32_t kBoneParentAt = 64;
constexpr uint32_t kBoneBindTransformAt = 172;  // the third of three transform blocks

// Submeshes: where a field sits depends on the layout.
struct SubmeshLayout {
  uint64_t recordBytes;
  // Bytes at the end of the last record that are passed over without a test.
  uint64_t untestedTail;
  uint32_t skinRefAt;
  uint32_t indexCountAt;
  uint32_t indicesRefAt;
  uint32_t materialNameAt;
};
constexpr SubmeshLayout kSubmeshLayout = {372, 0, 20, 32, 36, 72};
constexpr SubmeshLayout kWideSubmeshLayout = {400, 8, 24, 40, 44, 92};
constexpr uint32_t kSubmeshVertexCountAt = 4;
constexpr uint32_t kSubmeshVerticesRefAt = 8;
constexpr uint32_t kMaterialNameBytes = 128;  // in a submesh and in a material record

// Vertices: 44 bytes, and in a skinned submesh a 24-byte skin record per vertex holding three
// (int32 bone index, float32 weight) influences.
constexpr uint64_t kVertexRecordBytes = 44;
constexpr uint32_t kVertexPositionAt = 0;
constexpr uint32_t kVertexUAt = 24;
constexpr uint32_t kVertexVAt = 26;
constexpr uint64_t kSkinRecordBytes = 24;
constexpr uint32_t kInfluenceBytes = 8;
constexpr uint32_t kInfluenceWeightAt = 4;  // after the bone index

// Triangles: three uint16 vertex indices.
constexpr uint64_t kIndexTripleBytes = 6;

// Materials.
constexpr uint64_t kMaterialRecordBytes = 140;
constexpr uint64_t kWideMaterialRecordBytes = 144;
constexpr uint32_t kMaterialVariantsRefAt = 128;  // after the name

// Per-variant entries of a material, and the texture entries they locate.
constexpr uint64_t kVariantEntryBytes = 248;
constexpr uint32_t kVariantTexturesRefAt = 100;
constexpr uint32_t kTextureEntryBytes = 184;
constexpr uint32_t kWideTextureEntryBytes = 160;
constexpr uint32_t kTextureIdAt = 4;
constexpr uint32_t kWideTextureIdAt = 8;

// Variant names.
constexpr uint64_t kVariantNameBytes = 64;

// Texture coordinates are stored as signed 16-bit values: (s - 32767) / 512 + 128.
float DecodeTextureCoordinate(int16_t stored) {
  return (float(stored) - 32767.0f) * 0.001953125f + 128.0f;
}

// One vertex from its 44-byte record and, in a skinned submesh, its 24-byte skin record. The
// vertex is made whole in one go, and its influence count is taken while the weights are at
// hand, so the vertex list is written once and never walked again for the count.
template <bool kSkinned>
Vertex DecodeVertex(const uint8_t* record, const uint8_t* skin) {
  const uint8_t* at = record + kVertexPositionAt;
  const float position[3] = {LoadAt<float>(at), LoadAt<float>(at + 4), LoadAt<float>(at + 8)};
  const float u = DecodeTextureCoordinate(LoadAt<int16_t>(record + kVertexUAt));
  const float v = DecodeTextureCoordinate(LoadAt<int16_t>(record + kVertexVAt));
  if constexpr (!kSkinned) {
    return Vertex{{position[0], position[1], position[2]}, {u, v}};
  } else {
    const uint8_t* influence[3] = {skin, skin + kInfluenceBytes, skin + 2 * kInfluenceBytes};
    const float w[3] = {LoadAt<float>(influence[0] + kInfluenceWeightAt),
                        LoadAt<float>(influence[1] + kInfluenceWeightAt),
                        LoadAt<float>(influence[2] + kInfluenceWeightAt)};
    return Vertex{{position[0], position[1], position[2]},
                  {u, v},
                  {w[0], w[1], w[2]},
                  {LoadAt<int32_t>(influence[0]), LoadAt<int32_t>(influence[1]),
                   LoadAt<int32_t>(influence[2])},
                  InfluenceCount(w)};
  }
}

const SubmeshLayout& SubmeshLayoutOf(const ModelParse& parse) {
  return parse.version >= kLayout260 ? kWideSubmeshLayout : kSubmeshLayout;
}

bool ReadSubmesh(ModelParse& parse, const uint8_t* record, Submesh& submesh) {
  const SubmeshLayout& layout = SubmeshLayoutOf(parse);
  const int32_t vertexCount = LoadAt<int32_t>(record + kSubmeshVertexCountAt);
  const DataRef vertexRef = LoadDataRef(record + kSubmeshVerticesRefAt);
  const DataRef skinRef = LoadDataRef(record + layout.skinRefAt);
  const int32_t indexCount = LoadAt<int32_t>(record + layout.indexCountAt);
  const DataRef indexRef = LoadDataRef(record + layout.indicesRefAt);
  const uint8_t* name = record + layout.materialNameAt;

  // Both arrays are located before the vertex list is made, so that each vertex is decoded
  // from its two records at once. The skin does not size the vertex list: without vertices its
  // records are tested and dropped.
  const uint8_t* vertexData;
  const uint8_t* skinData;
  if (!parse.LocateArray(vertexRef, vertexCount, vertexCount, kVertexRecordBytes, 0, sizeof(Vertex),
                         &vertexData)) {
    return false;
  }
  if (!parse.LocateArray(skinRef, vertexCount, vertexCount, kSkinRecordBytes, 0, 0, &skinData))
    return false;
  if (vertexData != nullptr) {
    const bool made =
        skinData != nullptr
            ? submesh.vertices.ResetWith(parse.model.listStorage, vertexCount,
                                         [&](int32_t i) {
                                           return DecodeVertex<true>(
                                               vertexData + size_t(i) * kVertexRecordBytes,
                                               skinData + size_t(i) * kSkinRecordBytes);
                                         })
            : submesh.vertices.ResetWith(parse.model.listStorage, vertexCount, [&](int32_t i) {
                return DecodeVertex<false>(vertexData + size_t(i) * kVertexRecordBytes, nullptr);
              });
    if (!made) return false;
  }
  parse.model.vertexTotal = WrappingAdd(parse.model.vertexTotal, vertexCount);

  // Whole triples only; one or two indices beyond the last are not read.
  const int32_t triangleCount = indexCount / 3;
  const uint8_t* data;
  if (!parse.LocateArray(indexRef, indexCount, triangleCount, kIndexTripleBytes, 0,
                         sizeof(Triangle), &data)) {
    return false;
  }
  if (data != nullptr) {
    const bool made =
        submesh.triangles.ResetWith(parse.model.listStorage, triangleCount, [&](int32_t t) {
          const uint8_t* triple = data + size_t(t) * kIndexTripleBytes;
          return Triangle{{LoadAt<uint16_t>(triple), LoadAt<uint16_t>(triple + 2),
                           LoadAt<uint16_t>(triple + 4)}};
        });
    if (!made) return false;
  }
  parse.model.triangleTotal = WrappingAdd(parse.model.triangleTotal, triangleCount);

  CopyNameField(submesh.materialName, name, kMaterialNameBytes);
  return true;
}

// The variant entries of one material. Only the first variant's texture entries carry the ids
// the importer uses; the others are only tested to lie inside the file.
bool ReadVariantEntries(ModelParse& parse, Material& material, int32_t variantCount, DataRef ref) {
  const bool wide = parse.version >= kLayout260;
  const uint32_t entryBytes = wide ? kWideTextureEntryBytes : kTextureEntryBytes;
  const uint32_t idOffset = wide ? kWideTextureIdAt : kTextureIdAt;

  const uint8_t* variants;
  if (!parse.LocateArray(ref, variantCount, variantCount, kVariantEntryBytes, 0, 0, &variants))
    return false;
  if (variants == nullptr) return true;

  for (int32_t k = 0; k < variantCount; ++k) {
    const DataRef textures =
        LoadDataRef(variants + size_t(k) * kVariantEntryBytes + kVariantTexturesRefAt);
    const uint32_t n = textures.size / entryBytes;
    if (n == 0) continue;  // nothing to reserve, and the array counts as absent
    if (!textures.present() || k > 0) {
      // Absent entries still give the first variant its slots, which nothing fills. A default
      // slot never matches a texture file, so past what the budget covers one slot stands for
      // all of them: memory stays bounded by the file while the material still has its slots.
      if (k == 0) {
        const int32_t slots = parse.budget.Spend(uint64_t(n) * sizeof(TextureRef)) ? int32_t(n) : 1;
        if (!material.textureSlots.Reset(parse.model.listStorage, slots)) return false;
      }
      if (textures.present() && !parse.cursor.Holds(textures.start(), uint64_t(n) * entryBytes))
        return false;
      continue;
    }
    const uint8_t* entries;
    if (!parse.LocateArray(textures, n, n, entryBytes, 0, sizeof(TextureRef), &entries))
      return false;
    if (!material.textureSlots.Reset(parse.model.listStorage, int32_t(n))) return false;
    for (uint32_t i = 0; i < n; ++i) {
      material.textureSlots[int32_t(i)].textureId =
          LoadAt<int32_t>(entries + size_t(i) * entryBytes + idOffset);
    }
  }
  return true;
}

}  // namespace

bool ReadBones(ModelParse& parse, int32_t count, DataRef ref) {
  const uint64_t recordBytes =
      parse.version >= kLayout260 ? kWideBoneRecordBytes : kBoneRecordBytes;
  const uint8_t* data;
  if (!parse.LocateArray(ref, count, count, recordBytes, 0, sizeof(Bone), &data)) return false;
  if (data == nullptr) return true;
  if (!parse.model.bones.Reset(count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* record = data + size_t(i) * recordBytes;
    Bone& bone = parse.model.bones[i];
    CopyNameField(bone.name, record, kBoneNameBytes);
    bone.parentIndex = LoadAt<int32_t>(record + kBoneParentAt);
    std::memcpy(&bone.bindTransform, record + kBoneBindTransformAt, sizeof(BoneTransform));
  }
  return true;
}

bool ReadSubmeshes(ModelParse& parse, Geoset& geoset, int32_t count, DataRef ref) {
  // From the 260 layout on, each record ends in 8 bytes that are passed over without a test,
  // so the last record of the array may end 8 bytes early.
  const SubmeshLayout& layout = SubmeshLayoutOf(parse);
  const uint64_t stride = layout.recordBytes;
  const uint8_t* data;
  if (!parse.LocateArray(ref, count, count, stride, layout.untestedTail, sizeof(Submesh), &data))
    return false;
  if (data != nullptr) {
    if (!geoset.submeshes.Reset(count)) return false;
    for (int32_t i = 0; i < count; ++i) {
      if (!ReadSubmesh(parse, data + size_t(i) * stride, geoset.submeshes[i])) return false;
    }
  }
  parse.model.submeshTotal = WrappingAdd(parse.model.submeshTotal, count);
  return true;
}

bool ReadMaterials(ModelParse& parse, int32_t count, int32_t variantCount, DataRef ref) {
  const uint64_t recordBytes =
      parse.version >= kLayout260 ? kWideMaterialRecordBytes : kMaterialRecordBytes;
  const uint8_t* data;
  if (!parse.LocateArray(ref, count, count, recordBytes, 0, sizeof(Material), &data)) return false;
  if (data == nullptr) return true;
  if (!parse.model.materials.Reset(count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* record = data + size_t(i) * recordBytes;
    Material& material = parse.model.materials[i];
    if (!ReadVariantEntries(parse, material, variantCount,
                            LoadDataRef(record + kMaterialVariantsRefAt)))
      return false;
    CopyNameField(material.name, record, kMaterialNameBytes);
  }
  return true;
}

bool ReadVariantNames(ModelParse& parse, int32_t count, DataRef ref) {
  const uint8_t* data;
  if (!parse.LocateArray(ref, count, count, kVariantNameBytes, 0, sizeof(VariantName), &data))
    return false;
  if (data == nullptr) return true;
  if (!parse.model.variantNames.Reset(count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    CopyNameField(parse.model.variantNames[i].name, data + size_t(i) * kVariantNameBytes,
                  kVariantNameBytes);
  }
  return true;
}

}  // namespace vexmara

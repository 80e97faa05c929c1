// Element records of the model file: bones, submeshes with their vertices, skins and triangle
// indices, materials with their per-variant texture entries, and variant names. Each array is
// located through its DataRef, tested to lie inside the file as a whole, then decoded in place.
#include <cstring>

#include "abi/text.h"
#include "model/model_parse.h"
#include "model/post_processing.h"

namespace vexmara {
namespace {

constexpr int32_t kLayout260 = 260;

// Texture coordinates are stored as signed 16-bit values: (s - 32767) / 512 + 128.
float DecodeTextureCoordinate(int16_t stored) {
  return (float(stored) - 32767.0f) * 0.001953125f + 128.0f;
}

// One vertex from its 44-byte record and, in a skinned submesh, its 24-byte skin record. The
// vertex is made whole in one go, and its influence count is taken while the weights are at
// hand, so the vertex list is written once and never walked again for the count.
template <bool kSkinned>
Vertex DecodeVertex(const uint8_t* record, const uint8_t* skin) {
  const float position[3] = {LoadAt<float>(record), LoadAt<float>(record + 4), LoadAt<float>(record + 8)};
  const float u = DecodeTextureCoordinate(LoadAt<int16_t>(record + 24));
  const float v = DecodeTextureCoordinate(LoadAt<int16_t>(record + 26));
  if constexpr (!kSkinned) {
    return Vertex{{position[0], position[1], position[2]}, {u, v}};
  } else {
    const float w[3] = {LoadAt<float>(skin + 4), LoadAt<float>(skin + 12), LoadAt<float>(skin + 20)};
    return Vertex{{position[0], position[1], position[2]},
                  {u, v},
                  {w[0], w[1], w[2]},
                  {LoadAt<int32_t>(skin), LoadAt<int32_t>(skin + 8), LoadAt<int32_t>(skin + 16)},
                  InfluenceCount(w)};
  }
}

bool ReadSubmesh(ModelParse& parse, const uint8_t* record, Submesh& submesh) {
  const bool wide = parse.version >= kLayout260;
  const int32_t vertexCount = LoadAt<int32_t>(record + 4);
  const DataRef vertexRef = LoadDataRef(record + 8);
  const DataRef skinRef = LoadDataRef(record + (wide ? 24 : 20));
  const int32_t indexCount = LoadAt<int32_t>(record + (wide ? 40 : 32));
  const DataRef indexRef = LoadDataRef(record + (wide ? 44 : 36));
  const uint8_t* name = record + (wide ? 92 : 72);

  // Both arrays are located before the vertex list is made, so that each vertex is decoded
  // from its two records at once. The skin does not size the vertex list: without vertices its
  // records are tested and dropped.
  const uint8_t* vertexData;
  const uint8_t* skinData;
  if (!parse.LocateArray(vertexRef, vertexCount, vertexCount, 44, 0, sizeof(Vertex), &vertexData)) return false;
  if (!parse.LocateArray(skinRef, vertexCount, vertexCount, 24, 0, 0, &skinData)) return false;
  if (vertexData != nullptr) {
    const bool made =
        skinData != nullptr
            ? submesh.vertices.ResetWith(parse.model.listStorage, vertexCount, [&](int32_t i) {
                return DecodeVertex<true>(vertexData + size_t(i) * 44, skinData + size_t(i) * 24);
              })
            : submesh.vertices.ResetWith(parse.model.listStorage, vertexCount, [&](int32_t i) {
                return DecodeVertex<false>(vertexData + size_t(i) * 44, nullptr);
              });
    if (!made) return false;
  }
  parse.model.vertexTotal = WrappingAdd(parse.model.vertexTotal, vertexCount);

  // Whole triples only; one or two indices beyond the last are not read.
  const int32_t triangleCount = indexCount / 3;
  const uint8_t* data;
  if (!parse.LocateArray(indexRef, indexCount, triangleCount, 6, 0, sizeof(Triangle), &data)) return false;
  if (data != nullptr) {
    const bool made = submesh.triangles.ResetWith(parse.model.listStorage, triangleCount, [&](int32_t t) {
      const uint8_t* triple = data + size_t(t) * 6;
      return Triangle{{LoadAt<uint16_t>(triple), LoadAt<uint16_t>(triple + 2), LoadAt<uint16_t>(triple + 4)}};
    });
    if (!made) return false;
  }
  parse.model.triangleTotal = WrappingAdd(parse.model.triangleTotal, triangleCount);

  CopyNameField(submesh.materialName, name, 128);
  return true;
}

// The variant entries of one material. Only the first variant's texture entries carry the ids
// the importer uses; the others are only tested to lie inside the file.
bool ReadVariantEntries(ModelParse& parse, Material& material, int32_t variantCount, DataRef ref) {
  const bool wide = parse.version >= kLayout260;
  const uint32_t entryBytes = wide ? 160 : 184;
  const uint32_t idOffset = wide ? 8 : 4;

  const uint8_t* variants;
  if (!parse.LocateArray(ref, variantCount, variantCount, 248, 0, 0, &variants)) return false;
  if (variants == nullptr) return true;

  for (int32_t k = 0; k < variantCount; ++k) {
    const DataRef textures = LoadDataRef(variants + size_t(k) * 248 + 100);
    const uint32_t n = textures.size / entryBytes;
    if (n == 0) continue;  // nothing to reserve, and the array counts as absent
    if (!textures.present() || k > 0) {
      // Absent entries still give the first variant its slots, which nothing fills. A default
      // slot never matches a texture file, so past what the budget covers one slot stands for
      // all of them: memory stays bounded by the file while the material still has its slots.
      if (k == 0) {
        const int32_t slots = parse.Spend(uint64_t(n) * sizeof(TextureRef)) ? int32_t(n) : 1;
        if (!material.textureSlots.Reset(parse.model.listStorage, slots)) return false;
      }
      if (textures.present() && !parse.cursor.Holds(textures.start(), uint64_t(n) * entryBytes)) return false;
      continue;
    }
    const uint8_t* entries;
    if (!parse.LocateArray(textures, n, n, entryBytes, 0, sizeof(TextureRef), &entries)) return false;
    if (!material.textureSlots.Reset(parse.model.listStorage, int32_t(n))) return false;
    for (uint32_t i = 0; i < n; ++i) {
      material.textureSlots[int32_t(i)].textureId = LoadAt<int32_t>(entries + size_t(i) * entryBytes + idOffset);
    }
  }
  return true;
}

}  // namespace

bool ReadBones(ModelParse& parse, int32_t count, DataRef ref) {
  const uint64_t recordBytes = parse.version >= kLayout260 ? 312 : 236;
  const uint8_t* data;
  if (!parse.LocateArray(ref, count, count, recordBytes, 0, sizeof(Bone), &data)) return false;
  if (data == nullptr) return true;
  if (!parse.model.bones.Reset(count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* record = data + size_t(i) * recordBytes;
    Bone& bone = parse.model.bones[i];
    CopyNameField(bone.name, record, 64);
    bone.parentIndex = LoadAt<int32_t>(record + 64);
    std::memcpy(&bone.bindTransform, record + 172, sizeof(BoneTransform));
  }
  return true;
}

bool ReadSubmeshes(ModelParse& parse, Geoset& geoset, int32_t count, DataRef ref) {
  // From the 260 layout on, each record ends in 8 bytes that are passed over without a test,
  // so the last record of the array may end 8 bytes early.
  const bool wide = parse.version >= kLayout260;
  const uint64_t stride = wide ? 400 : 372;
  const uint64_t untested = wide ? 8 : 0;
  const uint8_t* data;
  if (!parse.LocateArray(ref, count, count, stride, untested, sizeof(Submesh), &data)) return false;
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
  const uint64_t recordBytes = parse.version >= kLayout260 ? 144 : 140;
  const uint8_t* data;
  if (!parse.LocateArray(ref, count, count, recordBytes, 0, sizeof(Material), &data)) return false;
  if (data == nullptr) return true;
  if (!parse.model.materials.Reset(count)) return false;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* record = data + size_t(i) * recordBytes;
    Material& material = parse.model.materials[i];
    if (!ReadVariantEntries(parse, material, variantCount, LoadDataRef(record + 128))) return false;
    CopyNameField(material.name, record, 128);
  }
  return true;
}

bool ReadVariantNames(ModelParse& parse, int32_t count, DataRef ref) {
  const uint8_t* data;
  if (!parse.LocateArray(ref, count, count, 64, 0, sizeof(VariantName), &data)) return false;
  if (data == nullptr) return true;
  if (!parse.model.variantNames.Reset(count)) return false;
  for (int32_t i = 0; i < count; ++i) CopyNameField(parse.model.variantNames[i].name, data + size_t(i) * 64, 64);
  return true;
}

}  // namespace vexmara

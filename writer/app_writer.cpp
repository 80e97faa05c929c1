#include "writer/app_writer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "writer/byte_writer.h"

namespace vexmara::writer {
namespace {

using detail::ByteWriter;

// Top-level record fields (absolute positions).
constexpr size_t kBoneCountAt = 36;
constexpr size_t kBonesRefAt = 40;
constexpr size_t kGeosetHeaderAt[2] = {168, 192};
constexpr size_t kVersionAt = 4;

// Bone record fields.
constexpr size_t kBoneNameBytes = 64;
constexpr size_t kBoneParentAt = 64;
constexpr size_t kBoneTransformAt[3] = {108, 140, 172};

constexpr size_t kMaterialNameBytes = 128;
constexpr size_t kMaterialVariantsRefAt = 128;
constexpr size_t kVariantTexturesRefAt = 100;

int32_t CountOf(const std::optional<int32_t>& override, size_t elements) {
  return override.value_or(static_cast<int32_t>(elements));
}

void PutTransform(ByteWriter& out, size_t at, const AppTransform& t) {
  for (size_t i = 0; i < 4; ++i) out.F32(at + 4 * i, t.rotation[i]);
  for (size_t i = 0; i < 3; ++i) out.F32(at + 16 + 4 * i, t.translation[i]);
  out.F32(at + 28, t.scale);
}

void PutSubmesh(ByteWriter& out, size_t record, const AppSubmesh& mesh, const AppRecordSizes& sizes,
                AppSubmeshPlacement& placed) {
  placed.record = static_cast<uint32_t>(record);
  out.I32(record + sizes.submeshVertexCount, CountOf(mesh.vertexCount, mesh.vertices.size()));
  out.Text(record + sizes.submeshMaterialName, mesh.materialName, kMaterialNameBytes);

  placed.vertices = out.PlaceArray(record + sizes.submeshVertices, mesh.vertices.size(),
                                   kAppVertexBytes, mesh.verticesArray);
  if (placed.vertices.size > 0) {
    size_t at = FilePosition(placed.vertices);
    for (const AppVertex& v : mesh.vertices) {
      for (size_t i = 0; i < 3; ++i) out.F32(at + 4 * i, v.position[i]);
      out.I16(at + 24, v.u);
      out.I16(at + 26, v.v);
      at += kAppVertexBytes;
    }
  }

  placed.skin =
      out.PlaceArray(record + sizes.submeshSkin, mesh.skin.size(), kAppSkinBytes, mesh.skinArray);
  if (placed.skin.size > 0) {
    size_t at = FilePosition(placed.skin);
    for (const AppSkin& s : mesh.skin) {
      for (size_t i = 0; i < 3; ++i) {
        out.I32(at + 8 * i, s.boneIndices[i]);
        out.F32(at + 8 * i + 4, s.weights[i]);
      }
      at += kAppSkinBytes;
    }
  }

  const size_t indices = 3 * mesh.triangles.size() + mesh.extraIndices.size();
  out.I32(record + sizes.submeshIndexCount, CountOf(mesh.indexCount, indices));
  placed.indices = out.PlaceArray(record + sizes.submeshIndices, indices, 2, mesh.indicesArray);
  if (placed.indices.size > 0) {
    size_t at = FilePosition(placed.indices);
    for (const auto& triangle : mesh.triangles) {
      for (uint16_t index : triangle) {
        out.U16(at, index);
        at += 2;
      }
    }
    for (uint16_t index : mesh.extraIndices) {
      out.U16(at, index);
      at += 2;
    }
  }
}

void PutMaterial(ByteWriter& out, size_t record, const AppMaterial& material,
                 const AppRecordSizes& sizes, AppMaterialPlacement& placed) {
  placed.record = static_cast<uint32_t>(record);
  out.Text(record, material.name, kMaterialNameBytes);
  placed.variantEntries = out.PlaceArray(record + kMaterialVariantsRefAt, material.variants.size(),
                                         sizes.variantEntry, material.variantEntriesArray);
  if (placed.variantEntries.size == 0) return;

  size_t entry = FilePosition(placed.variantEntries);
  for (const AppVariant& variant : material.variants) {
    const DataRef textures =
        out.PlaceArray(entry + kVariantTexturesRefAt, variant.textureIds.size(), sizes.textureEntry,
                       variant.textureEntriesArray);
    if (textures.size > 0) {
      size_t at = FilePosition(textures);
      for (int32_t id : variant.textureIds) {
        out.I32(at + sizes.textureIdAt, id);
        at += sizes.textureEntry;
      }
    }
    placed.textureEntries.push_back(textures);
    entry += sizes.variantEntry;
  }
}

}  // namespace

AppRecordSizes AppRecordSizesFor(uint32_t formatVersion) {
  AppRecordSizes s;
  const bool large = formatVersion >= 260;
  s.bone = large ? 312 : 236;
  s.submesh = large ? 400 : 372;
  s.material = large ? 144 : 140;
  s.textureEntry = large ? 160 : 184;
  s.textureIdAt = large ? 8 : 4;
  s.variantBlock = formatVersion >= 258 ? 432 : 1472;
  s.topLevelEnd = s.variantBlock + 112;
  s.submeshSkin = large ? 24 : 20;
  s.submeshIndexCount = large ? 40 : 32;
  s.submeshIndices = large ? 44 : 36;
  s.submeshMaterialName = large ? 92 : 72;
  return s;
}

int16_t EncodeTexCoord(float value) {
  const double stored = std::round((static_cast<double>(value) - 128.0) * 512.0 + 32767.0);
  return static_cast<int16_t>(std::clamp(stored, -32768.0, 32767.0));
}

AppVertex MakeVertex(float x, float y, float z, float u, float v) {
  return AppVertex{{x, y, z}, EncodeTexCoord(u), EncodeTexCoord(v)};
}

AppBone MakeBone(const std::string& name, int32_t parent, std::array<float, 3> translation,
                 std::array<float, 4> rotation, float scale) {
  AppBone bone;
  bone.name = name;
  bone.parentIndex = parent;
  bone.bindTransform.translation = translation;
  bone.bindTransform.rotation = rotation;
  bone.bindTransform.scale = scale;
  return bone;
}

AppMaterial MakeMaterial(const std::string& name, std::vector<int32_t> textureIds) {
  AppMaterial material;
  material.name = name;
  AppVariant variant;
  variant.textureIds = std::move(textureIds);
  material.variants.push_back(std::move(variant));
  return material;
}

std::vector<uint8_t> WriteAppFile(const AppModel& model, AppPlacement* placement) {
  const AppRecordSizes sizes = AppRecordSizesFor(model.formatVersion);
  AppPlacement placed;
  placed.sizes = sizes;

  ByteWriter out;
  out.Grow(sizes.topLevelEnd);
  out.U32(kVersionAt, model.formatVersion);

  out.I32(kBoneCountAt, CountOf(model.boneCount, model.bones.size()));
  placed.bones = out.PlaceArray(kBonesRefAt, model.bones.size(), sizes.bone, model.bonesArray);
  if (placed.bones.size > 0) {
    size_t at = FilePosition(placed.bones);
    for (const AppBone& bone : model.bones) {
      out.Text(at, bone.name, kBoneNameBytes);
      out.I32(at + kBoneParentAt, bone.parentIndex);
      PutTransform(out, at + kBoneTransformAt[0], bone.firstTransform);
      PutTransform(out, at + kBoneTransformAt[1], bone.secondTransform);
      PutTransform(out, at + kBoneTransformAt[2], bone.bindTransform);
      at += sizes.bone;
    }
  }

  for (size_t g = 0; g < 2; ++g) {
    const AppGeoset& geoset = model.geosets[g];
    AppGeosetPlacement& geosetPlaced = placed.geosets[g];
    const size_t header = kGeosetHeaderAt[g];
    out.I32(header, CountOf(geoset.submeshCount, geoset.submeshes.size()));
    geosetPlaced.submeshes =
        out.PlaceArray(header + 4, geoset.submeshes.size(), sizes.submesh, geoset.submeshesArray);
    if (geosetPlaced.submeshes.size == 0) continue;
    size_t record = FilePosition(geosetPlaced.submeshes);
    for (const AppSubmesh& mesh : geoset.submeshes) {
      PutSubmesh(out, record, mesh, sizes, geosetPlaced.submeshRecords.emplace_back());
      record += sizes.submesh;
    }
  }

  size_t variants = model.variantNames.size();
  for (const AppMaterial& material : model.materials)
    variants = std::max(variants, material.variants.size());
  const size_t block = sizes.variantBlock;
  out.I32(block, CountOf(model.variantCount, variants));
  out.I32(block + 4, CountOf(model.materialCount, model.materials.size()));

  placed.materials =
      out.PlaceArray(block + 8, model.materials.size(), sizes.material, model.materialsArray);
  if (placed.materials.size > 0) {
    size_t record = FilePosition(placed.materials);
    for (const AppMaterial& material : model.materials) {
      PutMaterial(out, record, material, sizes, placed.materialRecords.emplace_back());
      record += sizes.material;
    }
  }

  placed.variantNames = out.PlaceArray(block + 16, model.variantNames.size(), kAppVariantNameBytes,
                                       model.variantNamesArray);
  if (placed.variantNames.size > 0) {
    size_t at = FilePosition(placed.variantNames);
    for (const std::string& name : model.variantNames) {
      out.Text(at, name, kAppVariantNameBytes);
      at += kAppVariantNameBytes;
    }
  }

  if (placement != nullptr) *placement = std::move(placed);
  return out.Take();
}

}  // namespace vexmara::writer

#include "writer/samples.h"

#include <algorithm>
#include <cmath>

namespace vexmara::writer {

AppModel SampleModel(const SampleModelShape& shape) {
  AppModel model;
  model.formatVersion = shape.formatVersion;
  const int32_t boneCount = std::max(shape.bones, 0);
  const int32_t chainLength = std::max(boneCount / std::max(shape.chains, 1), 1);
  for (int32_t b = 0; b < boneCount; ++b) {
    AppBone bone;
    bone.name = "bone_" + std::to_string(b);
    bone.parentIndex = b % chainLength == 0 ? -1 : b - 1;
    bone.bindTransform.translation = {0, b == 0 ? 0.0f : 1.0f, 0};
    const float angle = 0.1f * float(b);
    bone.bindTransform.rotation = {0, 0, std::sin(angle / 2), std::cos(angle / 2)};
    model.bones.push_back(bone);
  }

  const int32_t materialCount = std::max(shape.materials, 1);
  const int32_t perSubmesh = std::max(shape.vertices / materialCount, 4);
  // Each submesh is a grid of `columns` x `rows` vertices; row-major, uint16 indices.
  const int32_t columns = std::max(2, std::min(256, int32_t(std::sqrt(double(perSubmesh)))));
  for (int32_t m = 0; m < materialCount; ++m) {
    AppMaterial material;
    material.name = "material_" + std::to_string(m);
    for (int32_t v = 0; v < std::max(shape.variants, 1); ++v) {
      AppVariant variant;
      for (int32_t t = 0; t < std::max(shape.texturesPerMaterial, 1); ++t) {
        variant.textureIds.push_back(shape.firstTextureId + m + t * materialCount + 100 * v);
      }
      material.variants.push_back(variant);
    }
    model.materials.push_back(material);

    // A submesh may hold at most 65,536 vertices (uint16 indices): larger shapes get more rows
    // in more submeshes of the same material.
    int32_t remaining = perSubmesh;
    while (remaining > 0) {
      const int32_t rows = std::max(2, std::min(remaining / columns, 65536 / columns));
      AppSubmesh submesh;
      submesh.materialName = material.name;
      submesh.vertices.reserve(size_t(rows * columns));
      submesh.skin.reserve(size_t(rows * columns));
      for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < columns; ++c) {
          const float u = float(c) / float(columns - 1);
          const float v = float(r) / float(rows - 1);
          submesh.vertices.push_back(
              MakeVertex(u + float(m), v * float(std::max(boneCount, 1)), 0, u, v));
          AppSkin skin;
          const int32_t last = std::max(boneCount - 1, 0);
          const int32_t bone = boneCount > 0 ? std::min(int32_t(v * float(boneCount)), last) : 0;
          if (shape.influences >= 3) {
            skin.boneIndices = {bone, std::min(bone + 1, last), std::min(bone + 2, last)};
            skin.weights = {0.5f, 0.3f, 0.2f};
          } else {
            skin.boneIndices = {bone, std::min(bone + 1, last), 0};
            skin.weights = {0.75f, 0.25f, 0};
          }
          submesh.skin.push_back(skin);
        }
      }
      for (int32_t r = 0; r + 1 < rows; ++r) {
        for (int32_t c = 0; c + 1 < columns; ++c) {
          const auto i = uint16_t(r * columns + c);
          const auto right = uint16_t(i + 1), down = uint16_t(i + columns),
                     diagonal = uint16_t(i + columns + 1);
          submesh.triangles.push_back({i, down, right});
          submesh.triangles.push_back({right, down, diagonal});
        }
      }
      model.geosets[size_t(m % 2)].submeshes.push_back(std::move(submesh));
      remaining -= rows * columns;
    }
  }
  for (int32_t v = 0; v < std::max(shape.variants, 1); ++v)
    model.variantNames.push_back("variant_" + std::to_string(v));
  return model;
}

AniFile SampleAnimation(const SampleAnimationShape& shape) {
  AniFile file;
  file.version = shape.version;
  file.name = shape.name;
  for (int32_t t = 0; t < shape.tracks; ++t) {
    AniTrack track;
    track.boneName = "bone_" + std::to_string(t);
    for (int32_t k = 0; k < shape.keys; ++k) {
      const float phase = float(k) / float(std::max(shape.keys, 1));
      track.translationKeys.push_back(
          {k, 0, t == 0 ? 0.0f : 1.0f, 0.1f * std::sin(6.2831853f * phase)});
      const float angle = 0.5f * std::sin(6.2831853f * phase);
      track.rotationKeys.push_back(
          MakeRotationKey(k, std::sin(angle / 2), 0, 0, std::cos(angle / 2)));
      track.scaleKeys.push_back({k, 1.0f + 0.1f * phase});
    }
    file.tracks.push_back(std::move(track));
  }
  if (shape.frameTable) {
    for (int32_t k = 0; k < shape.keys; ++k) file.frameTimes.push_back(float(k) / 30.0f);
    file.hasSecondFrameTable = true;
  }
  return file;
}

std::vector<uint8_t> SampleTextureFile(int32_t textureId) {
  std::vector<uint8_t> bytes(32, 0);
  const auto id = uint32_t(textureId);
  for (int k = 0; k < 4; ++k) bytes[16 + size_t(k)] = uint8_t(id >> (8 * k));
  for (size_t k = 20; k < bytes.size(); ++k) bytes[k] = uint8_t(k);
  return bytes;
}

}  // namespace vexmara::writer

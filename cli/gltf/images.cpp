#include "cli/gltf/images.h"

#include <map>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace vexmara::cli {
namespace {

bool Decode(const ImageCodec& codec, const std::string& path, RgbaImage* image) {
  return codec.decode && codec.decode(path, image) && image->width > 0 && image->height > 0 &&
         image->pixels.size() == size_t(image->width) * size_t(image->height) * 4;
}

// The stem of a host path, which may use either separator.
std::string StemOf(const std::string& path) {
  std::string text = path;
  const size_t slash = text.find_last_of("/\\");
  if (slash != std::string::npos) text.erase(0, slash + 1);
  const size_t dot = text.rfind('.');
  if (dot != std::string::npos && dot > 0) text.erase(dot);
  return text;
}

// The alpha map's grey as the image's alpha; a map of another size is sampled at the nearest
// texel.
void TakeAlpha(const RgbaImage& map, RgbaImage* image) {
  for (std::int32_t y = 0; y < image->height; ++y) {
    const size_t mapY = size_t(std::int64_t(y) * map.height / image->height);
    for (std::int32_t x = 0; x < image->width; ++x) {
      const size_t mapX = size_t(std::int64_t(x) * map.width / image->width);
      image->pixels[(size_t(y) * size_t(image->width) + size_t(x)) * 4 + 3] =
          map.pixels[(mapY * size_t(map.width) + mapX) * 4];
    }
  }
}

}  // namespace

AlphaMode AlphaModeOf(const RgbaImage& image) {
  bool translucent = false, partial = false;
  for (size_t i = 3; i < image.pixels.size(); i += 4) {
    const std::uint8_t alpha = image.pixels[i];
    translucent = translucent || alpha != 255;
    partial = partial || (alpha != 0 && alpha != 255);
  }
  return partial ? AlphaMode::Blend : translucent ? AlphaMode::Mask : AlphaMode::Opaque;
}

MaterialImages PrepareImages(const SceneSnapshot& scene, const ImageCodec& codec) {
  MaterialImages prepared;
  prepared.imageOf.assign(scene.materials.size(), -1);
  // Each pair of texture and alpha map is decoded once; equal PNG files are one image.
  std::map<std::pair<std::string, std::string>, int> imageOfSources;
  std::unordered_multimap<std::string_view, int> imageOfBytes;
  for (size_t m = 0; m < scene.materials.size(); ++m) {
    const SnapshotMaterial& material = scene.materials[m];
    if (material.texture.empty()) continue;
    const auto sources = std::make_pair(material.texture, material.alphaMap);
    if (const auto known = imageOfSources.find(sources); known != imageOfSources.end()) {
      prepared.imageOf[m] = known->second;
      continue;
    }
    const std::string said = "material \"" + material.name + "\": ";
    RgbaImage image;
    if (!Decode(codec, material.texture, &image)) {
      prepared.warnings.push_back(said + material.texture +
                                  " cannot be decoded; the material is left untextured");
      imageOfSources.emplace(sources, -1);
      continue;
    }
    if (!material.alphaMap.empty()) {
      RgbaImage map;
      if (Decode(codec, material.alphaMap, &map)) {
        TakeAlpha(map, &image);
      } else {
        prepared.warnings.push_back(said + "the alpha map " + material.alphaMap +
                                    " cannot be decoded; the texture keeps its own alpha");
      }
    }
    auto png = std::make_shared<std::vector<std::uint8_t>>();
    if (!codec.encodePng || !codec.encodePng(image, png.get())) {
      prepared.warnings.push_back(said + material.texture +
                                  " cannot be encoded as PNG; the material is left untextured");
      imageOfSources.emplace(sources, -1);
      continue;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(png->data()), png->size());
    int index = -1;
    for (auto [it, end] = imageOfBytes.equal_range(bytes); it != end && index < 0; ++it)
      index = it->second;
    if (index < 0) {
      index = int(prepared.images.size());
      prepared.images.push_back(
          ExportImage{StemOf(material.texture), std::move(png), AlphaModeOf(image), std::string()});
      const auto& kept = *prepared.images.back().png;
      imageOfBytes.emplace(
          std::string_view(reinterpret_cast<const char*>(kept.data()), kept.size()), index);
    }
    imageOfSources.emplace(sources, index);
    prepared.imageOf[m] = index;
  }
  return prepared;
}

}  // namespace vexmara::cli

#include "cli/gltf_images.h"

#include <map>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "cli/gltf_names.h"
#include "host/text.h"

namespace vexmara::cli {
namespace {

// The path of a material's texture slot, or null when the slot holds none.
const host::TextureSlotView* Slot(const host::MaterialView& material, int index) {
  const host::TextureSlotView* found = nullptr;
  for (const host::TextureSlotView& slot : material.textureSlots) {
    if (slot.slotIndex == index && (slot.flags & 1) != 0 && !slot.path.empty()) found = &slot;
  }
  return found;
}

bool Decode(const ImageCodec& codec, const std::u16string& path, RgbaImage* image) {
  return codec.decode && codec.decode(path, image) && image->width > 0 && image->height > 0 &&
         image->pixels.size() == size_t(image->width) * size_t(image->height) * 4;
}

// The stem of a host path, which may use either separator.
std::string StemOf(const std::u16string& path) {
  std::string text = host::Utf16ToUtf8(path);
  const size_t slash = text.find_last_of("/\\");
  if (slash != std::string::npos) text.erase(0, slash + 1);
  const size_t dot = text.rfind('.');
  if (dot != std::string::npos && dot > 0) text.erase(dot);
  return text;
}

}  // namespace

MaterialImages PrepareImages(const SceneSnapshot& scene, const ImageCodec& codec) {
  MaterialImages prepared;
  prepared.imageOf.assign(scene.materials.size(), -1);
  // Each texture is decoded once; equal PNG files are one image.
  std::map<std::u16string, int> imageOfSources;
  std::unordered_multimap<std::string_view, int> imageOfBytes;
  for (size_t m = 0; m < scene.materials.size(); ++m) {
    const host::MaterialView& material = scene.materials[m];
    const host::TextureSlotView* base = Slot(material, 0);
    if (base == nullptr) continue;
    const auto& sources = base->path;
    if (const auto known = imageOfSources.find(sources); known != imageOfSources.end()) {
      prepared.imageOf[m] = known->second;
      continue;
    }
    const std::string said = "material \"" + HostText(material.name, material.narrowName) + "\": ";
    RgbaImage image;
    if (!Decode(codec, base->path, &image)) {
      prepared.warnings.push_back(said + host::Utf16ToUtf8(base->path) +
                                  " cannot be decoded; the material is left untextured");
      imageOfSources.emplace(sources, -1);
      continue;
    }
    auto png = std::make_shared<std::vector<std::uint8_t>>();
    if (!codec.encodePng || !codec.encodePng(image, png.get())) {
      prepared.warnings.push_back(said + host::Utf16ToUtf8(base->path) +
                                  " cannot be encoded as PNG; the material is left untextured");
      imageOfSources.emplace(sources, -1);
      continue;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(png->data()), png->size());
    int index = -1;
    for (auto [it, end] = imageOfBytes.equal_range(bytes); it != end && index < 0; ++it) index = it->second;
    if (index < 0) {
      index = int(prepared.images.size());
      prepared.images.push_back(ExportImage{StemOf(base->path), std::move(png), std::string()});
      const auto& kept = *prepared.images.back().png;
      imageOfBytes.emplace(std::string_view(reinterpret_cast<const char*>(kept.data()), kept.size()), index);
    }
    imageOfSources.emplace(sources, index);
    prepared.imageOf[m] = index;
  }
  return prepared;
}

}  // namespace vexmara::cli

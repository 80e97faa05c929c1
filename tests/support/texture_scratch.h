// Shared pieces of the texture and dialog tests: a scratch folder of tex files and converted
// images, wide path helpers, and models built in a store by hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "abi/text.h"
#include "scratch_folder.h"
#include "store/model_store.h"

namespace vexmara::testing {

inline std::u16string Wide(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// A scratch folder of tex files.
class TextureFolder : public ScratchFolder {
 public:
  using ScratchFolder::ScratchFolder;

  // The folder as a texture directory: its wide path ending in a separator.
  std::u16string Directory() const { return (path() / "").u16string(); }

  // A tex file of `size` bytes (at least 20) whose identifier field holds `textureId`; the other
  // bytes are noise, so that only the field at 16 can give the identifier.
  void WriteTex(const std::filesystem::path& relative, int32_t textureId, size_t size = 64) const {
    WriteBytes(relative, TexBytes(textureId, size));
  }

  static std::vector<uint8_t> TexBytes(int32_t textureId, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(0xA5 ^ (i * 37));
    const uint32_t id = uint32_t(textureId);
    for (size_t k = 0; k < 4 && 16 + k < size; ++k) bytes[16 + k] = uint8_t(id >> (8 * k));
    return bytes;
  }
};

// Makes a folder the process's current directory for the rest of the scope.
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const std::filesystem::path& path)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~CurrentDirectoryScope() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
  CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

 private:
  std::filesystem::path previous_;
};

// A material with one slot per identifier (none: no slots array at all).
inline void AddMaterial(ModelStore& store, const char* name, const std::vector<int32_t>& slotIds) {
  List<Material> grown;
  ASSERT_TRUE(grown.Reset(store.materials.count + 1));
  for (int32_t i = 0; i < store.materials.count; ++i) grown[i] = std::move(store.materials[i]);
  Material& material = grown[store.materials.count];
  NarrowCopy(material.name, kNameBytes, name);
  if (!slotIds.empty()) {
    ASSERT_TRUE(material.textureSlots.Reset(int32_t(slotIds.size())));
    for (size_t k = 0; k < slotIds.size(); ++k)
      material.textureSlots[int32_t(k)].textureId = slotIds[k];
  }
  store.materials = std::move(grown);
}

inline std::vector<std::u16string> FoundNames(const ModelStore& store) {
  std::vector<std::u16string> names;
  for (const TextureRef& file : store.textureFiles) names.emplace_back(file.fileName);
  return names;
}

inline std::vector<std::u16string> AnimationPaths(const ModelStore& store) {
  std::vector<std::u16string> paths;
  for (const WidePath& file : store.animationFiles) paths.emplace_back(file.path);
  return paths;
}

}  // namespace vexmara::testing

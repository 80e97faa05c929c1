// glTF 2.0 document of what the host holds after an import.
//
// Host meshes become one node and one mesh each, with one primitive per material; a host vertex
// whose face corners carry different texture coordinates is split, since glTF attributes are
// per vertex. Bones become a node tree with a skin over all of them; host animations become glTF
// animations sampled LINEAR at the host's key times, with each key made absolute by composing it
// with the bone's transform (the host holds keys relative to the bind pose).
//
// BuildGltf runs one step per part of the document: materials, meshes (with the vertex split),
// bone nodes and skin, animations, scene. Writing the document as files is gltf_file.h's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <tiny_gltf.h>

#include "cli/gltf/images.h"
#include "cli/gltf/math.h"
#include "cli/gltf/scene_snapshot.h"

namespace vexmara::cli {

struct GltfCounts {
  int meshes = 0;
  int primitives = 0;
  int vertices = 0;  // glTF vertices written, after splitting
  int triangles = 0;
  int materials = 0;
  int texturedMaterials = 0;
  int joints = 0;
  int animations = 0;
  int channels = 0;
};

// The bytes of the document's one buffer, kept as the blocks its views were made from: the file
// writer streams them in order, so that the buffer is never joined into one array in memory.
class BinaryChunk {
 public:
  // Takes `elements` as the bytes of the next view, at a 4-byte boundary; gives their offset.
  template <class T>
  size_t Append(std::vector<T> elements) {
    auto owner = std::make_shared<const std::vector<T>>(std::move(elements));
    const size_t bytes = owner->size() * sizeof(T);
    const auto* data = reinterpret_cast<const std::uint8_t*>(owner->data());
    return AppendBlock(data, bytes, std::move(owner));
  }

  // Shares the bytes of an image held elsewhere as the next view's data.
  size_t AppendShared(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    const std::uint8_t* data = bytes->data();
    const size_t size = bytes->size();
    return AppendBlock(data, size, std::move(bytes));
  }

  // The buffer's length: every block and the padding before each, the last padded to 4 bytes.
  size_t Size() const { return (size_ + 3) / 4 * 4; }

  // Hands the buffer to `write` piece by piece, padding included; false as soon as `write` is.
  bool WriteTo(const std::function<bool(const void* bytes, size_t size)>& write) const;

 private:
  struct Block {
    size_t offset = 0;
    const std::uint8_t* data = nullptr;
    size_t size = 0;
    std::shared_ptr<const void> owner;
  };
  size_t AppendBlock(const std::uint8_t* data, size_t size, std::shared_ptr<const void> owner);

  std::vector<Block> blocks_;
  size_t size_ = 0;
};

// A file the document refers to by its name, to be written beside it.
struct ExternalFile {
  std::string name;
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;
};

// The document: `model` holds every property but the bytes of its buffer, which `binary` holds
// (the model's `buffers` stay empty; the file writer adds the buffer). `files` are the images it
// names by URI.
struct GltfDocument {
  tinygltf::Model model;
  BinaryChunk binary;
  std::vector<ExternalFile> files;
  GltfCounts counts;
  std::vector<int> animationSources;  // per animation: the scene's animation it was made from
  std::vector<std::string> warnings;
};

// The document for a scene. Each material of `images.imageOf` gets its image as its base colour
// texture, with the image's alpha mode: inside the buffer, or a file named by the image's URI.
GltfDocument BuildGltf(const SceneSnapshot& scene, const MaterialImages& images = {});

// ---- Pieces of the document, exposed for tests ------------------------------------------------

// One key of a channel: a time and up to four components.
struct ChannelKey {
  float time = 0;
  std::array<float, 4> value{};
};

// Keys as a glTF sampler needs them: non-finite keys dropped, negative times raised to 0, times
// ordered (keys of the same time keep their order) and keys of equal time merged into the last
// of them, so that times strictly increase.
std::vector<ChannelKey> OrderKeys(std::vector<ChannelKey> keys, int components);

// The skin influences of one vertex, at most four, as glTF takes them: entries with a bone index
// outside [0, boneCount) or a weight that is not positive are dropped, entries of one bone added
// up, the four largest kept and scaled to sum 1. A vertex left without influences follows
// `rootBone` with weight 1.
struct Influences {
  std::array<std::uint16_t, 4> joints{};
  std::array<float, 4> weights{};
};
Influences SkinInfluences(std::span<const SkinWeight> entries, int boneCount, int rootBone);

}  // namespace vexmara::cli

// glTF 2.0 export of what the host holds after an import.
//
// Host meshes become one node and one mesh each, with one primitive per material; a host vertex
// whose face corners carry different texture coordinates is split, since glTF attributes are
// per vertex. Bones become a node tree with a skin over all of them; host animations become glTF
// animations sampled LINEAR at the host's key times, with each key made absolute by composing it
// with the bone's transform (the host holds keys relative to the bind pose).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <tiny_gltf.h>

#include "cli/scene_snapshot.h"

namespace vexmara::cli {

// An image in memory: RGBA, 8 bits a channel, rows from top to bottom.
struct RgbaImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;
};

// How texture images are read and written; supplied by the caller so that the export itself
// knows no image format.
struct ImageCodec {
  std::function<bool(const std::u16string& path, RgbaImage* image)> decode;
  std::function<bool(const std::filesystem::path& path, const RgbaImage& image)> writePng;
};

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

struct GltfDocument {
  tinygltf::Model model;
  GltfCounts counts;
  std::vector<std::string> warnings;
};

// The document for a scene. `textureUris[m]`, when present and non-empty, is the URI of the
// base colour image of material m.
GltfDocument BuildGltf(const SceneSnapshot& scene, const std::vector<std::string>& textureUris);

struct WrittenTextures {
  std::vector<std::string> uris;  // per material; empty for an untextured one
  std::vector<std::filesystem::path> files;
  std::vector<std::string> warnings;
};

// Decodes the image of every material's texture slot 0 and writes it as a PNG beside `output`,
// named after the output and the texture. A slot whose image cannot be decoded leaves its
// material untextured, with a warning. Materials sharing an image share its PNG.
WrittenTextures WriteTextures(const SceneSnapshot& scene, const std::filesystem::path& output,
                              const ImageCodec& codec);

// Writes a ".glb" (one file) or a ".gltf" with its ".bin" beside it, by the output's extension.
bool WriteGltf(const tinygltf::Model& model, const std::filesystem::path& output, std::string* error);

// True when the path ends in ".glb" or ".gltf" (in any case).
bool IsGltfPath(const std::filesystem::path& path);

struct ExportResult {
  bool written = false;
  std::string error;
  GltfCounts counts;
  std::vector<std::string> warnings;
  std::vector<std::filesystem::path> files;  // everything written, the output first
};

// Textures, document and file(s) in one go.
ExportResult ExportGltf(const SceneSnapshot& scene, const std::filesystem::path& output,
                        const ImageCodec& codec);

// ---- The transforms of the export, exposed for tests ------------------------------------------

using Vec3 = std::array<float, 3>;
using Quat = std::array<float, 4>;  // x, y, z, w

// a ⊗ b, the Hamilton product.
Quat QuatMultiply(const Quat& a, const Quat& b);
// q / |q|; the identity for a quaternion of no length or with a non-finite component.
Quat QuatNormalize(const Quat& q);
// R(q)·v for the unit quaternion q.
Vec3 QuatRotate(const Quat& q, const Vec3& v);

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
Influences SkinInfluences(const std::vector<host::HostWeightEntry>& entries, int boneCount, int rootBone);

}  // namespace vexmara::cli

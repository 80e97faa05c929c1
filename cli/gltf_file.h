// Writing the glTF document as files: the texture images as PNG files beside the output, then a
// ".glb" (one file) or a ".gltf" with its ".bin", by the output's extension.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cli/file_sink.h"
#include "cli/gltf_export.h"

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

// The document's JSON: every property of the model, and the buffer of `bufferBytes` bytes, stored
// at `bufferUri` (empty: the binary chunk of a .glb).
std::string DocumentJson(const tinygltf::Model& model, size_t bufferBytes, const std::string& bufferUri);

// Writes a ".glb" (one file) or a ".gltf" with its ".bin" beside it, by the output's extension,
// into `sink`; the .bin is begun first, so that a file naming another comes after it.
bool WriteGltf(const GltfDocument& document, const std::filesystem::path& output, FileSink& sink);

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

}  // namespace vexmara::cli

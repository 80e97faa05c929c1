// Writing the glTF document as files: a ".glb" (one file, its images inside) or a ".gltf" with its
// ".bin" and its images as PNG files beside it, by the output's extension.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/file_sink.h"
#include "cli/gltf_export.h"
#include "cli/gltf_images.h"

namespace vexmara::cli {

struct ExportOptions {
  // A .glb's images as PNG files beside it, as a .gltf's always are, instead of inside it.
  bool externalImages = false;
};

// The document's JSON: every property of the model, and the buffer of `bufferBytes` bytes, stored
// at `bufferUri` (empty: the binary chunk of a .glb).
std::string DocumentJson(const tinygltf::Model& model, size_t bufferBytes,
                         const std::string& bufferUri);

// Writes the document's files beside `output`, then the .bin of a ".gltf", then the ".glb" or
// ".gltf" itself, each into `sink` in that order, so that a file comes after those it names.
bool WriteGltf(const GltfDocument& document, const std::filesystem::path& output, FileSink& sink);

struct ExportResult {
  bool written = false;
  std::string error;
  GltfCounts counts;
  std::vector<std::string> warnings;
  std::vector<std::filesystem::path> files;  // everything written, the output first
};

// Images, document and files in one go, into `sink`. The images of a .gltf (and of a .glb with
// `externalImages`) are named after the output and their texture: OUT_rock.png.
ExportResult ExportGltf(const SceneSnapshot& scene, const std::filesystem::path& output,
                        const ExportOptions& options, const ImageCodec& codec, FileSink& sink);
// The same, written to the disk whole or not at all (output_files.h): `error` then names the file
// that failed and the system's reason.
ExportResult ExportGltf(const SceneSnapshot& scene, const std::filesystem::path& output,
                        const ExportOptions& options, const ImageCodec& codec);

}  // namespace vexmara::cli

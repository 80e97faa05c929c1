// Writing the glTF document as files: a ".glb" (one file, its images inside) or a ".gltf" with its
// ".bin" and its images as PNG files beside it, by the output's extension.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/files/file_sink.h"
#include "cli/gltf/document.h"
#include "cli/gltf/images.h"
#include "host/result.h"

namespace vexmara::cli {

// True when the path ends in ".glb" or ".gltf" (in any case).
bool IsGltfPath(const std::filesystem::path& path);

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

enum class ExportCode {
  Ok,
  NotGltfName,  // the output ends in neither .glb nor .gltf
  WriteFailed,  // the sink refused a file; the message is its failure
};

struct ExportResult : host::Result<ExportCode> {
  GltfCounts counts;
  // The document's animations: their names, and the scene's animation each was made from.
  std::vector<std::string> animationNames;
  std::vector<int> animationSources;
  std::vector<std::string> warnings;
  std::vector<std::filesystem::path> files;  // everything written, the output first
};

// Images, document and files in one go, into `sink`. The images of a .gltf (and of a .glb with
// `externalImages`) are named after the output and their texture: OUT_rock.png.
ExportResult ExportGltf(const SceneSnapshot& scene, const std::filesystem::path& output,
                        const ExportOptions& options, const ImageCodec& codec, FileSink& sink);

}  // namespace vexmara::cli

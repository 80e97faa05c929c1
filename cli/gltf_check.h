// Reading an export back from memory, for the tests and the exporter's fuzz harness.
#pragma once

#include <filesystem>
#include <string>

#include <tiny_gltf.h>

#include "cli/file_sink.h"

namespace vexmara::cli {

// Loads the document at `path` of `files` with tinygltf, taking its .bin and images from `files`
// too. With `decodeImages` each image's `image` holds its decoded pixels (RGBA), otherwise the
// bytes of its file as they are. False with tinygltf's reasons when the document does not load or tinygltf warns.
bool LoadWritten(const MemoryFiles& files, const std::filesystem::path& path, bool decodeImages,
                 tinygltf::Model* model, std::string* error);

}  // namespace vexmara::cli

// Reading an export back from memory and checking it, for the tests and the exporter's fuzz
// harness. The check is the part of the Khronos validator's work that this writer could get
// wrong, done in-process: a fuzz run cannot start the validator for every input.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <tiny_gltf.h>

#include "cli/files/file_sink.h"

namespace vexmara::testing {

using cli::MemoryFiles;

// Loads the document at `path` of `files` with tinygltf, taking its .bin and images from `files`
// too. With `decodeImages` each image's `image` holds its decoded pixels (RGBA), otherwise the
// bytes of its file as they are. False with tinygltf's reasons when the document does not load or
// tinygltf warns.
bool LoadWritten(const MemoryFiles& files, const std::filesystem::path& path, bool decodeImages,
                 tinygltf::Model* model, std::string* error);

// What is wrong with the document at `path` of `files` (empty when nothing is): it loads back,
// and a .glb's chunks fit its buffer; every view lies in its buffer and every accessor in its
// view, aligned, with finite elements and exact min and max; primitives are whole triangles with
// indices in range and influences that sum to 1; the nodes form a forest whose roots are the
// scene's, with every joint under its skin's skeleton and each skinned mesh a root; animation
// times increase, rotations are of unit length, no target is animated twice; alpha modes, images
// (PNG in a view or a file) and textures are sound; and names are set and unique in each kind.
std::vector<std::string> CheckGltf(const MemoryFiles& files, const std::filesystem::path& path);

}  // namespace vexmara::testing

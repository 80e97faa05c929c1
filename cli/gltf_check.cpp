#include "cli/gltf_check.h"

#include <algorithm>
#include <cctype>

namespace vexmara::cli {
namespace {

const std::vector<std::uint8_t>* FindFile(const MemoryFiles& files, const std::string& path) {
  return files.Find(std::filesystem::path(path).lexically_normal());
}

tinygltf::FsCallbacks MemoryCallbacks(const MemoryFiles& files) {
  tinygltf::FsCallbacks callbacks{};
  callbacks.FileExists = [](const std::string& path, void* user) {
    return FindFile(*static_cast<const MemoryFiles*>(user), path) != nullptr;
  };
  callbacks.ExpandFilePath = [](const std::string& path, void*) { return path; };
  callbacks.ReadWholeFile = [](std::vector<unsigned char>* out, std::string* error, const std::string& path,
                               void* user) {
    const std::vector<std::uint8_t>* bytes = FindFile(*static_cast<const MemoryFiles*>(user), path);
    if (bytes == nullptr) {
      if (error != nullptr) *error += "no file " + path + "\n";
      return false;
    }
    out->assign(bytes->begin(), bytes->end());
    return true;
  };
  callbacks.WriteWholeFile = [](std::string* error, const std::string&, const std::vector<unsigned char>&, void*) {
    if (error != nullptr) *error += "nothing is written while reading back\n";
    return false;
  };
  callbacks.user_data = const_cast<MemoryFiles*>(&files);
  return callbacks;
}

// Keeps an image's file bytes as they are in place of its pixels.
bool KeepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void*) {
  image->image.assign(bytes, bytes + size);
  return true;
}

}  // namespace

bool LoadWritten(const MemoryFiles& files, const std::filesystem::path& path, bool decodeImages,
                 tinygltf::Model* model, std::string* error) {
  const std::vector<std::uint8_t>* bytes = files.Find(path.lexically_normal());
  if (bytes == nullptr) {
    *error = path.string() + ": not written";
    return false;
  }
  tinygltf::TinyGLTF loader;
  loader.SetFsCallbacks(MemoryCallbacks(files));
  if (!decodeImages) loader.SetImageLoader(&KeepImageBytes, nullptr);
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  const std::string folder = path.parent_path().string();
  std::string warning;
  error->clear();
  const bool loaded =
      extension == ".glb"
          ? loader.LoadBinaryFromMemory(model, error, &warning, bytes->data(), unsigned(bytes->size()), folder)
          : loader.LoadASCIIFromString(model, error, &warning, reinterpret_cast<const char*>(bytes->data()),
                                       unsigned(bytes->size()), folder);
  // What tinygltf only warns of (an image it cannot find, for one) is a fault of an export too.
  *error += warning;
  return loaded && warning.empty();
}

}  // namespace vexmara::cli

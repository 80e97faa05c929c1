#include "cli/gltf_file.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <map>
#include <set>
#include <utility>

#include "host/text.h"

namespace vexmara::cli {
namespace {

std::string Utf8(const std::u16string& text) { return host::Utf16ToUtf8(text); }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

// A file-name part made of letters, digits, "-" and "_" only, so that it is a URI as it stands.
std::string UriSafe(const std::string& text) {
  std::string out;
  for (unsigned char c : text) out += std::isalnum(c) || c == '-' || c == '_' ? char(c) : '_';
  return out.empty() ? std::string("texture") : out;
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

WrittenTextures WriteTextures(const SceneSnapshot& scene, const std::filesystem::path& output,
                              const ImageCodec& codec) {
  WrittenTextures written;
  written.uris.assign(scene.materials.size(), std::string());
  const std::filesystem::path directory = output.parent_path();
  const std::string prefix = UriSafe(output.stem().string());
  std::map<std::u16string, std::string> uriOfSource;
  std::set<std::string> taken;
  for (size_t m = 0; m < scene.materials.size(); ++m) {
    const host::MaterialView& material = scene.materials[m];
    const host::TextureSlotView* slot = nullptr;
    for (const host::TextureSlotView& candidate : material.textureSlots) {
      if (candidate.slotIndex == 0 && (candidate.flags & 1) != 0 && !candidate.path.empty()) slot = &candidate;
    }
    if (slot == nullptr) continue;
    if (auto known = uriOfSource.find(slot->path); known != uriOfSource.end()) {
      written.uris[m] = known->second;
      continue;
    }
    const std::string source = host::Utf16ToUtf8(slot->path);
    RgbaImage image;
    if (!codec.decode || !codec.decode(slot->path, &image) || image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != size_t(image.width) * size_t(image.height) * 4) {
      written.warnings.push_back("material \"" + Utf8(material.name) + "\": " + source +
                                 " cannot be decoded; the material is left untextured");
      uriOfSource.emplace(slot->path, std::string());
      continue;
    }
    std::string uri = prefix + "_" + UriSafe(StemOf(slot->path)) + ".png";
    for (int n = 2; !taken.insert(uri).second; ++n) {
      uri = prefix + "_" + UriSafe(StemOf(slot->path)) + "_" + std::to_string(n) + ".png";
    }
    const std::filesystem::path file = directory / uri;
    if (!codec.writePng || !codec.writePng(file, image)) {
      written.warnings.push_back("material \"" + Utf8(material.name) + "\": " + file.string() +
                                 " could not be written; the material is left untextured");
      uriOfSource.emplace(slot->path, std::string());
      continue;
    }
    uriOfSource.emplace(slot->path, uri);
    written.uris[m] = uri;
    written.files.push_back(file);
  }
  return written;
}

bool WriteGltf(const tinygltf::Model& model, const std::filesystem::path& output, std::string* error) {
  const bool binary = Lower(output.extension().string()) == ".glb";
  tinygltf::Model copy = model;
  if (!binary && !copy.buffers.empty()) copy.buffers[0].uri = output.stem().string() + ".bin";
  tinygltf::TinyGLTF writer;
  // Images are already on disk beside the output; only their URIs go into the document.
  writer.SetImageWriter(nullptr, nullptr);
  bool ok = false;
  try {
    ok = writer.WriteGltfSceneToFile(&copy, output.string(), false, false, !binary, binary);
  } catch (const std::exception& e) {
    *error = output.string() + ": " + e.what();
    return false;
  }
  if (!ok) *error = output.string() + ": the file could not be written";
  return ok;
}

ExportResult ExportGltf(const SceneSnapshot& scene, const std::filesystem::path& output, const ImageCodec& codec) {
  ExportResult result;
  if (!IsGltfPath(output)) {
    result.error = output.string() + ": the output must end in .glb or .gltf";
    return result;
  }
  WrittenTextures textures = WriteTextures(scene, output, codec);
  GltfDocument document = BuildGltf(scene, textures.uris);
  result.counts = document.counts;
  result.warnings = std::move(textures.warnings);
  result.warnings.insert(result.warnings.end(), document.warnings.begin(), document.warnings.end());
  if (!WriteGltf(document.model, output, &result.error)) return result;
  result.written = true;
  result.files.push_back(output);
  if (Lower(output.extension().string()) == ".gltf" && !document.model.buffers.empty()) {
    result.files.push_back(output.parent_path() / (output.stem().string() + ".bin"));
  }
  result.files.insert(result.files.end(), textures.files.begin(), textures.files.end());
  return result;
}

}  // namespace vexmara::cli

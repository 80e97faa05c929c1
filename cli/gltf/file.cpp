#include "cli/gltf/file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <set>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

#include "cli/text/path_text.h"

namespace vexmara::cli {
namespace {

// A file-name part made of letters, digits, "-" and "_" only, so that it is a URI as it stands.
std::string UriSafe(const std::string& text) {
  std::string out;
  for (unsigned char c : text) out += std::isalnum(c) || c == '-' || c == '_' ? char(c) : '_';
  return out.empty() ? std::string("texture") : out;
}

// A URI reference for a file name: every byte but the unreserved ones percent-encoded.
std::string UriOf(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri;
  for (unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      uri += char(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

void PutLe32(std::uint8_t* out, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) out[k] = std::uint8_t(value >> (8 * k));
}

// A binary glTF: the 12-byte header, the JSON chunk padded with spaces, then the binary chunk
// streamed from the document's blocks.
bool WriteGlb(const GltfDocument& document, FileSink& sink) {
  std::string json = DocumentJson(document.model, document.binary.Size(), std::string());
  if (json.empty()) return false;
  json.resize((json.size() + 3) / 4 * 4, ' ');
  const size_t binary = document.binary.Size();
  const size_t total = 12 + 8 + json.size() + (binary > 0 ? 8 + binary : 0);
  if (total > 0xFFFFFFFFu) return false;
  std::uint8_t header[20];
  std::memcpy(header, "glTF", 4);
  PutLe32(header + 4, 2);
  PutLe32(header + 8, std::uint32_t(total));
  PutLe32(header + 12, std::uint32_t(json.size()));
  std::memcpy(header + 16, "JSON", 4);
  if (!sink.Write(header, sizeof header) || !sink.Write(json.data(), json.size())) return false;
  if (binary == 0) return true;
  std::uint8_t chunk[8];
  PutLe32(chunk, std::uint32_t(binary));
  std::memcpy(chunk + 4, "BIN\0", 4);
  return sink.Write(chunk, sizeof chunk) &&
         document.binary.WriteTo(
             [&](const void* bytes, size_t size) { return sink.Write(bytes, size); });
}

}  // namespace

bool IsGltfPath(const std::filesystem::path& path) {
  return HasExtension(path, ".glb") || HasExtension(path, ".gltf");
}

std::string DocumentJson(const tinygltf::Model& model, size_t bufferBytes,
                         const std::string& bufferUri) {
  tinygltf::TinyGLTF writer;
  // Images are files or views of the buffer already; only their references go into the document.
  writer.SetImageWriter(nullptr, nullptr);
  std::ostringstream text;
  try {
    if (!writer.WriteGltfSceneToStream(&model, text, false, false)) return std::string();
  } catch (const std::exception&) {
    return std::string();
  }
  // tinygltf writes everything but the buffer, whose bytes it never holds: the buffer is added as
  // the object's last member.
  std::string json = text.str();
  while (!json.empty() && std::isspace(static_cast<unsigned char>(json.back()))) json.pop_back();
  if (bufferBytes == 0) return json;
  if (json.size() < 2 || json.back() != '}') return std::string();
  json.pop_back();
  json += ",\"buffers\":[{\"byteLength\":" + std::to_string(bufferBytes);
  if (!bufferUri.empty()) json += ",\"uri\":" + nlohmann::json(bufferUri).dump();
  json += "}]}";
  return json;
}

bool WriteGltf(const GltfDocument& document, const std::filesystem::path& output, FileSink& sink) {
  for (const ExternalFile& file : document.files) {
    if (!sink.Begin(output.parent_path() / PathFromText(file.name)) ||
        !sink.Write(file.bytes->data(), file.bytes->size())) {
      return false;
    }
  }
  if (HasExtension(output, ".glb")) return sink.Begin(output) && WriteGlb(document, sink);
  const std::string binName = PathText(output.stem()) + ".bin";
  const size_t binary = document.binary.Size();
  if (binary > 0) {
    if (!sink.Begin(output.parent_path() / PathFromText(binName))) return false;
    if (!document.binary.WriteTo(
            [&](const void* bytes, size_t size) { return sink.Write(bytes, size); }))
      return false;
  }
  const std::string json = DocumentJson(document.model, binary, UriOf(binName));
  return !json.empty() && sink.Begin(output) && sink.Write(json.data(), json.size());
}

ExportResult ExportGltf(const SceneSnapshot& scene, const std::filesystem::path& output,
                        const ExportOptions& options, const ImageCodec& codec, FileSink& sink) {
  ExportResult result;
  if (!IsGltfPath(output)) {
    result.code = ExportCode::NotGltfName;
    result.message = PathText(output) + ": the output must end in .glb or .gltf";
    return result;
  }
  const bool binary = HasExtension(output, ".glb");
  MaterialImages images = PrepareImages(scene, codec);
  if (!binary || options.externalImages) {
    // File names that are URIs as they stand, unique among the images.
    const std::string prefix = UriSafe(PathText(output.stem()));
    std::set<std::string> taken;
    for (ExportImage& image : images.images) {
      const std::string stem = prefix + "_" + UriSafe(image.name);
      image.uri = stem + ".png";
      for (int n = 2; !taken.insert(image.uri).second; ++n)
        image.uri = stem + "_" + std::to_string(n) + ".png";
    }
  }
  GltfDocument document = BuildGltf(scene, images);
  result.counts = document.counts;
  for (const tinygltf::Animation& animation : document.model.animations) {
    result.animationNames.push_back(animation.name);
  }
  result.animationSources = document.animationSources;
  result.warnings = std::move(images.warnings);
  result.warnings.insert(result.warnings.end(), document.warnings.begin(), document.warnings.end());
  if (!WriteGltf(document, output, sink)) {
    const FileResult failure = sink.Failure();
    result.code = ExportCode::WriteFailed;
    result.message =
        failure.ok() ? PathText(output) + ": the document could not be written" : failure.message;
    return result;
  }
  result.files.push_back(output);
  if (!binary && document.binary.Size() > 0) {
    result.files.push_back(output.parent_path() / PathFromText(PathText(output.stem()) + ".bin"));
  }
  for (const ExternalFile& file : document.files)
    result.files.push_back(output.parent_path() / PathFromText(file.name));
  return result;
}
}  // namespace vexmara::cli

// The page's WebAssembly module: one conversion per call, as the command line runs it. The
// plug-in is linked in (host/loader_linked.cpp), the files are those the page wrote into the
// module's in-memory file system, and the outputs are written there too. Between the page and
// the module there is only this JSON protocol, so that what stands behind it may change without
// the page changing.
//
//   const char* vexmara_convert(const char* request)   UTF-8 JSON in, UTF-8 JSON out; the text
//                                                      given back lasts until the next call
//
// The request:
//   {
//     "model": "/files/orc/orc.app",          the model file
//     "animations": ["/files/orc/walk.ani"],  animation files offered to the model: those that
//                                             the folder batch's rule attaches (by the model's
//                                             bones) are imported, in the order of their paths
//     "textureDirectory": "/files/tex",       optional; the dialog's default is the model's folder
//     "swapModel": true,                      the dialog's three boxes ("Swap model" is checked
//     "submeshesAsGroups": false,             at load, the other two are not)
//     "extractAlphaMaps": false,
//     "output": "/out/orc.glb"                optional: the .glb to write; none, no export
//   }
//
// The result:
//   {
//     "outcome": "built" | "read-failed" | "import-failed" | "cancelled" | "library-failed" |
//                "export-failed" | "bad-request",
//     "error": "No geometry or bones found.",  the plug-in's error text (or why it failed), or ""
//     "warnings": ["..."],                     animation files left out unread, the export's
//     "dialog": {                              what the import dialog showed (absent when none was)
//       "geosets": "2", "vertices": "234", "triangles": "384", "materials": "2", "bones": "4",
//       "textureCount": "2", "textureDirectory": "/files/", "animationFiles": "/files/sample.ani",
//       "textureLines": ["lower.tex", "upper*"],
//       "swapModel": 1, "submeshesAsGroups": 0, "extractAlphaMaps": 0
//     },
//     "materials": [{"name": "upper", "texture": "", "missing": true}],  in model order: the
//                                             texture the dialog listed for it, and whether its
//                                             line has the mark of a texture not found
//     "counts": {"materials", "groups", "vertices", "meshes", "bones", "animations"},  what the
//                                             host received, as vexmara-import counts it
//     "exported": {"meshes", "primitives", "vertices", "texturedMaterials", "joints",
//                  "animations"},             what the .glb holds (with an output)
//     "animations": [{"file": "/files/sample.ani", "tracks": 4, "bonesNamed": 4}],  attached
//     "files": ["/out/orc.glb"],               every file written, the output first
//     "milliseconds": {"import": 21.5, "export": 40.2}   the import through the reference host
//                                             (the read and import messages, as a host sends
//                                             them) and the export, each on the module's clock
//   }
#include <emscripten/emscripten.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/batch/animation_match.h"
#include "cli/file_sink.h"
#include "cli/gltf_file.h"
#include "cli/import_session.h"
#include "cli/name_exports.h"
#include "cli/path_text.h"
#include "cli/scene_snapshot.h"
#include "host/image_codec.h"
#include "host/text.h"

namespace vexmara::web {
namespace {

using nlohmann::json;

// The linked-in library answers to any name.
constexpr char kLibrary[] = "vexmara_64";

std::string Utf8(const std::u16string& text) { return host::Utf16ToUtf8(text); }

// The reference host's codec: DDS, TGA, BMP and PNG decoded, PNG encoded.
cli::ImageCodec HostCodec() {
  cli::ImageCodec codec;
  codec.decode = [](const std::u16string& path, cli::RgbaImage* image) {
    host::DecodedImage decoded;
    if (!host::DecodeImageFile(path, &decoded)) return false;
    image->width = decoded.width;
    image->height = decoded.height;
    image->pixels = std::move(decoded.rgba);
    return true;
  };
  codec.encodePng = [](const cli::RgbaImage& image, std::vector<std::uint8_t>* png) {
    host::DecodedImage pixels;
    pixels.width = image.width;
    pixels.height = image.height;
    pixels.rgba = image.pixels;
    return host::EncodePng(pixels, png);
  };
  return codec;
}

// A box of the request; anything but true or false leaves the dialog's value at load.
bool Flag(const json& request, const char* name, bool atLoad) {
  const auto found = request.find(name);
  return found != request.end() && found->is_boolean() ? found->get<bool>() : atLoad;
}

const char* StageName(cli::ImportStage stage) {
  switch (stage) {
    case cli::ImportStage::LibraryFailed:
      return "library-failed";
    case cli::ImportStage::ReadFailed:
      return "read-failed";
    case cli::ImportStage::ImportFailed:
      return "import-failed";
    case cli::ImportStage::Cancelled:
      return "cancelled";
    case cli::ImportStage::Built:
      return "built";
  }
  return "import-failed";
}

json DialogJson(const cli::DialogTexts& dialog) {
  json lines = json::array();
  for (const std::u16string& line : dialog.textureLines) lines.push_back(Utf8(line));
  return json{{"geosets", Utf8(dialog.geosets)},
              {"vertices", Utf8(dialog.vertices)},
              {"triangles", Utf8(dialog.triangles)},
              {"materials", Utf8(dialog.materials)},
              {"bones", Utf8(dialog.bones)},
              {"textureCount", Utf8(dialog.textureCount)},
              {"textureDirectory", Utf8(dialog.textureDirectory)},
              {"animationFiles", Utf8(dialog.animationFiles)},
              {"textureLines", std::move(lines)},
              {"swapModel", dialog.swapModel},
              {"submeshesAsGroups", dialog.submeshesAsGroups},
              {"extractAlphaMaps", dialog.extractAlphaMaps}};
}

// Each material beside the dialog's texture list, which has one line per material with texture
// slots, in model order: the texture file found for its first slot, or its name and "*" when
// none was. A material that the host got a texture for has the next line; one without has it
// when that line is its name with the mark.
json MaterialsJson(const cli::SceneSnapshot& scene, const cli::DialogTexts& dialog) {
  json materials = json::array();
  std::size_t line = 0;
  for (const host::MaterialView& material : scene.materials) {
    const std::string name = material.name.empty() ? material.narrowName : Utf8(material.name);
    const bool textured = !material.textureSlots.empty() && material.textureSlots[0].slotIndex == 0;
    std::string texture;
    bool missing = false;
    if (line < dialog.textureLines.size()) {
      const std::string shown = Utf8(dialog.textureLines[line]);
      if (textured) {
        texture = shown;
        ++line;
      } else if (shown == name + "*") {
        missing = true;
        ++line;
      }
    }
    materials.push_back({{"name", name}, {"texture", texture}, {"missing", missing}});
  }
  return materials;
}

// The folder batch's rule: of the offered files, those whose tracks all name bones of the model
// and name at least half of them, read by the library's own reader.
struct Attached {
  cli::batch::ModelAnimations matches;
  std::vector<cli::batch::AnimationFile> files;
  std::vector<std::string> warnings;
};

std::vector<std::filesystem::path> ChooseAnimations(void* library,
                                                    const std::vector<std::string>& offered,
                                                    Attached& attached) {
  cli::NameExports names;
  std::string error;
  std::vector<std::string> bones;
  if (!names.Find(library, &error)) {
    attached.warnings.push_back("animation files: " + error);
    return {};
  }
  if (!names.ModelBoneNames(&bones)) {
    attached.warnings.push_back("animation files: the model's bone names could not be had");
    return {};
  }
  for (const std::string& path : offered) {
    cli::batch::AnimationFile file;
    file.path = std::filesystem::path(path).lexically_normal();
    file.shown = path;
    file.forEveryModel = true;
    const cli::TrackNames read = names.AnimationTrackNames(cli::WidePath(file.path));
    file.usable = read.read == cli::TrackNamesRead::Complete;
    file.trackNames = read.names;
    if (!file.usable) {
      file.problem =
          read.read == cli::TrackNamesRead::Rejected
              ? "the reader stopped partway through it: it is damaged, or not an animation file"
              : "it could not be read";
      attached.warnings.push_back(path + ": " + file.problem);
    }
    attached.files.push_back(std::move(file));
  }
  cli::batch::AnimationCatalogue catalogue;
  catalogue.SetFiles(attached.files);
  attached.matches = catalogue.Match(bones, {});
  std::vector<std::filesystem::path> chosen;
  for (const cli::batch::Coverage& c : attached.matches.attached)
    chosen.push_back(attached.files[std::size_t(c.file)].path);
  return chosen;
}

bool SaveFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

json Convert(const json& request) {
  json result{{"outcome", "bad-request"}, {"error", ""}, {"warnings", json::array()}};
  if (!request.is_object() || !request.contains("model") || !request["model"].is_string()) {
    result["error"] = "the request names no model";
    return result;
  }
  cli::ImportRequest import;
  import.library = kLibrary;
  import.model = request["model"].get<std::string>();
  if (request.contains("textureDirectory") && request["textureDirectory"].is_string())
    import.textureDirectory = request["textureDirectory"].get<std::string>();
  import.noSwap = !Flag(request, "swapModel", true);
  import.groups = Flag(request, "submeshesAsGroups", false);
  import.alphaMaps = Flag(request, "extractAlphaMaps", false);
  std::vector<std::string> offered;
  if (request.contains("animations") && request["animations"].is_array()) {
    for (const json& file : request["animations"])
      if (file.is_string()) offered.push_back(file.get<std::string>());
  }

  // One session for the life of the module, as a host keeps its plug-in loaded: each run sets
  // back what the dialog kept of the last one.
  static cli::ImportSession session;
  Attached attached;
  const double importBegan = emscripten_get_now();
  const cli::ImportOutcome outcome = session.Run(
      import, [&](void* library) { return ChooseAnimations(library, offered, attached); });
  result["milliseconds"] = {{"import", emscripten_get_now() - importBegan}};
  result["outcome"] = StageName(outcome.stage);
  result["error"] = outcome.message;
  for (const std::string& warning : attached.warnings) result["warnings"].push_back(warning);
  if (outcome.dialog.shown) result["dialog"] = DialogJson(outcome.dialog);
  json animations = json::array();
  for (const cli::batch::Coverage& c : attached.matches.attached) {
    animations.push_back({{"file", attached.files[std::size_t(c.file)].shown},
                          {"tracks", c.tracks},
                          {"bonesNamed", c.bonesNamed}});
  }
  result["animations"] = std::move(animations);
  result["files"] = json::array();
  if (outcome.stage != cli::ImportStage::Built || session.Host() == nullptr) {
    session.ReleaseHost();
    return result;
  }

  const cli::SceneSnapshot scene = cli::TakeSnapshot(*session.Host());
  result["counts"] = {
      {"materials", scene.materials.size()}, {"groups", session.Host()->Groups().size()},
      {"vertices", scene.vertices.size()},   {"meshes", scene.meshes.size()},
      {"bones", scene.bones.size()},         {"animations", scene.animations.size()}};
  result["materials"] = MaterialsJson(scene, outcome.dialog);
  // The export needs only the snapshot: the host's own records go first.
  session.ReleaseHost();
  if (!request.contains("output") || !request["output"].is_string()) return result;

  const std::filesystem::path output = request["output"].get<std::string>();
  const double exportBegan = emscripten_get_now();
  cli::MemoryFiles files;
  const cli::ExportResult exported =
      cli::ExportGltf(scene, output, cli::ExportOptions{}, HostCodec(), files);
  for (const std::string& warning : exported.warnings) result["warnings"].push_back(warning);
  if (!exported.written) {
    result["outcome"] = "export-failed";
    result["error"] = exported.error;
    return result;
  }
  for (const std::filesystem::path& path : files.Order()) {
    if (!SaveFile(path, *files.Find(path))) {
      result["outcome"] = "export-failed";
      result["error"] = cli::PathText(path) + ": the file could not be written";
      return result;
    }
    result["files"].push_back(cli::PathText(path));
  }
  result["milliseconds"]["export"] = emscripten_get_now() - exportBegan;
  const cli::GltfCounts& c = exported.counts;
  result["exported"] = {{"meshes", c.meshes},     {"primitives", c.primitives},
                        {"vertices", c.vertices}, {"texturedMaterials", c.texturedMaterials},
                        {"joints", c.joints},     {"animations", c.animations}};
  return result;
}

}  // namespace
}  // namespace vexmara::web

extern "C" EMSCRIPTEN_KEEPALIVE const char* vexmara_convert(const char* request) {
  static std::string answer;
  nlohmann::json result;
  const nlohmann::json parsed =
      nlohmann::json::parse(request != nullptr ? request : "", nullptr, /*allow_exceptions=*/false);
  if (parsed.is_discarded()) {
    result = {{"outcome", "bad-request"},
              {"error", "the request is not JSON"},
              {"warnings", nlohmann::json::array()}};
  } else {
    result = vexmara::web::Convert(parsed);
  }
  // Names from the files may be anything: text that is not UTF-8 is replaced, never refused.
  answer = result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return answer.c_str();
}

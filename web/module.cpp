// The page's WebAssembly module: one conversion per call, the one the command line runs
// (cli/convert/). The plug-in is linked in (host/loader_linked.cpp), the files are those the page
// wrote into the module's in-memory file system, and the outputs are written there too. Between the
// page and the module there is only this JSON protocol, so that what stands behind it may change
// without the page changing.
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
//     "outcome": "built" | "read-failed" | "animations-failed" | "import-failed" | "cancelled" |
//                "library-failed" | "export-failed" | "bad-request",
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

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/convert/animation_match.h"
#include "cli/convert/conversion.h"

namespace vexmara::web {
namespace {

using nlohmann::json;

// The linked-in library answers to any name.
constexpr char kLibrary[] = "vexmara_64";

// A box of the request; anything but true or false leaves the dialog's value at load.
bool Flag(const json& request, const char* name, bool atLoad) {
  const auto found = request.find(name);
  return found != request.end() && found->is_boolean() ? found->get<bool>() : atLoad;
}

// The answer to a request that could not be taken.
json BadRequest(const char* error) {
  return json{{"outcome", "bad-request"}, {"error", error}, {"warnings", json::array()}};
}

const char* OutcomeName(cli::ConvertCode code) {
  switch (code) {
    case cli::ConvertCode::Ok:
      return "built";
    case cli::ConvertCode::LibraryFailed:
      return "library-failed";
    case cli::ConvertCode::ReadFailed:
      return "read-failed";
    case cli::ConvertCode::AnimationsFailed:
      return "animations-failed";
    case cli::ConvertCode::ImportFailed:
      return "import-failed";
    case cli::ConvertCode::Cancelled:
      return "cancelled";
    case cli::ConvertCode::WriteFailed:
      break;
  }
  return "export-failed";
}

json DialogJson(const cli::DialogTexts& dialog) {
  return json{{"geosets", dialog.geosets},
              {"vertices", dialog.vertices},
              {"triangles", dialog.triangles},
              {"materials", dialog.materials},
              {"bones", dialog.bones},
              {"textureCount", dialog.textureCount},
              {"textureDirectory", dialog.textureDirectory},
              {"animationFiles", dialog.animationFiles},
              {"textureLines", dialog.textureLines},
              {"swapModel", dialog.swapModel},
              {"submeshesAsGroups", dialog.submeshesAsGroups},
              {"extractAlphaMaps", dialog.extractAlphaMaps}};
}

json Convert(const json& request) {
  if (!request.is_object() || !request.contains("model") || !request["model"].is_string()) {
    return BadRequest("the request names no model");
  }
  json result = BadRequest("");
  cli::ConvertRequest convert;
  convert.settings.library = kLibrary;
  convert.model = request["model"].get<std::string>();
  cli::DialogChoices& choices = convert.settings.choices;
  if (request.contains("textureDirectory") && request["textureDirectory"].is_string()) {
    choices.textureFolder = request["textureDirectory"].get<std::string>();
  }
  choices.swapModel = Flag(request, "swapModel", choices.swapModel);
  choices.submeshesAsGroups = Flag(request, "submeshesAsGroups", choices.submeshesAsGroups);
  choices.extractAlphaMaps = Flag(request, "extractAlphaMaps", choices.extractAlphaMaps);
  if (request.contains("output") && request["output"].is_string()) {
    convert.output = request["output"].get<std::string>();
  }
  // The files offered go to every model: the batch's rule attaches those that fit its bones.
  std::vector<cli::AnimationFile> offered;
  if (request.contains("animations") && request["animations"].is_array()) {
    for (const json& file : request["animations"]) {
      if (!file.is_string()) continue;
      cli::AnimationFile candidate;
      candidate.path = std::filesystem::path(file.get<std::string>()).lexically_normal();
      candidate.shown = file.get<std::string>();
      candidate.forEveryModel = true;
      offered.push_back(std::move(candidate));
    }
  }
  cli::AnimationMatcher matcher(std::move(offered));
  convert.pickAnimations = matcher.PickerFor(convert.model.parent_path());
  // The import is timed up to the host's inspection, which follows the import message.
  const double began = emscripten_get_now();
  double imported = began;
  convert.inspectHost = [&](const host::Host&) { imported = emscripten_get_now(); };

  // One converter for the life of the module, as a host keeps its plug-in loaded: each run sets
  // back what the dialog kept of the last one.
  static cli::Converter converter;
  const cli::ConvertResult converted = converter.Convert(convert);
  result["milliseconds"] = {{"import", imported - began}};
  result["outcome"] = OutcomeName(converted.code);
  result["error"] = converted.message;
  for (const cli::AnimationFile& file : matcher.Offered()) {
    if (!file.problem.empty())
      result["warnings"].push_back(file.shown.string() + ": " + file.problem);
  }
  for (const std::string& warning : converted.warnings) result["warnings"].push_back(warning);
  if (converted.dialog.shown) result["dialog"] = DialogJson(converted.dialog);
  json animations = json::array();
  const std::vector<cli::AnimationFile>& read = matcher.Offered();
  for (const cli::Coverage& c : matcher.LastMatch().attached) {
    animations.push_back({{"file", read[std::size_t(c.file)].shown.string()},
                          {"tracks", c.tracks},
                          {"bonesNamed", c.bonesNamed}});
  }
  result["animations"] = std::move(animations);
  result["files"] = json::array();
  if (!converted.ok() && converted.code != cli::ConvertCode::WriteFailed) return result;

  result["counts"] = converted.counts;
  json materials = json::array();
  for (const cli::MaterialTexture& texture : converted.textures) {
    materials.push_back(
        {{"name", texture.material}, {"texture", texture.listed}, {"missing", texture.missing}});
  }
  result["materials"] = std::move(materials);
  if (!converted.ok() || convert.output.empty()) return result;

  for (const std::filesystem::path& path : converted.files)
    result["files"].push_back(path.string());
  result["milliseconds"]["export"] = emscripten_get_now() - imported;
  const cli::GltfCounts& c = converted.written;
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
    result = vexmara::web::BadRequest("the request is not JSON");
  } else {
    result = vexmara::web::Convert(parsed);
  }
  // Names from the files may be anything: text that is not UTF-8 is replaced, never refused.
  answer = result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return answer.c_str();
}

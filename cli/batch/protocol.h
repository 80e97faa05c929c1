// What the batch and its workers say to each other. A model worker is started with its settings
// as one JSON argument; then each side writes one JSON object a line. Paths and bone names are
// bytes that need not be UTF-8 and must arrive exactly as they are, so they travel
// percent-encoded (text/json_text.h); every other text is UTF-8, with bytes that are not made
// into U+FFFD. A path's bytes are its UTF-8 text (path_text.h): on Windows, UTF-8 from its UTF-16.
//
//   model worker settings: {"settings": {"library": path, "choices": {"swapModel": bool,
//       "submeshesAsGroups": bool, "extractAlphaMaps": bool, "textureFolder": path},
//       "externalImages": bool}, "pickAnimations": bool}
//   batch -> model worker, for each model:  {"model": path, "output": path}
//   model worker -> batch, after the read, when the batch picks animation files:
//       {"bones": [name...]}
//   batch -> model worker, in answer:  {"animations": [path...]}
//   model worker -> batch, at the end: {"result": {"code": "converted" | "library failed" |
//       "read failed" | ..., "message": text, "warnings": [text...], "counts": {"materials": n,
//       "groups": n, "vertices": n, "meshes": n, "bones": n, "animations": n}, "textures":
//       [{"material": text, "texture": text}...], "animationNames": [text...],
//       "animationFiles": [path...]}}
//   batch -> animation worker, for each file: {"file": path}
//   animation worker -> batch, in answer:
//       {"read": "complete" | "rejected" | "unreadable", "tracks": [name...]}
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/convert/conversion.h"
#include "cli/convert/dialog_choices.h"
#include "cli/convert/library_exports.h"

namespace vexmara::cli::batch {

// What a model worker is told when it starts.
struct ModelWorkerSettings {
  ConvertSettings settings;
  bool pickAnimations =
      false;  // ask the batch for animation files once the model's bones are known
};

// What a model worker says of one model.
struct ModelResult : host::Result<ConvertCode> {
  std::vector<std::string> warnings;
  SceneCounts counts;
  std::vector<MaterialTexture> textures;
  std::vector<std::string> animationNames;  // of the glTF, with the file each was made from
  std::vector<std::filesystem::path> animationFiles;
};

// The fields of a model's result that its conversion gave.
ModelResult ModelResultOf(ConvertResult converted);

struct ModelRequest {
  std::filesystem::path model;
  std::filesystem::path output;
};

std::string SettingsArgument(const ModelWorkerSettings& settings);
std::optional<ModelWorkerSettings> ParseSettings(const std::string& argument);

std::string ModelRequestMessage(const ModelRequest& request);
std::string FileRequestMessage(const std::filesystem::path& file);
std::string BonesMessage(const std::vector<std::string>& bones);
std::string AnimationsMessage(const std::vector<std::filesystem::path>& files);
std::string ResultMessage(const ModelResult& result);
std::string TrackNamesMessage(const TrackNames& names);

struct WorkerMessage {
  enum class Kind { Invalid, Bones, Result, TrackNames };
  Kind kind = Kind::Invalid;
  std::vector<std::string> names;  // Bones, TrackNames
  TrackNamesRead read = TrackNamesRead::Unreadable;
  ModelResult result;
};

// A line from a worker; Invalid when it is none of the messages above.
WorkerMessage ParseWorkerMessage(const std::string& line);
std::optional<std::vector<std::filesystem::path>> ParseAnimationsMessage(const std::string& line);
std::optional<ModelRequest> ParseModelRequest(const std::string& line);
std::optional<std::filesystem::path> ParseFileRequest(const std::string& line);

}  // namespace vexmara::cli::batch

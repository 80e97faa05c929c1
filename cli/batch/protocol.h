// The messages between the batch and its workers: one JSON object a line. Paths and bone names
// are bytes that need not be UTF-8 and must arrive exactly as they are, so they travel
// percent-encoded (EncodeBytes); every other text is UTF-8, with bytes that are not made into
// U+FFFD. A path's bytes are its UTF-8 text (path_text.h): on Windows, UTF-8 from its UTF-16.
//
//   batch -> model worker, for each model:  {"model": path, "output": path}
//   model worker -> batch, after the read, when the batch picks animation files:
//       {"bones": [name...]}
//   batch -> model worker, in answer:  {"animations": [path...]}
//   model worker -> batch, at the end: {"result": {"converted": bool, "error": text,
//       "warnings": [text...], "counts": {"materials": n, "groups": n, "vertices": n,
//       "meshes": n, "bones": n, "animations": n}}}
//   batch -> animation worker, for each file: {"file": path}
//   animation worker -> batch, in answer:
//       {"read": "complete" | "rejected" | "unreadable", "tracks": [name...]}
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/name_exports.h"

namespace vexmara::cli::batch {

// Every byte outside printable ASCII, and "%" itself, as "%XX".
std::string EncodeBytes(std::string_view bytes);
std::optional<std::string> DecodeBytes(std::string_view text);

struct ModelCounts {
  int materials = 0;
  int groups = 0;
  int vertices = 0;
  int meshes = 0;
  int bones = 0;
  int animations = 0;
};

struct ModelResult {
  bool converted = false;
  std::string error;  // why not: the plug-in's error text, or what else went wrong
  std::vector<std::string> warnings;
  ModelCounts counts;
};

struct ModelRequest {
  std::filesystem::path model;
  std::filesystem::path output;
};

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

// JSON text, with every text that is not UTF-8 mended to U+FFFD rather than refused.
std::string JsonText(const nlohmann::json& value, int indent = -1);

}  // namespace vexmara::cli::batch

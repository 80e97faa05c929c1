#include "cli/batch/protocol.h"

#include <optional>
#include <utility>

#include "cli/text/json_text.h"
#include "cli/text/path_text.h"

namespace vexmara::cli::batch {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(ModelWorkerSettings, settings, pickAnimations)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(ModelResult, code, message, warnings, counts,
                                                textures, animationNames, animationFiles)

namespace {

using nlohmann::json;

json EncodedList(const std::vector<std::string>& texts) {
  json list = json::array();
  for (const std::string& text : texts) list.push_back(EncodeBytes(text));
  return list;
}

// The decoded strings of a JSON array of encoded strings; nothing when it is not one.
std::optional<std::vector<std::string>> DecodedList(const json& list) {
  if (!list.is_array()) return std::nullopt;
  std::vector<std::string> texts;
  texts.reserve(list.size());
  for (const json& item : list) {
    if (!item.is_string()) return std::nullopt;
    std::optional<std::string> text = DecodeBytes(item.get_ref<const std::string&>());
    if (!text) return std::nullopt;
    texts.push_back(std::move(*text));
  }
  return texts;
}

const char* ReadName(TrackNamesRead read) {
  switch (read) {
    case TrackNamesRead::Complete:
      return "complete";
    case TrackNamesRead::Rejected:
      return "rejected";
    case TrackNamesRead::Unreadable:
      break;
  }
  return "unreadable";
}

// What `read` takes from the object of a line; nothing when the line is not an object, or a
// field that `read` wants is missing or of the wrong type.
template <class Read>
auto FromLine(const std::string& line, Read read)
    -> std::optional<decltype(read(std::declval<const json&>()))> {
  const json parsed = json::parse(line, nullptr, false);
  if (!parsed.is_object()) return std::nullopt;
  try {
    return read(parsed);
  } catch (const json::exception&) {
    return std::nullopt;
  }
}

WorkerMessage ParseMessage(const json& parsed) {
  WorkerMessage message;
  if (const auto bones = parsed.find("bones"); bones != parsed.end()) {
    std::optional<std::vector<std::string>> names = DecodedList(*bones);
    if (!names) return message;
    message.kind = WorkerMessage::Kind::Bones;
    message.names = std::move(*names);
  } else if (const auto tracks = parsed.find("tracks"); tracks != parsed.end()) {
    std::optional<std::vector<std::string>> names = DecodedList(*tracks);
    const std::string state = parsed.value("read", "");
    if (!names || state.empty()) return message;
    message.read = state == "complete"   ? TrackNamesRead::Complete
                   : state == "rejected" ? TrackNamesRead::Rejected
                                         : TrackNamesRead::Unreadable;
    message.kind = WorkerMessage::Kind::TrackNames;
    message.names = std::move(*names);
  } else if (const auto result = parsed.find("result");
             result != parsed.end() && result->is_object()) {
    ModelResult& out = message.result;
    // A code this batch does not know makes the message one it does not know either (an
    // unknown name would otherwise read as the first code).
    const std::string code = result->at("code").get<std::string>();
    if (json(json(code).get<ConvertCode>()).get<std::string>() != code) return message;
    out = result->get<ModelResult>();
    message.kind = WorkerMessage::Kind::Result;
  }
  return message;
}

}  // namespace

std::string SettingsArgument(const ModelWorkerSettings& settings) {
  return JsonText(json(settings));
}

std::optional<ModelWorkerSettings> ParseSettings(const std::string& argument) {
  return FromLine(argument, [](const json& object) { return object.get<ModelWorkerSettings>(); });
}

std::string ModelRequestMessage(const ModelRequest& request) {
  return JsonText(json{{"model", request.model}, {"output", request.output}});
}

std::string FileRequestMessage(const std::filesystem::path& file) {
  return JsonText(json{{"file", file}});
}

std::string BonesMessage(const std::vector<std::string>& bones) {
  return JsonText(json{{"bones", EncodedList(bones)}});
}

std::string AnimationsMessage(const std::vector<std::filesystem::path>& files) {
  return JsonText(json{{"animations", files}});
}

std::string ResultMessage(const ModelResult& result) { return JsonText(json{{"result", result}}); }

ModelResult ModelResultOf(ConvertResult converted) {
  ModelResult result;
  result.code = converted.code;
  result.message = std::move(converted.message);
  result.warnings = std::move(converted.warnings);
  result.counts = converted.counts;
  result.textures = std::move(converted.textures);
  result.animationNames = std::move(converted.animationNames);
  result.animationFiles = std::move(converted.animationFiles);
  return result;
}

std::string TrackNamesMessage(const TrackNames& names) {
  return JsonText(json{{"read", ReadName(names.read)}, {"tracks", EncodedList(names.names)}});
}

WorkerMessage ParseWorkerMessage(const std::string& line) {
  return FromLine(line, ParseMessage).value_or(WorkerMessage{});
}

std::optional<std::vector<std::filesystem::path>> ParseAnimationsMessage(const std::string& line) {
  return FromLine(line, [](const json& object) {
    return object.at("animations").get<std::vector<std::filesystem::path>>();
  });
}

std::optional<ModelRequest> ParseModelRequest(const std::string& line) {
  return FromLine(line, [](const json& object) {
    return ModelRequest{object.at("model").get<std::filesystem::path>(),
                        object.at("output").get<std::filesystem::path>()};
  });
}

std::optional<std::filesystem::path> ParseFileRequest(const std::string& line) {
  return FromLine(
      line, [](const json& object) { return object.at("file").get<std::filesystem::path>(); });
}

}  // namespace vexmara::cli::batch

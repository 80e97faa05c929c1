#include "cli/batch/protocol.h"

#include "cli/path_text.h"

namespace vexmara::cli::batch {
namespace {

using nlohmann::json;

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

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

int Count(const json& counts, const char* name) {
  const auto found = counts.find(name);
  return found != counts.end() && found->is_number_integer() ? found->get<int>() : 0;
}

// The decoded text of a string field of a JSON object line.
std::optional<std::string> EncodedField(const json& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end() || !found->is_string()) return std::nullopt;
  return DecodeBytes(found->get_ref<const std::string&>());
}

WorkerMessage ParseMessage(const std::string& line) {
  WorkerMessage message;
  const json parsed = json::parse(line, nullptr, false);
  if (!parsed.is_object()) return message;
  if (const auto bones = parsed.find("bones"); bones != parsed.end()) {
    std::optional<std::vector<std::string>> names = DecodedList(*bones);
    if (!names) return message;
    message.kind = WorkerMessage::Kind::Bones;
    message.names = std::move(*names);
  } else if (const auto tracks = parsed.find("tracks"); tracks != parsed.end()) {
    std::optional<std::vector<std::string>> names = DecodedList(*tracks);
    const auto read = parsed.find("read");
    if (!names || read == parsed.end() || !read->is_string()) return message;
    const std::string& state = read->get_ref<const std::string&>();
    message.read = state == "complete"   ? TrackNamesRead::Complete
                   : state == "rejected" ? TrackNamesRead::Rejected
                                         : TrackNamesRead::Unreadable;
    message.kind = WorkerMessage::Kind::TrackNames;
    message.names = std::move(*names);
  } else if (const auto result = parsed.find("result");
             result != parsed.end() && result->is_object()) {
    const json& r = *result;
    ModelResult& out = message.result;
    out.converted = r.value("converted", false);
    out.error = r.value("error", std::string());
    if (const auto warnings = r.find("warnings"); warnings != r.end() && warnings->is_array()) {
      for (const json& warning : *warnings) {
        if (warning.is_string()) out.warnings.push_back(warning.get<std::string>());
      }
    }
    if (const auto counts = r.find("counts"); counts != r.end() && counts->is_object()) {
      out.counts = ModelCounts{Count(*counts, "materials"), Count(*counts, "groups"),
                               Count(*counts, "vertices"),  Count(*counts, "meshes"),
                               Count(*counts, "bones"),     Count(*counts, "animations")};
    }
    message.kind = WorkerMessage::Kind::Result;
  }
  return message;
}

}  // namespace

std::string EncodeBytes(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F || c == '%') {
      text += '%';
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
    } else {
      text += c;
    }
  }
  return text;
}

std::optional<std::string> DecodeBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += char(high * 16 + low);
    i += 2;
  }
  return bytes;
}

std::string JsonText(const json& value, int indent) {
  return value.dump(indent, ' ', false, json::error_handler_t::replace);
}

std::string ModelRequestMessage(const ModelRequest& request) {
  return JsonText(json{{"model", EncodeBytes(PathText(request.model))},
                       {"output", EncodeBytes(PathText(request.output))}});
}

std::string FileRequestMessage(const std::filesystem::path& file) {
  return JsonText(json{{"file", EncodeBytes(PathText(file))}});
}

std::string BonesMessage(const std::vector<std::string>& bones) {
  return JsonText(json{{"bones", EncodedList(bones)}});
}

std::string AnimationsMessage(const std::vector<std::filesystem::path>& files) {
  std::vector<std::string> paths;
  for (const std::filesystem::path& file : files) paths.push_back(PathText(file));
  return JsonText(json{{"animations", EncodedList(paths)}});
}

std::string ResultMessage(const ModelResult& result) {
  const ModelCounts& c = result.counts;
  json counts{{"materials", c.materials}, {"groups", c.groups}, {"vertices", c.vertices},
              {"meshes", c.meshes},       {"bones", c.bones},   {"animations", c.animations}};
  return JsonText(json{{"result",
                        {{"converted", result.converted},
                         {"error", result.error},
                         {"warnings", result.warnings},
                         {"counts", counts}}}});
}

std::string TrackNamesMessage(const TrackNames& names) {
  return JsonText(json{{"read", ReadName(names.read)}, {"tracks", EncodedList(names.names)}});
}

WorkerMessage ParseWorkerMessage(const std::string& line) {
  try {
    return ParseMessage(line);
  } catch (const json::exception&) {
    return WorkerMessage{};  // a field of the wrong type
  }
}

std::optional<std::vector<std::filesystem::path>> ParseAnimationsMessage(const std::string& line) {
  const json parsed = json::parse(line, nullptr, false);
  if (!parsed.is_object() || !parsed.contains("animations")) return std::nullopt;
  std::optional<std::vector<std::string>> paths = DecodedList(parsed.at("animations"));
  if (!paths) return std::nullopt;
  std::vector<std::filesystem::path> files;
  for (const std::string& path : *paths) files.push_back(PathFromText(path));
  return files;
}

std::optional<ModelRequest> ParseModelRequest(const std::string& line) {
  const json parsed = json::parse(line, nullptr, false);
  if (!parsed.is_object()) return std::nullopt;
  std::optional<std::string> model = EncodedField(parsed, "model"),
                             output = EncodedField(parsed, "output");
  if (!model || !output) return std::nullopt;
  return ModelRequest{PathFromText(*model), PathFromText(*output)};
}

std::optional<std::filesystem::path> ParseFileRequest(const std::string& line) {
  const json parsed = json::parse(line, nullptr, false);
  if (!parsed.is_object()) return std::nullopt;
  std::optional<std::string> file = EncodedField(parsed, "file");
  if (!file) return std::nullopt;
  return PathFromText(*file);
}

}  // namespace vexmara::cli::batch

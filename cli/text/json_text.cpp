#include "cli/text/json_text.h"

#include "cli/text/path_text.h"

namespace vexmara::cli {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
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

std::string JsonText(const nlohmann::json& value, int indent) {
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace vexmara::cli

void nlohmann::adl_serializer<std::filesystem::path>::to_json(nlohmann::json& json,
                                                              const std::filesystem::path& path) {
  json = vexmara::cli::EncodeBytes(vexmara::cli::PathText(path));
}

void nlohmann::adl_serializer<std::filesystem::path>::from_json(const nlohmann::json& json,
                                                                std::filesystem::path& path) {
  const std::optional<std::string> bytes =
      vexmara::cli::DecodeBytes(json.get_ref<const std::string&>());
  if (!bytes) throw nlohmann::json::other_error::create(501, "not an encoded path", &json);
  path = vexmara::cli::PathFromText(*bytes);
}

// Text that crosses between processes or into files as JSON. Paths and names are bytes that need
// not be UTF-8 and must arrive exactly as they are, so they travel percent-encoded
// (EncodeBytes); every other text is UTF-8, with bytes that are not made into U+FFFD.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace vexmara::cli {

// Every byte outside printable ASCII, and "%" itself, as "%XX".
std::string EncodeBytes(std::string_view bytes);
std::optional<std::string> DecodeBytes(std::string_view text);

// JSON text, with every text that is not UTF-8 mended to U+FFFD rather than refused.
std::string JsonText(const nlohmann::json& value, int indent = -1);

}  // namespace vexmara::cli

// A path in a JSON document of ours: its text (path_text.h), percent-encoded. A string that is
// not such an encoding fails to convert.
template <>
struct nlohmann::adl_serializer<std::filesystem::path> {
  static void to_json(nlohmann::json& json, const std::filesystem::path& path);
  static void from_json(const nlohmann::json& json, std::filesystem::path& path);
};

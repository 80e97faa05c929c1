#include "cli/text/path_text.h"

#include <algorithm>

#include "host/text.h"

namespace vexmara::cli {

#if defined(_WIN32)
static_assert(sizeof(wchar_t) == sizeof(char16_t));

namespace {

std::u16string_view Units(const std::filesystem::path& path) {
  const std::wstring& native = path.native();
  return std::u16string_view(reinterpret_cast<const char16_t*>(native.data()), native.size());
}

}  // namespace

std::string PathText(const std::filesystem::path& path) { return host::Utf16ToUtf8(Units(path)); }

std::filesystem::path PathFromText(std::string_view text) {
  const std::u16string wide = host::Utf8ToUtf16(text);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string UnicodeProblem(const std::filesystem::path& path) {
  const std::u16string_view units = Units(path);
  if (host::Utf8ToUtf16(host::Utf16ToUtf8(units)) != units) {
    return "its path holds half of a UTF-16 surrogate pair, which is no character";
  }
  return {};
}

std::u16string WidePath(const std::filesystem::path& path) { return std::u16string(Units(path)); }

#else

std::string PathText(const std::filesystem::path& path) { return path.native(); }

std::filesystem::path PathFromText(std::string_view text) {
  return std::filesystem::path(std::string(text));
}

std::string UnicodeProblem(const std::filesystem::path& path) {
  if (host::Utf16ToUtf8(host::Utf8ToUtf16(path.native())) != path.native()) {
    return "its path is not UTF-8 text, and the plug-in takes paths as Unicode";
  }
  return {};
}

std::u16string WidePath(const std::filesystem::path& path) {
  return host::Utf8ToUtf16(path.native());
}

#endif

std::string PluginPathProblem(const std::filesystem::path& path) {
  if (std::string problem = UnicodeProblem(path); !problem.empty()) return problem;
  if (WidePath(path).size() >= 260) {
    return "its path is longer than the 259 characters of a path the plug-in takes";
  }
  return {};
}

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return folded;
}

std::filesystem::path AbsolutePath(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::path made = std::filesystem::absolute(path, ignored);
  if (made.empty()) made = path;
  made = made.lexically_normal();
  if (!made.has_filename() && made.has_relative_path()) made = made.parent_path();
  return made;
}

bool HasExtension(const std::filesystem::path& name, std::string_view extension) {
  using NativeChar = std::filesystem::path::value_type;
  const auto lower = [](NativeChar c) {
    return c >= 'A' && c <= 'Z' ? NativeChar(c - 'A' + 'a') : c;
  };
  const std::filesystem::path::string_type text = name.filename().native();
  if (text.size() <= extension.size()) return false;
  return std::equal(text.end() - std::ptrdiff_t(extension.size()), text.end(), extension.begin(),
                    extension.end(),
                    [&](NativeChar a, char b) { return lower(a) == lower(NativeChar(b)); });
}

}  // namespace vexmara::cli

#include "cli/path_text.h"

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

}  // namespace vexmara::cli

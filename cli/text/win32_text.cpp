#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "cli/text/win32_text.h"
#include "host/text.h"

namespace vexmara::cli::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Wide(std::string_view utf8) {
  const std::u16string units = host::Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string Utf8(std::wstring_view wide) {
  return host::Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::string SystemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, DWORD(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message =
      length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() &&
         (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
    message.pop_back();
  }
  if (!message.empty() && message.back() == L'.') message.pop_back();
  return message.empty() ? "error " + std::to_string(error) : Utf8(message);
}

}  // namespace vexmara::cli::win32

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>

#include "cli/text/console_text.h"
#include "cli/text/win32_text.h"

namespace vexmara::cli {
namespace {

// The length of `text` without a UTF-8 character that its end cuts short.
std::size_t WholeCharacters(const std::string& text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  // The last character starts at most three continuation bytes back.
  std::size_t lead = text.size();
  while (lead > 0 && text.size() - lead < 3 && (byte(lead - 1) & 0xC0) == 0x80) --lead;
  if (lead == 0) return text.size();
  --lead;
  const std::size_t length = byte(lead) >= 0xF0   ? 4
                             : byte(lead) >= 0xE0 ? 3
                             : byte(lead) >= 0xC0 ? 2
                                                  : 1;
  return text.size() - lead < length ? lead : text.size();
}

void WriteAllBytes(HANDLE handle, const char* bytes, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes, DWORD(std::min<std::size_t>(size, 1 << 20)), &written, nullptr) ||
        written == 0)
      return;
    bytes += written;
    size -= written;
  }
}

}  // namespace

ConsoleText::ConsoleText(Stream stream)
    : handle_(GetStdHandle(stream == Stream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE)) {
  DWORD mode = 0;
  console_ = GetConsoleMode(static_cast<HANDLE>(handle_), &mode) != FALSE;
  codePage_ = GetConsoleOutputCP();
  if (codePage_ == 0) codePage_ = GetACP();
}

ConsoleText::~ConsoleText() { Write(false); }

ConsoleText::int_type ConsoleText::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (c == '\n') Write(true);
  return c;
}

std::streamsize ConsoleText::xsputn(const char* text, std::streamsize size) {
  pending_.append(text, std::size_t(size));
  if (pending_.find('\n') != std::string::npos) Write(true);
  return size;
}

int ConsoleText::sync() {
  Write(false);
  return 0;
}

void ConsoleText::Write(bool wholeLinesOnly) {
  const std::size_t end = wholeLinesOnly ? pending_.rfind('\n') + 1 : WholeCharacters(pending_);
  if (end == 0 || handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) return;
  const std::wstring wide = win32::Wide(std::string_view(pending_).substr(0, end));
  pending_.erase(0, end);
  const HANDLE handle = static_cast<HANDLE>(handle_);
  if (console_) {
    for (std::size_t at = 0; at < wide.size();) {
      DWORD written = 0;
      const DWORD piece = DWORD(std::min<std::size_t>(wide.size() - at, 8192));
      if (!WriteConsoleW(handle, wide.data() + at, piece, &written, nullptr) || written == 0)
        return;
      at += written;
    }
    return;
  }
  const int bytes = WideCharToMultiByte(codePage_, 0, wide.data(), int(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
  if (bytes <= 0) return;
  std::string converted(std::size_t(bytes), '\0');
  WideCharToMultiByte(codePage_, 0, wide.data(), int(wide.size()), converted.data(), bytes, nullptr,
                      nullptr);
  WriteAllBytes(handle, converted.data(), converted.size());
}

}  // namespace vexmara::cli

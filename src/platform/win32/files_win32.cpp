// File services on Windows: whole-file reads through the runtime (_wfopen "rb").
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace vexmara::platform {

uint8_t* AllocateBuffer(size_t bytes) {
  return static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
}

void FreeBuffer(uint8_t* buffer) { std::free(buffer); }

FileReadResult ReadWholeFile(const char16_t* path, uint8_t** buffer, uint32_t* length) {
  *buffer = nullptr;
  *length = 0;
  if (path == nullptr || path[0] == 0) return FileReadResult::kCannotOpen;
  std::FILE* file = _wfopen(reinterpret_cast<const wchar_t*>(path), L"rb");
  if (file == nullptr) return FileReadResult::kCannotOpen;
  std::fseek(file, 0, SEEK_END);
  const long end = std::ftell(file);  // a 32-bit signed position: 2 GiB and more cannot be read
  if (end < 0) {
    std::fclose(file);
    return FileReadResult::kCannotAllocate;
  }
  uint8_t* bytes = AllocateBuffer(static_cast<size_t>(end));
  if (bytes == nullptr) {
    std::fclose(file);
    return FileReadResult::kCannotAllocate;
  }
  std::fseek(file, 0, SEEK_SET);
  const size_t got = end > 0 ? std::fread(bytes, 1, static_cast<size_t>(end), file) : 0;
  std::fclose(file);
  if (got != static_cast<size_t>(end)) {
    FreeBuffer(bytes);
    return FileReadResult::kShortRead;
  }
  *buffer = bytes;
  *length = static_cast<uint32_t>(end);
  return FileReadResult::kOk;
}

}  // namespace vexmara::platform

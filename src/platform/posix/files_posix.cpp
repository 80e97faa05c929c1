// File services on POSIX systems. A wide path becomes the UTF-8 name the file system uses, and
// "\" counts as a directory separator (native_path.h).
#include <sys/mman.h>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/posix/native_path.h"

namespace vexmara::platform {

// A file buffer of many megabytes is filled by the kernel's copy page by page, and on fresh
// memory each 4 KiB page costs a fault first: for a model of 80 MB that doubles the time of the
// read. Such buffers are therefore aligned to, and offered as, 2 MiB transparent huge pages
// (a system that has them disabled simply ignores the advice). free() releases either kind.
uint8_t* AllocateBuffer(size_t bytes) {
  constexpr size_t kHugePage = size_t(2) << 20;
  if (bytes < 4 * kHugePage) return static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
  const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);  // bytes < 2^31: no overflow
  void* buffer = std::aligned_alloc(kHugePage, rounded);
  if (buffer != nullptr) madvise(buffer, rounded, MADV_HUGEPAGE);
  return static_cast<uint8_t*>(buffer);
}

void FreeBuffer(uint8_t* buffer) { std::free(buffer); }

FileReadResult ReadWholeFile(const char16_t* path, uint8_t** buffer, uint32_t* length) {
  *buffer = nullptr;
  *length = 0;
  char native[kNativePathBytes];
  if (!ToNativePath(path, native, false)) return FileReadResult::kCannotOpen;
  std::FILE* file = std::fopen(native, "rb");
  if (file == nullptr) return FileReadResult::kCannotOpen;
  if (std::fseek(file, 0, SEEK_END) != 0) {
    std::fclose(file);
    return FileReadResult::kShortRead;
  }
  const long end = std::ftell(file);
  // A directory opens on POSIX but has no length; a file of 2 GiB or more has no 32-bit one.
  if (end < 0 || end > 0x7FFFFFFFL) {
    std::fclose(file);
    return end < 0 ? FileReadResult::kShortRead : FileReadResult::kCannotAllocate;
  }
  uint8_t* bytes = AllocateBuffer(size_t(end));
  if (bytes == nullptr) {
    std::fclose(file);
    return FileReadResult::kCannotAllocate;
  }
  std::fseek(file, 0, SEEK_SET);
  const size_t got = end > 0 ? std::fread(bytes, 1, size_t(end), file) : 0;
  std::fclose(file);
  if (got != size_t(end)) {
    FreeBuffer(bytes);
    return FileReadResult::kShortRead;
  }
  *buffer = bytes;
  *length = uint32_t(end);
  return FileReadResult::kOk;
}

}  // namespace vexmara::platform

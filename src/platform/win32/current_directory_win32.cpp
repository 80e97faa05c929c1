// The current directory on Windows: SetCurrentDirectoryW and GetCurrentDirectoryW.
#include <windows.h>

#include "platform/current_directory.h"

namespace vexmara::platform {

bool ChangeCurrentDirectory(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return false;
  return SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(path)) != 0;
}

bool ReadCurrentDirectory(char16_t* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  out[0] = 0;
  // The result counts the units written, or the size needed (terminator included) when the
  // buffer is too small, in which case nothing is written.
  const DWORD units =
      GetCurrentDirectoryW(static_cast<DWORD>(capacity), reinterpret_cast<wchar_t*>(out));
  if (units == 0 || units >= capacity) {
    out[0] = 0;
    return false;
  }
  return true;
}

}  // namespace vexmara::platform

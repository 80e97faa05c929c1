// The current directory on POSIX systems. As for file names, a wide path becomes the UTF-8 name
// the file system uses and "\" counts as a directory separator.
#include <unistd.h>

#include "platform/current_directory.h"
#include "platform/platform.h"

namespace vexmara::platform {
namespace {

// 260 UTF-16 units give at most 780 bytes of UTF-8.
constexpr size_t kNativePathBytes = 4 * kPathUnits + 1;

}  // namespace

bool ChangeCurrentDirectory(const char16_t* path) {
  if (path == nullptr || path[0] == 0) return false;
  char native[kNativePathBytes];
  if (WideToNarrow(native, sizeof(native), path) <= 0) return false;
  for (char* p = native; *p != '\0'; ++p) {
    if (*p == '\\') *p = '/';
  }
  return ::chdir(native) == 0;
}

bool ReadCurrentDirectory(char16_t* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  out[0] = 0;
  char native[4096];
  if (::getcwd(native, sizeof(native)) == nullptr) return false;
  // Converted into room for one unit more than the caller has, so a cut shows as a long result.
  char16_t wide[kNativePathBytes + 1];
  const int32_t units = NarrowToWide(wide, sizeof(wide) / sizeof(wide[0]), native);
  if (units <= 0 || size_t(units) >= capacity || size_t(units) >= kNativePathBytes) return false;
  for (int32_t i = 0; i <= units; ++i) out[i] = wide[i];
  return true;
}

}  // namespace vexmara::platform

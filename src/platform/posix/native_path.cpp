#include "platform/posix/native_path.h"

#include <cstring>

namespace vexmara::platform {

bool ToNativePath(const char16_t* path, char* out, bool emptyIsCurrent) {
  if (path == nullptr) return false;
  size_t units = 0;
  while (units < kPathUnits && path[units] != 0) ++units;
  if (units >= kPathUnits) return false;
  if (units == 0) {
    if (!emptyIsCurrent) return false;
    std::strcpy(out, ".");
    return true;
  }
  if (WideToNarrow(out, kNativePathBytes, path) < 0) return false;
  for (char* p = out; *p != '\0'; ++p) {
    if (*p == '\\') *p = '/';
  }
  return true;
}

}  // namespace vexmara::platform

// The native form of a wide path on POSIX systems, shared by the file, listing and
// current-directory services: the UTF-8 name the file system uses, with "\" read as a directory
// separator so that paths built with "\" open as they would on Windows.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace vexmara::platform {

// 259 UTF-16 units give at most 777 bytes of UTF-8, and the terminator.
constexpr size_t kNativePathBytes = 4 * kPathUnits + 1;

// Writes the native form of `path` into `out` (kNativePathBytes bytes). False, and nothing to
// open, for a null path, one of 260 units or more (it would be cut), and one that cannot be
// converted. An empty path becomes "." when `emptyIsCurrent` is set, and is refused otherwise.
bool ToNativePath(const char16_t* path, char* out, bool emptyIsCurrent);

}  // namespace vexmara::platform

// The current directory on POSIX systems. As for file names, a wide path becomes the UTF-8 name
// the file system uses and "\" counts as a directory separator (native_path.h).
#include <unistd.h>

#include "platform/current_directory.h"
#include "platform/posix/native_path.h"

namespace vexmara::platform {

bool ChangeCurrentDirectory(const char16_t* path) {
  char native[kNativePathBytes];
  return ToNativePath(path, native, false) && ::chdir(native) == 0;
}

}  // namespace vexmara::platform

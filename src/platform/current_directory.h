// The process's current directory. The scene builder makes the model file's directory current
// while it creates materials, so that relative texture paths the host resolves start there; the
// texture folder picker opens at it.
#pragma once

#include <cstddef>

namespace vexmara::platform {

// SetCurrentDirectoryW: makes `path` the process's current directory. False when the path is
// null or empty, or the directory cannot be entered.
bool ChangeCurrentDirectory(const char16_t* path);

#if defined(_WIN32)
// GetCurrentDirectoryW: the current directory as a wide path in `out` (`capacity` units, always
// terminated). False, with `out` empty, when it cannot be read or does not fit. Windows only:
// its one caller is the Win32 folder browser, which opens there.
bool ReadCurrentDirectory(char16_t* out, size_t capacity);
#endif

}  // namespace vexmara::platform

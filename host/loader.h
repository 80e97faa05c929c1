// The operating system's library loader, kept to three calls so that each platform supplies its
// own small implementation (dlopen here; LoadLibraryW on Windows).
#pragma once

#include <string>

namespace vexmara::host::loader {

// Null on failure, with the loader's message in `error`.
void* OpenLibrary(const std::string& path, std::string& error);
// Null when the library has no such export.
void* FindSymbol(void* library, const char* name);
void CloseLibrary(void* library);

}  // namespace vexmara::host::loader

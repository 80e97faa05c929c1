#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <string>

#include "host/loader.h"
#include "host/text.h"

namespace vexmara::host::loader {

void* OpenLibrary(const std::string& path, std::string& error) {
  const std::u16string wide = Utf8ToUtf16(path);
  HMODULE library = LoadLibraryW(reinterpret_cast<const wchar_t*>(wide.c_str()));
  if (library == nullptr) {
    error = "LoadLibraryW failed with error " + std::to_string(GetLastError());
  }
  return reinterpret_cast<void*>(library);
}

void* FindSymbol(void* library, const char* name) {
  if (library == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) {
  if (library != nullptr) {
    FreeLibrary(static_cast<HMODULE>(library));
  }
}

}  // namespace vexmara::host::loader

#include <dlfcn.h>

#include "host/loader.h"

namespace vexmara::host::loader {

void* OpenLibrary(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* message = dlerror();
    error = message != nullptr ? message : "the library could not be loaded";
  }
  return library;
}

void* FindSymbol(void* library, const char* name) {
  return library != nullptr ? dlsym(library, name) : nullptr;
}

void CloseLibrary(void* library) {
  if (library != nullptr) {
    dlclose(library);
  }
}

}  // namespace vexmara::host::loader

#include "host/plugin_library.h"

#include <utility>

#include "host/loader.h"

namespace vexmara::host {
namespace {

// Exports are looked up as data addresses; the conversion to a function pointer is the
// platform's guarantee for dynamically loaded code.
template <class Function>
Function AsFunction(void* address) {
  return reinterpret_cast<Function>(address);
}

}  // namespace

PluginLibrary::~PluginLibrary() { Unload(); }

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : library_(std::exchange(other.library_, nullptr)),
      version_(std::exchange(other.version_, nullptr)),
      proc_(std::exchange(other.proc_, nullptr)) {}

PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
  if (this != &other) {
    Unload();
    library_ = std::exchange(other.library_, nullptr);
    version_ = std::exchange(other.version_, nullptr);
    proc_ = std::exchange(other.proc_, nullptr);
  }
  return *this;
}

PluginLibrary::LoadResult PluginLibrary::Load(const std::string& path) {
  Unload();
  std::string error;
  void* library = loader::OpenLibrary(path, error);
  if (library == nullptr) {
    return LoadResult::Failure(LoadCode::NotOpened, error);
  }
  auto version = AsFunction<PluginVersionFunction>(loader::FindSymbol(library, "PluginVersion"));
  auto proc = AsFunction<PluginProcFunction>(loader::FindSymbol(library, "PluginProc"));
  if (version == nullptr || proc == nullptr) {
    loader::CloseLibrary(library);
    return LoadResult::Failure(LoadCode::MissingExport,
                               version == nullptr ? "the library has no export PluginVersion"
                                                  : "the library has no export PluginProc");
  }
  library_ = library;
  version_ = version;
  proc_ = proc;
  return {};
}

void PluginLibrary::Unload() {
  if (library_ != nullptr) {
    loader::CloseLibrary(library_);
  }
  library_ = nullptr;
  version_ = nullptr;
  proc_ = nullptr;
}

std::int32_t PluginLibrary::Version() const { return version_ != nullptr ? version_() : 0; }

std::int32_t PluginLibrary::Proc(std::int32_t message, void* descriptor) const {
  return proc_ != nullptr ? proc_(message, descriptor) : 0;
}

}  // namespace vexmara::host

// A plug-in library loaded the way the host application loads it: the library is opened, its two
// exports are looked up, and the host then asks for the interface version and registers it.
#pragma once

#include <cstdint>
#include <string>

#include "host/result.h"

namespace vexmara::host {

inline constexpr std::int32_t kMessageRegister = 0x10016;
inline constexpr std::int32_t kMessageQueryVersion = 0x10017;
inline constexpr std::int32_t kMessageReadFile = 0x10018;
inline constexpr std::int32_t kMessageImport = 0x1001F;

// What the import message gives.
inline constexpr std::int32_t kImportFailed = 0;
inline constexpr std::int32_t kImportBuilt = 1;
inline constexpr std::int32_t kImportCancelled = 2;

using PluginVersionFunction = std::int32_t (*)();
using PluginProcFunction = std::int32_t (*)(std::int32_t message, void* descriptor);
using PluginCallbackFunction = std::int32_t (*)(std::int32_t message, void* context, void* instance,
                                                std::uint64_t unused);

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;
  PluginLibrary(PluginLibrary&& other) noexcept;
  PluginLibrary& operator=(PluginLibrary&& other) noexcept;

  enum class LoadCode {
    Ok,
    NotOpened,      // the system's loader refused it; the message is the loader's
    MissingExport,  // it lacks "PluginVersion" or "PluginProc"
  };
  using LoadResult = Result<LoadCode>;

  // Opens the library and finds "PluginVersion" and "PluginProc". On failure nothing stays
  // loaded. A library already loaded is unloaded first.
  LoadResult Load(const std::string& path);
  void Unload();
  bool IsLoaded() const { return library_ != nullptr; }

  // The module handle; the host passes it as the instance with the import message.
  void* Instance() const { return library_; }

  // PluginVersion(); 0 when nothing is loaded.
  std::int32_t Version() const;
  // PluginProc(message, descriptor); 0 when nothing is loaded.
  std::int32_t Proc(std::int32_t message, void* descriptor) const;

  PluginVersionFunction VersionEntry() const { return version_; }
  PluginProcFunction ProcEntry() const { return proc_; }

 private:
  void* library_ = nullptr;
  PluginVersionFunction version_ = nullptr;
  PluginProcFunction proc_ = nullptr;
};

}  // namespace vexmara::host

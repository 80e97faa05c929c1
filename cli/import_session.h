// One import as a host runs it: the plug-in library loaded and registered with a reference host,
// the read message for the model file, the import message with the dialog answered from the
// request, and what the dialog showed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/dialog_exports.h"
#include "cli/path_text.h"
#include "host/host.h"
#include "host/plugin_library.h"

namespace vexmara::cli {

struct ImportRequest {
  std::filesystem::path library;  // the plug-in library to load
  std::filesystem::path model;
  std::vector<std::filesystem::path> animations;
  std::optional<std::filesystem::path> textureDirectory;
  bool noSwap = false;     // "Swap model" unchecked
  bool groups = false;     // "Import submeshes as groups" checked
  bool alphaMaps = false;  // "Extract alpha maps" checked
};

enum class ImportStage {
  LibraryFailed,  // the library could not be loaded, lacks an export, or refused registration
  ReadFailed,     // the read message gave 0
  ImportFailed,   // the import message gave 0 (or anything but 1 and 2)
  Cancelled,      // the import message gave 2
  Built,          // the import message gave 1
};

struct ImportOutcome {
  ImportStage stage = ImportStage::LibraryFailed;
  std::string message;  // what went wrong: the plug-in's error text or the loader's
  std::int32_t readResult = 0;
  std::int32_t importResult = 0;
  DialogTexts dialog;
};

// Chooses animation files for the import once the model has been read, from what the library
// (its module handle) says of the model; they come after the request's own.
using AnimationChooser = std::function<std::vector<std::filesystem::path>(void* library)>;

class ImportSession {
 public:
  ImportSession();
  ~ImportSession();
  ImportSession(const ImportSession&) = delete;
  ImportSession& operator=(const ImportSession&) = delete;

  // Runs the whole import. Relative paths of the request are taken from the current directory
  // at the time of the call; the import itself moves the current directory to the model's.
  // A session that runs again keeps the library loaded when it is the same one, as a host keeps
  // a plug-in loaded from one import to the next; the choices the dialog kept of the last import
  // (the texture folder, the three boxes) are then set back to their values at load, so that a
  // run gives what it gives in a session of its own.
  ImportOutcome Run(const ImportRequest& request, const AnimationChooser& choose = {});

  // Frees the host and unloads the library, so that the next run starts from a freshly loaded
  // plug-in.
  void UnloadLibrary();

  // The host that received the import (null before Run, when the library failed to load, or
  // after ReleaseHost).
  const host::Host* Host() const { return host_.get(); }
  // Frees the host and what it received, once everything needed was copied out of it.
  void ReleaseHost() { host_.reset(); }

 private:
  host::PluginLibrary library_;
  std::string loadedFrom_;  // the path of the library loaded, empty when none is
  DialogExports dialog_;
  std::unique_ptr<host::Host> host_;
};

}  // namespace vexmara::cli

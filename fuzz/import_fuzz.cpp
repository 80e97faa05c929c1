// A whole import on arbitrary input: a model file, an animation file and the dialog's options
// drawn from the input, read and built into the reference host, closing transforms included.
// Any out-of-bounds access, undefined behaviour, leak, image left unreleased, call of a slot
// outside the interface or misuse of a host object is a finding.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "dialog/scripted_dialog.h"
#include "fuzz_input.h"
#include "host/host.h"
#include "plugin/plugin_entry.h"

namespace fs = std::filesystem;

namespace {

// Files of one run live in memory when the system offers a RAM-backed folder.
fs::path ScratchRoot() {
  std::error_code error;
  return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

fs::path Folder() {
  static const fs::path folder = ScratchRoot() / ("vexmara_fuzz_import_" + std::to_string(::getpid()));
  return folder;
}

void Save(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vexmara::fuzzing::FuzzInput input(data, size);
  const uint8_t options = input.Take<uint8_t>();
  const uint16_t modelBytes = input.Take<uint16_t>();
  const std::vector<uint8_t> model = input.TakeBytes(modelBytes);
  const std::vector<uint8_t> animation = input.TakeRest();

  fs::create_directories(Folder());
  const fs::path modelPath = Folder() / "model.app";
  const fs::path animationPath = Folder() / "walk.ani";
  Save(modelPath, model);
  Save(animationPath, animation);

  vexmara::host::Host host;
  host.SetCallLogging(false);
  // The plug-in is linked in: its entry point is handed to the host as a loaded library's would be.
  if (host.Register(reinterpret_cast<vexmara::host::PluginProcFunction>(&PluginProc)) != 1) std::abort();

  const std::u16string animationWide = animationPath.u16string();
  const uint16_t* files[] = {reinterpret_cast<const uint16_t*>(animationWide.c_str())};
  ScriptedDialog script{};
  script.result = (options & 0x10) ? 0 : 1;
  script.textureDirectory = nullptr;
  script.animationFileCount = (options & 0x20) ? 1 : 0;
  script.animationFiles = files;
  script.swapModel = options & 1;
  script.submeshesAsGroups = (options >> 1) & 1;
  script.extractAlphaMaps = (options >> 2) & 1;
  SetScriptedDialog(&script);

  host.SetModelPath(modelPath.u16string());
  int instance = 0;
  if (host.Read() == 1) host.Import(&instance);

  if (host.LiveImageCount() != 0 || !host.UnexpectedCalls().empty() || !host.Misuses().empty() ||
      !host.RetiredArraysUntouched()) {
    std::abort();
  }
  SetScriptedDialog(nullptr);
  return 0;
}

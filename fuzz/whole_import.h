// A whole import on a fuzz input, shared by the import and export harnesses. The input is an
// options byte, the model's length (uint16), the model, then an animation file; both files are
// saved into the harness's folder and imported into a reference host through the linked-in
// plug-in, with the dialog answered from the options byte: bit 0 "Swap model", bit 1 "Import
// submeshes as groups", bit 2 "Extract alpha maps", bit 4 "Cancel", bit 5 the animation file
// picked. Bits 6 and 7 are left to the harness.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dialog/scripted_dialog.h"
#include "fuzz_input.h"
#include "host/host.h"
#include "plugin/plugin_entry.h"

namespace vexmara::fuzzing {

// A folder of this process for a harness's files, in memory when the system offers a RAM-backed
// folder.
inline std::filesystem::path ScratchFolder(const std::string& harness) {
  std::error_code error;
  const std::filesystem::path root = std::filesystem::is_directory("/dev/shm", error)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  const std::filesystem::path folder =
      root / ("vexmara_fuzz_" + harness + "_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

struct WholeImport {
  std::uint8_t options = 0;
  bool built = false;  // the read and the import both gave 1
};

// The input's two files saved into `folder` as model.app and walk.ani; gives the options byte.
inline std::uint8_t SaveWholeImportInput(const std::uint8_t* data, size_t size,
                                         const std::filesystem::path& folder) {
  FuzzInput input(data, size);
  const std::uint8_t options = input.Take<std::uint8_t>();
  const std::uint16_t modelBytes = input.Take<std::uint16_t>();
  const auto save = [](const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  };
  save(folder / "model.app", input.TakeBytes(modelBytes));
  save(folder / "walk.ani", input.TakeRest());
  return options;
}

inline WholeImport RunWholeImport(const std::uint8_t* data, size_t size,
                                  const std::filesystem::path& folder, host::Host& host) {
  WholeImport run;
  run.options = SaveWholeImportInput(data, size, folder);
  const std::filesystem::path modelPath = folder / "model.app";
  const std::filesystem::path animationPath = folder / "walk.ani";

  // The plug-in is linked in: its entry point is handed to the host as a loaded library's would be.
  if (host.Register(reinterpret_cast<host::PluginProcFunction>(&PluginProc)) != 1) std::abort();
  const std::u16string animationWide = animationPath.u16string();
  const uint16_t* files[] = {reinterpret_cast<const uint16_t*>(animationWide.c_str())};
  ScriptedDialog script{};
  script.result = (run.options & 0x10) ? 0 : 1;
  script.textureDirectory = nullptr;
  script.animationFileCount = (run.options & 0x20) ? 1 : 0;
  script.animationFiles = files;
  script.swapModel = run.options & 1;
  script.submeshesAsGroups = (run.options >> 1) & 1;
  script.extractAlphaMaps = (run.options >> 2) & 1;
  SetScriptedDialog(&script);
  host.SetModelPath(modelPath.u16string());
  int instance = 0;
  run.built = host.Read() == 1 && host.Import(&instance) == 1;
  SetScriptedDialog(nullptr);
  return run;
}

}  // namespace vexmara::fuzzing

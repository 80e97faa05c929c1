// The whole import of import_fuzz.cpp, then the glTF export of what the host received, into
// memory: as a .glb, a .gltf, or a .glb with its images beside it, by the options byte. Textures
// with cut-out and with blended alpha lie in the model's folder for the identifiers the seed
// models name. A sanitizer report, a failed export, or a written document that the in-process
// check finds fault with is a finding.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/gltf_check.h"
#include "cli/gltf_file.h"
#include "cli/importer.h"
#include "cli/scene_snapshot.h"
#include "dialog/scripted_dialog.h"
#include "fuzz_input.h"
#include "host/host.h"
#include "host/image_codec.h"
#include "plugin/plugin_entry.h"
#include "writer/common.h"
#include "writer/samples.h"

namespace fs = std::filesystem;

namespace {

fs::path ScratchRoot() {
  std::error_code error;
  return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// The model's folder, with the textures of identifiers 1000 (a cut-out) and 1001 (blended).
fs::path Folder() {
  static const fs::path folder = [] {
    const fs::path made = ScratchRoot() / ("vexmara_fuzz_export_" + std::to_string(::getpid()));
    fs::create_directories(made);
    for (int t = 0; t < 2; ++t) {
      const std::string name = "texture_" + std::to_string(t);
      vexmara::writer::SaveBytes((made / (name + ".tex")).string(), vexmara::writer::SampleTextureFile(1000 + t));
      vexmara::host::DecodedImage image;
      image.width = image.height = 4;
      for (int i = 0; i < 16; ++i) {
        const uint8_t alpha = t == 0 ? uint8_t(i % 3 == 0 ? 0 : 255) : uint8_t(i * 16);
        image.rgba.insert(image.rgba.end(), {uint8_t(i * 10), 90, 160, alpha});
      }
      vexmara::host::WriteTga((made / (name + ".tga")).string(), image);
    }
    return made;
  }();
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

  const fs::path modelPath = Folder() / "model.app";
  const fs::path animationPath = Folder() / "walk.ani";
  Save(modelPath, model);
  Save(animationPath, animation);

  vexmara::host::Host host;
  host.SetCallLogging(false);
  host.SetSaveImageWritesFiles(true);  // the alpha maps are files the export reads, as in vexmara-import
  if (host.Register(reinterpret_cast<vexmara::host::PluginProcFunction>(&PluginProc)) != 1) std::abort();

  const std::u16string animationWide = animationPath.u16string();
  const uint16_t* files[] = {reinterpret_cast<const uint16_t*>(animationWide.c_str())};
  ScriptedDialog script{};
  script.result = 1;
  script.textureDirectory = nullptr;
  script.animationFileCount = (options & 0x20) ? 1 : 0;
  script.animationFiles = files;
  script.swapModel = options & 1;
  script.submeshesAsGroups = (options >> 1) & 1;
  script.extractAlphaMaps = (options >> 2) & 1;
  SetScriptedDialog(&script);
  host.SetModelPath(modelPath.u16string());
  int instance = 0;
  const bool built = host.Read() == 1 && host.Import(&instance) == 1;
  SetScriptedDialog(nullptr);
  if (!built) return 0;

  const fs::path output = Folder() / ((options & 0x40) ? "out.gltf" : "out.glb");
  vexmara::cli::ExportOptions exportOptions;
  exportOptions.externalImages = (options & 0x80) != 0;
  vexmara::cli::MemoryFiles written;
  const vexmara::cli::ExportResult result =
      vexmara::cli::ExportGltf(vexmara::cli::TakeSnapshot(host), output, exportOptions,
                               vexmara::cli::HostImageCodec(), written);
  if (!result.written) {
    std::fprintf(stderr, "export failed: %s\n", result.error.c_str());
    std::abort();
  }
  const std::vector<std::string> problems = vexmara::cli::CheckGltf(written, output);
  for (const std::string& problem : problems) std::fprintf(stderr, "invalid export: %s\n", problem.c_str());
  if (!problems.empty()) std::abort();
  return 0;
}

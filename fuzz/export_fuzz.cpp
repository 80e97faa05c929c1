// The whole import of import_fuzz.cpp, then the glTF export of what the host received, into
// memory: as a .glb, as a .gltf (options bit 6), or as a .glb with its images beside it (bit 7).
// Textures with cut-out and with blended alpha lie in the model's folder for the identifiers the
// seed models name. A sanitizer report, a failed export, or a written document that the
// in-process check finds fault with is a finding.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/gltf_check.h"
#include "cli/gltf_file.h"
#include "cli/importer.h"
#include "cli/scene_snapshot.h"
#include "host/host.h"
#include "host/image_codec.h"
#include "whole_import.h"
#include "writer/common.h"
#include "writer/samples.h"

namespace {

// The model's folder, with the textures of identifiers 1000 (a cut-out) and 1001 (blended).
std::filesystem::path Folder() {
  static const std::filesystem::path folder = [] {
    const std::filesystem::path made = vexmara::fuzzing::ScratchFolder("export");
    for (int t = 0; t < 2; ++t) {
      const std::string name = "texture_" + std::to_string(t);
      vexmara::writer::SaveBytes((made / (name + ".tex")).string(),
                                 vexmara::writer::SampleTextureFile(1000 + t));
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vexmara::host::Host host;
  host.SetCallLogging(false);
  host.SetSaveImageWritesFiles(
      true);  // the alpha maps are files the export reads, as in vexmara-import
  const vexmara::fuzzing::WholeImport run =
      vexmara::fuzzing::RunWholeImport(data, size, Folder(), host);
  if (!run.built) return 0;

  const std::filesystem::path output = Folder() / ((run.options & 0x40) ? "out.gltf" : "out.glb");
  vexmara::cli::ExportOptions options;
  options.externalImages = (run.options & 0x80) != 0;
  vexmara::cli::MemoryFiles written;
  const vexmara::cli::ExportResult result = vexmara::cli::ExportGltf(
      vexmara::cli::TakeSnapshot(host), output, options, vexmara::cli::HostImageCodec(), written);
  if (!result.written) {
    std::fprintf(stderr, "export failed: %s\n", result.error.c_str());
    std::abort();
  }
  const std::vector<std::string> problems = vexmara::cli::CheckGltf(written, output);
  for (const std::string& problem : problems)
    std::fprintf(stderr, "invalid export: %s\n", problem.c_str());
  if (!problems.empty()) std::abort();
  return 0;
}

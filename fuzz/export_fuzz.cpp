// The conversion of a fuzz input, as every client of the converter runs it, into memory: the
// plug-in linked in and reached through the linked loader, the model and the animation file
// saved into the harness's folder, the dialog's choices from the options byte (as the whole
// import's harness reads it: whole_import.h), and the glTF written as a .glb, as a .gltf
// (options bit 6), or as a .glb with its images beside it (bit 7). Textures with cut-out and
// with blended alpha lie in the model's folder for the identifiers the seed models name. A
// sanitizer report, a failed export, or a written document that the in-process check finds
// fault with is a finding.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/convert/conversion.h"
#include "host/image_codec.h"
#include "tests/support/gltf_check.h"
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
  // A cancelled import writes nothing.
  if (size > 0 && (data[0] & 0x10) != 0) return 0;
  const std::filesystem::path folder = Folder();
  const std::uint8_t options = vexmara::fuzzing::SaveWholeImportInput(data, size, folder);

  // One converter for the whole run, as a batch worker keeps one: every input after the first
  // also checks that the choices kept from the last import are set back.
  static vexmara::cli::Converter converter;
  vexmara::cli::ConvertRequest request;
  request.settings.library = "the plug-in linked in";
  request.settings.choices.swapModel = (options & 1) != 0;
  request.settings.choices.submeshesAsGroups = (options & 2) != 0;
  request.settings.choices.extractAlphaMaps = (options & 4) != 0;
  request.settings.externalImages = (options & 0x80) != 0;
  request.model = folder / "model.app";
  if ((options & 0x20) != 0) request.animations.push_back(folder / "walk.ani");
  request.output = folder / ((options & 0x40) ? "out.gltf" : "out.glb");
  vexmara::cli::MemoryFiles written;
  request.sink = &written;
  const vexmara::cli::ConvertResult result = converter.Convert(request);
  if (result.code == vexmara::cli::ConvertCode::WriteFailed ||
      result.code == vexmara::cli::ConvertCode::LibraryFailed) {
    std::fprintf(stderr, "export failed: %s\n", result.message.c_str());
    std::abort();
  }
  if (!result.ok()) return 0;  // the plug-in refused the model: nothing to export
  const std::vector<std::string> problems = vexmara::testing::CheckGltf(written, request.output);
  for (const std::string& problem : problems) {
    std::fprintf(stderr, "invalid export: %s\n", problem.c_str());
  }
  if (!problems.empty()) std::abort();
  return 0;
}

#include "cli/importer.h"

#include <fstream>
#include <ostream>
#include <string>

#include "cli/batch/processes.h"
#include "cli/output_files.h"
#include "cli/path_text.h"
#include "cli/scene_snapshot.h"
#include "host/image_codec.h"
#include "host/scene_json.h"
#include "host/text.h"

namespace vexmara::cli {
namespace {

std::string Utf8(const std::u16string& text) { return host::Utf16ToUtf8(text); }

std::string Plural(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Box(std::int32_t state) { return state == 1 ? "[x]" : state == 0 ? "[ ]" : "[?]"; }

// The dialog as it closed, in the order of its controls.
void PrintDialog(const DialogTexts& dialog, std::ostream& out) {
  out << "Import Karnath III Model\n";
  out << "  Info\n";
  out << "    geosets:   " << Utf8(dialog.geosets) << "\n";
  out << "    vertices:  " << Utf8(dialog.vertices) << "\n";
  out << "    triangles: " << Utf8(dialog.triangles) << "\n";
  out << "    materials: " << Utf8(dialog.materials) << "\n";
  out << "    bones:     " << Utf8(dialog.bones) << "\n";
  out << "  Texture Directory\n";
  out << "    " << Utf8(dialog.textureDirectory) << "\n";
  out << "    Textures:  " << Utf8(dialog.textureCount) << "\n";
  for (const std::u16string& line : dialog.textureLines) out << "      " << Utf8(line) << "\n";
  out << "  Animations\n";
  out << "    " << Utf8(dialog.animationFiles) << "\n";
  out << "  Options\n";
  out << "    " << Box(dialog.swapModel) << " Swap model\n";
  out << "    " << Box(dialog.submeshesAsGroups) << " Import submeshes as groups\n";
  out << "    " << Box(dialog.extractAlphaMaps) << " Extract alpha maps\n";
}

// A file of an output as the caller named it: the output as given, or a file beside it in the
// folder the caller gave.
std::string AsGiven(const std::filesystem::path& file, const std::filesystem::path& absolute,
                    const std::filesystem::path& given) {
  if (file == absolute) return PathText(given);
  if (file.parent_path() == absolute.parent_path())
    return PathText(given.parent_path() / file.filename());
  return PathText(file);
}

void MakeParent(const std::filesystem::path& path) {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
}

}  // namespace

ImageCodec HostImageCodec() {
  ImageCodec codec;
  codec.decode = [](const std::u16string& path, RgbaImage* image) {
    host::DecodedImage decoded;
    if (!host::DecodeImageFile(path, &decoded)) return false;
    image->width = decoded.width;
    image->height = decoded.height;
    image->pixels = std::move(decoded.rgba);
    return true;
  };
  codec.encodePng = [](const RgbaImage& image, std::vector<std::uint8_t>* png) {
    host::DecodedImage pixels;
    pixels.width = image.width;
    pixels.height = image.height;
    pixels.rgba = image.pixels;
    return host::EncodePng(pixels, png);
  };
  return codec;
}

std::filesystem::path LibraryBesideProgram() {
#if defined(_WIN32)
  constexpr char kLibrary[] = "vexmara_64.dlx";
#else
  constexpr char kLibrary[] = "vexmara_64.so";
#endif
  const std::filesystem::path program = batch::ThisProgram();
  return program.empty() ? std::filesystem::path(kLibrary) : program.parent_path() / kLibrary;
}

int RunImporter(const CommandLine& line, std::ostream& out, std::ostream& err) {
  // Every path is made absolute before the import moves the current directory; the outcome and
  // the messages still name each file as the caller gave it.
  const auto absolute = [](const std::filesystem::path& path) {
    std::error_code ignored;
    const std::filesystem::path made = std::filesystem::absolute(path, ignored);
    return made.empty() ? path : made.lexically_normal();
  };
  ImportRequest request = line.request;
  request.library = absolute(request.library);
  request.model = absolute(request.model);
  for (std::filesystem::path& animation : request.animations) {
    if (!std::ifstream(animation, std::ios::binary)) {
      err << "vexmara-import: warning: " << PathText(animation)
          << ": Could not open file for reading.\n";
    }
    animation = absolute(animation);
  }
  if (request.textureDirectory) request.textureDirectory = absolute(*request.textureDirectory);
  const std::optional<std::filesystem::path> output =
      line.output ? std::optional(absolute(*line.output)) : std::nullopt;
  const std::optional<std::filesystem::path> json =
      line.json ? std::optional(absolute(*line.json)) : std::nullopt;

  ImportSession session;
  const ImportOutcome outcome = session.Run(request);
  if (outcome.dialog.shown) PrintDialog(outcome.dialog, out);

  int exitCode = outcome.stage == ImportStage::Built ? kExitBuilt : kExitFailed;
  if (json && session.Host() != nullptr) {
    MakeParent(*json);
    const std::string text = host::SceneJsonText(*session.Host()) + "\n";
    OutputFiles file;
    if (!file.Begin(*json) || !file.Write(text.data(), text.size()) || !file.Commit()) {
      err << "vexmara-import: " << PathText(*line.json) << ": " << file.Reason() << "\n";
      exitCode = kExitFailed;
    }
  }

  switch (outcome.stage) {
    case ImportStage::LibraryFailed:
      err << "vexmara-import: " << outcome.message << "\n";
      return kExitFailed;
    case ImportStage::ReadFailed:
    case ImportStage::ImportFailed:
    case ImportStage::Cancelled:
      err << "vexmara-import: " << PathText(line.request.model) << ": " << outcome.message << "\n";
      return kExitFailed;
    case ImportStage::Built:
      break;
  }

  const SceneSnapshot scene = TakeSnapshot(*session.Host());
  std::string summary = "Imported " + PathText(line.request.model) + ": " +
                        Plural(int(scene.materials.size()), "material", "materials") + ", " +
                        Plural(int(session.Host()->Groups().size()), "group", "groups") + ", " +
                        Plural(int(scene.vertices.size()), "vertex", "vertices") + ", " +
                        Plural(int(scene.meshes.size()), "mesh", "meshes") + ", " +
                        Plural(int(scene.bones.size()), "bone", "bones") + ", " +
                        Plural(int(scene.animations.size()), "animation", "animations");
  if (output) {
    // The export needs only the snapshot: the host's own records go before the document is made.
    session.ReleaseHost();
    MakeParent(*output);
    ExportOptions options;
    options.externalImages = line.externalImages;
    // Every file of the output (the document, its .bin, its images) is written whole or not at
    // all: a write that fails leaves the files already there as they were.
    OutputFiles files;
    const ExportResult exported = ExportGltf(scene, *output, options, HostImageCodec(), files);
    for (const std::string& warning : exported.warnings)
      err << "vexmara-import: warning: " << warning << "\n";
    if (!exported.written || !files.Commit()) {
      if (files.Reason().empty()) {
        err << "vexmara-import: " << exported.error << "\n";
      } else {
        err << "vexmara-import: " << AsGiven(files.FailedFile(), *output, *line.output) << ": "
            << files.Reason() << "\n";
      }
      return kExitFailed;
    }
    const GltfCounts& c = exported.counts;
    summary += "; wrote " + PathText(*line.output) + " (" + Plural(c.meshes, "mesh", "meshes") +
               ", " + Plural(c.primitives, "primitive", "primitives") + ", " +
               Plural(c.vertices, "vertex", "vertices") + ", " +
               Plural(c.texturedMaterials, "textured material", "textured materials") + ", " +
               Plural(c.joints, "joint", "joints") + ", " +
               Plural(c.animations, "animation", "animations") + ")";
  }
  out << summary << "\n";
  return exitCode;
}

}  // namespace vexmara::cli

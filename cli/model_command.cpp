#include "cli/model_command.h"

#include <chrono>
#include <fstream>
#include <ostream>
#include <string>

#include "cli/batch/processes.h"
#include "cli/batch/report.h"
#include "cli/convert/animation_match.h"
#include "cli/convert/conversion.h"
#include "cli/files/output_files.h"
#include "cli/files/system_files.h"
#include "cli/text/json_text.h"
#include "cli/text/path_text.h"
#include "host/scene_json.h"

namespace vexmara::cli {
namespace {

std::string Box(std::int32_t state) { return state == 1 ? "[x]" : state == 0 ? "[ ]" : "[?]"; }

// The dialog as it closed, in the order of its controls.
void PrintDialog(const DialogTexts& dialog, std::ostream& out) {
  out << "Import Karnath III Model\n";
  out << "  Info\n";
  out << "    geosets:   " << dialog.geosets << "\n";
  out << "    vertices:  " << dialog.vertices << "\n";
  out << "    triangles: " << dialog.triangles << "\n";
  out << "    materials: " << dialog.materials << "\n";
  out << "    bones:     " << dialog.bones << "\n";
  out << "  Texture Directory\n";
  out << "    " << dialog.textureDirectory << "\n";
  out << "    Textures:  " << dialog.textureCount << "\n";
  for (const std::string& line : dialog.textureLines) out << "      " << line << "\n";
  out << "  Animations\n";
  out << "    " << dialog.animationFiles << "\n";
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
  if (file.parent_path() == absolute.parent_path()) {
    return PathText(given.parent_path() / file.filename());
  }
  return PathText(file);
}

// The animation files that --anims offers the model: those below each folder given, and with
// "auto" those below the model's own folder; the folders that could not be listed are warned of.
std::vector<AnimationFile> OfferedAnimations(const ModelCommand& command, std::ostream& err) {
  AnimationFileList files;
  FolderWalk walk;
  std::vector<FolderFailure> failures;
  files.AddFolders(command.animationFolders, walk, &failures);
  if (command.animationsBesideModel) {
    const std::filesystem::path given = command.model.parent_path();
    WalkResult found;
    walk.Walk(AbsolutePath(given.empty() ? "." : given), &found);
    failures.insert(failures.end(), found.failures.begin(), found.failures.end());
    for (const FoundFile& file : found.animations) {
      files.Add(file, given / file.relative, false);
    }
  }
  for (const FolderFailure& failure : failures) {
    err << kProgramPrefix << "warning: " << PathText(failure.folder)
        << ": the folder could not be listed: " << failure.reason << "\n";
  }
  return files.Take();
}

// The report of the one model, in the shape of a batch's: its entry, and the animation files
// offered to it.
std::string ReportText(const ModelCommand& command, const ConvertResult& result,
                       const std::vector<AnimationFile>& offered, const ModelAnimations& matched,
                       double seconds) {
  batch::ModelTask task;
  task.shownInput = command.model;
  if (command.output) task.shownOutput = *command.output;
  task.status = result.ok() ? batch::ModelStatus::Converted : batch::ModelStatus::Failed;
  task.error = result.message;
  task.result = batch::ModelResultOf(result);
  task.animations = matched;
  task.seconds = seconds;
  nlohmann::json report{{"models", nlohmann::json::array({batch::ModelJson(task, offered)})},
                        {"animationFiles", batch::AnimationFilesJson(offered)}};
  return JsonText(report, 2) + "\n";
}

}  // namespace

std::filesystem::path LibraryBesideProgram() {
#if defined(_WIN32)
  constexpr char kLibrary[] = "vexmara_64.dlx";
#else
  constexpr char kLibrary[] = "vexmara_64.so";
#endif
  const std::filesystem::path program = system_files::ThisProgram();
  return program.empty() ? std::filesystem::path(kLibrary) : program.parent_path() / kLibrary;
}

ExitCode RunModelCommand(const ModelCommand& command, std::ostream& out, std::ostream& err) {
  const auto started = std::chrono::steady_clock::now();
  // The export builds its document in the memory the host's records leave free.
  batch::KeepFreedMemory();
  // Every file is named from the current folder as it is now: the import moves it.
  const std::filesystem::path report = command.report ? AbsolutePath(*command.report) : "";
  ConvertRequest request;
  request.settings = command.settings;
  request.model = command.model;
  for (const std::filesystem::path& animation : command.animations) {
    if (!std::ifstream(animation, std::ios::binary)) {
      err << kProgramPrefix << "warning: " << PathText(animation)
          << ": Could not open file for reading.\n";
    }
    request.animations.push_back(animation);
  }
  const bool pick = command.animationsBesideModel || !command.animationFolders.empty();
  AnimationMatcher matcher(pick ? OfferedAnimations(command, err) : std::vector<AnimationFile>());
  if (pick) request.pickAnimations = matcher.PickerFor(AbsolutePath(command.model).parent_path());
  if (command.output) request.output = AbsolutePath(*command.output);

  // The scene document is written whatever became of the import, once the library has a host.
  bool written = true;
  if (command.json) {
    request.inspectHost = [&, json = AbsolutePath(*command.json)](const host::Host& host) {
      const FileResult saved = WriteFileWhole(json, host::SceneJsonText(host) + "\n");
      if (!saved.ok()) {
        err << kProgramPrefix << PathText(*command.json) << ": " << saved.message << "\n";
        written = false;
      }
    };
  }

  Converter converter;
  const ConvertResult result = converter.Convert(request);
  if (result.dialog.shown) PrintDialog(result.dialog, out);
  switch (result.code) {
    case ConvertCode::LibraryFailed:
      err << kProgramPrefix << result.message << "\n";
      break;
    case ConvertCode::ReadFailed:
    case ConvertCode::AnimationsFailed:
    case ConvertCode::ImportFailed:
    case ConvertCode::Cancelled:
      err << kProgramPrefix << PathText(command.model) << ": " << result.message << "\n";
      break;
    case ConvertCode::WriteFailed:
    case ConvertCode::Ok:
      for (const std::string& warning : result.warnings) {
        err << kProgramPrefix << "warning: " << warning << "\n";
      }
      break;
  }
  if (result.code == ConvertCode::WriteFailed) {
    if (result.failedFile.empty()) {
      err << kProgramPrefix << result.message << "\n";
    } else {
      err << kProgramPrefix << AsGiven(result.failedFile, request.output, *command.output) << ": "
          << result.failedReason << "\n";
    }
  }
  if (result.ok()) {
    const SceneCounts& n = result.counts;
    std::string summary =
        "Imported " + PathText(command.model) + ": " +
        Plural(n.materials, "material", "materials") + ", " + Plural(n.groups, "group", "groups") +
        ", " + Plural(n.vertices, "vertex", "vertices") + ", " +
        Plural(n.meshes, "mesh", "meshes") + ", " + Plural(n.bones, "bone", "bones") + ", " +
        Plural(n.animations, "animation", "animations");
    if (command.output) {
      const GltfCounts& c = result.written;
      summary += "; wrote " + PathText(*command.output) + " (" +
                 Plural(c.meshes, "mesh", "meshes") + ", " +
                 Plural(c.primitives, "primitive", "primitives") + ", " +
                 Plural(c.vertices, "vertex", "vertices") + ", " +
                 Plural(c.texturedMaterials, "textured material", "textured materials") + ", " +
                 Plural(c.joints, "joint", "joints") + ", " +
                 Plural(c.animations, "animation", "animations") + ")";
    }
    out << summary << "\n";
  }

  if (command.report) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string text =
        ReportText(command, result, matcher.Offered(), matcher.LastMatch(), seconds);
    if (const FileResult saved = WriteFileWhole(report, text); !saved.ok()) {
      err << kProgramPrefix << PathText(*command.report)
          << ": the report could not be written: " << saved.message << "\n";
      written = false;
    }
  }
  return result.ok() && written ? ExitCode::Success : ExitCode::Failed;
}

}  // namespace vexmara::cli

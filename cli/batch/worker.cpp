#include "cli/batch/worker.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string_view>
#include <thread>

#include "cli/batch/processes.h"
#include "cli/batch/protocol.h"
#include "cli/gltf_file.h"
#include "cli/import_session.h"
#include "cli/importer.h"
#include "cli/name_exports.h"
#include "cli/path_text.h"
#include "cli/scene_snapshot.h"
#include "host/plugin_library.h"

namespace vexmara::cli::batch {
namespace {

constexpr char kModelMode[] = "--batch-model-worker";
constexpr char kAnimationMode[] = "--batch-animation-worker";
constexpr int kNotFinished = 1;

void InjectTestFault(const std::filesystem::path& file) {
  const char* fault = std::getenv(kTestFaultVariable);
  if (fault == nullptr) return;
  const std::string_view text(fault);
  const std::string name = PathText(file.filename());
  if (text == "hang:" + name) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  }
  if (text == "crash:" + name) CrashThisProcess();
}

void Send(const std::string& message) { std::cout << message << '\n' << std::flush; }

struct Parsed {
  std::string mode;
  long parent = -1;
  ModelWorkerSettings settings;
};

std::optional<Parsed> Parse(int argc, const char* const* argv) {
  if (argc < 2 ||
      (std::strcmp(argv[1], kModelMode) != 0 && std::strcmp(argv[1], kAnimationMode) != 0)) {
    return std::nullopt;
  }
  Parsed parsed;
  parsed.mode = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string_view option = argv[i];
    const bool valued = i + 1 < argc;
    if (option == "--parent" && valued) {
      parsed.parent = std::strtol(argv[++i], nullptr, 10);
    } else if (option == "--plugin" && valued) {
      parsed.settings.library = PathFromText(argv[++i]);
    } else if (option == "--textures" && valued) {
      parsed.settings.textureDirectory = PathFromText(argv[++i]);
    } else if (option == "--no-swap") {
      parsed.settings.noSwap = true;
    } else if (option == "--groups") {
      parsed.settings.groups = true;
    } else if (option == "--alpha") {
      parsed.settings.alphaMaps = true;
    } else if (option == "--external-images") {
      parsed.settings.externalImages = true;
    } else if (option == "--pick-animations") {
      parsed.settings.pickAnimations = true;
    }
  }
  return parsed;
}

// The batch's answer to the model's bones: the animation files to import with it.
struct Picked {
  std::vector<std::filesystem::path> files;
  std::string error;  // why none could be had
};

std::vector<std::filesystem::path> AskForAnimations(void* library, Picked& picked) {
  NameExports names;
  std::vector<std::string> bones;
  if (!names.Find(library, &picked.error)) return {};
  if (!names.ModelBoneNames(&bones)) {
    picked.error = "the model's bone names could not be had";
    return {};
  }
  Send(BonesMessage(bones));
  std::string reply;
  std::optional<std::vector<std::filesystem::path>> files;
  if (std::getline(std::cin, reply)) files = ParseAnimationsMessage(reply);
  if (!files) {
    picked.error = "no animation files came from the batch";
    return {};
  }
  picked.files = std::move(*files);
  return picked.files;
}

ModelResult ConvertModel(const ModelWorkerSettings& settings, const ModelRequest& model,
                         ImportSession& session) {
  ImportRequest request;
  request.library = settings.library;
  request.model = model.model;
  request.textureDirectory = settings.textureDirectory;
  request.noSwap = settings.noSwap;
  request.groups = settings.groups;
  request.alphaMaps = settings.alphaMaps;
  Picked picked;
  AnimationChooser choose;
  if (settings.pickAnimations)
    choose = [&picked](void* library) { return AskForAnimations(library, picked); };

  ModelResult result;
  SceneSnapshot scene;
  {
    const ImportOutcome outcome = session.Run(request, choose);
    if (outcome.stage != ImportStage::Built) {
      result.error = outcome.message;
      return result;
    }
    if (!picked.error.empty()) {
      result.error = picked.error;
      return result;
    }
    scene = TakeSnapshot(*session.Host());
    result.counts.groups = int(session.Host()->Groups().size());
    // The host's records are freed once the scene is copied out, before the export builds its
    // document.
    session.ReleaseHost();
  }
  result.counts.materials = int(scene.materials.size());
  result.counts.vertices = int(scene.vertices.size());
  result.counts.meshes = int(scene.meshes.size());
  result.counts.bones = int(scene.bones.size());
  result.counts.animations = int(scene.animations.size());
  // Every file attached was read whole and fits the skeleton, so each one gives an animation;
  // one that did not reach the import must not pass unnoticed.
  if (picked.files.size() != scene.animations.size()) {
    result.error =
        "the import built " + std::to_string(scene.animations.size()) + " of the " +
        std::to_string(picked.files.size()) +
        " animation files attached: the import dialog's file picker did not take them all, or a "
        "file changed after it was read";
    return result;
  }
  std::error_code made;
  std::filesystem::create_directories(model.output.parent_path(), made);
  if (made) {
    result.error = PathText(model.output.parent_path()) + ": " + made.message();
    return result;
  }
  ExportOptions exportOptions;
  exportOptions.externalImages = settings.externalImages;
  const ExportResult exported = ExportGltf(scene, model.output, exportOptions, HostImageCodec());
  result.warnings = exported.warnings;
  result.converted = exported.written;
  if (!exported.written) result.error = exported.error;
  return result;
}

int RunModelWorker(const Parsed& parsed) {
  if (!EndWithParent(parsed.parent)) return kNotFinished;
  KeepFreedMemory();
  // The library stays loaded from one model to the next, as in a host: its reader empties the
  // store first, and the session sets back the choices its dialog kept. After a model that
  // failed it is loaded afresh, so that whatever that import left behind never meets the next.
  ImportSession session;
  for (std::string line; std::getline(std::cin, line);) {
    const std::optional<ModelRequest> request = ParseModelRequest(line);
    if (!request) return kNotFinished;
    InjectTestFault(request->model);
    const ModelResult result = ConvertModel(parsed.settings, *request, session);
    if (!result.converted) session.UnloadLibrary();
    Send(ResultMessage(result));
  }
  return 0;
}

int RunAnimationWorker(const Parsed& parsed) {
  if (!EndWithParent(parsed.parent)) return kNotFinished;
  host::PluginLibrary library;
  NameExports names;
  std::string error;
  const std::string libraryText = PathText(parsed.settings.library);
  if (!library.Load(libraryText)) {
    std::cerr << libraryText << ": " << library.LoadError() << "\n";
    return kNotFinished;
  }
  if (!names.Find(library.Instance(), &error)) {
    std::cerr << libraryText << ": " << error << "\n";
    return kNotFinished;
  }
  // The library stays loaded: reading an animation file touches none of its import's state.
  for (std::string line; std::getline(std::cin, line);) {
    const std::optional<std::filesystem::path> file = ParseFileRequest(line);
    if (!file) return kNotFinished;
    InjectTestFault(*file);
    Send(TrackNamesMessage(names.AnimationTrackNames(WidePath(*file))));
  }
  return 0;
}

}  // namespace

std::vector<std::string> ModelWorkerArguments(const ModelWorkerSettings& settings) {
  std::vector<std::string> arguments{kModelMode, "--parent", std::to_string(ThisProcessNumber()),
                                     "--plugin", PathText(settings.library)};
  if (settings.textureDirectory) {
    arguments.push_back("--textures");
    arguments.push_back(PathText(*settings.textureDirectory));
  }
  if (settings.noSwap) arguments.push_back("--no-swap");
  if (settings.groups) arguments.push_back("--groups");
  if (settings.alphaMaps) arguments.push_back("--alpha");
  if (settings.externalImages) arguments.push_back("--external-images");
  if (settings.pickAnimations) arguments.push_back("--pick-animations");
  return arguments;
}

std::vector<std::string> AnimationWorkerArguments(const std::filesystem::path& library) {
  return {kAnimationMode, "--parent", std::to_string(ThisProcessNumber()), "--plugin",
          PathText(library)};
}

std::optional<int> RunWorkerIfAsked(int argc, const char* const* argv) {
  const std::optional<Parsed> parsed = Parse(argc, argv);
  if (!parsed) return std::nullopt;
  PrepareWorkerProcess();
  return parsed->mode == kModelMode ? RunModelWorker(*parsed) : RunAnimationWorker(*parsed);
}

}  // namespace vexmara::cli::batch

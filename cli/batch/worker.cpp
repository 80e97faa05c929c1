#include "cli/batch/worker.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string_view>
#include <thread>

#include "cli/batch/processes.h"
#include "cli/convert/conversion.h"
#include "cli/files/output_files.h"
#include "cli/files/system_files.h"
#include "cli/text/path_text.h"
#include "host/plugin_library.h"

namespace vexmara::cli::batch {
namespace {

constexpr char kModelMode[] = "--batch-model-worker";
constexpr char kAnimationMode[] = "--batch-animation-worker";
constexpr int kNotFinished = 1;

[[noreturn]] void Hang() {
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

// Hangs or crashes here when the test hook says so for this file; true when it asks for a hang
// in the middle of writing the file's output.
bool InjectTestFault(const std::filesystem::path& file) {
  const char* fault = std::getenv(kTestFaultVariable);
  if (fault == nullptr) return false;
  const std::string_view text(fault);
  const std::string name = PathText(file.filename());
  if (text == "hang:" + name) Hang();
  if (text == "crash:" + name) CrashThisProcess();
  return text == "hang-writing:" + name;
}

// The disk's files, whole or not at all, that hang at the first write: the temporary file of
// the first file begun is then on the disk, in its folder made as the conversion makes it.
class HangingFiles final : public FileSink {
 public:
  bool Begin(const std::filesystem::path& path) override {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    return files_.Begin(path);
  }
  bool Write(const void*, size_t) override { Hang(); }
  FileResult Failure() const override { return files_.Failure(); }

 private:
  OutputFiles files_;
};

void Send(const std::string& message) { std::cout << message << '\n' << std::flush; }

// The worker's command line: the mode, the batch's process number and the settings.
struct Parsed {
  std::string mode;
  long parent = -1;
  ModelWorkerSettings settings;
  bool valid = true;  // the settings could be read
};

std::optional<Parsed> Parse(int argc, const char* const* argv) {
  if (argc < 2 ||
      (std::strcmp(argv[1], kModelMode) != 0 && std::strcmp(argv[1], kAnimationMode) != 0)) {
    return std::nullopt;
  }
  Parsed parsed;
  parsed.mode = argv[1];
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    if (option == "--parent") {
      parsed.parent = std::strtol(argv[i + 1], nullptr, 10);
    } else if (option == "--settings") {
      const std::optional<ModelWorkerSettings> settings = ParseSettings(argv[i + 1]);
      parsed.valid = settings.has_value();
      if (settings) parsed.settings = *settings;
    }
  }
  return parsed;
}

// The batch's answer to the model's bones: the animation files to import with it.
AnimationPick AskForAnimations(const std::vector<std::string>& bones) {
  Send(BonesMessage(bones));
  AnimationPick pick;
  std::string reply;
  std::optional<std::vector<std::filesystem::path>> files;
  if (std::getline(std::cin, reply)) files = ParseAnimationsMessage(reply);
  if (!files) {
    pick.problem = "no animation files came from the batch";
  } else {
    pick.files = std::move(*files);
  }
  return pick;
}

ModelResult ConvertModel(const ModelWorkerSettings& settings, const ModelRequest& model,
                         bool hangWriting, Converter& converter) {
  HangingFiles hanging;
  ConvertRequest request;
  if (hangWriting) request.sink = &hanging;
  request.settings = settings.settings;
  request.model = model.model;
  request.output = model.output;
  if (settings.pickAnimations) {
    request.pickAnimations = [](const std::vector<std::string>& bones, const LibraryExports&) {
      return AskForAnimations(bones);
    };
  }
  return ModelResultOf(converter.Convert(request));
}

int RunModelWorker(const Parsed& parsed) {
  if (!EndWithParent(parsed.parent)) return kNotFinished;
  KeepFreedMemory();
  // After a model that failed the library is loaded afresh, so that whatever that import left
  // behind never meets the next.
  Converter converter;
  for (std::string line; std::getline(std::cin, line);) {
    const std::optional<ModelRequest> request = ParseModelRequest(line);
    if (!request) return kNotFinished;
    const bool hangWriting = InjectTestFault(request->model);
    const ModelResult result = ConvertModel(parsed.settings, *request, hangWriting, converter);
    if (!result.ok()) converter.UnloadLibrary();
    Send(ResultMessage(result));
  }
  return 0;
}

int RunAnimationWorker(const Parsed& parsed) {
  if (!EndWithParent(parsed.parent)) return kNotFinished;
  host::PluginLibrary library;
  LibraryExports exports;
  const std::string libraryText = PathText(parsed.settings.settings.library);
  if (const host::PluginLibrary::LoadResult loaded = library.Load(libraryText); !loaded.ok()) {
    std::cerr << libraryText << ": " << loaded.message << "\n";
    return kNotFinished;
  }
  if (const auto found = exports.Find(library.Instance()); !found.ok()) {
    std::cerr << libraryText << ": " << found.message << "\n";
    return kNotFinished;
  }
  // The library stays loaded: reading an animation file touches none of its import's state.
  for (std::string line; std::getline(std::cin, line);) {
    const std::optional<std::filesystem::path> file = ParseFileRequest(line);
    if (!file) return kNotFinished;
    InjectTestFault(*file);
    Send(TrackNamesMessage(exports.AnimationTrackNames(WidePath(*file))));
  }
  return 0;
}

}  // namespace

std::vector<std::string> ModelWorkerArguments(const ModelWorkerSettings& settings) {
  return {kModelMode, "--parent", std::to_string(system_files::ProcessNumber()), "--settings",
          SettingsArgument(settings)};
}

std::vector<std::string> AnimationWorkerArguments(const std::filesystem::path& library) {
  ModelWorkerSettings settings;
  settings.settings.library = library;
  return {kAnimationMode, "--parent", std::to_string(system_files::ProcessNumber()), "--settings",
          SettingsArgument(settings)};
}

std::optional<int> RunWorkerIfAsked(int argc, const char* const* argv) {
  const std::optional<Parsed> parsed = Parse(argc, argv);
  if (!parsed) return std::nullopt;
  if (!parsed->valid) return kNotFinished;
  PrepareWorkerProcess();
  return parsed->mode == kModelMode ? RunModelWorker(*parsed) : RunAnimationWorker(*parsed);
}

}  // namespace vexmara::cli::batch

// The hidden modes in which vexmara-import runs as a worker of a folder batch: one that converts
// models, and one that reads the track names of animation files, each one file at a time as the
// batch asks for it (protocol.h), through its standard input and output. A model worker keeps
// the plug-in library loaded from one model to the next, as a host does, and sets back the
// choices its dialog keeps before each one, so that every import starts as in a freshly loaded
// plug-in; after a model that failed it loads the library afresh. A crash or a hang costs the
// batch the file being done. Workers live for many files because a fresh process costs more
// than the work: here the pages of a model's import faulted in anew took longer than the import
// itself, and unloading the library for every model cost two workers a tenth of their time.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vexmara::cli::batch {

// What a model worker is told.
struct ModelWorkerSettings {
  std::filesystem::path library;
  std::optional<std::filesystem::path> textureDirectory;
  bool noSwap = false;
  bool groups = false;
  bool alphaMaps = false;
  bool externalImages = false;
  bool pickAnimations =
      false;  // ask the batch for animation files once the model's bones are known
};

// The arguments (after the program) that start a worker.
std::vector<std::string> ModelWorkerArguments(const ModelWorkerSettings& settings);
std::vector<std::string> AnimationWorkerArguments(const std::filesystem::path& library);

// Runs the worker that the arguments ask for and gives its exit code; nothing when they ask for
// none. A worker reports every outcome of its files in its messages and exits with 0 at the end
// of its input; any other ending means it did not finish.
std::optional<int> RunWorkerIfAsked(int argc, const char* const* argv);

// A test-only hook: VEXMARA_TEST_WORKER_FAULT=hang:NAME or crash:NAME makes a worker hang, or
// crash, when it comes to a file of that name.
inline constexpr char kTestFaultVariable[] = "VEXMARA_TEST_WORKER_FAULT";

}  // namespace vexmara::cli::batch

// The hidden modes in which vexmara-import runs as a worker of a folder batch, one process per
// model (so that every import starts from a freshly loaded plug-in, and a crash or a hang costs
// that model alone) or per run of animation files. Workers talk to the batch through their
// standard input and output (protocol.h).
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
  bool pickAnimations = false;  // ask the batch for animation files once the model's bones are known
};

// The arguments (after the program) that start a worker.
std::vector<std::string> ModelWorkerArguments(const ModelWorkerSettings& settings, const std::filesystem::path& model,
                                              const std::filesystem::path& output);
std::vector<std::string> AnimationWorkerArguments(const std::filesystem::path& library,
                                                  const std::vector<std::filesystem::path>& files);

// Runs the worker that the arguments ask for and gives its exit code; nothing when they ask for
// none. A worker reports every outcome of its files in its messages and exits with 0; any other
// ending means it did not finish.
std::optional<int> RunWorkerIfAsked(int argc, const char* const* argv);

// A test-only hook: VEXMARA_TEST_WORKER_FAULT=hang:NAME or crash:NAME makes a worker hang, or
// crash, when it comes to a file of that name.
inline constexpr char kTestFaultVariable[] = "VEXMARA_TEST_WORKER_FAULT";

}  // namespace vexmara::cli::batch

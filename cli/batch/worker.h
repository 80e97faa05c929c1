// The hidden modes in which vexmara-import runs as a worker of a folder batch: one that converts
// models, and one that reads the track names of animation files, each one file at a time as the
// batch asks for it (protocol.h), through its standard input and output. A crash or a hang costs
// the batch the file being done. A model worker converts one model after another through one
// Converter, which keeps the plug-in library loaded; after a model that failed it loads the
// library afresh. (Why workers live for many files: README, Performance.)
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch/protocol.h"

namespace vexmara::cli::batch {

// The arguments (after the program) that start a worker.
std::vector<std::string> ModelWorkerArguments(const ModelWorkerSettings& settings);
std::vector<std::string> AnimationWorkerArguments(const std::filesystem::path& library);

// Runs the worker that the arguments ask for and gives its exit code; nothing when they ask for
// none. A worker reports every outcome of its files in its messages and exits with 0 at the end
// of its input; any other ending means it did not finish.
std::optional<int> RunWorkerIfAsked(int argc, const char* const* argv);

// A test-only hook: VEXMARA_TEST_WORKER_FAULT=hang:NAME or crash:NAME makes a worker hang, or
// crash, when it comes to a file of that name; hang-writing:NAME makes it hang once it has begun
// writing that model's output.
inline constexpr char kTestFaultVariable[] = "VEXMARA_TEST_WORKER_FAULT";

}  // namespace vexmara::cli::batch

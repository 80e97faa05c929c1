// What a batch knows of its files while it runs and when it is done: the record the progress
// lines, the summary and the report are made from.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cli/batch/batch.h"
#include "cli/batch/protocol.h"
#include "cli/convert/animation_match.h"
#include "cli/files/folder_walk.h"

namespace vexmara::cli::batch {

enum class ModelStatus { Pending, Converted, Failed };

struct ModelTask {
  std::filesystem::path input;                    // absolute
  std::filesystem::path output;                   // absolute
  std::filesystem::path shownInput, shownOutput;  // as the user's paths name them
  ModelStatus status = ModelStatus::Pending;
  std::string error;           // why it failed
  ModelResult result;          // what its worker said of it
  ModelAnimations animations;  // attached and closest left out, once the worker said its bones
  double seconds = 0;
  std::string workerOutput;  // the end of a worker's standard error, when it did not finish
};

struct BatchRun {
  BatchOptions options;  // as the user gave them
  int jobs = 1;
  std::vector<ModelTask> models;
  AnimationCatalogue animations;
  std::vector<FolderFailure> folderFailures;
  double seconds = 0;

  int Count(ModelStatus status) const;
};

}  // namespace vexmara::cli::batch

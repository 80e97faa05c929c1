// The batch's report (--report FILE.json), in the spirit of gltfpack -r: per model its status,
// the plug-in's error text, the warnings, the counts, the animation files attached and the
// closest ones left out with their coverage, and the time taken; then every animation file
// with what its read gave, and the folders that could not be listed.
#pragma once

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/batch/batch_state.h"

namespace vexmara::cli::batch {

nlohmann::json ReportJson(const BatchRun& run);

// One model's entry of a report, whose coverage entries name the animation files of `files`.
nlohmann::json ModelJson(const ModelTask& model, const std::vector<AnimationFile>& files);
// What the read of each animation file gave.
nlohmann::json AnimationFilesJson(const std::vector<AnimationFile>& files);

}  // namespace vexmara::cli::batch

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

// Writes the report's text: the one place where the batch writes a file of its own. False,
// with the reason, when it could not be written whole.
bool WriteReportFile(const std::filesystem::path& path, const std::string& text,
                     std::string* reason);

}  // namespace vexmara::cli::batch

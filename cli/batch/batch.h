// vexmara-import over whole folders: every model (.app) below the input folders converted to
// glTF in the output folder, keeping the relative paths, with the animation files whose tracks
// fit its bones, by worker processes that run in parallel; progress while it runs, a summary
// and a JSON report at the end.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <vector>

#include "cli/batch/protocol.h"
#include "cli/text/messages.h"

namespace vexmara::cli::batch {

struct BatchOptions {
  std::vector<std::filesystem::path> inputs;            // folders, as the user named them
  std::filesystem::path output;                         // the folder everything is written into
  bool gltf = false;                                    // .gltf with .bin beside it instead of .glb
  std::vector<std::filesystem::path> animationFolders;  // --anims DIR: for every model
  bool animationsBesideModels = false;                  // --anims auto: the model's own folder tree
  int jobs = 0;                                         // 0: one per processor
  double timeoutSeconds = 60;
  std::optional<std::filesystem::path> report;
  // The library, the dialog's choices and the export's options, the same for every model.
  ConvertSettings settings;
};

// Success when every model converted; Failed when any failed (or the batch could not start).
ExitCode RunBatch(const BatchOptions& options, std::ostream& out, std::ostream& err);

}  // namespace vexmara::cli::batch

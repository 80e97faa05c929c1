// vexmara-import over whole folders: every model (.app) below the input folders converted to
// glTF in the output folder, keeping the relative paths, with the animation files whose tracks
// fit its bones, by worker processes that run in parallel; progress while it runs, a summary
// and a JSON report at the end.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <vector>

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
  std::filesystem::path library;
  std::optional<std::filesystem::path> textureDirectory;
  bool noSwap = false;
  bool groups = false;
  bool alphaMaps = false;
  bool externalImages = false;  // a .glb's images as PNG files beside it
};

// Exit codes: 0 every model converted, 1 any failed (or the batch could not start), 2 usage.
int RunBatch(const BatchOptions& options, std::ostream& out, std::ostream& err);

}  // namespace vexmara::cli::batch

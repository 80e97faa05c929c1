// The command line of vexmara-import.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <vector>

#include "cli/batch/batch.h"
#include "cli/convert/conversion.h"
#include "cli/text/messages.h"

namespace vexmara::cli {

// One model, as the command line asks for it; paths as given, relative to the caller's folder.
struct ModelCommand {
  ConvertSettings settings;
  std::filesystem::path model;
  std::vector<std::filesystem::path> animations;        // --anim, in order
  std::vector<std::filesystem::path> animationFolders;  // --anims DIR: the files that fit below
  bool animationsBesideModel = false;                   // --anims auto: below the model's folder
  std::optional<std::filesystem::path> output;          // .glb or .gltf
  std::optional<std::filesystem::path> json;            // the host's scene document
  std::optional<std::filesystem::path> report;          // what became of the model, as JSON
};

struct CommandLine {
  std::optional<ModelCommand> model;         // one model...
  std::optional<batch::BatchOptions> batch;  // ...or folders
};

struct ParsedCommandLine {
  std::optional<CommandLine> line;  // empty: stop with exitCode
  ExitCode exitCode = ExitCode::Usage;
};

// Parses the arguments. "--help" prints the usage to `out` and gives exit code 0 and no line; a
// usage error prints what is wrong to `err` and gives exit code 2. `defaultLibrary` is the plug-in
// library used without "--plugin".
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv,
                                   const std::filesystem::path& defaultLibrary, std::ostream& out,
                                   std::ostream& err);

}  // namespace vexmara::cli

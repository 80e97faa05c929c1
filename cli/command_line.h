// The command line of vexmara-import.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>

#include "cli/batch/batch.h"
#include "cli/import_session.h"

namespace vexmara::cli {

struct CommandLine {
  ImportRequest request;                        // paths as given, relative to the caller's folder
  std::optional<std::filesystem::path> output;  // .glb or .gltf
  bool externalImages = false;                  // a .glb's images beside it
  std::optional<std::filesystem::path> json;    // the host's scene document
  // Folders as input: the batch to run instead of the one import above.
  std::optional<batch::BatchOptions> batch;
};

// Exit codes of the importer.
inline constexpr int kExitBuilt = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct ParsedCommandLine {
  std::optional<CommandLine> line;  // empty: stop with exitCode
  int exitCode = kExitUsage;
};

// Parses the arguments. "--help" prints the usage to `out` and gives exit code 0 and no line; a
// usage error prints what is wrong to `err` and gives exit code 2. `defaultLibrary` is the plug-in
// library used without "--plugin".
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv,
                                   const std::filesystem::path& defaultLibrary, std::ostream& out,
                                   std::ostream& err);

}  // namespace vexmara::cli

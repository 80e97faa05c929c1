// The importer program: one import from a parsed command line, what the dialog showed, the
// outcome, and the files asked for.
#pragma once

#include <filesystem>
#include <iosfwd>

#include "cli/command_line.h"
#include "cli/gltf_file.h"

namespace vexmara::cli {

// The codec of the reference host: DDS, TGA, BMP and PNG files decoded, PNG files encoded.
ImageCodec HostImageCodec();

// Runs the import and prints the dialog's texts and the outcome line to `out`, warnings and
// errors to `err`. Gives the exit code.
int RunImporter(const CommandLine& line, std::ostream& out, std::ostream& err);

// The plug-in library beside the running program.
std::filesystem::path LibraryBesideProgram();

}  // namespace vexmara::cli

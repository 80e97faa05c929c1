// The single-file command: one conversion, what the import dialog showed, the outcome line, and
// the files asked for.
#pragma once

#include <filesystem>
#include <iosfwd>

#include "cli/command_line.h"
#include "cli/text/messages.h"

namespace vexmara::cli {

// Converts the model and prints the dialog's texts and the outcome line to `out`, warnings and
// errors to `err`.
ExitCode RunModelCommand(const ModelCommand& command, std::ostream& out, std::ostream& err);

// The plug-in library beside the running program.
std::filesystem::path LibraryBesideProgram();

}  // namespace vexmara::cli

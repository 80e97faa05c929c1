// vexmara-import: imports a model through the plug-in library as a host does and writes glTF.
#include <iostream>

#include "cli/command_line.h"
#include "cli/importer.h"

int main(int argc, char** argv) {
  const vexmara::cli::ParsedCommandLine parsed =
      vexmara::cli::ParseCommandLine(argc, argv, vexmara::cli::LibraryBesideProgram(), std::cout, std::cerr);
  if (!parsed.line) return parsed.exitCode;
  return vexmara::cli::RunImporter(*parsed.line, std::cout, std::cerr);
}

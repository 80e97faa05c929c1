// vexmara-import: imports a model through the plug-in library as a host does and writes glTF;
// given folders, converts every model below them through worker processes, which are this
// program started again in a hidden mode.
#include <iostream>

#include "cli/batch/batch.h"
#include "cli/batch/worker.h"
#include "cli/command_line.h"
#include "cli/importer.h"

int main(int argc, char** argv) {
  if (const std::optional<int> worker = vexmara::cli::batch::RunWorkerIfAsked(argc, argv)) return *worker;
  const vexmara::cli::ParsedCommandLine parsed =
      vexmara::cli::ParseCommandLine(argc, argv, vexmara::cli::LibraryBesideProgram(), std::cout, std::cerr);
  if (!parsed.line) return parsed.exitCode;
  if (parsed.line->batch) return vexmara::cli::batch::RunBatch(*parsed.line->batch, std::cout, std::cerr);
  return vexmara::cli::RunImporter(*parsed.line, std::cout, std::cerr);
}

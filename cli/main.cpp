// vexmara-import: imports a model through the plug-in library as a host does and writes glTF;
// given folders, converts every model below them through worker processes, which are this
// program started again in a hidden mode. The program works in UTF-8 throughout: on Windows its
// arguments arrive as UTF-16 and are converted once here, and its messages are converted back
// for the console.
#include <iostream>
#include <string>
#include <vector>

#include "cli/batch/batch.h"
#include "cli/batch/worker.h"
#include "cli/command_line.h"
#include "cli/model_command.h"
#if defined(_WIN32)
#include "cli/text/console_text.h"
#include "cli/text/win32_text.h"
#endif

namespace {

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  using namespace vexmara::cli;
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv, LibraryBesideProgram(), out, err);
  if (!parsed.line) return int(parsed.exitCode);
  if (parsed.line->batch) return int(batch::RunBatch(*parsed.line->batch, out, err));
  return int(RunModelCommand(*parsed.line->model, out, err));
}

}  // namespace

#if defined(_WIN32)

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(vexmara::cli::win32::Utf8(argv[i]));
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  pointers.push_back(nullptr);
  // A worker speaks to its batch in bytes, as they are.
  if (const std::optional<int> worker =
          vexmara::cli::batch::RunWorkerIfAsked(argc, pointers.data()))
    return *worker;
  vexmara::cli::ConsoleText outText(vexmara::cli::ConsoleText::Stream::Output);
  vexmara::cli::ConsoleText errText(vexmara::cli::ConsoleText::Stream::Error);
  std::ostream out(&outText);
  std::ostream err(&errText);
  return Run(argc, pointers.data(), out, err);
}

#else

int main(int argc, char** argv) {
  if (const std::optional<int> worker = vexmara::cli::batch::RunWorkerIfAsked(argc, argv))
    return *worker;
  return Run(argc, argv, std::cout, std::cerr);
}

#endif

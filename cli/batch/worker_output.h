// What a worker writes, gathered alike on every system: its standard output cut into lines, and
// the last bytes of its standard error. Used by both implementations of WorkerProcesses.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/batch/processes.h"

namespace vexmara::cli::batch {

class WorkerOutput {
 public:
  // The last bytes of standard error that are kept.
  static constexpr std::size_t kErrorTailBytes = 4096;

  // Bytes of worker `worker`'s standard output: each line they complete becomes a Line event. True
  // the first time the line being gathered grows beyond WorkerProcesses::kLongestLine: the worker
  // is then to be ended, and what it writes from there on is dropped.
  bool AddOutput(int worker, const char* bytes, std::size_t size,
                 std::vector<ProcessEvent>& events);
  void AddError(const char* bytes, std::size_t size);
  // Its end: the line it did not finish, if any, then the Ended event with the end of its error.
  void End(int worker, const ProcessEnd& end, std::vector<ProcessEvent>& events);

 private:
  std::string partialLine_;
  std::string errorTail_;
  bool overlong_ = false;
};

}  // namespace vexmara::cli::batch

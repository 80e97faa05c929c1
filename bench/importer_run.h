// vexmara-import run as a process of its own, as a user runs it, with what the system measured of
// it: its CPU time, its wall time and its peak resident memory.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vexmara::bench {

struct ImporterRun {
  bool ok = false;             // it exited with 0
  double cpuMilliseconds = 0;  // user and system time of the child
  double wallSeconds = 0;
  double peakMebibytes = 0;  // its peak resident set
};

// vexmara-import MODEL|FOLDER ARGUMENTS... --plugin LIBRARY, with its output silenced.
ImporterRun RunImporter(const std::filesystem::path& model,
                        const std::vector<std::string>& arguments);

}  // namespace vexmara::bench

// A program run as a process of its own, with its output silenced: its wall time, and its CPU
// time as the kernel counts it for the child.
#pragma once

#include <string>
#include <vector>

namespace vexmara::bench {

struct ChildRun {
  int exitCode = -1;  // -1: it did not exit normally
  double cpuMilliseconds = 0;
  double wallSeconds = 0;
};

// Runs `arguments[0]` with `arguments` as its argv.
ChildRun RunChild(const std::vector<std::string>& arguments);

}  // namespace vexmara::bench

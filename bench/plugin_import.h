// Whole imports through the plug-in library as the host loads it: a fresh reference host per
// import, the headless dialog answered by a script, then the read and import messages.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vexmara::bench {

struct ImportRequest {
  std::u16string modelPath;
  std::vector<std::u16string> animationFiles;
  bool swapModel = true;
};

// What one import built, for checks that the benchmark measured a real import.
struct ImportOutcome {
  int32_t readResult = 0;
  int32_t importResult = 0;
  int vertices = 0;
  int bones = 0;
  int animations = 0;
  int materials = 0;
};

// Runs the benchmark's iterations, each one whole import of `request`. The host is made and
// registered, and torn down afterwards, outside the measured time. Reports an error (and stops)
// when the library cannot be loaded or an import does not build.
ImportOutcome RunImports(benchmark::State& state, const ImportRequest& request);

}  // namespace vexmara::bench

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

// The record arrays the reference host holds once `request` has been imported, by their sizes
// in bytes: the vertex array, the table of the vertices' weight records and those records with
// their entries, the bones, and per mesh its faces, their vertex indices, their mappings and
// their texture-coordinate corners. Counted from what the import built, as the host lays it out
// (host/records.h). `error` says why there are none.
struct HostRecordBlocks {
  std::vector<uint64_t> sizes;
  uint64_t totalBytes = 0;
  std::string error;
};
HostRecordBlocks MeasureHostRecords(const ImportRequest& request);

}  // namespace vexmara::bench

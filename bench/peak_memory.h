// Peak memory of one model read, measured as the growth of the resident set in a process that
// does nothing else: the benchmark starts its own executable again with kPeakReadOption and a
// model path, and the child reports the high-water mark of its resident set over the level it
// had just before the read, the bytes its model store then holds, and how long the read took:
// the first read of a process, on pages that no earlier read has touched.
#pragma once

#include <cstdint>
#include <filesystem>

namespace vexmara::bench {

inline constexpr char kPeakReadOption[] = "--vexmara-peak-read";

struct ResidentSet {
  uint64_t currentBytes = 0;  // VmRSS
  uint64_t peakBytes = 0;     // VmHWM
};

// The resident set of this process now, and its high-water mark.
ResidentSet ReadResidentSet();
// Resets the high-water mark to the current resident set and returns the new levels.
ResidentSet StartPeakWindow();

struct PeakMemory {
  bool ok = false;
  uint64_t peakBytes = 0;
  uint64_t storeBytes = 0;
  uint64_t readNanoseconds = 0;
};

// Runs the read of `model` in a child process and collects what it reports.
PeakMemory MeasureReadPeakInChild(const std::filesystem::path& model);

// The child's work: reads the model, prints "<peak growth> <store bytes> <read nanoseconds>".
// Exit status 0 on success.
int ReadModelAndReportPeak(const char* path);

}  // namespace vexmara::bench

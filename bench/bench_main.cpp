// The benchmark suite's entry: Google Benchmark's own, except when the executable is started
// again to measure one model read's peak memory in a process of its own.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "bench/peak_memory.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], vexmara::bench::kPeakReadOption) == 0) {
    return vexmara::bench::ReadModelAndReportPeak(argv[2]);
  }
  // Memory a benchmark frees stays with the process and is reused by the next iteration, at
  // every size alike, as in a host application that has imported before. Left to itself glibc
  // keeps blocks below 32 MiB but hands larger ones back to the system at once, so that only the
  // largest inputs would pay for first-touching every page again in each iteration (on a
  // virtual machine whose page faults are dear, many times the work itself). The cost of fresh
  // pages is measured apart, by the first read in a process of its own (BM_ModelReadPeakMemory).
  // VEXMARA_BENCH_FRESH_PAGES=1 keeps glibc's own policy.
  const char* fresh = std::getenv("VEXMARA_BENCH_FRESH_PAGES");
  if (fresh == nullptr || std::strcmp(fresh, "1") != 0) {
    mallopt(M_MMAP_MAX, 0);  // every block from the heap, which is not trimmed
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_TOP_PAD, 64 << 20);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

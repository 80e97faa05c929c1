// The model read with its post-processing, beside the two limits it is measured against: a
// memcpy of the same bytes (the machine's memory bandwidth) and a plain read of the same file
// (the system's file read into a fresh buffer, nothing parsed). All three report bytes per
// second over the file's size. The peak memory of one read is measured in a fresh process.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "abi/host_interface.h"
#include "abi/text.h"
#include "bench/inputs.h"
#include "bench/limits.h"
#include "bench/peak_memory.h"
#include "bench/store_size.h"
#include "plugin/read_model_file.h"

namespace vexmara::bench {
namespace {

const InputFile& ModelFor(const benchmark::State& state) {
  const auto vertices = int32_t(state.range(0));
  return SampleModelFile(vertices, BonesForVertices(vertices));
}

void BM_MemcpyModelBytes(benchmark::State& state) {
  CopyFilesEachIteration(state, {&ModelFor(state)});
}

// What any reader of the whole file pays at least (ReadFileOnce).
void BM_PlainFileRead(benchmark::State& state) {
  const InputFile& file = ModelFor(state);
  for (auto _ : state) {
    if (!ReadFileOnce(file)) {
      state.SkipWithError("short read");
      break;
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.bytes));
}

// A zeroed host context whose file info names `file`, as the read message hands it over.
std::unique_ptr<HostContext> ContextFor(const InputFile& file) {
  auto context = std::make_unique<HostContext>();
  std::memset(static_cast<void*>(context.get()), 0, sizeof(HostContext));
  WideCopy(context->fileInfo.path.wide, kPathUnits, file.widePath.c_str());
  return context;
}

// ReadModelFile as the read message runs it, once per iteration: the whole-file read, the parse
// and the post-processing. After each read, outside the measured time, `inspect` looks at the
// store (an error text ends the benchmark) and the store is emptied.
template <typename Inspect>
void ReadEachIteration(benchmark::State& state, const InputFile& file, Inspect inspect) {
  auto context = ContextFor(file);
  ModelStore store;
  ReadCursor cursor;
  for (auto _ : state) {
    if (!ReadModelFile(context.get(), store, cursor)) {
      state.SkipWithError("the model was not read");
      break;
    }
    state.PauseTiming();
    if (const char* error = inspect(store)) {
      state.SkipWithError(error);
      break;
    }
    store.Clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.bytes));
}

void BM_ModelRead(benchmark::State& state) {
  const InputFile& file = ModelFor(state);
  ReadEachIteration(state, file, [&](const ModelStore& store) -> const char* {
    state.counters["store_bytes"] = double(StoreBytes(store));
    state.counters["vertices"] = store.vertexTotal;
    state.counters["triangles"] = store.triangleTotal;
    state.counters["bones"] = store.boneTotal;
    return nullptr;
  });
  state.counters["file_bytes"] = double(file.bytes);
}

// A model of many materials and as many small submeshes: every submesh looks up its material
// by name.
void BM_ModelReadManyMaterials(benchmark::State& state) {
  const auto materials = int32_t(state.range(0));
  ReadEachIteration(state, ManyMaterialsModelFile(materials),
                    [&](const ModelStore& store) -> const char* {
                      const List<Submesh>& submeshes = store.geosets[(materials - 1) % 2].submeshes;
                      return submeshes[submeshes.count - 1].materialIndex == materials - 1
                                 ? nullptr
                                 : "a submesh did not find its material";
                    });
}

// Its limit: a memcpy of the same files' bytes.
void BM_MemcpyManyMaterialsBytes(benchmark::State& state) {
  CopyFilesEachIteration(state, {&ManyMaterialsModelFile(int32_t(state.range(0)))});
}

void MaterialCounts(benchmark::internal::Benchmark* b) {
  b->ArgName("materials")->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ModelReadManyMaterials)->Apply(MaterialCounts);
BENCHMARK(BM_MemcpyManyMaterialsBytes)->Apply(MaterialCounts);

// One read in a process of its own, so that nothing freed earlier in this run can hide the
// read's own pages: the growth of the resident set's high-water mark over its level before.
void BM_ModelReadPeakMemory(benchmark::State& state) {
  const InputFile& file = ModelFor(state);
  PeakMemory peak;
  for (auto _ : state) {
    peak = MeasureReadPeakInChild(file.path);
    if (!peak.ok) {
      state.SkipWithError("the measuring process failed");
      break;
    }
  }
  state.counters["peak_bytes"] = double(peak.peakBytes);
  state.counters["file_bytes"] = double(file.bytes);
  state.counters["store_bytes"] = double(peak.storeBytes);
  // The target: peak <= file + 2 x store, so this is at most 1 when it is met.
  const double limit = double(file.bytes) + 2.0 * double(peak.storeBytes);
  state.counters["peak_over_limit"] = limit > 0 ? double(peak.peakBytes) / limit : 0;
  // The same read's time, on fresh pages: what the first import of a session pays.
  state.counters["fresh_read_ms"] = double(peak.readNanoseconds) / 1e6;
  state.counters["fresh_read_bytes_per_second"] =
      peak.readNanoseconds > 0 ? double(file.bytes) / (double(peak.readNanoseconds) / 1e9) : 0;
}

void ModelSizes(benchmark::internal::Benchmark* b) {
  b->ArgName("vertices")->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_MemcpyModelBytes)->Apply(ModelSizes);
BENCHMARK(BM_PlainFileRead)->Apply(ModelSizes);
BENCHMARK(BM_ModelRead)->Apply(ModelSizes);
BENCHMARK(BM_ModelReadPeakMemory)->Apply(ModelSizes)->Iterations(1);

}  // namespace

// The child's side of BM_ModelReadPeakMemory (see peak_memory.h).
int ReadModelAndReportPeak(const char* path) {
  auto context = std::make_unique<HostContext>();
  std::memset(static_cast<void*>(context.get()), 0, sizeof(HostContext));
  const std::u16string wide = std::filesystem::path(path).u16string();
  WideCopy(context->fileInfo.path.wide, kPathUnits, wide.c_str());
  // Made before the window opens, as the plug-in's own store and cursor exist from its load.
  ModelStore store;
  ReadCursor cursor;
  const ResidentSet before = StartPeakWindow();
  const auto start = std::chrono::steady_clock::now();
  if (!ReadModelFile(context.get(), store, cursor)) return 3;
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now() - start);
  const ResidentSet after = ReadResidentSet();
  std::printf("%llu %llu %llu\n",
              static_cast<unsigned long long>(after.peakBytes - before.currentBytes),
              static_cast<unsigned long long>(StoreBytes(store)),
              static_cast<unsigned long long>(nanoseconds.count()));
  return 0;
}

}  // namespace vexmara::bench

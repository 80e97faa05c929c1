// Whole imports into the reference host through the loaded plug-in library: the read message
// (whole-file read, parse, post-processing), then the import message (the headless dialog with
// its texture scan, the animation files, the scene build and the closing transforms).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/inputs.h"
#include "bench/limits.h"
#include "bench/plugin_import.h"

namespace vexmara::bench {
namespace {

// The model sizes of the read benchmarks, with their 8 materials and textures; "Swap model" on.
void BM_WholeImport(benchmark::State& state) {
  const auto vertices = int32_t(state.range(0));
  const InputFile& model = SampleModelFile(vertices, BonesForVertices(vertices));
  ImportRequest request;
  request.modelPath = model.widePath;
  RunImports(state, request);
  state.counters["file_bytes"] = double(model.bytes);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(model.bytes));
}

// Its limit: what no import into this host can undercut. A read of the whole file into a fresh
// buffer, then every record array the host holds after the import, each allocated afresh and
// written once, with memset. The blocks come from the heap as the host's own do, so they meet the
// same page faults (in this suite freed memory stays with the process, see bench_main.cpp).
void BM_ImportLimit(benchmark::State& state) {
  const auto vertices = int32_t(state.range(0));
  const InputFile& model = SampleModelFile(vertices, BonesForVertices(vertices));
  ImportRequest request;
  request.modelPath = model.widePath;
  const HostRecordBlocks blocks = MeasureHostRecords(request);
  if (!blocks.error.empty()) {
    state.SkipWithError(blocks.error.c_str());
    return;
  }
  std::vector<void*> held(blocks.sizes.size());
  for (auto _ : state) {
    if (!ReadFileOnce(model)) {
      state.SkipWithError("the model file could not be read");
      break;
    }
    for (size_t i = 0; i < held.size(); ++i) {
      held[i] = std::malloc(blocks.sizes[i]);
      if (held[i] != nullptr) std::memset(held[i], 0x5A, blocks.sizes[i]);
    }
    benchmark::ClobberMemory();
    for (void*& block : held) {
      std::free(block);
      block = nullptr;
    }
  }
  state.counters["file_bytes"] = double(model.bytes);
  state.counters["record_bytes"] = double(blocks.totalBytes);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(model.bytes));
}

void WholeImportSizes(benchmark::internal::Benchmark* b) {
  b->ArgName("vertices")->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_WholeImport)->Apply(WholeImportSizes);
BENCHMARK(BM_ImportLimit)->Apply(WholeImportSizes);

// An import of the model inputs[0] that brings the animation files after it.
ImportRequest RequestFor(const std::vector<const InputFile*>& inputs) {
  ImportRequest request;
  request.modelPath = inputs[0]->widePath;
  for (size_t i = 1; i < inputs.size(); ++i) request.animationFiles.push_back(inputs[i]->widePath);
  return request;
}

// The files of one import that brings many animation files: a 10-thousand-vertex model of 100
// bones, then animations of 100 tracks with 30 keys of each kind (a second at 30 frames per
// second).
std::vector<const InputFile*> AnimationImportFiles(int32_t files) {
  std::vector<const InputFile*> inputs{&SampleModelFile(10'000, 100)};
  for (int32_t i = 0; i < files; ++i) inputs.push_back(&SampleAnimationFile(100, 30, i));
  return inputs;
}

void BM_ImportAnimations(benchmark::State& state) {
  const auto files = int32_t(state.range(0));
  const ImportOutcome outcome = RunImports(state, RequestFor(AnimationImportFiles(files)));
  if (outcome.importResult == 1 && outcome.animations != files)
    state.SkipWithError("not every animation was built");
  state.SetItemsProcessed(int64_t(state.iterations()) * files);
}

// Its limit: a memcpy of the bytes of the model and of every animation file.
void BM_MemcpyAnimationImportBytes(benchmark::State& state) {
  CopyFilesEachIteration(state, AnimationImportFiles(int32_t(state.range(0))));
}

void AnimationFileCounts(benchmark::internal::Benchmark* b) {
  b->ArgName("files")->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ImportAnimations)->Apply(AnimationFileCounts);
BENCHMARK(BM_MemcpyAnimationImportBytes)->Apply(AnimationFileCounts);

// The files of a large skeleton's import: the model, and one animation that has a track for
// every bone (10 keys of each kind).
std::vector<const InputFile*> SkeletonImportFiles(int32_t bones) {
  return {&SkeletonModelFile(bones), &SampleAnimationFile(bones, 10)};
}

// The bones, the matching of bones to tracks by name, the key transfer and the bone rebuild of
// the axis swap all grow with the bone count.
void BM_ImportSkeleton(benchmark::State& state) {
  const auto bones = int32_t(state.range(0));
  const ImportOutcome outcome = RunImports(state, RequestFor(SkeletonImportFiles(bones)));
  if (outcome.importResult == 1 && (outcome.bones != bones || outcome.animations != 1)) {
    state.SkipWithError("the skeleton or its animation was not built");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * bones);
}

// Its limit: a memcpy of the bytes of the model and of its animation file.
void BM_MemcpySkeletonImportBytes(benchmark::State& state) {
  CopyFilesEachIteration(state, SkeletonImportFiles(int32_t(state.range(0))));
}

void BoneCounts(benchmark::internal::Benchmark* b) {
  b->ArgName("bones")->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ImportSkeleton)->Apply(BoneCounts);
BENCHMARK(BM_MemcpySkeletonImportBytes)->Apply(BoneCounts);

}  // namespace
}  // namespace vexmara::bench

// The animation read and the key processing: one file read whole, parsed into an Animation, and
// every key given its time from the frame table. Bytes per second over the file's size.
#include <benchmark/benchmark.h>

#include "anim/animation_reader.h"
#include "anim/key_processing.h"
#include "bench/inputs.h"
#include "store/model_store.h"

namespace vexmara::bench {
namespace {

void BM_AnimationRead(benchmark::State& state) {
  const auto tracks = int32_t(state.range(0));
  const auto keys = int32_t(state.range(1));
  const InputFile& file = SampleAnimationFile(tracks, keys);
  ModelStore store;
  for (auto _ : state) {
    ReadCursor cursor;
    if (ReadAnimationFile(file.widePath.c_str(), cursor, store.animations, store.listStorage) !=
        AnimationReadResult::kParsed) {
      state.SkipWithError("the animation was not read");
      break;
    }
    ResolveAnimationTimes(store.animations);
    state.PauseTiming();
    const Animation& animation = store.animations[0];
    if (animation.tracks.count != tracks || animation.tracks[0].rotationKeys.count != keys ||
        !(animation.duration > 0)) {
      state.SkipWithError("the animation read is incomplete");
      break;
    }
    store.Clear();
    state.ResumeTiming();
  }
  state.counters["file_bytes"] = double(file.bytes);
  state.counters["keys"] = 3.0 * tracks * keys;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.bytes));
  state.SetItemsProcessed(int64_t(state.iterations()) * 3 * tracks * keys);
}

// 100 tracks of 100 and of 1,000 keys of each kind (translation, rotation, scale).
BENCHMARK(BM_AnimationRead)
    ->ArgNames({"tracks", "keys"})
    ->Args({100, 100})
    ->Args({100, 1000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexmara::bench

// The texture directory scan: every tex file of a folder opened for its identifier, the
// found-texture list built without repeated names, and every material slot matched by
// identifier. The model's slots are as many as the files, and each finds its file.
#include <benchmark/benchmark.h>

#include "bench/inputs.h"
#include "dialog/texture_files.h"
#include "model/model_reader.h"
#include "model/model_store.h"
#include "model/read_cursor.h"
#include "platform/platform.h"

namespace vexmara::bench {
namespace {

// Reads a model file into `store` with the plug-in's own reader and post-processing.
bool ReadInto(const InputFile& file, ModelStore& store) {
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  if (platform::ReadWholeFile(file.widePath.c_str(), &bytes, &length) != platform::FileReadResult::kOk) return false;
  ReadCursor cursor;
  cursor.Adopt(bytes, length);
  return ParseModel(cursor, store) == ModelParseResult::kOk;
}

int32_t FilledSlots(const ModelStore& store) {
  int32_t filled = 0;
  for (const Material& material : store.materials) {
    for (const TextureRef& slot : material.textureSlots) filled += slot.fileName[0] != 0 ? 1 : 0;
  }
  return filled;
}

void BM_TextureScan(benchmark::State& state) {
  const auto files = int32_t(state.range(0));
  const TextureFolder& folder = SampleTextureFolder(files);
  ModelStore store;
  if (!ReadInto(folder.model, store)) {
    state.SkipWithError("the slot model was not read");
    return;
  }
  for (auto _ : state) {
    if (!ScanTextureDirectory(store, folder.wideDirectory.c_str())) {
      state.SkipWithError("the scan did not run");
      break;
    }
  }
  if (store.textureFiles.count != files || FilledSlots(store) != files) {
    state.SkipWithError("not every file was found or not every slot matched");
  }
  state.counters["slots"] = FilledSlots(store);
  state.SetItemsProcessed(int64_t(state.iterations()) * files);
}

BENCHMARK(BM_TextureScan)->ArgName("files")->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexmara::bench

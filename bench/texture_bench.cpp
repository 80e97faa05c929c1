// The texture directory scan: every tex file of a folder opened for its identifier, the
// found-texture list built without repeated names, and every material slot matched by
// identifier. The model's slots are as many as the files, and each finds its file. Beside it,
// its limit: the bare system calls of the same scan.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "bench/inputs.h"
#include "model/model_reader.h"
#include "model/read_cursor.h"
#include "platform/platform.h"
#include "store/model_store.h"
#include "textures/texture_files.h"

namespace vexmara::bench {
namespace {

// Reads a model file into `store` with the plug-in's own reader and post-processing.
bool ReadInto(const InputFile& file, ModelStore& store) {
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  if (platform::ReadWholeFile(file.widePath.c_str(), &bytes, &length) !=
      platform::FileReadResult::kOk)
    return false;
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
    if (!ScanTextureDirectory(store.textureFiles, store.materials, folder.wideDirectory.c_str())) {
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

// Its limit: the system calls that any scan of the folder makes, and nothing else: the listing,
// then for each tex file an open by its whole path, a status, the 4-byte read of its identifier
// and a close.
void BM_TextureFileSyscalls(benchmark::State& state) {
  const auto files = int32_t(state.range(0));
  const std::string directory = SampleTextureFolder(files).directory.string() + "/";
  int32_t read = 0;
  for (auto _ : state) {
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) break;
    read = 0;
    while (const dirent* entry = readdir(dir)) {
      const size_t length = std::strlen(entry->d_name);
      if (length < 4 || std::strcmp(entry->d_name + length - 4, ".tex") != 0) continue;
      const std::string path = directory + entry->d_name;
      const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
      if (fd < 0) continue;
      struct stat info;
      unsigned char id[4];
      if (fstat(fd, &info) == 0 && pread(fd, id, sizeof id, 16) == ssize_t(sizeof id)) ++read;
      close(fd);
    }
    closedir(dir);
  }
  if (read != files) state.SkipWithError("not every tex file was read");
  state.SetItemsProcessed(int64_t(state.iterations()) * files);
}

void FileCounts(benchmark::internal::Benchmark* b) {
  b->ArgName("files")->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_TextureScan)->Apply(FileCounts);
BENCHMARK(BM_TextureFileSyscalls)->Apply(FileCounts);

}  // namespace
}  // namespace vexmara::bench

#include "bench/limits.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vexmara::bench {

std::vector<uint8_t> FileBytes(const InputFile& file) {
  std::vector<uint8_t> bytes(file.bytes);
  std::FILE* f = std::fopen(file.path.c_str(), "rb");
  const bool whole = f != nullptr && std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f != nullptr) std::fclose(f);
  if (!whole) bytes.clear();
  return bytes;
}

bool ReadFileOnce(const InputFile& file) {
  std::FILE* f = std::fopen(file.path.c_str(), "rb");
  auto* buffer = static_cast<uint8_t*>(std::malloc(file.bytes));
  const size_t got = f != nullptr && buffer != nullptr ? std::fread(buffer, 1, file.bytes, f) : 0;
  if (f != nullptr) std::fclose(f);
  benchmark::DoNotOptimize(buffer);
  std::free(buffer);
  return got == file.bytes;
}

void CopyFilesEachIteration(benchmark::State& state, const std::vector<const InputFile*>& files) {
  std::vector<uint8_t> source;
  for (const InputFile* file : files) {
    const std::vector<uint8_t> bytes = FileBytes(*file);
    if (bytes.size() != file->bytes) {
      state.SkipWithError("an input file could not be read");
      return;
    }
    source.insert(source.end(), bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> target(source.size(),
                              1);  // touched once, so no page is first used in the loop
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size()));
}

}  // namespace vexmara::bench

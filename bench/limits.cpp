#include "bench/limits.h"

#include <cstdio>
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

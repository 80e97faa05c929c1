// Limits: what the machine itself pays for the data behind a benchmark, measured in the same
// run and with the same arguments as the benchmark it stands beside. scripts/bench compares a
// benchmark's growth with its limit's growth: when ten times the data outgrows the caches, a
// copy of its bytes grows by far more than ten times too, and work that grows no faster than
// its limit is linear in its data.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/inputs.h"

namespace vexmara::bench {

// The bytes of a file, or none when it cannot be read whole.
std::vector<uint8_t> FileBytes(const InputFile& file);

// What any reader of the whole file pays at least: open, a buffer of the file's size, one read,
// close. False when the file cannot be read whole.
bool ReadFileOnce(const InputFile& file);

// Copies the bytes of `files`, one after another, into a buffer of their total size in each
// iteration: memory bandwidth over the data a benchmark reads. Bytes per second over the total.
void CopyFilesEachIteration(benchmark::State& state, const std::vector<const InputFile*>& files);

}  // namespace vexmara::bench

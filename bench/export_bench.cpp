// What writing the glTF costs a user of vexmara-import: the program on the largest model with its
// animation files, run once without an output and once with "-o OUT.glb" in every iteration, one
// right after the other, so that both runs meet the same load on the machine. The counters are
// each run's CPU time and peak resident memory, the size of the .glb, and the two ratios that
// scripts/bench judges: the CPU time the output adds over the import-only time, and the peak
// memory it adds over the size of the file written.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/importer_run.h"
#include "bench/inputs.h"

namespace vexmara::bench {
namespace {

// The two runs of `model` with the animation files, without and with "-o OUT.glb", in every
// iteration, and the counters scripts/bench reads.
void ImportBesideExport(benchmark::State& state, const InputFile& model,
                        const std::vector<const InputFile*>& animations, const std::string& name) {
  std::vector<std::string> importOnly;
  for (const InputFile* animation : animations) {
    importOnly.insert(importOnly.end(), {"--anim", animation->path.string()});
  }
  const std::filesystem::path output = InputRoot() / "gltf" / (name + ".glb");
  std::filesystem::create_directories(output.parent_path());
  std::vector<std::string> withOutput = importOnly;
  withOutput.insert(withOutput.end(), {"-o", output.string()});

  ImporterRun plain, exported;
  for (auto _ : state) {
    plain = RunImporter(model.path, importOnly);
    exported = RunImporter(model.path, withOutput);
    if (!plain.ok || !exported.ok || !std::filesystem::exists(output)) {
      state.SkipWithError("vexmara-import failed or did not write the .glb");
      return;
    }
    state.SetIterationTime(exported.wallSeconds);
  }
  const double fileMebibytes = double(std::filesystem::file_size(output)) / (1024.0 * 1024.0);
  state.counters["import_cpu_ms"] = plain.cpuMilliseconds;
  state.counters["export_cpu_ms"] = exported.cpuMilliseconds;
  state.counters["import_peak_mib"] = plain.peakMebibytes;
  state.counters["export_peak_mib"] = exported.peakMebibytes;
  state.counters["glb_mib"] = fileMebibytes;
  state.counters["added_time_over_import"] =
      (exported.cpuMilliseconds - plain.cpuMilliseconds) / plain.cpuMilliseconds;
  state.counters["added_peak_over_glb"] =
      (exported.peakMebibytes - plain.peakMebibytes) / fileMebibytes;
}

// The largest model of the suite, with a track for every bone, 100 keys of each kind.
void BM_GltfExportCost(benchmark::State& state) {
  const auto vertices = int32_t(state.range(0));
  const auto count = int32_t(state.range(1));
  std::vector<const InputFile*> animations;
  for (int32_t i = 0; i < count; ++i) {
    animations.push_back(&SampleAnimationFile(BonesForVertices(vertices), 100, i));
  }
  ImportBesideExport(state, SampleModelFile(vertices, BonesForVertices(vertices)), animations,
                     "cost_v" + std::to_string(vertices));
}

// A model whose export is most of the work a modder asks for: 128 bones in 8 chains, three
// bones weighting each vertex, 8 materials with real textures, and 20 animation files of 128
// tracks of 250 keys of each kind.
void BM_GltfExportShare(benchmark::State& state) {
  const auto vertices = int32_t(state.range(0));
  const auto count = int32_t(state.range(1));
  constexpr int32_t kBones = 128;
  std::vector<const InputFile*> animations;
  for (int32_t i = 0; i < count; ++i) animations.push_back(&SampleAnimationFile(kBones, 250, i));
  ImportBesideExport(state, TexturedModelFile(vertices, kBones, 8, 3), animations,
                     "share_v" + std::to_string(vertices));
}

BENCHMARK(BM_GltfExportShare)
    ->ArgNames({"vertices", "animations"})
    ->Args({1'000'000, 20})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_GltfExportCost)
    ->ArgNames({"vertices", "animations"})
    ->Args({1'000'000, 20})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexmara::bench

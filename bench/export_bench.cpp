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

void BM_GltfExportCost(benchmark::State& state) {
  const auto vertices = int32_t(state.range(0));
  const auto animations = int32_t(state.range(1));
  const InputFile& model = SampleModelFile(vertices, BonesForVertices(vertices));
  std::vector<std::string> importOnly;
  for (int32_t i = 0; i < animations; ++i) {
    // A track for every bone, 100 keys of each kind.
    const InputFile& animation = SampleAnimationFile(BonesForVertices(vertices), 100, i);
    importOnly.insert(importOnly.end(), {"--anim", animation.path.string()});
  }
  const std::filesystem::path output =
      InputRoot() / "gltf" / ("cost_v" + std::to_string(vertices) + ".glb");
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

BENCHMARK(BM_GltfExportCost)
    ->ArgNames({"vertices", "animations"})
    ->Args({1'000'000, 20})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexmara::bench

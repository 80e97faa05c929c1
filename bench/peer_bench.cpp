// The peer: the largest model exported as glTF 2.0 by vexmara-import (the command-line importer:
// read, import into the reference host, glTF write), and assimp loading that exported file, in
// the same run. The importer runs as a process of its own; its CPU time is reported as the
// counter child_cpu_ms, and its wall time as the benchmark's time.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <assimp/Importer.hpp>
#include <filesystem>
#include <string>

#include "bench/importer_run.h"
#include "bench/inputs.h"

namespace vexmara::bench {
namespace {

std::filesystem::path ExportPath(int32_t vertices) {
  const std::filesystem::path folder = InputRoot() / "gltf";
  std::filesystem::create_directories(folder);
  return folder / ("model_v" + std::to_string(vertices) + ".gltf");
}

// vexmara-import MODEL -o OUTPUT: the run must exit with 0 and leave the file.
ImporterRun RunExporter(const std::filesystem::path& model, const std::filesystem::path& output) {
  ImporterRun run = RunImporter(model, {"-o", output.string()});
  run.ok = run.ok && std::filesystem::exists(output);
  return run;
}

void BM_GltfExport(benchmark::State& state) {
  const auto vertices = int32_t(state.range(0));
  const InputFile& model = SampleModelFile(vertices, BonesForVertices(vertices));
  const std::filesystem::path output = ExportPath(vertices);
  ImporterRun run;
  for (auto _ : state) {
    run = RunExporter(model.path, output);
    if (!run.ok) {
      state.SkipWithError("vexmara-import did not write the glTF file");
      break;
    }
    state.SetIterationTime(run.wallSeconds);
  }
  state.counters["child_cpu_ms"] = run.cpuMilliseconds;
  state.counters["file_bytes"] = double(model.bytes);
}

BENCHMARK(BM_GltfExport)
    ->ArgName("vertices")
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// assimp's own reader of the exported file, with no post-processing asked for: the least it
// does to hand over the scene.
void BM_AssimpLoadGltf(benchmark::State& state) {
  const auto vertices = int32_t(state.range(0));
  const std::filesystem::path path = ExportPath(vertices);
  if (!std::filesystem::exists(path) &&
      !RunExporter(SampleModelFile(vertices, BonesForVertices(vertices)).path, path).ok) {
    state.SkipWithError("no glTF export to load");
    return;
  }
  unsigned loadedVertices = 0;
  for (auto _ : state) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path.string(), 0);
    if (scene == nullptr || scene->mNumMeshes == 0) {
      state.SkipWithError(importer.GetErrorString());
      break;
    }
    state.PauseTiming();
    loadedVertices = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m)
      loadedVertices += scene->mMeshes[m]->mNumVertices;
    state.ResumeTiming();
  }
  state.counters["vertices_loaded"] = loadedVertices;
}

BENCHMARK(BM_AssimpLoadGltf)
    ->ArgName("vertices")
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexmara::bench

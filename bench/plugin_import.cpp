#include "bench/plugin_import.h"

#include <dlfcn.h>

#include <memory>

#include "dialog/scripted_dialog.h"
#include "host/host.h"
#include "host/plugin_library.h"

namespace vexmara::bench {
namespace {

using SetScriptedDialogFunction = void (*)(const ScriptedDialog*);

// The plug-in library, loaded once for the whole run as the host application keeps it loaded.
struct LoadedPlugin {
  host::PluginLibrary library;
  SetScriptedDialogFunction setScript = nullptr;
  std::string error;

  LoadedPlugin() {
    if (const host::PluginLibrary::LoadResult loaded = library.Load(VEXMARA_PLUGIN_PATH);
        !loaded.ok()) {
      error = "cannot load " + std::string(VEXMARA_PLUGIN_PATH) + ": " + loaded.message;
      return;
    }
    setScript =
        reinterpret_cast<SetScriptedDialogFunction>(dlsym(library.Instance(), "SetScriptedDialog"));
    if (setScript == nullptr) error = "the library does not export SetScriptedDialog";
  }
};

LoadedPlugin& Plugin() {
  static LoadedPlugin plugin;
  return plugin;
}

// "Import", the given animation files, the texture directory left at its default (the model's
// own folder), "Swap model" as asked and the other two boxes off.
void SetScript(LoadedPlugin& plugin, const ImportRequest& request) {
  std::vector<const uint16_t*> files;
  files.reserve(request.animationFiles.size());
  for (const std::u16string& file : request.animationFiles) {
    files.push_back(reinterpret_cast<const uint16_t*>(file.c_str()));
  }
  ScriptedDialog script{};
  script.result = 1;
  script.textureDirectory = nullptr;
  script.animationFileCount = int32_t(files.size());
  script.animationFiles = files.empty() ? nullptr : files.data();
  script.swapModel = request.swapModel ? 1 : 0;
  script.submeshesAsGroups = 0;
  script.extractAlphaMaps = 0;
  plugin.setScript(&script);  // the library keeps its own copy
}

}  // namespace

ImportOutcome RunImports(benchmark::State& state, const ImportRequest& request) {
  ImportOutcome outcome;
  LoadedPlugin& plugin = Plugin();
  if (!plugin.error.empty()) {
    state.SkipWithError(plugin.error.c_str());
    return outcome;
  }
  SetScript(plugin, request);
  for (auto _ : state) {
    state.PauseTiming();
    auto host = std::make_unique<host::Host>();
    host->SetCallLogging(false);
    if (host->Register(plugin.library) != 1) {
      state.SkipWithError("registration failed");
      break;
    }
    host->SetModelPath(request.modelPath);
    state.ResumeTiming();

    outcome.readResult = host->Read();
    outcome.importResult = outcome.readResult == 1 ? host->Import(plugin.library.Instance()) : 0;

    state.PauseTiming();
    const host::HostContext& context = host->Context();
    outcome.vertices = context.vertexCount;
    outcome.bones = context.boneCount;
    outcome.animations = context.animationCount;
    outcome.materials = context.materialCount;
    host.reset();
    state.ResumeTiming();
    if (outcome.importResult != 1) {
      state.SkipWithError(outcome.readResult != 1 ? "the model was not read"
                                                  : "the import did not build");
      break;
    }
  }
  plugin.setScript(nullptr);
  state.counters["host_vertices"] = outcome.vertices;
  state.counters["host_bones"] = outcome.bones;
  state.counters["host_animations"] = outcome.animations;
  return outcome;
}

HostRecordBlocks MeasureHostRecords(const ImportRequest& request) {
  HostRecordBlocks blocks;
  LoadedPlugin& plugin = Plugin();
  if (!plugin.error.empty()) {
    blocks.error = plugin.error;
    return blocks;
  }
  SetScript(plugin, request);
  host::Host host;
  host.SetCallLogging(false);
  host.SetModelPath(request.modelPath);
  const bool built = host.Register(plugin.library) == 1 && host.Read() == 1 &&
                     host.Import(plugin.library.Instance()) == 1;
  plugin.setScript(nullptr);
  if (!built) {
    blocks.error = "the import did not build";
    return blocks;
  }
  auto add = [&](uint64_t bytes) {
    if (bytes == 0) return;
    blocks.sizes.push_back(bytes);
    blocks.totalBytes += bytes;
  };
  const std::vector<host::VertexView> vertices = host.Vertices();
  add(vertices.size() * sizeof(host::HostVertex));
  add(vertices.size() * sizeof(host::HostVertexWeights*));
  uint64_t weightBytes = 0;
  for (const host::VertexView& vertex : vertices) {
    if (vertex.weighted) {
      weightBytes +=
          sizeof(host::HostVertexWeights) + vertex.weights.size() * sizeof(host::HostWeightEntry);
    }
  }
  add(weightBytes);
  add(uint64_t(host.Context().boneCount) * sizeof(host::HostBone));
  for (const host::MeshView& mesh : host.Meshes()) {
    const uint64_t faces = mesh.faces.size();
    add(faces * sizeof(host::HostFace));
    add(faces * 3 * sizeof(int32_t));
    add(faces * sizeof(host::HostFaceMapping));
    add(faces * 3 * sizeof(host::HostFaceCorner));
  }
  return blocks;
}

}  // namespace vexmara::bench

// The stages run in the order the host numbers its objects: materials, groups and bones are made
// in model order, so that model indices go straight into faces, weights and parent links.
#include "scene/build_scene.h"

#include "scene/stages.h"
#include "transform/scene_scale.h"

namespace vexmara {

bool BuildScene(HostContext* context, ModelStore& store, const ImportOptions& options) {
  if (context == nullptr) return false;

  if (!store.materials.empty()) {
    // Changes the process's current directory for good: the model file's directory stays
    // current after the import, and the texture folder picker opens there next time.
    EnterModelDirectory(store.sourcePath);
    if (!BuildMaterials(context, store, options)) return false;
  }
  if (!BuildVertices(context, store)) return false;
  // Sets each submesh's groupIndex when submeshes become groups.
  if (!BuildGroups(context, store.materials, store.geosets, options)) return false;
  if (!BuildMeshes(context, store, options)) return false;
  host::NotifyMeshesDone(context);
  if (!store.bones.empty() && !BuildBones(context, store)) return false;
  if (!store.animations.empty()) {
    // Rewrites the animations' key times and scales, and each bone's trackIndex.
    if (!BuildAnimations(context, store.bones, store.animations)) return false;
  }
  host::NotifyAnimationsDone(context);

  // The quarter turn with "Swap model", then the scale, always; together they visit every
  // vertex twice rather than three times.
  if (options.swapModel == 1) {
    SwapAndScaleScene(context, options.sceneScale);
  } else {
    ScaleScene(context, options.sceneScale);
  }
  return true;
}

}  // namespace vexmara

// BuildScene: the model store turned into host objects, stage by stage.
#pragma once

#include "abi/host_interface.h"
#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {

// Turns `store` into host objects with `options`, stage by stage: materials, vertices, groups,
// meshes, bones, animations, then the axis swap (with "Swap model") and the scene scale. True
// when every stage was done; false when one failed, in which case the later stages do not run
// and what the earlier ones made stays in the host. The stages write into the store as well: each
// submesh's groupIndex, each bone's trackIndex, the animations' key times and scales. With
// materials, the model file's directory becomes the process's current directory.
bool BuildScene(HostContext* context, ModelStore& store, const ImportOptions& options);

}  // namespace vexmara

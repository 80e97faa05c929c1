// The import driver: the host's import message ends here.
#pragma once

#include <cstdint>

#include "abi/host_interface.h"

namespace vexmara {

// Runs one import with the model the last read left in the store: 1 built, 0 failed,
// 2 cancelled. The store is empty afterwards, whatever the outcome.
int32_t RunImport(HostContext* context, void* instance);

// Turns the model store into host objects with the current import options, stage by stage:
// materials, vertices, groups, meshes, bones, animations, then the axis swap (with "Swap
// model") and the scene scale. 1 when every stage was done; 0 when one failed, in which case
// the later stages do not run and what the earlier ones made stays in the host.
int32_t BuildScene(HostContext* context);

}  // namespace vexmara

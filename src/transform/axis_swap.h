// The quarter turn of the whole host scene, (x, y, z) -> (x, z, -y), with the rebuild of every
// host bone's local transform from its turned world matrix.
#pragma once

#include "plugin/host_interface.h"

namespace vexmara {

// Turns vertices, bones and the host's scene objects; nothing when the context is null.
void SwapModelAxes(HostContext* context);

}  // namespace vexmara

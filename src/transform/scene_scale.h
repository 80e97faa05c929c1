// The scene scale: the host scene scaled about the centre of its vertex bounds.
#pragma once

#include "abi/host_interface.h"

namespace vexmara {

struct SceneBounds {
  float size[3] = {0, 0, 0};
  float minimum[3] = {0, 0, 0};
  float maximum[3] = {0, 0, 0};
  float centre[3] = {0, 0, 0};
};

// Everything zero when there is no context or no vertex.
SceneBounds ComputeSceneBounds(HostContext* context);

// Scales the scene by `factor` about the centre of the vertex bounds; nothing for a null context.
void ScaleScene(HostContext* context, float factor);

// SwapModelAxes (axis_swap.h) followed by ScaleScene, with the very same results, in two passes
// over the vertices instead of three: their bounds are taken before the turn, from which the
// turned bounds follow exactly, and each vertex is then turned and scaled in one visit.
void SwapAndScaleScene(HostContext* context, float factor);

}  // namespace vexmara

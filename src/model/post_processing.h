// Completion of a freshly read model: each submesh learns its material's index, each vertex how
// many of its skin weights are in use, and each bone its bind pose as matrices and parts.
#pragma once

#include <cstdint>

#include "model/model.h"

namespace vexmara {

// Index of the first material whose name equals `name` ignoring case; -1 when none does, when
// `name` is null or when the model has no materials.
int32_t FindMaterialByName(const Model& model, const char* name);

void ResolveMaterialIndices(Model& model);

// How many of a vertex's three weights are in use: those strictly above 0 (a NaN weight does not
// count). The reader takes each vertex's count with this as it decodes the skin; CountInfluences
// sets every vertex's count again from its weights.
inline int32_t InfluenceCount(const float weights[3]) {
  return int32_t(weights[0] > 0.0f) + int32_t(weights[1] > 0.0f) + int32_t(weights[2] > 0.0f);
}
void CountInfluences(Model& model);
void ComputeBoneMatrices(Model& model);

}  // namespace vexmara

#include "transform/scene_scale.h"

#include <cstdint>
#include <limits>

#include "transform/axis_swap.h"

namespace vexmara {
namespace {

bool HasList(int32_t count, const void* items) { return count > 0 && items != nullptr; }

// ((p - c) × factor) + c, in that order, per axis.
void ScaleAbout(float position[3], const float centre[3], float factor) {
  for (int axis = 0; axis < 3; ++axis) {
    position[axis] = ((position[axis] - centre[axis]) * factor) + centre[axis];
  }
}

// The per-axis minimum and maximum of the vertex positions, in vertex order, each from the
// largest finite float (or its negation); false, and nothing set, without vertices.
bool VertexExtremes(const HostContext& context, float minimum[3], float maximum[3]) {
  if (!HasList(context.vertices.count, context.vertices.items)) {
    return false;
  }
  // Six plain values, which stay in registers: each keeps the earlier value unless the new one
  // is strictly beyond it (a NaN never is), so the first of equal values stays.
  constexpr float kLargest = std::numeric_limits<float>::max();
  float lowX = kLargest, lowY = kLargest, lowZ = kLargest;
  float highX = -kLargest, highY = -kLargest, highZ = -kLargest;
  const HostVertex* vertices = context.vertices.items;
  for (int32_t i = 0; i < context.vertices.count; ++i) {
    const float x = vertices[i].position[0];
    const float y = vertices[i].position[1];
    const float z = vertices[i].position[2];
    lowX = x < lowX ? x : lowX;
    lowY = y < lowY ? y : lowY;
    lowZ = z < lowZ ? z : lowZ;
    highX = x > highX ? x : highX;
    highY = y > highY ? y : highY;
    highZ = z > highZ ? z : highZ;
  }
  minimum[0] = lowX;
  minimum[1] = lowY;
  minimum[2] = lowZ;
  maximum[0] = highX;
  maximum[1] = highY;
  maximum[2] = highZ;
  return true;
}

// Size and centre from the minimum and maximum.
void CompleteBounds(SceneBounds& bounds) {
  for (int axis = 0; axis < 3; ++axis) {
    bounds.size[axis] = bounds.maximum[axis] - bounds.minimum[axis];
    bounds.centre[axis] = (bounds.minimum[axis] + bounds.maximum[axis]) * 0.5f;
  }
}

// Step 1 of the scale: translation keys only; times, rotation and scale keys stay.
void ScaleTranslationKeys(HostContext& context, float factor) {
  if (!HasList(context.animations.count, context.animations.items)) {
    return;
  }
  for (int32_t a = 0; a < context.animations.count; ++a) {
    const HostAnimation& animation = context.animations.items[a];
    if (!HasList(animation.trackCount, animation.tracks)) {
      continue;
    }
    for (int32_t t = 0; t < animation.trackCount; ++t) {
      const HostBoneTrack& track = animation.tracks[t];
      if (!HasList(track.translationKeyCount, track.translationKeys)) {
        continue;
      }
      for (int32_t k = 0; k < track.translationKeyCount; ++k) {
        float* value = track.translationKeys[k].value;
        for (int axis = 0; axis < 3; ++axis) {
          value[axis] *= factor;
        }
      }
    }
  }
}

// Step 2: the bones' translations.
void ScaleBones(HostContext& context, const float centre[3], float factor) {
  if (!HasList(context.bones.count, context.bones.items)) {
    return;
  }
  const int32_t count = context.bones.count;
  for (int32_t i = 0; i < count; ++i) {
    HostBone& bone = context.bones.items[i];
    // A root's translation is in scene space; a child's is relative to its parent and only
    // scales. A parent index past the end of the list makes a root, as everywhere else.
    const bool root = bone.parentIndex < 0 || bone.parentIndex >= count;
    if (root) {
      ScaleAbout(bone.translation, centre, factor);
    } else {
      for (int axis = 0; axis < 3; ++axis) {
        bone.translation[axis] *= factor;
      }
    }
  }
}

// A scene object's position (and, with kTurn, its matrix) turned, then scaled about the centre.
template <bool kTurn, typename Object>
void PlaceObject(Object& object, const float centre[3], float factor) {
  if (kTurn) {
    SwapAxes(object.position);
    SwapMatrixAxes(object.matrix);
  }
  ScaleAbout(object.position, centre, factor);
}

// Steps 1 and 2, then each vertex and scene object about the centre. With kTurn, each is turned
// first in the same visit: (x, y, z) becomes (x, z, -y), then each axis ((p - c) × factor) + c,
// the operations of the two steps in their order. The vertices go from the last to the first
// (each is done alone), so that the pass begins on the vertices the bounds have just read.
template <bool kTurn>
void ScaleContents(HostContext& context, const float centre[3], float factor) {
  ScaleTranslationKeys(context, factor);
  ScaleBones(context, centre, factor);

  if (HasList(context.vertices.count, context.vertices.items)) {
    const float c0 = centre[0], c1 = centre[1], c2 = centre[2];
    HostVertex* vertices = context.vertices.items;
    for (int32_t i = context.vertices.count; i-- > 0;) {
      float* position = vertices[i].position;
      const float x = position[0];
      const float y = kTurn ? position[2] : position[1];
      const float z = kTurn ? -position[1] : position[2];
      position[0] = ((x - c0) * factor) + c0;
      position[1] = ((y - c1) * factor) + c1;
      position[2] = ((z - c2) * factor) + c2;
    }
  }

  if (HasList(context.sceneObjectsA.count, context.sceneObjectsA.items)) {
    for (int32_t i = 0; i < context.sceneObjectsA.count; ++i) {
      HostSceneObjectA& object = context.sceneObjectsA.items[i];
      PlaceObject<kTurn>(object, centre, factor);
      object.extra[0] *= factor;
      object.extra[1] *= factor;
    }
  }

  if (HasList(context.sceneObjectsB.count, context.sceneObjectsB.items)) {
    for (int32_t i = 0; i < context.sceneObjectsB.count; ++i) {
      PlaceObject<kTurn>(context.sceneObjectsB.items[i], centre, factor);
    }
  }
}

}  // namespace

SceneBounds ComputeSceneBounds(HostContext* context) {
  SceneBounds bounds;
  if (context == nullptr || !VertexExtremes(*context, bounds.minimum, bounds.maximum)) {
    return bounds;
  }
  CompleteBounds(bounds);
  return bounds;
}

void ScaleScene(HostContext* context, float factor) {
  if (context == nullptr) {
    return;
  }
  // The centre is taken once, before anything moves.
  const SceneBounds bounds = ComputeSceneBounds(context);

  ScaleContents<false>(*context, bounds.centre, factor);
}

void SwapAndScaleScene(HostContext* context, float factor) {
  if (context == nullptr) {
    return;
  }
  SwapBoneAxes(context);

  // The bounds of the vertices as the turn leaves them, taken before it: the turn moves z to y
  // and -y to z, and negation only mirrors the order of the values, so the turned minimum of z
  // is exactly the negated maximum of y, found at the same vertex (and the same for the other
  // extreme, the starting values included).
  SceneBounds bounds;
  float minimum[3];
  float maximum[3];
  if (VertexExtremes(*context, minimum, maximum)) {
    bounds.minimum[0] = minimum[0];
    bounds.maximum[0] = maximum[0];
    bounds.minimum[1] = minimum[2];
    bounds.maximum[1] = maximum[2];
    bounds.minimum[2] = -maximum[1];
    bounds.maximum[2] = -minimum[1];
    CompleteBounds(bounds);
  }
  ScaleContents<true>(*context, bounds.centre, factor);
}

}  // namespace vexmara

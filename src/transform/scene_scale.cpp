#include "transform/scene_scale.h"

#include <cstdint>
#include <limits>

namespace vexmara {
namespace {

bool HasList(int32_t count, const void* items) { return count > 0 && items != nullptr; }

// ((p - c) × factor) + c, in that order, per axis.
void ScaleAbout(float position[3], const float centre[3], float factor) {
  for (int axis = 0; axis < 3; ++axis) {
    position[axis] = ((position[axis] - centre[axis]) * factor) + centre[axis];
  }
}

}  // namespace

SceneBounds ComputeSceneBounds(HostContext* context) {
  SceneBounds bounds;
  if (context == nullptr || !HasList(context->vertices.count, context->vertices.items)) {
    return bounds;
  }
  constexpr float kLargest = std::numeric_limits<float>::max();
  for (int axis = 0; axis < 3; ++axis) {
    bounds.minimum[axis] = kLargest;
    bounds.maximum[axis] = -kLargest;
  }
  for (int32_t i = 0; i < context->vertices.count; ++i) {
    const float* position = context->vertices.items[i].position;
    for (int axis = 0; axis < 3; ++axis) {
      if (position[axis] < bounds.minimum[axis]) {
        bounds.minimum[axis] = position[axis];
      }
      if (position[axis] > bounds.maximum[axis]) {
        bounds.maximum[axis] = position[axis];
      }
    }
  }
  for (int axis = 0; axis < 3; ++axis) {
    bounds.size[axis] = bounds.maximum[axis] - bounds.minimum[axis];
    bounds.centre[axis] = (bounds.minimum[axis] + bounds.maximum[axis]) * 0.5f;
  }
  return bounds;
}

void ScaleScene(HostContext* context, float factor) {
  if (context == nullptr) {
    return;
  }
  // The centre is taken once, before anything moves.
  const SceneBounds bounds = ComputeSceneBounds(context);
  const float* centre = bounds.centre;

  if (HasList(context->animations.count, context->animations.items)) {
    for (int32_t a = 0; a < context->animations.count; ++a) {
      const HostAnimation& animation = context->animations.items[a];
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

  if (HasList(context->bones.count, context->bones.items)) {
    const int32_t count = context->bones.count;
    for (int32_t i = 0; i < count; ++i) {
      HostBone& bone = context->bones.items[i];
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

  if (HasList(context->vertices.count, context->vertices.items)) {
    for (int32_t i = 0; i < context->vertices.count; ++i) {
      ScaleAbout(context->vertices.items[i].position, centre, factor);
    }
  }

  if (HasList(context->sceneObjectsA.count, context->sceneObjectsA.items)) {
    for (int32_t i = 0; i < context->sceneObjectsA.count; ++i) {
      HostSceneObjectA& object = context->sceneObjectsA.items[i];
      ScaleAbout(object.position, centre, factor);
      object.extra[0] *= factor;
      object.extra[1] *= factor;
    }
  }

  if (HasList(context->sceneObjectsB.count, context->sceneObjectsB.items)) {
    for (int32_t i = 0; i < context->sceneObjectsB.count; ++i) {
      ScaleAbout(context->sceneObjectsB.items[i].position, centre, factor);
    }
  }
}

}  // namespace vexmara

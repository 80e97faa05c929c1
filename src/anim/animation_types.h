// The in-memory animation: one Animation per animation file read. Plain records that own their
// arrays; these are the elements of the model store's animation list.
#pragma once

#include <cstdint>

#include "abi/text.h"
#include "model/list.h"

namespace vexmara {

struct VectorKey {
  int32_t frame = 0;
  float time = 0;
  float value[3] = {0, 0, 0};
};

// A translation key starts at (0, 0, 0), a scale key at (1, 1, 1).
struct ScaleKey : VectorKey {
  ScaleKey() { value[0] = value[1] = value[2] = 1; }
};

struct RotationKey {
  int32_t frame = 0;
  float time = 0;
  float value[4] = {0, 0, 0, 1};
};

struct AnimationTrack {
  char boneName[kNameBytes] = {};
  List<VectorKey> translationKeys;
  List<ScaleKey> scaleKeys;
  List<RotationKey> rotationKeys;
};

struct Animation {
  char name[kNameBytes] = {};
  float duration = 0;
  List<AnimationTrack> tracks;
  List<float> frameTimes;
};

}  // namespace vexmara

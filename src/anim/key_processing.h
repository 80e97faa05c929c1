// Animation key processing: gives every key its time from its animation's frame table and
// every animation its duration, and the operations on animations that the builder uses.
// Times and durations stay on the frame scale of the animation file.
#pragma once

#include <cstdint>

#include "anim/animation_types.h"
#include "model/list.h"

namespace vexmara {

// Gives every key of every animation its time and every animation its duration, in list
// order. An animation without a frame table is left as it is (duration 0, times 0).
void ResolveAnimationTimes(List<Animation>& animations);

// The smallest and largest key time over all keys of the animation; 0 to 0 without keys.
// Either out-pointer may be null.
void KeyTimeRange(const Animation& animation, float* min, float* max);

// The largest translation, scale or rotation key count of any track; 0 without tracks.
int32_t MaxKeyCount(const Animation& animation);

// Index of the first track whose bone name equals `boneName` ignoring letter case; -1 when
// none does, when the name is null, or when the animation has no tracks.
int32_t FindTrack(const Animation& animation, const char* boneName);

}  // namespace vexmara

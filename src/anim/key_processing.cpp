// Key times and durations. Keys carry frame numbers from the file; the frame table maps a frame
// number to its time. Files whose frame table carries no timing (every key lands on the same
// time) fall back to the frame numbers themselves.
#include "anim/key_processing.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "platform/platform.h"

namespace vexmara {
namespace {

constexpr float kLargestFinite = std::bit_cast<float>(0x7f7fffffu);
constexpr float kLowestFinite = std::bit_cast<float>(0xff7fffffu);
// Key time ranges no wider than this count as a single instant.
constexpr float kSameInstant = std::bit_cast<float>(0x38d1b717u);

// Calls `visit` for every key of every track: translation, then rotation, then scale keys,
// each in array order.
template <typename AnimationT, typename Visit>
void ForEachKey(AnimationT& animation, Visit visit) {
  for (auto& track : animation.tracks) {
    for (auto& key : track.translationKeys) visit(key);
    for (auto& key : track.rotationKeys) visit(key);
    for (auto& key : track.scaleKeys) visit(key);
  }
}

void ResolveTimes(Animation& animation) {
  if (animation.frameTimes.empty()) return;

  const List<float>& frameTimes = animation.frameTimes;
  ForEachKey(animation, [&](auto& key) {
    if (key.frame >= 0 && key.frame < frameTimes.count) key.time = frameTimes[key.frame];
  });

  float min = 0;
  float max = 0;
  KeyTimeRange(animation, &min, &max);
  animation.duration = max > 0 ? max : 1.0f;

  if (std::fabs(min - max) <= kSameInstant) {
    animation.duration = float(MaxKeyCount(animation));
    ForEachKey(animation, [](auto& key) { key.time = float(key.frame); });
  }
}

}  // namespace

void ResolveAnimationTimes(List<Animation>& animations) {
  for (Animation& animation : animations) ResolveTimes(animation);
}

void KeyTimeRange(const Animation& animation, float* min, float* max) {
  float low = kLargestFinite;
  float high = kLowestFinite;
  ForEachKey(animation, [&](const auto& key) {
    if (key.time < low) low = key.time;
    if (key.time > high) high = key.time;
  });
  if (low == kLargestFinite) low = 0;
  if (high == kLowestFinite) high = 0;
  if (min != nullptr) *min = low;
  if (max != nullptr) *max = high;
}

int32_t MaxKeyCount(const Animation& animation) {
  int32_t most = 0;
  for (const AnimationTrack& track : animation.tracks) {
    most = std::max(
        {most, track.translationKeys.count, track.scaleKeys.count, track.rotationKeys.count});
  }
  return most;
}

int32_t FindTrack(const Animation& animation, const char* boneName) {
  if (boneName == nullptr || animation.tracks.empty()) return -1;
  for (int32_t i = 0; i < animation.tracks.count; ++i) {
    if (platform::CompareNoCase(animation.tracks[i].boneName, boneName) == 0) return i;
  }
  return -1;
}

}  // namespace vexmara

// Bones and animations. Host bone n is model bone n: the skin weights and parent links written
// before refer to bones by that number. Animation keys arrive on the file's frame scale and in
// the bone's model space; the host wants them at 15 frames per second and relative to the bone's
// bind pose.
#include <bit>
#include <cmath>

#include "anim/key_processing.h"
#include "math/quaternion.h"
#include "model/first_index_table.h"
#include "scene/stages.h"

namespace vexmara {
namespace {

constexpr float kHostTimeFactor = std::bit_cast<float>(0x3D888889u);  // 1/15, multiplied in
constexpr float kHostFramesPerSecond = 15.0f;
constexpr float kScaleFloor = std::bit_cast<float>(0x3A83126Fu);  // 0.001
constexpr float kQuaternionFloor = 1e-4f;

// Key times below 0 make the whole animation start at once: every key of it goes to time 0.
void CleanKeyTimes(Animation& animation) {
  float min = 0;
  float max = 0;
  KeyTimeRange(animation, &min, &max);
  if (!(min < 0) && !(max < 0)) return;
  for (AnimationTrack& track : animation.tracks) {
    for (VectorKey& key : track.translationKeys) key.time = 0;
    for (RotationKey& key : track.rotationKeys) key.time = 0;
    for (ScaleKey& key : track.scaleKeys) key.time = 0;
  }
}

// A scale that has collapsed to zero or below (judged by x alone) is taken as no scale.
void CleanScales(Animation& animation) {
  for (AnimationTrack& track : animation.tracks) {
    for (ScaleKey& key : track.scaleKeys) {
      if (key.value[0] <= kScaleFloor) key.value[0] = key.value[1] = key.value[2] = 1.0f;
    }
  }
}

// The bind pose of one bone, in the forms the key conversion uses.
struct BindPose {
  float translation[3];
  float scale[3];
  float rotation[16];        // R of the bind rotation
  float inverseRotation[4];  // conjugate of the bind rotation over its length
};

BindPose MakeBindPose(const Bone& bone) {
  BindPose pose{};
  for (int i = 0; i < 3; ++i) {
    pose.translation[i] = bone.bindTranslation[i];
    pose.scale[i] = bone.bindScale[i];
  }
  QuaternionToMatrix(bone.bindRotation, pose.rotation);
  const float* q = bone.bindRotation;
  const float length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (length == 0.0f) {
    pose.inverseRotation[0] = pose.inverseRotation[1] = pose.inverseRotation[2] = 0.0f;
    pose.inverseRotation[3] = 1.0f;
  } else {
    pose.inverseRotation[0] = -q[0] / length;
    pose.inverseRotation[1] = -q[1] / length;
    pose.inverseRotation[2] = -q[2] / length;
    pose.inverseRotation[3] = q[3] / length;
  }
  return pose;
}

// Offset from the bind position, turned back by the bind rotation: Rᵀ (value − T).
void SendTranslationKeys(HostAnimation* animation, int32_t bone, const AnimationTrack& track,
                         const BindPose& pose) {
  const int32_t count = track.translationKeys.count;
  if (count <= 0) return;
  HostBoneTrack* hostTrack = host::SetTranslationKeyCount(animation, bone, count);
  if (hostTrack == nullptr || hostTrack->translationKeys == nullptr) return;
  const float* r = pose.rotation;
  for (int32_t k = 0; k < count; ++k) {
    const VectorKey& key = track.translationKeys[k];
    const float d[3] = {key.value[0] - pose.translation[0], key.value[1] - pose.translation[1],
                        key.value[2] - pose.translation[2]};
    HostVectorKey& out = hostTrack->translationKeys[k];
    out.time = key.time * kHostTimeFactor;
    for (int i = 0; i < 3; ++i)
      out.value[i] = r[0 * 4 + i] * d[0] + r[1 * 4 + i] * d[1] + r[2 * 4 + i] * d[2];
  }
}

// The key's rotation after the inverse of the bind rotation: Q′ ⊗ q, q normalised first.
void SendRotationKeys(HostAnimation* animation, int32_t bone, const AnimationTrack& track,
                      const BindPose& pose) {
  const int32_t count = track.rotationKeys.count;
  if (count <= 0) return;
  HostBoneTrack* hostTrack = host::SetRotationKeyCount(animation, bone, count);
  if (hostTrack == nullptr || hostTrack->rotationKeys == nullptr) return;
  for (int32_t k = 0; k < count; ++k) {
    const RotationKey& key = track.rotationKeys[k];
    const float* v = key.value;
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
    float q[4] = {0, 0, 0, 1};
    if (length > kQuaternionFloor) {
      for (int i = 0; i < 4; ++i) q[i] = v[i] / length;
    }
    HostRotationKey& out = hostTrack->rotationKeys[k];
    out.time = key.time * kHostTimeFactor;
    MultiplyQuaternions(pose.inverseRotation, q, out.value);
  }
}

// The key's scale relative to the bind scale; a bind scale component of 0 divides nothing.
void SendScaleKeys(HostAnimation* animation, int32_t bone, const AnimationTrack& track,
                   const BindPose& pose) {
  const int32_t count = track.scaleKeys.count;
  if (count <= 0) return;
  HostBoneTrack* hostTrack = host::SetScaleKeyCount(animation, bone, count);
  if (hostTrack == nullptr || hostTrack->scaleKeys == nullptr) return;
  for (int32_t k = 0; k < count; ++k) {
    const ScaleKey& key = track.scaleKeys[k];
    HostVectorKey& out = hostTrack->scaleKeys[k];
    out.time = key.time * kHostTimeFactor;
    for (int i = 0; i < 3; ++i) {
      out.value[i] = pose.scale[i] == 0.0f ? key.value[i] : key.value[i] / pose.scale[i];
    }
  }
}

bool SendAnimation(HostContext* context, List<Bone>& bones, const Animation& animation) {
  HostAnimation* hostAnimation;
  {
    ScopedNarrowText name(animation.name);
    hostAnimation = host::CreateAnimation(context, name.get());
  }
  if (hostAnimation == nullptr) return false;
  hostAnimation->firstFrame = 0;
  hostAnimation->framesPerSecond = kHostFramesPerSecond;
  hostAnimation->frameCount = std::ceil(animation.duration);

  MatchBoneTracks(bones, animation);
  const int32_t boneCount = bones.count;
  if (host::SetTrackCount(hostAnimation, boneCount) == 0) return false;

  const int32_t trackCount = animation.tracks.empty() ? 0 : animation.tracks.count;
  for (int32_t n = 0; n < boneCount; ++n) {
    const Bone& bone = bones[n];
    const int32_t t = bone.trackIndex;
    if (t < 0 || t >= trackCount) continue;
    const AnimationTrack& track = animation.tracks[t];
    const BindPose pose = MakeBindPose(bone);
    SendTranslationKeys(hostAnimation, n, track, pose);
    SendRotationKeys(hostAnimation, n, track, pose);
    SendScaleKeys(hostAnimation, n, track, pose);
  }
  return true;
}

}  // namespace

void MatchBoneTracks(List<Bone>& bones, const Animation& animation) {
  // Every bone asks for the first track of its name (FindTrack's answer) in constant time,
  // instead of a walk over the tracks for each: a large skeleton would otherwise cost bones
  // times tracks name comparisons.
  const List<AnimationTrack>& tracks = animation.tracks;
  const FirstIndexLookup firstOfName(
      tracks.count, [&](int32_t i) { return tracks[i].boneName; }, NarrowNameHash, SameNarrowName);
  for (Bone& bone : bones) bone.trackIndex = firstOfName.Find(bone.name);
}

bool BuildBones(HostContext* context, const ModelStore& store) {
  if (context == nullptr) return false;
  const int32_t boneCount = store.bones.count;
  for (const Bone& bone : store.bones) {
    HostBone* hostBone;
    {
      ScopedNarrowText name(bone.name);
      hostBone = host::CreateBone(context, name.get());
    }
    if (hostBone == nullptr) return false;
    // Written before the next bone is made: the host may move its bone array when it grows.
    // A parent index past the skeleton would send the host's parent chain outside its bone
    // list, so such a bone is made a root, as the bind-pose matrices already treat it.
    hostBone->parentIndex = bone.parentIndex < boneCount ? bone.parentIndex : -1;
    for (int i = 0; i < 3; ++i) {
      hostBone->translation[i] = bone.bindTranslation[i];
      hostBone->scale[i] = bone.bindScale[i];
    }
    for (int i = 0; i < 4; ++i) hostBone->rotation[i] = bone.bindRotation[i];
  }
  return true;
}

bool BuildAnimations(HostContext* context, List<Bone>& bones, List<Animation>& animations) {
  if (context == nullptr) return false;
  if (animations.empty()) return true;
  if (bones.empty() || bones.count <= 0) return true;

  for (Animation& animation : animations) {
    CleanKeyTimes(animation);
    CleanScales(animation);
  }
  for (const Animation& animation : animations) {
    // An animation for a larger skeleton than this model's is not this model's.
    if (animation.tracks.count > bones.count) continue;
    if (!SendAnimation(context, bones, animation)) return false;
  }
  return true;
}

}  // namespace vexmara

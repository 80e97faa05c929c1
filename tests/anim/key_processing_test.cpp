#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "anim/key_processing.h"
#include "anim_fixture.h"
#include "writer/ani_writer.h"

namespace vexmara {
namespace {

enum class Kind { kTranslation, kRotation, kScale };

struct KeySpec {
  Kind kind;
  int32_t frame;
  float time = 0;
};

// Fills a track with the given keys, each appended to the array of its kind.
void FillTrack(AnimationTrack& track, const std::vector<KeySpec>& keys) {
  int32_t counts[3] = {};
  for (const KeySpec& key : keys) ++counts[int(key.kind)];
  ASSERT_TRUE(track.translationKeys.Reset(counts[0]));
  ASSERT_TRUE(track.rotationKeys.Reset(counts[1]));
  ASSERT_TRUE(track.scaleKeys.Reset(counts[2]));
  int32_t next[3] = {};
  for (const KeySpec& key : keys) {
    const int32_t i = next[int(key.kind)]++;
    switch (key.kind) {
      case Kind::kTranslation:
        track.translationKeys[i].frame = key.frame;
        track.translationKeys[i].time = key.time;
        break;
      case Kind::kRotation:
        track.rotationKeys[i].frame = key.frame;
        track.rotationKeys[i].time = key.time;
        break;
      case Kind::kScale:
        track.scaleKeys[i].frame = key.frame;
        track.scaleKeys[i].time = key.time;
        break;
    }
  }
}

// An animation whose tracks hold the given keys; without `frameTimes` it has no frame table.
void FillAnimation(Animation& animation, const std::vector<std::vector<KeySpec>>& tracks,
                   const std::vector<float>* frameTimes) {
  ASSERT_TRUE(animation.tracks.Reset(int32_t(tracks.size())));
  for (size_t j = 0; j < tracks.size(); ++j) FillTrack(animation.tracks[int32_t(j)], tracks[j]);
  if (frameTimes != nullptr) {
    ASSERT_TRUE(animation.frameTimes.Reset(int32_t(frameTimes->size())));
    for (size_t i = 0; i < frameTimes->size(); ++i)
      animation.frameTimes[int32_t(i)] = (*frameTimes)[i];
  }
}

// The times of a track's keys, in the order the keys were given to FillTrack.
std::vector<float> TimesOf(const AnimationTrack& track, const std::vector<KeySpec>& keys) {
  std::vector<float> times;
  int32_t next[3] = {};
  for (const KeySpec& key : keys) {
    const int32_t i = next[int(key.kind)]++;
    switch (key.kind) {
      case Kind::kTranslation:
        times.push_back(track.translationKeys[i].time);
        break;
      case Kind::kRotation:
        times.push_back(track.rotationKeys[i].time);
        break;
      case Kind::kScale:
        times.push_back(track.scaleKeys[i].time);
        break;
    }
  }
  return times;
}

constexpr Kind T = Kind::kTranslation;
constexpr Kind R = Kind::kRotation;
constexpr Kind S = Kind::kScale;

struct ResolveCase {
  const char* what;
  std::vector<float> frameTimes;
  std::vector<KeySpec> keys;
  std::vector<float> times;
  float duration;
};

std::vector<KeySpec> ManyKeys(Kind kind, int32_t count) {
  std::vector<KeySpec> keys;
  for (int32_t f = 0; f < count; ++f) keys.push_back({kind, f});
  return keys;
}

std::vector<float> Frames(int32_t count) {
  std::vector<float> frames;
  for (int32_t f = 0; f < count; ++f) frames.push_back(float(f));
  return frames;
}

// 30 translation keys, fewer of the other kinds, over a frame table that is all zeros.
ResolveCase ZeroFrameTableCase() {
  ResolveCase c{
      "all-zero frame table falls back to frame numbers", std::vector<float>(30, 0.0f), {}, {}, 30};
  for (Kind kind : {T, R, S}) {
    const int32_t count = kind == T ? 30 : kind == R ? 12 : 4;
    const std::vector<KeySpec> keys = ManyKeys(kind, count);
    c.keys.insert(c.keys.end(), keys.begin(), keys.end());
    const std::vector<float> frames = Frames(count);
    c.times.insert(c.times.end(), frames.begin(), frames.end());
  }
  return c;
}

TEST(ResolveAnimationTimes, KeyTimesAndDurations) {
  const ResolveCase cases[] = {
      {"times from the frame table", {0, 0.5f, 1, 1.5f}, {{T, 0}, {T, 3}}, {0, 1.5f}, 1.5f},
      {"every key kind", {0, 2, 4, 6}, {{T, 1}, {R, 2}, {S, 3}, {R, 0}}, {2, 4, 6, 0}, 6},
      {"keys outside the table keep time 0",
       {5, 6},
       {{T, 0}, {T, 1}, {R, -1}, {S, 2}, {S, INT32_MIN}},
       {5, 6, 0, 0, 0},
       6},
      {"all keys outside the table fall back to frame numbers",
       {1, 2},
       {{T, -1}, {T, 4}, {R, 100}},
       {-1, 4, 100},
       2},
      ZeroFrameTableCase(),
      {"a constant table falls back too", {7, 7, 7}, {{T, 0}, {S, 2}}, {0, 2}, 1},
      {"one key is a single instant", {3}, {{R, 0}}, {0}, 1},
      {"largest time 0 gives duration 1", {-2, 0}, {{T, 0}, {T, 1}}, {-2, 0}, 1},
      {"all times negative give duration 1", {-3, -1}, {{R, 0}, {R, 1}}, {-3, -1}, 1},
      {"a range of exactly 1e-4 is one instant", {0, 1e-4f}, {{T, 0}, {T, 1}}, {0, 1}, 2},
      {"a range just over 1e-4 stands", {0, 2e-4f}, {{T, 0}, {T, 1}}, {0, 2e-4f}, 2e-4f},
      {"a frame table without keys", {1, 2}, {}, {}, 0},
  };
  for (const ResolveCase& c : cases) {
    ModelStore store;
    Animation* animation = store.animations.Append();
    ASSERT_NE(animation, nullptr);
    FillAnimation(*animation, {c.keys}, &c.frameTimes);
    ResolveAnimationTimes(store.animations);
    EXPECT_EQ(animation->duration, c.duration) << c.what;
    EXPECT_EQ(TimesOf(animation->tracks[0], c.keys), c.times) << c.what;
  }
}

TEST(ResolveAnimationTimes, WithoutFrameTableNothingChanges) {
  ModelStore store;
  const std::vector<float> table = {0, 10, 20};
  FillAnimation(*store.animations.Append(), {{{T, 1}, {R, 2}}}, nullptr);
  FillAnimation(*store.animations.Append(), {{{T, 1}, {R, 2}}}, &table);
  FillAnimation(*store.animations.Append(), {{{S, 5, 0.5f}}}, nullptr);
  ResolveAnimationTimes(store.animations);

  const Animation& untimed = store.animations[0];
  EXPECT_EQ(untimed.duration, 0);
  EXPECT_EQ(untimed.tracks[0].translationKeys[0].time, 0);
  EXPECT_EQ(untimed.tracks[0].rotationKeys[0].time, 0);
  // Every animation of the store is processed, not only the first.
  EXPECT_EQ(store.animations[1].duration, 20);
  EXPECT_EQ(store.animations[1].tracks[0].translationKeys[0].time, 10);
  // Not even a time already set is touched.
  EXPECT_EQ(store.animations[2].tracks[0].scaleKeys[0].time, 0.5f);
  EXPECT_EQ(store.animations[2].duration, 0);
}

TEST(ResolveAnimationTimes, TimesKeysOfAParsedFile) {
  writer::AniFile file;
  writer::AniTrack track;
  track.boneName = "root";
  track.translationKeys = {{0, 0, 0, 0}, {3, 1, 1, 1}};
  track.rotationKeys = {writer::MakeRotationKey(3, 0, 0, 0, 1)};
  file.tracks = {track};
  file.frameTimes = {0, 0.5f, 1, 1.5f};
  ModelStore store;
  ASSERT_EQ(testing::ParseAniDescription(file, store), AnimationReadResult::kParsed);
  ResolveAnimationTimes(store.animations);
  const Animation& animation = store.animations[0];
  EXPECT_EQ(animation.tracks[0].translationKeys[0].time, 0);
  EXPECT_EQ(animation.tracks[0].translationKeys[1].time, 1.5f);
  EXPECT_EQ(animation.tracks[0].rotationKeys[0].time, 1.5f);
  EXPECT_EQ(animation.duration, 1.5f);
}

TEST(KeyTimeRange, SmallestAndLargestTimeOverAllKeys) {
  const struct {
    const char* what;
    std::vector<std::vector<KeySpec>> tracks;
    float min;
    float max;
  } cases[] = {
      {"no tracks", {}, 0, 0},
      {"tracks without keys", {{}, {}}, 0, 0},
      {"one key", {{{R, 0, 5}}}, 5, 5},
      {"every kind and track", {{{T, 0, 2}, {S, 0, -1}}, {{R, 0, 3}, {T, 0, 0.5f}}}, -1, 3},
      // An end that still holds its starting value counts as no key at all.
      {"largest finite time", {{{T, 0, FLT_MAX}}}, 0, FLT_MAX},
      {"lowest finite time", {{{T, 0, -FLT_MAX}}}, -FLT_MAX, 0},
  };
  for (const auto& c : cases) {
    Animation animation;
    FillAnimation(animation, c.tracks, nullptr);
    float min = 99, max = 99;
    KeyTimeRange(animation, &min, &max);
    EXPECT_EQ(min, c.min) << c.what;
    EXPECT_EQ(max, c.max) << c.what;
    float only = 99;
    KeyTimeRange(animation, nullptr, &only);
    EXPECT_EQ(only, c.max) << c.what;
  }
}

TEST(MaxKeyCount, LargestCountOfAnyKindAndTrack) {
  const struct {
    const char* what;
    std::vector<std::vector<KeySpec>> tracks;
    int32_t expected;
  } cases[] = {
      {"no tracks", {}, 0},
      {"translation largest", {{{T, 0}, {T, 1}, {T, 2}, {R, 0}, {S, 0}, {S, 1}}}, 3},
      {"rotation of a later track", {{{T, 0}}, {{R, 0}, {R, 1}, {R, 2}, {R, 3}, {T, 0}}}, 4},
      {"scale largest", {{{S, 0}, {S, 1}, {T, 0}}, {}}, 2},
  };
  for (const auto& c : cases) {
    Animation animation;
    FillAnimation(animation, c.tracks, nullptr);
    EXPECT_EQ(MaxKeyCount(animation), c.expected) << c.what;
  }
}

TEST(FindTrack, FirstMatchIgnoringCase) {
  Animation animation;
  FillAnimation(animation, {{}, {}, {}}, nullptr);
  std::snprintf(animation.tracks[0].boneName, kNameBytes, "Spine");
  std::snprintf(animation.tracks[1].boneName, kNameBytes, "SPINE");
  std::snprintf(animation.tracks[2].boneName, kNameBytes, "Head");
  const struct {
    const char* name;
    int32_t expected;
  } cases[] = {{"spine", 0}, {"SPINE", 0},   {"Spine", 0}, {"hEAD", 2},
               {"Spin", -1}, {"Spine2", -1}, {"", -1},     {nullptr, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(FindTrack(animation, c.name), c.expected) << (c.name ? c.name : "(null)");
  }

  Animation none;
  EXPECT_EQ(FindTrack(none, "spine"), -1);
  EXPECT_EQ(FindTrack(none, ""), -1);
}

}  // namespace
}  // namespace vexmara

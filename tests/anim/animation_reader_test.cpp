#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "anim/animation_reader.h"
#include "anim_fixture.h"
#include "writer/ani_writer.h"

namespace vexmara {
namespace {

using testing::ParseAniBytes;
using testing::ParseAniDescription;

constexpr AnimationReadResult kParsed = AnimationReadResult::kParsed;
constexpr AnimationReadResult kRejected = AnimationReadResult::kRejected;
constexpr AnimationReadResult kNotRead = AnimationReadResult::kNotRead;
using namespace vexmara::writer;

// The file of the smallest complete layout: one track with one translation key, one frame.
AniFile MinimalFile() {
  AniFile file;
  file.version = 117;
  AniTrack root;
  root.boneName = "root";
  root.translationKeys = {{0, 1.5f, -2, 3}};
  file.tracks = {root};
  file.frameTimes = {0.25f};
  return file;
}

// Two tracks with keys of every kind, both frame tables.
AniFile RichFile(uint32_t version = 117) {
  AniFile file;
  file.version = version;
  file.name = "walk_cycle";
  AniTrack pelvis;
  pelvis.boneName = "Pelvis";
  pelvis.translationKeys = {{0, 1, 2, 3}, {2, 4, 5, 6}, {1, -1, -2, -3}};
  pelvis.rotationKeys = {MakeRotationKey(0, 0, 0, 0, 1), MakeRotationKey(2, 1, 0, 0, 0)};
  pelvis.scaleKeys = {{0, 1}, {3, 2}};
  AniTrack spine;
  spine.boneName = "Spine";
  spine.translationKeys = {{1, 0, 0, 7}};
  spine.rotationKeys = {MakeRotationKey(1, 0, 1, 0, 0)};
  file.tracks = {pelvis, spine};
  file.frameTimes = {0, 0.5f, 1, 1.5f};
  file.hasSecondFrameTable = true;
  return file;
}

void ExpectVector(const float* value, float x, float y, float z) {
  EXPECT_EQ(value[0], x);
  EXPECT_EQ(value[1], y);
  EXPECT_EQ(value[2], z);
}

TEST(ParseAnimation, MinimalFileGivesOneTrackWithOneKeyAndOneFrameTime) {
  AniPlacement placed;
  const std::vector<uint8_t> bytes = WriteAniFile(MinimalFile(), &placed);
  ASSERT_EQ(bytes.size(), 588u);
  // The layout the format's smallest file has: names at 472, key table at 536, key at 560,
  // frame table at 576.
  ASSERT_EQ(placed.boneNames, (writer::DataRef{456, 64}));
  ASSERT_EQ(placed.translationTable, (writer::DataRef{520, 24}));
  ASSERT_EQ(placed.tracks[0].translationKeys, (writer::DataRef{544, 16}));
  ASSERT_EQ(placed.frameTable, (writer::DataRef{560, 12}));

  ModelStore store;
  ASSERT_EQ(ParseAniBytes(bytes, store), kParsed);
  ASSERT_EQ(store.animations.count, 1);
  const Animation& animation = store.animations[0];
  EXPECT_STREQ(animation.name, "");
  EXPECT_EQ(animation.duration, 0);
  ASSERT_EQ(animation.tracks.count, 1);
  const AnimationTrack& track = animation.tracks[0];
  EXPECT_STREQ(track.boneName, "root");
  ASSERT_EQ(track.translationKeys.count, 1);
  EXPECT_EQ(track.translationKeys[0].frame, 0);
  EXPECT_EQ(track.translationKeys[0].time, 0);
  ExpectVector(track.translationKeys[0].value, 1.5f, -2, 3);
  EXPECT_TRUE(track.rotationKeys.empty());
  EXPECT_TRUE(track.scaleKeys.empty());
  ASSERT_EQ(animation.frameTimes.count, 1);
  EXPECT_EQ(animation.frameTimes[0], 0.25f);
}

TEST(ParseAnimation, DecodesEveryKeyKindInFileOrder) {
  ModelStore store;
  ASSERT_EQ(ParseAniDescription(RichFile(), store), kParsed);
  const Animation& animation = store.animations[0];
  EXPECT_STREQ(animation.name, "walk_cycle");
  ASSERT_EQ(animation.tracks.count, 2);

  const AnimationTrack& pelvis = animation.tracks[0];
  EXPECT_STREQ(pelvis.boneName, "Pelvis");
  // Not sorted by frame: 0, 2, 1 as stored.
  ASSERT_EQ(pelvis.translationKeys.count, 3);
  EXPECT_EQ(pelvis.translationKeys[0].frame, 0);
  EXPECT_EQ(pelvis.translationKeys[1].frame, 2);
  EXPECT_EQ(pelvis.translationKeys[2].frame, 1);
  ExpectVector(pelvis.translationKeys[1].value, 4, 5, 6);
  ExpectVector(pelvis.translationKeys[2].value, -1, -2, -3);

  ASSERT_EQ(pelvis.rotationKeys.count, 2);
  EXPECT_EQ(pelvis.rotationKeys[1].frame, 2);
  EXPECT_EQ(pelvis.rotationKeys[1].value[0], 1);
  EXPECT_EQ(pelvis.rotationKeys[1].value[3], 0);

  // One uniform factor per scale key.
  ASSERT_EQ(pelvis.scaleKeys.count, 2);
  EXPECT_EQ(pelvis.scaleKeys[1].frame, 3);
  ExpectVector(pelvis.scaleKeys[0].value, 1, 1, 1);
  ExpectVector(pelvis.scaleKeys[1].value, 2, 2, 2);

  const AnimationTrack& spine = animation.tracks[1];
  EXPECT_STREQ(spine.boneName, "Spine");
  ASSERT_EQ(spine.translationKeys.count, 1);
  ExpectVector(spine.translationKeys[0].value, 0, 0, 7);
  ASSERT_EQ(spine.rotationKeys.count, 1);
  EXPECT_EQ(spine.rotationKeys[0].value[1], 1);
  EXPECT_TRUE(spine.scaleKeys.empty());

  ASSERT_EQ(animation.frameTimes.count, 4);
  EXPECT_EQ(animation.frameTimes[3], 1.5f);
  for (const AnimationTrack& track : animation.tracks) {
    for (const VectorKey& key : track.translationKeys) EXPECT_EQ(key.time, 0);
  }
}

struct RotationCase {
  int16_t stored[4];
  float expected[4];
};

TEST(ParseAnimation, QuantisedRotationsAreScaledAndNormalised) {
  const float h = std::sqrt(0.5f);
  const RotationCase cases[] = {
      {{0, 0, 0, 0}, {0, 0, 0, 1}},  // no direction: identity
      {{0, 0, 0, 32767}, {0, 0, 0, 1}},
      {{-32768, 0, 0, 0}, {-1, 0, 0, 0}},  // not clamped before normalising
      {{0, 16384, 0, 0}, {0, 1, 0, 0}},    // short quaternions are brought to length 1
      {{3, 0, 0, 0}, {0, 0, 0, 1}},        // length 9.2e-5: too short
      {{0, 0, -4, 0}, {0, 0, -1, 0}},      // length 1.2e-4: long enough
      {{16384, 0, 0, 16384}, {h, 0, 0, h}},
      {{32767, 32767, -32767, 32767}, {0.5f, 0.5f, -0.5f, 0.5f}},
      {{-32768, 0, 0, 32767}, {-0.70711757f, 0, 0, 0.70709599f}},
  };
  AniTrack track;
  track.boneName = "b";
  int32_t frame = 0;
  for (const RotationCase& c : cases) {
    track.rotationKeys.push_back(
        AniRotationKey{frame++, c.stored[0], c.stored[1], c.stored[2], c.stored[3]});
  }
  AniFile file;
  file.tracks = {track};
  ModelStore store;
  ASSERT_EQ(ParseAniDescription(file, store), kParsed);
  const List<RotationKey>& keys = store.animations[0].tracks[0].rotationKeys;
  ASSERT_EQ(keys.count, int32_t(std::size(cases)));
  for (int32_t i = 0; i < keys.count; ++i) {
    const RotationCase& c = cases[i];
    EXPECT_EQ(keys[i].frame, i);
    for (int k = 0; k < 4; ++k) {
      EXPECT_NEAR(keys[i].value[k], c.expected[k], 3e-7)
          << "stored " << c.stored[0] << " " << c.stored[1] << " " << c.stored[2] << " "
          << c.stored[3];
    }
  }
}

TEST(ParseAnimation, NamesOfSixtyFourBytesNeedNoTerminator) {
  const std::string full(64, 'a');
  AniFile file = MinimalFile();
  file.name = full;
  file.tracks[0].boneName = std::string(63, 'b') + "cdef";  // cut to its 64-byte field
  std::vector<uint8_t> bytes = WriteAniFile(file);
  ModelStore store;
  ASSERT_EQ(ParseAniBytes(bytes, store), kParsed);
  EXPECT_EQ(std::string(store.animations[0].name), full);
  EXPECT_EQ(std::string(store.animations[0].tracks[0].boneName), std::string(63, 'b') + "c");

  // A name ends at its first NUL, whatever follows in the field.
  AniPlacement placed;
  file.name = "run";
  file.tracks[0].boneName = "hip";
  bytes = WriteAniFile(file, &placed);
  bytes[76 + 5] = 'X';
  bytes[FilePosition(placed.boneNames) + 63] = 'Y';
  ASSERT_EQ(ParseAniBytes(bytes, store), kParsed);
  EXPECT_STREQ(store.animations[1].name, "run");
  EXPECT_STREQ(store.animations[1].tracks[0].boneName, "hip");
}

TEST(ParseAnimation, HeaderSizeDependsOnTheVersion) {
  const struct {
    uint32_t version;
    size_t headerBytes;
  } cases[] = {
      {0, 984}, {116, 984}, {117, 472}, {118, 472}, {0x80000000u, 472}};  // compared unsigned
  for (const auto& c : cases) {
    AniFile file;  // the header alone: every array absent
    file.version = c.version;
    file.name = "idle";
    const std::vector<uint8_t> bytes = WriteAniFile(file);
    ASSERT_EQ(bytes.size(), c.headerBytes) << c.version;
    ModelStore store;
    EXPECT_EQ(ParseAniBytes(bytes, store), kParsed) << c.version;
    EXPECT_EQ(ParseAniBytes(bytes, store, c.headerBytes - 1), kRejected) << c.version;
    ASSERT_EQ(store.animations.count, 2);
    EXPECT_STREQ(store.animations[1].name, "idle");  // read before the header ran out
  }

  // The same 472 bytes are too short once they say version 116.
  AniFile file;
  std::vector<uint8_t> bytes = WriteAniFile(file);
  bytes[4] = 116;
  ModelStore store;
  EXPECT_EQ(ParseAniBytes(bytes, store), kRejected);
}

TEST(ParseAnimation, RejectedHeaderKeepsItsAnimation) {
  const std::vector<uint8_t> bytes = WriteAniFile(RichFile());
  const struct {
    size_t length;
    const char* name;
  } cases[] = {{0, ""},
               {15, ""},
               {16, ""},
               {139, ""},
               {140, "walk_cycle"},
               {300, "walk_cycle"},
               {471, "walk_cycle"}};
  for (const auto& c : cases) {
    ModelStore store;
    EXPECT_EQ(ParseAniBytes(bytes, store, c.length), kRejected) << c.length;
    ASSERT_EQ(store.animations.count, 1) << c.length;
    const Animation& animation = store.animations[0];
    EXPECT_STREQ(animation.name, c.name) << c.length;
    EXPECT_TRUE(animation.tracks.empty()) << c.length;
    EXPECT_TRUE(animation.frameTimes.empty()) << c.length;
  }

  // A cursor without a buffer is a file without bytes.
  ModelStore store;
  ReadCursor empty;
  EXPECT_EQ(ParseAnimation(empty, store.animations, store.listStorage), kRejected);
  EXPECT_EQ(store.animations.count, 1);
}

struct LayoutCase {
  const char* what;
  std::function<void(AniFile&)> edit;
  AnimationReadResult result;
  int32_t tracks;
  int32_t keys[2][3];  // translation, rotation and scale key counts of tracks 0 and 1
  int32_t frameTimes;
};

TEST(ParseAnimation, AbsentArraysAndCountsReadNothing) {
  const LayoutCase cases[] = {
      {"everything present", [](AniFile&) {}, kParsed, 2, {{3, 2, 2}, {1, 1, 0}}, 4},
      {"three key tables absent",
       [](AniFile& f) {
         f.translationTableArray.absent = f.rotationTableArray.absent = f.scaleTableArray.absent =
             true;
       },
       kParsed,
       2,
       {{0, 0, 0}, {0, 0, 0}},
       4},
      {"key table at offset 0",
       [](AniFile& f) {
         f.translationTableArray.ref = writer::DataRef{0, 48};
       },
       kParsed,
       2,
       {{0, 2, 2}, {0, 1, 0}},
       4},
      {"key table of size 0",
       [](AniFile& f) {
         f.rotationTableArray.ref = writer::DataRef{500, 0};
       },
       kParsed,
       2,
       {{3, 0, 2}, {1, 0, 0}},
       4},
      {"one track's keys absent",
       [](AniFile& f) { f.tracks[0].translationKeysArray.absent = true; },
       kParsed,
       2,
       {{0, 2, 2}, {1, 1, 0}},
       4},
      {"key count 0 skips the track",
       [](AniFile& f) { f.tracks[0].translationKeyCount = 0; },
       kParsed,
       2,
       {{0, 2, 2}, {1, 1, 0}},
       4},
      {"negative key count",
       [](AniFile& f) { f.tracks[1].rotationKeyCount = -3; },
       kParsed,
       2,
       {{3, 2, 2}, {1, 0, 0}},
       4},
      {"fewer keys counted than stored",
       [](AniFile& f) { f.tracks[0].translationKeyCount = 2; },
       kParsed,
       2,
       {{2, 2, 2}, {1, 1, 0}},
       4},
      {"frame table absent",
       [](AniFile& f) { f.frameTableArray.absent = true; },
       kParsed,
       2,
       {{3, 2, 2}, {1, 1, 0}},
       0},
      {"second frame table absent",
       [](AniFile& f) { f.secondFrameTableArray.absent = true; },
       kParsed,
       2,
       {{3, 2, 2}, {1, 1, 0}},
       4},
      {"frame count 0",
       [](AniFile& f) { f.frameCount = 0; },
       kParsed,
       2,
       {{3, 2, 2}, {1, 1, 0}},
       0},
      {"negative frame count",
       [](AniFile& f) { f.frameCount = -4; },
       kParsed,
       2,
       {{3, 2, 2}, {1, 1, 0}},
       0},
      {"track count 0", [](AniFile& f) { f.trackCount = 0; }, kParsed, 0, {}, 4},
      {"negative track count", [](AniFile& f) { f.trackCount = -2; }, kParsed, 0, {}, 4},
      {"bone names absent, key entries empty",
       [](AniFile& f) {
         f.boneNamesArray.absent = true;
         for (AniTrack& t : f.tracks) {
           t.translationKeysArray.absent = t.rotationKeysArray.absent = t.scaleKeysArray.absent =
               true;
         }
       },
       kParsed,
       0,
       {},
       4},
      // Keys for a track that was never named reject the file before the frame table.
      {"bone names absent, keys present",
       [](AniFile& f) { f.boneNamesArray.absent = true; },
       kRejected,
       0,
       {},
       0},
  };
  for (const LayoutCase& c : cases) {
    AniFile file = RichFile();
    c.edit(file);
    ModelStore store;
    EXPECT_EQ(ParseAniDescription(file, store), c.result) << c.what;
    ASSERT_EQ(store.animations.count, 1) << c.what;
    const Animation& animation = store.animations[0];
    EXPECT_STREQ(animation.name, "walk_cycle") << c.what;
    ASSERT_EQ(animation.tracks.count, c.tracks) << c.what;
    for (int32_t j = 0; j < animation.tracks.count; ++j) {
      const AnimationTrack& track = animation.tracks[j];
      EXPECT_STREQ(track.boneName, j == 0 ? "Pelvis" : "Spine") << c.what;
      EXPECT_EQ(track.translationKeys.count, c.keys[j][0]) << c.what << " track " << j;
      EXPECT_EQ(track.rotationKeys.count, c.keys[j][1]) << c.what << " track " << j;
      EXPECT_EQ(track.scaleKeys.count, c.keys[j][2]) << c.what << " track " << j;
    }
    EXPECT_EQ(animation.frameTimes.count, c.frameTimes) << c.what;
  }
}

TEST(ParseAnimation, EveryTruncationIsRejectedInsideTheBuffer) {
  for (uint32_t version : {116u, 117u}) {
    const std::vector<uint8_t> bytes = WriteAniFile(RichFile(version));
    ModelStore full;
    ASSERT_EQ(ParseAniBytes(bytes, full), kParsed);
    const Animation& whole = full.animations[0];
    // The second frame table is last in the file and must lie inside it, so every cut fails.
    for (size_t length = 0; length < bytes.size(); ++length) {
      ModelStore store;
      ASSERT_EQ(ParseAniBytes(bytes, store, length), kRejected)
          << "version " << version << " length " << length;
      ASSERT_EQ(store.animations.count, 1);
      const Animation& part = store.animations[0];
      EXPECT_STREQ(part.name, length >= 140 ? "walk_cycle" : "") << length;
      // Whatever was reserved has the full file's size: a cut never shortens an array.
      if (!part.tracks.empty()) {
        ASSERT_EQ(part.tracks.count, whole.tracks.count) << length;
      }
      for (int32_t j = 0; j < part.tracks.count; ++j) {
        const AnimationTrack& a = part.tracks[j];
        const AnimationTrack& b = whole.tracks[j];
        EXPECT_TRUE(a.translationKeys.empty() || a.translationKeys.count == b.translationKeys.count)
            << length;
        EXPECT_TRUE(a.rotationKeys.empty() || a.rotationKeys.count == b.rotationKeys.count)
            << length;
        EXPECT_TRUE(a.scaleKeys.empty() || a.scaleKeys.count == b.scaleKeys.count) << length;
      }
      EXPECT_TRUE(part.frameTimes.empty() || part.frameTimes.count == whole.frameTimes.count)
          << length;
    }
  }
}

TEST(ParseAnimation, FileCutInsideKeysKeepsTheReservedKeys) {
  AniPlacement placed;
  const std::vector<uint8_t> bytes = WriteAniFile(RichFile(), &placed);
  // Inside the second of track 0's three translation keys.
  const size_t cut = FilePosition(placed.tracks[0].translationKeys) + 16 + 8;
  ModelStore store;
  ASSERT_EQ(ParseAniBytes(bytes, store, cut), kRejected);
  const Animation& animation = store.animations[0];
  ASSERT_EQ(animation.tracks.count, 2);
  EXPECT_STREQ(animation.tracks[1].boneName, "Spine");
  const List<VectorKey>& keys = animation.tracks[0].translationKeys;
  ASSERT_EQ(keys.count, 3);
  ExpectVector(keys[0].value, 1, 2, 3);
  EXPECT_EQ(keys[1].frame, 0);  // never read: still a default key
  ExpectVector(keys[1].value, 0, 0, 0);
  ExpectVector(keys[2].value, 0, 0, 0);
  EXPECT_TRUE(animation.tracks[0].rotationKeys.empty());
  EXPECT_TRUE(animation.tracks[1].translationKeys.empty());
  EXPECT_TRUE(animation.frameTimes.empty());

  // A cut inside the scale keys leaves their defaults at (1, 1, 1).
  const size_t scaleCut = FilePosition(placed.tracks[0].scaleKeys) + 8 + 2;
  ASSERT_EQ(ParseAniBytes(bytes, store, scaleCut), kRejected);
  const List<ScaleKey>& scales = store.animations[1].tracks[0].scaleKeys;
  ASSERT_EQ(scales.count, 2);
  ExpectVector(scales[1].value, 1, 1, 1);
  EXPECT_EQ(store.animations[1].tracks[0].rotationKeys.count, 2);
}

TEST(ParseAnimation, CountsBeyondTheWholeFileAreRejectedBeforeReserving) {
  const size_t size = WriteAniFile(RichFile()).size();
  const struct {
    const char* what;
    std::function<void(AniFile&)> edit;
    int32_t tracks;
    int32_t translationKeys;  // of track 0
    int32_t rotationKeys;     // of track 1
    bool frameTimes;
  } cases[] = {
      {"track count", [](AniFile& f) { f.trackCount = 0x7FFFFFFF; }, 0, 0, 0, false},
      {"track count one past", [&](AniFile& f) { f.trackCount = int32_t(size / 64 + 1); }, 0, 0, 0,
       false},
      {"key count", [](AniFile& f) { f.tracks[0].translationKeyCount = 0x40000000; }, 2, 0, 0,
       false},
      {"key count one past",
       [&](AniFile& f) { f.tracks[0].translationKeyCount = int32_t(size / 16 + 1); }, 2, 0, 0,
       false},
      {"rotation key count", [](AniFile& f) { f.tracks[1].rotationKeyCount = 0x7FFFFFFF; }, 2, 3, 0,
       false},
      {"frame count", [](AniFile& f) { f.frameCount = 0x7FFFFFFF; }, 2, 3, 1, false},
  };
  for (const auto& c : cases) {
    AniFile file = RichFile();
    c.edit(file);
    ModelStore store;
    EXPECT_EQ(ParseAniDescription(file, store), kRejected) << c.what;
    ASSERT_EQ(store.animations.count, 1) << c.what;
    const Animation& animation = store.animations[0];
    ASSERT_EQ(animation.tracks.count, c.tracks) << c.what;
    if (c.tracks > 0) {
      EXPECT_EQ(animation.tracks[0].translationKeys.count, c.translationKeys) << c.what;
      EXPECT_EQ(animation.tracks[1].rotationKeys.count, c.rotationKeys) << c.what;
    }
    EXPECT_EQ(animation.frameTimes.empty(), !c.frameTimes) << c.what;
  }
}

// Many tracks whose translation entries all point at one shared array of keys.
std::vector<uint8_t> SharedKeysFile(int32_t tracks, int32_t keys) {
  AniFile file;
  file.tracks.resize(size_t(tracks));
  for (int32_t j = 0; j < tracks; ++j) file.tracks[size_t(j)].boneName = "bone" + std::to_string(j);
  file.tracks[0].translationKeys.resize(size_t(keys));
  AniPlacement placed;
  WriteAniFile(file, &placed);
  for (int32_t j = 1; j < tracks; ++j) {
    file.tracks[size_t(j)].translationKeyCount = keys;
    file.tracks[size_t(j)].translationKeysArray.ref = placed.tracks[0].translationKeys;
  }
  return WriteAniFile(file);
}

TEST(ParseAnimation, WorkIsBoundedByTheFileSize) {
  // Sharing itself is allowed: 20 tracks reading the same 1000 keys stay within the budget.
  ModelStore store;
  ASSERT_EQ(ParseAniBytes(SharedKeysFile(20, 1000), store), kParsed);
  EXPECT_EQ(store.animations[0].tracks[19].translationKeys.count, 1000);

  // 400 tracks reading the same 1000 keys would store about 8 MB from a file of 54 KB; the
  // file is rejected at the track where the budget runs out, keeping the tracks before it.
  const std::vector<uint8_t> hostile = SharedKeysFile(400, 1000);
  ASSERT_LT(hostile.size(), 60000u);
  EXPECT_EQ(ParseAniBytes(hostile, store), kRejected);
  const Animation& animation = store.animations[1];
  ASSERT_EQ(animation.tracks.count, 400);
  EXPECT_EQ(animation.tracks[0].translationKeys.count, 1000);
  EXPECT_TRUE(animation.tracks[399].translationKeys.empty());
  int32_t filled = 0;
  for (const AnimationTrack& track : animation.tracks)
    filled += track.translationKeys.empty() ? 0 : 1;
  EXPECT_GT(filled, 20);
  EXPECT_LT(filled, 400);
}

TEST(ParseAnimation, AppendingKeepsEarlierAnimationsInPlace) {
  ModelStore store;
  const std::vector<uint8_t> bytes = WriteAniFile(RichFile());
  ASSERT_EQ(ParseAniBytes(bytes, store), kParsed);
  const AnimationTrack* firstTracks = store.animations[0].tracks.items;
  for (int i = 0; i < 300; ++i) ASSERT_EQ(ParseAniBytes(bytes, store), kParsed);
  ASSERT_EQ(store.animations.count, 301);
  // Earlier records move with their arrays: nothing is copied or lost on growth.
  EXPECT_EQ(store.animations[0].tracks.items, firstTracks);
  EXPECT_STREQ(store.animations[0].tracks[1].boneName, "Spine");
  EXPECT_EQ(store.animations[0].tracks[0].translationKeys.count, 3);
  EXPECT_STREQ(store.animations[300].name, "walk_cycle");
}

class ReadAnimationFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = ::testing::TempDir() + "vexmara_anim_" + info->name() + ".ani";
  }
  void TearDown() override { std::remove(path_.c_str()); }

  std::u16string WidePath() const { return std::u16string(path_.begin(), path_.end()); }

  std::string path_;
};

TEST_F(ReadAnimationFileTest, ReadsAFileFromDisk) {
  ASSERT_TRUE(SaveBytes(path_, WriteAniFile(RichFile())));
  ModelStore store;
  ReadCursor cursor;
  EXPECT_EQ(ReadAnimationFile(WidePath().c_str(), cursor, store.animations, store.listStorage),
            kParsed);
  ASSERT_EQ(store.animations.count, 1);
  EXPECT_STREQ(store.animations[0].name, "walk_cycle");
  EXPECT_EQ(store.animations[0].tracks.count, 2);
  EXPECT_EQ(cursor.buffer, nullptr);  // released after the parse
  EXPECT_EQ(cursor.length, 0u);
}

TEST_F(ReadAnimationFileTest, SamePathTwiceGivesTwoAnimations) {
  ASSERT_TRUE(SaveBytes(path_, WriteAniFile(MinimalFile())));
  ModelStore store;
  ReadCursor cursor;
  EXPECT_EQ(ReadAnimationFile(WidePath().c_str(), cursor, store.animations, store.listStorage),
            kParsed);
  EXPECT_EQ(ReadAnimationFile(WidePath().c_str(), cursor, store.animations, store.listStorage),
            kParsed);
  ASSERT_EQ(store.animations.count, 2);
  EXPECT_STREQ(store.animations[1].tracks[0].boneName, "root");
}

TEST_F(ReadAnimationFileTest, MissingFileAddsNothing) {
  ModelStore store;
  ReadCursor cursor;
  // Whatever the cursor held before is released first.
  cursor.Adopt(platform::AllocateBuffer(8), 8);
  EXPECT_EQ(ReadAnimationFile(WidePath().c_str(), cursor, store.animations, store.listStorage),
            kNotRead);
  EXPECT_EQ(ReadAnimationFile(nullptr, cursor, store.animations, store.listStorage), kNotRead);
  EXPECT_EQ(store.animations.count, 0);
  EXPECT_EQ(cursor.buffer, nullptr);
}

TEST_F(ReadAnimationFileTest, ShortFileAddsAnEmptyAnimation) {
  ASSERT_TRUE(SaveBytes(path_, std::vector<uint8_t>(10, 0xAB)));
  ModelStore store;
  ReadCursor cursor;
  EXPECT_EQ(ReadAnimationFile(WidePath().c_str(), cursor, store.animations, store.listStorage),
            kRejected);
  ASSERT_EQ(store.animations.count, 1);
  EXPECT_STREQ(store.animations[0].name, "");
  EXPECT_TRUE(store.animations[0].tracks.empty());
}

}  // namespace
}  // namespace vexmara

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "read_le.h"
#include "writer/ani_writer.h"

namespace vexmara::writer {
namespace {

using namespace testing;  // the little-endian readers

TEST(AniWriter, MinimalFileMatchesTheSmallestCompleteAnimation) {
  AniFile file;
  AniTrack track;
  track.boneName = "root";
  track.translationKeys = {{0, 1.0f, 2.0f, 3.0f}};
  file.tracks = {track};
  file.frameTimes = {0.5f};
  AniPlacement p;
  const Bytes bytes = WriteAniFile(file, &p);

  Bytes expected(588, 0);
  PutU32(expected, 4, 117);
  PutU32(expected, 192, 1);
  PutU32(expected, 196, 456);
  PutU32(expected, 200, 64);
  PutU32(expected, 216, 1);
  PutU32(expected, 220, 520);
  PutU32(expected, 224, 24);
  PutU32(expected, 360, 560);
  PutU32(expected, 364, 12);
  std::memcpy(&expected[472], "root", 4);
  PutU32(expected, 536, 1);
  PutU32(expected, 540, 544);
  PutU32(expected, 544, 16);
  PutF32(expected, 564, 1.0f);
  PutF32(expected, 568, 2.0f);
  PutF32(expected, 572, 3.0f);
  PutF32(expected, 576, 0.5f);
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(p.headerBytes, 472u);
  EXPECT_EQ(p.translationTable, (DataRef{520, 24}));
  EXPECT_EQ(p.tracks.at(0).translationKeys, (DataRef{544, 16}));
  EXPECT_EQ(p.rotationTable, DataRef{});
}

// Track "hip": two translation keys and one rotation key; track "knee": two rotation keys and
// one scale key; three frame times and the second frame table.
AniFile TwoTracks(uint32_t version) {
  AniFile file;
  file.version = version;
  file.name = "walk";
  AniTrack hip;
  hip.boneName = "hip";
  hip.translationKeys = {{0, 1, 2, 3}, {5, 4, 5, 6}};
  hip.rotationKeys = {MakeRotationKey(0, 0, 0, 0, 1)};
  AniTrack knee;
  knee.boneName = "knee";
  knee.rotationKeys = {{2, 1, 2, 3, 4}, {7, -32768, 0, 0, 100}};
  knee.scaleKeys = {{3, 2.0f}};
  file.tracks = {hip, knee};
  file.frameTimes = {0, 1.5f, 3};
  file.hasSecondFrameTable = true;
  return file;
}

class AniVersions : public ::testing::TestWithParam<std::pair<uint32_t, uint32_t>> {};

TEST_P(AniVersions, ArraysFollowTheHeaderInReadingOrder) {
  const auto [version, header] = GetParam();
  AniPlacement p;
  const Bytes b = WriteAniFile(TwoTracks(version), &p);

  const uint32_t names = header;
  const uint32_t translations = names + 2 * 64;
  const uint32_t hipMoves = translations + 2 * 24;
  const uint32_t rotations = hipMoves + 2 * 16;
  const uint32_t hipTurns = rotations + 2 * 24;
  const uint32_t kneeTurns = hipTurns + 12;
  const uint32_t scales = kneeTurns + 2 * 12;
  const uint32_t kneeScales = scales + 2 * 24;
  const uint32_t frames = kneeScales + 8;
  const uint32_t secondFrames = frames + 3 * 12;
  ASSERT_EQ(b.size(), secondFrames + 3 * 12);
  EXPECT_EQ(p.headerBytes, header);

  EXPECT_EQ(U32(b, 4), version);
  EXPECT_EQ(Text(b, 76, 64), "walk");
  EXPECT_EQ(I32(b, 192), 2);
  EXPECT_EQ(I32(b, 216), 3);
  EXPECT_EQ(Ref(b, 196), std::make_pair(names - 16, 128u));
  EXPECT_EQ(Ref(b, 220), std::make_pair(translations - 16, 48u));
  EXPECT_EQ(Ref(b, 240), std::make_pair(rotations - 16, 48u));
  EXPECT_EQ(Ref(b, 256), std::make_pair(scales - 16, 48u));
  EXPECT_EQ(Ref(b, 360), std::make_pair(frames - 16, 36u));
  EXPECT_EQ(Ref(b, 376), std::make_pair(secondFrames - 16, 36u));
  EXPECT_EQ(Text(b, names, 64), "hip");
  EXPECT_EQ(Text(b, names + 64, 64), "knee");

  // Key table entries: K, then the keys' DataRef; (0, 0) for a track without keys.
  EXPECT_EQ(I32(b, translations), 2);
  EXPECT_EQ(Ref(b, translations + 4), std::make_pair(hipMoves - 16, 32u));
  EXPECT_EQ(I32(b, translations + 24), 0);
  EXPECT_EQ(Ref(b, translations + 28), std::make_pair(0u, 0u));
  EXPECT_EQ(I32(b, rotations), 1);
  EXPECT_EQ(Ref(b, rotations + 4), std::make_pair(hipTurns - 16, 12u));
  EXPECT_EQ(I32(b, rotations + 24), 2);
  EXPECT_EQ(Ref(b, rotations + 28), std::make_pair(kneeTurns - 16, 24u));
  EXPECT_EQ(I32(b, scales), 0);
  EXPECT_EQ(Ref(b, scales + 4), std::make_pair(0u, 0u));
  EXPECT_EQ(I32(b, scales + 24), 1);
  EXPECT_EQ(Ref(b, scales + 28), std::make_pair(kneeScales - 16, 8u));

  EXPECT_EQ(I32(b, hipMoves + 16), 5);
  EXPECT_EQ(F32(b, hipMoves + 16 + 12), 6.0f);
  EXPECT_EQ(I16(b, hipTurns + 10), 32767);
  EXPECT_EQ(I32(b, kneeTurns + 12), 7);
  EXPECT_EQ(I16(b, kneeTurns + 12 + 4), -32768);
  EXPECT_EQ(I16(b, kneeTurns + 12 + 10), 100);
  EXPECT_EQ(I32(b, kneeScales), 3);
  EXPECT_EQ(F32(b, kneeScales + 4), 2.0f);
  EXPECT_EQ(F32(b, frames + 12), 1.5f);
  EXPECT_EQ(F32(b, frames + 24), 3.0f);

  EXPECT_EQ(p.tracks.at(1).rotationKeys, (DataRef{kneeTurns - 16, 24}));
  EXPECT_EQ(p.tracks.at(0).scaleKeys, DataRef{});
  EXPECT_EQ(p.secondFrameTable, (DataRef{secondFrames - 16, 36}));
}

INSTANTIATE_TEST_SUITE_P(Headers, AniVersions,
                         ::testing::Values(std::make_pair(117u, 472u), std::make_pair(116u, 984u),
                                           std::make_pair(0u, 984u), std::make_pair(400u, 472u)),
                         [](const auto& info) { return "v" + std::to_string(info.param.first); });

struct AbsentCase {
  const char* name;
  std::function<void(AniFile&)> leaveOut;
  size_t refAt;  // for the version-117 file
  std::optional<size_t> countAt;
  int32_t count;
  size_t bytesDropped;
};

TEST(AniWriter, AbsentArraysWriteZeroRefsAndKeepCounts) {
  const size_t translations = 472 + 128;
  const AbsentCase cases[] = {
      {"bone names", [](AniFile& f) { f.boneNamesArray.absent = true; }, 196, 192, 2, 128},
      {"translation table", [](AniFile& f) { f.translationTableArray.absent = true; }, 220,
       std::nullopt, 0, 48 + 32},
      {"rotation table", [](AniFile& f) { f.rotationTableArray.absent = true; }, 240, std::nullopt,
       0, 48 + 36},
      {"scale table", [](AniFile& f) { f.scaleTableArray.absent = true; }, 256, std::nullopt, 0,
       48 + 8},
      {"frame table", [](AniFile& f) { f.frameTableArray.absent = true; }, 360, 216, 3, 36},
      {"second frame table", [](AniFile& f) { f.hasSecondFrameTable = false; }, 376, 216, 3, 36},
      {"hip translation keys", [](AniFile& f) { f.tracks[0].translationKeysArray.absent = true; },
       translations + 4, translations, 2, 32},
  };
  const Bytes reference = WriteAniFile(TwoTracks(117));
  for (const AbsentCase& c : cases) {
    SCOPED_TRACE(c.name);
    AniFile file = TwoTracks(117);
    c.leaveOut(file);
    const Bytes b = WriteAniFile(file);
    EXPECT_EQ(b.size(), reference.size() - c.bytesDropped);
    ASSERT_NE(Ref(reference, c.refAt), std::make_pair(0u, 0u));
    EXPECT_EQ(Ref(b, c.refAt), std::make_pair(0u, 0u));
    if (c.countAt) {
      EXPECT_EQ(I32(b, *c.countAt), c.count);
    }
  }
}

TEST(AniWriter, CountOverridesChangeOnlyTheirCountFields) {
  const Bytes reference = WriteAniFile(TwoTracks(117));
  AniFile file = TwoTracks(117);
  file.trackCount = 7;
  file.frameCount = 0;
  file.tracks[1].rotationKeyCount = -1;
  file.tracks[0].translationKeyCount = 9;
  const Bytes b = WriteAniFile(file);
  ASSERT_EQ(b.size(), reference.size());

  const size_t translations = 472 + 128, rotations = translations + 48 + 32;
  const std::vector<std::pair<size_t, int32_t>> fields = {
      {192, 7}, {216, 0}, {rotations + 24, -1}, {translations, 9}};
  for (const auto& [at, value] : fields) EXPECT_EQ(I32(b, at), value) << "count at " << at;
  for (size_t at : DifferingPositions(reference, b)) {
    bool inField = false;
    for (const auto& field : fields)
      inField = inField || (at >= field.first && at < field.first + 4);
    EXPECT_TRUE(inField) << "unexpected change at " << at;
  }
}

TEST(AniWriter, KeyCountWithoutKeysStillWritesItsTable) {
  AniFile file;
  AniTrack track;
  track.boneName = "arm";
  track.scaleKeyCount = 3;
  file.tracks = {track};
  const Bytes b = WriteAniFile(file);
  ASSERT_EQ(b.size(), 472u + 64 + 24);
  EXPECT_EQ(Ref(b, 220), std::make_pair(0u, 0u));
  EXPECT_EQ(Ref(b, 240), std::make_pair(0u, 0u));
  EXPECT_EQ(Ref(b, 256), std::make_pair(472u + 64 - 16, 24u));
  EXPECT_EQ(I32(b, 472 + 64), 3);
  EXPECT_EQ(Ref(b, 472 + 64 + 4), std::make_pair(0u, 0u));
  EXPECT_EQ(Ref(b, 360), std::make_pair(0u, 0u));  // no frame times, no frame table
}

TEST(AniWriter, RefOverridesAreWrittenVerbatim) {
  AniPlacement first;
  WriteAniFile(TwoTracks(117), &first);
  AniFile file = TwoTracks(117);
  file.tracks[0].rotationKeysArray = {true,
                                      first.tracks[1].rotationKeys};  // hip reuses knee's keys
  file.scaleTableArray.ref = DataRef{0x7FFFFFFFu, 24};
  AniPlacement p;
  const Bytes b = WriteAniFile(file, &p);
  EXPECT_EQ(Ref(b, FilePosition(p.rotationTable) + 4),
            std::make_pair(first.tracks[1].rotationKeys.offset, first.tracks[1].rotationKeys.size));
  EXPECT_EQ(Ref(b, 256), std::make_pair(0x7FFFFFFFu, 24u));
  EXPECT_EQ(I32(b, FilePosition(p.scaleTable) + 24), 1);  // the table itself is still written
}

TEST(AniWriter, FullLengthNamesAreWrittenWithoutTerminator) {
  AniFile file;
  file.name = std::string(64, 'n');
  AniTrack track;
  track.boneName = std::string(80, 'b');
  file.tracks = {track, track};
  const Bytes b = WriteAniFile(file);
  EXPECT_EQ(Text(b, 76, 64), std::string(64, 'n'));
  EXPECT_EQ(b.at(140), 0);  // the name did not spill past its field
  EXPECT_EQ(Text(b, 472, 64), std::string(64, 'b'));
  EXPECT_EQ(Text(b, 472 + 64, 64), std::string(64, 'b'));
}

TEST(AniWriter, QuantizeRotationScalesAndRounds) {
  const struct {
    float component;
    int16_t stored;
  } cases[] = {{1.0f, 32767},   {-1.0f, -32767},      {0.0f, 0},     {0.5f, 16384},
               {-0.5f, -16384}, {0.70710678f, 23170}, {1.5f, 32767}, {-2.0f, -32768}};
  for (const auto& c : cases) EXPECT_EQ(QuantizeRotation(c.component), c.stored) << c.component;
  const AniRotationKey key = MakeRotationKey(4, 0.0f, 0.0f, 0.70710678f, 0.70710678f);
  EXPECT_EQ(key.frame, 4);
  EXPECT_EQ(key.z, 23170);
  EXPECT_EQ(key.w, 23170);
}

}  // namespace
}  // namespace vexmara::writer

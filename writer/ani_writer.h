// Writer of animation files (.ani) from a plain description. After the header (984 bytes below
// version 117, 472 from 117 on) the arrays follow in this order: bone-name table; translation
// key table, then every track's translation keys; rotation table and keys; scale table and
// keys; frame table; second frame table. Bytes the importer ignores are written as zero.
//
// As for models, every array can be left out, given a count that differs from its elements,
// or given an explicit DataRef.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "writer/common.h"

namespace vexmara::writer {

constexpr uint32_t kAniNameBytes = 64;  // animation name and bone names
constexpr uint32_t kAniKeyTableEntryBytes = 24;
constexpr uint32_t kAniTranslationKeyBytes = 16;
constexpr uint32_t kAniRotationKeyBytes = 12;
constexpr uint32_t kAniScaleKeyBytes = 8;
constexpr uint32_t kAniFrameEntryBytes = 12;

// Header size for a version: 984 below 117, else 472.
uint32_t AniHeaderBytes(uint32_t version);

// A quaternion component as stored: round(c * 32767), clamped to the int16 range.
int16_t QuantizeRotation(float component);

struct AniTranslationKey {
  int32_t frame = 0;
  float x = 0, y = 0, z = 0;
};

// Components as stored (quantised); see QuantizeRotation and MakeRotationKey.
struct AniRotationKey {
  int32_t frame = 0;
  int16_t x = 0, y = 0, z = 0, w = 32767;
};

// A rotation key from a float quaternion x, y, z, w.
AniRotationKey MakeRotationKey(int32_t frame, float x, float y, float z, float w);

struct AniScaleKey {
  int32_t frame = 0;
  float s = 1;
};

struct AniTrack {
  std::string boneName;  // 64-byte field; 64 characters or more are written without NUL
  std::vector<AniTranslationKey> translationKeys;
  std::vector<AniRotationKey> rotationKeys;
  std::vector<AniScaleKey> scaleKeys;

  // K of this track's entry in each key table; default: the number of keys.
  std::optional<int32_t> translationKeyCount;
  std::optional<int32_t> rotationKeyCount;
  std::optional<int32_t> scaleKeyCount;
  ArrayOverride translationKeysArray;
  ArrayOverride rotationKeysArray;
  ArrayOverride scaleKeysArray;
};

struct AniFile {
  uint32_t version = 117;
  std::string name;  // 64-byte field; 64 characters or more are written without NUL
  std::vector<AniTrack> tracks;
  std::vector<float> frameTimes;
  // The second frame table holds one 12-byte entry per frame time (a copy of the frame table).
  bool hasSecondFrameTable = false;

  std::optional<int32_t> trackCount;  // T, default: tracks.size()
  std::optional<int32_t> frameCount;  // F, default: frameTimes.size()
  // The bone-name table is written when there are tracks; a key table when some track has keys
  // of its kind or a key count override for it; the frame tables when there are frame times.
  ArrayOverride boneNamesArray;
  ArrayOverride translationTableArray;
  ArrayOverride rotationTableArray;
  ArrayOverride scaleTableArray;
  ArrayOverride frameTableArray;
  ArrayOverride secondFrameTableArray;
};

// Where WriteAniFile put things: real placements ((0, 0) when not written), whatever DataRef
// an override made the file say.
struct AniTrackPlacement {
  DataRef translationKeys;
  DataRef rotationKeys;
  DataRef scaleKeys;
};

struct AniPlacement {
  uint32_t headerBytes = 0;
  DataRef boneNames;
  DataRef translationTable;
  DataRef rotationTable;
  DataRef scaleTable;
  DataRef frameTable;
  DataRef secondFrameTable;
  std::vector<AniTrackPlacement> tracks;  // one per track of the description
};

std::vector<uint8_t> WriteAniFile(const AniFile& file, AniPlacement* placement = nullptr);

}  // namespace vexmara::writer

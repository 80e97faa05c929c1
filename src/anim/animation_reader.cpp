// The animation file: a fixed header (472 bytes, or 984 for versions below 117) whose DataRefs
// locate the bone-name table, three key tables (translation, rotation, scale) with one entry
// per track, and two frame tables. Each array is reached through its own DataRef and every
// record is tested to lie inside the file before it is decoded in place.
#include "anim/animation_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "abi/text.h"
#include "model/parse_budget.h"
#include "platform/platform.h"

namespace vexmara {
namespace {

// Header fields (absolute file positions).
constexpr uint32_t kFileHeaderBytes = 16;
constexpr uint32_t kVersionAt = 4;
constexpr uint32_t kNameAt = 76;
constexpr uint32_t kFileNameBytes = 64;  // animation name and bone names
constexpr uint32_t kTrackCountAt = 192;
constexpr uint32_t kBoneNamesRefAt = 196;
constexpr uint32_t kFrameCountAt = 216;
constexpr uint32_t kTranslationTableRefAt = 220;
constexpr uint32_t kRotationTableRefAt = 240;
constexpr uint32_t kScaleTableRefAt = 256;
constexpr uint32_t kFrameTableRefAt = 360;
constexpr uint32_t kSecondFrameTableRefAt = 376;
constexpr uint32_t kHeaderBytes = 472;
// Versions below this one carry two further 256-byte blocks after the header.
constexpr uint32_t kShortHeaderVersion = 117;
constexpr uint32_t kLongHeaderBytes = kHeaderBytes + 512;

constexpr uint32_t kKeyTableEntryBytes = 24;
constexpr uint32_t kTranslationKeyBytes = 16;
constexpr uint32_t kRotationKeyBytes = 12;
constexpr uint32_t kScaleKeyBytes = 8;
constexpr uint32_t kFrameEntryBytes = 12;

// 1/32767 rounded to float32: the scale of a stored quaternion component.
constexpr float kRotationUnit = std::bit_cast<float>(0x38000100u);
// Below this length a stored quaternion carries no direction and becomes the identity.
constexpr float kShortestRotation = std::bit_cast<float>(0x38d1b717u);

struct AnimationParse {
  const ReadCursor& cursor;
  ListArena& keyStorage;  // where every track's keys are kept
  ParseBudget budget;     // the keys of many tracks may point at the same bytes

  AnimationParse(const ReadCursor& c, ListArena& storage)
      : cursor(c), keyStorage(storage), budget(c.length) {}

  // The `bytes` bytes at file position `start`, or null when they do not lie inside the file.
  const uint8_t* At(uint64_t start, uint64_t bytes) const {
    return cursor.Holds(start, bytes) ? cursor.buffer + start : nullptr;
  }

  // Whether `n` records of `recordBytes` bytes (each stored in `storedBytes`) may be reserved:
  // that many records must fit in the whole file, and reading and storing them must stay
  // within the budget. The test is against the whole file, not the bytes left after the
  // array's start, so a file cut inside an array still gets the array's elements reserved and
  // keeps those read before the cut.
  bool Admit(int32_t n, uint64_t recordBytes, uint64_t storedBytes) {
    const uint64_t count = uint64_t(n);
    if (count * recordBytes > cursor.length) return false;
    return budget.Spend(count * std::max(recordBytes, storedBytes));
  }
};

struct Header {
  uint32_t version = 0;
  int32_t trackCount = 0;
  int32_t frameCount = 0;
  DataRef boneNames;
  DataRef translationTable;
  DataRef rotationTable;
  DataRef scaleTable;
  DataRef frameTable;
  DataRef secondFrameTable;
};

// Reads the header front to back; the name is stored as soon as its field is known to lie
// inside the file, so a file that ends later in the header keeps it.
bool ReadHeader(const AnimationParse& parse, Animation& animation, Header& header) {
  const uint8_t* file = parse.At(0, kFileHeaderBytes);
  if (file == nullptr) return false;
  header.version = LoadAt<uint32_t>(file + kVersionAt);

  if (parse.At(0, uint64_t(kNameAt) + kFileNameBytes) == nullptr) return false;
  CopyNameField(animation.name, file + kNameAt, kFileNameBytes);

  if (parse.At(0, kHeaderBytes) == nullptr) return false;
  header.trackCount = LoadAt<int32_t>(file + kTrackCountAt);
  header.boneNames = LoadDataRef(file + kBoneNamesRefAt);
  header.frameCount = LoadAt<int32_t>(file + kFrameCountAt);
  header.translationTable = LoadDataRef(file + kTranslationTableRefAt);
  header.rotationTable = LoadDataRef(file + kRotationTableRefAt);
  header.scaleTable = LoadDataRef(file + kScaleTableRefAt);
  header.frameTable = LoadDataRef(file + kFrameTableRefAt);
  header.secondFrameTable = LoadDataRef(file + kSecondFrameTableRefAt);

  if (header.version < kShortHeaderVersion && parse.At(0, kLongHeaderBytes) == nullptr)
    return false;
  return true;
}

bool ReadBoneNames(AnimationParse& parse, Animation& animation, const Header& header) {
  const int32_t count = header.trackCount;
  if (!header.boneNames.present() || count <= 0) return true;
  if (!parse.Admit(count, kFileNameBytes, sizeof(AnimationTrack))) return false;
  if (!animation.tracks.Reset(count)) return false;
  for (int32_t j = 0; j < count; ++j) {
    const uint8_t* name =
        parse.At(header.boneNames.start() + uint64_t(j) * kFileNameBytes, kFileNameBytes);
    if (name == nullptr) return false;
    CopyNameField(animation.tracks[j].boneName, name, kFileNameBytes);
  }
  return true;
}

void DecodeTranslation(const uint8_t* p, VectorKey& key) {
  for (int k = 0; k < 3; ++k) key.value[k] = LoadAt<float>(p + 4 * k);
}

void DecodeScale(const uint8_t* p, ScaleKey& key) {
  const float s = LoadAt<float>(p);
  key.value[0] = key.value[1] = key.value[2] = s;
}

// A quantised quaternion, scaled and normalised; one too short to normalise is the identity.
// The components are not clamped first, so -32768 gives a little below -1 before normalising.
void DecodeRotation(const uint8_t* p, RotationKey& key) {
  float q[4];
  for (int k = 0; k < 4; ++k) q[k] = float(LoadAt<int16_t>(p + 2 * k)) * kRotationUnit;
  const float sum = q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3];
  const float length = sum == 0.0f ? 0.0f : std::sqrt(sum);
  if (length > kShortestRotation) {
    const float inverse = 1.0f / length;
    for (int k = 0; k < 4; ++k) key.value[k] = q[k] * inverse;
  } else {
    key.value[0] = key.value[1] = key.value[2] = 0.0f;
    key.value[3] = 1.0f;
  }
}

// One key table: an entry per track with the count and location of that track's keys of one
// kind. A key entry that names keys for a track the file has no name for rejects the file.
template <typename Key, typename Decode>
bool ReadKeyTable(AnimationParse& parse, Animation& animation, DataRef table, int32_t trackCount,
                  List<Key> AnimationTrack::*member, uint32_t keyBytes, Decode decode) {
  if (!table.present() || trackCount <= 0) return true;
  for (int32_t j = 0; j < trackCount; ++j) {
    const uint8_t* entry =
        parse.At(table.start() + uint64_t(j) * kKeyTableEntryBytes, kKeyTableEntryBytes);
    if (entry == nullptr || !parse.budget.Spend(kKeyTableEntryBytes)) return false;
    const int32_t count = LoadAt<int32_t>(entry);
    const DataRef keysRef = LoadDataRef(entry + 4);
    if (!keysRef.present() || count == 0) continue;
    if (j >= animation.tracks.count) return false;
    if (count < 0) continue;

    if (!parse.Admit(count, keyBytes, sizeof(Key))) return false;
    List<Key>& keys = animation.tracks[j].*member;
    if (!keys.Reset(parse.keyStorage, count)) return false;
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* stored = parse.At(keysRef.start() + uint64_t(i) * keyBytes, keyBytes);
      if (stored == nullptr) return false;
      keys[i].frame = LoadAt<int32_t>(stored);
      decode(stored + 4, keys[i]);
    }
  }
  return true;
}

bool ReadFrameTables(AnimationParse& parse, Animation& animation, const Header& header) {
  const int32_t count = header.frameCount;
  if (count <= 0) return true;
  if (header.frameTable.present()) {
    if (!parse.Admit(count, kFrameEntryBytes, sizeof(float))) return false;
    if (!animation.frameTimes.Reset(count)) return false;
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* entry =
          parse.At(header.frameTable.start() + uint64_t(i) * kFrameEntryBytes, kFrameEntryBytes);
      if (entry == nullptr) return false;
      animation.frameTimes[i] = LoadAt<float>(entry);
    }
  }
  // The second table carries nothing the importer uses, but it must lie inside the file.
  if (header.secondFrameTable.present()) {
    const uint64_t bytes = uint64_t(count) * kFrameEntryBytes;
    if (parse.At(header.secondFrameTable.start(), bytes) == nullptr || !parse.budget.Spend(bytes))
      return false;
  }
  return true;
}

// The file front to back into `animation`; false at the first fault.
bool ParseFile(AnimationParse& parse, Animation& animation) {
  Header header;
  return ReadHeader(parse, animation, header) && ReadBoneNames(parse, animation, header) &&
         ReadKeyTable(parse, animation, header.translationTable, header.trackCount,
                      &AnimationTrack::translationKeys, kTranslationKeyBytes, DecodeTranslation) &&
         ReadKeyTable(parse, animation, header.rotationTable, header.trackCount,
                      &AnimationTrack::rotationKeys, kRotationKeyBytes, DecodeRotation) &&
         ReadKeyTable(parse, animation, header.scaleTable, header.trackCount,
                      &AnimationTrack::scaleKeys, kScaleKeyBytes, DecodeScale) &&
         ReadFrameTables(parse, animation, header);
}

}  // namespace

AnimationReadResult ParseAnimation(ReadCursor& cursor, List<Animation>& animations,
                                   ListArena& keyStorage) {
  Animation* animation = animations.Append();
  if (animation == nullptr) return AnimationReadResult::kNotRead;
  AnimationParse parse(cursor, keyStorage);
  return ParseFile(parse, *animation) ? AnimationReadResult::kParsed
                                      : AnimationReadResult::kRejected;
}

AnimationReadResult ReadAnimationFile(const char16_t* path, ReadCursor& cursor,
                                      List<Animation>& animations, ListArena& keyStorage) {
  cursor.Release();
  if (path == nullptr) return AnimationReadResult::kNotRead;
  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  if (platform::ReadWholeFile(path, &bytes, &length) != platform::FileReadResult::kOk) {
    return AnimationReadResult::kNotRead;
  }
  cursor.Adopt(bytes, length);
  const AnimationReadResult result = ParseAnimation(cursor, animations, keyStorage);
  cursor.Release();  // the file buffer never outlives the parse
  return result;
}

}  // namespace vexmara

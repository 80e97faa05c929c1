#include "writer/ani_writer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "writer/byte_writer.h"

namespace vexmara::writer {
namespace {

using detail::ByteWriter;

// Header fields (absolute positions).
constexpr size_t kVersionAt = 4;
constexpr size_t kNameAt = 76;
constexpr size_t kTrackCountAt = 192;
constexpr size_t kBoneNamesRefAt = 196;
constexpr size_t kFrameCountAt = 216;
constexpr size_t kTranslationTableRefAt = 220;
constexpr size_t kRotationTableRefAt = 240;
constexpr size_t kScaleTableRefAt = 256;
constexpr size_t kFrameTableRefAt = 360;
constexpr size_t kSecondFrameTableRefAt = 376;

int32_t CountOf(const std::optional<int32_t>& override, size_t elements) {
  return override.value_or(static_cast<int32_t>(elements));
}

void PutKey(ByteWriter& out, size_t at, const AniTranslationKey& key) {
  out.I32(at, key.frame);
  out.F32(at + 4, key.x);
  out.F32(at + 8, key.y);
  out.F32(at + 12, key.z);
}

void PutKey(ByteWriter& out, size_t at, const AniRotationKey& key) {
  out.I32(at, key.frame);
  out.I16(at + 4, key.x);
  out.I16(at + 6, key.y);
  out.I16(at + 8, key.z);
  out.I16(at + 10, key.w);
}

void PutKey(ByteWriter& out, size_t at, const AniScaleKey& key) {
  out.I32(at, key.frame);
  out.F32(at + 4, key.s);
}

// Which members of a track and of its placement belong to one kind of key.
template <typename Key>
struct KeyKind {
  std::vector<Key> AniTrack::*keys;
  std::optional<int32_t> AniTrack::*count;
  ArrayOverride AniTrack::*array;
  DataRef AniTrackPlacement::*placed;
  uint32_t keyBytes;
};

// One key table (an entry per track) followed by every track's keys of that kind. The table
// is written when some track has keys or a key count for it.
template <typename Key>
DataRef PutKeyTable(ByteWriter& out, size_t refAt, const ArrayOverride& how,
                    const std::vector<AniTrack>& tracks, const KeyKind<Key>& kind,
                    std::vector<AniTrackPlacement>& placed) {
  const bool used = std::any_of(tracks.begin(), tracks.end(), [&](const AniTrack& track) {
    return !(track.*kind.keys).empty() || (track.*kind.count).has_value();
  });
  const DataRef table =
      out.PlaceArray(refAt, used ? tracks.size() : 0, kAniKeyTableEntryBytes, how);
  if (table.size == 0) return table;

  for (size_t j = 0; j < tracks.size(); ++j) {
    const AniTrack& track = tracks[j];
    const std::vector<Key>& keys = track.*kind.keys;
    const size_t entry = FilePosition(table) + j * kAniKeyTableEntryBytes;
    out.I32(entry, CountOf(track.*kind.count, keys.size()));
    const DataRef at = out.PlaceArray(entry + 4, keys.size(), kind.keyBytes, track.*kind.array);
    if (at.size > 0) {
      for (size_t k = 0; k < keys.size(); ++k)
        PutKey(out, FilePosition(at) + k * kind.keyBytes, keys[k]);
    }
    placed[j].*kind.placed = at;
  }
  return table;
}

DataRef PutFrameTable(ByteWriter& out, size_t refAt, const ArrayOverride& how,
                      const std::vector<float>& times, bool wanted) {
  const DataRef table = out.PlaceArray(refAt, wanted ? times.size() : 0, kAniFrameEntryBytes, how);
  if (table.size > 0) {
    for (size_t i = 0; i < times.size(); ++i)
      out.F32(FilePosition(table) + i * kAniFrameEntryBytes, times[i]);
  }
  return table;
}

}  // namespace

uint32_t AniHeaderBytes(uint32_t version) { return version < 117 ? 984 : 472; }

int16_t QuantizeRotation(float component) {
  const double stored = std::round(static_cast<double>(component) * 32767.0);
  return static_cast<int16_t>(std::clamp(stored, -32768.0, 32767.0));
}

AniRotationKey MakeRotationKey(int32_t frame, float x, float y, float z, float w) {
  return AniRotationKey{frame, QuantizeRotation(x), QuantizeRotation(y), QuantizeRotation(z),
                        QuantizeRotation(w)};
}

std::vector<uint8_t> WriteAniFile(const AniFile& file, AniPlacement* placement) {
  AniPlacement placed;
  placed.headerBytes = AniHeaderBytes(file.version);
  placed.tracks.resize(file.tracks.size());

  ByteWriter out;
  out.Grow(placed.headerBytes);
  out.U32(kVersionAt, file.version);
  out.Text(kNameAt, file.name, kAniNameBytes);
  out.I32(kTrackCountAt, CountOf(file.trackCount, file.tracks.size()));
  out.I32(kFrameCountAt, CountOf(file.frameCount, file.frameTimes.size()));

  placed.boneNames =
      out.PlaceArray(kBoneNamesRefAt, file.tracks.size(), kAniNameBytes, file.boneNamesArray);
  if (placed.boneNames.size > 0) {
    for (size_t j = 0; j < file.tracks.size(); ++j) {
      out.Text(FilePosition(placed.boneNames) + j * kAniNameBytes, file.tracks[j].boneName,
               kAniNameBytes);
    }
  }

  placed.translationTable = PutKeyTable(
      out, kTranslationTableRefAt, file.translationTableArray, file.tracks,
      KeyKind<AniTranslationKey>{&AniTrack::translationKeys, &AniTrack::translationKeyCount,
                                 &AniTrack::translationKeysArray,
                                 &AniTrackPlacement::translationKeys, kAniTranslationKeyBytes},
      placed.tracks);
  placed.rotationTable =
      PutKeyTable(out, kRotationTableRefAt, file.rotationTableArray, file.tracks,
                  KeyKind<AniRotationKey>{&AniTrack::rotationKeys, &AniTrack::rotationKeyCount,
                                          &AniTrack::rotationKeysArray,
                                          &AniTrackPlacement::rotationKeys, kAniRotationKeyBytes},
                  placed.tracks);
  placed.scaleTable =
      PutKeyTable(out, kScaleTableRefAt, file.scaleTableArray, file.tracks,
                  KeyKind<AniScaleKey>{&AniTrack::scaleKeys, &AniTrack::scaleKeyCount,
                                       &AniTrack::scaleKeysArray, &AniTrackPlacement::scaleKeys,
                                       kAniScaleKeyBytes},
                  placed.tracks);

  placed.frameTable =
      PutFrameTable(out, kFrameTableRefAt, file.frameTableArray, file.frameTimes, true);
  placed.secondFrameTable = PutFrameTable(out, kSecondFrameTableRefAt, file.secondFrameTableArray,
                                          file.frameTimes, file.hasSecondFrameTable);

  if (placement != nullptr) *placement = std::move(placed);
  return out.Take();
}

}  // namespace vexmara::writer

#include "cli/convert/snapshot.h"

#include <algorithm>
#include <span>

#include "host/records.h"
#include "host/text.h"

namespace vexmara::cli {
namespace {

// The Unicode characters of the Windows-1252 bytes 0x80 to 0x9F. The five bytes the code page
// leaves undefined map to the control characters of the same value, as Windows converts them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsUtf8(const std::string& text) {
  // The host's decoder replaces every malformed sequence; a text that comes back unchanged was
  // valid UTF-8.
  return host::Utf16ToUtf8(host::Utf8ToUtf16(text)) == text;
}

std::string FromWindows1252(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) {
    wide += c >= 0x80 && c < 0xA0 ? kWindows1252High[c - 0x80] : char16_t(c);
  }
  return host::Utf16ToUtf8(wide);
}

// The path of a material's texture slot as UTF-8: the last slot of that index that holds a path
// and is marked in use; empty when there is none.
std::string SlotPath(const host::MaterialView& material, int index) {
  const host::TextureSlotView* found = nullptr;
  for (const host::TextureSlotView& slot : material.textureSlots) {
    if (slot.slotIndex == index && (slot.flags & 1) != 0 && !slot.path.empty()) found = &slot;
  }
  return found != nullptr ? host::Utf16ToUtf8(found->path) : std::string();
}

// A record's array of keys; none when it has no array or no count.
template <class Key>
std::span<const Key> Span(const Key* keys, std::int32_t count) {
  return keys != nullptr && count > 0 ? std::span<const Key>(keys, std::size_t(count))
                                      : std::span<const Key>();
}

std::vector<VectorKey> VectorKeys(const host::HostVectorKey* keys, std::int32_t count) {
  std::vector<VectorKey> copied;
  copied.reserve(std::size_t(std::max(count, 0)));
  for (const host::HostVectorKey& key : Span(keys, count)) {
    copied.push_back({key.time, key.x, key.y, key.z});
  }
  return copied;
}

}  // namespace

std::string HostText(const std::u16string& wide, const std::string& narrow) {
  if (!wide.empty() || narrow.empty()) return host::Utf16ToUtf8(wide);
  return IsUtf8(narrow) ? narrow : FromWindows1252(narrow);
}

SceneSnapshot TakeSnapshot(host::Host& host) {
  SceneSnapshot scene;
  for (const host::MaterialView& material : host.Materials()) {
    scene.materials.push_back({HostText(material.name, material.narrowName), SlotPath(material, 0),
                               SlotPath(material, 1)});
  }
  // The geometry is copied from the records themselves, the meshes first, each one's faces
  // freed once copied: a scene of millions of faces is neither built twice nor held twice.
  scene.meshes.resize(std::size_t(host.MeshCount()));
  for (int m = 0; m < host.MeshCount(); ++m) {
    SnapshotMesh& mesh = scene.meshes[std::size_t(m)];
    mesh.index = host.MeshRecord(m)->index;
    const std::span<const host::HostFace> faces = host.FaceRecords(m);
    mesh.faces.resize(faces.size());
    for (std::size_t f = 0; f < faces.size(); ++f) {
      const host::HostFace& record = faces[f];
      SnapshotFace& face = mesh.faces[f];
      face.material = record.materialIndex;
      for (std::size_t c = 0; c < 3; ++c) {
        face.vertices[c] = record.vertexIndices[c];
        face.uv[c] = {record.mapping->corners[c].u, record.mapping->corners[c].v};
      }
    }
    host.ReleaseMeshFaces(m);
  }
  const std::span<const host::HostVertex> vertices = host.VertexRecords();
  scene.vertices.resize(vertices.size());
  std::size_t entries = 0;
  for (std::size_t v = 0; v < vertices.size(); ++v) {
    const host::HostVertexWeights* weights = host.VertexWeightsRecord(int(v));
    if (weights != nullptr && weights->entries != nullptr) {
      entries += std::size_t(std::max(weights->entryCount, 0));
    }
  }
  scene.weights.reserve(entries);
  for (std::size_t v = 0; v < vertices.size(); ++v) {
    SnapshotVertex& vertex = scene.vertices[v];
    const float* position = vertices[v].position;
    vertex.position = {position[0], position[1], position[2]};
    vertex.firstWeight = std::uint32_t(scene.weights.size());
    const host::HostVertexWeights* weights = host.VertexWeightsRecord(int(v));
    if (weights == nullptr || weights->entries == nullptr) continue;
    for (std::int32_t e = 0; e < weights->entryCount; ++e) {
      scene.weights.push_back({weights->entries[e].boneIndex, weights->entries[e].weight});
    }
    vertex.weightCount = std::uint32_t(scene.weights.size()) - vertex.firstWeight;
  }
  for (const host::BoneView& bone : host.Bones()) {
    scene.bones.push_back({HostText(bone.name, bone.narrowName), bone.parentIndex, bone.translation,
                           bone.rotation, bone.scale});
  }
  for (const host::HostAnimation& animation : host.AnimationRecords()) {
    SnapshotAnimation& copied = scene.animations.emplace_back();
    copied.name = HostText(host::WideText(animation.name), host::NarrowText(animation.name));
    if (animation.tracks == nullptr || animation.trackCount <= 0) continue;
    copied.tracks.resize(std::size_t(animation.trackCount));
    for (std::size_t t = 0; t < copied.tracks.size(); ++t) {
      const host::HostBoneTrack& track = animation.tracks[t];
      SnapshotTrack& keys = copied.tracks[t];
      keys.bone = track.boneIndex;
      keys.translation = VectorKeys(track.translationKeys, track.translationKeyCount);
      keys.scale = VectorKeys(track.scaleKeys, track.scaleKeyCount);
      const std::span<const host::HostRotationKey> rotations =
          Span(track.rotationKeys, track.rotationKeyCount);
      keys.rotation.reserve(rotations.size());
      for (const host::HostRotationKey& key : rotations) {
        keys.rotation.push_back({key.time, key.x, key.y, key.z, key.w});
      }
    }
  }
  return scene;
}

}  // namespace vexmara::cli

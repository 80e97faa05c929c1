#include "cli/convert/snapshot.h"

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

std::vector<VectorKey> VectorKeys(const std::vector<host::HostVectorKey>& keys) {
  std::vector<VectorKey> copied;
  copied.reserve(keys.size());
  for (const host::HostVectorKey& key : keys) copied.push_back({key.time, key.x, key.y, key.z});
  return copied;
}

}  // namespace

std::string HostText(const std::u16string& wide, const std::string& narrow) {
  if (!wide.empty() || narrow.empty()) return host::Utf16ToUtf8(wide);
  return IsUtf8(narrow) ? narrow : FromWindows1252(narrow);
}

SceneSnapshot TakeSnapshot(const host::Host& host) {
  SceneSnapshot scene;
  for (const host::MaterialView& material : host.Materials()) {
    scene.materials.push_back({HostText(material.name, material.narrowName), SlotPath(material, 0),
                               SlotPath(material, 1)});
  }
  const std::vector<host::VertexView> vertices = host.Vertices();
  scene.vertices.reserve(vertices.size());
  for (const host::VertexView& vertex : vertices) {
    scene.vertices.push_back({vertex.position, std::uint32_t(scene.weights.size()),
                              std::uint32_t(vertex.weights.size())});
    for (const host::HostWeightEntry& entry : vertex.weights) {
      scene.weights.push_back({entry.boneIndex, entry.weight});
    }
  }
  for (const host::MeshView& mesh : host.Meshes()) {
    SnapshotMesh& copied = scene.meshes.emplace_back();
    copied.index = mesh.index;
    copied.faces.reserve(mesh.faces.size());
    for (const host::FaceView& face : mesh.faces) {
      copied.faces.push_back({face.materialIndex, face.vertices, face.uv});
    }
  }
  for (const host::BoneView& bone : host.Bones()) {
    scene.bones.push_back({HostText(bone.name, bone.narrowName), bone.parentIndex, bone.translation,
                           bone.rotation, bone.scale});
  }
  for (const host::AnimationView& animation : host.Animations()) {
    SnapshotAnimation& copied = scene.animations.emplace_back();
    copied.name = HostText(animation.name, animation.narrowName);
    for (const host::TrackView& track : animation.tracks) {
      SnapshotTrack& keys = copied.tracks.emplace_back();
      keys.bone = track.boneIndex;
      keys.translation = VectorKeys(track.translationKeys);
      keys.scale = VectorKeys(track.scaleKeys);
      keys.rotation.reserve(track.rotationKeys.size());
      for (const host::HostRotationKey& key : track.rotationKeys) {
        keys.rotation.push_back({key.time, key.x, key.y, key.z, key.w});
      }
    }
  }
  return scene;
}

}  // namespace vexmara::cli

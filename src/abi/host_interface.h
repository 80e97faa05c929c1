// The host's object interface, as the plug-in sees it. The host is a closed application: its
// records are reached at fixed byte offsets of its 64-bit layout (each checked at compile time
// below), and its operations through their slot numbers in the object's operation table, called
// with the object as the first argument. Nothing here depends on a compiler's virtual-function
// layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "abi/dual_string.h"

namespace vexmara {

using OperationTable = void* const*;

// Calls operation `slot` of `object`'s table: the table pointer is the object's first field.
template <typename Result, typename... Args>
Result CallSlot(void* object, int slot, Args... args) {
  OperationTable table;
  std::memcpy(&table, object, sizeof(table));
  using Operation = Result (*)(void*, Args...);
  return reinterpret_cast<Operation>(table[slot])(object, args...);
}

// --- Records ---------------------------------------------------------------------------------

struct HostFileInfo {
  int32_t tag;
  DualString path;
};
static_assert(offsetof(HostFileInfo, path) == 4);
static_assert(sizeof(HostFileInfo) == 784);

struct HostWeightEntry {
  int32_t boneIndex;
  float weight;
};
static_assert(sizeof(HostWeightEntry) == 8);

struct HostVertex {
  uint8_t reserved0[12];
  float position[3];
  uint8_t reserved1[64];
};
static_assert(offsetof(HostVertex, position) == 12);
static_assert(sizeof(HostVertex) == 88);

struct HostVertexWeights {
  uint8_t reserved0[80];
  HostWeightEntry* entries;
};
static_assert(offsetof(HostVertexWeights, entries) == 80);

struct HostFaceCorner {
  uint8_t reserved0[4];
  float u;
  float v;
  uint8_t reserved1[4];
};
static_assert(offsetof(HostFaceCorner, u) == 4 && offsetof(HostFaceCorner, v) == 8);
static_assert(sizeof(HostFaceCorner) == 16);

struct HostFaceMapping {
  uint8_t reserved0[24];
  HostFaceCorner* corners;  // three entries
};
static_assert(offsetof(HostFaceMapping, corners) == 24);

struct HostFace {
  uint8_t reserved0[16];
  int32_t materialIndex;
  int32_t groupIndex;
  uint8_t reserved1[24];
  int32_t* vertexIndices;  // three indices into the context's vertex array
  uint8_t reserved2[24];
  HostFaceMapping* mapping;
};
static_assert(offsetof(HostFace, materialIndex) == 16);
static_assert(offsetof(HostFace, groupIndex) == 20);
static_assert(offsetof(HostFace, vertexIndices) == 48);
static_assert(offsetof(HostFace, mapping) == 80);
static_assert(sizeof(HostFace) == 88);

struct HostMesh {
  OperationTable operations;
  uint8_t reserved0[16];
  HostFace* faces;
};
static_assert(offsetof(HostMesh, faces) == 24);

struct HostMaterial {
  OperationTable operations;
  int32_t flags;
};
static_assert(offsetof(HostMaterial, flags) == 8);

struct HostTextureSlot {
  OperationTable operations;
  int32_t flags;
  uint8_t reserved0[36];
  DualString path;
};
static_assert(offsetof(HostTextureSlot, flags) == 8);
static_assert(offsetof(HostTextureSlot, path) == 48);

struct HostBone {
  uint8_t reserved0[792];
  int32_t parentIndex;
  uint8_t reserved1[36];
  float translation[3];
  float scale[3];
  uint8_t reserved2[64];
  float rotation[4];
  uint8_t reserved3[12];
  float localMatrix[16];
  float worldMatrix[16];
  uint8_t reserved4[100];
};
static_assert(offsetof(HostBone, parentIndex) == 792);
static_assert(offsetof(HostBone, translation) == 832);
static_assert(offsetof(HostBone, scale) == 844);
static_assert(offsetof(HostBone, rotation) == 920);
static_assert(offsetof(HostBone, localMatrix) == 948);
static_assert(offsetof(HostBone, worldMatrix) == 1012);
static_assert(sizeof(HostBone) == 1176);

struct HostVectorKey {
  float time;
  float value[3];
};
static_assert(sizeof(HostVectorKey) == 16);

struct HostRotationKey {
  float time;
  float value[4];
};
static_assert(sizeof(HostRotationKey) == 20);

struct HostBoneTrack {
  uint8_t reserved0[8];
  int32_t translationKeyCount;
  uint8_t reserved1[4];
  HostVectorKey* translationKeys;
  uint8_t reserved2[8];
  HostRotationKey* rotationKeys;
  uint8_t reserved3[8];
  HostVectorKey* scaleKeys;
};
static_assert(offsetof(HostBoneTrack, translationKeyCount) == 8);
static_assert(offsetof(HostBoneTrack, translationKeys) == 16);
static_assert(offsetof(HostBoneTrack, rotationKeys) == 32);
static_assert(offsetof(HostBoneTrack, scaleKeys) == 48);
static_assert(sizeof(HostBoneTrack) == 56);

struct HostAnimation {
  OperationTable operations;
  uint8_t reserved0[788];
  int32_t firstFrame;
  float frameCount;
  float framesPerSecond;
  int32_t trackCount;
  uint8_t reserved1[4];
  HostBoneTrack* tracks;
};
static_assert(offsetof(HostAnimation, firstFrame) == 796);
static_assert(offsetof(HostAnimation, frameCount) == 800);
static_assert(offsetof(HostAnimation, framesPerSecond) == 804);
static_assert(offsetof(HostAnimation, trackCount) == 808);
static_assert(offsetof(HostAnimation, tracks) == 816);
static_assert(sizeof(HostAnimation) == 824);

struct HostSceneObjectA {
  uint8_t reserved0[832];
  float position[3];
  uint8_t reserved1[12];
  float matrix[16];
  uint8_t reserved2[64];
  float extra[2];
};
static_assert(offsetof(HostSceneObjectA, position) == 832);
static_assert(offsetof(HostSceneObjectA, matrix) == 856);
static_assert(offsetof(HostSceneObjectA, extra) == 984);
static_assert(sizeof(HostSceneObjectA) == 992);

struct HostSceneObjectB {
  uint8_t reserved0[832];
  float position[3];
  uint8_t reserved1[12];
  float matrix[16];
  uint8_t reserved2[40];
};
static_assert(offsetof(HostSceneObjectB, position) == 832);
static_assert(offsetof(HostSceneObjectB, matrix) == 856);
static_assert(sizeof(HostSceneObjectB) == 960);

// An int32 count followed (8 bytes later) by a pointer: how the context exposes its lists.
template <typename T>
struct HostList {
  int32_t count;
  uint8_t reserved0[4];
  T* items;
};
static_assert(sizeof(HostList<void>) == 16);

struct HostContext {
  OperationTable operations;
  HostFileInfo fileInfo;
  uint8_t reserved0[3912 - 8 - sizeof(HostFileInfo)];
  DualString errorText;
  uint8_t reserved1[7824 - 3912 - sizeof(DualString)];
  HostList<HostSceneObjectA> sceneObjectsA;
  HostList<HostSceneObjectB> sceneObjectsB;
  HostList<void> materials;
  HostList<HostVertex> vertices;
  uint8_t reserved2[7936 - 7888];
  HostList<void> groups;
  uint8_t reserved3[7968 - 7952];
  HostList<HostBone> bones;
  uint8_t reserved4[8000 - 7984];
  HostList<HostAnimation> animations;
};
static_assert(offsetof(HostContext, fileInfo) == 8);
static_assert(offsetof(HostContext, fileInfo.path) == 12);
static_assert(offsetof(HostContext, fileInfo.path.narrow) == 532);
static_assert(offsetof(HostContext, errorText) == 3912);
static_assert(offsetof(HostContext, sceneObjectsA) == 7824 &&
              offsetof(HostContext, sceneObjectsA.items) == 7832);
static_assert(offsetof(HostContext, sceneObjectsB) == 7840 &&
              offsetof(HostContext, sceneObjectsB.items) == 7848);
static_assert(offsetof(HostContext, materials) == 7856 &&
              offsetof(HostContext, materials.items) == 7864);
static_assert(offsetof(HostContext, vertices) == 7872 &&
              offsetof(HostContext, vertices.items) == 7880);
static_assert(offsetof(HostContext, groups) == 7936 && offsetof(HostContext, groups.items) == 7944);
static_assert(offsetof(HostContext, bones) == 7968 && offsetof(HostContext, bones.items) == 7976);
static_assert(offsetof(HostContext, animations) == 8000 &&
              offsetof(HostContext, animations.items) == 8008);

// The descriptor the host hands over with the registration message. The plug-in writes the
// fields below and no other byte.
struct PluginDescriptor {
  OperationTable operations;
  uint32_t id0, id1, id2, id3;
  uint32_t kind;
  uint32_t secondWord;
  uint8_t reserved0[8];
  void* callback;
  DualString description;
  DualString version;
  DualString filter;
};
static_assert(offsetof(PluginDescriptor, id0) == 8);
static_assert(offsetof(PluginDescriptor, id3) == 20);
static_assert(offsetof(PluginDescriptor, kind) == 24);
static_assert(offsetof(PluginDescriptor, secondWord) == 28);
static_assert(offsetof(PluginDescriptor, callback) == 40);
static_assert(offsetof(PluginDescriptor, description) == 48);
static_assert(offsetof(PluginDescriptor, version) == 828);
static_assert(offsetof(PluginDescriptor, filter) == 1608);
static_assert(offsetof(PluginDescriptor, filter) + sizeof(DualString) == 2388,
              "the last field ends at 2388");

struct HostImage;  // opaque beyond its operation table
using WindowHandle = void*;

// --- Operations --------------------------------------------------------------------------------

namespace host {

// HostContext
inline WindowHandle GetMainWindow(HostContext* c) { return CallSlot<WindowHandle>(c, 17); }
inline int32_t SetVertexCount(HostContext* c, int32_t n) { return CallSlot<int32_t>(c, 100, n); }
inline void NotifyMeshesDone(HostContext* c) { CallSlot<int32_t>(c, 121, int32_t(1)); }
inline void NotifyBoneTransform(HostContext* c) { CallSlot<int32_t>(c, 136, int32_t(1)); }
inline void NotifyAnimationsDone(HostContext* c) { CallSlot<int32_t>(c, 137); }
inline HostImage* LoadImage(HostContext* c, DualString* path, HostFileInfo* info) {
  return CallSlot<HostImage*>(c, 142, path, info, int32_t(2));
}
inline void SaveImage(HostContext* c, DualString* path, HostImage* image, HostFileInfo* info) {
  CallSlot<int32_t>(c, 143, path, image, info, int32_t(0));
}
inline HostImage* ExtractAlphaImage(HostContext* c, HostImage* image) {
  return CallSlot<HostImage*>(c, 144, image);
}
inline void ReleaseImage(HostContext* c, HostImage* image) { CallSlot<int32_t>(c, 146, image); }
inline HostVertexWeights* SetVertexWeights(HostContext* c, int32_t vertex, int32_t n) {
  return CallSlot<HostVertexWeights*>(c, 147, vertex, n);
}
inline HostMaterial* CreateMaterial(HostContext* c, DualString* name) {
  return CallSlot<HostMaterial*>(c, 150, name);
}
inline void* CreateGroup(HostContext* c, DualString* name) {
  return CallSlot<void*>(c, 151, name, int32_t(-1));
}
inline HostBone* CreateBone(HostContext* c, DualString* name) {
  return CallSlot<HostBone*>(c, 152, name, int32_t(-1));
}
inline HostAnimation* CreateAnimation(HostContext* c, DualString* name) {
  return CallSlot<HostAnimation*>(c, 154, name);
}
inline HostMesh* CreateMesh(HostContext* c) { return CallSlot<HostMesh*>(c, 156); }

// Returned objects
inline int32_t CheckImage(HostImage* image) { return CallSlot<int32_t>(image, 4); }
inline HostTextureSlot* GetTextureSlot(HostMaterial* m, int32_t index) {
  return CallSlot<HostTextureSlot*>(m, 6, index, int32_t(1));
}
inline int32_t SetFaceCount(HostMesh* m, int32_t n) { return CallSlot<int32_t>(m, 5, n); }
inline int32_t SetTrackCount(HostAnimation* a, int32_t bones) {
  return CallSlot<int32_t>(a, 12, bones);
}
inline HostBoneTrack* SetTranslationKeyCount(HostAnimation* a, int32_t bone, int32_t n) {
  return CallSlot<HostBoneTrack*>(a, 13, bone, n);
}
inline HostBoneTrack* SetRotationKeyCount(HostAnimation* a, int32_t bone, int32_t n) {
  return CallSlot<HostBoneTrack*>(a, 14, bone, n);
}
inline HostBoneTrack* SetScaleKeyCount(HostAnimation* a, int32_t bone, int32_t n) {
  return CallSlot<HostBoneTrack*>(a, 15, bone, n);
}
inline int32_t RegisterExtension(PluginDescriptor* d, DualString* extension) {
  return CallSlot<int32_t>(d, 3, extension);
}

}  // namespace host
}  // namespace vexmara

// The host's records as the host lays them out in memory, 64-bit layout.
//
// These declarations are the host's own and are kept apart from the plug-in's declarations on
// purpose: every offset the plug-in relies on is checked here at compile time against the numbers
// of the interface, so a wrong offset on either side shows up as a wrong result when the two meet.
// Bytes the plug-in never touches are the host's to use; where this host keeps something there
// (an index, a name, a creation argument) it is named, everything else is reserved.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexmara::host {

static_assert(sizeof(void*) == 8, "the host interface is a 64-bit layout");

// Every object of the host interface starts with a pointer to its operation table; an operation
// is called with the object as its first argument. Slots are stored as plain code addresses.
using RawOperation = void (*)();

inline constexpr std::size_t kDualStringUnits = 260;

// The same text twice: 260 UTF-16 units, then 260 narrow bytes, each NUL-terminated.
struct DualString {
  char16_t wide[kDualStringUnits];
  char narrow[kDualStringUnits];
};
static_assert(sizeof(DualString) == 780);
static_assert(offsetof(DualString, wide) == 0);
static_assert(offsetof(DualString, narrow) == 520);

struct HostFileInfo {
  std::int32_t tag;
  DualString path;
};
static_assert(sizeof(HostFileInfo) == 784);
static_assert(offsetof(HostFileInfo, tag) == 0);
static_assert(offsetof(HostFileInfo, path) == 4);

// ---------------------------------------------------------------------------------------------
// Vertices and weights

struct HostVertex {
  std::int32_t index;  // host's own: position in the vertex list
  std::uint8_t reserved0[8];
  float position[3];
  std::uint8_t reserved1[64];
};
static_assert(sizeof(HostVertex) == 88);
static_assert(offsetof(HostVertex, position) == 12);

struct HostWeightEntry {
  std::int32_t boneIndex;
  float weight;
};
static_assert(sizeof(HostWeightEntry) == 8);
static_assert(offsetof(HostWeightEntry, boneIndex) == 0);
static_assert(offsetof(HostWeightEntry, weight) == 4);

struct HostVertexWeights {
  std::int32_t vertexIndex;  // host's own
  std::int32_t entryCount;   // host's own
  std::uint8_t reserved0[72];
  HostWeightEntry* entries;
};
static_assert(sizeof(HostVertexWeights) == 88);
static_assert(offsetof(HostVertexWeights, entries) == 80);

// ---------------------------------------------------------------------------------------------
// Materials and texture slots

struct HostMaterial {
  const RawOperation* operations;
  std::int32_t flags;
  std::int32_t index;  // host's own: position in the material list
  DualString name;     // host's own
};
static_assert(offsetof(HostMaterial, operations) == 0);
static_assert(offsetof(HostMaterial, flags) == 8);

struct HostTextureSlot {
  std::int32_t slotIndex;      // host's own
  std::int32_t materialIndex;  // host's own
  std::int32_t flags;
  std::uint8_t reserved0[36];
  DualString path;
};
static_assert(offsetof(HostTextureSlot, flags) == 8);
static_assert(offsetof(HostTextureSlot, path) == 48);
static_assert(offsetof(HostTextureSlot, path) + offsetof(DualString, narrow) == 568);

// Groups have no operations; the list holds one pointer per group.
struct HostGroup {
  std::int32_t index;           // position in the group list
  std::int32_t createArgument;  // the integer passed with the name at creation
  DualString name;
};

// ---------------------------------------------------------------------------------------------
// Meshes and faces

// One texture-coordinate corner; the first and last four bytes are the host's and keep the
// marker the host wrote at creation.
struct HostFaceCorner {
  std::uint32_t reserved0;
  float u;
  float v;
  std::uint32_t reserved1;
};
static_assert(sizeof(HostFaceCorner) == 16);
static_assert(offsetof(HostFaceCorner, u) == 4);
static_assert(offsetof(HostFaceCorner, v) == 8);

inline constexpr std::uint32_t kCornerMarker = 0x5A5A5A5Au;

struct HostFaceMapping {
  std::int32_t faceIndex;  // host's own
  std::uint8_t reserved0[20];
  HostFaceCorner* corners;  // three corners
};
static_assert(offsetof(HostFaceMapping, corners) == 24);

struct HostFace {
  std::int32_t index;  // host's own: position in the mesh
  std::uint8_t reserved0[12];
  std::int32_t materialIndex;
  std::int32_t groupIndex;
  std::uint8_t reserved1[24];
  std::int32_t* vertexIndices;  // three indices into the context's vertex array
  std::uint8_t reserved2[24];
  HostFaceMapping* mapping;
};
static_assert(sizeof(HostFace) == 88);
static_assert(offsetof(HostFace, materialIndex) == 16);
static_assert(offsetof(HostFace, groupIndex) == 20);
static_assert(offsetof(HostFace, vertexIndices) == 48);
static_assert(offsetof(HostFace, mapping) == 80);

struct HostMesh {
  const RawOperation* operations;
  std::int32_t index;  // host's own: creation order
  std::int32_t reserved0;
  std::int32_t faceCount;  // host's own
  std::int32_t reserved1;
  HostFace* faces;
};
static_assert(offsetof(HostMesh, operations) == 0);
static_assert(offsetof(HostMesh, faces) == 24);

// ---------------------------------------------------------------------------------------------
// Bones

struct HostBone {
  std::int32_t index;           // host's own: position in the bone list
  std::int32_t createArgument;  // host's own: the integer passed with the name at creation
  DualString name;              // host's own
  std::uint8_t reserved0[4];
  std::int32_t parentIndex;
  std::uint8_t reserved1[36];
  float translation[3];
  float scale[3];
  std::uint8_t reserved2[64];
  float rotation[4];  // x, y, z, w
  std::uint8_t reserved3[12];
  float localMatrix[16];  // row-major, translation in elements 3, 7, 11
  float worldMatrix[16];
  std::uint8_t reserved4[100];
};
static_assert(sizeof(HostBone) == 1176);
static_assert(offsetof(HostBone, parentIndex) == 792);
static_assert(offsetof(HostBone, translation) == 832);
static_assert(offsetof(HostBone, scale) == 844);
static_assert(offsetof(HostBone, rotation) == 920);
static_assert(offsetof(HostBone, localMatrix) == 948);
static_assert(offsetof(HostBone, worldMatrix) == 1012);

// ---------------------------------------------------------------------------------------------
// Animations

struct HostVectorKey {
  float time;
  float x;
  float y;
  float z;
};
static_assert(sizeof(HostVectorKey) == 16);

struct HostRotationKey {
  float time;
  float x;
  float y;
  float z;
  float w;
};
static_assert(sizeof(HostRotationKey) == 20);

struct HostBoneTrack {
  std::int32_t boneIndex;  // host's own
  std::int32_t reserved0;
  std::int32_t translationKeyCount;
  std::int32_t reserved1;
  HostVectorKey* translationKeys;
  std::int32_t rotationKeyCount;  // host's own
  std::int32_t reserved2;
  HostRotationKey* rotationKeys;
  std::int32_t scaleKeyCount;  // host's own
  std::int32_t reserved3;
  HostVectorKey* scaleKeys;
};
static_assert(sizeof(HostBoneTrack) == 56);
static_assert(offsetof(HostBoneTrack, translationKeyCount) == 8);
static_assert(offsetof(HostBoneTrack, translationKeys) == 16);
static_assert(offsetof(HostBoneTrack, rotationKeys) == 32);
static_assert(offsetof(HostBoneTrack, scaleKeys) == 48);

struct HostAnimation {
  const RawOperation* operations;
  DualString name;     // host's own
  std::int32_t index;  // host's own: position in the animation list
  std::int32_t reserved0;
  std::int32_t firstFrame;
  float frameCount;
  float framesPerSecond;
  std::int32_t trackCount;
  std::int32_t reserved1;
  HostBoneTrack* tracks;
};
static_assert(sizeof(HostAnimation) == 824);
static_assert(offsetof(HostAnimation, operations) == 0);
static_assert(offsetof(HostAnimation, firstFrame) == 796);
static_assert(offsetof(HostAnimation, frameCount) == 800);
static_assert(offsetof(HostAnimation, framesPerSecond) == 804);
static_assert(offsetof(HostAnimation, trackCount) == 808);
static_assert(offsetof(HostAnimation, tracks) == 816);

// ---------------------------------------------------------------------------------------------
// Images

struct HostImage {
  const RawOperation* operations;
  std::int32_t index;  // host's own: creation order
  std::int32_t reserved0;
};
static_assert(offsetof(HostImage, operations) == 0);

// ---------------------------------------------------------------------------------------------
// Scene objects the host already holds (the plug-in only turns and scales them)

struct HostSceneObjectA {
  std::uint8_t reserved0[832];
  float position[3];
  std::uint8_t reserved1[12];
  float matrix[16];
  std::uint8_t reserved2[64];
  float distances[2];
};
static_assert(sizeof(HostSceneObjectA) == 992);
static_assert(offsetof(HostSceneObjectA, position) == 832);
static_assert(offsetof(HostSceneObjectA, matrix) == 856);
static_assert(offsetof(HostSceneObjectA, distances) == 984);

struct HostSceneObjectB {
  std::uint8_t reserved0[832];
  float position[3];
  std::uint8_t reserved1[12];
  float matrix[16];
  std::uint8_t reserved2[40];
};
static_assert(sizeof(HostSceneObjectB) == 960);
static_assert(offsetof(HostSceneObjectB, position) == 832);
static_assert(offsetof(HostSceneObjectB, matrix) == 856);

// ---------------------------------------------------------------------------------------------
// The import context handed to the plug-in's callback

inline constexpr std::size_t kContextSize = 8192;

struct HostContext {
  const RawOperation* operations;
  HostFileInfo file;
  std::uint8_t reserved0[3120];
  DualString errorText;
  std::uint8_t reserved1[3132];
  std::int32_t sceneObjectACount;
  std::int32_t reserved2;
  HostSceneObjectA* sceneObjectsA;
  std::int32_t sceneObjectBCount;
  std::int32_t reserved3;
  HostSceneObjectB* sceneObjectsB;
  std::int32_t materialCount;
  std::int32_t reserved4;
  HostMaterial** materials;
  std::int32_t vertexCount;
  std::int32_t reserved5;
  HostVertex* vertices;
  std::uint8_t reserved6[48];
  std::int32_t groupCount;
  std::int32_t reserved7;
  HostGroup** groups;
  std::uint8_t reserved8[16];
  std::int32_t boneCount;
  std::int32_t reserved9;
  HostBone* bones;
  std::uint8_t reserved10[16];
  std::int32_t animationCount;
  std::int32_t reserved11;
  HostAnimation* animations;
  std::uint8_t reserved12[kContextSize - 8016];
};
static_assert(sizeof(HostContext) == kContextSize);
static_assert(offsetof(HostContext, operations) == 0);
static_assert(offsetof(HostContext, file) == 8);
static_assert(offsetof(HostContext, file) + offsetof(HostFileInfo, tag) == 8);
static_assert(offsetof(HostContext, file) + offsetof(HostFileInfo, path) == 12);
static_assert(offsetof(HostContext, file) + offsetof(HostFileInfo, path) +
                  offsetof(DualString, narrow) ==
              532);
static_assert(offsetof(HostContext, errorText) == 3912);
static_assert(offsetof(HostContext, sceneObjectACount) == 7824);
static_assert(offsetof(HostContext, sceneObjectsA) == 7832);
static_assert(offsetof(HostContext, sceneObjectBCount) == 7840);
static_assert(offsetof(HostContext, sceneObjectsB) == 7848);
static_assert(offsetof(HostContext, materialCount) == 7856);
static_assert(offsetof(HostContext, materials) == 7864);
static_assert(offsetof(HostContext, vertexCount) == 7872);
static_assert(offsetof(HostContext, vertices) == 7880);
static_assert(offsetof(HostContext, groupCount) == 7936);
static_assert(offsetof(HostContext, groups) == 7944);
static_assert(offsetof(HostContext, boneCount) == 7968);
static_assert(offsetof(HostContext, bones) == 7976);
static_assert(offsetof(HostContext, animationCount) == 8000);
static_assert(offsetof(HostContext, animations) == 8008);

// ---------------------------------------------------------------------------------------------
// The descriptor handed to the plug-in with the register message

inline constexpr std::size_t kDescriptorSize = 4096;

struct PluginDescriptor {
  const RawOperation* operations;
  std::uint32_t id0;
  std::uint32_t id1;
  std::uint32_t id2;
  std::uint32_t id3;
  std::uint32_t kind;
  std::uint32_t secondWord;
  std::uint8_t reserved0[8];
  RawOperation callback;
  DualString description;
  DualString version;
  DualString filter;
  std::uint8_t reserved1[kDescriptorSize - 2388];
};
static_assert(sizeof(PluginDescriptor) == kDescriptorSize);
static_assert(offsetof(PluginDescriptor, operations) == 0);
static_assert(offsetof(PluginDescriptor, id0) == 8);
static_assert(offsetof(PluginDescriptor, id1) == 12);
static_assert(offsetof(PluginDescriptor, id2) == 16);
static_assert(offsetof(PluginDescriptor, id3) == 20);
static_assert(offsetof(PluginDescriptor, kind) == 24);
static_assert(offsetof(PluginDescriptor, secondWord) == 28);
static_assert(offsetof(PluginDescriptor, reserved0) == 32);
static_assert(offsetof(PluginDescriptor, callback) == 40);
static_assert(offsetof(PluginDescriptor, description) == 48);
static_assert(offsetof(PluginDescriptor, version) == 828);
static_assert(offsetof(PluginDescriptor, filter) == 1608);
static_assert(offsetof(PluginDescriptor, filter) + sizeof(DualString) == 2388);

// Operation slots, counted from 0 in each object's table.
namespace slot {
inline constexpr int kRegisterExtension = 3;  // descriptor

inline constexpr int kGetMainWindow = 17;  // context
inline constexpr int kSetVertexCount = 100;
inline constexpr int kNotifyMeshesDone = 121;
inline constexpr int kNotifyBoneTransform = 136;
inline constexpr int kNotifyAnimationsDone = 137;
inline constexpr int kLoadImage = 142;
inline constexpr int kSaveImage = 143;
inline constexpr int kExtractAlphaImage = 144;
inline constexpr int kReleaseImage = 146;
inline constexpr int kSetVertexWeights = 147;
inline constexpr int kCreateMaterial = 150;
inline constexpr int kCreateGroup = 151;
inline constexpr int kCreateBone = 152;
inline constexpr int kCreateAnimation = 154;
inline constexpr int kCreateMesh = 156;

inline constexpr int kCheckImage = 4;               // image
inline constexpr int kGetTextureSlot = 6;           // material
inline constexpr int kSetFaceCount = 5;             // mesh
inline constexpr int kSetTrackCount = 12;           // animation
inline constexpr int kSetTranslationKeyCount = 13;  // animation
inline constexpr int kSetRotationKeyCount = 14;     // animation
inline constexpr int kSetScaleKeyCount = 15;        // animation
}  // namespace slot

// Every table this host hands out has this many slots; the ones that are not operations of the
// interface are traps that record the call.
inline constexpr int kOperationSlots = 192;

}  // namespace vexmara::host

// The reference host: the host application's side of the plug-in interface, holding real objects.
//
// A Host owns one descriptor (for the register message) and one import context, with operation
// tables whose every slot of the interface is implemented and whose other slots are traps. Each
// call the plug-in makes is recorded, any operation can be made to fail on chosen calls, and the
// objects the plug-in built can be read back from their records.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/image_codec.h"
#include "host/plugin_library.h"
#include "host/records.h"

namespace vexmara::host {

enum class Operation : int {
  RegisterExtension,  // descriptor slot 3
  GetMainWindow,      // context slots
  SetVertexCount,
  NotifyMeshesDone,
  NotifyBoneTransform,
  NotifyAnimationsDone,
  LoadImage,
  SaveImage,
  ExtractAlphaImage,
  ReleaseImage,
  SetVertexWeights,
  CreateMaterial,
  CreateGroup,
  CreateBone,
  CreateAnimation,
  CreateMesh,
  CheckImage,      // image slot 4
  GetTextureSlot,  // material slot 6
  SetFaceCount,    // mesh slot 5
  SetTrackCount,   // animation slots 12 to 15
  SetTranslationKeyCount,
  SetRotationKeyCount,
  SetScaleKeyCount,
};
inline constexpr int kOperationCount = 23;
const char* OperationName(Operation operation);

enum class ObjectKind : int { Descriptor, Context, Material, Mesh, Animation, Image };
const char* ObjectKindName(ObjectKind kind);

// One call of an operation, with what was passed and what the host answered. (A field added
// here is also reset in HostState::BeginCall, which refills one Call while the log is off.)
struct Call {
  Operation operation{};
  const void* object = nullptr;            // the object the operation was called on
  std::array<std::int32_t, 2> integers{};  // integer arguments, in order
  std::u16string text;                     // DualString argument (name or path), wide half
  std::string narrowText;                  // its narrow half
  const void* image = nullptr;             // HostImage argument
  const void* fileInfo = nullptr;          // HostFileInfo argument
  std::int32_t fileTag = 0;                // its tag at the time of the call
  const void* result = nullptr;            // object returned
  std::int64_t value = 0;                  // integer returned
  bool failed = false;                     // a failure was injected into this call
};

// A call of a slot that is not an operation of the interface.
struct UnexpectedCall {
  ObjectKind object{};
  int slot = 0;
  const void* self = nullptr;
};

struct RegisteredExtension {
  std::u16string wide;
  std::string narrow;
};

enum class DescriptorText { Description, Version, Filter };

// What LoadImage gives. A file that decodes (image_codec.h) always gives its pixels; the policy
// says what a path gives that does not.
enum class ImageLoadPolicy {
  WhenDecodable,   // null, as the host application answers (the default)
  WhenFileExists,  // a placeholder image when the path names an existing file, else null
  Always,          // a placeholder image for any path
};

// A placeholder is one opaque mid-grey pixel.
inline constexpr std::uint8_t kPlaceholderGrey = 128;

enum class ImageOrigin { Loaded, Extracted };

struct ImageInfo {
  int index = 0;
  ImageOrigin origin = ImageOrigin::Loaded;
  std::u16string path;   // loaded from; for an extracted image, the path of its source
  int sourceImage = -1;  // the image an extracted image was made from
  int releaseCount = 0;
  const HostImage* record = nullptr;
  std::int32_t width = 0;  // kept after the release frees the pixels
  std::int32_t height = 0;
  bool decoded = false;  // pixels from the file (or, extracted, from a decoded source); false
                         // for a placeholder
};

struct SavedImage {
  std::u16string path;
  std::string narrowPath;
  int image = -1;  // index of the saved image, -1 when the plug-in passed something unknown
  std::int32_t fileTag = 0;
  std::int32_t argument = 0;
  bool written = false;  // a TGA file was written (see SetSaveImageWritesFiles)
};

// Read-back views of what the plug-in built, taken from the records at their offsets.
struct TextureSlotView {
  std::int32_t slotIndex = 0;
  std::int32_t flags = 0;
  std::u16string path;
  std::string narrowPath;
};

struct MaterialView {
  std::int32_t index = 0;
  std::u16string name;
  std::string narrowName;
  std::int32_t flags = 0;
  std::vector<TextureSlotView> textureSlots;  // created slots, by slot index
};

struct GroupView {
  std::int32_t index = 0;
  std::u16string name;
  std::string narrowName;
  std::int32_t createArgument = 0;
};

struct VertexView {
  std::array<float, 3> position{};
  bool weighted = false;  // SetVertexWeights gave this vertex a record
  std::vector<HostWeightEntry> weights;
};

struct FaceView {
  std::int32_t materialIndex = 0;
  std::int32_t groupIndex = 0;
  std::array<std::int32_t, 3> vertices{};
  std::array<std::array<float, 2>, 3> uv{};  // u, v per corner
  bool cornerMarkersIntact = true;           // the host's bytes of each corner are unchanged
};

struct MeshView {
  std::int32_t index = 0;
  std::vector<FaceView> faces;
};

struct BoneView {
  std::int32_t index = 0;
  std::u16string name;
  std::string narrowName;
  std::int32_t createArgument = 0;
  std::int32_t parentIndex = 0;
  std::array<float, 3> translation{};
  std::array<float, 3> scale{};
  std::array<float, 4> rotation{};  // x, y, z, w
  std::array<float, 16> localMatrix{};
  std::array<float, 16> worldMatrix{};
};

struct TrackView {
  std::int32_t boneIndex = 0;
  std::vector<HostVectorKey> translationKeys;
  std::vector<HostRotationKey> rotationKeys;
  std::vector<HostVectorKey> scaleKeys;
};

struct AnimationView {
  std::int32_t index = 0;
  std::u16string name;
  std::string narrowName;
  std::int32_t firstFrame = 0;
  float frameCount = 0;
  float framesPerSecond = 0;
  std::vector<TrackView> tracks;
};

struct HostState;

class Host {
 public:
  // Every byte of the descriptor that the plug-in has not written still holds this value.
  static constexpr std::uint8_t kDescriptorFill = 0xA5;
  // Frames per second of a new animation, before the plug-in sets its own.
  static constexpr float kDefaultFramesPerSecond = 30.0f;

  Host();
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // ---- The plug-in -------------------------------------------------------------------------
  // PluginProc(0x10016, descriptor); the callback is then taken from the descriptor (offset 40).
  // Gives PluginProc's result; 0 when the library is not loaded.
  std::int32_t Register(const PluginLibrary& library);
  std::int32_t Register(PluginProcFunction proc);
  void SetCallback(PluginCallbackFunction callback);
  PluginCallbackFunction CallbackAddress() const;
  // callback(message, context, instance, 0); 0 when there is no callback.
  std::int32_t Callback(std::int32_t message, void* context, void* instance);
  std::int32_t Read();                  // the read message with this host's context
  std::int32_t Import(void* instance);  // the import message with this host's context

  // ---- Descriptor --------------------------------------------------------------------------
  PluginDescriptor& Descriptor();
  const PluginDescriptor& Descriptor() const;
  std::span<const std::uint8_t> DescriptorBytes() const;
  // True when every byte in [offset, offset + size) still holds kDescriptorFill.
  bool DescriptorBytesUntouched(std::size_t offset, std::size_t size) const;
  std::u16string DescriptorWide(DescriptorText which) const;
  std::string DescriptorNarrow(DescriptorText which) const;
  void SetRegisterExtensionResult(std::int32_t result);  // default 1
  const std::vector<RegisteredExtension>& RegisteredExtensions() const;

  // ---- Context -----------------------------------------------------------------------------
  HostContext& Context();
  const HostContext& Context() const;
  // Fills both halves of the file path (narrow = UTF-8).
  void SetModelPath(std::u16string_view path);
  std::u16string ModelPathWide() const;
  std::string ModelPathNarrow() const;
  void SetFileTag(std::int32_t tag);
  std::u16string ErrorTextWide() const;
  std::string ErrorTextNarrow() const;
  void SetMainWindow(void* window);  // what GetMainWindow gives; null by default

  // ---- Calls, traps and misuse ---------------------------------------------------------------
  // The log of calls (on by default). With the log off, calls are still counted and failures
  // still injected; large imports in benchmarks need no per-call record.
  void SetCallLogging(bool log);
  const std::vector<Call>& Calls() const;
  int CallCount(Operation operation) const;
  std::vector<Call> CallsOf(Operation operation) const;
  const std::vector<UnexpectedCall>& UnexpectedCalls() const;
  // Calls the host could not honour as asked: unknown or released objects, indices out of range,
  // an operation called on the wrong kind of object. Each entry says what happened.
  const std::vector<std::string>& Misuses() const;

  // ---- Failure injection ---------------------------------------------------------------------
  // A failed call has no effect and gives null or 0 (CheckImage gives 1: the image is unusable;
  // ReleaseImage keeps the image). Calls are counted from 1 per operation.
  void FailCall(Operation operation, int call);
  void FailCallsFrom(Operation operation, int firstCall);
  void FailAlways(Operation operation);
  void ClearFailures();

  // ---- Images -------------------------------------------------------------------------------
  // LoadImage decodes the file it is given (a "\" in the path also read as "/"), holds its
  // pixels as RGBA8, and gives null for a file that does not decode (see ImageLoadPolicy).
  // ExtractAlphaImage makes a new image of the same size whose red, green and blue are the
  // source's alpha and whose alpha is 255: a grey-scale map that any reader shows as it is.
  // ReleaseImage frees the pixels; the record and its accounting stay.
  void SetImageLoadPolicy(ImageLoadPolicy policy);  // default WhenDecodable
  // CheckImage gives 0 for a held image with pixels and 1 otherwise (unknown, released); a
  // result set here is given for every image instead.
  void SetCheckImageResult(std::int32_t result);
  void ClearCheckImageResult();
  // On (the default), SaveImage writes the image as TGA to the path it was given ("\" as "/"
  // outside Windows); off, it only records the call.
  void SetSaveImageWritesFiles(bool write);
  std::vector<ImageInfo> Images() const;
  // The pixels the host holds for an image it returned from LoadImage/ExtractAlphaImage (null if
  // unknown, or released).
  const DecodedImage* ImagePixels(int index) const;
  int LiveImageCount() const;  // images not yet released
  bool EveryImageReleasedOnce() const;
  const std::vector<SavedImage>& SavedImages() const;

  // ---- Scene objects the host already holds ---------------------------------------------------
  void SetSceneObjectsA(std::vector<HostSceneObjectA> objects);
  void SetSceneObjectsB(std::vector<HostSceneObjectB> objects);
  std::span<const HostSceneObjectA> SceneObjectsA() const;
  std::span<const HostSceneObjectB> SceneObjectsB() const;

  // ---- What the plug-in built, read through the context's lists and the records ---------------
  std::vector<MaterialView> Materials() const;
  std::vector<GroupView> Groups() const;
  std::vector<VertexView> Vertices() const;
  std::vector<MeshView> Meshes() const;
  std::vector<BoneView> Bones() const;
  std::vector<AnimationView> Animations() const;
  int MeshCount() const;
  HostMesh* MeshRecord(int index) const;
  // The records themselves, for a reader of a large scene that copies what it needs once: the
  // vertices the context lists, the weights record of one (null when it has none), and the faces
  // of one mesh.
  std::span<const HostVertex> VertexRecords() const;
  const HostVertexWeights* VertexWeightsRecord(int vertex) const;
  std::span<const HostFace> FaceRecords(int mesh) const;
  std::span<const HostAnimation> AnimationRecords() const;
  // Frees the faces of a mesh once a reader has copied them out; the mesh then has none. A
  // reader of a large scene copies one mesh after another into the memory the last one freed.
  void ReleaseMeshFaces(int mesh);
  // Bones, animations and vertices live in arrays that move when they grow; the old array is
  // filled with a marker and kept. False when anything wrote into an old array since.
  bool RetiredArraysUntouched() const;

 private:
  std::unique_ptr<HostState> state_;
};

HostSceneObjectA MakeSceneObjectA(std::array<float, 3> position, std::array<float, 16> matrix,
                                  std::array<float, 2> distances);
HostSceneObjectB MakeSceneObjectB(std::array<float, 3> position, std::array<float, 16> matrix);

}  // namespace vexmara::host

#include "host/host.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <utility>

#include "host/host_state.h"
#include "host/text.h"

namespace vexmara::host {

const char* OperationName(Operation operation) {
  static constexpr const char* kNames[kOperationCount] = {
      "RegisterExtension",   "GetMainWindow",       "SetVertexCount",
      "NotifyMeshesDone",    "NotifyBoneTransform", "NotifyAnimationsDone",
      "LoadImage",           "SaveImage",           "ExtractAlphaImage",
      "ReleaseImage",        "SetVertexWeights",    "CreateMaterial",
      "CreateGroup",         "CreateBone",          "CreateAnimation",
      "CreateMesh",          "CheckImage",          "GetTextureSlot",
      "SetFaceCount",        "SetTrackCount",       "SetTranslationKeyCount",
      "SetRotationKeyCount", "SetScaleKeyCount",
  };
  const int index = static_cast<int>(operation);
  return index >= 0 && index < kOperationCount ? kNames[index] : "unknown operation";
}

const char* ObjectKindName(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::Descriptor:
      return "descriptor";
    case ObjectKind::Context:
      return "context";
    case ObjectKind::Material:
      return "material";
    case ObjectKind::Mesh:
      return "mesh";
    case ObjectKind::Animation:
      return "animation";
    case ObjectKind::Image:
      return "image";
  }
  return "unknown object";
}

// ---- HostState -------------------------------------------------------------------------------

HostState::HostState() {
  InitialiseTable(descriptorTable, ObjectKind::Descriptor);
  InitialiseTable(contextTable, ObjectKind::Context);
  InitialiseTable(materialTable, ObjectKind::Material);
  InitialiseTable(meshTable, ObjectKind::Mesh);
  InitialiseTable(animationTable, ObjectKind::Animation);
  InitialiseTable(imageTable, ObjectKind::Image);
  InstallOperations(*this);

  std::memset(static_cast<void*>(&descriptor), Host::kDescriptorFill, sizeof descriptor);
  descriptor.operations = descriptorTable.slots;
  std::memset(static_cast<void*>(&context), 0, sizeof context);
  context.operations = contextTable.slots;
}

void HostState::SyncLists() {
  context.sceneObjectACount = static_cast<std::int32_t>(sceneObjectsA.size());
  context.sceneObjectsA = sceneObjectsA.empty() ? nullptr : sceneObjectsA.data();
  context.sceneObjectBCount = static_cast<std::int32_t>(sceneObjectsB.size());
  context.sceneObjectsB = sceneObjectsB.empty() ? nullptr : sceneObjectsB.data();
  context.materialCount = static_cast<std::int32_t>(materialList.size());
  context.materials = materialList.empty() ? nullptr : materialList.data();
  context.vertexCount = vertices.Count();
  context.vertices = vertices.Data();
  context.groupCount = static_cast<std::int32_t>(groupList.size());
  context.groups = groupList.empty() ? nullptr : groupList.data();
  context.boneCount = bones.Count();
  context.bones = bones.Data();
  context.animationCount = animations.Count();
  context.animations = animations.Data();
}

std::uint64_t* WeightPool::Place(std::size_t bytes) {
  if (bytes > kBlockBytes / 4) {
    // A record of many entries gets a block of its own.
    large_.push_back(
        std::unique_ptr<std::uint64_t[]>(new std::uint64_t[bytes / sizeof(std::uint64_t)]));
    return large_.back().get();
  }
  blocks_.push_back(
      std::unique_ptr<std::uint64_t[]>(new std::uint64_t[kBlockBytes / sizeof(std::uint64_t)]));
  used_ = bytes;
  return blocks_.back().get();
}

void WeightPool::Clear() {
  blocks_.clear();
  large_.clear();
  used_ = kBlockBytes;
}

void HostState::NoteMisuse(std::string text) noexcept {
  try {
    misuses.push_back(std::move(text));
  } catch (...) {
    // Nothing more can be recorded.
  }
}

void HostState::NoteUnexpected(ObjectKind kind, int slot, const void* self) noexcept {
  try {
    unexpected.push_back(UnexpectedCall{kind, slot, self});
  } catch (...) {
    // Nothing more can be recorded.
  }
}

MaterialStorage* HostState::FindMaterial(const void* record, const char* operation) {
  const auto* material = static_cast<const HostMaterial*>(record);
  const auto index = static_cast<std::size_t>(material->index);
  if (index < materials.size() && &materials[index]->record == material) {
    return materials[index].get();
  }
  NoteMisuse(std::string(operation) + " on an object that is not one of the host's materials");
  return nullptr;
}

MeshStorage* HostState::FindMesh(const void* record, const char* operation) {
  const auto* mesh = static_cast<const HostMesh*>(record);
  const auto index = static_cast<std::size_t>(mesh->index);
  if (index < meshes.size() && &meshes[index]->record == mesh) {
    return meshes[index].get();
  }
  NoteMisuse(std::string(operation) + " on an object that is not one of the host's meshes");
  return nullptr;
}

ImageStorage* HostState::FindImage(const void* record, const char* operation) {
  const auto* image = static_cast<const HostImage*>(record);
  if (image != nullptr) {
    const auto index = static_cast<std::size_t>(image->index);
    if (index < images.size() && &images[index]->record == image) {
      ImageStorage* storage = images[index].get();
      if (storage->releaseCount > 0) {
        NoteMisuse(std::string(operation) + ": image " + std::to_string(index) +
                   " was already released");
      }
      return storage;
    }
  }
  NoteMisuse(std::string(operation) + " with an object that is not one of the host's images");
  return nullptr;
}

int HostState::FindAnimation(const void* record, const char* operation) {
  const int index = animations.IndexOf(record);
  if (index >= 0) {
    return index;
  }
  NoteMisuse(std::string(operation) +
             (animations.InRetiredBlock(record)
                  ? " on an animation pointer from before the animation list moved"
                  : " on an object that is not one of the host's animations"));
  return -1;
}

// ---- Host: plug-in -----------------------------------------------------------------------------

Host::Host() : state_(std::make_unique<HostState>()) {}
Host::~Host() = default;

std::int32_t Host::Register(const PluginLibrary& library) {
  return library.IsLoaded() ? Register(library.ProcEntry()) : 0;
}

std::int32_t Host::Register(PluginProcFunction proc) {
  if (proc == nullptr) {
    return 0;
  }
  const std::int32_t result = proc(kMessageRegister, &state_->descriptor);
  RawOperation callback = nullptr;
  std::memcpy(&callback,
              reinterpret_cast<const unsigned char*>(&state_->descriptor) +
                  offsetof(PluginDescriptor, callback),
              sizeof callback);
  // An address made of the fill pattern was never written.
  RawOperation unwritten = nullptr;
  std::memset(static_cast<void*>(&unwritten), kDescriptorFill, sizeof unwritten);
  state_->callback =
      callback == unwritten ? nullptr : reinterpret_cast<PluginCallbackFunction>(callback);
  return result;
}

void Host::SetCallback(PluginCallbackFunction callback) { state_->callback = callback; }

PluginCallbackFunction Host::CallbackAddress() const { return state_->callback; }

std::int32_t Host::Callback(std::int32_t message, void* context, void* instance) {
  return state_->callback != nullptr ? state_->callback(message, context, instance, 0) : 0;
}

std::int32_t Host::Read() { return Callback(kMessageReadFile, &state_->context, nullptr); }

std::int32_t Host::Import(void* instance) {
  return Callback(kMessageImport, &state_->context, instance);
}

// ---- Host: descriptor --------------------------------------------------------------------------

PluginDescriptor& Host::Descriptor() { return state_->descriptor; }
const PluginDescriptor& Host::Descriptor() const { return state_->descriptor; }

std::span<const std::uint8_t> Host::DescriptorBytes() const {
  return {reinterpret_cast<const std::uint8_t*>(&state_->descriptor), sizeof(PluginDescriptor)};
}

bool Host::DescriptorBytesUntouched(std::size_t offset, std::size_t size) const {
  const auto bytes = DescriptorBytes();
  if (offset > bytes.size() || size > bytes.size() - offset) {
    return false;
  }
  const auto part = bytes.subspan(offset, size);
  return std::all_of(part.begin(), part.end(), [](std::uint8_t b) { return b == kDescriptorFill; });
}

namespace {
const DualString& DescriptorField(const PluginDescriptor& descriptor, DescriptorText which) {
  switch (which) {
    case DescriptorText::Version:
      return descriptor.version;
    case DescriptorText::Filter:
      return descriptor.filter;
    case DescriptorText::Description:
      break;
  }
  return descriptor.description;
}
}  // namespace

std::u16string Host::DescriptorWide(DescriptorText which) const {
  return WideText(DescriptorField(state_->descriptor, which));
}

std::string Host::DescriptorNarrow(DescriptorText which) const {
  return NarrowText(DescriptorField(state_->descriptor, which));
}

void Host::SetRegisterExtensionResult(std::int32_t result) {
  state_->registerExtensionResult = result;
}

const std::vector<RegisteredExtension>& Host::RegisteredExtensions() const {
  return state_->extensions;
}

// ---- Host: context -----------------------------------------------------------------------------

HostContext& Host::Context() { return state_->context; }
const HostContext& Host::Context() const { return state_->context; }

void Host::SetModelPath(std::u16string_view path) {
  SetDualString(state_->context.file.path, path);
}
std::u16string Host::ModelPathWide() const { return WideText(state_->context.file.path); }
std::string Host::ModelPathNarrow() const { return NarrowText(state_->context.file.path); }
void Host::SetFileTag(std::int32_t tag) { state_->context.file.tag = tag; }
std::u16string Host::ErrorTextWide() const { return WideText(state_->context.errorText); }
std::string Host::ErrorTextNarrow() const { return NarrowText(state_->context.errorText); }
void Host::SetMainWindow(void* window) { state_->mainWindow = window; }

// ---- Host: calls, traps, failures
// ----------------------------------------------------------------

void Host::SetCallLogging(bool log) { state_->logCalls = log; }

const std::vector<Call>& Host::Calls() const { return state_->calls; }

int Host::CallCount(Operation operation) const {
  return state_->callCounts[static_cast<std::size_t>(operation)];
}

std::vector<Call> Host::CallsOf(Operation operation) const {
  std::vector<Call> result;
  std::copy_if(state_->calls.begin(), state_->calls.end(), std::back_inserter(result),
               [&](const Call& call) { return call.operation == operation; });
  return result;
}

const std::vector<UnexpectedCall>& Host::UnexpectedCalls() const { return state_->unexpected; }
const std::vector<std::string>& Host::Misuses() const { return state_->misuses; }

void Host::FailCall(Operation operation, int call) {
  state_->failures[static_cast<std::size_t>(operation)].push_back(FailureRule{call, call});
}

void Host::FailCallsFrom(Operation operation, int firstCall) {
  state_->failures[static_cast<std::size_t>(operation)].push_back(
      FailureRule{firstCall, std::numeric_limits<int>::max()});
}

void Host::FailAlways(Operation operation) { FailCallsFrom(operation, 1); }

void Host::ClearFailures() {
  for (auto& rules : state_->failures) {
    rules.clear();
  }
}

// ---- Host: images ------------------------------------------------------------------------------

void Host::SetImageLoadPolicy(ImageLoadPolicy policy) { state_->imageLoadPolicy = policy; }
void Host::SetCheckImageResult(std::int32_t result) { state_->checkImageResult = result; }
void Host::ClearCheckImageResult() { state_->checkImageResult.reset(); }
void Host::SetSaveImageWritesFiles(bool write) { state_->saveWritesFiles = write; }

std::vector<ImageInfo> Host::Images() const {
  std::vector<ImageInfo> result;
  for (const auto& image : state_->images) {
    ImageInfo info;
    info.index = image->record.index;
    info.origin = image->origin;
    info.path = image->path;
    info.sourceImage = image->sourceImage;
    info.releaseCount = image->releaseCount;
    info.record = &image->record;
    info.width = image->pixels.width;
    info.height = image->pixels.height;
    info.decoded = image->decoded;
    result.push_back(std::move(info));
  }
  return result;
}

const DecodedImage* Host::ImagePixels(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= state_->images.size()) {
    return nullptr;
  }
  const ImageStorage& image = *state_->images[static_cast<std::size_t>(index)];
  return image.releaseCount == 0 ? &image.pixels : nullptr;
}

int Host::LiveImageCount() const {
  return static_cast<int>(
      std::count_if(state_->images.begin(), state_->images.end(),
                    [](const auto& image) { return image->releaseCount == 0; }));
}

bool Host::EveryImageReleasedOnce() const {
  return std::all_of(state_->images.begin(), state_->images.end(),
                     [](const auto& image) { return image->releaseCount == 1; });
}

const std::vector<SavedImage>& Host::SavedImages() const { return state_->savedImages; }

// ---- Host: scene objects
// -------------------------------------------------------------------------

void Host::SetSceneObjectsA(std::vector<HostSceneObjectA> objects) {
  state_->sceneObjectsA = std::move(objects);
  state_->SyncLists();
}

void Host::SetSceneObjectsB(std::vector<HostSceneObjectB> objects) {
  state_->sceneObjectsB = std::move(objects);
  state_->SyncLists();
}

std::span<const HostSceneObjectA> Host::SceneObjectsA() const {
  const HostContext& context = state_->context;
  if (context.sceneObjectsA == nullptr || context.sceneObjectACount <= 0) {
    return {};
  }
  return {context.sceneObjectsA, static_cast<std::size_t>(context.sceneObjectACount)};
}

std::span<const HostSceneObjectB> Host::SceneObjectsB() const {
  const HostContext& context = state_->context;
  if (context.sceneObjectsB == nullptr || context.sceneObjectBCount <= 0) {
    return {};
  }
  return {context.sceneObjectsB, static_cast<std::size_t>(context.sceneObjectBCount)};
}

HostSceneObjectA MakeSceneObjectA(std::array<float, 3> position, std::array<float, 16> matrix,
                                  std::array<float, 2> distances) {
  HostSceneObjectA object{};
  std::copy(position.begin(), position.end(), object.position);
  std::copy(matrix.begin(), matrix.end(), object.matrix);
  std::copy(distances.begin(), distances.end(), object.distances);
  return object;
}

HostSceneObjectB MakeSceneObjectB(std::array<float, 3> position, std::array<float, 16> matrix) {
  HostSceneObjectB object{};
  std::copy(position.begin(), position.end(), object.position);
  std::copy(matrix.begin(), matrix.end(), object.matrix);
  return object;
}

// ---- Host: views -------------------------------------------------------------------------------

namespace {
template <std::size_t N>
std::array<float, N> ToArray(const float (&values)[N]) {
  std::array<float, N> result{};
  std::copy(values, values + N, result.begin());
  return result;
}

template <class Key>
std::vector<Key> Keys(const Key* keys, std::int32_t count) {
  if (keys == nullptr || count <= 0) {
    return {};
  }
  return std::vector<Key>(keys, keys + count);
}
}  // namespace

std::vector<MaterialView> Host::Materials() const {
  std::vector<MaterialView> result;
  const HostContext& context = state_->context;
  for (std::int32_t i = 0; context.materials != nullptr && i < context.materialCount; ++i) {
    const HostMaterial& record = *context.materials[i];
    MaterialView view;
    view.index = record.index;
    view.name = WideText(record.name);
    view.narrowName = NarrowText(record.name);
    view.flags = record.flags;
    const auto index = static_cast<std::size_t>(record.index);
    if (index < state_->materials.size()) {
      for (const auto& [slotIndex, slot] : state_->materials[index]->textureSlots) {
        view.textureSlots.push_back(
            TextureSlotView{slotIndex, slot->flags, WideText(slot->path), NarrowText(slot->path)});
      }
    }
    result.push_back(std::move(view));
  }
  return result;
}

std::vector<GroupView> Host::Groups() const {
  std::vector<GroupView> result;
  const HostContext& context = state_->context;
  for (std::int32_t i = 0; context.groups != nullptr && i < context.groupCount; ++i) {
    const HostGroup& group = *context.groups[i];
    result.push_back(
        GroupView{group.index, WideText(group.name), NarrowText(group.name), group.createArgument});
  }
  return result;
}

std::vector<VertexView> Host::Vertices() const {
  std::vector<VertexView> result;
  const std::span<const HostVertex> vertices = VertexRecords();
  result.reserve(vertices.size());
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    VertexView view;
    view.position = ToArray(vertices[i].position);
    if (const HostVertexWeights* weights = VertexWeightsRecord(int(i)); weights != nullptr) {
      view.weighted = true;
      view.weights = Keys(weights->entries, weights->entryCount);
    }
    result.push_back(std::move(view));
  }
  return result;
}

int Host::MeshCount() const { return static_cast<int>(state_->meshes.size()); }

HostMesh* Host::MeshRecord(int index) const {
  return index >= 0 && index < MeshCount()
             ? &state_->meshes[static_cast<std::size_t>(index)]->record
             : nullptr;
}

std::span<const HostVertex> Host::VertexRecords() const {
  const HostContext& context = state_->context;
  if (context.vertices == nullptr || context.vertexCount <= 0) return {};
  return {context.vertices, std::size_t(context.vertexCount)};
}

const HostVertexWeights* Host::VertexWeightsRecord(int vertex) const {
  const auto index = static_cast<std::size_t>(vertex);
  return vertex >= 0 && index < state_->weights.size() ? state_->weights[index] : nullptr;
}

std::span<const HostFace> Host::FaceRecords(int mesh) const {
  const HostMesh* record = MeshRecord(mesh);
  if (record == nullptr || record->faces == nullptr || record->faceCount <= 0) return {};
  return {record->faces, std::size_t(record->faceCount)};
}

std::span<const HostAnimation> Host::AnimationRecords() const {
  const HostContext& context = state_->context;
  if (context.animations == nullptr || context.animationCount <= 0) return {};
  return {context.animations, std::size_t(context.animationCount)};
}

void Host::ReleaseMeshFaces(int mesh) {
  if (mesh < 0 || mesh >= MeshCount()) return;
  MeshStorage& storage = *state_->meshes[static_cast<std::size_t>(mesh)];
  storage.faces.reset();
  storage.vertexIndices.reset();
  storage.mappings.reset();
  storage.corners.reset();
  storage.record.faceCount = 0;
  storage.record.faces = nullptr;
}

std::vector<MeshView> Host::Meshes() const {
  std::vector<MeshView> result;
  result.reserve(state_->meshes.size());
  for (int m = 0; m < MeshCount(); ++m) {
    MeshView view;
    view.index = MeshRecord(m)->index;
    const std::span<const HostFace> faces = FaceRecords(m);
    view.faces.reserve(faces.size());
    for (const HostFace& face : faces) {
      FaceView faceView;
      faceView.materialIndex = face.materialIndex;
      faceView.groupIndex = face.groupIndex;
      for (int c = 0; c < 3; ++c) {
        faceView.vertices[static_cast<std::size_t>(c)] = face.vertexIndices[c];
        const HostFaceCorner& corner = face.mapping->corners[c];
        faceView.uv[static_cast<std::size_t>(c)] = {corner.u, corner.v};
        faceView.cornerMarkersIntact = faceView.cornerMarkersIntact &&
                                       corner.reserved0 == kCornerMarker &&
                                       corner.reserved1 == kCornerMarker;
      }
      view.faces.push_back(faceView);
    }
    result.push_back(std::move(view));
  }
  return result;
}

std::vector<BoneView> Host::Bones() const {
  std::vector<BoneView> result;
  const HostContext& context = state_->context;
  for (std::int32_t i = 0; context.bones != nullptr && i < context.boneCount; ++i) {
    const HostBone& bone = context.bones[i];
    BoneView view;
    view.index = bone.index;
    view.name = WideText(bone.name);
    view.narrowName = NarrowText(bone.name);
    view.createArgument = bone.createArgument;
    view.parentIndex = bone.parentIndex;
    view.translation = ToArray(bone.translation);
    view.scale = ToArray(bone.scale);
    view.rotation = ToArray(bone.rotation);
    view.localMatrix = ToArray(bone.localMatrix);
    view.worldMatrix = ToArray(bone.worldMatrix);
    result.push_back(std::move(view));
  }
  return result;
}

std::vector<AnimationView> Host::Animations() const {
  std::vector<AnimationView> result;
  for (const HostAnimation& animation : AnimationRecords()) {
    AnimationView view;
    view.index = animation.index;
    view.name = WideText(animation.name);
    view.narrowName = NarrowText(animation.name);
    view.firstFrame = animation.firstFrame;
    view.frameCount = animation.frameCount;
    view.framesPerSecond = animation.framesPerSecond;
    for (std::int32_t t = 0; animation.tracks != nullptr && t < animation.trackCount; ++t) {
      const HostBoneTrack& track = animation.tracks[t];
      view.tracks.push_back(TrackView{track.boneIndex,
                                      Keys(track.translationKeys, track.translationKeyCount),
                                      Keys(track.rotationKeys, track.rotationKeyCount),
                                      Keys(track.scaleKeys, track.scaleKeyCount)});
    }
    result.push_back(std::move(view));
  }
  return result;
}

bool Host::RetiredArraysUntouched() const {
  return state_->bones.RetiredUntouched() && state_->animations.RetiredUntouched() &&
         state_->vertices.RetiredUntouched();
}

}  // namespace vexmara::host

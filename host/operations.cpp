// The host's operations as the plug-in calls them: through a slot of an object's table, with the
// object as the first argument. Each one records the call, honours an injected failure, and
// otherwise does what the host application does with its real objects.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <type_traits>
#include <utility>

#include "host/host_state.h"
#include "host/text.h"

namespace vexmara::host {
namespace {

const OperationTable& TableOf(const void* object) {
  const RawOperation* slots = nullptr;
  std::memcpy(&slots, object, sizeof slots);
  return *reinterpret_cast<const OperationTable*>(slots);
}

// The object kind whose table holds an operation.
constexpr ObjectKind KindOf(Operation operation) {
  switch (operation) {
    case Operation::RegisterExtension:
      return ObjectKind::Descriptor;
    case Operation::CheckImage:
      return ObjectKind::Image;
    case Operation::GetTextureSlot:
      return ObjectKind::Material;
    case Operation::SetFaceCount:
      return ObjectKind::Mesh;
    case Operation::SetTrackCount:
    case Operation::SetTranslationKeyCount:
    case Operation::SetRotationKeyCount:
    case Operation::SetScaleKeyCount:
      return ObjectKind::Animation;
    default:
      return ObjectKind::Context;
  }
}

// Misuse texts are made out of line, so that the frame of an operation that an import calls a
// million times stays small.
[[gnu::noinline, gnu::cold]] void NoteWrongKind(HostState& host, Operation operation,
                                                ObjectKind kind) {
  host.NoteMisuse(std::string(OperationName(operation)) + " called on a " + ObjectKindName(kind) +
                  " instead of a " + ObjectKindName(KindOf(operation)));
}

[[gnu::noinline, gnu::cold]] void NoteOutOfMemory(HostState& host, Operation operation) {
  host.NoteMisuse(std::string(OperationName(operation)) +
                  " could not be completed (out of memory)");
}

// `before`, the number, then `after`.
[[gnu::noinline, gnu::cold]] void NoteMisuseOf(HostState& host, const char* before,
                                               std::int64_t number, const char* after) {
  host.NoteMisuse(before + std::to_string(number) + after);
}

[[gnu::noinline, gnu::cold]] void NoteNegativeCount(HostState& host, Operation operation,
                                                    std::int64_t count) {
  host.NoteMisuse(std::string(OperationName(operation)) + " with a negative count " +
                  std::to_string(count));
}

// The frame of every operation. The host is found from the object the operation was called on
// (a misuse is noted when its table serves another kind of object), the call is begun in the
// log and `note` records its arguments; an injected failure then gives `fallback`, and
// otherwise `body(host, call)` does the work. Nothing unwinds into the plug-in.
template <Operation kOperation, class Result, class Note, class Body>
Result Operate(const void* self, Result fallback, Note note, Body body) noexcept {
  const OperationTable& table = TableOf(self);
  HostState& host = *table.owner;
  if (table.kind != KindOf(kOperation)) {
    NoteWrongKind(host, kOperation, table.kind);
  }
  try {
    Call& call = host.BeginCall(kOperation, self);
    note(call);
    if (call.failed) {
      if constexpr (std::is_integral_v<Result>) call.value = fallback;
      return fallback;
    }
    return body(host, call);
  } catch (...) {
    NoteOutOfMemory(host, kOperation);
    return fallback;
  }
}

// For an operation whose arguments are not recorded.
constexpr auto kNoArguments = [](Call&) {};

void CopyText(Call& call, const DualString* text) {
  if (text != nullptr) {
    call.text = WideText(*text);
    call.narrowText = NarrowText(*text);
  }
}

std::filesystem::path NativePath(const std::u16string& path) {
  const std::string utf8 = Utf16ToUtf8(path);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool FileExists(const std::u16string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(NativePath(path), error);
}

// The path as given or, when only that form names a file, with backslashes read as separators.
std::u16string ResolveImagePath(const std::u16string& path) {
  if (FileExists(path)) {
    return path;
  }
  std::u16string slashed = path;
  std::replace(slashed.begin(), slashed.end(), u'\\', u'/');
  return FileExists(slashed) ? slashed : path;
}

DecodedImage Placeholder() {
  return DecodedImage{1, 1, {kPlaceholderGrey, kPlaceholderGrey, kPlaceholderGrey, 255}};
}

// Red, green and blue from the source's alpha; fully opaque.
DecodedImage AlphaMap(const DecodedImage& source) {
  DecodedImage alpha{source.width, source.height, std::vector<std::uint8_t>(source.rgba.size())};
  for (std::size_t i = 0; i + 3 < source.rgba.size(); i += 4) {
    const std::uint8_t value = source.rgba[i + 3];
    alpha.rgba[i] = alpha.rgba[i + 1] = alpha.rgba[i + 2] = value;
    alpha.rgba[i + 3] = 255;
  }
  return alpha;
}

// Where SaveImage writes: the wide path in UTF-8, each "\" turned into "/" outside Windows.
std::string SavePath(const std::u16string& path) {
  std::string native = Utf16ToUtf8(path);
#ifndef _WIN32
  std::replace(native.begin(), native.end(), '\\', '/');
#endif
  return native;
}

void SetIdentity(float* matrix) {
  for (int i = 0; i < 16; ++i) {
    matrix[i] = (i % 5 == 0) ? 1.0f : 0.0f;
  }
}

// ---- Traps ---------------------------------------------------------------------------------

template <std::size_t Slot>
std::uintptr_t Trap(void* self) noexcept {
  const OperationTable& table = TableOf(self);
  table.owner->NoteUnexpected(table.kind, static_cast<int>(Slot), self);
  return 0;
}

template <std::size_t... Slots>
std::array<RawOperation, sizeof...(Slots)> MakeTraps(std::index_sequence<Slots...>) {
  return {reinterpret_cast<RawOperation>(&Trap<Slots>)...};
}

// ---- Descriptor ----------------------------------------------------------------------------

std::int32_t RegisterExtension(void* self, const DualString* extension) noexcept {
  return Operate<Operation::RegisterExtension>(
      self, std::int32_t{0}, [&](Call& call) { CopyText(call, extension); },
      [&](HostState& host, Call& call) -> std::int32_t {
        if (extension == nullptr) {
          host.NoteMisuse("RegisterExtension without an extension");
          return 0;
        }
        host.extensions.push_back(RegisteredExtension{call.text, call.narrowText});
        call.value = host.registerExtensionResult;
        return host.registerExtensionResult;
      });
}

// ---- Context -------------------------------------------------------------------------------

void* GetMainWindow(void* self) noexcept {
  return Operate<Operation::GetMainWindow>(self, static_cast<void*>(nullptr), kNoArguments,
                                           [&](HostState& host, Call& call) -> void* {
                                             call.result = host.mainWindow;
                                             return host.mainWindow;
                                           });
}

std::int32_t SetVertexCount(void* self, std::int32_t count) noexcept {
  return Operate<Operation::SetVertexCount>(
      self, std::int32_t{0},
      [&](Call& call) {
        call.integers = {count, 0};
      },
      [&](HostState& host, Call& call) -> std::int32_t {
        if (count < 0) {
          NoteNegativeCount(host, Operation::SetVertexCount, count);
          return 0;
        }
        host.vertices.Reset(count, [](HostVertex& vertex, int i) {
          WriteZeroed(vertex);
          vertex.index = i;
        });
        host.weights.assign(static_cast<std::size_t>(count), nullptr);
        host.weightPool.Clear();
        host.SyncLists();
        call.value = 1;
        return 1;
      });
}

std::int32_t NotifyMeshesDone(void* self, std::int32_t argument) noexcept {
  return Operate<Operation::NotifyMeshesDone>(
      self, std::int32_t{0},
      [&](Call& call) {
        call.integers = {argument, 0};
      },
      [&](HostState&, Call& call) -> std::int32_t {
        call.value = 1;
        return 1;
      });
}

std::int32_t NotifyBoneTransform(void* self, std::int32_t argument) noexcept {
  return Operate<Operation::NotifyBoneTransform>(
      self, std::int32_t{0},
      [&](Call& call) {
        call.integers = {argument, 0};
      },
      [&](HostState& host, Call& call) -> std::int32_t {
        // The plug-in may have changed the list in place; work on what the context shows.
        UpdateBoneMatrices(host.context.bones,
                           host.context.bones != nullptr ? host.context.boneCount : 0);
        call.value = 1;
        return 1;
      });
}

std::int32_t NotifyAnimationsDone(void* self) noexcept {
  return Operate<Operation::NotifyAnimationsDone>(self, std::int32_t{0}, kNoArguments,
                                                  [&](HostState&, Call& call) -> std::int32_t {
                                                    call.value = 1;
                                                    return 1;
                                                  });
}

HostImage* NewImage(HostState& host, ImageOrigin origin, std::u16string path, int source,
                    DecodedImage pixels, bool decoded) {
  auto image = std::make_unique<ImageStorage>();
  image->record.operations = host.imageTable.slots;
  image->record.index = static_cast<std::int32_t>(host.images.size());
  image->origin = origin;
  image->path = std::move(path);
  image->sourceImage = source;
  image->pixels = std::move(pixels);
  image->decoded = decoded;
  HostImage* record = &image->record;
  host.images.push_back(std::move(image));
  return record;
}

// What an operation that takes a file records of it.
void NoteFile(Call& call, const DualString* path, const HostFileInfo* info) {
  CopyText(call, path);
  call.fileInfo = info;
  call.fileTag = info != nullptr ? info->tag : 0;
}

HostImage* LoadImage(void* self, const DualString* path, HostFileInfo* info,
                     std::int32_t mode) noexcept {
  return Operate<Operation::LoadImage>(
      self, static_cast<HostImage*>(nullptr),
      [&](Call& call) {
        NoteFile(call, path, info);
        call.integers = {mode, 0};
      },
      [&](HostState& host, Call& call) -> HostImage* {
        if (path == nullptr) {
          host.NoteMisuse("LoadImage without a path");
          return nullptr;
        }
        const std::u16string file = ResolveImagePath(call.text);
        DecodedImage pixels;
        const bool decoded = DecodeImageFile(file, &pixels);
        if (!decoded) {
          const bool placeholder =
              host.imageLoadPolicy == ImageLoadPolicy::Always ||
              (host.imageLoadPolicy == ImageLoadPolicy::WhenFileExists && FileExists(file));
          if (!placeholder) {
            return nullptr;
          }
          pixels = Placeholder();
        }
        HostImage* image =
            NewImage(host, ImageOrigin::Loaded, call.text, -1, std::move(pixels), decoded);
        call.result = image;
        return image;
      });
}

// A held image: one of the host's, not yet released (misuse is noted otherwise).
ImageStorage* HeldImage(HostState& host, const void* image, const char* operation) {
  ImageStorage* storage = host.FindImage(image, operation);
  return storage != nullptr && storage->releaseCount == 0 ? storage : nullptr;
}

std::int32_t SaveImage(void* self, const DualString* path, HostImage* image, HostFileInfo* info,
                       std::int32_t argument) noexcept {
  return Operate<Operation::SaveImage>(
      self, std::int32_t{0},
      [&](Call& call) {
        NoteFile(call, path, info);
        call.image = image;
        call.integers = {argument, 0};
      },
      [&](HostState& host, Call& call) -> std::int32_t {
        ImageStorage* storage = HeldImage(host, image, "SaveImage");
        if (path == nullptr) {
          host.NoteMisuse("SaveImage without a path");
          return 0;
        }
        SavedImage saved;
        saved.path = call.text;
        saved.narrowPath = call.narrowText;
        saved.image = storage != nullptr ? storage->record.index : -1;
        saved.fileTag = call.fileTag;
        saved.argument = argument;
        if (storage != nullptr && host.saveWritesFiles) {
          saved.written = WriteTga(SavePath(saved.path), storage->pixels);
        }
        const bool done = storage != nullptr && (saved.written || !host.saveWritesFiles);
        host.savedImages.push_back(std::move(saved));
        call.value = done ? 1 : 0;
        return static_cast<std::int32_t>(call.value);
      });
}

HostImage* ExtractAlphaImage(void* self, HostImage* image) noexcept {
  return Operate<Operation::ExtractAlphaImage>(
      self, static_cast<HostImage*>(nullptr), [&](Call& call) { call.image = image; },
      [&](HostState& host, Call& call) -> HostImage* {
        ImageStorage* source = HeldImage(host, image, "ExtractAlphaImage");
        if (source == nullptr) {
          return nullptr;
        }
        HostImage* alpha =
            NewImage(host, ImageOrigin::Extracted, source->path, source->record.index,
                     AlphaMap(source->pixels), source->decoded);
        call.result = alpha;
        return alpha;
      });
}

void ReleaseImage(void* self, HostImage* image) noexcept {
  Operate<Operation::ReleaseImage>(
      self, 0, [&](Call& call) { call.image = image; },
      [&](HostState& host, Call&) {
        // Looked up without the released test: releasing twice is counted, and noted as misuse.
        ImageStorage* storage = nullptr;
        if (image != nullptr) {
          const auto index = static_cast<std::size_t>(image->index);
          if (index < host.images.size() && &host.images[index]->record == image) {
            storage = host.images[index].get();
          }
        }
        if (storage == nullptr) {
          host.NoteMisuse("ReleaseImage of an object that is not one of the host's images");
          return 0;
        }
        ++storage->releaseCount;
        if (storage->releaseCount > 1) {
          host.NoteMisuse("ReleaseImage: image " + std::to_string(storage->record.index) +
                          " released again");
        }
        std::vector<std::uint8_t>().swap(storage->pixels.rgba);
        return 0;
      });
}

HostVertexWeights* SetVertexWeights(void* self, std::int32_t vertex, std::int32_t count) noexcept {
  return Operate<Operation::SetVertexWeights>(
      self, static_cast<HostVertexWeights*>(nullptr),
      [&](Call& call) {
        call.integers = {vertex, count};
      },
      [&](HostState& host, Call& call) -> HostVertexWeights* {
        if (vertex < 0 || vertex >= host.vertices.Count()) {
          NoteMisuseOf(host, "SetVertexWeights: vertex ", vertex, " is not in the vertex list");
          return nullptr;
        }
        if (count <= 0) {
          NoteMisuseOf(host, "SetVertexWeights with count ", count, "");
          return nullptr;
        }
        HostVertexWeights* record = host.weightPool.Make(vertex, count);
        host.weights[static_cast<std::size_t>(vertex)] = record;
        call.result = record;
        return record;
      });
}

// The frame of the operations that create a named object: the name (and the argument, for
// those that take one) recorded, a missing name refused, and the lists of the context brought up
// to date once `make` has made the record.
template <Operation kOperation, class Record, class Make>
Record* CreateNamed(void* self, const DualString* name, std::int32_t argument, Make make) noexcept {
  return Operate<kOperation>(
      self, static_cast<Record*>(nullptr),
      [&](Call& call) {
        CopyText(call, name);
        call.integers = {argument, 0};
      },
      [&](HostState& host, Call& call) -> Record* {
        if (name == nullptr) {
          host.NoteMisuse(std::string(OperationName(kOperation)) + " without a name");
          return nullptr;
        }
        Record* record = make(host, *name, argument);
        host.SyncLists();
        call.result = record;
        return record;
      });
}

HostMaterial* CreateMaterial(void* self, const DualString* name) noexcept {
  return CreateNamed<Operation::CreateMaterial, HostMaterial>(
      self, name, 0, [](HostState& host, const DualString& text, std::int32_t) {
        auto material = std::make_unique<MaterialStorage>();
        material->record.operations = host.materialTable.slots;
        material->record.index = static_cast<std::int32_t>(host.materials.size());
        material->record.name = text;
        HostMaterial* record = &material->record;
        host.materials.push_back(std::move(material));
        host.materialList.push_back(record);
        return record;
      });
}

HostGroup* CreateGroup(void* self, const DualString* name, std::int32_t argument) noexcept {
  return CreateNamed<Operation::CreateGroup, HostGroup>(
      self, name, argument, [](HostState& host, const DualString& text, std::int32_t argument) {
        auto group = std::make_unique<HostGroup>();
        group->index = static_cast<std::int32_t>(host.groups.size());
        group->createArgument = argument;
        group->name = text;
        HostGroup* record = group.get();
        host.groups.push_back(std::move(group));
        host.groupList.push_back(record);
        return record;
      });
}

HostBone* CreateBone(void* self, const DualString* name, std::int32_t argument) noexcept {
  return CreateNamed<Operation::CreateBone, HostBone>(
      self, name, argument, [](HostState& host, const DualString& text, std::int32_t argument) {
        const int index = host.bones.Count();
        HostBone* bone = host.bones.Append();
        bone->index = index;
        bone->createArgument = argument;
        bone->name = text;
        bone->parentIndex = -1;
        for (int i = 0; i < 3; ++i) {
          bone->translation[i] = 0.0f;
          bone->scale[i] = 1.0f;
        }
        bone->rotation[0] = bone->rotation[1] = bone->rotation[2] = 0.0f;
        bone->rotation[3] = 1.0f;
        SetIdentity(bone->localMatrix);
        SetIdentity(bone->worldMatrix);
        return bone;
      });
}

HostAnimation* CreateAnimation(void* self, const DualString* name) noexcept {
  return CreateNamed<Operation::CreateAnimation, HostAnimation>(
      self, name, 0, [](HostState& host, const DualString& text, std::int32_t) {
        host.animationData.push_back(std::make_unique<AnimationStorage>());
        const int index = host.animations.Count();
        HostAnimation* animation = host.animations.Append();
        animation->operations = host.animationTable.slots;
        animation->name = text;
        animation->index = index;
        animation->firstFrame = 0;
        animation->frameCount = 0.0f;
        animation->framesPerSecond = Host::kDefaultFramesPerSecond;
        return animation;
      });
}

HostMesh* CreateMesh(void* self) noexcept {
  return Operate<Operation::CreateMesh>(self, static_cast<HostMesh*>(nullptr), kNoArguments,
                                        [&](HostState& host, Call& call) -> HostMesh* {
                                          auto mesh = std::make_unique<MeshStorage>();
                                          mesh->record.operations = host.meshTable.slots;
                                          mesh->record.index =
                                              static_cast<std::int32_t>(host.meshes.size());
                                          HostMesh* record = &mesh->record;
                                          host.meshes.push_back(std::move(mesh));
                                          call.result = record;
                                          return record;
                                        });
}

// ---- Image ---------------------------------------------------------------------------------

std::int32_t CheckImage(void* self) noexcept {
  // A failed check, like an unknown image, says the image cannot be used.
  return Operate<Operation::CheckImage>(
      self, std::int32_t{1}, [&](Call& call) { call.image = self; },
      [&](HostState& host, Call& call) -> std::int32_t {
        const ImageStorage* image = HeldImage(host, self, "CheckImage");
        const bool usable = image != nullptr && !image->pixels.rgba.empty();
        call.value = host.checkImageResult.value_or(usable ? 0 : 1);
        return static_cast<std::int32_t>(call.value);
      });
}

// ---- Material ------------------------------------------------------------------------------

HostTextureSlot* GetTextureSlot(void* self, std::int32_t index, std::int32_t argument) noexcept {
  return Operate<Operation::GetTextureSlot>(
      self, static_cast<HostTextureSlot*>(nullptr),
      [&](Call& call) {
        call.integers = {index, argument};
      },
      [&](HostState& host, Call& call) -> HostTextureSlot* {
        MaterialStorage* material = host.FindMaterial(self, "GetTextureSlot");
        if (material == nullptr) {
          return nullptr;
        }
        if (index < 0) {
          NoteMisuseOf(host, "GetTextureSlot with index ", index, "");
          return nullptr;
        }
        auto& slot = material->textureSlots[index];
        if (slot == nullptr) {
          slot = std::make_unique<HostTextureSlot>();
          slot->slotIndex = index;
          slot->materialIndex = material->record.index;
        }
        call.result = slot.get();
        return slot.get();
      });
}

// ---- Mesh ----------------------------------------------------------------------------------

std::int32_t SetFaceCount(void* self, std::int32_t count) noexcept {
  return Operate<Operation::SetFaceCount>(
      self, std::int32_t{0},
      [&](Call& call) {
        call.integers = {count, 0};
      },
      [&](HostState& host, Call& call) -> std::int32_t {
        MeshStorage* mesh = host.FindMesh(self, "SetFaceCount");
        if (mesh == nullptr) {
          return 0;
        }
        if (count < 0) {
          NoteNegativeCount(host, Operation::SetFaceCount, count);
          return 0;
        }
        // A model of millions of faces makes these the largest blocks of the whole import, so
        // each record is written once, whole, in one pass over the four arrays: a face and its
        // indices, mapping and corners (markers included) one after the other, never zeroed
        // first and linked afterwards.
        const auto n = static_cast<std::size_t>(count);
        auto faces = std::make_unique_for_overwrite<HostFace[]>(n);
        auto indices = std::make_unique_for_overwrite<std::int32_t[]>(3 * n);
        auto mappings = std::make_unique_for_overwrite<HostFaceMapping[]>(n);
        auto corners = std::make_unique_for_overwrite<HostFaceCorner[]>(3 * n);
        // Each part is copied from a finished record (WriteZeroed) and completed with its links.
        // From the last face to the first, so that the first faces, which the plug-in fills
        // first, are the ones still in the cache.
        static constexpr std::int32_t kZeroedIndices[3] = {0, 0, 0};
        static constexpr HostFaceCorner kCorners[3] = {{kCornerMarker, 0.0f, 0.0f, kCornerMarker},
                                                       {kCornerMarker, 0.0f, 0.0f, kCornerMarker},
                                                       {kCornerMarker, 0.0f, 0.0f, kCornerMarker}};
        for (std::size_t i = n; i-- > 0;) {
          HostFace& face = faces[i];
          WriteZeroed(face);
          face.index = static_cast<std::int32_t>(i);
          face.vertexIndices = &indices[3 * i];
          face.mapping = &mappings[i];
          HostFaceMapping& mapping = mappings[i];
          WriteZeroed(mapping);
          mapping.faceIndex = static_cast<std::int32_t>(i);
          mapping.corners = &corners[3 * i];
          std::memcpy(&indices[3 * i], kZeroedIndices, sizeof kZeroedIndices);
          std::memcpy(static_cast<void*>(&corners[3 * i]), kCorners, sizeof kCorners);
        }
        mesh->faces = std::move(faces);
        mesh->vertexIndices = std::move(indices);
        mesh->mappings = std::move(mappings);
        mesh->corners = std::move(corners);
        mesh->record.faceCount = count;
        mesh->record.faces = count > 0 ? mesh->faces.get() : nullptr;
        call.value = 1;
        return 1;
      });
}

// ---- Animation -----------------------------------------------------------------------------

std::int32_t SetTrackCount(void* self, std::int32_t count) noexcept {
  return Operate<Operation::SetTrackCount>(
      self, std::int32_t{0},
      [&](Call& call) {
        call.integers = {count, 0};
      },
      [&](HostState& host, Call& call) -> std::int32_t {
        const int index = host.FindAnimation(self, "SetTrackCount");
        if (index < 0) {
          return 0;
        }
        if (count < 0) {
          NoteNegativeCount(host, Operation::SetTrackCount, count);
          return 0;
        }
        AnimationStorage& data = *host.animationData[static_cast<std::size_t>(index)];
        const auto n = static_cast<std::size_t>(count);
        std::vector<HostBoneTrack> tracks(n);
        for (std::size_t i = 0; i < n; ++i) {
          tracks[i] = HostBoneTrack{};
          tracks[i].boneIndex = static_cast<std::int32_t>(i);
        }
        data.tracks = std::move(tracks);
        data.keys.assign(n, TrackKeys{});
        HostAnimation& animation = host.animations[index];
        animation.trackCount = count;
        animation.tracks = count > 0 ? data.tracks.data() : nullptr;
        call.value = 1;
        return 1;
      });
}

enum class KeyKind { Translation, Rotation, Scale };

template <KeyKind kKind>
HostBoneTrack* SetKeyCount(void* self, std::int32_t bone, std::int32_t count) noexcept {
  constexpr Operation kOperation = kKind == KeyKind::Translation ? Operation::SetTranslationKeyCount
                                   : kKind == KeyKind::Rotation  ? Operation::SetRotationKeyCount
                                                                 : Operation::SetScaleKeyCount;
  return Operate<kOperation>(
      self, static_cast<HostBoneTrack*>(nullptr),
      [&](Call& call) {
        call.integers = {bone, count};
      },
      [&](HostState& host, Call& call) -> HostBoneTrack* {
        const char* name = OperationName(kOperation);
        const int index = host.FindAnimation(self, name);
        if (index < 0) {
          return nullptr;
        }
        AnimationStorage& data = *host.animationData[static_cast<std::size_t>(index)];
        if (bone < 0 || static_cast<std::size_t>(bone) >= data.tracks.size()) {
          host.NoteMisuse(std::string(name) + ": bone " + std::to_string(bone) +
                          " has no track (track count " + std::to_string(data.tracks.size()) + ")");
          return nullptr;
        }
        if (count < 0) {
          NoteNegativeCount(host, kOperation, count);
          return nullptr;
        }
        HostBoneTrack& track = data.tracks[static_cast<std::size_t>(bone)];
        TrackKeys& keys = data.keys[static_cast<std::size_t>(bone)];
        const auto n = static_cast<std::size_t>(count);
        if constexpr (kKind == KeyKind::Translation) {
          keys.translation.assign(n, HostVectorKey{});
          track.translationKeyCount = count;
          track.translationKeys = count > 0 ? keys.translation.data() : nullptr;
        } else if constexpr (kKind == KeyKind::Rotation) {
          keys.rotation.assign(n, HostRotationKey{});
          track.rotationKeyCount = count;
          track.rotationKeys = count > 0 ? keys.rotation.data() : nullptr;
        } else {
          keys.scale.assign(n, HostVectorKey{});
          track.scaleKeyCount = count;
          track.scaleKeys = count > 0 ? keys.scale.data() : nullptr;
        }
        call.result = &track;
        return &track;
      });
}

template <class Function>
RawOperation Slot(Function function) {
  return reinterpret_cast<RawOperation>(function);
}

}  // namespace

void HostState::InitialiseTable(OperationTable& table, ObjectKind kind) {
  static const auto traps = MakeTraps(std::make_index_sequence<kOperationSlots>{});
  std::copy(traps.begin(), traps.end(), table.slots);
  table.owner = this;
  table.kind = kind;
}

void InstallOperations(HostState& state) {
  state.descriptorTable.slots[slot::kRegisterExtension] = Slot(&RegisterExtension);

  RawOperation* context = state.contextTable.slots;
  context[slot::kGetMainWindow] = Slot(&GetMainWindow);
  context[slot::kSetVertexCount] = Slot(&SetVertexCount);
  context[slot::kNotifyMeshesDone] = Slot(&NotifyMeshesDone);
  context[slot::kNotifyBoneTransform] = Slot(&NotifyBoneTransform);
  context[slot::kNotifyAnimationsDone] = Slot(&NotifyAnimationsDone);
  context[slot::kLoadImage] = Slot(&LoadImage);
  context[slot::kSaveImage] = Slot(&SaveImage);
  context[slot::kExtractAlphaImage] = Slot(&ExtractAlphaImage);
  context[slot::kReleaseImage] = Slot(&ReleaseImage);
  context[slot::kSetVertexWeights] = Slot(&SetVertexWeights);
  context[slot::kCreateMaterial] = Slot(&CreateMaterial);
  context[slot::kCreateGroup] = Slot(&CreateGroup);
  context[slot::kCreateBone] = Slot(&CreateBone);
  context[slot::kCreateAnimation] = Slot(&CreateAnimation);
  context[slot::kCreateMesh] = Slot(&CreateMesh);

  state.imageTable.slots[slot::kCheckImage] = Slot(&CheckImage);
  state.materialTable.slots[slot::kGetTextureSlot] = Slot(&GetTextureSlot);
  state.meshTable.slots[slot::kSetFaceCount] = Slot(&SetFaceCount);

  RawOperation* animation = state.animationTable.slots;
  animation[slot::kSetTrackCount] = Slot(&SetTrackCount);
  animation[slot::kSetTranslationKeyCount] = Slot(&SetKeyCount<KeyKind::Translation>);
  animation[slot::kSetRotationKeyCount] = Slot(&SetKeyCount<KeyKind::Rotation>);
  animation[slot::kSetScaleKeyCount] = Slot(&SetKeyCount<KeyKind::Scale>);
}

}  // namespace vexmara::host

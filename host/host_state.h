// The reference host's inner state, shared by the Host class and the operation implementations.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "host/host.h"
#include "host/records.h"

namespace vexmara::host {

// Sets a record to its value-initialised bytes by a copy from a zeroed constant, which compiles
// to a few wide stores; zeroing it in place compiles to a string instruction whose start-up
// costs more than the rest of the making of a small record.
template <class Record>
inline void WriteZeroed(Record& record) {
  static constexpr Record kZeroed{};
  std::memcpy(static_cast<void*>(&record), &kZeroed, sizeof(Record));
}

struct HostState;

// An operation table as handed out: the slots, then (beyond the last slot the plug-in may call)
// the host that owns the table and the kind of object it serves, so that every operation can
// find its host from the object it is called on.
struct OperationTable {
  RawOperation slots[kOperationSlots];
  HostState* owner;
  ObjectKind kind;
};
static_assert(offsetof(OperationTable, slots) == 0);

// A list of records stored back to back, as the context exposes them. Growing moves the list to
// a new block; the old block is filled with kRetiredFill and kept so that a write through a
// pointer from before the move can be detected.
template <class Record>
class RecordArray {
  static_assert(std::is_trivially_copyable_v<Record>);

 public:
  static constexpr unsigned char kRetiredFill = 0xDD;

  int Count() const { return count_; }
  Record* Data() const { return count_ > 0 ? current_.get() : nullptr; }
  Record& operator[](int index) const { return current_[static_cast<std::size_t>(index)]; }

  // A zeroed record at the end; capacity doubles when full.
  Record* Append() {
    if (count_ == capacity_) {
      MoveTo(std::max(1, capacity_ * 2));
    }
    Record* record = &current_[static_cast<std::size_t>(count_)];
    std::memset(static_cast<void*>(record), 0, sizeof(Record));
    ++count_;
    return record;
  }

  // Replaces the list by `count` records in a new block, record i made whole by
  // write(record, i) in a single pass (the block is not zeroed first: a million vertices are
  // written once). From the last record to the first, so that the first ones, which the
  // plug-in fills first, are the ones still in the cache.
  template <class Write>
  void Reset(int count, Write write) {
    auto block = std::make_unique_for_overwrite<Record[]>(static_cast<std::size_t>(count));
    for (int i = count; i-- > 0;) {
      write(block[static_cast<std::size_t>(i)], i);
    }
    Retire();
    current_ = std::move(block);
    count_ = count;
    capacity_ = count;
  }

  // The index of `record` in the current block, or -1.
  int IndexOf(const void* record) const {
    if (count_ == 0 || record == nullptr) {
      return -1;
    }
    const auto* begin = reinterpret_cast<const unsigned char*>(current_.get());
    const auto* address = static_cast<const unsigned char*>(record);
    if (address < begin || address >= begin + sizeof(Record) * static_cast<std::size_t>(count_)) {
      return -1;
    }
    const auto offset = static_cast<std::size_t>(address - begin);
    return offset % sizeof(Record) == 0 ? static_cast<int>(offset / sizeof(Record)) : -1;
  }

  bool InRetiredBlock(const void* record) const {
    const auto* address = static_cast<const unsigned char*>(record);
    for (const auto& block : retired_) {
      const auto* begin = reinterpret_cast<const unsigned char*>(block.records.get());
      if (address >= begin && address < begin + sizeof(Record) * block.capacity) {
        return true;
      }
    }
    return false;
  }

  bool RetiredUntouched() const {
    for (const auto& block : retired_) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(block.records.get());
      const std::size_t size = sizeof(Record) * block.capacity;
      if (std::any_of(bytes, bytes + size, [](unsigned char b) { return b != kRetiredFill; })) {
        return false;
      }
    }
    return true;
  }

 private:
  struct Block {
    std::unique_ptr<Record[]> records;
    std::size_t capacity;
  };

  void MoveTo(int capacity) {
    // Not zeroed: the records in use are copied over, and Append zeroes each new one itself.
    std::unique_ptr<Record[]> block(new Record[static_cast<std::size_t>(capacity)]);
    if (count_ > 0) {
      std::memcpy(static_cast<void*>(block.get()), current_.get(),
                  sizeof(Record) * static_cast<std::size_t>(count_));
    }
    Retire();
    current_ = std::move(block);
    capacity_ = capacity;
  }

  void Retire() {
    if (current_ != nullptr && capacity_ > 0) {
      std::memset(static_cast<void*>(current_.get()), kRetiredFill,
                  sizeof(Record) * static_cast<std::size_t>(capacity_));
      retired_.push_back(Block{std::move(current_), static_cast<std::size_t>(capacity_)});
    }
    current_.reset();
  }

  std::unique_ptr<Record[]> current_;
  int count_ = 0;
  int capacity_ = 0;
  std::vector<Block> retired_;
};

struct MaterialStorage {
  HostMaterial record{};
  std::map<int, std::unique_ptr<HostTextureSlot>> textureSlots;
};

// The vertices' weight records, each followed by its entries, laid end to end in large blocks:
// an import gives a million vertices their records, which must not cost two million separate
// allocations. Records stay where they are until the pool is cleared.
class WeightPool {
 public:
  // A record for `vertex` with `count` (> 0) entries of bone -1 and weight 0, each byte of it
  // written once. Inline: an import asks for one per vertex.
  HostVertexWeights* Make(std::int32_t vertex, std::int32_t count) {
    static_assert(sizeof(HostVertexWeights) % alignof(std::uint64_t) == 0);
    static_assert(alignof(HostVertexWeights) <= alignof(std::uint64_t));
    const std::size_t bytes =
        sizeof(HostVertexWeights) + sizeof(HostWeightEntry) * static_cast<std::size_t>(count);
    std::uint64_t* place;
    if (bytes <= kBlockBytes / 4 && bytes <= kBlockBytes - used_) {
      place = blocks_.back().get() + used_ / sizeof(std::uint64_t);
      used_ += bytes;
    } else {
      place = Place(bytes);
    }
    auto* record = new (place) HostVertexWeights;
    WriteZeroed(*record);
    auto* entries = new (record + 1) HostWeightEntry[static_cast<std::size_t>(count)];
    for (std::int32_t i = 0; i < count; ++i) {
      entries[i] = HostWeightEntry{-1, 0.0f};
    }
    record->vertexIndex = vertex;
    record->entryCount = count;
    record->entries = entries;
    return record;
  }
  void Clear();

 private:
  // Room for a record that the last block cannot take: a new block, or one of its own for a
  // record of many entries.
  std::uint64_t* Place(std::size_t bytes);

  static constexpr std::size_t kBlockBytes = std::size_t(1) << 20;
  std::vector<std::unique_ptr<std::uint64_t[]>> blocks_;
  std::vector<std::unique_ptr<std::uint64_t[]>> large_;  // one record each
  std::size_t used_ = kBlockBytes;  // bytes taken from the last block; full when there is none
};

// A mesh's faces and, per face, its three vertex indices, its mapping and its three corners, in
// four arrays that SetFaceCount writes in one pass (operations.cpp).
struct MeshStorage {
  HostMesh record{};
  std::unique_ptr<HostFace[]> faces;
  std::unique_ptr<std::int32_t[]> vertexIndices;
  std::unique_ptr<HostFaceMapping[]> mappings;
  std::unique_ptr<HostFaceCorner[]> corners;
};

struct TrackKeys {
  std::vector<HostVectorKey> translation;
  std::vector<HostRotationKey> rotation;
  std::vector<HostVectorKey> scale;
};

struct AnimationStorage {
  std::vector<HostBoneTrack> tracks;
  std::vector<TrackKeys> keys;
};

struct ImageStorage {
  HostImage record{};
  ImageOrigin origin = ImageOrigin::Loaded;
  std::u16string path;
  int sourceImage = -1;
  int releaseCount = 0;
  DecodedImage pixels;  // emptied by the first release; width and height stay
  bool decoded = false;
};

struct FailureRule {
  int firstCall;
  int lastCall;
};

struct HostState {
  HostState();

  // Fills a table with traps, then hands it to this host for `kind`.
  void InitialiseTable(OperationTable& table, ObjectKind kind);
  // Writes the counts and pointers of every list into the context.
  void SyncLists();

  // Counts the call, decides whether a failure is injected and appends it to the log. The
  // reference stays valid until the next call is begun. Inline: an import makes millions.
  Call& BeginCall(Operation operation, const void* object) {
    const auto index = static_cast<std::size_t>(operation);
    const int number = ++callCounts[index];
    // Without the log one record is refilled in place.
    Call& call = logCalls ? calls.emplace_back() : unloggedCall;
    if (!logCalls) {
      // Field by field, as a new Call starts (host.h): assigning a whole new Call would zero it
      // with a string instruction whose start-up cost, over millions of calls, is a tenth of an
      // import.
      call.integers = {};
      call.text.clear();
      call.narrowText.clear();
      call.image = nullptr;
      call.fileInfo = nullptr;
      call.fileTag = 0;
      call.result = nullptr;
      call.value = 0;
    }
    call.operation = operation;
    call.object = object;
    const std::vector<FailureRule>& rules = failures[index];
    call.failed =
        !rules.empty() && std::any_of(rules.begin(), rules.end(), [&](const FailureRule& rule) {
          return number >= rule.firstCall && number <= rule.lastCall;
        });
    return call;
  }
  void NoteMisuse(std::string text) noexcept;
  void NoteUnexpected(ObjectKind kind, int slot, const void* self) noexcept;

  // The storage behind an object the plug-in hands back, or null (with a misuse noted).
  MaterialStorage* FindMaterial(const void* record, const char* operation);
  MeshStorage* FindMesh(const void* record, const char* operation);
  ImageStorage* FindImage(const void* record, const char* operation);
  int FindAnimation(const void* record, const char* operation);

  OperationTable descriptorTable{};
  OperationTable contextTable{};
  OperationTable materialTable{};
  OperationTable meshTable{};
  OperationTable animationTable{};
  OperationTable imageTable{};

  PluginDescriptor descriptor{};
  HostContext context{};

  PluginCallbackFunction callback = nullptr;
  std::int32_t registerExtensionResult = 1;
  std::vector<RegisteredExtension> extensions;
  void* mainWindow = nullptr;

  ImageLoadPolicy imageLoadPolicy = ImageLoadPolicy::WhenDecodable;
  std::optional<std::int32_t> checkImageResult;  // unset: answered from the image itself
  bool saveWritesFiles = true;

  std::vector<Call> calls;
  bool logCalls = true;
  Call unloggedCall;  // filled instead of a log entry while the log is off
  std::array<int, kOperationCount> callCounts{};
  std::array<std::vector<FailureRule>, kOperationCount> failures;
  std::vector<UnexpectedCall> unexpected;
  std::vector<std::string> misuses;

  std::vector<std::unique_ptr<MaterialStorage>> materials;
  std::vector<HostMaterial*> materialList;
  std::vector<std::unique_ptr<HostGroup>> groups;
  std::vector<HostGroup*> groupList;
  RecordArray<HostVertex> vertices;
  std::vector<HostVertexWeights*> weights;  // one per vertex, null when unweighted
  WeightPool weightPool;                    // where the records of `weights` live
  std::vector<std::unique_ptr<MeshStorage>> meshes;
  RecordArray<HostBone> bones;
  RecordArray<HostAnimation> animations;
  std::vector<std::unique_ptr<AnimationStorage>> animationData;
  std::vector<std::unique_ptr<ImageStorage>> images;
  std::vector<SavedImage> savedImages;
  std::vector<HostSceneObjectA> sceneObjectsA;
  std::vector<HostSceneObjectB> sceneObjectsB;
};

// Installs the operations of the interface into the tables of `state` (operations.cpp).
void InstallOperations(HostState& state);

// Rebuilds every bone's local matrix from its translation, rotation and scale, and its world
// matrix from its parent's (bone_transform.cpp).
void UpdateBoneMatrices(HostBone* bones, int count);

}  // namespace vexmara::host

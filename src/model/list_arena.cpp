#include "model/list_arena.h"

#include <algorithm>
#include <cstdint>
#include <new>

#ifdef VEXMARA_ARENA_POISONS
#include <sanitizer/asan_interface.h>
#define VEXMARA_POISON(address, bytes) ASAN_POISON_MEMORY_REGION(address, bytes)
#define VEXMARA_UNPOISON(address, bytes) ASAN_UNPOISON_MEMORY_REGION(address, bytes)
#else
#define VEXMARA_POISON(address, bytes) ((void)(address), (void)(bytes))
#define VEXMARA_UNPOISON(address, bytes) ((void)(address), (void)(bytes))
#endif

namespace vexmara {
namespace {

// The first shared block, and the largest: past it every block is as large as this one.
constexpr size_t kFirstBlockBytes = size_t(16) << 10;
constexpr size_t kLargestBlockBytes = size_t(1) << 20;
// A request of this size or more gets a block of its own, so a shared block never wastes more
// than this at its end, and a list of a million vertices costs no more than its own size.
constexpr size_t kOwnBlockBytes = size_t(8) << 10;

constexpr size_t RoundUp(size_t bytes) {
  return (bytes + ListArena::kAlignment - 1) & ~(ListArena::kAlignment - 1);
}

// A block's header: its link and its size, padded so that what follows keeps the alignment.
constexpr size_t kHeaderBytes = RoundUp(sizeof(void*) + sizeof(size_t));

}  // namespace

struct ListArena::Block {
  Block* next;
  size_t bytes;
};

void* ListArena::Take(size_t bytes) {
  static_assert(sizeof(Block) <= kHeaderBytes);
  if (bytes > SIZE_MAX / 2) return nullptr;
  const size_t asked = bytes;
  bytes = RoundUp((bytes == 0 ? 1 : bytes) + kRedZoneBytes);
  if (bytes <= size_t(end_ - cursor_)) {
    void* taken = cursor_;
    cursor_ += bytes;
    VEXMARA_UNPOISON(taken, asked);
    return taken;
  }
  if (bytes >= kOwnBlockBytes) {
    // Exactly the size asked for, so that the heap's own bounds fall right after it.
    const size_t blockBytes = kHeaderBytes + asked;
    auto* raw = static_cast<unsigned char*>(::operator new(blockBytes, std::nothrow));
    if (raw == nullptr) return nullptr;
    // Linked behind the shared block in use, which keeps its free space.
    auto* block = reinterpret_cast<Block*>(raw);
    block->bytes = blockBytes;
    if (blocks_ == nullptr) {
      block->next = nullptr;
      blocks_ = block;
    } else {
      block->next = blocks_->next;
      blocks_->next = block;
    }
    held_ += blockBytes;
    return raw + kHeaderBytes;
  }
  const size_t blockBytes = std::clamp(held_, kFirstBlockBytes, kLargestBlockBytes);
  auto* raw = static_cast<unsigned char*>(::operator new(blockBytes, std::nothrow));
  if (raw == nullptr) return nullptr;
  auto* block = reinterpret_cast<Block*>(raw);
  block->next = blocks_;
  block->bytes = blockBytes;
  blocks_ = block;
  held_ += blockBytes;
  cursor_ = raw + kHeaderBytes + bytes;
  end_ = raw + blockBytes;
  VEXMARA_POISON(raw + kHeaderBytes, blockBytes - kHeaderBytes);
  VEXMARA_UNPOISON(raw + kHeaderBytes, asked);
  return raw + kHeaderBytes;
}

void ListArena::Release() {
  for (Block* block = blocks_; block != nullptr;) {
    Block* next = block->next;
    VEXMARA_UNPOISON(block, block->bytes);
    ::operator delete(static_cast<void*>(block));
    block = next;
  }
  blocks_ = nullptr;
  cursor_ = end_ = nullptr;
  held_ = 0;
}

}  // namespace vexmara

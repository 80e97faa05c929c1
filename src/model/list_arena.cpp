#include "model/list_arena.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace vexmara {
namespace {

// The first shared block, and the largest: past it every block is as large as this one.
constexpr size_t kFirstBlockBytes = size_t(16) << 10;
constexpr size_t kLargestBlockBytes = size_t(1) << 20;
// A request of this size or more gets a block of its own, so a shared block never wastes more
// than this at its end, and a list of a million vertices costs no more than its own size.
constexpr size_t kOwnBlockBytes = size_t(8) << 10;

constexpr size_t RoundUp(size_t bytes) { return (bytes + ListArena::kAlignment - 1) & ~(ListArena::kAlignment - 1); }

}  // namespace

// Each block starts with its link, padded so that what follows keeps the alignment.
struct ListArena::Block {
  Block* next;
};

namespace {
constexpr size_t kHeaderBytes = RoundUp(sizeof(void*));
}  // namespace

void* ListArena::Take(size_t bytes) {
  if (bytes > SIZE_MAX / 2) return nullptr;
  bytes = RoundUp(bytes == 0 ? 1 : bytes);
  if (bytes <= size_t(end_ - cursor_)) {
    void* taken = cursor_;
    cursor_ += bytes;
    return taken;
  }
  if (bytes >= kOwnBlockBytes) {
    auto* raw = static_cast<unsigned char*>(::operator new(kHeaderBytes + bytes, std::nothrow));
    if (raw == nullptr) return nullptr;
    // Linked behind the shared block in use, which keeps its free space.
    auto* block = reinterpret_cast<Block*>(raw);
    if (blocks_ == nullptr) {
      block->next = nullptr;
      blocks_ = block;
    } else {
      block->next = blocks_->next;
      blocks_->next = block;
    }
    held_ += kHeaderBytes + bytes;
    return raw + kHeaderBytes;
  }
  const size_t blockBytes = std::clamp(held_, kFirstBlockBytes, kLargestBlockBytes);
  auto* raw = static_cast<unsigned char*>(::operator new(blockBytes, std::nothrow));
  if (raw == nullptr) return nullptr;
  auto* block = reinterpret_cast<Block*>(raw);
  block->next = blocks_;
  blocks_ = block;
  held_ += blockBytes;
  cursor_ = raw + kHeaderBytes + bytes;
  end_ = raw + blockBytes;
  return raw + kHeaderBytes;
}

void ListArena::Release() {
  for (Block* block = blocks_; block != nullptr;) {
    Block* next = block->next;
    ::operator delete(static_cast<void*>(block));
    block = next;
  }
  blocks_ = nullptr;
  cursor_ = end_ = nullptr;
  held_ = 0;
}

}  // namespace vexmara

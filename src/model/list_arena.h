// ListArena: storage for the many short lists of one model store (the vertices and triangles
// of each submesh, the texture slots of each material, the keys of each animation track),
// taken from a few large blocks and given back all at once when the store is emptied. A model
// of ten thousand materials or an import of hundreds of animation files otherwise makes and
// frees tens of thousands of small heap blocks, and freeing them one by one walks memory the
// caches no longer hold. Nothing here throws; a failed allocation returns null.
#pragma once

#include <cstddef>

// Under AddressSanitizer the arena poisons what it has not handed out, so that a read or write
// past the end of one list is reported as it would be for a heap block of its own.
#if defined(__SANITIZE_ADDRESS__)
#define VEXMARA_ARENA_POISONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXMARA_ARENA_POISONS 1
#endif
#endif

namespace vexmara {

class ListArena {
 public:
  static constexpr size_t kAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
#ifdef VEXMARA_ARENA_POISONS
  // Poisoned bytes left after each take in a shared block.
  static constexpr size_t kRedZoneBytes = 32;
#else
  static constexpr size_t kRedZoneBytes = 0;
#endif

  ListArena() = default;
  ~ListArena() { Release(); }
  ListArena(const ListArena&) = delete;
  ListArena& operator=(const ListArena&) = delete;

  // `bytes` of storage aligned to kAlignment, alive until Release; null when memory runs out.
  // Blocks grow with what the arena already holds, so the arena never holds much more than
  // twice what was taken from it.
  void* Take(size_t bytes);

  // Frees every block. Whatever was taken must no longer be used.
  void Release();

  // The bytes of all blocks held, headers included.
  size_t HeldBytes() const { return held_; }

 private:
  struct Block;

  Block* blocks_ = nullptr;
  unsigned char* cursor_ = nullptr;
  unsigned char* end_ = nullptr;
  size_t held_ = 0;
};

}  // namespace vexmara

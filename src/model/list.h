// List: an int32 count plus an array, as every list of the model store is kept. The array is the
// list's own, or storage taken from a ListArena that outlives the list (the store's short lists).
// Refilling frees the old elements first and fills the new array, with default elements or with
// elements made in place; a failed allocation fails the operation and leaves the list empty.
// Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "model/list_arena.h"

namespace vexmara {

template <typename T>
struct List {
  // Both kinds of storage (operator new's and the arena's) are aligned for any such T.
  static_assert(alignof(T) <= ListArena::kAlignment);

  int32_t count = 0;
  int32_t capacity = 0;
  T* items = nullptr;
  bool borrowed = false;  // items came from an arena, which frees them

  List() = default;
  ~List() { Free(); }
  List(const List&) = delete;
  List& operator=(const List&) = delete;
  List(List&& other) noexcept { *this = std::move(other); }
  List& operator=(List&& other) noexcept {
    if (this != &other) {
      Free();
      count = std::exchange(other.count, 0);
      capacity = std::exchange(other.capacity, 0);
      items = std::exchange(other.items, nullptr);
      borrowed = std::exchange(other.borrowed, false);
    }
    return *this;
  }

  bool empty() const { return items == nullptr; }
  T* begin() { return items; }
  T* end() { return items + count; }
  const T* begin() const { return items; }
  const T* end() const { return items + count; }
  T& operator[](int32_t i) { return items[i]; }
  const T& operator[](int32_t i) const { return items[i]; }

  // Only the first `count` elements of the storage are alive.
  void Free() {
    if (items != nullptr) {
      std::destroy_n(items, size_t(count));
      if (!borrowed) ::operator delete(items);
    }
    items = nullptr;
    count = 0;
    capacity = 0;
    borrowed = false;
  }

  // Frees the old elements, then holds n default elements. n <= 0 leaves the list empty.
  bool Reset(int32_t n) {
    return ResetWith(n, [](int32_t) { return T(); });
  }
  bool Reset(ListArena& arena, int32_t n) {
    return ResetWith(arena, n, [](int32_t) { return T(); });
  }

  // Frees the old elements, then holds n elements, element i made in place from make(i), which
  // returns a T. Each element is written once, which matters for lists of millions of vertices.
  // n <= 0 leaves the list empty.
  template <typename Make>
  bool ResetWith(int32_t n, Make&& make) {
    Free();
    if (n <= 0) return true;
    return Fill(Allocate(n), false, n, make);
  }

  // The same, with the storage taken from `arena`, which must outlive the list's elements.
  template <typename Make>
  bool ResetWith(ListArena& arena, int32_t n, Make&& make) {
    Free();
    if (n <= 0) return true;
    return Fill(static_cast<T*>(arena.Take(size_t(n) * sizeof(T))), true, n, make);
  }

  // Adds one default element at the end and returns it, or null when the list cannot grow.
  // Storage grows geometrically and earlier elements are moved, not copied, so a long run of
  // appends costs time linear in the final count.
  T* Append() {
    if (count == capacity) {
      if (capacity > 0x3FFFFFFF) return nullptr;
      const int32_t grown = capacity < 4 ? 4 : capacity * 2;
      T* larger = Allocate(grown);
      if (larger == nullptr) return nullptr;
      for (int32_t i = 0; i < count; ++i)
        ::new (static_cast<void*>(larger + i)) T(std::move(items[i]));
      const int32_t moved = count;
      Free();  // an arena's storage stays with the arena
      items = larger;
      count = moved;
      capacity = grown;
    }
    T* added = ::new (static_cast<void*>(items + count)) T();
    ++count;
    return added;
  }

 private:
  template <typename Make>
  bool Fill(T* storage, bool fromArena, int32_t n, Make& make) {
    if (storage == nullptr) return false;
    for (int32_t i = 0; i < n; ++i) ::new (static_cast<void*>(storage + i)) T(make(i));
    items = storage;
    count = n;
    capacity = n;
    borrowed = fromArena;
    return true;
  }

  // Storage for n elements, none of them alive yet; n is at most 2^31 - 1, so the size cannot
  // overflow a 64-bit size_t.
  static T* Allocate(int32_t n) {
    return static_cast<T*>(::operator new(size_t(n) * sizeof(T), std::nothrow));
  }
};

}  // namespace vexmara

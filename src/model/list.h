// List: an int32 count plus an owned array, as every list of the model store is kept.
// Refilling frees the old elements first and fills the new array with default elements; a
// failed allocation fails the operation and leaves the list empty. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace vexmara {

template <typename T>
struct List {
  int32_t count = 0;
  int32_t capacity = 0;
  T* items = nullptr;

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

  void Free() {
    delete[] items;
    items = nullptr;
    count = 0;
    capacity = 0;
  }

  // Frees the old elements, then holds n default elements. n <= 0 leaves the list empty.
  bool Reset(int32_t n) {
    Free();
    if (n <= 0) return true;
    items = new (std::nothrow) T[size_t(n)]();
    if (items == nullptr) return false;
    count = n;
    capacity = n;
    return true;
  }

  // Adds one default element at the end and returns it, or null when the list cannot grow.
  // Storage grows geometrically and earlier elements are moved, not copied, so a long run of
  // appends costs time linear in the final count.
  T* Append() {
    if (count == capacity) {
      if (capacity > 0x3FFFFFFF) return nullptr;
      const int32_t grown = capacity < 4 ? 4 : capacity * 2;
      T* larger = new (std::nothrow) T[size_t(grown)]();
      if (larger == nullptr) return nullptr;
      for (int32_t i = 0; i < count; ++i) larger[i] = std::move(items[i]);
      delete[] items;
      items = larger;
      capacity = grown;
    }
    items[count] = T{};
    return &items[count++];
  }
};

}  // namespace vexmara

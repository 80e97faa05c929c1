// FirstIndexTable: remembers, for each key, the first index of a list that carried it, so that
// "the first entry with this name / identifier" is found in constant time instead of by a walk
// over the list. FirstIndexLookup below puts it to that use. The table holds only indices and their
// keys' hashes; whether two keys are equal is asked of the caller, who compares the list entries
// themselves. Storage comes from nothrow allocation: a table that cannot grow reports false and
// stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "platform/platform.h"

namespace vexmara {

// Spreads the bits of a hash over the low bits the table indexes by (splitmix64's finaliser).
inline uint64_t MixHash(uint64_t h) {
  h ^= h >> 30;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 27;
  h *= 0x94D049BB133111EBull;
  h ^= h >> 31;
  return h;
}

// The hash of a narrow name that is the same for names equal without regard to case as the
// runtime compares them in the plug-in's locale, which it never changes: ASCII letters folded.
inline uint64_t NarrowNameHash(const char* name) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (const char* p = name; *p != 0; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    h = (h ^ ((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c)) * 0x100000001B3ull;
  }
  return MixHash(h);
}

// Narrow names compare as the runtime's _stricmp does; NarrowNameHash goes with it.
inline bool SameNarrowName(const char* a, const char* b) {
  return platform::CompareNoCase(a, b) == 0;
}

class FirstIndexTable {
 public:
  FirstIndexTable() = default;
  ~FirstIndexTable() { delete[] slots_; }
  FirstIndexTable(const FirstIndexTable&) = delete;
  FirstIndexTable& operator=(const FirstIndexTable&) = delete;

  // Makes room for `keys` keys, so that inserting that many cannot fail.
  bool Reserve(size_t keys) {
    size_t capacity = 16;
    while (capacity / 2 < keys) {
      if (capacity > (SIZE_MAX / sizeof(Slot)) / 4) return false;
      capacity *= 2;
    }
    return capacity <= capacity_ || Rehash(capacity);
  }

  // The index stored for a key of this hash for which `equal(index)` holds, or -1.
  template <typename Equal>
  int32_t Find(uint64_t hash, Equal&& equal) const {
    if (slots_ == nullptr) return -1;
    for (size_t i = size_t(hash) & (capacity_ - 1);; i = (i + 1) & (capacity_ - 1)) {
      const Slot& slot = slots_[i];
      if (slot.index < 0) return -1;
      if (slot.hash == hash && equal(slot.index)) return slot.index;
    }
  }

  // Stores `index` for a key that Find did not find. False when the table cannot grow.
  bool Insert(uint64_t hash, int32_t index) {
    if ((used_ + 1) * 2 > capacity_ && !Reserve(used_ + 1)) return false;
    size_t i = size_t(hash) & (capacity_ - 1);
    while (slots_[i].index >= 0) i = (i + 1) & (capacity_ - 1);
    slots_[i] = Slot{hash, index};
    ++used_;
    return true;
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    int32_t index = -1;  // -1: empty
  };

  bool Rehash(size_t capacity) {
    Slot* larger = new (std::nothrow) Slot[capacity];
    if (larger == nullptr) return false;
    for (size_t k = 0; k < capacity_; ++k) {
      if (slots_[k].index < 0) continue;
      size_t i = size_t(slots_[k].hash) & (capacity - 1);
      while (larger[i].index >= 0) i = (i + 1) & (capacity - 1);
      larger[i] = slots_[k];
    }
    delete[] slots_;
    slots_ = larger;
    capacity_ = capacity;
    return true;
  }

  Slot* slots_ = nullptr;
  size_t capacity_ = 0;  // a power of two, at least twice the keys held
  size_t used_ = 0;
};

// FirstIndexLookup: "the first entry of a list whose key equals this one", asked for many keys
// (each submesh's material name, each bone's name, each texture slot's identifier). The first
// entry of each key is indexed in a FirstIndexTable, so that each question costs constant time
// instead of a walk over the list; without memory for the table each question walks the list,
// with the same answer.
//
// `keyOf(i)` is entry i's key, `hashOf(key)` a hash that is the same for equal keys, and
// `same(a, b)` tells whether two keys are equal. The list must not change while the lookup
// lives.
template <typename KeyOf, typename HashOf, typename Same>
class FirstIndexLookup {
 public:
  FirstIndexLookup(int32_t count, KeyOf keyOf, HashOf hashOf, Same same)
      : count_(count), keyOf_(keyOf), hashOf_(hashOf), same_(same) {
    indexed_ = count_ > 0 && table_.Reserve(size_t(count_));
    for (int32_t i = 0; indexed_ && i < count_; ++i) {
      const auto key = keyOf_(i);
      const uint64_t hash = hashOf_(key);
      if (FindIndexed(hash, key) < 0) indexed_ = table_.Insert(hash, i);
    }
  }

  // The first index whose key equals `key`, or -1.
  template <typename Key>
  int32_t Find(const Key& key) const {
    if (indexed_) return FindIndexed(hashOf_(key), key);
    for (int32_t i = 0; i < count_; ++i) {
      if (same_(keyOf_(i), key)) return i;
    }
    return -1;
  }

 private:
  template <typename Key>
  int32_t FindIndexed(uint64_t hash, const Key& key) const {
    return table_.Find(hash, [&](int32_t k) { return same_(keyOf_(k), key); });
  }

  int32_t count_;
  KeyOf keyOf_;
  HashOf hashOf_;
  Same same_;
  FirstIndexTable table_;
  bool indexed_ = false;
};

}  // namespace vexmara

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "model/list.h"
#include "model/list_arena.h"
#include "model/model_types.h"

#ifdef VEXMARA_ARENA_POISONS
#include <sanitizer/asan_interface.h>
#endif

namespace vexmara {
namespace {

// Elements that own storage themselves, as submeshes own their vertex lists: growing the outer
// list moves them, and a sanitizer build reports any element freed twice or never.
TEST(List, AppendKeepsEveryElementThroughGrowth) {
  List<List<int32_t>> lists;
  for (int32_t i = 0; i < 100; ++i) {
    List<int32_t>* added = lists.Append();
    ASSERT_NE(added, nullptr);
    EXPECT_TRUE(added->empty());  // a default element
    ASSERT_TRUE(added->ResetWith(i + 1, [i](int32_t k) { return i * 1000 + k; }));
  }
  ASSERT_EQ(lists.count, 100);
  EXPECT_GE(lists.capacity, 100);
  for (int32_t i = 0; i < lists.count; ++i) {
    ASSERT_EQ(lists[i].count, i + 1) << i;
    EXPECT_EQ(lists[i][i], i * 1001) << i;
  }
}

TEST(List, ResetGivesDefaultsAndResetWithMakesEachElementFromItsIndex) {
  List<Vertex> vertices;
  ASSERT_TRUE(vertices.Reset(3));
  for (const Vertex& vertex : vertices) {
    EXPECT_EQ(vertex.boneIndices[0], -1);
    EXPECT_EQ(vertex.influenceCount, 0);
  }
  ASSERT_TRUE(vertices.ResetWith(4, [](int32_t i) { return Vertex{{float(i), 0, 0}}; }));
  ASSERT_EQ(vertices.count, 4);
  EXPECT_EQ(vertices[3].position[0], 3.0f);
  EXPECT_EQ(vertices[3].boneIndices[2], -1);  // members not given keep their defaults

  ASSERT_TRUE(vertices.Reset(0));
  EXPECT_TRUE(vertices.empty());
  EXPECT_EQ(vertices.count, 0);
  ASSERT_TRUE(vertices.ResetWith(-5, [](int32_t) { return Vertex{}; }));
  EXPECT_TRUE(vertices.empty());
}

// Lists that borrow their storage from an arena: the arena frees it, never the list, and a list
// that outgrows borrowed storage moves to storage of its own. A sanitizer build reports a
// borrowed block freed by a list, or an arena block lost.
TEST(List, ArenaStorageIsFreedByTheArenaAlone) {
  ListArena arena;
  List<List<Triangle>> lists;
  for (int32_t i = 0; i < 300; ++i) {
    List<Triangle>* added = lists.Append();
    ASSERT_NE(added, nullptr);
    ASSERT_TRUE(added->ResetWith(arena, i + 1, [i](int32_t k) { return Triangle{{i, k, -i}}; }));
    EXPECT_TRUE(added->borrowed);
  }
  for (int32_t i = 0; i < lists.count; ++i) {
    ASSERT_EQ(lists[i].count, i + 1);
    EXPECT_EQ(lists[i][i].indices[0], i);
    EXPECT_EQ(lists[i][i].indices[1], i);
  }

  // Growing past borrowed storage keeps every element in a block of the list's own.
  List<Triangle>& grown = lists[5];
  for (int32_t k = 0; k < 10; ++k) ASSERT_NE(grown.Append(), nullptr);
  EXPECT_FALSE(grown.borrowed);
  ASSERT_EQ(grown.count, 16);
  for (int32_t k = 0; k < 6; ++k) EXPECT_EQ(grown[k].indices[1], k);
  EXPECT_EQ(grown[15].indices[0], -1);

  // A move carries the borrowing with it; refilling from the heap ends it.
  List<Triangle> moved = std::move(lists[7]);
  EXPECT_TRUE(moved.borrowed);
  EXPECT_FALSE(lists[7].borrowed);
  ASSERT_TRUE(moved.Reset(3));
  EXPECT_FALSE(moved.borrowed);

  lists.Free();
  arena.Release();
  EXPECT_EQ(arena.HeldBytes(), 0u);
}

TEST(ListArena, TakesAlignedStorageThatNoOtherTakeOverlaps) {
  ListArena arena;
  // Sizes below and above a block of their own, and an empty request, in a repeating order.
  const size_t sizes[] = {0, 1, 24, 56, 1000, 9000, 70000, 3, 4096, 200000};
  std::vector<std::pair<unsigned char*, size_t>> taken;
  size_t asked = 0;
  for (int round = 0; round < 40; ++round) {
    for (size_t bytes : sizes) {
      auto* p = static_cast<unsigned char*>(arena.Take(bytes));
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % ListArena::kAlignment, 0u);
      std::memset(p, int(taken.size() & 0xFF), bytes);  // every byte taken is writable
      taken.emplace_back(p, bytes);
      asked += bytes;
    }
  }
  // Each range still holds what was written into it, so no later take overlapped it.
  for (size_t i = 0; i < taken.size(); ++i) {
    const auto [p, bytes] = taken[i];
    EXPECT_TRUE(std::all_of(p, p + bytes, [i](unsigned char b) { return b == (i & 0xFF); })) << i;
  }
  std::sort(taken.begin(), taken.end());
  for (size_t i = 1; i < taken.size(); ++i) {
    EXPECT_LE(taken[i - 1].first + taken[i - 1].second, taken[i].first) << i;
  }
  // Bounded by what was asked: about twice, with one first block and headers besides.
  EXPECT_GE(arena.HeldBytes(), asked);
  EXPECT_LE(arena.HeldBytes(), 2 * asked + (64u << 10));

  arena.Release();
  EXPECT_EQ(arena.HeldBytes(), 0u);
  ASSERT_NE(arena.Take(100), nullptr);  // usable again after a release
  EXPECT_EQ(arena.Take(SIZE_MAX), nullptr);
}

// A list's storage in a shared block is followed by poisoned bytes, so the sanitizer reports a
// read or write past a list's end even when the next list's storage follows in the same block.
TEST(ListArena, PoisonsTheBytesAfterEachTakeUnderAddressSanitizer) {
#ifndef VEXMARA_ARENA_POISONS
  GTEST_SKIP() << "built without AddressSanitizer";
#else
  ListArena arena;
  for (size_t bytes : {size_t(1), size_t(12), size_t(16), size_t(100), size_t(4000)}) {
    auto* p = static_cast<unsigned char*>(arena.Take(bytes));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(__asan_region_is_poisoned(p, bytes), nullptr) << bytes;
    EXPECT_TRUE(__asan_address_is_poisoned(p + bytes)) << bytes;
  }
  auto* own = static_cast<unsigned char*>(arena.Take(20000));  // a block of its own
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(__asan_region_is_poisoned(own, 20000), nullptr);
  EXPECT_TRUE(__asan_address_is_poisoned(own + 20000));
  arena.Release();
#endif
}

}  // namespace
}  // namespace vexmara

// The first-index lookup shared by the material, track and texture-identifier matches: the
// first entry of a key wins, whatever the hashes do.
#include "model/first_index_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vexmara {
namespace {

struct Query {
  const char* name;
  int32_t first;
};

// The same questions with the real hash and with one under which every key collides, so that
// the answer rests on the key comparison and the probing, not on the hashes being distinct.
TEST(FirstIndexLookup, TheFirstEntryOfEachNameWinsWhateverTheHashes) {
  const std::vector<const char*> names = {"Stone", "wood", "STONE", "Iron", "Wood", "", "iron"};
  const Query queries[] = {{"stone", 0}, {"STONE", 0}, {"WOOD", 1},  {"wood", 1},   {"iron", 3},
                           {"", 5},      {"gold", -1}, {"ston", -1}, {"stones", -1}};
  const auto keyOf = [&](int32_t i) { return names[size_t(i)]; };
  const auto collide = [](const char*) { return uint64_t(42); };

  const FirstIndexLookup hashed(int32_t(names.size()), keyOf, NarrowNameHash, SameNarrowName);
  const FirstIndexLookup colliding(int32_t(names.size()), keyOf, collide, SameNarrowName);
  for (const Query& q : queries) {
    EXPECT_EQ(hashed.Find(q.name), q.first) << q.name;
    EXPECT_EQ(colliding.Find(q.name), q.first) << q.name;
  }
}

TEST(FirstIndexLookup, IdentifiersAndAnEmptyList) {
  const std::vector<int32_t> ids = {7, -1, 9, 7, 9, 0};
  const auto same = [](int32_t a, int32_t b) { return a == b; };
  const FirstIndexLookup lookup(
      int32_t(ids.size()), [&](int32_t i) { return ids[size_t(i)]; },
      [](int32_t id) { return MixHash(uint32_t(id)); }, same);
  EXPECT_EQ(lookup.Find(7), 0);
  EXPECT_EQ(lookup.Find(9), 2);
  EXPECT_EQ(lookup.Find(0), 5);
  EXPECT_EQ(lookup.Find(-1), 1);
  EXPECT_EQ(lookup.Find(8), -1);

  const FirstIndexLookup none(
      0, [&](int32_t i) { return ids[size_t(i)]; }, [](int32_t) { return uint64_t(0); }, same);
  EXPECT_EQ(none.Find(7), -1);
}

}  // namespace
}  // namespace vexmara

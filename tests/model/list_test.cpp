#include <gtest/gtest.h>

#include "model/list.h"
#include "model/model_types.h"

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

}  // namespace
}  // namespace vexmara

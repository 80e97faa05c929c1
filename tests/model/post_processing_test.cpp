#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "model/post_processing.h"
#include "store/model_store.h"

namespace vexmara {
namespace {

Bone MakeBone(int32_t parent, float tx, float ty, float tz, float scale = 1.0f) {
  Bone bone;
  bone.parentIndex = parent;
  bone.bindTransform.translation[0] = tx;
  bone.bindTransform.translation[1] = ty;
  bone.bindTransform.translation[2] = tz;
  bone.bindTransform.scale = scale;
  return bone;
}

void SetBones(ModelStore& store, std::initializer_list<Bone> bones) {
  ASSERT_TRUE(store.bones.Reset(int32_t(bones.size())));
  int32_t i = 0;
  for (const Bone& b : bones) {
    store.bones[i].parentIndex = b.parentIndex;
    store.bones[i].bindTransform = b.bindTransform;
    ++i;
  }
}

void ExpectTranslationMatrix(const Matrix4& m, float x, float y, float z) {
  const float expected[16] = {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m.m[i], expected[i]) << "element " << i;
}

TEST(FindMaterialByName, IgnoresCaseAndTakesTheFirstMatch) {
  ModelStore store;
  EXPECT_EQ(FindMaterialByName(store, "stone"), -1);  // no material array
  ASSERT_TRUE(store.materials.Reset(3));
  std::strcpy(store.materials[0].name, "Wood");
  std::strcpy(store.materials[1].name, "STONE");
  std::strcpy(store.materials[2].name, "stone");
  EXPECT_EQ(FindMaterialByName(store, "Stone"), 1);
  EXPECT_EQ(FindMaterialByName(store, "wood"), 0);
  EXPECT_EQ(FindMaterialByName(store, "iron"), -1);
  EXPECT_EQ(FindMaterialByName(store, nullptr), -1);
}

TEST(ResolveMaterialIndices, FillsBothGeosetsAndLeavesMinusOneWithoutMaterials) {
  ModelStore store;
  ASSERT_TRUE(store.geosets.Reset(2));
  ASSERT_TRUE(store.geosets[0].submeshes.Reset(1));
  ASSERT_TRUE(store.geosets[1].submeshes.Reset(2));
  std::strcpy(store.geosets[0].submeshes[0].materialName, "skin");
  std::strcpy(store.geosets[1].submeshes[0].materialName, "CLOTH");
  std::strcpy(store.geosets[1].submeshes[1].materialName, "missing");

  ResolveMaterialIndices(store);
  EXPECT_EQ(store.geosets[0].submeshes[0].materialIndex, -1);

  ASSERT_TRUE(store.materials.Reset(2));
  std::strcpy(store.materials[0].name, "cloth");
  std::strcpy(store.materials[1].name, "Skin");
  ResolveMaterialIndices(store);
  EXPECT_EQ(store.geosets[0].submeshes[0].materialIndex, 1);
  EXPECT_EQ(store.geosets[1].submeshes[0].materialIndex, 0);
  EXPECT_EQ(store.geosets[1].submeshes[1].materialIndex, -1);
}

TEST(CountInfluences, CountsOnlyWeightsAboveZero) {
  struct Case {
    float weights[3];
    int32_t expected;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {{{0.7f, 0.3f, 0.0f}, 2},
                        {{-0.1f, 0, 0}, 0},
                        {{1, 1, 1}, 3},
                        {{nan, 0.5f, -0.0f}, 1},
                        {{1e-30f, 0, 0}, 1}};
  ModelStore store;
  ASSERT_TRUE(store.geosets.Reset(2));
  ASSERT_TRUE(store.geosets[1].submeshes.Reset(1));
  List<Vertex>& vertices = store.geosets[1].submeshes[0].vertices;
  ASSERT_TRUE(vertices.Reset(int32_t(std::size(cases))));
  for (size_t i = 0; i < std::size(cases); ++i)
    std::memcpy(vertices[int32_t(i)].weights, cases[i].weights, 12);
  CountInfluences(store);
  CountInfluences(store);  // repeatable: counts start from zero each time
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(vertices[int32_t(i)].influenceCount, cases[i].expected) << i;
}

TEST(ComputeBoneMatrices, RootTakesItsBindTransformAndKeepsScaleOneForZero) {
  ModelStore store;
  SetBones(store, {MakeBone(-1, 1, 2, 3, 0.0f)});
  ComputeBoneMatrices(store);
  const Bone& bone = store.bones[0];
  ExpectTranslationMatrix(bone.localMatrix, 1, 2, 3);
  ExpectTranslationMatrix(bone.worldMatrix, 1, 2, 3);
  EXPECT_EQ(bone.bindScale[0], 1);
  EXPECT_EQ(bone.bindScale[2], 1);
  EXPECT_EQ(bone.bindTranslation[1], 2);
  EXPECT_EQ(bone.bindRotation[3], 1);
}

TEST(ComputeBoneMatrices, UniformScaleGoesIntoBindScaleButNotTheMatrix) {
  ModelStore store;
  SetBones(store, {MakeBone(-1, 0, 0, 0, 2.5f)});
  ComputeBoneMatrices(store);
  EXPECT_EQ(store.bones[0].bindScale[0], 2.5f);
  EXPECT_EQ(store.bones[0].bindScale[1], 2.5f);
  ExpectTranslationMatrix(store.bones[0].localMatrix, 0, 0, 0);
}

TEST(ComputeBoneMatrices, ChildChainsOntoAnEarlierParent) {
  ModelStore store;
  SetBones(store, {MakeBone(-1, 1, 2, 3), MakeBone(0, 0, 0, 5)});
  store.bones[0].bindTransform.rotation[2] =
      0.7071068f;  // a quarter turn about z moves the child's offset
  store.bones[0].bindTransform.rotation[3] = 0.7071068f;
  store.bones[1].bindTransform.translation[0] = 1;
  ComputeBoneMatrices(store);
  const Matrix4& w = store.bones[1].worldMatrix;
  EXPECT_NEAR(w.m[3], 1, 1e-6);
  EXPECT_NEAR(w.m[7], 3, 1e-6);
  EXPECT_NEAR(w.m[11], 8, 1e-6);
}

TEST(ComputeBoneMatrices, LaterSelfOrOutOfRangeParentLeavesWorldEqualToLocal) {
  ModelStore store;
  SetBones(store, {MakeBone(1, 1, 0, 0), MakeBone(-1, 10, 0, 0), MakeBone(2, 0, 2, 0),
                   MakeBone(4, 0, 0, 3), MakeBone(1000000, 4, 4, 4)});
  ComputeBoneMatrices(store);
  ExpectTranslationMatrix(store.bones[0].worldMatrix, 1, 0, 0);  // parent 1 comes later
  ExpectTranslationMatrix(store.bones[2].worldMatrix, 0, 2, 0);  // its own parent
  ExpectTranslationMatrix(store.bones[3].worldMatrix, 0, 0, 3);  // parent 4 comes later
  ExpectTranslationMatrix(store.bones[4].worldMatrix, 4, 4, 4);  // parent past the list: a root
}

}  // namespace
}  // namespace vexmara

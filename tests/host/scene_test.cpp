// Bone transforms made current by the host, scene objects the host holds, the text helpers,
// and the scene written as JSON.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "host/host.h"
#include "host/scene_json.h"
#include "host/text.h"
#include "tests/host/host_test_support.h"

namespace vexmara::host {
namespace {

using testing::CallSlot;
using testing::Dual;
using testing::ReadAt;
using testing::WriteAt;

struct BoneSetup {
  std::int32_t parent;
  std::array<float, 3> translation;
  std::array<float, 4> rotation;
  std::array<float, 3> scale;
};

// Bones created by slot and written at their offsets, as the plug-in's bone stage does.
void MakeBones(Host& host, const std::vector<BoneSetup>& setups) {
  for (const auto& setup : setups) {
    const DualString name = Dual("b");
    void* bone = CallSlot<void*>(&host.Context(), 152, &name, -1);
    ASSERT_NE(bone, nullptr);
    WriteAt(bone, 792, setup.parent);
    for (std::size_t i = 0; i < 3; ++i) {
      WriteAt(bone, 832 + 4 * i, setup.translation[i]);
      WriteAt(bone, 844 + 4 * i, setup.scale[i]);
    }
    for (std::size_t i = 0; i < 4; ++i) {
      WriteAt(bone, 920 + 4 * i, setup.rotation[i]);
    }
  }
}

void ExpectMatrixNear(const std::array<float, 16>& actual, const std::array<float, 16>& expected) {
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_NEAR(actual[i], expected[i], 1e-5f) << "element " << i;
  }
}

const float kHalfRoot = std::sqrt(0.5f);

TEST(BoneTransformTest, WorldIsParentWorldTimesLocal) {
  Host host;
  // A root turned a quarter about z and scaled by 2, and a child one unit along its parent's x.
  MakeBones(host, {{-1, {1, 2, 3}, {0, 0, kHalfRoot, kHalfRoot}, {2, 2, 2}},
                   {0, {1, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}}});
  ASSERT_EQ(CallSlot<std::int32_t>(&host.Context(), 136, 1), 1);
  const auto bones = host.Bones();
  ExpectMatrixNear(bones[0].localMatrix, {0, -2, 0, 1, 2, 0, 0, 2, 0, 0, 2, 3, 0, 0, 0, 1});
  ExpectMatrixNear(bones[0].worldMatrix, bones[0].localMatrix);
  ExpectMatrixNear(bones[1].localMatrix, {1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  ExpectMatrixNear(bones[1].worldMatrix, {0, -2, 0, 1, 2, 0, 0, 4, 0, 0, 2, 3, 0, 0, 0, 1});
  // The world matrix is read by the plug-in at offset 1012.
  void* child = ReadAt<unsigned char*>(&host.Context(), 7976) + 1176;
  EXPECT_NEAR(ReadAt<float>(child, 1012 + 4 * 7), 4.0f, 1e-5f);
}

TEST(BoneTransformTest, ParentsAfterChildrenAndBrokenLinks) {
  Host host;
  MakeBones(host, {{1, {1, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}},   // child of a later bone
                   {-1, {5, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}},  // root
                   {99, {0, 7, 0}, {0, 0, 0, 0}, {1, 1, 1}},  // parent out of range, zero rotation
                   {4, {0, 0, 1}, {0, 0, 0, 2}, {1, 1, 1}},   // cycle 3 -> 4 -> 3, unnormalised
                   {3, {0, 0, 1}, {0, 0, 0, 1}, {1, 1, 1}}});
  ASSERT_EQ(CallSlot<std::int32_t>(&host.Context(), 136, 1), 1);
  const auto bones = host.Bones();
  EXPECT_FLOAT_EQ(bones[0].worldMatrix[3], 6.0f);
  ExpectMatrixNear(bones[2].worldMatrix, {1, 0, 0, 0, 0, 1, 0, 7, 0, 0, 1, 0, 0, 0, 0, 1});
  for (const auto& bone : {bones[3], bones[4]}) {
    for (float value : bone.worldMatrix) {
      EXPECT_TRUE(std::isfinite(value));
    }
    EXPECT_FLOAT_EQ(bone.worldMatrix[0], 1.0f);  // the rotation (0, 0, 0, 2) is no rotation
  }
  // One of the two bones of the cycle is taken as a root, the other hangs below it.
  EXPECT_FLOAT_EQ(bones[3].worldMatrix[11] + bones[4].worldMatrix[11], 3.0f);
}

TEST(SceneObjectsTest, TestsFillTheListsTheContextShows) {
  Host host;
  std::array<float, 16> matrix{};
  matrix[0] = matrix[5] = matrix[10] = matrix[15] = 1.0f;
  matrix[3] = 4.0f;
  host.SetSceneObjectsA({MakeSceneObjectA({1, 2, 3}, matrix, {10, 20}),
                         MakeSceneObjectA({4, 5, 6}, matrix, {30, 40})});
  host.SetSceneObjectsB({MakeSceneObjectB({7, 8, 9}, matrix)});

  const void* context = &host.Context();
  ASSERT_EQ(ReadAt<std::int32_t>(context, 7824), 2);
  const auto* a = ReadAt<const unsigned char*>(context, 7832);
  EXPECT_EQ(ReadAt<float>(a, 992 + 832 + 4), 5.0f);
  EXPECT_EQ(ReadAt<float>(a, 856 + 12), 4.0f);
  EXPECT_EQ(ReadAt<float>(a, 992 + 988), 40.0f);
  ASSERT_EQ(ReadAt<std::int32_t>(context, 7840), 1);
  const auto* b = ReadAt<const unsigned char*>(context, 7848);
  EXPECT_EQ(ReadAt<float>(b, 832 + 8), 9.0f);
  EXPECT_EQ(ReadAt<float>(b, 856), 1.0f);

  // Changes made in place through the context are what the host then holds.
  WriteAt<float>(const_cast<unsigned char*>(a), 984, -1.0f);
  EXPECT_EQ(host.SceneObjectsA()[0].distances[0], -1.0f);
  EXPECT_EQ(host.SceneObjectsB()[0].position[0], 7.0f);

  host.SetSceneObjectsA({});
  EXPECT_EQ(ReadAt<std::int32_t>(context, 7824), 0);
  EXPECT_EQ(ReadAt<const void*>(context, 7832), nullptr);
}

TEST(TextTest, ConversionsBetweenUtf16AndUtf8) {
  struct Case {
    std::u16string wide;
    std::string narrow;
  };
  const Case cases[] = {
      {u"plain", "plain"},
      {u"\u00e9\u6a21", "\xc3\xa9\xe6\xa8\xa1"},
      {u"\U0001F600", "\xf0\x9f\x98\x80"},  // a surrogate pair
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf16ToUtf8(c.wide), c.narrow);
    EXPECT_EQ(Utf8ToUtf16(c.narrow), c.wide);
  }
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800') + u"a"),
            "\xef\xbf\xbd"
            "a");
  EXPECT_EQ(Utf8ToUtf16("\xc0\xaf"
                        "b"),
            u"\uFFFD\uFFFD"
            u"b");                                      // an overlong form
  EXPECT_EQ(Utf8ToUtf16("\xe6\xa8"), u"\uFFFD\uFFFD");  // cut short
}

TEST(SceneJsonTest, DocumentHoldsTheBuiltScene) {
  Host host;
  void* context = &host.Context();
  host.SetModelPath(u"/models/hero.app");
  const DualString stone = Dual("stone");
  void* material = CallSlot<void*>(context, 150, &stone);
  WriteAt<std::int32_t>(material, 8, 2);
  ASSERT_EQ(CallSlot<std::int32_t>(context, 100, 1), 1);
  WriteAt<float>(ReadAt<void*>(context, 7880), 12, 0.1f);
  MakeBones(host, {{-1, {1, 2, 3}, {0, 0, 0, 1}, {1, 1, 1}}});
  const DualString walk = Dual("walk");
  void* animation = CallSlot<void*>(context, 154, &walk);
  ASSERT_EQ(CallSlot<std::int32_t>(animation, 12, 1), 1);
  ASSERT_NE(CallSlot<void*>(animation, 13, 0, 1), nullptr);
  CallSlot<std::uintptr_t>(context, 5);  // a trap

  const nlohmann::json document = SceneJson(host);
  EXPECT_EQ(document["file"]["path"], "/models/hero.app");
  EXPECT_EQ(document["materials"][0]["name"], "stone");
  EXPECT_EQ(document["materials"][0]["flags"], 2);
  EXPECT_EQ(document["vertices"][0]["position"][0].get<double>(), 0.1);
  EXPECT_EQ(document["bones"][0]["translation"], nlohmann::json::array({1, 2, 3}));
  EXPECT_EQ(document["animations"][0]["name"], "walk");
  EXPECT_EQ(document["animations"][0]["tracks"][0]["translationKeys"].size(), 1u);
  EXPECT_EQ(document["calls"]["CreateMaterial"], 1);
  EXPECT_EQ(document["unexpectedCalls"][0]["slot"], 5);
  EXPECT_EQ(document["unexpectedCalls"][0]["object"], "context");
  EXPECT_TRUE(document["retiredArraysUntouched"].get<bool>());

  const std::string text = SceneJsonText(host, -1);
  EXPECT_NE(text.find("[0.1,"), std::string::npos) << "floats are written in their shortest form";
  EXPECT_EQ(text.find("0.100000001"), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(text), document);
}

}  // namespace
}  // namespace vexmara::host

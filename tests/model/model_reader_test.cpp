#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "model/model_reader.h"
#include "model/post_processing.h"
#include "model_fixture.h"
#include "writer/app_writer.h"

namespace vexmara {
namespace {

using testing::ParseBytes;
using testing::ParseModelDescription;
using namespace vexmara::writer;

AppModel MinimalModel() {
  AppModel model;
  model.formatVersion = 260;
  AppBone root;
  root.name = "root";
  model.bones.push_back(root);
  return model;
}

// A model that uses every kind of record, for any format version.
AppModel RichModel(uint32_t version) {
  AppModel model;
  model.formatVersion = version;
  AppBone root;
  root.name = "pelvis";
  root.bindTransform.translation = {1, 2, 3};
  AppBone child;
  child.name = "spine";
  child.parentIndex = 0;
  child.bindTransform.translation = {0, 0, 5};
  child.bindTransform.scale = 2;
  child.firstTransform.translation = {99, 99, 99};  // ignored blocks must not leak in
  model.bones = {root, child};

  AppSubmesh body;
  body.materialName = "SKIN";
  body.vertices = {MakeVertex(0, 0, 0, 64.001953125f, 128),
                   MakeVertex(1, 0, 0, 0.001953125f, 64.5f), MakeVertex(0, 1, 0, 100, 100)};
  body.skin = {{{0, 1, 0}, {0.7f, 0.3f, 0}}, {{1, 0, 0}, {1, 0, 0}}, {{3, 4, 0}, {0.5f, 0.5f, 0}}};
  body.triangles = {{0, 1, 2}, {2, 1, 0}};
  model.geosets[0].submeshes = {body};

  AppSubmesh cloak;
  cloak.materialName = "cloth";
  cloak.vertices = {MakeVertex(5, 5, 5, 70, 70)};
  cloak.triangles = {{0, 0, 0}};
  model.geosets[1].submeshes = {cloak};

  AppMaterial skin;
  skin.name = "skin";
  skin.variants = {{{11, 12}, {}}, {{21}, {}}};
  AppMaterial cloth;
  cloth.name = "Cloth";
  cloth.variants = {{{31}, {}}, {{41, 42, 43}, {}}};
  model.materials = {skin, cloth};
  model.variantNames = {"summer", "winter"};
  return model;
}

TEST(ParseModel, MinimalFileGivesOneBoneWithIdentityWorldMatrix) {
  const std::vector<uint8_t> bytes = WriteAppFile(MinimalModel());
  ASSERT_EQ(bytes.size(), 856u);
  ModelStore store;
  ASSERT_EQ(ParseBytes(bytes, store), ModelParseResult::kOk);
  EXPECT_EQ(store.formatVersion, 260);
  ASSERT_EQ(store.bones.count, 1);
  EXPECT_STREQ(store.bones[0].name, "root");
  EXPECT_EQ(store.bones[0].parentIndex, -1);
  EXPECT_EQ(store.boneTotal, 1);
  ASSERT_EQ(store.geosets.count, 2);
  EXPECT_TRUE(store.geosets[0].submeshes.empty());
  EXPECT_TRUE(store.geosets[1].submeshes.empty());
  EXPECT_TRUE(store.materials.empty());
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_EQ(std::memcmp(store.bones[0].worldMatrix.m, identity, sizeof identity), 0);
}

TEST(ParseModel, MinimalFileCutByOneByteIsRejected) {
  const std::vector<uint8_t> bytes = WriteAppFile(MinimalModel());
  ModelStore store;
  EXPECT_EQ(ParseBytes(bytes, store, 855), ModelParseResult::kMalformed);
}

TEST(ParseModel, FilesWithoutGeometryOrBonesAreEmpty) {
  AppModel none;  // every array absent, but the top-level record is whole
  std::vector<uint8_t> bytes = WriteAppFile(none);
  ASSERT_EQ(bytes.size(), 544u);
  ModelStore store;
  EXPECT_EQ(ParseBytes(bytes, store), ModelParseResult::kEmpty);
  EXPECT_EQ(store.geosets.count, 2);
  EXPECT_EQ(store.submeshTotal + store.vertexTotal + store.boneTotal, 0);

  // Materials alone are not geometry.
  AppModel materialsOnly;
  materialsOnly.materials = {AppMaterial{"m", {{{1}, {}}}, {}}};
  EXPECT_EQ(ParseModelDescription(materialsOnly, store), ModelParseResult::kEmpty);
}

TEST(ParseModel, TooShortForTheHeaderOrTopLevelRecord) {
  ModelStore store;
  const std::vector<uint8_t> bytes = WriteAppFile(AppModel{});
  EXPECT_EQ(ParseBytes(bytes, store, 15), ModelParseResult::kMalformed);
  EXPECT_EQ(ParseBytes(bytes, store, 16), ModelParseResult::kMalformed);
  EXPECT_EQ(store.formatVersion, 260);  // the header was read before the record failed
  EXPECT_EQ(ParseBytes(bytes, store, 543), ModelParseResult::kMalformed);
  EXPECT_EQ(ParseBytes(bytes, store, 0), ModelParseResult::kMalformed);
}

TEST(ParseModel, CountWithAbsentArrayCountsButReadsNothing) {
  AppModel model;
  model.boneCount = 3;
  ModelStore store;
  ASSERT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);
  EXPECT_EQ(store.boneTotal, 3);
  EXPECT_TRUE(store.bones.empty());

  model.boneCount = -4;  // a negative count reads nothing either
  model.bones = {AppBone{}};
  ASSERT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);
  EXPECT_TRUE(store.bones.empty());
}

class ParseModelGenerations : public ::testing::TestWithParam<uint32_t> {};

TEST_P(ParseModelGenerations, ReadsEveryRecordKind) {
  ModelStore store;
  ASSERT_EQ(ParseModelDescription(RichModel(GetParam()), store), ModelParseResult::kOk);
  EXPECT_EQ(store.formatVersion, int32_t(GetParam()));

  ASSERT_EQ(store.bones.count, 2);
  EXPECT_STREQ(store.bones[1].name, "spine");
  EXPECT_EQ(store.bones[1].parentIndex, 0);
  EXPECT_EQ(store.bones[1].bindTransform.scale, 2);
  EXPECT_EQ(store.bones[1].bindScale[1], 2);
  EXPECT_FLOAT_EQ(store.bones[1].worldMatrix.m[11], 8);  // 3 + 5 along the chain
  EXPECT_FLOAT_EQ(store.bones[1].worldMatrix.m[3], 1);

  const Submesh& body = store.geosets[0].submeshes[0];
  ASSERT_EQ(body.vertices.count, 3);
  EXPECT_EQ(body.vertices[1].position[0], 1);
  EXPECT_EQ(body.vertices[0].uv[0], 64.001953125f);
  EXPECT_EQ(body.vertices[0].uv[1], 128.0f);
  EXPECT_EQ(body.vertices[1].uv[0], 0.001953125f);
  EXPECT_EQ(body.vertices[1].uv[1], 64.5f);
  EXPECT_EQ(body.vertices[0].boneIndices[1], 1);
  EXPECT_FLOAT_EQ(body.vertices[0].weights[0], 0.7f);
  EXPECT_EQ(body.vertices[0].influenceCount, 2);
  EXPECT_EQ(body.vertices[2].boneIndices[2], 0);  // not reset to -1 for an unused influence
  ASSERT_EQ(body.triangles.count, 2);
  EXPECT_EQ(body.triangles[1].indices[0], 2);
  EXPECT_STREQ(body.materialName, "SKIN");
  EXPECT_EQ(body.materialIndex, 0);
  EXPECT_EQ(store.geosets[1].submeshes[0].materialIndex, 1);

  EXPECT_EQ(store.submeshTotal, 2);
  EXPECT_EQ(store.vertexTotal, 4);
  EXPECT_EQ(store.triangleTotal, 3);

  ASSERT_EQ(store.materials.count, 2);
  EXPECT_STREQ(store.materials[1].name, "Cloth");
  // Only the first variant gives texture ids.
  ASSERT_EQ(store.materials[0].textureSlots.count, 2);
  EXPECT_EQ(store.materials[0].textureSlots[0].textureId, 11);
  EXPECT_EQ(store.materials[0].textureSlots[1].textureId, 12);
  ASSERT_EQ(store.materials[1].textureSlots.count, 1);
  EXPECT_EQ(store.materials[1].textureSlots[0].textureId, 31);

  ASSERT_EQ(store.variantNames.count, 2);
  EXPECT_STREQ(store.variantNames[1].name, "winter");
}

INSTANTIATE_TEST_SUITE_P(FormatVersions, ParseModelGenerations,
                         ::testing::Values(100u, 257u, 258u, 259u, 260u, 400u));

TEST(ParseModel, EveryTruncationOfAValidFileIsRejected) {
  for (uint32_t version : {257u, 260u}) {
    const std::vector<uint8_t> bytes = WriteAppFile(RichModel(version));
    ModelStore store;
    ASSERT_EQ(ParseBytes(bytes, store), ModelParseResult::kOk);
    // The variant names come last in the file and are read, so every cut loses a needed byte.
    for (size_t length = 0; length < bytes.size(); ++length) {
      EXPECT_NE(ParseBytes(bytes, store, length), ModelParseResult::kOk)
          << "version " << version << " length " << length;
    }
  }
}

TEST(ParseModel, IndexCountKeepsWholeTriplesOnly) {
  AppModel model = MinimalModel();
  AppSubmesh sub;
  sub.vertices = {AppVertex{}};
  sub.triangles = {{0, 0, 0}, {0, 0, 0}};
  sub.extraIndices = {7};  // 7 indices: 2 triangles
  model.geosets[0].submeshes = {sub};
  ModelStore store;
  ASSERT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);
  EXPECT_EQ(store.geosets[0].submeshes[0].triangles.count, 2);
  EXPECT_EQ(store.triangleTotal, 2);

  model.geosets[0].submeshes[0].triangles.clear();
  model.geosets[0].submeshes[0].extraIndices = {1, 2};  // 1 or 2 indices read nothing
  ASSERT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);
  EXPECT_TRUE(store.geosets[0].submeshes[0].triangles.empty());
}

TEST(ParseModel, AbsentTextureEntriesStillGiveDefaultSlots) {
  AppModel model = MinimalModel();
  AppMaterial material;
  material.name = "m";
  AppVariant first;
  first.textureEntriesArray.ref = writer::DataRef{0, 368};  // two entries' worth, nothing written
  material.variants = {first};
  model.materials = {material};
  ModelStore store;
  ASSERT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);
  ASSERT_EQ(store.materials[0].textureSlots.count, 2);
  EXPECT_EQ(store.materials[0].textureSlots[0].textureId, -1);
  EXPECT_EQ(store.materials[0].textureSlots[1].textureId, -1);
}

// The reader counts each vertex's influences as it decodes the skin; the counts must be the
// ones the post-processing pass gives, and a submesh without a skin keeps the vertex defaults.
TEST(ParseModel, InfluenceCountsMatchThePostProcessingPass) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  AppModel model = MinimalModel();
  AppSubmesh skinned;
  skinned.skin = {{{0, 1, 2}, {0.7f, 0.3f, 0}},
                  {{0, 0, 0}, {-0.1f, 0, 0}},
                  {{5, 6, 7}, {1, 1, 1}},
                  {{1, 2, 3}, {nan, 0.5f, -0.0f}},
                  {{0, 0, 0}, {1e-30f, 0, 0}}};
  skinned.vertices.resize(skinned.skin.size());
  AppSubmesh bare;
  bare.vertices = {MakeVertex(1, 2, 3, 4, 5)};
  model.geosets[1].submeshes = {skinned, bare};
  ModelStore store;
  ASSERT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);

  const List<Vertex>& read = store.geosets[1].submeshes[0].vertices;
  ASSERT_EQ(read.count, 5);
  std::vector<int32_t> counted;
  for (const Vertex& vertex : read) counted.push_back(vertex.influenceCount);
  EXPECT_EQ(counted, (std::vector<int32_t>{2, 0, 3, 1, 1}));
  EXPECT_EQ(read[2].boneIndices[2], 7);
  CountInfluences(store);
  for (int32_t i = 0; i < read.count; ++i)
    EXPECT_EQ(read[i].influenceCount, counted[size_t(i)]) << i;

  const Vertex& plain = store.geosets[1].submeshes[1].vertices[0];
  EXPECT_EQ(plain.position[2], 3);
  EXPECT_EQ(plain.influenceCount, 0);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(plain.boneIndices[k], -1) << k;
    EXPECT_EQ(plain.weights[k], 0.0f) << k;
  }
}

TEST(ParseModel, SkinWithoutVerticesIsTestedAndDropped) {
  AppModel model = MinimalModel();
  AppSubmesh sub;
  sub.vertices = {AppVertex{}, AppVertex{}};
  sub.skin = {AppSkin{}, AppSkin{}};
  sub.verticesArray.absent = true;
  model.geosets[0].submeshes = {sub};
  ModelStore store;
  ASSERT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);
  EXPECT_TRUE(store.geosets[0].submeshes[0].vertices.empty());
  EXPECT_EQ(store.vertexTotal, 2);

  model.geosets[0].submeshes[0].skinArray.ref = writer::DataRef{0x7FFFFFF0u, 48};
  EXPECT_EQ(ParseModelDescription(model, store), ModelParseResult::kMalformed);
}

TEST(ParseModel, ArraysPointingOutsideTheFileAreRejected) {
  // Offsets past the end, at the very end, and so large that offset + 16 wraps around 32 bits.
  for (uint32_t offset : {100000u, 840u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
    AppModel model = MinimalModel();
    model.bonesArray.ref = writer::DataRef{offset, 312};
    ModelStore store;
    EXPECT_EQ(ParseModelDescription(model, store), ModelParseResult::kMalformed) << offset;
  }
  // An absent array may point anywhere: nothing is read from it.
  AppModel model = MinimalModel();
  model.geosets[0].submeshCount = 0;
  model.geosets[0].submeshesArray.ref = writer::DataRef{0xFFFFFFF0u, 400};
  ModelStore store;
  EXPECT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);
}

TEST(ParseModel, HostileCountsAreRejectedBeforeAnythingIsReserved) {
  struct Case {
    const char* what;
    void (*apply)(AppModel&);
  };
  const Case cases[] = {
      {"bones", [](AppModel& m) { m.boneCount = 0x7FFFFFFF; }},
      {"submeshes",
       [](AppModel& m) {
         m.geosets[1].submeshCount = 50000000;
         m.geosets[1].submeshes = {AppSubmesh{}};
       }},
      {"vertices",
       [](AppModel& m) {
         AppSubmesh s;
         s.vertices = {AppVertex{}};
         s.vertexCount = 0x7FFFFFFF;
         m.geosets[0].submeshes = {s};
       }},
      {"triangles",
       [](AppModel& m) {
         AppSubmesh s;
         s.triangles = {{0, 0, 0}};
         s.indexCount = 0x7FFFFFFF;
         m.geosets[0].submeshes = {s};
       }},
      {"materials",
       [](AppModel& m) {
         m.materials = {AppMaterial{"a", {}, {}}};
         m.materialCount = 0x7FFFFFFF;
       }},
      {"variants",
       [](AppModel& m) {
         m.materials = {AppMaterial{"a", {{{1}, {}}}, {}}};
         m.variantCount = 0x7FFFFFFF;
       }},
      {"texture entries",
       [](AppModel& m) {
         AppVariant v{{1}, {}};
         v.textureEntriesArray.ref = writer::DataRef{600, 0xFFFFFF00u};
         m.materials = {AppMaterial{"a", {v}, {}}};
       }},
      {"later variant's texture entries",
       [](AppModel& m) {
         AppVariant later{{1}, {}};
         later.textureEntriesArray.ref = writer::DataRef{600, 0xFFFFFF00u};
         m.materials = {AppMaterial{"a", {AppVariant{{1}, {}}, later}, {}}};
       }},
  };
  for (const Case& c : cases) {
    AppModel model = MinimalModel();
    c.apply(model);
    ModelStore store;
    EXPECT_EQ(ParseModelDescription(model, store), ModelParseResult::kMalformed) << c.what;
  }
}

TEST(ParseModel, HugeAbsentTextureArrayKeepsMemoryBounded) {
  // Nothing fills these slots; the material still has a slot array, but not billions of slots.
  AppModel model = MinimalModel();
  AppVariant first;
  first.textureEntriesArray.ref = writer::DataRef{0, 0xFFFFFFFFu};
  model.materials = {AppMaterial{"a", {first}, {}}, AppMaterial{"b", {first}, {}}};
  ModelStore store;
  ASSERT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);
  for (const Material& material : store.materials) {
    ASSERT_FALSE(material.textureSlots.empty());
    EXPECT_LE(material.textureSlots.count, 64);
    EXPECT_EQ(material.textureSlots[0].textureId, -1);
  }
}

TEST(ParseModel, OverlappingArraysBeyondTheBudgetAreRejected) {
  // Many submeshes share one vertex array: a few times is fine, thousands of times is not.
  auto build = [](int submeshes) {
    AppModel model = MinimalModel();
    AppSubmesh first;
    first.vertices.assign(2000, AppVertex{});
    model.geosets[0].submeshes = {first};
    AppSubmesh shared;
    shared.vertices = {AppVertex{}};
    shared.vertexCount = 2000;
    shared.verticesArray.absent = true;
    for (int i = 1; i < submeshes; ++i) model.geosets[0].submeshes.push_back(shared);
    AppPlacement placement;
    WriteAppFile(model, &placement);  // an override does not move the layout
    for (int i = 1; i < submeshes; ++i) {
      model.geosets[0].submeshes[size_t(i)].verticesArray.ref =
          placement.geosets[0].submeshRecords[0].vertices;
    }
    return model;
  };
  ModelStore store;
  ASSERT_EQ(ParseModelDescription(build(3), store), ModelParseResult::kOk);
  EXPECT_EQ(store.vertexTotal, 6000);
  EXPECT_EQ(store.geosets[0].submeshes[2].vertices.count, 2000);
  EXPECT_EQ(ParseModelDescription(build(3000), store), ModelParseResult::kMalformed);
}

TEST(ParseModel, LongNamesWithoutTerminatorAreTakenWhole) {
  AppModel model = MinimalModel();
  model.bones[0].name = std::string(64, 'b');
  AppSubmesh sub;
  sub.materialName = std::string(128, 'm');
  model.geosets[0].submeshes = {sub};
  model.materials = {AppMaterial{std::string(128, 'n'), {}, {}}};
  model.variantNames = {std::string(64, 'v')};
  model.variantCount = 1;
  ModelStore store;
  ASSERT_EQ(ParseModelDescription(model, store), ModelParseResult::kOk);
  EXPECT_EQ(std::string(store.bones[0].name), std::string(64, 'b'));
  EXPECT_EQ(std::string(store.geosets[0].submeshes[0].materialName), std::string(128, 'm'));
  EXPECT_EQ(std::string(store.materials[0].name), std::string(128, 'n'));
  EXPECT_EQ(std::string(store.variantNames[0].name), std::string(64, 'v'));
}

}  // namespace
}  // namespace vexmara

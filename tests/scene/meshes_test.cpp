// Vertices with skin weights, groups and meshes: numbering across submeshes and geosets, the
// two group modes, and the range tests that keep faces inside the host's lists.
#include "scene_fixture.h"

namespace vexmara::scene_test {
namespace {

using host::Operation;
using writer::AppModel;
using writer::AppSubmesh;

// Geoset 0: stone (4 vertices), cloth (3); geoset 1: stone again (6).
AppModel ThreeSubmeshModel() {
  AppModel model;
  model.geosets[0].submeshes = {MakeFan("stone", 4), MakeFan("cloth", 3)};
  model.geosets[1].submeshes = {MakeFan("stone", 6)};
  model.materials = {MakeMaterial("stone"), MakeMaterial("cloth")};
  return model;
}

struct FaceExpectation {
  size_t mesh;
  int32_t material;
  int32_t group;
  std::array<int32_t, 3> vertices;  // first face of the mesh
};

TEST_F(SceneBuild, FacesCarryMaterialGroupAndSharedVertexNumbersInBothGroupModes) {
  struct Case {
    int32_t submeshesAsGroups;
    std::vector<std::u16string> groups;
    std::vector<FaceExpectation> faces;
  };
  const Case cases[] = {
      {0, {u"stone", u"cloth"}, {{0, 0, 0, {0, 1, 2}}, {1, 1, 1, {4, 5, 6}}, {2, 0, 0, {7, 8, 9}}}},
      {1,
       {u"stone", u"cloth", u"stone"},
       {{0, 0, 0, {0, 1, 2}}, {1, 1, 1, {4, 5, 6}}, {2, 0, 2, {7, 8, 9}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.submeshesAsGroups);
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    DialogScript script;
    script.submeshesAsGroups = c.submeshesAsGroups;
    ASSERT_EQ(ReadAndImport(ThreeSubmeshModel(), script), 1);
    const auto groups = host_->Groups();
    ASSERT_EQ(groups.size(), c.groups.size());
    for (size_t g = 0; g < groups.size(); ++g)
      EXPECT_EQ(groups[g].name, c.groups[g]) << "group " << g;
    ASSERT_EQ(host_->Vertices().size(), 13u);
    EXPECT_EQ(host_->Vertices()[7].position, (std::array<float, 3>{0, 0, 0}))
        << "geoset 1 starts at 7";
    EXPECT_EQ(host_->Vertices()[12].position, (std::array<float, 3>{5, 10, 15}));
    const auto meshes = host_->Meshes();
    ASSERT_EQ(meshes.size(), 3u);
    EXPECT_EQ(meshes[2].faces.size(), 4u);
    for (const FaceExpectation& f : c.faces) {
      ASSERT_FALSE(meshes[f.mesh].faces.empty());
      for (const auto& face : meshes[f.mesh].faces) {
        EXPECT_EQ(face.materialIndex, f.material) << "mesh " << f.mesh;
        EXPECT_EQ(face.groupIndex, f.group) << "mesh " << f.mesh;
      }
      EXPECT_EQ(meshes[f.mesh].faces[0].vertices, f.vertices) << "mesh " << f.mesh;
    }
    EXPECT_EQ(meshes[2].faces[3].vertices, (std::array<int32_t, 3>{7, 11, 12}));
    EXPECT_EQ(meshes[2].faces[3].uv[2], (std::array<float, 2>{69.5f, 128.0f})) << "local vertex 5";
  }
}

TEST_F(SceneBuild, EveryMaterialGetsAGroupWhetherOrNotASubmeshUsesIt) {
  AppModel model;
  model.geosets[0].submeshes = {MakeFan("gamma", 3)};
  model.materials = {MakeMaterial("alpha"), MakeMaterial("beta"), MakeMaterial("gamma")};
  ASSERT_EQ(ReadAndImport(model, DialogScript{}), 1);
  ASSERT_EQ(host_->Groups().size(), 3u);
  EXPECT_EQ(host_->Groups()[1].name, u"beta");
  EXPECT_EQ(host_->Meshes()[0].faces[0].groupIndex, 2);
  EXPECT_EQ(host_->Meshes()[0].faces[0].materialIndex, 2);
}

TEST_F(SceneBuild, SubmeshWithUnknownMaterialGivesFacesMinusOne) {
  AppModel model;
  model.geosets[0].submeshes = {MakeFan("stone", 3), MakeFan("nowhere", 3)};
  model.materials = {MakeMaterial("stone")};
  for (int32_t perSubmesh : {0, 1}) {
    SCOPED_TRACE(perSubmesh);
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    DialogScript script;
    script.submeshesAsGroups = perSubmesh;
    ASSERT_EQ(ReadAndImport(model, script), 1);
    const auto face = host_->Meshes().at(1).faces.at(0);
    EXPECT_EQ(face.materialIndex, -1);
    EXPECT_EQ(face.groupIndex, perSubmesh == 1 ? 1 : -1);
    if (perSubmesh == 1) {
      EXPECT_EQ(host_->Groups().at(1).name, u"nowhere");
    }
  }
}

TEST_F(SceneBuild, EmptySubmeshStillGetsAMeshWithoutFaces) {
  AppModel model = ThreeSubmeshModel();
  model.geosets[1].submeshes = {AppSubmesh{}};
  model.geosets[1].submeshes[0].materialName = "stone";
  ASSERT_EQ(ReadAndImport(model, DialogScript{}), 1);
  ASSERT_EQ(host_->Meshes().size(), 3u);
  EXPECT_TRUE(host_->Meshes()[2].faces.empty());
  EXPECT_EQ(host_->CallCount(Operation::SetFaceCount), 2);
  EXPECT_EQ(host_->Vertices().size(), 7u);
}

TEST_F(SceneBuild, WeightRecordRefusedByTheHostLeavesOnlyThatVertexUnweighted) {
  AppModel model;
  AppSubmesh submesh = MakeFan("stone", 3);
  submesh.skin = {
      {{2, 0, 0}, {1, 0, 0}}, {{1, 2, 0}, {0.5f, 0.5f, 0}}, {{0, 1, 2}, {0.2f, 0.3f, 0.5f}}};
  model.geosets[0].submeshes = {submesh};
  model.bones = {MakeBone("a", -1, {0, 0, 0}), MakeBone("b", 0, {0, 0, 0}),
                 MakeBone("c", 1, {0, 0, 0})};
  host_->FailCall(Operation::SetVertexWeights, 2);
  ASSERT_EQ(ReadAndImport(model, DialogScript{}), 1);
  const auto vertices = host_->Vertices();
  ASSERT_EQ(vertices.size(), 3u);
  ASSERT_EQ(vertices[0].weights.size(), 1u);
  EXPECT_EQ(vertices[0].weights[0].boneIndex, 2);
  EXPECT_FALSE(vertices[1].weighted);
  ASSERT_EQ(vertices[2].weights.size(), 3u);
  EXPECT_EQ(vertices[2].weights[1].boneIndex, 1);
  EXPECT_EQ(vertices[2].weights[1].weight, 0.3f);
  const auto calls = host_->CallsOf(Operation::SetVertexWeights);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].integers, (std::array<int32_t, 2>{1, 2}));
  EXPECT_EQ(host_->Bones().size(), 3u);
}

TEST_F(SceneBuild, TriangleIndexPastItsSubmeshFailsTheImportLeavingEarlierFacesWhole) {
  AppModel model;
  AppSubmesh submesh = MakeFan("stone", 3);
  submesh.triangles = {{0, 1, 2}, {0, 1, 3}, {0, 2, 1}};  // index 3 = the vertex count
  model.geosets[0].submeshes = {submesh};
  model.geosets[1].submeshes = {MakeFan("stone", 3)};
  model.materials = {MakeMaterial("stone")};
  model.bones = {MakeBone("a", -1, {0, 0, 0})};
  ASSERT_EQ(ReadAndImport(model, DialogScript{}), 0);
  const auto meshes = host_->Meshes();
  ASSERT_EQ(meshes.size(), 1u);
  ASSERT_EQ(meshes[0].faces.size(), 3u);
  EXPECT_EQ(meshes[0].faces[0].vertices, (std::array<int32_t, 3>{0, 1, 2}));
  EXPECT_EQ(meshes[0].faces[0].uv[1], (std::array<float, 2>{65.5f, 128.0f}));
  // The bad face is not half written, and nothing after it is.
  for (size_t f : {1u, 2u}) {
    EXPECT_EQ(meshes[0].faces[f].vertices, (std::array<int32_t, 3>{0, 0, 0})) << "face " << f;
    EXPECT_EQ(meshes[0].faces[f].uv[0], (std::array<float, 2>{0, 0})) << "face " << f;
  }
  EXPECT_EQ(host_->Vertices().size(), 6u);
  EXPECT_EQ(host_->CallCount(Operation::NotifyMeshesDone), 0);
  EXPECT_EQ(host_->CallCount(Operation::CreateBone), 0);
}

// The file's counts and its arrays can disagree; only what the lists hold is sent.
TEST_F(SceneBuild, VertexNumbersComeFromTheListsNotFromTheFilesCounts) {
  AppModel model;
  AppSubmesh hollow = MakeFan("stone", 5);
  hollow.triangles.clear();
  hollow.verticesArray.absent = true;  // vertex count 5, but no vertices
  hollow.skin = std::vector<writer::AppSkin>(5, writer::AppSkin{{0, 0, 0}, {1, 0, 0}});
  model.geosets[0].submeshes = {hollow, MakeFan("stone", 3)};
  model.materials = {MakeMaterial("stone")};
  ASSERT_EQ(ReadAndImport(model, DialogScript{}), 1);
  const auto vertexCounts = host_->CallsOf(Operation::SetVertexCount);
  ASSERT_EQ(vertexCounts.size(), 1u);
  EXPECT_EQ(vertexCounts[0].integers[0], 3);
  EXPECT_EQ(host_->CallCount(Operation::SetVertexWeights), 0);
  ASSERT_EQ(host_->Meshes().size(), 2u);
  EXPECT_EQ(host_->Meshes()[1].faces.at(0).vertices, (std::array<int32_t, 3>{0, 1, 2}));

  // Triangles in a submesh whose vertices are missing point at nothing: the import fails.
  AppSubmesh dangling = MakeFan("stone", 3);
  dangling.verticesArray.absent = true;
  model.geosets[0].submeshes = {MakeFan("stone", 3), dangling};
  host_ = std::make_unique<host::Host>();
  ASSERT_EQ(host_->Register(library_), 1);
  EXPECT_EQ(ReadAndImport(model, DialogScript{}), 0);
  EXPECT_EQ(host_->Meshes().size(), 2u);
  EXPECT_EQ(host_->Vertices().size(), 3u);
}

}  // namespace
}  // namespace vexmara::scene_test

// The glTF document made from what a host holds: meshes and their split vertices, materials and
// textures, the skeleton and its skin, and animations made absolute from the bind pose.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "cli/convert/host_codec.h"
#include "cli/files/output_files.h"
#include "cli/gltf/file.h"
#include "gltf_test_support.h"
#include "host/image_codec.h"
#include "scratch_folder.h"

namespace vexmara::testing {
namespace {

using cli::BuildGltf;
using cli::SceneSnapshot;

using Vec3 = std::array<float, 3>;
using Vec4 = std::array<float, 4>;
using Uv = std::array<float, 2>;
using Joints8 = std::array<std::uint8_t, 4>;

// ---- Meshes -----------------------------------------------------------------------------------

TEST(GltfMeshes, SplitsAVertexWhoseCornersCarryDifferentTextureCoordinates) {
  SceneSnapshot scene;
  scene.materials = {Material("m")};
  SetVertices(scene, {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(1, 1, 0), Vertex(0, 1, 0)});
  cli::SnapshotMesh mesh;
  // Vertex 2 is used by both faces, with different coordinates; vertex 0 with the same ones.
  mesh.faces = {Face(0, {0, 1, 2}, {{{0, 0}, {1, 0}, {1, 1}}}),
                Face(0, {0, 2, 3}, {{{0, 0}, {0.5f, 3}, {0, 1}}})};
  scene.meshes = {mesh};

  const auto document = BuildGltf(scene, {});

  const tinygltf::Model model = Reloaded(document);
  ASSERT_EQ(model.meshes.size(), 1u);
  ASSERT_EQ(model.meshes[0].primitives.size(), 1u);
  const auto& primitive = model.meshes[0].primitives[0];
  const auto positions = ReadAccessor<Vec3>(model, primitive.attributes.at("POSITION"));
  const auto uvs = ReadAccessor<Uv>(model, primitive.attributes.at("TEXCOORD_0"));
  const auto indices = ReadIndices(model, primitive);
  ASSERT_EQ(positions.size(), 5u);
  EXPECT_EQ(indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 3, 4}));
  // The split copy has the host vertex's position and the second face's coordinates, kept as
  // given (3 stays 3: the sampler repeats).
  EXPECT_EQ(positions[3], (Vec3{1, 1, 0}));
  EXPECT_EQ(uvs[2], (Uv{1, 1}));
  EXPECT_EQ(uvs[3], (Uv{0.5f, 3}));
  EXPECT_EQ(positions[4], (Vec3{0, 1, 0}));
  EXPECT_EQ(document.counts.vertices, 5);
  const auto& accessor = model.accessors[size_t(primitive.attributes.at("POSITION"))];
  EXPECT_EQ(accessor.minValues, (std::vector<double>{0, 0, 0}));
  EXPECT_EQ(accessor.maxValues, (std::vector<double>{1, 1, 0}));
}

TEST(GltfMeshes, MakesOnePrimitivePerMaterialAndOneNodePerMesh) {
  SceneSnapshot scene;
  scene.materials = {Material("a"), Material("b")};
  SetVertices(scene, {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(0, 1, 0)});
  cli::SnapshotMesh first;
  // Material 1, then 0, then -1 (no material) and 7 (beyond the list) which both mean none.
  first.faces = {Face(1, {0, 1, 2}), Face(0, {0, 1, 2}), Face(1, {2, 1, 0}), Face(-1, {0, 1, 2}),
                 Face(7, {1, 2, 0})};
  cli::SnapshotMesh empty;  // an empty submesh gives a host mesh without faces
  cli::SnapshotMesh second;
  second.faces = {Face(0, {2, 0, 1})};
  scene.meshes = {first, empty, second};

  const auto document = BuildGltf(scene, {});

  const tinygltf::Model model = Reloaded(document);
  ASSERT_EQ(model.meshes.size(), 2u) << "glTF has no mesh without primitives";
  const auto& primitives = model.meshes[0].primitives;
  ASSERT_EQ(primitives.size(), 3u);
  EXPECT_EQ(primitives[0].material, 1);
  EXPECT_EQ(primitives[1].material, 0);
  EXPECT_EQ(primitives[2].material, -1);
  EXPECT_EQ(ReadIndices(model, primitives[0]).size(), 6u);
  EXPECT_EQ(ReadIndices(model, primitives[1]).size(), 3u);
  EXPECT_EQ(ReadIndices(model, primitives[2]).size(), 6u);
  for (const auto& primitive : primitives) EXPECT_EQ(primitive.mode, TINYGLTF_MODE_TRIANGLES);
  EXPECT_EQ(model.meshes[1].primitives.size(), 1u);
  ASSERT_EQ(model.scenes.size(), 1u);
  EXPECT_EQ(model.scenes[0].nodes, (std::vector<int>{0, 1}));
  EXPECT_EQ(model.nodes[0].mesh, 0);
  EXPECT_EQ(model.nodes[1].mesh, 1);
  EXPECT_EQ(model.nodes[0].skin, -1) << "no bones, no skin";
  EXPECT_EQ(model.meshes[0].primitives[0].attributes.count("JOINTS_0"), 0u);
  EXPECT_EQ(document.counts.primitives, 4);
  EXPECT_EQ(document.counts.triangles, 6);
}

TEST(GltfMeshes, LeavesOutFacesNamingVerticesTheHostDoesNotHoldWithAWarning) {
  SceneSnapshot scene;
  SetVertices(scene, {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(0, 1, 0)});
  cli::SnapshotMesh mesh;
  mesh.faces = {Face(-1, {0, 1, 3}), Face(-1, {0, -1, 2}), Face(-1, {0, 1, 2})};
  scene.meshes = {mesh};
  const auto document = BuildGltf(scene, {});
  const tinygltf::Model model = Reloaded(document);
  ASSERT_EQ(model.meshes.size(), 1u);
  EXPECT_EQ(ReadIndices(model, model.meshes[0].primitives[0]),
            (std::vector<std::uint32_t>{0, 1, 2}));
  ASSERT_EQ(document.warnings.size(), 1u);
  EXPECT_NE(document.warnings[0].find("2 face(s)"), std::string::npos) << document.warnings[0];
}

TEST(GltfMeshes, UsesThirtyTwoBitIndicesOnlyWhenSixteenBitsCannotHoldThem) {
  for (const int quads : {16383, 16384}) {  // 65532 and 65536 vertices
    SceneSnapshot scene;
    cli::SnapshotMesh mesh;
    for (int q = 0; q < quads; ++q) {
      const int base = int(scene.vertices.size());
      for (int k = 0; k < 4; ++k) AddVertex(scene, Vertex(float(q), float(k), 0));
      mesh.faces.push_back(Face(-1, {base, base + 1, base + 2}));
      mesh.faces.push_back(Face(-1, {base, base + 2, base + 3}));
    }
    scene.meshes = {mesh};
    const auto document = BuildGltf(scene, {});
    const tinygltf::Model model = Reloaded(document);
    const auto& primitive = model.meshes.at(0).primitives.at(0);
    const auto& accessor = model.accessors[size_t(primitive.indices)];
    EXPECT_EQ(accessor.componentType, quads * 4 <= 65535 ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT
                                                         : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
        << quads * 4 << " vertices";
    const auto indices = ReadIndices(model, primitive);
    EXPECT_EQ(indices.back(), std::uint32_t(quads * 4 - 1));
  }
}

// ---- Skin influences --------------------------------------------------------------------------

struct InfluenceCase {
  const char* name;
  std::vector<cli::SkinWeight> entries;
  std::array<std::uint16_t, 4> joints;
  std::array<float, 4> weights;
};

TEST(GltfSkin, InfluencesAreCleanedAndNormalised) {
  const int bones = 6, root = 2;
  const InfluenceCase cases[] = {
      {"already normal", {{0, 0.75f}, {1, 0.25f}}, {0, 1, 0, 0}, {0.75f, 0.25f, 0, 0}},
      {"scaled to sum 1", {{3, 0.3f}, {4, 0.1f}}, {3, 4, 0, 0}, {0.75f, 0.25f, 0, 0}},
      {"bone index out of range dropped",
       {{0, 0.5f}, {6, 0.3f}, {-1, 0.2f}},
       {0, 0, 0, 0},
       {1, 0, 0, 0}},
      {"one bone twice added up",
       {{1, 0.25f}, {5, 0.5f}, {1, 0.25f}},
       {1, 5, 0, 0},
       {0.5f, 0.5f, 0, 0}},
      {"not positive dropped", {{1, -0.5f}, {2, 0.0f}, {3, 0.5f}}, {3, 0, 0, 0}, {1, 0, 0, 0}},
      {"largest four kept",
       {{0, 0.1f}, {1, 0.2f}, {2, 0.3f}, {3, 0.4f}, {4, 0.5f}},
       {4, 3, 2, 1},
       {0.5f / 1.4f, 0.4f / 1.4f, 0.3f / 1.4f, 0.2f / 1.4f}},
      {"none follows the root", {}, {root, 0, 0, 0}, {1, 0, 0, 0}},
      {"only unusable follows the root", {{9, 1.0f}, {0, -1.0f}}, {root, 0, 0, 0}, {1, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const cli::Influences influences = cli::SkinInfluences(c.entries, bones, root);
    EXPECT_EQ(influences.joints, c.joints);
    for (size_t k = 0; k < 4; ++k)
      EXPECT_FLOAT_EQ(influences.weights[k], c.weights[k]) << "entry " << k;
  }
}

// Row-major 4x4 product of the column-major matrices a and b (as glTF stores them).
std::array<float, 16> MultiplyColumnMajor(const std::array<float, 16>& a,
                                          const std::array<float, 16>& b) {
  std::array<float, 16> out{};
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[size_t(k * 4 + row)] * b[size_t(column * 4 + k)];
      out[size_t(column * 4 + row)] = sum;
    }
  }
  return out;
}

// The column-major matrix of a node's translation, rotation and scale (each the identity's when
// the node leaves it out).
std::array<float, 16> NodeMatrix(tinygltf::Node node) {
  if (node.translation.empty()) node.translation = {0, 0, 0};
  if (node.rotation.empty()) node.rotation = {0, 0, 0, 1};
  if (node.scale.empty()) node.scale = {1, 1, 1};
  const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2],
               w = node.rotation[3];
  const double r[3][3] = {
      {1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * w * z, 2 * x * z + 2 * w * y},
      {2 * x * y + 2 * w * z, 1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * w * x},
      {2 * x * z - 2 * w * y, 2 * y * z + 2 * w * x, 1 - 2 * x * x - 2 * y * y}};
  std::array<float, 16> m{};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column)
      m[size_t(column * 4 + row)] = float(r[row][column] * node.scale[size_t(column)]);
    m[size_t(12 + row)] = float(node.translation[size_t(row)]);
  }
  m[15] = 1;
  return m;
}

TEST(GltfSkin, BonesBecomeANodeTreeWhoseInverseBindMatricesUndoTheirWorldMatrices) {
  SceneSnapshot scene;
  const float h = std::sqrt(0.5f);
  // A chain 0 <- 1 <- 2 <- 6 <- 5 (bone 5's parent comes later in the list), bone 3 naming
  // itself and bone 4 naming a missing parent: both of these are roots, as is bone 7.
  scene.bones = {
      Bone("root", -1, {1, 2, 3}, {0, 0, h, h}, {2, 2, 2}), Bone("mid", 0, {0, 1, 0}, {h, 0, 0, h}),
      Bone("tip", 1, {0, 0, 0.5f}, {0, 0, 0, 2}, {1, 0.5f, 1}),  // rotation not of unit length
      Bone("self", 3), Bone("lost", 40), Bone("late", 6, {0, 3, 0}), Bone("later", 2, {1, 0, 0}),
      // No round numbers: the inverse of its world matrix is rounded, but must stay affine.
      Bone("odd", -1, {0.3f, -1.7f, 2.9f}, {0.2f, -0.4f, 0.1f, 0.9f}, {1.3f, 0.7f, 1.1f})};
  SetVertices(scene, {Vertex(0, 0, 0, {{1, 1.0f}}), Vertex(1, 0, 0),
                      Vertex(0, 1, 0, {{2, 0.5f}, {9, 0.5f}})});
  cli::SnapshotMesh mesh;
  mesh.faces = {Face(-1, {0, 1, 2})};
  scene.meshes = {mesh};

  const auto document = BuildGltf(scene, {});

  const tinygltf::Model model = Reloaded(document);
  ASSERT_EQ(model.skins.size(), 1u);
  const auto& skin = model.skins[0];
  const int first = 1;  // node 0 is the mesh
  ASSERT_EQ(skin.joints, (std::vector<int>{first, first + 1, first + 2, first + 3, first + 4,
                                           first + 5, first + 6, first + 7}));
  EXPECT_EQ(model.nodes[0].skin, 0);
  EXPECT_EQ(model.nodes[size_t(first)].name, "root");
  EXPECT_EQ(model.nodes[size_t(first)].children, (std::vector<int>{first + 1}));
  EXPECT_EQ(model.nodes[size_t(first + 1)].children, (std::vector<int>{first + 2}));
  EXPECT_EQ(model.nodes[size_t(first + 2)].children, (std::vector<int>{first + 6}));
  EXPECT_EQ(model.nodes[size_t(first + 6)].children, (std::vector<int>{first + 5}));
  // The four roots hang under one extra node, the skin's skeleton, which is no joint.
  const int top = first + 8;
  ASSERT_EQ(model.nodes.size(), size_t(top + 1));
  EXPECT_EQ(model.nodes[size_t(top)].children,
            (std::vector<int>{first, first + 3, first + 4, first + 7}));
  EXPECT_EQ(model.nodes[size_t(top)].mesh, -1);
  EXPECT_EQ(model.scenes[0].nodes, (std::vector<int>{0, top}));
  EXPECT_EQ(skin.skeleton, top);
  // Rotations are written of unit length.
  EXPECT_EQ(model.nodes[size_t(first + 2)].rotation, (std::vector<double>{0, 0, 0, 1}));

  // World matrix of every joint, by walking the node tree; IBM times it is the identity.
  const auto inverseBind = ReadAccessor<std::array<float, 16>>(model, skin.inverseBindMatrices);
  ASSERT_EQ(inverseBind.size(), 8u);
  std::map<int, int> parentOf;
  for (size_t n = 0; n < model.nodes.size(); ++n) {
    for (int child : model.nodes[n].children) parentOf[child] = int(n);
  }
  for (size_t j = 0; j < skin.joints.size(); ++j) {
    std::array<float, 16> world = NodeMatrix(model.nodes[size_t(skin.joints[j])]);
    for (auto it = parentOf.find(skin.joints[j]); it != parentOf.end();
         it = parentOf.find(it->second)) {
      world = MultiplyColumnMajor(NodeMatrix(model.nodes[size_t(it->second)]), world);
    }
    const auto product = MultiplyColumnMajor(inverseBind[j], world);
    for (int k = 0; k < 16; ++k) {
      EXPECT_NEAR(product[size_t(k)], k % 5 == 0 ? 1.0f : 0.0f, 1e-5f)
          << "joint " << j << " element " << k;
    }
    EXPECT_EQ(inverseBind[j][3], 0.0f);
    EXPECT_EQ(inverseBind[j][7], 0.0f);
    EXPECT_EQ(inverseBind[j][11], 0.0f);
    EXPECT_EQ(inverseBind[j][15], 1.0f);
  }

  // Weights: as the host holds them, cleaned; a vertex without weights follows the first root.
  const auto& primitive = model.meshes[0].primitives[0];
  const auto joints = ReadAccessor<Joints8>(model, primitive.attributes.at("JOINTS_0"));
  const auto weights = ReadAccessor<Vec4>(model, primitive.attributes.at("WEIGHTS_0"));
  ASSERT_EQ(joints.size(), 3u);
  EXPECT_EQ(joints[0], (Joints8{1, 0, 0, 0}));
  EXPECT_EQ(weights[0], (Vec4{1, 0, 0, 0}));
  EXPECT_EQ(joints[1], (Joints8{0, 0, 0, 0}));
  EXPECT_EQ(weights[1], (Vec4{1, 0, 0, 0}));
  EXPECT_EQ(joints[2], (Joints8{2, 0, 0, 0}));
  EXPECT_EQ(weights[2], (Vec4{1, 0, 0, 0}));
  EXPECT_EQ(document.counts.joints, 8);
}

// Every inverse bind matrix has the last row 0, 0, 0, 1 exactly, which readers require of it,
// also where the general inverse rounds its 1 a unit off: here bones scaled by 0.3 and by 2.5 and
// turned about a slanted axis, a third of which did.
TEST(GltfSkin, InverseBindMatricesEndInExactlyZeroZeroZeroOneForScaledAndTurnedBones) {
  SceneSnapshot scene;
  for (const float scale : {0.3f, 2.5f}) {
    for (int step = 0; step < 8; ++step) {
      const float half = 0.185f * float(step);
      scene.bones.push_back(Bone("bone", -1, {1, 2, 3},
                                 {0.6f * std::sin(half), 0.8f * std::sin(half), 0, std::cos(half)},
                                 {scale, scale, scale}));
    }
  }
  const tinygltf::Model model = Reloaded(BuildGltf(scene, {}));
  ASSERT_EQ(model.skins.size(), 1u);
  const auto inverseBind =
      ReadAccessor<std::array<float, 16>>(model, model.skins[0].inverseBindMatrices);
  ASSERT_EQ(inverseBind.size(), scene.bones.size());
  for (size_t j = 0; j < inverseBind.size(); ++j) {
    SCOPED_TRACE("bone " + std::to_string(j));
    EXPECT_EQ(inverseBind[j][3], 0.0f);
    EXPECT_EQ(inverseBind[j][7], 0.0f);
    EXPECT_EQ(inverseBind[j][11], 0.0f);
    EXPECT_EQ(inverseBind[j][15], 1.0f);
    const auto product = MultiplyColumnMajor(
        inverseBind[j], NodeMatrix(model.nodes[size_t(model.skins[0].joints[j])]));
    for (int k = 0; k < 16; ++k)
      EXPECT_NEAR(product[size_t(k)], k % 5 == 0 ? 1.0f : 0.0f, 1e-5f) << "element " << k;
  }
}

TEST(GltfSkin, ASingleRootIsTheSkeletonAndManyBonesTakeShortJoints) {
  SceneSnapshot scene;
  for (int b = 0; b < 300; ++b)
    scene.bones.push_back(Bone("b" + std::string(1, char('a' + b % 26)), b - 1, {0, 1, 0}));
  SetVertices(scene,
              {Vertex(0, 0, 0, {{299, 1}}), Vertex(1, 0, 0, {{258, 2}, {3, 2}}), Vertex(0, 1, 0)});
  cli::SnapshotMesh mesh;
  mesh.faces = {Face(-1, {0, 1, 2})};
  scene.meshes = {mesh};
  const auto document = BuildGltf(scene, {});
  const tinygltf::Model model = Reloaded(document);
  EXPECT_EQ(model.skins.at(0).skeleton, 1);
  const auto& primitive = model.meshes[0].primitives[0];
  EXPECT_EQ(model.accessors[size_t(primitive.attributes.at("JOINTS_0"))].componentType,
            TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
  const auto joints =
      ReadAccessor<std::array<std::uint16_t, 4>>(model, primitive.attributes.at("JOINTS_0"));
  EXPECT_EQ(joints[0], (std::array<std::uint16_t, 4>{299, 0, 0, 0}));
  EXPECT_EQ(joints[1], (std::array<std::uint16_t, 4>{258, 3, 0, 0}));
}

struct SkeletonCase {
  const char* name;
  std::vector<int> parents;  // each bone's parent as the host holds it
  bool extraNode;
};

TEST(GltfSkin, TheSkeletonHasOneRootWhateverTheParentsAndAnimationsStillTargetTheBones) {
  const SkeletonCase cases[] = {
      {"one tree", {-1, 0, 0, 1}, false},
      {"a forest", {-1, 0, -1, 2}, true},
      {"two bones each other's parent beside a tree", {-1, 0, 3, 2}, true},
      {"a bone its own parent beside a tree", {-1, 0, 2}, true},
      {"a parent past the bone list", {-1, 7, 1}, true},
      {"a cycle and nothing else", {1, 2, 0}, false},
  };
  for (const SkeletonCase& c : cases) {
    SCOPED_TRACE(c.name);
    SceneSnapshot scene;
    cli::SnapshotAnimation animation;
    animation.name = "move";
    for (size_t b = 0; b < c.parents.size(); ++b) {
      scene.bones.push_back(Bone("b" + std::string(1, char('0' + b)), c.parents[b], {0, 1, 0}));
      cli::SnapshotTrack track;
      track.bone = int(b);
      track.translation = {{0, 1, 0, 0}};
      animation.tracks.push_back(track);
    }
    scene.animations = {animation};
    const auto document = BuildGltf(scene, {});
    const tinygltf::Model model = Reloaded(document);
    ASSERT_EQ(model.skins.size(), 1u);
    const auto& skin = model.skins[0];
    ASSERT_EQ(skin.joints.size(), c.parents.size());
    EXPECT_EQ(model.nodes.size(), c.parents.size() + (c.extraNode ? 1 : 0));
    std::map<int, int> parentOf;
    for (size_t n = 0; n < model.nodes.size(); ++n) {
      for (int child : model.nodes[n].children)
        EXPECT_TRUE(parentOf.emplace(child, int(n)).second) << "two parents";
    }
    EXPECT_EQ(parentOf.count(skin.skeleton), 0u) << "the skeleton is the top of the tree";
    EXPECT_EQ(model.scenes.at(0).nodes, (std::vector<int>{skin.skeleton}));
    EXPECT_EQ(std::find(skin.joints.begin(), skin.joints.end(), skin.skeleton) == skin.joints.end(),
              c.extraNode);
    for (int joint : skin.joints) {
      int top = joint;
      for (int steps = 0; parentOf.count(top) != 0 && steps < 100; ++steps) top = parentOf[top];
      EXPECT_EQ(top, skin.skeleton) << "joint " << joint;
    }
    ASSERT_EQ(model.animations.size(), 1u);
    ASSERT_EQ(model.animations[0].channels.size(), c.parents.size());
    for (size_t b = 0; b < c.parents.size(); ++b) {
      EXPECT_EQ(model.animations[0].channels[b].target_node, skin.joints[b]) << "bone " << b;
    }
  }
}

// ---- Animations -------------------------------------------------------------------------------

struct OrderCase {
  const char* name;
  std::vector<std::pair<float, float>> keys;  // time, first component
  std::vector<std::pair<float, float>> expected;
};

TEST(GltfAnimations, KeyTimesAreOrderedAndMergedSoThatTheyStrictlyIncrease) {
  const float nan = std::nanf("");
  const float inf = INFINITY;
  const OrderCase cases[] = {
      {"increasing stay", {{0, 1}, {0.5f, 2}, {1, 3}}, {{0, 1}, {0.5f, 2}, {1, 3}}},
      {"out of order sorted", {{1, 3}, {0, 1}, {0.5f, 2}}, {{0, 1}, {0.5f, 2}, {1, 3}}},
      {"equal times merged into the last",
       {{0, 1}, {0.5f, 2}, {0.5f, 5}, {0.5f, 6}, {1, 3}},
       {{0, 1}, {0.5f, 6}, {1, 3}}},
      {"all at one time", {{0, 4}, {0, 5}, {0, 6}}, {{0, 6}}},
      {"negative times raised to 0", {{-1, 7}, {0, 8}, {2, 9}}, {{0, 8}, {2, 9}}},
      {"non-finite keys dropped", {{nan, 1}, {0, 2}, {inf, 3}, {1, nan}, {2, 4}}, {{0, 2}, {2, 4}}},
      {"nothing", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<cli::ChannelKey> keys;
    for (const auto& [time, value] : c.keys) keys.push_back({time, {value, 0, 0, 0}});
    const auto ordered = cli::OrderKeys(keys, 3);
    ASSERT_EQ(ordered.size(), c.expected.size());
    for (size_t k = 0; k < ordered.size(); ++k) {
      EXPECT_EQ(ordered[k].time, c.expected[k].first) << "key " << k;
      EXPECT_EQ(ordered[k].value[0], c.expected[k].second) << "key " << k;
    }
  }
}

TEST(GltfAnimations, KeysAreComposedWithTheBindTransformAndSampledLinear) {
  SceneSnapshot scene;
  const float h = std::sqrt(0.5f);
  const Vec4 quarterZ{0, 0, h, h};  // a quarter turn about z
  scene.bones = {Bone("root", -1, {1, 2, 3}, quarterZ, {2, 3, 0}), Bone("child", 0)};
  cli::SnapshotAnimation animation;
  animation.name = "walk";
  cli::SnapshotTrack track;
  track.bone = 0;
  track.translation = {{0, 0, 0, 0}, {0.5f, 1, 0, 0}};
  track.rotation = {{0, 0, 0, 0, 1}, {1, h, 0, 0, h}};
  track.scale = {{0.25f, 1, 1, 1}, {0.75f, 0.5f, 2, 4}};
  cli::SnapshotTrack outOfRange;
  outOfRange.bone = 5;
  outOfRange.translation = {{0, 9, 9, 9}};
  cli::SnapshotTrack silent;  // a bone without keys gets no channel
  silent.bone = 1;
  animation.tracks = {track, outOfRange, silent};
  scene.animations = {animation};

  const auto document = BuildGltf(scene, {});

  const tinygltf::Model model = Reloaded(document);
  ASSERT_EQ(model.animations.size(), 1u);
  const auto& gltf = model.animations[0];
  EXPECT_EQ(gltf.name, "walk");
  ASSERT_EQ(gltf.channels.size(), 3u);
  const int rootNode = 0;  // no meshes: the bones come first
  std::map<std::string, const tinygltf::AnimationSampler*> byPath;
  for (const auto& channel : gltf.channels) {
    EXPECT_EQ(channel.target_node, rootNode);
    byPath[channel.target_path] = &gltf.samplers.at(size_t(channel.sampler));
  }
  ASSERT_EQ(byPath.size(), 3u);
  for (const auto& [path, sampler] : byPath) EXPECT_EQ(sampler->interpolation, "LINEAR") << path;

  // translation: T + R·k; the offset (1, 0, 0) turned a quarter about z is (0, 1, 0).
  EXPECT_EQ(ReadAccessor<float>(model, byPath["translation"]->input),
            (std::vector<float>{0, 0.5f}));
  const auto translations = ReadAccessor<Vec3>(model, byPath["translation"]->output);
  ASSERT_EQ(translations.size(), 2u);
  EXPECT_EQ(translations[0], (Vec3{1, 2, 3}));
  EXPECT_NEAR(translations[1][0], 1, 1e-6);
  EXPECT_NEAR(translations[1][1], 3, 1e-6);
  EXPECT_NEAR(translations[1][2], 3, 1e-6);
  // rotation: Q ⊗ k; the identity key gives the bind rotation.
  EXPECT_EQ(ReadAccessor<float>(model, byPath["rotation"]->input), (std::vector<float>{0, 1}));
  const auto rotations = ReadAccessor<Vec4>(model, byPath["rotation"]->output);
  ASSERT_EQ(rotations.size(), 2u);
  for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(rotations[0][k], quarterZ[k], 1e-6);
  const Vec4 expected = cli::QuatMultiply(quarterZ, {h, 0, 0, h});  // (0.5, 0.5, 0.5, 0.5)
  for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(rotations[1][k], expected[k], 1e-6);
  EXPECT_NEAR(rotations[1][0], 0.5f, 1e-6);
  // scale: S·k, component by component.
  const auto& times = model.accessors[size_t(byPath["scale"]->input)];
  EXPECT_EQ(times.minValues, (std::vector<double>{0.25}));
  EXPECT_EQ(times.maxValues, (std::vector<double>{0.75}));
  EXPECT_EQ(ReadAccessor<Vec3>(model, byPath["scale"]->output),
            (std::vector<Vec3>{{2, 3, 0}, {1, 6, 0}}));
  EXPECT_EQ(document.counts.animations, 1);
  EXPECT_EQ(document.counts.channels, 3);
}

TEST(GltfAnimations, UndoTheBindPoseRelativeKeysTheHostHolds) {
  // The host holds k = Rᵀ(v − T) for an absolute translation v and k = Q′ ⊗ q for an absolute
  // rotation q; composing must give v and q back.
  const cli::Quat q = cli::QuatNormalize({0.2f, -0.4f, 0.1f, 0.9f});
  const cli::Vec3 t{0.5f, -2, 7};
  const cli::Vec3 v{3, 1, -4};
  const cli::Quat conjugate{-q[0], -q[1], -q[2], q[3]};
  const cli::Vec3 relative = cli::QuatRotate(conjugate, {v[0] - t[0], v[1] - t[1], v[2] - t[2]});
  const cli::Quat absolute = cli::QuatNormalize({0.7f, 0.1f, -0.1f, 0.7f});
  const cli::Quat relativeRotation = cli::QuatMultiply(conjugate, absolute);

  SceneSnapshot scene;
  scene.bones = {Bone("b", -1, t, q)};
  cli::SnapshotAnimation animation;
  cli::SnapshotTrack track;
  track.translation = {{0, relative[0], relative[1], relative[2]}};
  track.rotation = {
      {0, relativeRotation[0], relativeRotation[1], relativeRotation[2], relativeRotation[3]}};
  animation.tracks = {track};
  scene.animations = {animation};
  const auto document = BuildGltf(scene, {});
  const tinygltf::Model model = Reloaded(document);
  const auto& channels = model.animations.at(0).channels;
  ASSERT_EQ(channels.size(), 2u);
  const auto& samplers = model.animations[0].samplers;
  const auto translation = ReadAccessor<Vec3>(model, samplers[size_t(channels[0].sampler)].output);
  const auto rotation = ReadAccessor<Vec4>(model, samplers[size_t(channels[1].sampler)].output);
  for (size_t k = 0; k < 3; ++k) EXPECT_NEAR(translation.at(0)[k], v[k], 1e-5) << k;
  for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(rotation.at(0)[k], absolute[k], 1e-6) << k;
}

TEST(GltfAnimations, AnAnimationWithoutKeysIsLeftOutWithAWarning) {
  SceneSnapshot scene;
  scene.bones = {Bone("b", -1)};
  cli::SnapshotAnimation empty;
  empty.name = "idle";
  cli::SnapshotTrack track;
  track.bone = 0;
  empty.tracks = {track};
  cli::SnapshotAnimation moving;
  moving.name = "move";
  track.translation = {{0, 0, 0, 0}};
  moving.tracks = {track};
  scene.animations = {empty, moving};
  const auto document = BuildGltf(scene, {});
  const tinygltf::Model model = Reloaded(document);
  ASSERT_EQ(model.animations.size(), 1u);
  EXPECT_EQ(model.animations[0].name, "move");
  ASSERT_EQ(document.warnings.size(), 1u);
  EXPECT_NE(document.warnings[0].find("\"idle\""), std::string::npos);
}

// ---- Names ------------------------------------------------------------------------------------

TEST(GltfNames, EveryNameIsUniqueInItsKindAndTracksKeepTheirBones) {
  SceneSnapshot scene;
  scene.bones = {Bone("Same", -1),
                 Bone("Same", 0),
                 Bone("", 0),  // no name at all
                 Bone("\xC3\xBF\xC3\xBE", 0),
                 Bone("Same.001", 0),  // taken by the second bone's copy name
                 Bone("\xC3\xA9t\xC3\xA9", 0),
                 Bone("\xE2\x82\xAC \xC2\x81", 0),
                 Bone("half \xEF\xBF\xBD", 0),
                 Bone("mesh_0", 0)};  // a bone named like the mesh node
  scene.materials = {Material("m"), Material("m"), Material("")};
  SetVertices(scene, {Vertex(0, 0, 0, {{1, 1}}), Vertex(1, 0, 0), Vertex(0, 1, 0)});
  cli::SnapshotMesh mesh;
  mesh.faces = {Face(0, {0, 1, 2}), Face(1, {0, 2, 1})};
  scene.meshes = {mesh};
  for (int a = 0; a < 3; ++a) {
    cli::SnapshotAnimation animation;
    animation.name = a < 2 ? "walk" : "";
    cli::SnapshotTrack track;
    track.bone = 1 + a;
    track.translation = {{0, 1, 0, 0}};
    animation.tracks = {track};
    scene.animations.push_back(animation);
  }

  const auto document = BuildGltf(scene, {});
  const tinygltf::Model model = Reloaded(document);
  const std::vector<std::string> boneNames = {"Same",
                                              "Same.001",
                                              "bone_2",
                                              "\xC3\xBF\xC3\xBE",
                                              "Same.002",
                                              "\xC3\xA9t\xC3\xA9",
                                              "\xE2\x82\xAC \xC2\x81",
                                              "half \xEF\xBF\xBD",
                                              "mesh_0"};
  const auto& skin = model.skins.at(0);
  ASSERT_EQ(skin.joints.size(), boneNames.size());
  for (size_t b = 0; b < boneNames.size(); ++b) {
    EXPECT_EQ(model.nodes[size_t(skin.joints[b])].name, boneNames[b]) << "bone " << b;
  }
  EXPECT_EQ(model.meshes.at(0).name, "mesh_0") << "meshes are a kind of their own";
  EXPECT_EQ(model.nodes[0].name, "mesh_0.001") << "a bone keeps its name before a made-up one";
  EXPECT_EQ(model.materials.at(0).name, "m");
  EXPECT_EQ(model.materials.at(1).name, "m.001");
  EXPECT_EQ(model.materials.at(2).name, "material_2");
  ASSERT_EQ(model.animations.size(), 3u);
  const std::vector<std::string> animationNames = {"walk", "walk.001", "animation_2"};
  for (size_t a = 0; a < 3; ++a) {
    EXPECT_EQ(model.animations[a].name, animationNames[a]);
    // Tracks still point at their bone by index, whatever the names became.
    EXPECT_EQ(model.animations[a].channels.at(0).target_node, skin.joints[1 + a])
        << "animation " << a;
  }
}

// ---- Materials and textures ---------------------------------------------------------------------

const std::vector<std::uint8_t> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

class GltfFiles : public ::testing::Test {
 protected:
  void SetUp() override { directory_ = scratch_.path(); }

  // Decodes paths ending in ".tga" as a 2 x 1 image whose first pixel encodes the path's length;
  // a "PNG" is the PNG signature, then the image's size and pixels as they are.
  cli::ImageCodec FakeCodec() {
    cli::ImageCodec codec;
    codec.decode = [this](const std::string& path, cli::RgbaImage* image) {
      decoded_.push_back(path);
      if (path.size() < 4 || path.substr(path.size() - 4) != ".tga") return false;
      image->width = 2;
      image->height = 1;
      image->pixels = {std::uint8_t(path.size()), 0, 0, 255, 0, 0, 0, 255};
      return true;
    };
    codec.encodePng = [](const cli::RgbaImage& image, std::vector<std::uint8_t>* png) {
      *png = kPngSignature;
      png->insert(png->end(), {std::uint8_t(image.width), std::uint8_t(image.height)});
      png->insert(png->end(), image.pixels.begin(), image.pixels.end());
      return true;
    };
    return codec;
  }

  // The document of `output` in `files`, read back.
  tinygltf::Model Load(const cli::MemoryFiles& files, const std::filesystem::path& output,
                       bool decode = false) {
    EXPECT_EQ(CheckGltf(files, output), std::vector<std::string>{});
    tinygltf::Model model;
    std::string error;
    EXPECT_TRUE(LoadWritten(files, output, decode, &model, &error)) << error;
    return model;
  }

  ScratchFolder scratch_;
  std::filesystem::path directory_;
  std::vector<std::string> decoded_;
};

TEST_F(GltfFiles, AGltfWritesItsTexturesAsPngFilesBesideItAndUndecodableOnesAreAWarning) {
  SceneSnapshot scene;
  scene.materials = {Material("stone", "/textures/rock.tga"), Material("plain"),
                     Material("raw", "/textures/skin.tex"), Material("again", "/textures/rock.tga"),
                     Material("other", "/elsewhere/rock.tga")};
  const auto output = directory_ / "my scene.gltf";
  cli::MemoryFiles files;
  const auto result = cli::ExportGltf(scene, output, {}, FakeCodec(), files);
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(decoded_, (std::vector<std::string>{"/textures/rock.tga", "/textures/skin.tex",
                                                "/elsewhere/rock.tga"}))
      << "every image is decoded once";
  EXPECT_EQ(files.Order(),
            (std::vector<std::filesystem::path>{directory_ / "my_scene_rock.png",
                                                directory_ / "my_scene_rock_2.png", output}))
      << "the images come before the document that names them; no buffer without geometry";
  ASSERT_EQ(result.warnings.size(), 1u);
  EXPECT_NE(result.warnings[0].find("\"raw\""), std::string::npos) << result.warnings[0];
  EXPECT_NE(result.warnings[0].find("/textures/skin.tex"), std::string::npos) << result.warnings[0];

  const tinygltf::Model model = Load(files, output);
  ASSERT_EQ(model.materials.size(), 5u);
  EXPECT_EQ(model.materials[0].name, "stone");
  ASSERT_EQ(model.images.size(), 2u);
  EXPECT_EQ(model.textures.size(), 2u);
  EXPECT_EQ(model.images[0].uri, "my_scene_rock.png");
  EXPECT_EQ(model.images[1].uri, "my_scene_rock_2.png");
  EXPECT_EQ(model.images[0].bufferView, -1);
  EXPECT_EQ(model.materials[0].pbrMetallicRoughness.baseColorTexture.index, 0);
  EXPECT_EQ(model.materials[1].pbrMetallicRoughness.baseColorTexture.index, -1);
  EXPECT_EQ(model.materials[2].pbrMetallicRoughness.baseColorTexture.index, -1);
  EXPECT_EQ(model.materials[3].pbrMetallicRoughness.baseColorTexture.index, 0);
  EXPECT_EQ(model.materials[4].pbrMetallicRoughness.baseColorTexture.index, 1);
  ASSERT_EQ(model.samplers.size(), 1u);
  EXPECT_EQ(model.samplers[0].wrapS, TINYGLTF_TEXTURE_WRAP_REPEAT);
  EXPECT_EQ(model.samplers[0].wrapT, TINYGLTF_TEXTURE_WRAP_REPEAT);
  EXPECT_EQ(result.counts.texturedMaterials, 3);
}

TEST_F(GltfFiles, AGlbCarriesItsImagesInsideAndEachIdenticalImageOnce) {
  SceneSnapshot scene;
  // rock.tga and ruck.tga decode alike (their paths are as long): one image for three materials.
  scene.materials = {Material("a", "/t/rock.tga"), Material("b", "/t/ruck.tga"),
                     Material("c", "/t/rock.tga"), Material("d", "/t/longer.tga")};
  SetVertices(scene, {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(0, 1, 0)});
  cli::SnapshotMesh mesh;
  mesh.faces = {Face(0, {0, 1, 2})};
  scene.meshes = {mesh};
  for (const bool external : {false, true}) {
    SCOPED_TRACE(external ? "--external-images" : "inside");
    const auto output = directory_ / "scene.glb";
    cli::MemoryFiles files;
    cli::ExportOptions options;
    options.externalImages = external;
    const auto result = cli::ExportGltf(scene, output, options, FakeCodec(), files);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(files.Files().size(), external ? 3u : 1u);
    const tinygltf::Model model = Load(files, output);
    ASSERT_EQ(model.images.size(), 2u);
    for (size_t m = 0; m < 4; ++m) {
      EXPECT_EQ(model.materials[m].pbrMetallicRoughness.baseColorTexture.index, m == 3 ? 1 : 0)
          << "material " << m;
    }
    for (size_t i = 0; i < model.images.size(); ++i) {
      const tinygltf::Image& image = model.images[i];
      // The bytes the codec made, inside the buffer or in the file beside.
      std::vector<unsigned char> expected = kPngSignature;
      expected.insert(expected.end(),
                      {2, 1, std::uint8_t(i == 0 ? 11 : 13), 0, 0, 255, 0, 0, 0, 255});
      EXPECT_EQ(image.image, expected) << "image " << i;
      if (external) {
        EXPECT_EQ(image.bufferView, -1);
        EXPECT_EQ(image.uri, i == 0 ? "scene_rock.png" : "scene_longer.png");
        EXPECT_NE(files.Find(directory_ / image.uri), nullptr);
      } else {
        EXPECT_EQ(image.uri, "");
        EXPECT_GE(image.bufferView, 0);
        EXPECT_EQ(image.mimeType, "image/png");
      }
    }
  }
}

// A texture of 2 x 2 texels with the given alpha values, written as a TGA file.
std::string WriteTexture(const std::filesystem::path& path, std::array<std::uint8_t, 4> alpha) {
  host::DecodedImage image;
  image.width = 2;
  image.height = 2;
  for (std::uint8_t a : alpha) image.rgba.insert(image.rgba.end(), {200, 100, 50, a});
  EXPECT_TRUE(host::WriteTga(path.string(), image));
  return path.string();
}

TEST_F(GltfFiles, AMaterialBlendsOrCutsOutByItsImagesAlphaAndTakesTheAlphaMapTheHostWrote) {
  struct Case {
    const char* name;
    std::array<std::uint8_t, 4> alpha;  // of the texture
    std::optional<std::array<std::uint8_t, 4>>
        alphaMap;  // grey values of slot 1, when there is one
    const char* mode;
    std::array<std::uint8_t, 4> exported;  // the alpha of the image in the export
  };
  const Case cases[] = {
      {"opaque", {255, 255, 255, 255}, std::nullopt, "OPAQUE", {255, 255, 255, 255}},
      {"cut-out leaf", {0, 255, 255, 0}, std::nullopt, "MASK", {0, 255, 255, 0}},
      {"glass pane", {128, 128, 255, 40}, std::nullopt, "BLEND", {128, 128, 255, 40}},
      {"cut-out by its alpha map",
       {0, 255, 255, 0},
       std::array<std::uint8_t, 4>{0, 255, 255, 0},
       "MASK",
       {0, 255, 255, 0}},
      {"blended by its alpha map",
       {255, 255, 255, 255},
       std::array<std::uint8_t, 4>{10, 255, 255, 255},
       "BLEND",
       {10, 255, 255, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SceneSnapshot scene;
    scene.materials = {
        Material("m", WriteTexture(directory_ / (std::string(c.name) + ".tga"), c.alpha))};
    if (c.alphaMap) {
      // The host's alpha map is grey: red, green and blue carry the alpha, its own alpha is 255.
      host::DecodedImage map;
      map.width = map.height = 2;
      for (std::uint8_t a : *c.alphaMap) map.rgba.insert(map.rgba.end(), {a, a, a, 255});
      const auto mapPath = directory_ / (std::string(c.name) + "_A.tga");
      ASSERT_TRUE(host::WriteTga(mapPath.string(), map));
      scene.materials[0].alphaMap = mapPath.string();
    }
    cli::MemoryFiles files;
    const auto output = directory_ / "alpha.glb";
    const auto result = cli::ExportGltf(scene, output, {}, cli::HostImageCodec(), files);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_TRUE(result.warnings.empty()) << result.warnings[0];
    const tinygltf::Model model = Load(files, output, true);
    ASSERT_EQ(model.materials.size(), 1u);
    EXPECT_EQ(model.materials[0].alphaMode, c.mode);
    EXPECT_EQ(model.materials[0].alphaCutoff, 0.5);
    ASSERT_EQ(model.images.size(), 1u);
    const tinygltf::Image& image = model.images[0];
    ASSERT_EQ(image.component, 4);
    ASSERT_EQ(image.image.size(), 16u);
    for (size_t t = 0; t < 4; ++t) {
      EXPECT_EQ(image.image[t * 4 + 3], c.exported[t]) << "texel " << t;
      EXPECT_EQ(image.image[t * 4], 200) << "texel " << t << " keeps its colour";
    }
  }
}

// The export written to the disk, whole or not at all, as the conversion writes it.
cli::ExportResult ExportToDisk(const cli::SceneSnapshot& scene, const std::filesystem::path& output,
                               const cli::ImageCodec& codec) {
  cli::OutputFiles files;
  cli::ExportResult result = cli::ExportGltf(scene, output, {}, codec, files);
  if (result.ok()) {
    const cli::FileResult committed = files.Commit();
    EXPECT_TRUE(committed.ok()) << committed.message;
  }
  return result;
}

TEST_F(GltfFiles, WritesAGlbOrAGltfWithItsBinByTheExtension) {
  SceneSnapshot scene;
  scene.materials = {Material("m\u00e4")};
  SetVertices(scene, {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(0, 1, 0)});
  cli::SnapshotMesh mesh;
  mesh.faces = {Face(0, {0, 1, 2})};
  scene.meshes = {mesh};
  scene.bones = {Bone("b", -1)};

  for (const char* name : {"scene.glb", "scene.gltf", "SCENE2.GLB"}) {
    SCOPED_TRACE(name);
    const auto output = directory_ / name;
    const auto result = ExportToDisk(scene, output, FakeCodec());
    ASSERT_TRUE(result.ok()) << result.message;
    const bool binary = output.extension() != ".gltf";
    EXPECT_EQ(result.files.size(), binary ? 1u : 2u);
    for (const auto& file : result.files) EXPECT_TRUE(std::filesystem::exists(file)) << file;

    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string error, warning;
    const bool loaded = binary
                            ? loader.LoadBinaryFromFile(&model, &error, &warning, output.string())
                            : loader.LoadASCIIFromFile(&model, &error, &warning, output.string());
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.skins.size(), 1u);
    EXPECT_EQ(model.materials.at(0).name, "m\xc3\xa4");
    if (!binary) {
      EXPECT_EQ(model.buffers.at(0).uri, "scene.bin");
    }
  }
  // A .bin named after an output with a space: its URI is percent-encoded, the file keeps the name.
  cli::MemoryFiles files;
  const auto spaced = cli::ExportGltf(scene, directory_ / "my scene.gltf", {}, FakeCodec(), files);
  ASSERT_TRUE(spaced.ok()) << spaced.message;
  EXPECT_NE(files.Find(directory_ / "my scene.bin"), nullptr);
  const std::vector<std::uint8_t>& json = *files.Find(directory_ / "my scene.gltf");
  EXPECT_NE(std::string(json.begin(), json.end()).find("\"uri\":\"my%20scene.bin\""),
            std::string::npos);
  EXPECT_EQ(Load(files, directory_ / "my scene.gltf").meshes.size(), 1u);

  const auto refused = ExportToDisk(scene, directory_ / "scene.obj", FakeCodec());
  EXPECT_EQ(refused.code, cli::ExportCode::NotGltfName);
  EXPECT_NE(refused.message.find(".glb or .gltf"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(directory_ / "scene.obj"));
}

}  // namespace
}  // namespace vexmara::testing

// The closing transforms of an import, end to end: the real library imports generated models
// into the reference host, which rebuilds bone world matrices its own way, and the host's
// bones, vertices, keys and scene objects are read back from its records.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "loaded_plugin.h"
#include "turn_checks.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"

namespace vexmara {
namespace {

using namespace testing;

Quat AxisQuat(int axis, double degrees) {
  Quat q = {0, 0, 0, static_cast<float>(std::cos(degrees * kPi / 360))};
  q[axis] = static_cast<float>(std::sin(degrees * kPi / 360));
  return q;
}

// Rotation matrix of a unit quaternion, in double precision and independent of the plug-in.
std::array<double, 9> RotationOf(const std::array<float, 4>& q) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  return {1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * w * z,     2 * x * z + 2 * w * y,
          2 * x * y + 2 * w * z,     1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * w * x,
          2 * x * z - 2 * w * y,     2 * y * z + 2 * w * x,     1 - 2 * x * x - 2 * y * y};
}

// Same rotation whatever the sign of the quaternion.
void ExpectSameRotation(const std::array<float, 4>& actual, const Quat& expected,
                        const std::string& what) {
  const auto a = RotationOf(actual);
  const auto e = RotationOf(expected);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(a[i], e[i], 1e-5) << what << ", element " << i;
}

Matrix TurnMatrix(const Matrix& m) {
  Matrix r = m;
  for (int c = 0; c < 4; ++c) {
    r[4 + c] = m[8 + c];
    r[8 + c] = -m[4 + c];
  }
  return r;
}

enum BoneIndex { kRoot, kChild, kMirror, kOffsetRoot, kHand };

const std::vector<Vec3> kVertices = {{1, 2, 3}, {-1, 0, 4}, {2, -3, 0.5f}, {0.1f, -0.7f, 1e-3f}};

// A root at the identity; a child turned 45° about x and moved 5 along y; a child mirrored by
// a negative scale; a second root moved to (1, 2, 3); a child of the first root at (1, 0, 0)
// that the animation moves. One submesh with the vertices above.
writer::AppModel SkinnedModel() {
  writer::AppModel model;
  model.bones = {
      writer::MakeBone("root", -1, {0, 0, 0}),
      writer::MakeBone("child", kRoot, {0, 5, 0}, AxisQuat(0, 45), 1),
      writer::MakeBone("mirror", kRoot, {1, 0, 0}, AxisQuat(2, 30), -1.5f),
      writer::MakeBone("offset", -1, {1, 2, 3}),
      writer::MakeBone("hand", kRoot, {1, 0, 0}),
  };
  writer::AppSubmesh submesh;
  for (const Vec3& v : kVertices)
    submesh.vertices.push_back(writer::MakeVertex(v[0], v[1], v[2], 0, 0));
  submesh.triangles = {{0, 1, 2}, {1, 2, 3}};
  model.geosets[0].submeshes.push_back(submesh);
  return model;
}

// One track for "hand" with the translation key (3, 0, 0): (2, 0, 0) relative to its bind pose.
writer::AniFile HandAnimation() {
  writer::AniFile file;
  file.name = "wave";
  writer::AniTrack track;
  track.boneName = "hand";
  track.translationKeys = {{0, 3, 0, 0}};
  file.tracks.push_back(track);
  return file;
}

class ClosingTransforms : public testing::LoadedPlugin {
 protected:
  // Reads the model and imports it with "Swap model" set as given and the animation files
  // picked; gives the import's result.
  int32_t Import(const writer::AppModel& model, int32_t swapModel,
                 const std::vector<writer::AniFile>& animations = {}) {
    if (ReadModel(WriteFile("model.app", writer::WriteAppFile(model))) != 1) {
      ADD_FAILURE() << "the model could not be read";
      return -1;
    }
    testing::DialogScript script;
    for (std::size_t i = 0; i < animations.size(); ++i) {
      script.animationFiles.push_back(
          WriteAnimation("anim" + std::to_string(i) + ".ani", animations[i]));
    }
    script.swapModel = swapModel;
    script.submeshesAsGroups = -1;
    return LoadedPlugin::Import(script);
  }
};

TEST_F(ClosingTransforms, RootAtTheIdentityTakesUpTheQuarterTurn) {
  ASSERT_EQ(Import(SkinnedModel(), 1), 1);
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 5u);
  const auto& root = bones[kRoot];
  EXPECT_NEAR(root.rotation[0], -kHalfRoot, 1e-6f);
  EXPECT_NEAR(root.rotation[1], 0.0f, 1e-6f);
  EXPECT_NEAR(root.rotation[2], 0.0f, 1e-6f);
  EXPECT_NEAR(root.rotation[3], kHalfRoot, 1e-6f);
  ExpectNear(root.translation, {0, 0, 0}, 1e-6f, "root translation");
  ExpectNear(root.scale, {1, 1, 1}, 1e-6f, "root scale");
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(root.worldMatrix[i], Turn()[i], 1e-6f) << "root world, element " << i;

  // The second root keeps its place, turned.
  const auto& offset = bones[kOffsetRoot];
  ExpectNear(offset.translation, {1, 3, -2}, 1e-6f, "offset root translation");
  ExpectSameRotation(offset.rotation, {-kHalfRoot, 0, 0, kHalfRoot}, "offset root rotation");

  // The host was asked once, after the animation stage, to make the world matrices current.
  const auto notifications = host_->CallsOf(host::Operation::NotifyBoneTransform);
  ASSERT_EQ(notifications.size(), 1u);
  EXPECT_EQ(notifications[0].integers[0], 1);
  const auto& calls = host_->Calls();
  const auto at = [&](host::Operation operation) {
    return std::find_if(calls.begin(), calls.end(),
                        [&](const host::Call& c) { return c.operation == operation; });
  };
  EXPECT_LT(at(host::Operation::NotifyAnimationsDone) - calls.begin(),
            at(host::Operation::NotifyBoneTransform) - calls.begin());
}

TEST_F(ClosingTransforms, ChildrenKeepTheirLocalTransform) {
  ASSERT_EQ(Import(SkinnedModel(), 1), 1);
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 5u);
  const auto& child = bones[kChild];
  ExpectNear(child.translation, {0, 5, 0}, 1e-5f, "child translation");
  ExpectNear(child.scale, {1, 1, 1}, 1e-5f, "child scale");
  ExpectSameRotation(child.rotation, AxisQuat(0, 45), "child rotation");
  const auto& hand = bones[kHand];
  ExpectNear(hand.translation, {1, 0, 0}, 1e-6f, "hand translation");
  ExpectSameRotation(hand.rotation, {0, 0, 0, 1}, "hand rotation");
  // The child's world matrix is its parent's turned world matrix times its own local matrix.
  const auto local = RotationOf(AxisQuat(0, 45));
  const Matrix expectedWorld = TurnMatrix(
      {float(local[0]), float(local[1]), float(local[2]), 0, float(local[3]), float(local[4]),
       float(local[5]), 5, float(local[6]), float(local[7]), float(local[8]), 0, 0, 0, 0, 1});
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(child.worldMatrix[i], expectedWorld[i], 1e-5f) << "element " << i;
}

TEST_F(ClosingTransforms, MirroringBoneEndsWithThreeNegativeScales) {
  ASSERT_EQ(Import(SkinnedModel(), 1), 1);
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 5u);
  const auto& mirror = bones[kMirror];
  ExpectNear(mirror.scale, {-1.5f, -1.5f, -1.5f}, 1e-5f, "mirror scale");
  ExpectSameRotation(mirror.rotation, AxisQuat(2, 30), "mirror rotation");
  ExpectNear(mirror.translation, {1, 0, 0}, 1e-5f, "mirror translation");
}

TEST_F(ClosingTransforms, VerticesAndSceneObjectsAreTurned) {
  const Matrix objectMatrix = {0, -1, 0, 4, 1, 0, 0, 5, 0, 0, 1, 6, 0, 0, 0, 1};
  host_->SetSceneObjectsA({host::MakeSceneObjectA({1, 2, 3}, objectMatrix, {5, 50})});
  host_->SetSceneObjectsB({host::MakeSceneObjectB({-2, 7, 1}, objectMatrix)});
  ASSERT_EQ(Import(SkinnedModel(), 1), 1);

  const auto vertices = host_->Vertices();
  ASSERT_EQ(vertices.size(), kVertices.size());
  EXPECT_EQ(vertices[0].position, (Vec3{1, 3, -2}));
  for (std::size_t i = 0; i < kVertices.size(); ++i) {
    const Vec3& v = kVertices[i];
    ExpectNear(vertices[i].position, {v[0], v[2], -v[1]}, 1e-6f, "vertex " + std::to_string(i));
  }

  const auto objectsA = host_->SceneObjectsA();
  ASSERT_EQ(objectsA.size(), 1u);
  ExpectNear(Vec3{objectsA[0].position[0], objectsA[0].position[1], objectsA[0].position[2]},
             {1, 3, -2}, 1e-6f, "object A position");
  const Matrix turned = TurnMatrix(objectMatrix);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(objectsA[0].matrix[i], turned[i]) << "object A matrix, element " << i;
  EXPECT_EQ(objectsA[0].distances[0], 5.0f);
  EXPECT_EQ(objectsA[0].distances[1], 50.0f);
  const auto objectsB = host_->SceneObjectsB();
  ASSERT_EQ(objectsB.size(), 1u);
  ExpectNear(Vec3{objectsB[0].position[0], objectsB[0].position[1], objectsB[0].position[2]},
             {-2, 1, -7}, 1e-6f, "object B position");
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(objectsB[0].matrix[i], turned[i]) << "object B matrix, element " << i;
}

// The scene scale of every import is 1: every position stays where the earlier stages put it,
// up to the rounding of moving it to the centre of the vertices and back.
TEST_F(ClosingTransforms, WithoutSwapNothingTurnsAndTheUnitScaleKeepsPositions) {
  const Matrix objectMatrix = {1, 0, 0, 4, 0, 1, 0, 5, 0, 0, 1, 6, 0, 0, 0, 1};
  host_->SetSceneObjectsA({host::MakeSceneObjectA({0.3f, -2, 9}, objectMatrix, {5, 50})});
  ASSERT_EQ(Import(SkinnedModel(), 0, {HandAnimation()}), 1);

  EXPECT_EQ(host_->CallCount(host::Operation::NotifyBoneTransform), 0);
  const auto vertices = host_->Vertices();
  ASSERT_EQ(vertices.size(), kVertices.size());
  for (std::size_t i = 0; i < kVertices.size(); ++i) {
    ExpectNear(vertices[i].position, kVertices[i], 1e-6f, "vertex " + std::to_string(i));
  }
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 5u);
  // The bone stage's parts are left as written.
  EXPECT_EQ(bones[kChild].rotation, AxisQuat(0, 45));
  ExpectNear(bones[kChild].translation, {0, 5, 0}, 1e-6f, "child translation");
  ExpectNear(bones[kOffsetRoot].translation, {1, 2, 3}, 1e-6f, "offset root translation");
  EXPECT_EQ(bones[kMirror].scale, (Vec3{-1.5f, -1.5f, -1.5f}));
  const auto objectsA = host_->SceneObjectsA();
  ASSERT_EQ(objectsA.size(), 1u);
  ExpectNear(Vec3{objectsA[0].position[0], objectsA[0].position[1], objectsA[0].position[2]},
             {0.3f, -2, 9}, 1e-6f, "object A position");
  EXPECT_EQ(objectsA[0].distances[0], 5.0f);
  EXPECT_EQ(objectsA[0].distances[1], 50.0f);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(objectsA[0].matrix[i], objectMatrix[i]) << "element " << i;
}

// The swap leaves animation keys alone and the unit scale keeps them: the hand's key stays at
// (2, 0, 0), its offset from the bind position.
TEST_F(ClosingTransforms, TranslationKeysAreNeitherTurnedNorScaled) {
  for (int32_t swap : {1, 0}) {
    SCOPED_TRACE(swap == 1 ? "with swap" : "without swap");
    // Each round imports into a fresh host.
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    ASSERT_EQ(Import(SkinnedModel(), swap, {HandAnimation()}), 1);
    EXPECT_TRUE(host_->Misuses().empty());
    const auto animations = host_->Animations();
    ASSERT_EQ(animations.size(), 1u);
    const auto& tracks = animations[0].tracks;
    const auto hand = std::find_if(tracks.begin(), tracks.end(), [](const host::TrackView& t) {
      return t.boneIndex == kHand && !t.translationKeys.empty();
    });
    ASSERT_NE(hand, tracks.end());
    ASSERT_EQ(hand->translationKeys.size(), 1u);
    const auto& key = hand->translationKeys[0];
    EXPECT_EQ((Vec3{key.x, key.y, key.z}), (Vec3{2, 0, 0}));
  }
}

TEST_F(ClosingTransforms, BonesOnlyModelIsTurnedAboutTheOrigin) {
  writer::AppModel model;
  model.bones = {writer::MakeBone("root", -1, {1, 2, 3}), writer::MakeBone("tip", 0, {0, 0, 4})};
  ASSERT_EQ(Import(model, 1), 1);
  EXPECT_TRUE(host_->Vertices().empty());
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 2u);
  ExpectNear(bones[0].translation, {1, 3, -2}, 1e-6f, "root translation");
  ExpectNear(bones[1].translation, {0, 0, 4}, 1e-6f, "tip translation");
  ExpectSameRotation(bones[1].rotation, {0, 0, 0, 1}, "tip rotation");
}

}  // namespace
}  // namespace vexmara

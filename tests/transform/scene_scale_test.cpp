// The scene scale on a hand-made host context: the vertex bounds, and the scaling of vertices,
// bones, translation keys and scene objects about their centre.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "abi/host_interface.h"
#include "transform/scene_scale.h"

namespace vexmara {
namespace {

using Vec3 = std::array<float, 3>;

Vec3 ToVec(const float* v) { return {v[0], v[1], v[2]}; }

void Set(float* target, Vec3 v) { std::memcpy(target, v.data(), sizeof(float) * 3); }

// The lists a host would hold, attached to a zeroed context.
struct Scene {
  std::unique_ptr<HostContext> context = std::make_unique<HostContext>();
  std::vector<HostVertex> vertices;
  std::vector<HostBone> bones;
  std::vector<HostAnimation> animations;
  std::vector<std::vector<HostBoneTrack>> tracks;           // per animation
  std::vector<std::vector<HostVectorKey>> translationKeys;  // per track, in the order added
  std::vector<std::vector<HostRotationKey>> rotationKeys;
  std::vector<std::vector<HostVectorKey>> scaleKeys;
  std::vector<HostSceneObjectA> objectsA;
  std::vector<HostSceneObjectB> objectsB;

  void AddVertex(Vec3 p) {
    HostVertex v{};
    Set(v.position, p);
    vertices.push_back(v);
  }
  void AddBone(int32_t parent, Vec3 translation) {
    HostBone b{};
    b.parentIndex = parent;
    Set(b.translation, translation);
    Set(b.scale, {3, 4, 5});
    b.rotation[3] = 1;
    for (int i = 0; i < 16; ++i) b.localMatrix[i] = b.worldMatrix[i] = float(i + 1);
    bones.push_back(b);
  }
  // One animation with one track holding the given translation keys, plus one rotation and one
  // scale key that must not change.
  void AddAnimation(std::vector<HostVectorKey> keys) {
    translationKeys.push_back(std::move(keys));
    rotationKeys.push_back({HostRotationKey{1, {0.5f, 0.5f, 0.5f, 0.5f}}});
    scaleKeys.push_back({HostVectorKey{1, {2, 3, 4}}});
    tracks.emplace_back(1);
    animations.emplace_back();
  }
  void AddObjectA(Vec3 p, float near, float far) {
    HostSceneObjectA o{};
    Set(o.position, p);
    o.matrix[3] = 9;
    o.extra[0] = near;
    o.extra[1] = far;
    objectsA.push_back(o);
  }
  void AddObjectB(Vec3 p) {
    HostSceneObjectB o{};
    Set(o.position, p);
    o.matrix[3] = 9;
    objectsB.push_back(o);
  }
  template <typename T>
  static void Attach(HostList<T>& list, std::vector<T>& items) {
    list.count = static_cast<int32_t>(items.size());
    list.items = items.empty() ? nullptr : items.data();
  }
  HostContext* Attach() {
    Attach(context->vertices, vertices);
    Attach(context->bones, bones);
    Attach(context->sceneObjectsA, objectsA);
    Attach(context->sceneObjectsB, objectsB);
    for (std::size_t a = 0; a < animations.size(); ++a) {
      HostBoneTrack& track = tracks[a][0];
      track.translationKeyCount = static_cast<int32_t>(translationKeys[a].size());
      track.translationKeys = translationKeys[a].data();
      track.rotationKeys = rotationKeys[a].data();
      track.scaleKeys = scaleKeys[a].data();
      animations[a].trackCount = 1;
      animations[a].tracks = tracks[a].data();
    }
    Attach(context->animations, animations);
    return context.get();
  }
};

// ---- ComputeSceneBounds -------------------------------------------------------------------

TEST(ComputeSceneBounds, EverythingZeroWithoutVertices) {
  const SceneBounds none = ComputeSceneBounds(nullptr);
  Scene scene;
  scene.AddVertex({5, 6, 7});
  HostContext* context = scene.Attach();
  struct Case {
    const char* name;
    int32_t count;
    bool pointer;
  };
  const Case cases[] = {
      {"no vertex", 0, true}, {"negative count", -4, true}, {"null list", 1, false}};
  std::vector<SceneBounds> results = {none};
  for (const Case& c : cases) {
    context->vertices = {c.count, {}, c.pointer ? scene.vertices.data() : nullptr};
    results.push_back(ComputeSceneBounds(context));
  }
  for (const SceneBounds& b : results) {
    for (int axis = 0; axis < 3; ++axis) {
      EXPECT_EQ(b.size[axis], 0.0f);
      EXPECT_EQ(b.minimum[axis], 0.0f);
      EXPECT_EQ(b.maximum[axis], 0.0f);
      EXPECT_EQ(b.centre[axis], 0.0f);
    }
  }
}

TEST(ComputeSceneBounds, SpansTheVerticesAxisByAxis) {
  struct Case {
    const char* name;
    std::vector<Vec3> vertices;
    Vec3 minimum, maximum, size, centre;
  };
  const Case cases[] = {
      {"two corners", {{0, 0, 0}, {2, 2, 2}}, {0, 0, 0}, {2, 2, 2}, {2, 2, 2}, {1, 1, 1}},
      {"extremes on different vertices",
       {{1, -5, 3}, {-2, 4, 0}, {0, 0, 9}},
       {-2, -5, 0},
       {1, 4, 9},
       {3, 9, 9},
       {-0.5f, -0.5f, 4.5f}},
      {"one vertex", {{-3, 7, 0.5f}}, {-3, 7, 0.5f}, {-3, 7, 0.5f}, {0, 0, 0}, {-3, 7, 0.5f}},
      {"all negative",
       {{-1, -2, -3}, {-4, -6, -8}},
       {-4, -6, -8},
       {-1, -2, -3},
       {3, 4, 5},
       {-2.5f, -4, -5.5f}},
  };
  for (const Case& c : cases) {
    Scene scene;
    for (const Vec3& v : c.vertices) scene.AddVertex(v);
    const SceneBounds b = ComputeSceneBounds(scene.Attach());
    EXPECT_EQ(ToVec(b.minimum), c.minimum) << c.name;
    EXPECT_EQ(ToVec(b.maximum), c.maximum) << c.name;
    EXPECT_EQ(ToVec(b.size), c.size) << c.name;
    EXPECT_EQ(ToVec(b.centre), c.centre) << c.name;
  }
}

TEST(ComputeSceneBounds, ReachesTheLargestFiniteValues) {
  // The running bounds start at the largest finite float and its negation, so vertices at
  // those values still count.
  constexpr float kMax = std::numeric_limits<float>::max();
  Scene scene;
  scene.AddVertex({kMax, -kMax, 0});
  const SceneBounds b = ComputeSceneBounds(scene.Attach());
  EXPECT_EQ(ToVec(b.minimum), (Vec3{kMax, -kMax, 0}));
  EXPECT_EQ(ToVec(b.maximum), (Vec3{kMax, -kMax, 0}));
  EXPECT_EQ(ToVec(b.size), (Vec3{0, 0, 0}));
}

// ---- ScaleScene ---------------------------------------------------------------------------

TEST(ScaleScene, NullContextDoesNothing) { ScaleScene(nullptr, 2.0f); }

TEST(ScaleScene, ScalesEverythingAboutTheCentreOfTheVertices) {
  Scene scene;
  scene.AddVertex({0, 0, 0});
  scene.AddVertex({2, 2, 2});
  scene.AddBone(-1, {1, 1, 1});
  scene.AddBone(0, {1, 0, 0});
  scene.AddAnimation({HostVectorKey{0.5f, {1, 2, 3}}, HostVectorKey{2, {-1, 0, 0.25f}}});
  scene.AddObjectA({3, 1, 0}, 1.5f, 100);
  scene.AddObjectB({0, 1, 5});
  ScaleScene(scene.Attach(), 2.0f);

  EXPECT_EQ(ToVec(scene.vertices[0].position), (Vec3{-1, -1, -1}));
  EXPECT_EQ(ToVec(scene.vertices[1].position), (Vec3{3, 3, 3}));
  EXPECT_EQ(ToVec(scene.bones[0].translation), (Vec3{1, 1, 1})) << "a root at the centre stays";
  EXPECT_EQ(ToVec(scene.bones[1].translation), (Vec3{2, 0, 0}))
      << "a child's translation only scales";
  const auto& keys = scene.translationKeys[0];
  EXPECT_EQ(keys[0].time, 0.5f);
  EXPECT_EQ(ToVec(keys[0].value), (Vec3{2, 4, 6}));
  EXPECT_EQ(keys[1].time, 2.0f);
  EXPECT_EQ(ToVec(keys[1].value), (Vec3{-2, 0, 0.5f}));
  EXPECT_EQ(ToVec(scene.objectsA[0].position), (Vec3{5, 1, -1}));
  EXPECT_EQ(scene.objectsA[0].extra[0], 3.0f);
  EXPECT_EQ(scene.objectsA[0].extra[1], 200.0f);
  EXPECT_EQ(ToVec(scene.objectsB[0].position), (Vec3{-1, 1, 9}));

  // Rotations, scales, matrices and the other keys are not touched.
  EXPECT_EQ(ToVec(scene.bones[0].scale), (Vec3{3, 4, 5}));
  EXPECT_EQ(scene.bones[1].rotation[3], 1.0f);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(scene.bones[1].localMatrix[i], float(i + 1));
    EXPECT_EQ(scene.bones[1].worldMatrix[i], float(i + 1));
  }
  EXPECT_EQ(scene.objectsA[0].matrix[3], 9.0f);
  EXPECT_EQ(scene.objectsB[0].matrix[3], 9.0f);
  EXPECT_EQ(scene.rotationKeys[0][0].value[0], 0.5f);
  EXPECT_EQ(ToVec(scene.scaleKeys[0][0].value), (Vec3{2, 3, 4}));
}

TEST(ScaleScene, RootsScaleAboutTheCentreAndChildrenAboutTheirParent) {
  struct Case {
    const char* name;
    int32_t parent;  // of bone 1; bone 0 is a root
    Vec3 expected;   // bone 1 at (3, -1, 5), centre (1, 1, 1), factor 0.5
  };
  const Case cases[] = {
      {"child", 0, {1.5f, -0.5f, 2.5f}},
      {"root", -1, {2, 0, 3}},
      {"parent index past the end is a root", 2, {2, 0, 3}},
      {"far past the end", 1 << 30, {2, 0, 3}},
  };
  for (const Case& c : cases) {
    Scene scene;
    scene.AddVertex({0, 0, 0});
    scene.AddVertex({2, 2, 2});
    scene.AddBone(-1, {0, 0, 0});
    scene.AddBone(c.parent, {3, -1, 5});
    ScaleScene(scene.Attach(), 0.5f);
    EXPECT_EQ(ToVec(scene.bones[1].translation), c.expected) << c.name;
    EXPECT_EQ(ToVec(scene.bones[0].translation), (Vec3{0.5f, 0.5f, 0.5f})) << c.name;
  }
}

TEST(ScaleScene, WithoutVerticesScalesAboutTheOrigin) {
  Scene scene;
  scene.AddBone(-1, {1, 1, 1});
  scene.AddObjectA({-2, 0, 4}, 1, 2);
  scene.AddObjectB({0, 3, 0});
  ScaleScene(scene.Attach(), 2.0f);
  EXPECT_EQ(ToVec(scene.bones[0].translation), (Vec3{2, 2, 2}));
  EXPECT_EQ(ToVec(scene.objectsA[0].position), (Vec3{-4, 0, 8}));
  EXPECT_EQ(ToVec(scene.objectsB[0].position), (Vec3{0, 6, 0}));
}

TEST(ScaleScene, CentreIsTakenBeforeAnythingMoves) {
  // The vertices are scaled after the bones; a centre taken again between vertices would move
  // later vertices about a different point.
  Scene scene;
  scene.AddVertex({-4, 0, 10});
  scene.AddVertex({4, 2, 20});
  scene.AddVertex({0, 1, 15});
  scene.AddBone(-1, {0, 1, 15});
  ScaleScene(scene.Attach(), 3.0f);
  EXPECT_EQ(ToVec(scene.vertices[0].position), (Vec3{-12, -2, 0}));
  EXPECT_EQ(ToVec(scene.vertices[1].position), (Vec3{12, 4, 30}));
  EXPECT_EQ(ToVec(scene.vertices[2].position), (Vec3{0, 1, 15}));
  EXPECT_EQ(ToVec(scene.bones[0].translation), (Vec3{0, 1, 15}));
}

TEST(ScaleScene, FactorOneLeavesPositionsInPlace) {
  Scene scene;
  scene.AddVertex({0.1f, -3.7f, 12.25f});
  scene.AddVertex({-8.3f, 0.3f, 1e-3f});
  scene.AddVertex({5.5f, 2.2f, -6.6f});
  scene.AddBone(-1, {0.7f, -0.2f, 3.3f});
  scene.AddBone(0, {1.1f, 2.2f, -3.3f});
  scene.AddAnimation({HostVectorKey{1, {0.3f, 0.6f, -0.9f}}});
  scene.AddObjectA({0.05f, 9.1f, -4.4f}, 0.3f, 70.7f);
  const Scene before = [&] {
    Scene copy;
    copy.vertices = scene.vertices;
    copy.bones = scene.bones;
    copy.translationKeys = scene.translationKeys;
    copy.objectsA = scene.objectsA;
    return copy;
  }();
  ScaleScene(scene.Attach(), 1.0f);
  // Subtracting and adding back the centre rounds on the scale of the centre (about 3 here),
  // not of the position itself.
  constexpr float kRounding = 1e-6f;
  for (std::size_t i = 0; i < scene.vertices.size(); ++i) {
    for (int axis = 0; axis < 3; ++axis) {
      EXPECT_NEAR(scene.vertices[i].position[axis], before.vertices[i].position[axis], kRounding);
    }
  }
  for (std::size_t i = 0; i < scene.bones.size(); ++i) {
    for (int axis = 0; axis < 3; ++axis) {
      EXPECT_NEAR(scene.bones[i].translation[axis], before.bones[i].translation[axis], kRounding);
    }
  }
  EXPECT_EQ(ToVec(scene.translationKeys[0][0].value), ToVec(before.translationKeys[0][0].value));
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_NEAR(scene.objectsA[0].position[axis], before.objectsA[0].position[axis], kRounding);
  }
  EXPECT_EQ(scene.objectsA[0].extra[0], 0.3f);
  EXPECT_EQ(scene.objectsA[0].extra[1], 70.7f);
}

TEST(ScaleScene, SkipsListsTheContextDoesNotHave) {
  Scene scene;
  scene.AddVertex({2, 2, 2});
  scene.AddBone(-1, {1, 0, 0});
  scene.AddAnimation({HostVectorKey{0, {1, 1, 1}}});
  scene.AddAnimation({HostVectorKey{0, {1, 1, 1}}});
  scene.AddAnimation({HostVectorKey{0, {1, 1, 1}}});
  scene.AddObjectA({1, 0, 0}, 1, 1);
  HostContext* context = scene.Attach();
  // Animation 0 claims tracks it does not have, animation 1 a negative track count, and the
  // track of animation 2 keys it does not have.
  scene.animations[0].tracks = nullptr;
  scene.animations[1].trackCount = -1;
  scene.tracks[2][0].translationKeys = nullptr;
  context->bones.count = -1;
  context->sceneObjectsA.items = nullptr;
  context->sceneObjectsB = {3, {}, nullptr};

  ScaleScene(context, 4.0f);

  for (const auto& keys : scene.translationKeys) EXPECT_EQ(ToVec(keys[0].value), (Vec3{1, 1, 1}));
  EXPECT_EQ(ToVec(scene.bones[0].translation), (Vec3{1, 0, 0}));
  EXPECT_EQ(ToVec(scene.objectsA[0].position), (Vec3{1, 0, 0}));
  EXPECT_EQ(scene.objectsA[0].extra[0], 1.0f);
  // The vertex list is still there and is scaled (about itself).
  EXPECT_EQ(ToVec(scene.vertices[0].position), (Vec3{2, 2, 2}));

  // A negative key count is no list either.
  Scene other;
  other.AddAnimation({HostVectorKey{0, {1, 1, 1}}});
  HostContext* second = other.Attach();
  other.tracks[0][0].translationKeyCount = -2;
  ScaleScene(second, 4.0f);
  EXPECT_EQ(ToVec(other.translationKeys[0][0].value), (Vec3{1, 1, 1}));
}

}  // namespace
}  // namespace vexmara

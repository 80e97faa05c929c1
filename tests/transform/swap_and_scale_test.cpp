// SwapAndScaleScene, which the scene build runs with "Swap model", against what it stands for:
// SwapModelAxes followed by ScaleScene. Both run on copies of the same hand-made host lists, and
// every byte of every list must come out the same: signed zeros and NaNs at the extremes (where
// the first of equal values must win, as in the plain bounds), infinities, the largest floats,
// factors that round, bones, keys and scene objects.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "abi/host_interface.h"
#include "transform/axis_swap.h"
#include "transform/scene_scale.h"

namespace vexmara {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kMax = std::numeric_limits<float>::max();

struct Position {
  float x, y, z;
};

// The lists of a host, with an operation table whose NotifyBoneTransform makes each bone's world
// matrix its local matrix moved by its index, the same in every copy.
struct Scene {
  std::unique_ptr<HostContext> context = std::make_unique<HostContext>();
  void* table[160] = {};
  std::vector<HostVertex> vertices;
  std::vector<HostBone> bones;
  std::vector<HostAnimation> animations;
  std::vector<HostBoneTrack> tracks;
  std::vector<HostVectorKey> translationKeys;
  std::vector<HostSceneObjectA> objectsA;
  std::vector<HostSceneObjectB> objectsB;

  static int32_t NotifyBoneTransform(void* self, int32_t) {
    auto* context = static_cast<HostContext*>(self);
    for (int32_t i = 0; i < context->bones.count; ++i) {
      HostBone& bone = context->bones.items[i];
      std::memcpy(bone.worldMatrix, bone.localMatrix, sizeof bone.worldMatrix);
      bone.worldMatrix[3] += float(i);
    }
    return 1;
  }

  Scene(const std::vector<Position>& positions, uint32_t seed) {
    std::memset(static_cast<void*>(context.get()), 0, sizeof(HostContext));
    auto notify = &Scene::NotifyBoneTransform;
    std::memcpy(&table[136], &notify, sizeof notify);
    context->operations = table;

    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-4.0f, 4.0f);
    for (const Position& p : positions) {
      HostVertex vertex;
      std::memset(&vertex, 0x3C, sizeof vertex);
      vertex.position[0] = p.x;
      vertex.position[1] = p.y;
      vertex.position[2] = p.z;
      vertices.push_back(vertex);
    }
    // Two roots (one by a parent index past the end) and two children.
    const int32_t parents[] = {-1, 0, 7, 2};
    for (int32_t parent : parents) {
      HostBone bone;
      std::memset(&bone, 0x5D, sizeof bone);
      bone.parentIndex = parent;
      const float angle = value(random);
      const float c = std::cos(angle), s = std::sin(angle);
      const float local[16] = {c, -s, 0, value(random), s, c, 0, value(random),
                               0, 0,  1, value(random), 0, 0, 0, 1};
      std::memcpy(bone.localMatrix, local, sizeof local);
      bones.push_back(bone);
    }
    for (int k = 0; k < 5; ++k) translationKeys.push_back({float(k), {value(random), 0.0f, -0.0f}});
    tracks.resize(2);
    std::memset(static_cast<void*>(tracks.data()), 0, tracks.size() * sizeof(HostBoneTrack));
    tracks[1].translationKeyCount = int32_t(translationKeys.size());
    tracks[1].translationKeys = translationKeys.data();
    animations.resize(1);
    std::memset(static_cast<void*>(animations.data()), 0, sizeof(HostAnimation));
    animations[0].trackCount = int32_t(tracks.size());
    animations[0].tracks = tracks.data();
    objectsA.resize(2);
    objectsB.resize(1);
    std::memset(static_cast<void*>(objectsA.data()), 0x7B, 2 * sizeof(HostSceneObjectA));
    std::memset(static_cast<void*>(objectsB.data()), 0x7C, sizeof(HostSceneObjectB));
    for (HostSceneObjectA& o : objectsA) {
      for (float& f : o.position) f = value(random);
      for (float& f : o.matrix) f = value(random);
      o.extra[0] = value(random);
      o.extra[1] = value(random);
    }
    for (float& f : objectsB[0].position) f = value(random);
    for (float& f : objectsB[0].matrix) f = value(random);

    Attach(context->vertices, vertices);
    Attach(context->bones, bones);
    Attach(context->animations, animations);
    Attach(context->sceneObjectsA, objectsA);
    Attach(context->sceneObjectsB, objectsB);
  }

  template <typename T>
  static void Attach(HostList<T>& list, std::vector<T>& items) {
    list.count = int32_t(items.size());
    list.items = items.empty() ? nullptr : items.data();
  }
};

template <typename T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

// Each position's bits, for a message that shows signed zeros and NaNs as they are.
std::string Bits(const std::vector<HostVertex>& vertices) {
  std::string text;
  for (const HostVertex& vertex : vertices) {
    for (float f : vertex.position) {
      uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      text += std::to_string(bits) + " ";
    }
    text += "| ";
  }
  return text;
}

TEST(SwapAndScaleScene, LeavesEveryByteAsTheTurnFollowedByTheScaleDoes) {
  std::vector<Position> spread;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
  for (int i = 0; i < 200; ++i) spread.push_back({value(random), value(random), value(random)});
  struct Case {
    const char* name;
    std::vector<Position> positions;
  };
  const Case cases[] = {
      {"spread", spread},
      {"signed zeros at both extremes of y and z",
       {{1, 0.0f, -0.0f}, {2, -0.0f, 0.0f}, {3, 0.0f, -0.0f}}},
      {"negative zeros first", {{-0.0f, -0.0f, -0.0f}, {0.0f, 0.0f, 0.0f}, {-1, -0.0f, 0.0f}}},
      {"NaNs, first and among the rest",
       {{kNaN, kNaN, kNaN}, {1, -2, 3}, {kNaN, 5, kNaN}, {-4, kNaN, 0.5f}}},
      {"only NaNs", {{kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN}}},
      {"infinities", {{kInf, -kInf, 1}, {-kInf, kInf, -kInf}, {0, 0, kInf}}},
      {"the largest floats", {{kMax, -kMax, kMax}, {-kMax, kMax, -kMax}}},
      {"only negative infinities", {{-kInf, -kInf, -kInf}}},
      {"one vertex", {{0.1f, -0.7f, 1e-3f}}},
      {"no vertex", {}},
  };
  const float factors[] = {1.0f, 2.0f, 0.3f, -1.5f};
  for (const Case& c : cases) {
    for (float factor : factors) {
      SCOPED_TRACE(std::string(c.name) + ", factor " + std::to_string(factor));
      Scene reference(c.positions, 11);
      Scene fused(c.positions, 11);
      SwapModelAxes(reference.context.get());
      ScaleScene(reference.context.get(), factor);
      SwapAndScaleScene(fused.context.get(), factor);
      EXPECT_TRUE(SameBytes(reference.vertices, fused.vertices))
          << "expected " << Bits(reference.vertices) << "\ngot      " << Bits(fused.vertices);
      EXPECT_TRUE(SameBytes(reference.bones, fused.bones));
      EXPECT_TRUE(SameBytes(reference.translationKeys, fused.translationKeys));
      EXPECT_TRUE(SameBytes(reference.objectsA, fused.objectsA));
      EXPECT_TRUE(SameBytes(reference.objectsB, fused.objectsB));
    }
  }
}

TEST(SwapAndScaleScene, NullContextDoesNothing) { SwapAndScaleScene(nullptr, 2.0f); }

}  // namespace
}  // namespace vexmara

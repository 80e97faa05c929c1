// The quarter turn of the host scene: the vector and matrix turns, and SwapModelAxes on a
// hand-made host context whose NotifyBoneTransform answers like a host.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "abi/host_interface.h"
#include "math/matrix.h"
#include "math/quaternion.h"
#include "transform/axis_swap.h"
#include "turn_checks.h"

namespace vexmara {
namespace {

using namespace testing;

Matrix FromPointer(const float* m) {
  Matrix r;
  std::memcpy(r.data(), m, sizeof(r));
  return r;
}

// The 3×3 of R(rotation)·diag(scale) with the translation in column 3: how the host rebuilds a
// bone's local matrix from its parts when the stretch has no rotation of its own.
Matrix Recompose(const float translation[3], const float rotation[4], const float scale[3]) {
  Matrix r;
  QuaternionToMatrix(rotation, r.data());
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) r[row * 4 + column] *= scale[column];
    r[row * 4 + 3] = translation[row];
  }
  return r;
}

// ---- SwapAxes and SwapMatrixAxes ----------------------------------------------------------

TEST(SwapAxes, TurnsEachVectorAQuarterTurnAboutX) {
  struct Case {
    Vec3 in, out;
  };
  const Case cases[] = {
      {{1, 2, 3}, {1, 3, -2}},
      {{-4, 5, -6}, {-4, -6, -5}},
      {{0, -7, 0}, {0, 0, 7}},
      {{9, 0, 1}, {9, 1, -0.0f}},
  };
  for (const Case& c : cases) {
    Vec3 v = c.in;
    SwapAxes(v.data());
    EXPECT_EQ(v, c.out) << c.in[0] << " " << c.in[1] << " " << c.in[2];
  }
  // A zero y turns into a negative zero z: the component is negated, not subtracted from 0.
  Vec3 v = {9, 0, 1};
  SwapAxes(v.data());
  EXPECT_TRUE(std::signbit(v[2]));
}

TEST(SwapMatrixAxes, IdentityBecomesTheTurn) {
  Matrix m = Identity();
  SwapMatrixAxes(m.data());
  EXPECT_EQ(m, Turn());
  // The zeros of the old row 1 are negated too.
  EXPECT_TRUE(std::signbit(m[8]));
  EXPECT_TRUE(std::signbit(m[10]));
  EXPECT_TRUE(std::signbit(m[11]));
}

TEST(SwapMatrixAxes, MovesRowTwoUpAndNegatesRowOneIntoRowTwo) {
  Matrix m;
  for (int i = 0; i < 16; ++i) m[i] = float(i + 1) * (i % 3 == 0 ? -1.0f : 1.0f);
  const Matrix before = m;
  SwapMatrixAxes(m.data());
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(m[column], before[column]);
    EXPECT_EQ(m[4 + column], before[8 + column]);
    EXPECT_EQ(m[8 + column], -before[4 + column]);
    EXPECT_EQ(m[12 + column], before[12 + column]);
  }
  // It is the turn applied on the left: P·M.
  EXPECT_EQ(m, Product(Turn(), before));
}

// ---- SwapModelAxes on a hand-made context -------------------------------------------------

// A host context with its own operation table. NotifyBoneTransform (slot 136) writes the world
// matrices held in `worldOnNotify` into the bones, as a host making them current would; the
// bones' world matrices before the call are deliberately wrong.
class FakeHost {
 public:
  FakeHost() {
    for (auto& slot : table_) slot = nullptr;
    auto notify = &FakeHost::NotifyBoneTransform;
    std::memcpy(&table_[136], &notify, sizeof(notify));
    context_->operations = table_;
    active_ = this;
  }
  ~FakeHost() { active_ = nullptr; }
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  HostContext* Context() { return context_.get(); }

  // Adds a bone whose world matrix the host will make current as `world`.
  void AddBone(int32_t parent, const Matrix& world) {
    HostBone bone{};
    std::memset(&bone, 0x3C, sizeof(bone));
    bone.parentIndex = parent;
    for (float& f : bone.worldMatrix) f = 1234.0f;
    bones_.push_back(bone);
    worldOnNotify_.push_back(world);
  }
  void AddVertex(Vec3 position) {
    HostVertex vertex{};
    std::memcpy(vertex.position, position.data(), sizeof(vertex.position));
    vertices_.push_back(vertex);
  }
  void Attach() {
    context_->bones.count = static_cast<int32_t>(bones_.size());
    context_->bones.items = bones_.empty() ? nullptr : bones_.data();
    context_->vertices.count = static_cast<int32_t>(vertices_.size());
    context_->vertices.items = vertices_.empty() ? nullptr : vertices_.data();
  }

  std::vector<HostBone>& Bones() { return bones_; }
  std::vector<HostVertex>& Vertices() { return vertices_; }
  const std::vector<int32_t>& NotifyArguments() const { return notifyArguments_; }

 private:
  static int32_t NotifyBoneTransform(void* context, int32_t argument) {
    FakeHost* self = active_;
    EXPECT_EQ(context, self->context_.get());
    self->notifyArguments_.push_back(argument);
    for (std::size_t i = 0; i < self->bones_.size(); ++i) {
      std::memcpy(self->bones_[i].worldMatrix, self->worldOnNotify_[i].data(), sizeof(Matrix));
    }
    return 1;
  }

  static inline FakeHost* active_ = nullptr;
  void* table_[160];
  std::unique_ptr<HostContext> context_ = std::make_unique<HostContext>();
  std::vector<HostBone> bones_;
  std::vector<Matrix> worldOnNotify_;
  std::vector<HostVertex> vertices_;
  std::vector<int32_t> notifyArguments_;
};

TEST(SwapModelAxes, NullContextDoesNothing) { SwapModelAxes(nullptr); }

TEST(SwapModelAxes, RootAtTheIdentityTakesUpTheQuarterTurn) {
  FakeHost host;
  host.AddBone(-1, Identity());
  host.Attach();
  SwapModelAxes(host.Context());

  ASSERT_EQ(host.NotifyArguments(), std::vector<int32_t>{1});
  const HostBone& bone = host.Bones()[0];
  EXPECT_EQ(FromPointer(bone.worldMatrix), Turn());
  EXPECT_EQ(FromPointer(bone.localMatrix), Turn());
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_NEAR(bone.translation[axis], 0.0f, 1e-7f);
    EXPECT_NEAR(bone.scale[axis], 1.0f, 1e-6f);
  }
  EXPECT_NEAR(bone.rotation[0], -kHalfRoot, 1e-6f);
  EXPECT_NEAR(bone.rotation[1], 0.0f, 1e-7f);
  EXPECT_NEAR(bone.rotation[2], 0.0f, 1e-7f);
  EXPECT_NEAR(bone.rotation[3], kHalfRoot, 1e-6f);
}

TEST(SwapModelAxes, ChildrenKeepTheirLocalTransformAndRootsAreTurned) {
  const Matrix rootWorld = Product(Translation(1, 2, 3), Rotation('z', 30));
  const Matrix childLocal =
      Product(Product(Translation(0, 5, 0), Rotation('x', 45)), Scaling(2, 2, 2));
  const Matrix grandchildLocal = Product(Translation(-1, 0.5f, 4), Rotation('y', -60));
  FakeHost host;
  host.AddBone(-1, rootWorld);
  host.AddBone(0, Product(rootWorld, childLocal));
  host.AddBone(1, Product(Product(rootWorld, childLocal), grandchildLocal));
  host.Attach();
  SwapModelAxes(host.Context());

  const auto& bones = host.Bones();
  // The root's parts now describe P·W.
  const Matrix turnedRoot = Product(Turn(), rootWorld);
  ExpectMatrixNear(FromPointer(bones[0].worldMatrix), turnedRoot, 1e-6f, "root world");
  ExpectMatrixNear(Recompose(bones[0].translation, bones[0].rotation, bones[0].scale), turnedRoot,
                   1e-5f, "root parts");
  // The turn cancels out of every child's local matrix.
  ExpectMatrixNear(FromPointer(bones[1].localMatrix), childLocal, 1e-5f, "child local");
  ExpectMatrixNear(Recompose(bones[1].translation, bones[1].rotation, bones[1].scale), childLocal,
                   1e-5f, "child parts");
  for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(bones[1].scale[axis], 2.0f, 1e-5f);
  EXPECT_NEAR(bones[1].translation[1], 5.0f, 1e-5f);
  ExpectMatrixNear(FromPointer(bones[2].localMatrix), grandchildLocal, 1e-5f, "grandchild local");
  ExpectMatrixNear(Recompose(bones[2].translation, bones[2].rotation, bones[2].scale),
                   grandchildLocal, 1e-5f, "grandchild parts");
  for (const HostBone& bone : bones) {
    const float length = std::hypot(std::hypot(bone.rotation[0], bone.rotation[1]),
                                    std::hypot(bone.rotation[2], bone.rotation[3]));
    EXPECT_NEAR(length, 1.0f, 1e-5f);
  }
}

TEST(SwapModelAxes, ParentsAfterTheirChildrenAreUsedTurned) {
  // Bone 0's parent is bone 1: its local matrix comes from bone 1's turned world matrix even
  // though bone 1 comes later.
  const Matrix parentWorld = Product(Translation(3, 0, -2), Rotation('y', 90));
  const Matrix local = Product(Translation(0, 1, 0), Rotation('z', -20));
  FakeHost host;
  host.AddBone(1, Product(parentWorld, local));
  host.AddBone(-1, parentWorld);
  host.Attach();
  SwapModelAxes(host.Context());
  ExpectMatrixNear(FromPointer(host.Bones()[0].localMatrix), local, 1e-5f, "child before parent");
}

TEST(SwapModelAxes, BonesWithoutAUsableParentGetTheirTurnedWorldMatrix) {
  struct Case {
    const char* name;
    int32_t parent;  // the parent of bone 1
    Matrix parentWorld;
  };
  const Matrix world = Product(Translation(7, 8, 9), Rotation('x', 25));
  const Case cases[] = {
      {"singular parent", 0, Product(Translation(1, 1, 1), Scaling(0, 0, 0))},
      {"parent index past the end", 2, Identity()},
      {"parent index far past the end", 1000000, Identity()},
      {"negative parent index", -7, Identity()},
  };
  for (const Case& c : cases) {
    FakeHost host;
    host.AddBone(-1, c.parentWorld);
    host.AddBone(c.parent, world);
    // Held by the host just past the end of the list the context shows: never a parent.
    host.AddBone(-1, Product(Translation(5, 5, 5), Rotation('z', 50)));
    host.Attach();
    host.Context()->bones.count = 2;
    SwapModelAxes(host.Context());
    const HostBone& bone = host.Bones()[1];
    EXPECT_EQ(FromPointer(bone.localMatrix), Product(Turn(), world)) << c.name;
    ExpectMatrixNear(Recompose(bone.translation, bone.rotation, bone.scale), Product(Turn(), world),
                     1e-5f, c.name);
  }
}

TEST(SwapModelAxes, MirroringBonesEndWithThreeNegativeScales) {
  struct Case {
    const char* name;
    Matrix parentWorld;
    Matrix local;  // of bone 1, a child of bone 0
  };
  const Case cases[] = {
      {"mirror in x", Identity(), Product(Translation(4, 5, 6), Scaling(-1, 1, 1))},
      {"negative uniform scale", Rotation('y', 40),
       Product(Rotation('z', 30), Scaling(-1.5f, -1.5f, -1.5f))},
      {"mirror in z with stretch", Translation(0, 2, 0), Scaling(2, 2, -0.5f)},
  };
  for (const Case& c : cases) {
    FakeHost host;
    host.AddBone(-1, c.parentWorld);
    host.AddBone(0, Product(c.parentWorld, c.local));
    host.Attach();
    SwapModelAxes(host.Context());
    const HostBone& bone = host.Bones()[1];
    ASSERT_LT(MatrixDeterminant(bone.localMatrix), 0.0f) << c.name;
    for (int axis = 0; axis < 3; ++axis)
      EXPECT_LT(bone.scale[axis], 0.0f) << c.name << ", axis " << axis;
    ExpectMatrixNear(Recompose(bone.translation, bone.rotation, bone.scale), c.local, 1e-5f,
                     c.name);
  }
  // A mirroring root is split the same way from its turned world matrix.
  FakeHost host;
  host.AddBone(-1, Scaling(-1, 1, 1));
  host.Attach();
  SwapModelAxes(host.Context());
  const HostBone& root = host.Bones()[0];
  for (int axis = 0; axis < 3; ++axis) EXPECT_FLOAT_EQ(root.scale[axis], -1.0f);
  ExpectMatrixNear(Recompose(root.translation, root.rotation, root.scale),
                   Product(Turn(), Scaling(-1, 1, 1)), 1e-6f, "mirroring root");
}

TEST(SwapModelAxes, WritesOnlyTheBoneTransformFields) {
  FakeHost host;
  host.AddBone(-1, Product(Translation(1, 2, 3), Rotation('x', 10)));
  host.AddBone(0, Rotation('y', 80));
  host.Attach();
  const std::vector<HostBone> before = host.Bones();
  SwapModelAxes(host.Context());
  struct Field {
    std::size_t offset, size;
  };
  const Field written[] = {{offsetof(HostBone, translation), 24},
                           {offsetof(HostBone, rotation), 16},
                           {offsetof(HostBone, localMatrix), 128}};
  for (std::size_t b = 0; b < before.size(); ++b) {
    const auto* old = reinterpret_cast<const unsigned char*>(&before[b]);
    const auto* now = reinterpret_cast<const unsigned char*>(&host.Bones()[b]);
    for (std::size_t i = 0; i < sizeof(HostBone); ++i) {
      bool inField = false;
      for (const Field& f : written) inField = inField || (i >= f.offset && i < f.offset + f.size);
      if (!inField) {
        ASSERT_EQ(old[i], now[i]) << "bone " << b << ", byte " << i;
      }
    }
  }
}

TEST(SwapModelAxes, TurnsVerticesAndSceneObjects) {
  FakeHost host;
  host.AddVertex({1, 2, 3});
  host.AddVertex({-5, 0.25f, 8});
  host.Attach();
  std::vector<HostSceneObjectA> objectsA(2);
  std::vector<HostSceneObjectB> objectsB(1);
  std::memset(objectsA.data(), 0x7B, objectsA.size() * sizeof(HostSceneObjectA));
  std::memset(objectsB.data(), 0x7C, objectsB.size() * sizeof(HostSceneObjectB));
  const Matrix objectMatrix = Product(Translation(1, 2, 3), Rotation('z', 15));
  for (auto& o : objectsA) {
    o.position[0] = 1, o.position[1] = 2, o.position[2] = 3;
    std::memcpy(o.matrix, objectMatrix.data(), sizeof(o.matrix));
    o.extra[0] = 10, o.extra[1] = 20;
  }
  objectsB[0].position[0] = 4, objectsB[0].position[1] = 5, objectsB[0].position[2] = 6;
  std::memcpy(objectsB[0].matrix, objectMatrix.data(), sizeof(objectsB[0].matrix));
  const auto beforeA = objectsA;
  const auto beforeB = objectsB;
  host.Context()->sceneObjectsA = {2, {}, objectsA.data()};
  host.Context()->sceneObjectsB = {1, {}, objectsB.data()};

  SwapModelAxes(host.Context());

  EXPECT_TRUE(host.NotifyArguments().empty()) << "no bones, no bone notification";
  EXPECT_EQ((Vec3{host.Vertices()[0].position[0], host.Vertices()[0].position[1],
                  host.Vertices()[0].position[2]}),
            (Vec3{1, 3, -2}));
  EXPECT_EQ((Vec3{host.Vertices()[1].position[0], host.Vertices()[1].position[1],
                  host.Vertices()[1].position[2]}),
            (Vec3{-5, 8, -0.25f}));
  const Matrix turned = Product(Turn(), objectMatrix);
  for (const auto& o : objectsA) {
    EXPECT_EQ((Vec3{o.position[0], o.position[1], o.position[2]}), (Vec3{1, 3, -2}));
    EXPECT_EQ(FromPointer(o.matrix), turned);
    EXPECT_EQ(o.extra[0], 10.0f);
    EXPECT_EQ(o.extra[1], 20.0f);
  }
  EXPECT_EQ((Vec3{objectsB[0].position[0], objectsB[0].position[1], objectsB[0].position[2]}),
            (Vec3{4, 6, -5}));
  EXPECT_EQ(FromPointer(objectsB[0].matrix), turned);
  // Nothing but position and matrix changes in a scene object.
  auto untouched = [](const void* a, const void* b, std::size_t size) {
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    for (std::size_t i = 0; i < size; ++i) {
      const bool written = (i >= 832 && i < 844) || (i >= 856 && i < 920);
      if (!written && x[i] != y[i]) return false;
    }
    return true;
  };
  EXPECT_TRUE(untouched(&beforeA[0], &objectsA[0], sizeof(HostSceneObjectA)));
  EXPECT_TRUE(untouched(&beforeA[1], &objectsA[1], sizeof(HostSceneObjectA)));
  EXPECT_TRUE(untouched(&beforeB[0], &objectsB[0], sizeof(HostSceneObjectB)));
}

TEST(SwapModelAxes, AbsentOrNegativeListsAreLeftAlone) {
  FakeHost host;
  host.AddBone(-1, Identity());
  host.AddVertex({1, 2, 3});
  HostSceneObjectA objectA{};
  objectA.position[1] = 2;
  HostSceneObjectB objectB{};
  objectB.position[1] = 3;
  HostContext* context = host.Context();
  struct Case {
    const char* name;
    int32_t boneCount, vertexCount, objectCount;
    bool withPointers;
  };
  const Case cases[] = {
      {"negative counts", -1, -3, -2, true},
      {"zero counts", 0, 0, 0, true},
      {"null lists with counts", 1, 1, 1, false},
  };
  for (const Case& c : cases) {
    context->bones = {c.boneCount, {}, c.withPointers ? host.Bones().data() : nullptr};
    context->vertices = {c.vertexCount, {}, c.withPointers ? host.Vertices().data() : nullptr};
    context->sceneObjectsA = {c.objectCount, {}, c.withPointers ? &objectA : nullptr};
    context->sceneObjectsB = {c.objectCount, {}, c.withPointers ? &objectB : nullptr};
    SwapModelAxes(context);
    EXPECT_TRUE(host.NotifyArguments().empty()) << c.name;
    EXPECT_EQ(host.Bones()[0].worldMatrix[0], 1234.0f) << c.name;
    EXPECT_EQ(host.Vertices()[0].position[1], 2.0f) << c.name;
    EXPECT_EQ(objectA.position[1], 2.0f) << c.name;
    EXPECT_EQ(objectB.position[1], 3.0f) << c.name;
  }
}

}  // namespace
}  // namespace vexmara

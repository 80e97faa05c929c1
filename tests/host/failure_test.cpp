// Failure injection: any operation can be made to fail on chosen calls, and a failed call leaves
// the host as it was.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/host.h"
#include "tests/host/host_test_support.h"

namespace vexmara::host {
namespace {

using testing::CallSlot;
using testing::Dual;
using testing::ReadAt;

// Objects a case needs before the operation under test can be called.
struct Fixture {
  // Saves are recorded, not written: the path "name" would land in the working directory.
  Fixture() { host.SetSaveImageWritesFiles(false); }

  Host host;
  DualString name = Dual("name");
  HostFileInfo info{};
  int window = 0;
  void* material = nullptr;
  void* mesh = nullptr;
  void* animation = nullptr;
  void* image = nullptr;

  void* Context() { return &host.Context(); }
  void* LoadImage() { return CallSlot<void*>(Context(), 142, &name, &info, 2); }
};

struct Case {
  Operation operation;
  std::function<void(Fixture&)> setUp;
  std::function<bool(Fixture&)> attempt;  // true when the call did what it should
};

std::vector<Case> AllOperations() {
  auto none = [](Fixture&) {};
  auto withImage = [](Fixture& f) { f.image = f.LoadImage(); };
  return {
      {Operation::RegisterExtension, none,
       [](Fixture& f) { return CallSlot<std::int32_t>(&f.host.Descriptor(), 3, &f.name) != 0; }},
      {Operation::GetMainWindow, [](Fixture& f) { f.host.SetMainWindow(&f.window); },
       [](Fixture& f) { return CallSlot<void*>(f.Context(), 17) == &f.window; }},
      {Operation::SetVertexCount, none,
       [](Fixture& f) { return CallSlot<std::int32_t>(f.Context(), 100, 4) == 1; }},
      {Operation::NotifyMeshesDone, none,
       [](Fixture& f) { return CallSlot<std::int32_t>(f.Context(), 121, 1) != 0; }},
      {Operation::NotifyBoneTransform, none,
       [](Fixture& f) { return CallSlot<std::int32_t>(f.Context(), 136, 1) != 0; }},
      {Operation::NotifyAnimationsDone, none,
       [](Fixture& f) { return CallSlot<std::int32_t>(f.Context(), 137) != 0; }},
      {Operation::LoadImage, none, [](Fixture& f) { return f.LoadImage() != nullptr; }},
      {Operation::SaveImage, withImage,
       [](Fixture& f) {
         return CallSlot<std::int32_t>(f.Context(), 143, &f.name, f.image, &f.info, 0) != 0;
       }},
      {Operation::ExtractAlphaImage, withImage,
       [](Fixture& f) { return CallSlot<void*>(f.Context(), 144, f.image) != nullptr; }},
      {Operation::ReleaseImage, none,
       [](Fixture& f) {
         void* image = f.LoadImage();
         CallSlot<void>(f.Context(), 146, image);
         return f.host.Images().back().releaseCount == 1;
       }},
      {Operation::SetVertexWeights, [](Fixture& f) { CallSlot<std::int32_t>(f.Context(), 100, 1); },
       [](Fixture& f) { return CallSlot<void*>(f.Context(), 147, 0, 2) != nullptr; }},
      {Operation::CreateMaterial, none,
       [](Fixture& f) { return CallSlot<void*>(f.Context(), 150, &f.name) != nullptr; }},
      {Operation::CreateGroup, none,
       [](Fixture& f) { return CallSlot<void*>(f.Context(), 151, &f.name, -1) != nullptr; }},
      {Operation::CreateBone, none,
       [](Fixture& f) { return CallSlot<void*>(f.Context(), 152, &f.name, -1) != nullptr; }},
      {Operation::CreateAnimation, none,
       [](Fixture& f) { return CallSlot<void*>(f.Context(), 154, &f.name) != nullptr; }},
      {Operation::CreateMesh, none,
       [](Fixture& f) { return CallSlot<void*>(f.Context(), 156) != nullptr; }},
      {Operation::CheckImage, withImage,
       [](Fixture& f) { return CallSlot<std::int32_t>(f.image, 4) == 0; }},
      {Operation::GetTextureSlot,
       [](Fixture& f) { f.material = CallSlot<void*>(f.Context(), 150, &f.name); },
       [](Fixture& f) { return CallSlot<void*>(f.material, 6, 0, 1) != nullptr; }},
      {Operation::SetFaceCount, [](Fixture& f) { f.mesh = CallSlot<void*>(f.Context(), 156); },
       [](Fixture& f) { return CallSlot<std::int32_t>(f.mesh, 5, 2) != 0; }},
      {Operation::SetTrackCount,
       [](Fixture& f) { f.animation = CallSlot<void*>(f.Context(), 154, &f.name); },
       [](Fixture& f) { return CallSlot<std::int32_t>(f.animation, 12, 2) != 0; }},
      {Operation::SetTranslationKeyCount,
       [](Fixture& f) {
         f.animation = CallSlot<void*>(f.Context(), 154, &f.name);
         CallSlot<std::int32_t>(f.animation, 12, 2);
       },
       [](Fixture& f) { return CallSlot<void*>(f.animation, 13, 1, 3) != nullptr; }},
      {Operation::SetRotationKeyCount,
       [](Fixture& f) {
         f.animation = CallSlot<void*>(f.Context(), 154, &f.name);
         CallSlot<std::int32_t>(f.animation, 12, 2);
       },
       [](Fixture& f) { return CallSlot<void*>(f.animation, 14, 0, 3) != nullptr; }},
      {Operation::SetScaleKeyCount,
       [](Fixture& f) {
         f.animation = CallSlot<void*>(f.Context(), 154, &f.name);
         CallSlot<std::int32_t>(f.animation, 12, 2);
       },
       [](Fixture& f) { return CallSlot<void*>(f.animation, 15, 1, 1) != nullptr; }},
  };
}

TEST(FailureInjectionTest, AnyOperationFailsOnTheChosenCallOnly) {
  const auto cases = AllOperations();
  ASSERT_EQ(cases.size(), static_cast<std::size_t>(kOperationCount));
  for (const auto& c : cases) {
    SCOPED_TRACE(OperationName(c.operation));
    Fixture f;
    f.host.SetImageLoadPolicy(ImageLoadPolicy::Always);
    c.setUp(f);
    f.host.FailCall(c.operation, f.host.CallCount(c.operation) + 2);
    EXPECT_TRUE(c.attempt(f));
    EXPECT_FALSE(c.attempt(f));
    EXPECT_TRUE(c.attempt(f));
    const auto calls = f.host.CallsOf(c.operation);
    ASSERT_GE(calls.size(), 3u);
    EXPECT_FALSE(calls[calls.size() - 3].failed);
    EXPECT_TRUE(calls[calls.size() - 2].failed);
    EXPECT_FALSE(calls[calls.size() - 1].failed);
  }
}

TEST(FailureInjectionTest, FailuresFromACallOnAndClearing) {
  for (const auto& c : AllOperations()) {
    SCOPED_TRACE(OperationName(c.operation));
    Fixture f;
    f.host.SetImageLoadPolicy(ImageLoadPolicy::Always);
    c.setUp(f);
    f.host.FailCallsFrom(c.operation, f.host.CallCount(c.operation) + 2);
    EXPECT_TRUE(c.attempt(f));
    EXPECT_FALSE(c.attempt(f));
    EXPECT_FALSE(c.attempt(f));
    f.host.ClearFailures();
    EXPECT_TRUE(c.attempt(f));
  }
}

TEST(FailureInjectionTest, CreateBoneFailingOnItsThirdCallLeavesTheListAtTwo) {
  Fixture f;
  f.host.FailCall(Operation::CreateBone, 3);
  std::vector<void*> results;
  for (int i = 0; i < 4; ++i) {
    results.push_back(CallSlot<void*>(f.Context(), 152, &f.name, -1));
    if (i == 2) {
      EXPECT_EQ(ReadAt<std::int32_t>(f.Context(), 7968), 2);
    }
  }
  EXPECT_NE(results[0], nullptr);
  EXPECT_NE(results[1], nullptr);
  EXPECT_EQ(results[2], nullptr);
  EXPECT_NE(results[3], nullptr);
  EXPECT_EQ(ReadAt<std::int32_t>(f.Context(), 7968), 3);
  EXPECT_EQ(f.host.Bones()[2].index, 2);
}

TEST(FailureInjectionTest, FailedCallsChangeNothing) {
  Fixture f;
  f.host.FailAlways(Operation::SetVertexCount);
  f.host.FailAlways(Operation::CreateMaterial);
  f.host.FailAlways(Operation::CreateAnimation);
  EXPECT_EQ(CallSlot<std::int32_t>(f.Context(), 100, 5), 0);
  EXPECT_EQ(CallSlot<void*>(f.Context(), 150, &f.name), nullptr);
  EXPECT_EQ(CallSlot<void*>(f.Context(), 154, &f.name), nullptr);
  EXPECT_EQ(ReadAt<std::int32_t>(f.Context(), 7872), 0);
  EXPECT_EQ(ReadAt<void*>(f.Context(), 7880), nullptr);
  EXPECT_EQ(ReadAt<std::int32_t>(f.Context(), 7856), 0);
  EXPECT_EQ(ReadAt<std::int32_t>(f.Context(), 8000), 0);
  EXPECT_EQ(f.host.CallCount(Operation::CreateMaterial), 1);

  // A failed release keeps the image alive; a failed check reports the image unusable.
  f.host.ClearFailures();
  f.host.SetImageLoadPolicy(ImageLoadPolicy::Always);
  void* image = f.LoadImage();
  f.host.FailAlways(Operation::ReleaseImage);
  f.host.FailAlways(Operation::CheckImage);
  CallSlot<void>(f.Context(), 146, image);
  EXPECT_EQ(f.host.LiveImageCount(), 1);
  EXPECT_EQ(CallSlot<std::int32_t>(image, 4), 1);
}

}  // namespace
}  // namespace vexmara::host

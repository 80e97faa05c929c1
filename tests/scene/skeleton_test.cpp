// Bones and the animation transfer: parent links, key cleaning, track matching, the bind-pose
// conversion of keys and the per-key-kind host refusals.
#include "scene_fixture.h"

namespace vexmara::scene_test {
namespace {

using host::Operation;
using writer::AniFile;
using writer::AniTrack;
using writer::AppModel;

// Geometry and two bones: "hip" at (1, 0, 0), and "knee" below it, turned 90 degrees about z.
AppModel RiggedModel() {
  AppModel model;
  model.geosets[0].submeshes = {MakeFan("skin", 3)};
  model.materials = {MakeMaterial("skin")};
  model.bones = {MakeBone("hip", -1, {1, 0, 0}),
                 MakeBone("knee", 0, {0, 2, 0}, {0, 0, kHalfRoot, kHalfRoot})};
  return model;
}

AniTrack Track(const std::string& bone) {
  AniTrack track;
  track.boneName = bone;
  return track;
}

TEST_F(SceneBuild, BonesKeepModelOrderAndParentsPastTheSkeletonBecomeRoots) {
  AppModel model = RiggedModel();
  model.bones = {MakeBone("a", -1, {0, 0, 0}), MakeBone("b", 3, {0, 0, 0}),
                 MakeBone("c", 1, {0, 0, 0}, {0, 0, 0, 1}, 2.0f), MakeBone("d", -7, {0, 0, 0})};
  model.bones.push_back(MakeBone("e", 5, {1, 2, 3}));
  ASSERT_EQ(ReadAndImport(model, DialogScript{}), 1);
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 5u);
  const int32_t parents[5] = {-1, 3, 1, -7, -1};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(bones[i].index, int32_t(i));
    EXPECT_EQ(bones[i].parentIndex, parents[i]) << bones[i].narrowName;
  }
  EXPECT_EQ(bones[2].scale, (std::array<float, 3>{2, 2, 2}));
  EXPECT_EQ(bones[4].translation, (std::array<float, 3>{1, 2, 3}));
  EXPECT_EQ(bones[4].narrowName, "e");
}

TEST_F(SceneBuild, AnimationKeysAreRetimedAndMadeRelativeToTheBindPose) {
  AniFile file;
  file.name = "run";
  AniTrack hip = Track("Hip");
  hip.translationKeys = {{1, 3, 0, 0}};
  hip.rotationKeys = {writer::AniRotationKey{0, 0, 0, 0, 0}};  // no rotation at all
  hip.scaleKeys = {{1, 0.5f}};
  AniTrack knee = Track("knee");
  knee.rotationKeys = {writer::MakeRotationKey(1, 0, 0, 0, 1)};
  knee.rotationKeys.push_back(writer::AniRotationKey{0, 0, 0, 0, 0});
  knee.rotationKeys.push_back(
      writer::MakeRotationKey(1, kHalfRoot, 0, 0, kHalfRoot));  // 90 degrees about x
  file.tracks = {knee, hip};
  file.frameTimes = {0.0f, 30.0f};
  DialogScript script;
  script.animationFiles = {WriteAnimation("run.ani", file)};
  ASSERT_EQ(ReadAndImport(RiggedModel(), script), 1);
  const auto animations = host_->Animations();
  ASSERT_EQ(animations.size(), 1u);
  EXPECT_EQ(animations[0].frameCount, 30.0f);
  const auto& tracks = animations[0].tracks;
  ASSERT_EQ(tracks.size(), 2u) << "one track per bone, in bone order";
  // hip: a key at time 30 is at host time 2; (3, 0, 0) is 2 from the bind position.
  ASSERT_EQ(tracks[0].translationKeys.size(), 1u);
  EXPECT_FLOAT_EQ(tracks[0].translationKeys[0].time, 2.0f);
  EXPECT_EQ(Value(tracks[0].translationKeys[0]), (std::array<float, 3>{2, 0, 0}));
  ASSERT_EQ(tracks[0].rotationKeys.size(), 1u);
  EXPECT_EQ(tracks[0].rotationKeys[0].w, 1.0f) << "a zero quaternion becomes the identity";
  ASSERT_EQ(tracks[0].scaleKeys.size(), 1u);
  EXPECT_EQ(tracks[0].scaleKeys[0].y, 0.5f);
  // knee: the identity and the zero quaternion are both sent as the inverse bind rotation.
  ASSERT_EQ(tracks[1].rotationKeys.size(), 3u);
  for (size_t k : {0u, 1u}) {
    ExpectNear<4>(Value(tracks[1].rotationKeys[k]), {0, 0, -kHalfRoot, kHalfRoot}, 1e-6f,
                  "inverse bind rotation");
  }
  // The inverse bind rotation comes first: Q' (x) q, not q (x) Q'.
  ExpectNear<4>(Value(tracks[1].rotationKeys[2]), {0.5f, -0.5f, -0.5f, 0.5f}, 1e-4f,
                "quarter turn about x");
  EXPECT_FLOAT_EQ(tracks[1].rotationKeys[0].time, 2.0f);
  EXPECT_TRUE(tracks[1].translationKeys.empty());
}

TEST_F(SceneBuild, AnimationWithNegativeKeyTimesStartsEveryKeyAtZero) {
  AniFile file;
  file.name = "early";
  AniTrack hip = Track("hip");
  hip.translationKeys = {{0, 1, 0, 0}, {2, 1, 0, 0}};
  hip.scaleKeys = {{1, 2.0f}};
  file.tracks = {hip};
  file.frameTimes = {-5.0f, 3.0f, 10.0f};
  DialogScript script;
  script.animationFiles = {WriteAnimation("early.ani", file)};
  ASSERT_EQ(ReadAndImport(RiggedModel(), script), 1);
  const auto track = host_->Animations().at(0).tracks.at(0);
  ASSERT_EQ(track.translationKeys.size(), 2u);
  EXPECT_EQ(track.translationKeys[0].time, 0.0f);
  EXPECT_EQ(track.translationKeys[1].time, 0.0f);
  ASSERT_EQ(track.scaleKeys.size(), 1u);
  EXPECT_EQ(track.scaleKeys[0].time, 0.0f);
  EXPECT_EQ(host_->Animations()[0].frameCount, 10.0f);
}

TEST_F(SceneBuild, TrackIsSharedByBonesOfTheSameNameIgnoringCase) {
  AppModel model = RiggedModel();
  model.bones = {MakeBone("Arm", -1, {0, 0, 0}), MakeBone("arm", 0, {1, 0, 0}),
                 MakeBone("leg", 0, {0, 0, 0})};
  AniFile file;
  file.name = "wave";
  AniTrack arm = Track("ARM");
  arm.translationKeys = {{0, 1, 0, 0}};
  file.tracks = {arm};
  DialogScript script;
  script.animationFiles = {WriteAnimation("wave.ani", file)};
  ASSERT_EQ(ReadAndImport(model, script), 1);
  const auto tracks = host_->Animations().at(0).tracks;
  ASSERT_EQ(tracks.size(), 3u);
  ASSERT_EQ(tracks[0].translationKeys.size(), 1u);
  ASSERT_EQ(tracks[1].translationKeys.size(), 1u);
  EXPECT_EQ(tracks[0].translationKeys[0].x, 1.0f);
  EXPECT_EQ(tracks[1].translationKeys[0].x, 0.0f) << "relative to each bone's own bind position";
  EXPECT_TRUE(tracks[2].translationKeys.empty()) << "a bone without a track gets no keys";
}

TEST_F(SceneBuild, AnimationsThatDoNotFitTheSkeletonAreNotSent) {
  AniFile wide;
  wide.name = "wide";
  wide.tracks = {Track("hip"), Track("knee"), Track("toe")};
  AniFile fits;
  fits.name = "fits";
  fits.tracks = {Track("hip")};
  DialogScript script;
  script.animationFiles = {WriteAnimation("wide.ani", wide), WriteAnimation("fits.ani", fits)};
  ASSERT_EQ(ReadAndImport(RiggedModel(), script), 1);
  ASSERT_EQ(host_->Animations().size(), 1u) << "more tracks than bones";
  EXPECT_EQ(host_->Animations()[0].name, u"fits");

  // Without bones there is nothing to animate.
  AppModel boneless = RiggedModel();
  boneless.bones.clear();
  host_ = std::make_unique<host::Host>();
  ASSERT_EQ(host_->Register(library_), 1);
  ASSERT_EQ(ReadAndImport(boneless, script), 1);
  EXPECT_EQ(host_->CallCount(Operation::CreateAnimation), 0);
  EXPECT_EQ(host_->CallCount(Operation::NotifyAnimationsDone), 1);
}

// A refused key array leaves out those keys only; the other kinds and bones are still sent.
TEST_F(SceneBuild, KeyArrayRefusedByTheHostSkipsOnlyThoseKeys) {
  AniFile file;
  file.name = "all";
  AniTrack hip = Track("hip");
  hip.translationKeys = {{0, 2, 0, 0}};
  hip.rotationKeys = {writer::MakeRotationKey(0, 0, 0, 0, 1)};
  hip.scaleKeys = {{0, 3.0f}};
  file.tracks = {hip};
  for (Operation refused : {Operation::SetTranslationKeyCount, Operation::SetRotationKeyCount,
                            Operation::SetScaleKeyCount}) {
    SCOPED_TRACE(OperationName(refused));
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    host_->FailAlways(refused);
    DialogScript script;
    script.animationFiles = {WriteAnimation("all.ani", file)};
    ASSERT_EQ(ReadAndImport(RiggedModel(), script), 1);
    const auto track = host_->Animations().at(0).tracks.at(0);
    EXPECT_EQ(track.translationKeys.size(), refused == Operation::SetTranslationKeyCount ? 0u : 1u);
    EXPECT_EQ(track.rotationKeys.size(), refused == Operation::SetRotationKeyCount ? 0u : 1u);
    EXPECT_EQ(track.scaleKeys.size(), refused == Operation::SetScaleKeyCount ? 0u : 1u);
    EXPECT_EQ(host_->CallCount(Operation::NotifyAnimationsDone), 1);
  }
}

}  // namespace
}  // namespace vexmara::scene_test

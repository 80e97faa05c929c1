// Whole imports: the dialog's answer, the chosen animation files, every stage in order, and the
// store left empty afterwards.
#include <algorithm>
#include <cmath>
#include <map>

#include "scene_fixture.h"

namespace vexmara::scene_test {
namespace {

using host::Operation;
using writer::AniFile;
using writer::AniTrack;
using writer::AppModel;

// Two geosets with skin weights and two materials, whose textures have the ids 7 and 9.
AppModel SkinnedModel() {
  AppModel model;
  model.bones = {MakeBone("root", -1, {1, 0, 0}),
                 MakeBone("arm", 0, {0, 2, 0}, {0, 0, kHalfRoot, kHalfRoot}, 0.5f)};
  writer::AppSubmesh stone = MakeFan("stone", 4);
  stone.skin = {{{0, 1, 0}, {1.0f, 0, 0}},
                {{0, 1, 0}, {0.25f, 0.75f, 0}},
                {{0, 1, 0}, {0, 0, 0}},
                {{0, 1, 0}, {0.5f, 0.3f, 0.2f}}};
  model.geosets[0].submeshes.push_back(stone);
  model.geosets[1].submeshes.push_back(MakeFan("cloth", 3));
  model.materials = {MakeMaterial("stone", {7}), MakeMaterial("cloth", {9})};
  return model;
}

// Frame table 0, 10, 29.5: keys at frames 0, 1 and 2 land at those times.
AniFile WalkAnimation() {
  AniFile file;
  file.name = "walk";
  AniTrack root;
  root.boneName = "ROOT";  // matched ignoring case
  root.translationKeys = {{0, 1, 0, 0}, {2, 3, 0, 0}};
  AniTrack arm;
  arm.boneName = "arm";
  arm.rotationKeys = {writer::MakeRotationKey(0, 0, 0, 0, 1),
                      writer::MakeRotationKey(2, 0, 0, kHalfRoot, kHalfRoot)};
  arm.scaleKeys = {{1, 2.0f}, {2, 0.0f}};
  file.tracks = {root, arm};
  file.frameTimes = {0.0f, 10.0f, 29.5f};
  return file;
}

// No frame table: duration and key times stay 0.
AniFile IdleAnimation() {
  AniFile file;
  file.name = "idle";
  AniTrack arm;
  arm.boneName = "arm";
  arm.translationKeys = {{5, 1, 2, 0}};
  file.tracks = {arm};
  return file;
}

int FirstCall(const host::Host& host, Operation operation) {
  const auto& calls = host.Calls();
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].operation == operation) return int(i);
  }
  return -1;
}

TEST_F(SceneBuild, ImportsSkinnedModelWithTexturesAlphaMapsAndTwoAnimations) {
  WriteFile("rock.tex", TexFile(7));
  WriteFile("rock.dds", testing::DdsImage(2, 2));
  WriteFile("other.tex", TexFile(3));
  DialogScript script;
  script.animationFiles = {WriteAnimation("walk.ani", WalkAnimation()),
                           WriteAnimation("idle.ani", IdleAnimation())};
  script.extractAlphaMaps = 1;
  ASSERT_EQ(ReadAndImport(SkinnedModel(), script), 1);

  // Materials: the first with its converted image and the alpha map beside it, the second bare.
  const auto materials = host_->Materials();
  ASSERT_EQ(materials.size(), 2u);
  EXPECT_EQ(materials[0].name, u"stone");
  EXPECT_EQ(materials[0].narrowName, "stone");
  EXPECT_EQ(materials[1].name, u"cloth");
  for (const auto& material : materials)
    EXPECT_NE(material.flags & 2, 0) << "material " << material.index;
  ASSERT_EQ(materials[0].textureSlots.size(), 2u);
  EXPECT_EQ(materials[0].textureSlots[0].slotIndex, 0);
  EXPECT_EQ(materials[0].textureSlots[0].path, Path("rock.dds"));
  EXPECT_EQ(materials[0].textureSlots[0].narrowPath, (directory_ / "rock.dds").string());
  EXPECT_NE(materials[0].textureSlots[0].flags & 1, 0);
  EXPECT_EQ(materials[0].textureSlots[1].slotIndex, 1);
  EXPECT_EQ(materials[0].textureSlots[1].path, Path("rock_A.tga"));
  EXPECT_NE(materials[0].textureSlots[1].flags & 1, 0);
  EXPECT_TRUE(materials[1].textureSlots.empty());

  // The alpha map: loaded from the .dds, derived, written beside it through the host.
  const auto loads = host_->CallsOf(Operation::LoadImage);
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].text, Path("rock.dds"));
  EXPECT_EQ(loads[0].integers[0], 2);
  EXPECT_EQ(loads[0].fileTag, -1);
  const auto saves = host_->CallsOf(Operation::SaveImage);
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].fileInfo, loads[0].fileInfo) << "the save gets the load's file record";
  EXPECT_EQ(saves[0].integers[0], 0);
  ASSERT_EQ(host_->SavedImages().size(), 1u);
  EXPECT_EQ(host_->SavedImages()[0].path, Path("rock_A.tga"));
  const auto images = host_->Images();
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(host_->SavedImages()[0].image, images[1].index);
  EXPECT_EQ(images[1].origin, host::ImageOrigin::Extracted);
  EXPECT_TRUE(std::filesystem::is_regular_file(directory_ / "rock_A.tga"));
  EXPECT_EQ(host_->LiveImageCount(), 0);

  // One shared vertex list, weights as the skin has them; a vertex without weights gets no call.
  const auto vertices = host_->Vertices();
  ASSERT_EQ(vertices.size(), 7u);
  const int local[7] = {0, 1, 2, 3, 0, 1, 2};
  for (size_t v = 0; v < 7; ++v) {
    const float i = float(local[v]);
    EXPECT_EQ(vertices[v].position, (std::array<float, 3>{i, 2 * i, 3 * i})) << "vertex " << v;
  }
  ASSERT_TRUE(vertices[0].weighted);
  ASSERT_EQ(vertices[0].weights.size(), 1u);
  EXPECT_EQ(vertices[0].weights[0].boneIndex, 0);
  EXPECT_EQ(vertices[0].weights[0].weight, 1.0f);
  ASSERT_EQ(vertices[1].weights.size(), 2u);
  EXPECT_EQ(vertices[1].weights[1].boneIndex, 1);
  EXPECT_EQ(vertices[1].weights[1].weight, 0.75f);
  EXPECT_FALSE(vertices[2].weighted);
  ASSERT_EQ(vertices[3].weights.size(), 3u);
  EXPECT_EQ(vertices[3].weights[2].boneIndex, 0);
  EXPECT_EQ(vertices[3].weights[2].weight, 0.2f);
  for (size_t v = 4; v < 7; ++v) EXPECT_FALSE(vertices[v].weighted) << "vertex " << v;
  EXPECT_EQ(host_->CallCount(Operation::SetVertexWeights), 3);

  // Groups follow the materials; faces point into the shared list.
  const auto groups = host_->Groups();
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].name, u"stone");
  EXPECT_EQ(groups[1].name, u"cloth");
  EXPECT_EQ(groups[0].createArgument, -1);
  const auto meshes = host_->Meshes();
  ASSERT_EQ(meshes.size(), 2u);
  ASSERT_EQ(meshes[0].faces.size(), 2u);
  ASSERT_EQ(meshes[1].faces.size(), 1u);
  EXPECT_EQ(meshes[0].faces[1].vertices, (std::array<int32_t, 3>{0, 2, 3}));
  EXPECT_EQ(meshes[1].faces[0].vertices, (std::array<int32_t, 3>{4, 5, 6}));
  EXPECT_EQ(meshes[0].faces[0].materialIndex, 0);
  EXPECT_EQ(meshes[0].faces[0].groupIndex, 0);
  EXPECT_EQ(meshes[1].faces[0].materialIndex, 1);
  EXPECT_EQ(meshes[1].faces[0].groupIndex, 1);
  EXPECT_EQ(meshes[0].faces[1].uv[2], (std::array<float, 2>{67.5f, 128.0f}));
  EXPECT_EQ(meshes[1].faces[0].uv[1], (std::array<float, 2>{65.5f, 128.0f}));
  for (const auto& mesh : meshes) {
    for (const auto& face : mesh.faces) EXPECT_TRUE(face.cornerMarkersIntact);
  }

  // Bones in model order with their bind pose.
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 2u);
  EXPECT_EQ(bones[0].name, u"root");
  EXPECT_EQ(bones[0].parentIndex, -1);
  EXPECT_EQ(bones[0].translation, (std::array<float, 3>{1, 0, 0}));
  EXPECT_EQ(bones[0].rotation, (std::array<float, 4>{0, 0, 0, 1}));
  EXPECT_EQ(bones[1].name, u"arm");
  EXPECT_EQ(bones[1].createArgument, -1);
  EXPECT_EQ(bones[1].parentIndex, 0);
  EXPECT_EQ(bones[1].translation, (std::array<float, 3>{0, 2, 0}));
  EXPECT_EQ(bones[1].scale, (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
  EXPECT_EQ(bones[1].rotation, (std::array<float, 4>{0, 0, kHalfRoot, kHalfRoot}));

  // Animations at 15 frames per second, keys relative to the bind pose.
  const auto animations = host_->Animations();
  ASSERT_EQ(animations.size(), 2u);
  const auto& walk = animations[0];
  EXPECT_EQ(walk.name, u"walk");
  EXPECT_EQ(walk.firstFrame, 0);
  EXPECT_EQ(walk.framesPerSecond, 15.0f);
  EXPECT_EQ(walk.frameCount, 30.0f) << "duration 29.5 rounded up";
  ASSERT_EQ(walk.tracks.size(), 2u);
  const auto& rootKeys = walk.tracks[0].translationKeys;
  ASSERT_EQ(rootKeys.size(), 2u);
  EXPECT_EQ(rootKeys[0].time, 0.0f);
  ExpectNear<3>(Value(rootKeys[0]), {0, 0, 0}, 1e-6f, "root key 0");
  EXPECT_FLOAT_EQ(rootKeys[1].time, HostTime(29.5f));
  ExpectNear<3>(Value(rootKeys[1]), {2, 0, 0}, 1e-6f, "root key 1");
  EXPECT_TRUE(walk.tracks[0].rotationKeys.empty());
  EXPECT_TRUE(walk.tracks[0].scaleKeys.empty());
  const auto& armRotations = walk.tracks[1].rotationKeys;
  ASSERT_EQ(armRotations.size(), 2u);
  ExpectNear<4>(Value(armRotations[0]), {0, 0, -kHalfRoot, kHalfRoot}, 1e-6f,
                "identity after the bind rotation");
  ExpectNear<4>(Value(armRotations[1]), {0, 0, 0, 1}, 1e-4f, "the bind rotation itself");
  EXPECT_FLOAT_EQ(armRotations[1].time, HostTime(29.5f));
  const auto& armScales = walk.tracks[1].scaleKeys;
  ASSERT_EQ(armScales.size(), 2u);
  EXPECT_FLOAT_EQ(armScales[0].time, HostTime(10.0f));
  ExpectNear<3>(Value(armScales[0]), {4, 4, 4}, 1e-6f, "scale 2 over bind scale 0.5");
  ExpectNear<3>(Value(armScales[1]), {2, 2, 2}, 1e-6f, "scale 0 taken as 1, over 0.5");
  const auto& idle = animations[1];
  EXPECT_EQ(idle.name, u"idle");
  EXPECT_EQ(idle.frameCount, 0.0f) << "no frame table: duration 0";
  ASSERT_EQ(idle.tracks.size(), 2u);
  EXPECT_TRUE(idle.tracks[0].translationKeys.empty());
  ASSERT_EQ(idle.tracks[1].translationKeys.size(), 1u);
  EXPECT_EQ(idle.tracks[1].translationKeys[0].time, 0.0f);
  ExpectNear<3>(Value(idle.tracks[1].translationKeys[0]), {0, -1, 0}, 1e-6f,
                "offset turned back by the bind rotation");

  // The stages ran in order, each notification once.
  const Operation order[] = {Operation::CreateMaterial,   Operation::SetVertexCount,
                             Operation::CreateGroup,      Operation::CreateMesh,
                             Operation::NotifyMeshesDone, Operation::CreateBone,
                             Operation::CreateAnimation,  Operation::NotifyAnimationsDone};
  for (size_t i = 1; i < std::size(order); ++i) {
    EXPECT_LT(FirstCall(*host_, order[i - 1]), FirstCall(*host_, order[i]))
        << OperationName(order[i]);
  }
  EXPECT_EQ(host_->CallCount(Operation::NotifyMeshesDone), 1);
  EXPECT_EQ(host_->CallsOf(Operation::NotifyMeshesDone)[0].integers[0], 1);
  EXPECT_EQ(host_->CallCount(Operation::NotifyAnimationsDone), 1);
  EXPECT_EQ(host_->CallCount(Operation::NotifyBoneTransform), 0)
      << "no axis swap without \"Swap model\"";
}

// A host that cannot make an object ends the import at that stage: the stages before it ran
// whole, none after it ran, and the store is empty afterwards.
TEST_F(SceneBuild, FailedObjectCreationEndsTheImportAtItsStage) {
  struct Step {
    Operation operation;
    int stage;
  };
  const Step steps[] = {{Operation::CreateMaterial, 1},      {Operation::SetVertexCount, 2},
                        {Operation::SetVertexWeights, 2},    {Operation::CreateGroup, 3},
                        {Operation::CreateMesh, 4},          {Operation::SetFaceCount, 4},
                        {Operation::NotifyMeshesDone, 5},    {Operation::CreateBone, 6},
                        {Operation::CreateAnimation, 7},     {Operation::SetTrackCount, 7},
                        {Operation::NotifyAnimationsDone, 8}};
  WriteFile("rock.tex", TexFile(7));
  DialogScript script;
  script.animationFiles = {WriteAnimation("walk.ani", WalkAnimation())};
  ASSERT_EQ(ReadAndImport(SkinnedModel(), script), 1);
  std::map<Operation, int> complete;
  for (const Step& step : steps) complete[step.operation] = host_->CallCount(step.operation);

  for (const Step& failing : steps) {
    if (failing.operation == Operation::SetVertexWeights ||
        failing.operation == Operation::NotifyMeshesDone ||
        failing.operation == Operation::NotifyAnimationsDone) {
      continue;  // their results do not decide anything
    }
    SCOPED_TRACE(OperationName(failing.operation));
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    host_->FailCall(failing.operation, 1);
    EXPECT_EQ(ReadAndImport(SkinnedModel(), script), 0);
    EXPECT_EQ(host_->CallCount(failing.operation), 1);
    for (const Step& step : steps) {
      if (step.stage < failing.stage) {
        EXPECT_EQ(host_->CallCount(step.operation), complete[step.operation])
            << OperationName(step.operation);
      } else if (step.stage > failing.stage) {
        EXPECT_EQ(host_->CallCount(step.operation), 0) << OperationName(step.operation);
      }
    }
    if (failing.stage > 2) {
      ASSERT_EQ(host_->Vertices().size(), 7u);
      EXPECT_EQ(host_->Vertices()[5].position, (std::array<float, 3>{1, 2, 3}));
      EXPECT_EQ(host_->Vertices()[1].weights.size(), 2u);
    }
    if (failing.stage > 1) {
      ASSERT_EQ(host_->Materials().size(), 2u);
      EXPECT_EQ(host_->Materials()[0].textureSlots.at(0).path, Path("rock.tex"));
    }
    const int created = CreationCount();
    EXPECT_EQ(Import(DialogScript{}), 1);
    EXPECT_EQ(CreationCount(), created) << "the failed import emptied the store";
  }
}

TEST_F(SceneBuild, DialogThatDoesNotImportEndsWithCancelAndCreatesNothing) {
  for (int32_t result : {0, -1}) {
    ReadModel(SkinnedModel());
    DialogScript script;
    script.result = result;
    EXPECT_EQ(Import(script), 2) << "dialog result " << result;
    EXPECT_EQ(CreationCount(), 0) << "dialog result " << result;
    EXPECT_EQ(host_->CallCount(Operation::NotifyMeshesDone), 0);
  }
  // The store was emptied: importing without a new read builds nothing.
  EXPECT_EQ(Import(DialogScript{}), 1);
  EXPECT_EQ(CreationCount(), 0);
}

TEST_F(SceneBuild, SecondImportWithoutNewReadFindsAnEmptyStore) {
  ASSERT_EQ(ReadAndImport(SkinnedModel(), DialogScript{}), 1);
  const int created = CreationCount();
  const auto vertices = host_->Vertices();
  ASSERT_GT(created, 0);
  EXPECT_EQ(Import(DialogScript{}), 1);
  EXPECT_EQ(CreationCount(), created);
  EXPECT_EQ(host_->Materials().size(), 2u);
  EXPECT_EQ(host_->Vertices().size(), vertices.size());
  EXPECT_EQ(host_->Vertices()[3].position, vertices[3].position);
}

TEST_F(SceneBuild, ModelWithOnlyBonesBuildsBonesAndReturnsBuilt) {
  AppModel model;
  model.bones = {MakeBone("solo", -1, {0, 0, 5})};
  ASSERT_EQ(ReadAndImport(model, DialogScript{}), 1);
  EXPECT_EQ(host_->CallCount(Operation::SetVertexCount), 0);
  EXPECT_EQ(host_->CallCount(Operation::CreateMaterial), 0);
  EXPECT_EQ(host_->CallCount(Operation::CreateGroup), 0);
  EXPECT_EQ(host_->CallCount(Operation::CreateMesh), 0);
  EXPECT_EQ(host_->CallCount(Operation::CreateAnimation), 0);
  ASSERT_EQ(host_->Bones().size(), 1u);
  EXPECT_EQ(host_->Bones()[0].translation, (std::array<float, 3>{0, 0, 5}));
  // Without materials the current directory is not changed.
  EXPECT_EQ(std::filesystem::current_path(), original_directory_);
}

TEST_F(SceneBuild, ChosenAnimationFilesAreReadInOrderAndUnreadableOnesSkipped) {
  AniFile cut = WalkAnimation();
  cut.name = "cut";
  auto bytes = writer::WriteAniFile(cut);
  bytes.resize(200);  // ends inside the header, after the name
  DialogScript script;
  script.animationFiles = {Path("missing.ani"), WriteFile("cut.ani", bytes).u16string(),
                           WriteAnimation("walk.ani", WalkAnimation()), Path("walk.ani")};
  ASSERT_EQ(ReadAndImport(SkinnedModel(), script), 1);
  const auto animations = host_->Animations();
  ASSERT_EQ(animations.size(), 3u) << "the missing file adds nothing; the cut one keeps its name";
  EXPECT_EQ(animations[0].name, u"cut");
  EXPECT_EQ(animations[0].frameCount, 0.0f);
  for (const auto& track : animations[0].tracks) {
    EXPECT_TRUE(track.translationKeys.empty() && track.rotationKeys.empty() &&
                track.scaleKeys.empty());
  }
  EXPECT_EQ(animations[1].name, u"walk");
  EXPECT_EQ(animations[2].name, u"walk") << "a file chosen twice is read twice";
  EXPECT_EQ(animations[2].tracks[0].translationKeys.size(), 2u);
}

TEST_F(SceneBuild, SwapModelTurnsVerticesAndRebuildsBones) {
  DialogScript script;
  script.swapModel = 1;
  ASSERT_EQ(ReadAndImport(SkinnedModel(), script), 1);
  EXPECT_EQ(host_->CallCount(Operation::NotifyBoneTransform), 1);
  const auto vertices = host_->Vertices();
  ASSERT_EQ(vertices.size(), 7u);
  // (x, y, z) -> (x, z, -y), then the scale of 1 about the bounds' centre.
  ExpectNear<3>(vertices[3].position, {3, 9, -6}, 1e-5f, "vertex 3");
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 2u);
  // The root takes up the quarter turn about x; the child keeps its transform.
  ExpectNear<4>(bones[0].rotation, {-kHalfRoot, 0, 0, kHalfRoot}, 1e-5f, "root rotation");
  ExpectNear<3>(bones[1].translation, {0, 2, 0}, 1e-5f, "child translation");
}

TEST_F(SceneBuild, OptionsLeftAsShownKeepTheLastImportsChoices) {
  // A fresh library shows "Swap model" checked.
  DialogScript shown;
  shown.swapModel = shown.submeshesAsGroups = shown.extractAlphaMaps = -1;
  ASSERT_EQ(ReadAndImport(SkinnedModel(), shown), 1);
  EXPECT_EQ(host_->CallCount(Operation::NotifyBoneTransform), 1);
  EXPECT_EQ(host_->Groups().size(), 2u) << "groups follow materials";

  DialogScript chosen;
  chosen.swapModel = 0;
  chosen.submeshesAsGroups = 1;
  ASSERT_EQ(ReadAndImport(SkinnedModel(), chosen), 1);
  EXPECT_EQ(host_->CallCount(Operation::NotifyBoneTransform), 1);
  EXPECT_EQ(host_->Groups().size(), 4u) << "one more group per submesh";

  ASSERT_EQ(ReadAndImport(SkinnedModel(), shown), 1);
  EXPECT_EQ(host_->CallCount(Operation::NotifyBoneTransform), 1) << "\"Swap model\" stays off";
  EXPECT_EQ(host_->Groups().size(), 6u) << "groups still per submesh";
}

}  // namespace
}  // namespace vexmara::scene_test

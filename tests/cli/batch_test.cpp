// The folder batch's own parts in-process: the rule that attaches animation files to a model,
// the messages between the batch and its workers, the walk over folder trees and the progress
// lines. The batch as a whole runs in batch_e2e_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch/progress.h"
#include "cli/batch/protocol.h"
#include "cli/convert/animation_match.h"
#include "cli/files/folder_walk.h"
#include "deep_folder.h"
#include "scratch_folder.h"

namespace vexmara::testing {
namespace {

namespace fs = std::filesystem;
using cli::AnimationCatalogue;
using cli::AnimationFile;
using cli::Coverage;

AnimationFile File(const std::string& path, std::vector<std::string> tracks,
                   bool forEveryModel = true) {
  AnimationFile file;
  file.path = path;
  file.shown = path;
  file.forEveryModel = forEveryModel;
  file.usable = true;
  file.trackNames = std::move(tracks);
  return file;
}

std::vector<std::string> Paths(const AnimationCatalogue& catalogue,
                               const std::vector<Coverage>& coverages) {
  std::vector<std::string> paths;
  for (const Coverage& c : coverages)
    paths.push_back(catalogue.Files()[std::size_t(c.file)].path.string());
  return paths;
}

const std::vector<std::string> kSkeleton = {"root",  "Spine", "head",  "arm_l",
                                            "arm_r", "leg_l", "leg_r", "tail"};

TEST(AnimationMatch, AFileIsAttachedWhenEveryTrackNamesABoneAndHalfTheBonesAreNamed) {
  struct Case {
    const char* what;
    std::vector<std::string> tracks;
    bool attached;
  };
  const Case cases[] = {
      {"every bone", kSkeleton, true},
      {"exactly half", {"root", "spine", "head", "arm_l"}, true},
      {"letter case aside, as the import matches", {"ROOT", "SPINE", "Head", "ARM_L"}, true},
      {"one short of half", {"root", "spine", "head"}, false},
      {"a track naming no bone", {"root", "spine", "head", "arm_l", "wing"}, false},
      {"foreign", {"wing_l", "wing_r", "beak"}, false},
      {"no tracks", {}, false},
      // Two tracks of one name: every track names a bone, but the file has more tracks than the
      // skeleton of four below has bones, and the import leaves such a file out.
      {"more tracks than bones",
       {"root", "ROOT", "spine", "head", "arm_l", "arm_r", "leg_l", "leg_r", "tail"},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AnimationCatalogue catalogue;
    catalogue.SetFiles({File("/a/take.ani", c.tracks)});
    const auto matches = catalogue.Match(kSkeleton, "/a");
    EXPECT_EQ(matches.attached.size(), c.attached ? 1u : 0u);
    EXPECT_EQ(matches.bones, 8);
  }
}

TEST(AnimationMatch, OnlyAsciiLettersFoldAsInTheImportsComparison) {
  EXPECT_EQ(cli::FoldName("Bip01 L-Arm_Ä"), "bip01 l-arm_Ä");
  AnimationCatalogue catalogue;
  catalogue.SetFiles({File("/a/umlaut.ani", {"\xC3\xA4rm"})});  // "ärm"
  EXPECT_TRUE(catalogue.Match({"\xC3\x84rm"}, "/a").attached.empty())
      << "Ä and ä are different bytes";
  EXPECT_EQ(catalogue.Match({"\xC3\xA4RM"}, "/a").attached.size(), 1u);
}

TEST(AnimationMatch, BonesOfOneNameAreCoveredByOneTrackAsTheImportGivesThemItsKeys) {
  AnimationCatalogue catalogue;
  catalogue.SetFiles({File("/a/take.ani", {"finger"})});
  const auto matches = catalogue.Match({"finger", "FINGER", "hand"}, "/a");
  ASSERT_EQ(matches.attached.size(), 1u);
  EXPECT_EQ(matches.attached[0].bonesNamed, 2);
  EXPECT_EQ(matches.attached[0].tracks, 1);
}

TEST(AnimationMatch, AttachedFilesComeByPathAndTheClosestLeftOutByBonesNamed) {
  AnimationCatalogue catalogue;
  catalogue.SetFiles({
      File("/anims/z_walk.ani", kSkeleton),
      File("/anims/a_run.ani", {"root", "spine", "head", "arm_l"}),
      File("/anims/b_wave.ani", {"arm_l", "arm_r", "wing"}),         // 2 named, 1 naming none
      File("/anims/c_nod.ani", {"head"}),                            // 1 named
      File("/anims/d_tail.ani", {"tail", "root", "spine"}),          // 3 named, below half
      File("/anims/e_fly.ani", {"arm_l", "arm_r", "wing", "beak"}),  // 2 named, 2 naming none
      File("/anims/f_swim.ani", {"fin"}),                            // nothing named: not listed
      File("/anims/g_broken.ani", kSkeleton),
  });
  std::vector<AnimationFile> files = catalogue.Files();
  files[7].usable = false;  // read partway only: never attached, never listed
  catalogue.SetFiles(files);

  const auto matches = catalogue.Match(kSkeleton, "/models");
  EXPECT_EQ(Paths(catalogue, matches.attached),
            (std::vector<std::string>{"/anims/a_run.ani", "/anims/z_walk.ani"}));
  EXPECT_EQ(
      Paths(catalogue, matches.closest),
      (std::vector<std::string>{"/anims/d_tail.ani", "/anims/b_wave.ani", "/anims/e_fly.ani"}));
  ASSERT_EQ(matches.closest.size(), AnimationCatalogue::kClosestListed);
  EXPECT_EQ(matches.closest[0].bonesNamed, 3);
  EXPECT_EQ(matches.closest[1].tracksNamingNoBone, 1);
  EXPECT_EQ(matches.closest[2].tracksNamingNoBone, 2);
}

TEST(AnimationMatch, AFileBesideModelsServesOnlyTheModelsAboveIt) {
  AnimationCatalogue catalogue;
  catalogue.SetFiles({File("/game/chars/orc/walk.ani", kSkeleton, false),
                      File("/game/chars/orcish/run.ani", kSkeleton, false),
                      File("/shared/idle.ani", kSkeleton, true)});
  EXPECT_EQ(Paths(catalogue, catalogue.Match(kSkeleton, "/game/chars/orc").attached),
            (std::vector<std::string>{"/game/chars/orc/walk.ani", "/shared/idle.ani"}))
      << "a folder whose name merely begins the same is not below it";
  EXPECT_EQ(catalogue.Match(kSkeleton, "/game/chars").attached.size(), 3u);
  EXPECT_EQ(catalogue.Match(kSkeleton, "/game/props").attached.size(), 1u);
  EXPECT_TRUE(catalogue.Match({}, "/game/chars").attached.empty())
      << "a model without bones takes nothing";
}

TEST(WorkerMessages, BytesTravelExactlyWhateverTheyAre) {
  std::string every;
  for (int byte = 0; byte < 256; ++byte) every += char(byte);
  const std::string encoded = cli::EncodeBytes(every);
  for (char c : encoded) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "printable ASCII only";
  EXPECT_EQ(cli::DecodeBytes(encoded), every);
  EXPECT_EQ(cli::EncodeBytes("bone_1 %"), "bone_1 %25");
  for (const char* broken : {"%", "%4", "%G1", "a%zz"})
    EXPECT_FALSE(cli::DecodeBytes(broken)) << broken;
}

TEST(WorkerMessages, EveryMessageReadsBackAsItWasSent) {
  using cli::batch::WorkerMessage;
  const std::vector<std::string> names = {"Bip01", "\xE9paule", ""};  // Latin-1 bytes, not UTF-8
  const WorkerMessage bones = cli::batch::ParseWorkerMessage(cli::batch::BonesMessage(names));
  EXPECT_EQ(bones.kind, WorkerMessage::Kind::Bones);
  EXPECT_EQ(bones.names, names);

  const cli::TrackNames tracks{cli::TrackNamesRead::Rejected, names};
  const WorkerMessage read = cli::batch::ParseWorkerMessage(cli::batch::TrackNamesMessage(tracks));
  EXPECT_EQ(read.kind, WorkerMessage::Kind::TrackNames);
  EXPECT_EQ(read.read, cli::TrackNamesRead::Rejected);
  EXPECT_EQ(read.names, names);

  cli::batch::ModelResult result;
  result.code = cli::ConvertCode::ReadFailed;
  result.message = "No geometry or bones found.";
  result.warnings = {"material \"a\": x.tex cannot be decoded"};
  result.counts = {2, 3, 234, 4, 5, 6};
  result.textures = {{"stone", "/game/stone.dds", "stone.tex", false}, {"moss", "", "", true}};
  result.animationNames = {"walk"};
  result.animationFiles = {"/game/\xE9t\xE9/walk.ani"};
  const WorkerMessage ended = cli::batch::ParseWorkerMessage(cli::batch::ResultMessage(result));
  ASSERT_EQ(ended.kind, WorkerMessage::Kind::Result);
  EXPECT_EQ(ended.result.code, cli::ConvertCode::ReadFailed);
  EXPECT_EQ(ended.result.message, result.message);
  EXPECT_EQ(ended.result.warnings, result.warnings);
  EXPECT_EQ(ended.result.counts.vertices, 234);
  EXPECT_EQ(ended.result.counts.animations, 6);
  ASSERT_EQ(ended.result.textures.size(), 2u);
  EXPECT_EQ(ended.result.textures[0].texture, "/game/stone.dds");
  EXPECT_EQ(ended.result.textures[0].listed, "stone.tex");
  EXPECT_TRUE(ended.result.textures[1].missing);
  EXPECT_EQ(ended.result.animationNames, result.animationNames);
  EXPECT_EQ(ended.result.animationFiles, result.animationFiles);

  const std::vector<fs::path> files = {"/game/\xE9t\xE9/walk.ani", "/game/run.ani"};
  EXPECT_EQ(cli::batch::ParseAnimationsMessage(cli::batch::AnimationsMessage(files)), files);
}

TEST(WorkerMessages, ALineThatIsNoMessageIsRefusedWithoutThrowing) {
  using cli::batch::WorkerMessage;
  for (const char* line : {"", "hello", "[1, 2]", R"({"bones": "x"})", R"({"bones": ["%G0"]})",
                           R"({"tracks": ["a"]})", R"({"result": {"converted": "yes"}})",
                           R"({"result": {"code": "exploded"}})", R"({"other": 1})"}) {
    EXPECT_EQ(cli::batch::ParseWorkerMessage(line).kind, WorkerMessage::Kind::Invalid) << line;
  }
  EXPECT_FALSE(cli::batch::ParseAnimationsMessage(R"({"animations": [1]})"));
  EXPECT_FALSE(cli::batch::ParseAnimationsMessage("not json"));
}

TEST(WorkerMessages, AModelWorkersSettingsArriveAsTheBatchHadThem) {
  cli::batch::ModelWorkerSettings settings;
  settings.settings.library = "/opt/vexmara/vexmara_64.so";
  settings.settings.choices.swapModel = false;
  settings.settings.choices.extractAlphaMaps = true;
  settings.settings.choices.textureFolder = "/game/\xE9t\xE9 textures";  // Latin-1, not UTF-8
  settings.settings.externalImages = true;
  settings.pickAnimations = true;
  const auto parsed = cli::batch::ParseSettings(cli::batch::SettingsArgument(settings));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->settings.library, settings.settings.library);
  const cli::DialogChoices& choices = parsed->settings.choices;
  EXPECT_FALSE(choices.swapModel);
  EXPECT_FALSE(choices.submeshesAsGroups);
  EXPECT_TRUE(choices.extractAlphaMaps);
  EXPECT_EQ(choices.textureFolder, settings.settings.choices.textureFolder);
  EXPECT_TRUE(parsed->settings.externalImages);
  EXPECT_TRUE(parsed->pickAnimations);
  for (const char* broken : {"", "[]", R"({"settings": {"choices": {"swapModel": 3}}})",
                             R"({"settings": {"library": "%G0"}})"}) {
    EXPECT_FALSE(cli::batch::ParseSettings(broken)) << broken;
  }
}

class FolderWalk : public ::testing::Test {
 protected:
  void SetUp() override { root_ = scratch_.path(); }

  void Touch(const fs::path& relative) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative) << "x";
  }

  static std::vector<std::string> Relative(const std::vector<cli::FoundFile>& files) {
    std::vector<std::string> paths;
    for (const cli::FoundFile& file : files) paths.push_back(file.relative.string());
    return paths;
  }

  ScratchFolder scratch_;
  fs::path root_;
};

TEST_F(FolderWalk, FindsModelsAndAnimationsInAnyLetterCaseBelowTheRoot) {
  for (const char* file :
       {"orc.app", "orc.APP", "chars/troll.App", "chars/deep/er/imp.app", "chars/walk.ANI",
        "run.ani", "notes.txt", "app", ".app", "orc.app.bak", "chars/folder.app/x.tex"}) {
    Touch(file);
  }
  cli::WalkResult found;
  cli::FolderWalk walk;
  walk.Walk(root_, &found);
  EXPECT_EQ(
      Relative(found.models),
      (std::vector<std::string>{"chars/deep/er/imp.app", "chars/troll.App", "orc.APP", "orc.app"}))
      << "a folder named like a model is walked, not taken";
  EXPECT_EQ(Relative(found.animations), (std::vector<std::string>{"chars/walk.ANI", "run.ani"}));
  EXPECT_TRUE(found.failures.empty());
  EXPECT_EQ(found.models[0].path, root_ / "chars/deep/er/imp.app");
}

TEST_F(FolderWalk, SkippedFoldersAndFoldersReachedTwiceAreNotEntered) {
  Touch("in/a.app");
  Touch("in/out/converted.app");
  fs::create_directories(root_ / "in/sub");
  fs::create_directory_symlink(root_ / "in", root_ / "in/sub/loop");     // a link back up: a loop
  fs::create_directory_symlink(root_ / "elsewhere", root_ / "in/gone");  // leads nowhere
  cli::FileIdentity out;
  const cli::FileResult identified = cli::IdentifyFolder(root_ / "in/out", &out);
  ASSERT_TRUE(identified.ok()) << identified.message;

  cli::WalkResult found;
  cli::FolderWalk walk;
  walk.Skip(out);
  walk.Walk(root_ / "in", &found);
  EXPECT_EQ(Relative(found.models), (std::vector<std::string>{"a.app"}));
  walk.Walk(root_ / "in/sub", &found);
  EXPECT_EQ(found.models.size(), 1u) << "a root already walked as part of another adds nothing";
  EXPECT_TRUE(found.failures.empty());
}

TEST_F(FolderWalk, AFolderThatCannotBeListedIsReportedAndTheRestIsWalked) {
  Touch("a.app");
  ASSERT_FALSE(MakeFolderTooDeepToList(root_).empty());

  cli::WalkResult found;
  cli::FolderWalk walk;
  walk.Walk(root_, &found);
  EXPECT_EQ(Relative(found.models), (std::vector<std::string>{"a.app"}));
  ASSERT_EQ(found.failures.size(), 1u);
  EXPECT_EQ(found.failures[0].reason, "File name too long");
  EXPECT_GE(found.failures[0].folder.native().size(), std::size_t(4096));

  cli::WalkResult missing;
  walk.Walk(root_ / "no-such-folder", &missing);
  ASSERT_EQ(missing.failures.size(), 1u);
  EXPECT_EQ(missing.failures[0].reason, "No such file or directory");
}

TEST(Progress, WithoutATerminalEachFinishedFileHasItsLine) {
  std::ostringstream out;
  cli::batch::Progress progress(out, false, 0);
  progress.Begin("models", 12, true);
  progress.Started("in/a.app");
  progress.Tick();
  progress.Finished(false, "converted in/a.app");
  progress.Finished(true, "FAILED in/b.app: No geometry or bones found.");
  progress.End();
  EXPECT_EQ(out.str(),
            "[ 1/12] converted in/a.app\n[ 2/12] FAILED in/b.app: No geometry or bones found.\n");

  std::ostringstream quiet;
  cli::batch::Progress animations(quiet, false, 0);
  animations.Begin("animation files", 3, false);
  animations.Finished(false, {});
  EXPECT_EQ(quiet.str(), "");
}

TEST(Progress, OnATerminalOneLineIsRedrawnInPlaceWithinTheWidth) {
  std::ostringstream out;
  cli::batch::Progress progress(out, true, 60);
  progress.Begin("models", 4, true);
  progress.Started("in/chars/a-model-with-a-name-long-enough-to-need-cutting.app");
  progress.Finished(true, "FAILED");
  const std::string drawn = out.str();
  ASSERT_EQ(drawn.substr(0, 1), "\r");
  EXPECT_EQ(drawn.find('\n'), std::string::npos);
  EXPECT_NE(drawn.find("[1/4 models] 1 failed, "), std::string::npos) << drawn;
  EXPECT_NE(drawn.find(" left"), std::string::npos) << "an estimate once a file is done: " << drawn;
  const std::string line = drawn.substr(1, drawn.find("\x1b[K") - 1);
  EXPECT_LE(line.size(), 59u) << line;
  EXPECT_EQ(line.substr(line.size() - 4), ".app") << "the path gives way from its start: " << line;
  EXPECT_NE(line.find("  ..."), std::string::npos) << line;
  progress.End();
  EXPECT_EQ(out.str().substr(drawn.size()), "\r\x1b[K");
}

TEST(Progress, TimesReadAsSecondsThenMinutes) {
  EXPECT_EQ(cli::batch::FormatSeconds(0.0042), "4 ms");
  EXPECT_EQ(cli::batch::FormatSeconds(0.4213), "421 ms");
  EXPECT_EQ(cli::batch::FormatSeconds(4.213), "4.21 s");
  EXPECT_EQ(cli::batch::FormatSeconds(12.34), "12.3 s");
  EXPECT_EQ(cli::batch::FormatSeconds(187), "3:07");
  EXPECT_EQ(cli::batch::FormatSeconds(3723), "1:02:03");
}

}  // namespace
}  // namespace vexmara::testing

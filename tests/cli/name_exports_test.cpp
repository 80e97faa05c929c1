// The library's exports that name an animation file's tracks and the read model's bones, used as
// the folder batch uses them: loaded by name from the real library.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/convert/library_exports.h"
#include "cli/text/path_text.h"
#include "host/host.h"
#include "host/plugin_library.h"
#include "scratch_folder.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"
#include "writer/samples.h"

namespace vexmara::testing {
namespace {

namespace fs = std::filesystem;

class NameExports : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_.path();
    const auto libraryLoaded = library_.Load(VEXMARA_PLUGIN_PATH);
    ASSERT_TRUE(libraryLoaded.ok()) << libraryLoaded.message;
    const auto found = exports_.Find(library_.Instance());
    ASSERT_TRUE(found.ok()) << found.message;
    ASSERT_EQ(host_.Register(library_), 1);
  }

  std::u16string Save(const char* name, const std::vector<std::uint8_t>& bytes) {
    const fs::path path = folder_ / name;
    EXPECT_TRUE(writer::SaveBytes(path.string(), bytes));
    return cli::WidePath(path);
  }

  static writer::AniFile ThreeTracks() {
    writer::AniFile file;
    for (const char* name : {"Spine", "ARM_L", "arm_r"}) {
      writer::AniTrack track;
      track.boneName = name;
      track.translationKeys = {writer::AniTranslationKey{0, 1, 2, 3}};
      file.tracks.push_back(track);
    }
    file.frameTimes = {0.0f};
    return file;
  }

  ScratchFolder scratch_;
  fs::path folder_;
  host::PluginLibrary library_;
  host::Host host_;
  cli::LibraryExports exports_;
};

TEST_F(NameExports, AnAnimationFilesTrackNamesComeInTrackOrderAsTheFileHasThem) {
  const cli::TrackNames names =
      exports_.AnimationTrackNames(Save("walk.ani", writer::WriteAniFile(ThreeTracks())));
  EXPECT_EQ(names.read, cli::TrackNamesRead::Complete);
  EXPECT_EQ(names.names, (std::vector<std::string>{"Spine", "ARM_L", "arm_r"}));
}

TEST_F(NameExports, ADamagedFileGivesTheNamesReadBeforeTheDamageAndAMissingOneNone) {
  writer::AniFile damaged = ThreeTracks();
  // The key table lies past the end of the file: the parse stops after the bone names.
  damaged.translationTableArray.ref = writer::DataRef{1u << 20, 72};
  const cli::TrackNames rejected =
      exports_.AnimationTrackNames(Save("damaged.ani", writer::WriteAniFile(damaged)));
  EXPECT_EQ(rejected.read, cli::TrackNamesRead::Rejected);
  EXPECT_EQ(rejected.names.size(), 3u);

  const cli::TrackNames missing = exports_.AnimationTrackNames(cli::WidePath(folder_ / "none.ani"));
  EXPECT_EQ(missing.read, cli::TrackNamesRead::Unreadable);
  EXPECT_TRUE(missing.names.empty());
  const cli::TrackNames shortFile =
      exports_.AnimationTrackNames(Save("short.ani", std::vector<std::uint8_t>(10, 0)));
  EXPECT_EQ(shortFile.read, cli::TrackNamesRead::Rejected) << "read, but too short for a header";
  EXPECT_TRUE(shortFile.names.empty());
}

TEST_F(NameExports, TheReadModelsBonesAreListedUntilItsImportAndReadingAnAnimationLeavesThemAlone) {
  std::vector<std::string> bones;
  ASSERT_TRUE(exports_.ModelBoneNames(&bones));
  EXPECT_TRUE(bones.empty()) << "nothing read yet";

  writer::SampleModelShape shape;
  shape.bones = 3;
  host_.SetModelPath(Save("model.app", writer::WriteAppFile(writer::SampleModel(shape))));
  ASSERT_EQ(host_.Read(), 1) << host_.ErrorTextNarrow();
  ASSERT_TRUE(exports_.ModelBoneNames(&bones));
  EXPECT_EQ(bones, (std::vector<std::string>{"bone_0", "bone_1", "bone_2"}));

  // An animation file read between the read and the import is not part of the import.
  writer::SampleAnimationShape animation;
  animation.tracks = 3;
  EXPECT_EQ(exports_
                .AnimationTrackNames(
                    Save("take.ani", writer::WriteAniFile(writer::SampleAnimation(animation))))
                .read,
            cli::TrackNamesRead::Complete);
  ASSERT_TRUE(exports_.ModelBoneNames(&bones));
  EXPECT_EQ(bones.size(), 3u);
  EXPECT_EQ(host_.Import(library_.Instance()), 1);
  EXPECT_EQ(host_.Bones().size(), 3u);
  EXPECT_TRUE(host_.Animations().empty());

  ASSERT_TRUE(exports_.ModelBoneNames(&bones));
  EXPECT_TRUE(bones.empty()) << "the import emptied the store";
}

}  // namespace
}  // namespace vexmara::testing

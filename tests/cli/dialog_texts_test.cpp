// The library's exports that hand out what the headless import dialog showed, used as the
// importer uses them: loaded by name from the real library.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/convert/library_exports.h"
#include "cli/text/path_text.h"
#include "host/host.h"
#include "host/plugin_library.h"
#include "scratch_folder.h"
#include "writer/common.h"
#include "writer/samples.h"

namespace vexmara::testing {
namespace {

namespace fs = std::filesystem;

class DialogTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_.path();
    const auto libraryLoaded = library_.Load(VEXMARA_PLUGIN_PATH);
    ASSERT_TRUE(libraryLoaded.ok()) << libraryLoaded.message;
    const auto found = exports_.Find(library_.Instance());
    ASSERT_TRUE(found.ok()) << found.message;
    text_ =
        reinterpret_cast<cli::GetDialogTextFunction>(dlsym(library_.Instance(), "GetDialogText"));
    line_ = reinterpret_cast<cli::GetDialogListLineFunction>(
        dlsym(library_.Instance(), "GetDialogListLine"));
    check_ =
        reinterpret_cast<cli::GetDialogCheckFunction>(dlsym(library_.Instance(), "GetDialogCheck"));
    script_ = reinterpret_cast<cli::SetScriptedDialogFunction>(
        dlsym(library_.Instance(), "SetScriptedDialog"));
    ASSERT_TRUE(text_ && line_ && check_ && script_);
    ASSERT_EQ(host_.Register(library_), 1);

    // Two materials; only the first one's texture (id 1000) is in the folder.
    writer::SampleModelShape shape;
    shape.materials = 2;
    model_ = folder_ / "model.app";
    ASSERT_TRUE(
        writer::SaveBytes(model_.string(), writer::WriteAppFile(writer::SampleModel(shape))));
    std::vector<std::uint8_t> tex(20, 0);
    tex[16] = 1000 & 0xFF;
    tex[17] = 1000 >> 8;
    ASSERT_TRUE(writer::SaveBytes((folder_ / "stone.tex").string(), tex));
  }
  void TearDown() override { exports_.ClearAnswers(); }

  std::int32_t ImportWith(const cli::DialogAnswers& answers) {
    host_.SetModelPath(cli::WidePath(model_));
    EXPECT_EQ(host_.Read(), 1) << host_.ErrorTextNarrow();
    exports_.Answer(answers);
    return host_.Import(library_.Instance());
  }

  ScratchFolder scratch_;
  fs::path folder_, model_;
  host::PluginLibrary library_;
  host::Host host_;
  cli::LibraryExports exports_;
  cli::GetDialogTextFunction text_ = nullptr;
  cli::GetDialogListLineFunction line_ = nullptr;
  cli::GetDialogCheckFunction check_ = nullptr;
  cli::SetScriptedDialogFunction script_ = nullptr;
};

TEST_F(DialogTexts, HandOutEveryControlOfTheLastDialog) {
  EXPECT_EQ(text_(1002, nullptr, 0), -1) << "no dialog yet";
  EXPECT_EQ(line_(0, nullptr, 0), -1);
  EXPECT_EQ(check_(3031), -1);
  EXPECT_FALSE(exports_.Texts().shown);

  cli::DialogAnswers answers;
  answers.animationFiles = {cli::WidePath(folder_ / "walk.ani")};
  answers.extractAlphaMaps = 1;
  ASSERT_EQ(ImportWith(answers), 1);

  const cli::DialogTexts texts = exports_.Texts();
  ASSERT_TRUE(texts.shown);
  EXPECT_EQ(texts.geosets, "2");
  EXPECT_EQ(texts.materials, "2");
  EXPECT_EQ(texts.bones, "4");
  EXPECT_EQ(texts.textureCount, "2");
  EXPECT_EQ(texts.textureDirectory, cli::PathText(folder_) + "/");
  EXPECT_EQ(texts.animationFiles, cli::PathText(folder_ / "walk.ani"));
  EXPECT_EQ(texts.textureLines, (std::vector<std::string>{"stone.tex", "material_1*"}));
  EXPECT_EQ(texts.swapModel, 1);
  EXPECT_EQ(texts.submeshesAsGroups, 0);
  EXPECT_EQ(texts.extractAlphaMaps, 1);
  EXPECT_NE(texts.vertices, "0");
  EXPECT_NE(texts.triangles, "0");

  // Ids that name no control of the kind asked for, and lines past the list.
  EXPECT_EQ(text_(3031, nullptr, 0), -1);
  EXPECT_EQ(text_(6001, nullptr, 0), -1);
  EXPECT_EQ(check_(1002), -1);
  EXPECT_EQ(line_(2, nullptr, 0), -1);
  EXPECT_EQ(line_(-1, nullptr, 0), -1);
}

TEST_F(DialogTexts, ACopyIsCutToTheBufferAndAlwaysTerminated) {
  ASSERT_EQ(ImportWith({}), 1);
  const std::u16string directory = cli::WidePath(folder_) + u"/";
  std::uint16_t buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), 0xAAAA);
  EXPECT_EQ(text_(4001, buffer, 4), std::int32_t(directory.size()))
      << "the full length, whatever was copied";
  EXPECT_EQ(buffer[0], directory[0]);
  EXPECT_EQ(buffer[2], directory[2]);
  EXPECT_EQ(buffer[3], 0);
  EXPECT_EQ(buffer[4], 0xAAAA) << "nothing written past the buffer";

  std::fill(std::begin(buffer), std::end(buffer), 0xAAAA);
  EXPECT_EQ(line_(0, buffer, 0), std::int32_t(std::u16string(u"stone.tex").size()));
  EXPECT_EQ(buffer[0], 0xAAAA) << "a buffer of no units is not touched";
  EXPECT_EQ(line_(0, buffer, 1), 9);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(text_(1005, buffer, 8), 1);
  EXPECT_EQ(buffer[0], u'2');
  EXPECT_EQ(buffer[1], 0);
}

TEST_F(DialogTexts, TheChoicesKeptFromTheLastImportGoBackToTheirLoadValuesOnReset) {
  // An empty folder picked and every box turned: the next dialog starts from them...
  fs::create_directories(folder_ / "elsewhere");
  cli::DialogAnswers turned;
  turned.textureDirectory = cli::WidePath(folder_ / "elsewhere") + u"/";
  turned.swapModel = 0;
  turned.submeshesAsGroups = 1;
  turned.extractAlphaMaps = 1;
  ASSERT_EQ(ImportWith(turned), 1);
  exports_.ClearAnswers();
  ASSERT_EQ(ImportWith({}), 1);
  const cli::DialogTexts kept = exports_.Texts();
  EXPECT_EQ(kept.textureDirectory, cli::PathText(folder_ / "elsewhere") + "/");
  EXPECT_EQ(kept.textureLines, (std::vector<std::string>{"material_0*", "material_1*"}));
  EXPECT_EQ(
      (std::vector<std::int32_t>{kept.swapModel, kept.submeshesAsGroups, kept.extractAlphaMaps}),
      (std::vector<std::int32_t>{0, 1, 1}));

  // ...and after the reset from what a freshly loaded library shows: the model's own folder,
  // with its texture found, and "Swap model" alone checked.
  exports_.ResetOptions();
  ASSERT_EQ(ImportWith({}), 1);
  const cli::DialogTexts fresh = exports_.Texts();
  EXPECT_EQ(fresh.textureDirectory, cli::PathText(folder_) + "/");
  EXPECT_EQ(fresh.textureLines, (std::vector<std::string>{"stone.tex", "material_1*"}));
  EXPECT_EQ(
      (std::vector<std::int32_t>{fresh.swapModel, fresh.submeshesAsGroups, fresh.extractAlphaMaps}),
      (std::vector<std::int32_t>{1, 0, 0}));
}

TEST_F(DialogTexts, ADialogThatCouldNotBeCreatedShowedNothing) {
  ASSERT_EQ(ImportWith({}), 1);
  ASSERT_GE(text_(1002, nullptr, 0), 0);
  host_.SetModelPath(cli::WidePath(model_));
  ASSERT_EQ(host_.Read(), 1);
  cli::ScriptedDialogRecord script{};
  script.result = -1;
  script.swapModel = script.submeshesAsGroups = script.extractAlphaMaps = -1;
  script_(&script);
  EXPECT_EQ(host_.Import(library_.Instance()), 2) << "a dialog that cannot be created cancels";
  EXPECT_EQ(text_(1002, nullptr, 0), -1);
  EXPECT_EQ(line_(0, nullptr, 0), -1);
  EXPECT_EQ(check_(3031), -1);
}

}  // namespace
}  // namespace vexmara::testing

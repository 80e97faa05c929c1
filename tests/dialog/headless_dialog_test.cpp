#include "dialog/headless_dialog.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "dialog/dialog_logic.h"
#include "dialog/import_dialog.h"
#include "dialog/scripted_dialog.h"
#include "plugin/read_model_file.h"
#include "store/import_options.h"
#include "texture_scratch.h"
#include "writer/app_writer.h"
#include "writer/common.h"

extern "C" size_t ScriptedDialogLayoutFromC(size_t* offsets);

namespace vexmara {
namespace {

using testing::AnimationPaths;
using testing::TextureFolder;
using testing::Wide;

const uint16_t* Units(const std::u16string& text) {
  return reinterpret_cast<const uint16_t*>(text.c_str());
}

ScriptedDialog Script(int32_t result) {
  ScriptedDialog script{};
  script.result = result;
  script.swapModel = -1;
  script.submeshesAsGroups = -1;
  script.extractAlphaMaps = -1;
  return script;
}

std::u16string Text(int32_t id) {
  const char16_t* text = LastHeadlessDialog().ControlText(id);
  return text ? text : u"(none)";
}

std::vector<std::u16string> ListLines() {
  std::vector<std::u16string> lines;
  for (int32_t i = 0; i < LastHeadlessDialog().ListLineCount(); ++i)
    lines.emplace_back(LastHeadlessDialog().ListLine(i));
  return lines;
}

// A store, options and the module's script, as an import finds them, around a model read from
// a file in a scratch folder that also holds its textures.
class HeadlessDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    SetScriptedDialog(nullptr);
    context_ = std::make_unique<HostContext>();
  }
  void TearDown() override { SetScriptedDialog(nullptr); }

  // Two geosets (4 + 3 vertices, 2 + 1 triangles), three bones and the materials Stone
  // (texture 11), Bare (no texture entries) and Lost (texture 99).
  void ReadModel() {
    writer::AppModel model;
    for (const char* name : {"root", "spine", "head"})
      model.bones.push_back(writer::AppBone{name, -1, {}, {}, {}});
    writer::AppSubmesh quad;
    quad.vertices.resize(4);
    quad.triangles = {{0, 1, 2}, {0, 2, 3}};
    quad.materialName = "Stone";
    writer::AppSubmesh tri;
    tri.vertices.resize(3);
    tri.triangles = {{0, 1, 2}};
    tri.materialName = "Lost";
    model.geosets[0].submeshes = {quad};
    model.geosets[1].submeshes = {tri};
    model.materials = {writer::AppMaterial{"Stone", {{{11}, {}}}, {}},
                       writer::AppMaterial{"Bare", {{{}, {}}}, {}},
                       writer::AppMaterial{"Lost", {{{99}, {}}}, {}}};
    ASSERT_TRUE(
        writer::SaveBytes((folder_.path() / "hero.app").string(), writer::WriteAppFile(model)));
    const std::u16string path = (folder_.path() / "hero.app").u16string();
    WideCopy(context_->fileInfo.path.wide, kPathUnits, path.c_str());
    ASSERT_TRUE(ReadModelFile(context_.get(), store_, cursor_));
  }

  DialogResult Show() { return ShowImportDialog(context_.get(), this, store_, options_); }

  TextureFolder folder_;
  std::unique_ptr<HostContext> context_;
  ModelStore store_;
  ImportOptions options_;
  ReadCursor cursor_;
};

TEST_F(HeadlessDialog, DefaultScriptImportsWhatTheDialogShowedOnOpening) {
  folder_.WriteTex("stone.tex", 11);
  ReadModel();

  EXPECT_EQ(Show(), DialogResult::kImport);

  const HeadlessDialogRecord& dialog = LastHeadlessDialog();
  EXPECT_TRUE(dialog.created());
  EXPECT_EQ(dialog.result(), DialogResult::kImport);
  EXPECT_EQ(Text(kControlGeosets), u"2");
  EXPECT_EQ(Text(kControlVertices), u"7");
  EXPECT_EQ(Text(kControlTriangles), u"3");
  EXPECT_EQ(Text(kControlMaterials), u"3");
  EXPECT_EQ(Text(kControlBones), u"3");
  EXPECT_EQ(Text(kControlTextureCount), u"2");
  EXPECT_EQ(Text(kControlTextureDirectory), folder_.Directory());
  EXPECT_EQ(Text(kControlAnimationFiles), u"Untitled.ani");
  EXPECT_EQ(Text(kControlTextureList), u"(none)");  // the list's lines are kept apart
  EXPECT_EQ(ListLines(), (std::vector<std::u16string>{u"stone.tex", u"Lost*"}));
  EXPECT_EQ(dialog.selectedLine(), 0);
  EXPECT_EQ(dialog.CheckState(kControlSwapModel), 1);
  EXPECT_EQ(dialog.CheckState(kControlSubmeshesAsGroups), 0);
  EXPECT_EQ(dialog.CheckState(kControlExtractAlphaMaps), 0);
  EXPECT_EQ(dialog.messageCount(), 0);

  const ImportOptions& options = options_;
  EXPECT_EQ(std::u16string(options.textureDirectory), folder_.Directory());
  EXPECT_EQ(options.swapModel, 1);
  EXPECT_EQ(options.submeshesAsGroups, 0);
  EXPECT_EQ(options.extractAlphaMaps, 0);
  EXPECT_EQ(std::u16string(store_.materials[0].textureSlots[0].fileName), u"stone.tex");
  EXPECT_TRUE(store_.animationFiles.empty());
}

TEST_F(HeadlessDialog, ScriptUsesBothPickersThenSetsTheBoxesThenImports) {
  TextureFolder textures("_textures");
  textures.WriteTex("lost.tex", 99);
  folder_.WriteTex("stone.tex", 11);
  ReadModel();
  const std::u16string texturePath = textures.path().u16string();  // no trailing separator
  const std::u16string walk = (folder_.path() / "anims" / "walk.ani").u16string();
  const std::u16string run = (folder_.path() / "anims" / "run.ani").u16string();
  const uint16_t* files[] = {Units(walk), Units(run)};
  ScriptedDialog script = Script(1);
  script.textureDirectory = Units(texturePath);
  script.animationFileCount = 2;
  script.animationFiles = files;
  script.swapModel = 0;
  script.submeshesAsGroups = 1;
  script.extractAlphaMaps = 1;
  SetScriptedDialog(&script);

  EXPECT_EQ(Show(), DialogResult::kImport);

  const ImportOptions& options = options_;
  EXPECT_EQ(std::u16string(options.textureDirectory), texturePath + u"\\");
  EXPECT_EQ(Text(kControlTextureDirectory), texturePath + u"\\");
  // Stone keeps its match in the model's folder; Lost is found in the picked one.
  EXPECT_EQ(ListLines(), (std::vector<std::u16string>{u"stone.tex", u"lost.tex"}));
  EXPECT_EQ(AnimationPaths(store_), (std::vector<std::u16string>{walk, run}));
  EXPECT_EQ(Text(kControlAnimationFiles), u"Multiple files selected");
  EXPECT_EQ(options.swapModel, 0);
  EXPECT_EQ(options.submeshesAsGroups, 1);
  EXPECT_EQ(options.extractAlphaMaps, 1);
  EXPECT_EQ(LastHeadlessDialog().CheckState(kControlExtractAlphaMaps), 1);
}

// Whatever the scripted paths, the store receives them as they were given, in order.
TEST_F(HeadlessDialog, ScriptedAnimationPathsArriveAsGiven) {
  struct Case {
    const char* label;
    std::vector<std::u16string> paths;
    const char16_t* text;
  };
  const std::u16string deep = u"/srv/" + std::u16string(200, u'd') + u"/";
  const Case cases[] = {
      {"one file", {u"/srv/anims/walk.ani"}, u"/srv/anims/walk.ani"},
      {"one relative name", {u"walk.ani"}, u"walk.ani"},
      {"windows paths",
       {u"D:\\anims\\walk.ani", u"D:\\anims\\run.ani"},
       u"Multiple files selected"},
      {"different folders",
       {u"/srv/a/x.ani", u"/srv/b/y.ani", u"/srv/a/z.ani"},
       u"Multiple files selected"},
      {"nothing shared", {u"/srv/x.ani", u"relative.ani"}, u"Multiple files selected"},
      {"one is a prefix of the other", {u"/srv/a/", u"/srv/a/b.ani"}, u"Multiple files selected"},
      {"the same file twice", {u"/srv/a.ani", u"/srv/a.ani"}, u"Multiple files selected"},
      {"long shared folder", {deep + u"a.ani", deep + u"b.ani"}, u"Multiple files selected"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    store_.Clear();
    std::vector<const uint16_t*> files;
    for (const auto& path : c.paths) files.push_back(Units(path));
    ScriptedDialog script = Script(1);
    script.animationFileCount = int32_t(files.size());
    script.animationFiles = files.data();
    SetScriptedDialog(&script);

    EXPECT_EQ(Show(), DialogResult::kImport);

    EXPECT_EQ(AnimationPaths(store_), c.paths);
    EXPECT_EQ(Text(kControlAnimationFiles), c.text);
  }
}

TEST_F(HeadlessDialog, NullAndEmptyScriptedPathsAreLeftOut) {
  const std::u16string walk = u"/srv/walk.ani";
  const std::u16string empty;
  const uint16_t* files[] = {nullptr, Units(walk), Units(empty)};
  ScriptedDialog script = Script(1);
  script.animationFileCount = 3;
  script.animationFiles = files;
  SetScriptedDialog(&script);
  EXPECT_EQ(Show(), DialogResult::kImport);
  EXPECT_EQ(AnimationPaths(store_), std::vector<std::u16string>{walk});

  // Nothing left at all: the picker is closed without a choice.
  const uint16_t* none[] = {nullptr, Units(empty)};
  script.animationFiles = none;
  script.animationFileCount = 2;
  SetScriptedDialog(&script);
  store_.Clear();
  EXPECT_EQ(Show(), DialogResult::kImport);
  EXPECT_TRUE(store_.animationFiles.empty());
  EXPECT_EQ(LastHeadlessDialog().messageCount(), 0);
}

TEST_F(HeadlessDialog, SelectionTooLongForThePickerBufferShowsTheMessageAndChangesNothing) {
  std::vector<std::u16string> paths;
  for (int i = 0; i < 200; ++i)
    paths.push_back(u"/srv/" + Wide(std::to_string(i)) + u"/" + std::u16string(200, u'n'));
  const std::u16string one(40000, u'x');
  const std::vector<std::vector<std::u16string>> selections = {paths, {one}};
  for (const auto& selection : selections) {
    std::vector<const uint16_t*> files;
    for (const auto& path : selection) files.push_back(Units(path));
    ScriptedDialog script = Script(1);
    script.animationFileCount = int32_t(files.size());
    script.animationFiles = files.data();
    SetScriptedDialog(&script);

    EXPECT_EQ(Show(), DialogResult::kImport);

    const HeadlessDialogRecord& dialog = LastHeadlessDialog();
    EXPECT_EQ(dialog.messageCount(), 1);
    EXPECT_EQ(std::u16string(dialog.messageText()), u"There was an error opening the file.");
    EXPECT_EQ(std::u16string(dialog.messageCaption()), u"Error");
    EXPECT_EQ(dialog.messageStyle(), 0x30u);
    EXPECT_TRUE(store_.animationFiles.empty());
    EXPECT_EQ(Text(kControlAnimationFiles), u"Untitled.ani");
  }
}

// Cancel stores no box; the next dialog shows the options as they were.
TEST_F(HeadlessDialog, CancelLeavesTheOptionsForTheNextDialog) {
  ScriptedDialog script = Script(0);
  script.extractAlphaMaps = 1;
  script.swapModel = 0;
  SetScriptedDialog(&script);
  EXPECT_EQ(Show(), DialogResult::kCancel);
  EXPECT_EQ(LastHeadlessDialog().result(), DialogResult::kCancel);
  EXPECT_EQ(LastHeadlessDialog().CheckState(kControlExtractAlphaMaps), 1);
  EXPECT_EQ(options_.extractAlphaMaps, 0);
  EXPECT_EQ(options_.swapModel, 1);

  SetScriptedDialog(nullptr);
  EXPECT_EQ(Show(), DialogResult::kImport);
  EXPECT_EQ(LastHeadlessDialog().CheckState(kControlExtractAlphaMaps), 0);
  EXPECT_EQ(LastHeadlessDialog().CheckState(kControlSwapModel), 1);
}

TEST_F(HeadlessDialog, ResultsOtherThanImportAndNotCreatedCancel) {
  for (int32_t result : {2, 7, -2}) {
    ScriptedDialog script = Script(result);
    script.swapModel = 0;
    SetScriptedDialog(&script);
    EXPECT_EQ(Show(), DialogResult::kCancel) << result;
    EXPECT_EQ(options_.swapModel, 1);
  }
}

TEST_F(HeadlessDialog, BoxStatesOtherThanZeroAndOneLeaveTheBoxAsShown) {
  options_.submeshesAsGroups = 1;
  ScriptedDialog script = Script(1);
  script.swapModel = 5;
  script.submeshesAsGroups = -1;
  script.extractAlphaMaps = -7;
  SetScriptedDialog(&script);
  EXPECT_EQ(Show(), DialogResult::kImport);
  EXPECT_EQ(options_.swapModel, 1);
  EXPECT_EQ(options_.submeshesAsGroups, 1);
  EXPECT_EQ(options_.extractAlphaMaps, 0);
}

// A dialog that cannot be created runs nothing: no default directory, no scan, no texts.
TEST_F(HeadlessDialog, DialogThatCannotBeCreatedTouchesNothing) {
  ReadModel();
  ASSERT_NE(store_.textureFiles.Append(), nullptr);
  ShowImportDialog(context_.get(), this, store_,
                   options_);  // an earlier dialog leaves its texts behind
  ASSERT_NE(store_.textureFiles.Append(), nullptr);
  options_.textureDirectory[0] = 0;
  const ScriptedDialog script = Script(-1);
  SetScriptedDialog(&script);

  EXPECT_EQ(Show(), DialogResult::kNotCreated);

  EXPECT_FALSE(LastHeadlessDialog().created());
  EXPECT_EQ(LastHeadlessDialog().result(), DialogResult::kNotCreated);
  EXPECT_EQ(Text(kControlGeosets), u"0");
  EXPECT_EQ(Text(kControlTextureDirectory), u"");
  EXPECT_EQ(LastHeadlessDialog().ListLineCount(), 0);
  EXPECT_EQ(options_.textureDirectory[0], 0);
  EXPECT_EQ(store_.textureFiles.count, 1);
}

TEST_F(HeadlessDialog, ScriptIsCopiedAndLastsUntilReplaced) {
  std::u16string directory = (folder_.path() / "a").u16string();
  std::u16string walk = u"/srv/walk.ani";
  const uint16_t* files[] = {Units(walk)};
  ScriptedDialog script = Script(1);
  script.textureDirectory = Units(directory);
  script.animationFileCount = 1;
  script.animationFiles = files;
  SetScriptedDialog(&script);
  // The caller's texts and record change after the call; the copy does not.
  directory.assign(directory.size(), u'?');
  walk.assign(walk.size(), u'?');
  script.result = 0;

  for (int round = 0; round < 2; ++round) {
    store_.Clear();
    options_.textureDirectory[0] = 0;
    EXPECT_EQ(Show(), DialogResult::kImport);
    EXPECT_EQ(std::u16string(options_.textureDirectory),
              (folder_.path() / "a").u16string() + u"\\");
    EXPECT_EQ(AnimationPaths(store_), std::vector<std::u16string>{u"/srv/walk.ani"});
  }

  SetScriptedDialog(nullptr);
  store_.Clear();
  options_.textureDirectory[0] = 0;
  EXPECT_EQ(Show(), DialogResult::kImport);
  EXPECT_EQ(std::u16string(options_.textureDirectory), u"");  // the context names no file
  EXPECT_TRUE(store_.animationFiles.empty());
}

TEST_F(HeadlessDialog, OverlongScriptedFolderIsAPickerThatFails) {
  folder_.WriteTex("stone.tex", 11);
  ReadModel();
  const std::u16string overlong = u"/srv/" + std::u16string(300, u'f');
  const std::u16string longest = u"/" + std::u16string(258, u'f');  // 259 units: no room for "\"
  for (const std::u16string& directory : {overlong, longest}) {
    ScriptedDialog script = Script(1);
    script.textureDirectory = Units(directory);
    SetScriptedDialog(&script);
    EXPECT_EQ(Show(), DialogResult::kImport);
    EXPECT_EQ(std::u16string(options_.textureDirectory), folder_.Directory());
    EXPECT_EQ(ListLines(), (std::vector<std::u16string>{u"stone.tex", u"Lost*"}));
  }
}

TEST(ScriptedDialogInterface, LayoutIsTheSameFromCAndCpp) {
  size_t offsets[7];
  EXPECT_EQ(ScriptedDialogLayoutFromC(offsets), sizeof(ScriptedDialog));
  const size_t expected[7] = {offsetof(ScriptedDialog, result),
                              offsetof(ScriptedDialog, textureDirectory),
                              offsetof(ScriptedDialog, animationFileCount),
                              offsetof(ScriptedDialog, animationFiles),
                              offsetof(ScriptedDialog, swapModel),
                              offsetof(ScriptedDialog, submeshesAsGroups),
                              offsetof(ScriptedDialog, extractAlphaMaps)};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(offsets[i], expected[i]) << i;
  EXPECT_EQ(expected[1], 8u);
  EXPECT_EQ(expected[3], 24u);
  EXPECT_EQ(sizeof(ScriptedDialog), 48u);
}

TEST(ScriptedDialogInterface, LibraryExportsTheFunctionUnderItsCName) {
  void* library = dlopen(VEXMARA_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  using SetScript = void (*)(const ScriptedDialog*);
  auto set = reinterpret_cast<SetScript>(dlsym(library, "SetScriptedDialog"));
  ASSERT_NE(set, nullptr);
  ScriptedDialog script = Script(0);
  set(&script);
  set(nullptr);
  dlclose(library);
}

}  // namespace
}  // namespace vexmara

#include "dialog/dialog_logic.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "texture_scratch.h"

namespace vexmara {
namespace {

using testing::AddMaterial;
using testing::AnimationPaths;
using testing::TextureFolder;
using testing::Wide;

// A view that keeps what the logic did to it and answers its pickers as told.
class RecordingView final : public DialogView {
 public:
  std::map<int32_t, std::u16string> texts;
  std::vector<int32_t> textLog;  // the ids set, in order
  std::map<int32_t, bool> checks;
  bool hasList = true;
  std::vector<std::u16string> lines;
  int32_t selected = -1;
  int32_t centred = 0;
  int32_t ended = -99;

  bool folderChosen = false;
  std::u16string folder;
  int32_t folderPicks = 0;

  FilePickResult pickResult = FilePickResult::kCancelled;
  std::u16string pickBuffer;  // written at the start of the picker's buffer
  size_t pickOffset = 0;

  struct Message {
    std::u16string text, caption;
    uint32_t style;
  };
  std::vector<Message> messages;

  void SetControlText(int32_t id, const char16_t* text) override {
    texts[id] = text;
    textLog.push_back(id);
  }
  void SetCheck(int32_t id, bool checked) override { checks[id] = checked; }
  bool IsChecked(int32_t id) override { return checks[id]; }
  bool ClearList(int32_t id) override {
    if (!hasList || id != kControlTextureList) return false;
    lines.clear();
    selected = -1;
    return true;
  }
  void AddListLine(int32_t id, const char16_t* text) override {
    if (id == kControlTextureList) lines.emplace_back(text);
  }
  void SelectListLine(int32_t id, int32_t line) override {
    if (id == kControlTextureList) selected = line;
  }
  void CentreOnDesktop() override { ++centred; }
  void EndDialog(DialogResult result) override { ended = int32_t(result); }
  bool BrowseForFolder(char16_t* path) override {
    ++folderPicks;
    if (!folderChosen) return false;
    WideCopy(path, kPathUnits, folder.c_str());
    return true;
  }
  FilePickResult PickFiles(char16_t* buffer, size_t units, size_t* fileOffset) override {
    EXPECT_EQ(units, 33280u);
    size_t nonZero = 0;
    for (size_t i = 0; i < units; ++i) nonZero += buffer[i] != 0;
    EXPECT_EQ(nonZero, 0u) << "the buffer is handed over zero-filled";
    for (size_t i = 0; i < pickBuffer.size() && i < units; ++i) buffer[i] = pickBuffer[i];
    *fileOffset = pickOffset;
    return pickResult;
  }
  void ShowMessage(const char16_t* text, const char16_t* caption, uint32_t style) override {
    messages.push_back({text, caption, style});
  }

  // The picker's answer in its own format: one full path, or a directory and names.
  void AnswerWithPath(const std::u16string& path) {
    pickResult = FilePickResult::kChosen;
    pickBuffer = path + u'\0' + u'\0';
    pickOffset = path.find_last_of(u'\\') + 1;
  }
  void AnswerWithNames(const std::u16string& directory, const std::vector<std::u16string>& names) {
    pickResult = FilePickResult::kChosen;
    pickBuffer = directory + u'\0';
    pickOffset = pickBuffer.size();
    for (const auto& name : names) pickBuffer += name + u'\0';
    pickBuffer += u'\0';
  }
};

class DialogLogic : public ::testing::Test {
 protected:
  ImportDialog Dialog(const char16_t* source = u"D:\\models\\hero.app") {
    return ImportDialog(view, store, options, source);
  }
  RecordingView view;
  ModelStore store;
  ImportOptions options;
};

TEST_F(DialogLogic, OpeningDefaultsTheTextureDirectoryOnlyWhenItIsEmpty) {
  struct Case {
    const char16_t* source;
    const char16_t* before;
    const char16_t* after;
  };
  const Case cases[] = {
      {u"D:\\models\\hero.app", u"", u"D:\\models\\"},
      {u"D:/models/hero.app", u"", u"D:/models/"},
      {u"hero.app", u"", u""},  // no directory: stays empty, the next import tries again
      {nullptr, u"", u""},
      {u"D:\\models\\hero.app", u"E:\\textures\\", u"E:\\textures\\"},  // kept from the last import
  };
  for (const Case& c : cases) {
    RecordingView fresh;
    ImportOptions chosen;
    WideCopy(chosen.textureDirectory, kPathUnits, c.before);
    ImportDialog dialog(fresh, store, chosen, c.source);
    dialog.OnInitDialog();
    EXPECT_EQ(std::u16string(chosen.textureDirectory), c.after);
    EXPECT_EQ(fresh.texts[kControlTextureDirectory], c.after);
    EXPECT_EQ(fresh.centred, 1);
  }
}

TEST_F(DialogLogic, SourcePathWithoutTerminatorIsReadWithinItsField) {
  char16_t field[kPathUnits + 8];
  for (char16_t& unit : field) unit = u'x';
  field[0] = u'C';
  field[1] = u':';
  field[2] = u'\\';
  field[3] = u'm';
  field[4] = u'\\';
  ImportDialog dialog = ImportDialog(view, store, options, field);
  dialog.OnInitDialog();
  EXPECT_EQ(std::u16string(options.textureDirectory), u"C:\\m\\");
}

TEST_F(DialogLogic, OpeningShowsStatisticsAndTheChoicesOfTheLastImport) {
  ASSERT_TRUE(store.geosets.Reset(2));
  ASSERT_TRUE(store.bones.Reset(17));
  store.vertexTotal = 1234;
  store.triangleTotal = -5;
  AddMaterial(store, "a", {});
  AddMaterial(store, "b", {});
  AddMaterial(store, "c", {});

  Dialog().OnInitDialog();

  EXPECT_EQ(view.texts[kControlGeosets], u"2");
  EXPECT_EQ(view.texts[kControlVertices], u"1234");
  EXPECT_EQ(view.texts[kControlTriangles], u"-5");
  EXPECT_EQ(view.texts[kControlMaterials], u"3");
  EXPECT_EQ(view.texts[kControlBones], u"17");
  EXPECT_EQ(view.texts[kControlTextureCount], u"0");
  EXPECT_EQ(view.texts[kControlAnimationFiles], u"Untitled.ani");
  // The options as loaded: only "Swap model" is on.
  EXPECT_TRUE(view.checks[kControlSwapModel]);
  EXPECT_FALSE(view.checks[kControlSubmeshesAsGroups]);
  EXPECT_FALSE(view.checks[kControlExtractAlphaMaps]);
}

TEST_F(DialogLogic, BoxesShowAFlagAsSetOnlyWhenItIsOne) {
  options.swapModel = 0;
  options.submeshesAsGroups = 1;
  options.extractAlphaMaps = 2;
  Dialog().OnInitDialog();
  EXPECT_FALSE(view.checks[kControlSwapModel]);
  EXPECT_TRUE(view.checks[kControlSubmeshesAsGroups]);
  EXPECT_FALSE(view.checks[kControlExtractAlphaMaps]);
}

// Alpha has no texture slots, Beta's texture was not found, Gamma's was found as gamma.tex.
TEST_F(DialogLogic, TextureCountAndListMarkMaterialsWhoseTextureWasNotFound) {
  TextureFolder folder;
  folder.WriteTex("gamma.tex", 30);
  WideCopy(options.textureDirectory, kPathUnits, folder.Directory().c_str());
  AddMaterial(store, "Alpha", {});
  AddMaterial(store, "Beta", {20});
  AddMaterial(store, "Gamma", {30});

  Dialog().OnInitDialog();

  EXPECT_EQ(view.texts[kControlTextureCount], u"2");
  EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"Beta*", u"gamma.tex"}));
  EXPECT_EQ(view.selected, 0);
}

TEST_F(DialogLogic, ListLinesShowSlotZeroOnlyAndAtMost254CharactersOfAName) {
  TextureFolder folder;
  folder.WriteTex("second.tex", 2);
  WideCopy(options.textureDirectory, kPathUnits, folder.Directory().c_str());
  const std::string longName(255, 'n');
  AddMaterial(store, longName.c_str(), {1});
  AddMaterial(store, "", {1});
  AddMaterial(store, "Delta", {1, 2});  // a later slot found does not count
  Dialog().OnInitDialog();
  EXPECT_EQ(view.lines,
            (std::vector<std::u16string>{Wide(std::string(254, 'n')) + u"*", u"*", u"Delta*"}));
  EXPECT_EQ(std::u16string(store.materials[2].textureSlots[1].fileName), u"second.tex");
}

TEST_F(DialogLogic, MissingListControlLeavesTheRestOfTheDialogFilled) {
  view.hasList = false;
  AddMaterial(store, "m", {1});
  ImportDialog dialog = Dialog();
  dialog.OnInitDialog();
  EXPECT_FALSE(dialog.FillTextureList());
  EXPECT_TRUE(view.lines.empty());
  EXPECT_EQ(view.texts[kControlTextureCount], u"1");
  EXPECT_TRUE(view.checks[kControlSwapModel]);
}

TEST_F(DialogLogic, AnimationTextFollowsTheNumberOfFilesChosen) {
  struct Case {
    int32_t files;  // -1: no list at all
    const char16_t* text;
  };
  const Case cases[] = {{-1, u"Untitled.ani"},
                        {1, u"D:\\anims\\file0.ani"},
                        {2, u"Multiple files selected"},
                        {5, u"Multiple files selected"}};
  for (const Case& c : cases) {
    ModelStore files;
    if (c.files > 0) {
      ASSERT_TRUE(files.animationFiles.Reset(c.files));
      for (int32_t i = 0; i < c.files; ++i) {
        WideCopy(files.animationFiles[i].path, kPathUnits,
                 (u"D:\\anims\\file" + Wide(std::to_string(i)) + u".ani").c_str());
      }
    }
    EXPECT_EQ(std::u16string(AnimationText(files)), c.text);
  }
}

// "Import" stores every box as it stands; "Cancel" stores none of them.
TEST_F(DialogLogic, ImportStoresTheBoxesAndCancelLeavesTheOptions) {
  struct Case {
    int32_t button;
    bool swap, groups, alpha;
    int32_t result;
    int32_t swapModel, submeshesAsGroups, extractAlphaMaps;
  };
  const Case cases[] = {
      {kControlImport, false, true, true, 1, 0, 1, 1},
      {kControlImport, true, false, false, 1, 1, 0, 0},
      {kControlCancel, false, true, true, 0, 1, 0, 0},
  };
  for (const Case& c : cases) {
    RecordingView fresh;
    ImportOptions chosen;
    ImportDialog dialog(fresh, store, chosen, u"D:\\m.app");
    dialog.OnInitDialog();
    fresh.checks[kControlSwapModel] = c.swap;
    fresh.checks[kControlSubmeshesAsGroups] = c.groups;
    fresh.checks[kControlExtractAlphaMaps] = c.alpha;

    EXPECT_TRUE(dialog.OnCommand(c.button));

    EXPECT_EQ(fresh.ended, c.result);
    EXPECT_EQ(chosen.swapModel, c.swapModel);
    EXPECT_EQ(chosen.submeshesAsGroups, c.submeshesAsGroups);
    EXPECT_EQ(chosen.extractAlphaMaps, c.extractAlphaMaps);
  }
}

TEST_F(DialogLogic, OtherCommandsAreNotHandledAsEndingTheDialog) {
  ImportDialog dialog = Dialog();
  dialog.OnInitDialog();
  for (int32_t id : {0, 3, 1003, 3031, 4001, 6001}) EXPECT_FALSE(dialog.OnCommand(id)) << id;
  EXPECT_FALSE(dialog.OnCommand(kControlBrowseTextures));
  EXPECT_FALSE(dialog.OnCommand(kControlPickAnimations));
  EXPECT_EQ(view.ended, -99);
  EXPECT_EQ(options.swapModel, 1);
}

TEST_F(DialogLogic, ChosenFolderBecomesTheTextureDirectoryEndingInASeparator) {
  struct Case {
    std::u16string chosen;
    bool chosenAtAll;
    std::u16string after;
  };
  const std::u16string longest(258, u'p');
  const Case cases[] = {
      {u"D:\\textures", true, u"D:\\textures\\"},
      {u"D:\\", true, u"D:\\"},
      {u"/srv/textures/", true, u"/srv/textures/"},
      {longest, true, longest + u"\\"},          // 258 + "\" fills the field
      {longest + u"q", true, u"E:\\before\\"},   // 259: no room for "\", refused
      {u"", true, u"E:\\before\\"},              // no path came back
      {u"D:\\ignored", false, u"E:\\before\\"},  // the picker was cancelled
  };
  for (const Case& c : cases) {
    RecordingView fresh;
    ImportOptions chosen;
    WideCopy(chosen.textureDirectory, kPathUnits, u"E:\\before\\");
    ImportDialog dialog(fresh, store, chosen, u"D:\\m.app");
    dialog.OnInitDialog();
    fresh.folderChosen = c.chosenAtAll;
    fresh.folder = c.chosen;

    dialog.OnCommand(kControlBrowseTextures);

    EXPECT_EQ(fresh.folderPicks, 1);
    EXPECT_EQ(std::u16string(chosen.textureDirectory), c.after);
    EXPECT_EQ(fresh.texts[kControlTextureDirectory], c.after);
  }
}

// After the folder picker the dialog rescans and refills the list, also when no folder was
// chosen; the count of materials with slots is not shown again.
TEST_F(DialogLogic, FolderButtonRescansAndRefillsTheListEvenWithoutAChoice) {
  TextureFolder first("_first");
  TextureFolder second("_second");
  WideCopy(options.textureDirectory, kPathUnits, first.Directory().c_str());
  AddMaterial(store, "Rock", {1});
  AddMaterial(store, "Moss", {2});
  ImportDialog dialog = Dialog();
  dialog.OnInitDialog();
  ASSERT_EQ(view.lines, (std::vector<std::u16string>{u"Rock*", u"Moss*"}));

  first.WriteTex("rock.tex", 1);  // appears while the dialog is open
  view.textLog.clear();
  dialog.OnCommand(kControlBrowseTextures);
  EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"rock.tex", u"Moss*"}));
  EXPECT_EQ(view.selected, 0);

  second.WriteTex("moss.tex", 2);
  view.folderChosen = true;
  view.folder = second.path().u16string();
  dialog.OnCommand(kControlBrowseTextures);
  // Rock keeps the match of the first folder.
  EXPECT_EQ(view.lines, (std::vector<std::u16string>{u"rock.tex", u"moss.tex"}));
  EXPECT_EQ(std::u16string(store.materials[1].textureSlots[0].directory),
            second.path().u16string() + u"\\");
  EXPECT_EQ(view.textLog, std::vector<int32_t>{kControlTextureDirectory});
}

TEST_F(DialogLogic, FilePickerStoresOneEntryPerChosenName) {
  struct Case {
    const char* label;
    std::u16string directory;  // empty with one path: a single full path
    std::vector<std::u16string> names;
    std::vector<std::u16string> entries;
    const char16_t* text;
  };
  const Case cases[] = {
      {"one file", u"", {u"D:\\anims\\walk.ani"}, {u"D:\\anims\\walk.ani"}, u"D:\\anims\\walk.ani"},
      {"two files",
       u"D:\\anims",
       {u"walk.ani", u"run.ani"},
       {u"D:\\anims\\walk.ani", u"D:\\anims\\run.ani"},
       u"Multiple files selected"},
      {"drive root",
       u"D:\\",
       {u"a.ani", u"b.ani"},
       {u"D:\\a.ani", u"D:\\b.ani"},
       u"Multiple files selected"},
      {"one file in a root", u"", {u"D:\\a.ani"}, {u"D:\\a.ani"}, u"D:\\a.ani"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RecordingView fresh;
    ModelStore picked;
    ImportDialog dialog(fresh, picked, options, u"D:\\m.app");
    if (c.directory.empty())
      fresh.AnswerWithPath(c.names[0]);
    else
      fresh.AnswerWithNames(c.directory, c.names);

    EXPECT_TRUE(dialog.PickAnimationFiles());

    EXPECT_EQ(AnimationPaths(picked), c.entries);
    EXPECT_EQ(fresh.texts[kControlAnimationFiles], c.text);
    EXPECT_TRUE(fresh.messages.empty());
  }
}

TEST_F(DialogLogic, FailedOrCancelledPickKeepsTheEarlierChoice) {
  struct Case {
    FilePickResult result;
    size_t messages;
  };
  const Case cases[] = {{FilePickResult::kCancelled, 0},
                        {FilePickResult::kFailed, 0},
                        {FilePickResult::kBufferTooSmall, 1}};
  for (const Case& c : cases) {
    RecordingView fresh;
    ModelStore picked;
    ImportDialog dialog(fresh, picked, options, u"D:\\m.app");
    fresh.AnswerWithPath(u"D:\\anims\\walk.ani");
    ASSERT_TRUE(dialog.PickAnimationFiles());
    fresh.AnswerWithNames(u"D:\\other", {u"x.ani", u"y.ani"});
    fresh.pickResult = c.result;

    EXPECT_FALSE(dialog.OnCommand(kControlPickAnimations));

    EXPECT_EQ(AnimationPaths(picked), std::vector<std::u16string>{u"D:\\anims\\walk.ani"});
    EXPECT_EQ(fresh.texts[kControlAnimationFiles], u"D:\\anims\\walk.ani");
    ASSERT_EQ(fresh.messages.size(), c.messages);
    if (c.messages > 0) {
      EXPECT_EQ(fresh.messages[0].text, u"There was an error opening the file.");
      EXPECT_EQ(fresh.messages[0].caption, u"Error");
      EXPECT_EQ(fresh.messages[0].style, 0x30u);
    }
  }
}

TEST_F(DialogLogic, SecondPickReplacesTheFirst) {
  ImportDialog dialog = Dialog();
  view.AnswerWithNames(u"D:\\a", {u"1.ani", u"2.ani", u"3.ani"});
  ASSERT_TRUE(dialog.PickAnimationFiles());
  view.AnswerWithPath(u"E:\\b\\only.ani");
  ASSERT_TRUE(dialog.PickAnimationFiles());
  EXPECT_EQ(AnimationPaths(store), std::vector<std::u16string>{u"E:\\b\\only.ani"});
  EXPECT_EQ(view.texts[kControlAnimationFiles], u"E:\\b\\only.ani");
}

// A joined path over 259 characters is left out; the others keep their order. A selection of
// which nothing fits is refused like a cancel.
TEST_F(DialogLogic, PickedPathsThatWouldNotFitAreSkipped) {
  const std::u16string directory = u"D:\\" + std::u16string(240, u'd');  // + "\" = 244 units
  const std::u16string fits(259 - 244, u'f');
  const std::u16string over(260 - 244, u'o');
  view.AnswerWithNames(directory, {over, fits, u"a.ani", over});
  ASSERT_TRUE(Dialog().PickAnimationFiles());
  EXPECT_EQ(AnimationPaths(store),
            (std::vector<std::u16string>{directory + u"\\" + fits, directory + u"\\a.ani"}));
  EXPECT_EQ(store.animationFiles[0].path[258], fits.back());

  view.AnswerWithNames(directory, {over, over});
  EXPECT_FALSE(Dialog().PickAnimationFiles());
  EXPECT_EQ(store.animationFiles.count, 2);

  const std::u16string single = u"D:\\" + std::u16string(256, u's');  // 259 units in all
  view.AnswerWithPath(single);
  ASSERT_TRUE(Dialog().PickAnimationFiles());
  EXPECT_EQ(AnimationPaths(store), std::vector<std::u16string>{single});
  view.AnswerWithPath(single + u"t");
  EXPECT_FALSE(Dialog().PickAnimationFiles());
  EXPECT_EQ(AnimationPaths(store), std::vector<std::u16string>{single});
}

// The names are counted up to the last unit but one of the 33,280-unit buffer.
TEST_F(DialogLogic, NamesAreCountedWithinThePickerBuffer) {
  // "D:\a" then names "nnnn.ani" (9 units with the terminator) up to the very end: the last
  // name's terminator is unit 33,278 and the closing empty text is unit 33,279.
  const std::u16string directory = u"D:\\a";
  const size_t nameUnits = 9;
  const size_t names = (33279 - (directory.size() + 1)) / nameUnits;
  std::u16string padding((33279 - (directory.size() + 1)) % nameUnits, u'\\');
  std::vector<std::u16string> all;
  for (size_t i = 0; i < names; ++i) {
    std::u16string name = Wide(std::to_string(1000 + i % 9000)) + u".ani";
    if (i == 0) name = padding + name;
    all.push_back(name);
  }
  view.AnswerWithNames(directory, all);
  ASSERT_EQ(view.pickBuffer.size(), 33280u);
  ASSERT_TRUE(Dialog().PickAnimationFiles());
  ASSERT_EQ(store.animationFiles.count, int32_t(names));
  EXPECT_EQ(std::u16string(store.animationFiles[int32_t(names) - 1].path), u"D:\\a\\" + all.back());

  // A picker that fills the whole buffer without ever closing the list: the count stops at the
  // bound, nothing past the buffer is read.
  view.pickResult = FilePickResult::kChosen;
  view.pickBuffer.assign(33280, u'x');
  for (size_t i = 10; i < 33280; i += 10) view.pickBuffer[i] = 0;
  view.pickOffset = 11;
  ASSERT_TRUE(Dialog().PickAnimationFiles());
  EXPECT_EQ(store.animationFiles.count, 3326);  // the terminators at 20, 30, ..., 33,270
  for (const WidePath& entry : store.animationFiles)
    EXPECT_EQ(std::u16string(entry.path), u"xxxxxxxxxx\\xxxxxxxxx");

  // A file offset outside the buffer names nothing.
  const int32_t before = store.animationFiles.count;
  view.pickOffset = 40000;
  EXPECT_FALSE(Dialog().PickAnimationFiles());
  EXPECT_EQ(store.animationFiles.count, before);
}

TEST(DialogPlacement, CentresOnTheReferenceAndStaysOnTheScreen) {
  struct Case {
    int32_t width, height;
    ScreenRect reference;
    int32_t screenWidth, screenHeight;
    ScreenPoint expected;
  };
  const Case cases[] = {
      {400, 300, {0, 0, 1920, 1080}, 1920, 1080, {760, 390}},
      {401, 301, {0, 0, 1920, 1080}, 1920, 1080, {759, 389}},        // truncating division
      {400, 1200, {0, 0, 1920, 1080}, 1920, 1080, {760, 0}},         // taller than the screen
      {2500, 300, {0, 0, 1920, 1080}, 1920, 1080, {0, 390}},         // wider than the screen
      {400, 300, {1700, 900, 1900, 1000}, 1920, 1080, {1520, 780}},  // runs past the edge
      {400, 300, {-500, -400, -100, -200}, 1920, 1080, {0, 0}},      // starts off the screen
      {111, 10, {1000, 0, 1100, 10}, 2000, 100, {995, 0}},           // (100 - 111) / 2 is -5
  };
  for (const Case& c : cases) {
    const ScreenPoint at =
        CentredPosition(c.width, c.height, c.reference, c.screenWidth, c.screenHeight);
    EXPECT_EQ(at.x, c.expected.x) << c.width << "x" << c.height;
    EXPECT_EQ(at.y, c.expected.y) << c.width << "x" << c.height;
  }
}

}  // namespace
}  // namespace vexmara

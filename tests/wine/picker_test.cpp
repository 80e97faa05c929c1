// The dialog's two "..." buttons with the real pickers behind them: the shell's folder browser
// for the texture directory and the open-file dialog for animation files.
#include <shlobj.h>

#include "plugin_fixture.h"

namespace vexmara::wine_test {
namespace {

std::vector<std::u16string> AnimationNames(const host::Host& host) {
  std::vector<std::u16string> names;
  for (const auto& animation : host.Animations()) names.push_back(animation.name);
  return names;
}

TEST_F(WinePlugin, FolderPickerOpensAtTheCurrentDirectoryAndSetsTheTextureDirectory) {
  WriteFile(L"gamma.tex", TexFile(30));
  WriteFile(L"textures\\beta.tex", TexFile(20));
  MakeFolder(L"start");
  ASSERT_TRUE(SetCurrentDirectoryW(Path(L"start").c_str()));

  ReadModel(DialogModel());

  bool selected = false;
  std::wstring status;
  DialogView before, after;
  BrowserRequestRecorder requests;
  const int32_t result = Import([&](HWND dialog) {
    before = ReadDialog(dialog);
    PressButton(dialog, kBrowseTextures);
    FolderBrowser browser = FolderBrowser::Wait();
    if (!browser.IsOpen()) return ADD_FAILURE() << "the folder browser did not open";
    selected = browser.Select(Path(L"textures"));
    WaitUntil([&] { return browser.StatusText() == Path(L"textures"); }, 3000);
    status = browser.StatusText();
    browser.PressOk();
    WaitForClose(browser.window());
    WaitUntil([&] { return ControlText(dialog, kTextureDirectory) == Path(L"textures\\"); });
    after = ReadDialog(dialog);
    PressButton(dialog, kImport);
  });
  ASSERT_EQ(result, 1);
  // On opening, the browser was asked to select the process's current directory by its path;
  // each selection's path then went to its status text.
  const auto sent = requests.Requests();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0].message, UINT(BFFM_SETSELECTIONW));
  EXPECT_EQ(sent[0].wParam, WPARAM(TRUE)) << "the selection is given as a path";
  EXPECT_EQ(Utf8(sent[0].text), Utf8(Path(L"start")));
  std::vector<std::wstring> statusTexts;
  for (const auto& request : sent) {
    if (request.message == UINT(BFFM_SETSTATUSTEXTW)) statusTexts.push_back(request.text);
  }
  ASSERT_FALSE(statusTexts.empty());
  EXPECT_EQ(Utf8(statusTexts.back()), Utf8(Path(L"textures")));
  EXPECT_TRUE(selected) << "the browser's tree selected the textures folder";
  EXPECT_EQ(Utf8(status), Utf8(Path(L"textures")))
      << "the selected folder's path is the status text";

  EXPECT_EQ(Utf8(before.textureDirectory), Utf8(directory_));
  EXPECT_EQ(before.textureLines, (std::vector<std::wstring>{L"Beta*", L"gamma.tex"}));
  // The chosen folder gets its "\"; the rescan finds Beta's texture there, and Gamma keeps the
  // file it was matched to in the first folder. The count of materials with slots stays.
  EXPECT_EQ(Utf8(after.textureDirectory), Utf8(Path(L"textures\\")));
  EXPECT_EQ(after.textureLines, (std::vector<std::wstring>{L"beta.tex", L"gamma.tex"}));
  EXPECT_EQ(after.selectedLine, 0);
  EXPECT_EQ(after.textureCount, L"2");

  const auto materials = host_->Materials();
  ASSERT_EQ(materials.size(), 3u);
  ASSERT_EQ(materials[1].textureSlots.size(), 1u);
  EXPECT_EQ(materials[1].textureSlots[0].path, Units(Path(L"textures\\beta.tex")));
  ASSERT_EQ(materials[2].textureSlots.size(), 1u);
  EXPECT_EQ(materials[2].textureSlots[0].path, Units(Path(L"gamma.tex")));
}

TEST_F(WinePlugin, CancelledFolderPickerKeepsTheDirectoryAndStillRescans) {
  ReadModel(DialogModel());
  DialogView before, after;
  const int32_t result = Import([&](HWND dialog) {
    before = ReadDialog(dialog);
    // A texture that arrives while the dialog is open is found by the rescan after the picker.
    WriteFile(L"beta.tex", TexFile(20));
    PressButton(dialog, kBrowseTextures);
    FolderBrowser browser = FolderBrowser::Wait();
    if (!browser.IsOpen()) return ADD_FAILURE() << "the folder browser did not open";
    browser.PressCancel();
    WaitForClose(browser.window());
    WaitUntil([&] { return ComboLines(dialog, kTextureList) != before.textureLines; }, 3000);
    after = ReadDialog(dialog);
    PressButton(dialog, kImport);
  });
  ASSERT_EQ(result, 1);
  EXPECT_EQ(before.textureLines, (std::vector<std::wstring>{L"Beta*", L"Gamma*"}));
  EXPECT_EQ(Utf8(after.textureDirectory), Utf8(directory_));
  EXPECT_EQ(after.textureLines, (std::vector<std::wstring>{L"beta.tex", L"Gamma*"}));
  const auto materials = host_->Materials();
  ASSERT_EQ(materials.size(), 3u);
  ASSERT_EQ(materials[1].textureSlots.size(), 1u);
  EXPECT_EQ(materials[1].textureSlots[0].path, Units(Path(L"beta.tex")));
}

// One file, two files, and a cancel after a pick, each through the real open-file dialog.
TEST_F(WinePlugin, FilePickerChoosesTheAnimationFiles) {
  const struct {
    const char* name;
    std::vector<std::wstring> picks;  // what is typed in each use of the picker; empty: cancel
    std::wstring shown;               // control 5002 afterwards
    std::vector<std::u16string> animations;
  } cases[] = {
      {"one file", {L"walk.ani"}, L"", {u"walk"}},
      {"two files", {L"\"walk.ani\" \"idle.ani\""}, L"Multiple files selected", {u"walk", u"idle"}},
      {"a cancel after a pick", {L"idle.ani", L""}, L"", {u"idle"}},
      {"a second pick", {L"\"walk.ani\" \"idle.ani\"", L"walk.ani"}, L"", {u"walk"}},
  };
  WriteAnimation(L"anims\\walk.ani", "walk");
  WriteAnimation(L"anims\\idle.ani", "idle");
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    ReadModel(DialogModel());
    std::wstring before, shown;
    std::vector<std::wstring> fileTypes;
    int selectedType = -1;
    bool severalFiles = false;
    const int32_t result = Import([&](HWND dialog) {
      before = ControlText(dialog, kAnimationFiles);
      for (const std::wstring& pick : test.picks) {
        PressButton(dialog, kPickAnimations);
        OpenFileDialog picker = OpenFileDialog::Wait();
        if (!picker.IsOpen()) return ADD_FAILURE() << "the open-file dialog did not open";
        fileTypes = picker.FileTypes();
        selectedType = picker.SelectedFileType();
        severalFiles = picker.AllowsSeveralFiles();
        if (pick.empty()) {
          picker.PressCancel();
        } else {
          EXPECT_TRUE(picker.OpenFolder(Path(L"anims"))) << "the picker shows the folder";
          picker.Enter(pick);
        }
        EXPECT_TRUE(WaitForClose(picker.window())) << "the picker closed";
      }
      shown = ControlText(dialog, kAnimationFiles);
      PressButton(dialog, kImport);
    });
    ASSERT_EQ(result, 1);
    EXPECT_EQ(fileTypes, (std::vector<std::wstring>{L"Karnath 3 animation files (*.ani)",
                                                    L"All files (*.*)"}));
    EXPECT_EQ(selectedType, 0) << "the animation files' filter comes first";
    EXPECT_TRUE(severalFiles) << "the picker lets several files be chosen";
    EXPECT_EQ(before, L"Untitled.ani") << "each import starts without animation files";
    // A single file is shown by its full path.
    const std::wstring expected =
        test.shown.empty()
            ? Path(L"anims\\") +
                  std::wstring(test.animations[0].begin(), test.animations[0].end()) + L".ani"
            : test.shown;
    EXPECT_EQ(Utf8(shown), Utf8(expected));
    EXPECT_EQ(AnimationNames(*host_), test.animations)
        << "read in the order the picker listed them";
    // Each chosen file became an animation at 15 frames per second: its key at frame-scale
    // time 15 lands at one second.
    for (const auto& animation : host_->Animations()) {
      EXPECT_EQ(animation.framesPerSecond, 15.0f);
      ASSERT_FALSE(animation.tracks.empty());
      ASSERT_EQ(animation.tracks[0].translationKeys.size(), 2u);
      EXPECT_FLOAT_EQ(animation.tracks[0].translationKeys[1].time, 1.0f);
    }
  }
}

}  // namespace
}  // namespace vexmara::wine_test

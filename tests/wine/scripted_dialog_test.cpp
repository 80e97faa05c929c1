// The headless dialog of the Windows library, as a converter without windows uses it: once a
// script is set, the import runs without showing a dialog and the library hands out what the
// dialog showed; a null script brings the real dialog back, as the host application has it.
#include "dialog/scripted_dialog.h"
#include "dialog/headless_dialog_texts.h"
#include "plugin_fixture.h"

namespace vexmara::wine_test {
namespace {

using host::Operation;

class ScriptedDialogOnWindows : public WinePlugin {
 protected:
  void SetUp() override {
    WinePlugin::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    setScript_ = Find<decltype(&SetScriptedDialog)>("SetScriptedDialog");
    text_ = Find<decltype(&GetDialogText)>("GetDialogText");
    check_ = Find<decltype(&GetDialogCheck)>("GetDialogCheck");
    ASSERT_NE(setScript_, nullptr);
    ASSERT_NE(text_, nullptr);
    ASSERT_NE(check_, nullptr);
  }
  void TearDown() override {
    if (setScript_ != nullptr) setScript_(nullptr);
    WinePlugin::TearDown();
  }

  template <class Function>
  Function Find(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library_.Instance()), name)));
  }

  // The import message on this thread, where no dialog is expected. A real dialog that shows
  // anyway fails the test and is cancelled, so that the import returns.
  int32_t ImportWithoutDialog(bool* dialogShown) {
    DriverThread watcher([&] {
      if (HWND dialog = WaitForWindow(kDialogCaption, 3000)) {
        *dialogShown = true;
        PressButton(dialog, kCancel);
      }
    });
    const int32_t result = host_->Import(library_.Instance());
    EXPECT_TRUE(watcher.Join());
    return result;
  }

  std::wstring Text(int32_t id) const {
    uint16_t units[kDialogTextUnits] = {};
    if (text_(id, units, kDialogTextUnits) < 0) return L"(none)";
    return std::wstring(
        units, units + std::char_traits<char16_t>::length(reinterpret_cast<char16_t*>(units)));
  }

  static constexpr int32_t kDialogTextUnits = 260;
  decltype(&SetScriptedDialog) setScript_ = nullptr;
  decltype(&GetDialogText) text_ = nullptr;
  decltype(&GetDialogCheck) check_ = nullptr;
};

TEST_F(ScriptedDialogOnWindows, AScriptAnswersWithoutADialogAndANullScriptBringsTheRealDialogBack) {
  WriteFile(L"gamma.tex", TexFile(30));
  ReadModel(DialogModel());
  ScriptedDialog script{};
  script.result = 1;
  script.swapModel = 0;
  script.submeshesAsGroups = 1;
  script.extractAlphaMaps = -1;
  setScript_(&script);
  bool dialogShown = false;
  ASSERT_EQ(ImportWithoutDialog(&dialogShown), 1);
  EXPECT_FALSE(dialogShown) << "the script answered instead of the real dialog";
  EXPECT_EQ(host_->CallCount(Operation::NotifyBoneTransform), 0)
      << "\"Swap model\" was cleared by the script";
  EXPECT_EQ(host_->Groups().size(), 2u) << "one group per submesh";
  // What the stand-in showed, as the library hands it out.
  EXPECT_EQ(Text(kVertices), L"7");
  EXPECT_EQ(Text(kMaterials), L"3");
  EXPECT_EQ(Text(kTextureDirectory), directory_);
  EXPECT_EQ(check_(kSubmeshesAsGroups), 1);
  EXPECT_EQ(check_(kSwapModel), 0);

  // Without a script the real dialog shows again, with the boxes the scripted import stored.
  setScript_(nullptr);
  ReadModel(DialogModel());
  DialogView shown;
  ASSERT_EQ(Import([&](HWND dialog) {
              shown = ReadDialog(dialog);
              PressButton(dialog, kImport);
            }),
            1);
  EXPECT_FALSE(shown.swapModel);
  EXPECT_TRUE(shown.submeshesAsGroups);
  EXPECT_EQ(shown.vertices, L"7");
  EXPECT_EQ(text_(kVertices, nullptr, 0), -1)
      << "the real dialog's texts are not the stand-in's to hand out";
  EXPECT_EQ(check_(kSwapModel), -1);
}

// A script that cancels, or says that no dialog can be made, ends the import as the real dialog
// would: cancelled, with nothing built.
TEST_F(ScriptedDialogOnWindows, AScriptedCancelOrMissingDialogBuildsNothing) {
  const struct {
    int32_t scripted;
    int32_t result;
    int32_t textLength;  // of the vertex count: -1 when no dialog was made
  } cases[] = {{0, 2, 1}, {-1, 2, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE("script result " + std::to_string(c.scripted));
    ReadModel(DialogModel());
    ScriptedDialog script{};
    script.result = c.scripted;
    script.swapModel = script.submeshesAsGroups = script.extractAlphaMaps = -1;
    setScript_(&script);
    bool dialogShown = false;
    EXPECT_EQ(ImportWithoutDialog(&dialogShown), c.result);
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(host_->CallCount(Operation::CreateMaterial), 0);
    EXPECT_EQ(text_(kVertices, nullptr, 0), c.textLength);
  }
}

}  // namespace
}  // namespace vexmara::wine_test

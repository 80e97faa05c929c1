// The real import dialog, driven as a user drives it: what it shows, and what each way of
// closing it does to the import and to the next dialog.
#include "plugin_fixture.h"

namespace vexmara::wine_test {
namespace {

using host::Operation;

constexpr float kNoTolerance = 0.0f;

void ExpectPosition(const host::VertexView& vertex, std::array<float, 3> expected, float tolerance,
                    const char* what) {
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(vertex.position[size_t(i)], expected[size_t(i)], tolerance)
        << what << " [" << i << "]";
}

int CreationCount(const host::Host& host) {
  int n = 0;
  for (Operation op : {Operation::CreateMaterial, Operation::CreateGroup, Operation::CreateBone,
                       Operation::CreateAnimation, Operation::CreateMesh, Operation::SetVertexCount,
                       Operation::LoadImage, Operation::SaveImage}) {
    n += host.CallCount(op);
  }
  return n;
}

// The first dialog of a process: the options as the library loads them, the model's folder as
// the texture directory, the statistics and the texture list; then the import they lead to.
class FreshProcess : public WinePlugin {};

TEST_F(FreshProcess, FirstDialogShowsTheDefaultsAndTheModelAndImportsWithThem) {
  WriteFile(L"gamma.tex", TexFile(30));
  WriteFile(L"gamma.tga", {1, 2, 3});
  ReadModel(DialogModel());
  DialogView shown;
  RECT placed = {};
  HWND owner = nullptr;
  LONG_PTR style = 0;
  const int32_t result = Import([&](HWND dialog) {
    shown = ReadDialog(dialog);
    GetWindowRect(dialog, &placed);
    owner = GetWindow(dialog, GW_OWNER);
    style = GetWindowLongPtrW(dialog, GWL_STYLE);
    PressButton(dialog, kImport);
  });
  ASSERT_EQ(result, 1);

  EXPECT_TRUE(shown.swapModel);
  EXPECT_FALSE(shown.submeshesAsGroups);
  EXPECT_FALSE(shown.extractAlphaMaps);
  EXPECT_EQ(Utf8(shown.textureDirectory), Utf8(directory_)) << "the model's folder, ending in \\";
  EXPECT_EQ(shown.textureDirectory.back(), L'\\');
  EXPECT_EQ(shown.geosets, L"2");
  EXPECT_EQ(shown.vertices, L"7");
  EXPECT_EQ(shown.triangles, L"3");
  EXPECT_EQ(shown.materials, L"3");
  EXPECT_EQ(shown.bones, L"2");
  EXPECT_EQ(shown.textureCount, L"2") << "materials with texture slots, found or not";
  EXPECT_EQ(shown.textureLines, (std::vector<std::wstring>{L"Beta*", L"gamma.tex"}));
  EXPECT_EQ(shown.selectedLine, 0);
  EXPECT_EQ(shown.animationFiles, L"Untitled.ani");

  // Owned by the host's main window, modal frame with caption and system menu, centred on the
  // screen (1024 x 768 under the test display).
  EXPECT_EQ(owner, mainWindow_);
  EXPECT_NE(style & WS_CAPTION, 0);
  EXPECT_NE(style & WS_SYSMENU, 0);
  const int width = placed.right - placed.left;
  const int height = placed.bottom - placed.top;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_GT(width, 0);
  EXPECT_EQ(placed.left, (screenWidth - width) / 2);
  EXPECT_EQ(placed.top, (screenHeight - height) / 2);

  // "Swap model" was on: the scene turned a quarter about x; groups follow the materials.
  EXPECT_EQ(host_->CallCount(Operation::NotifyBoneTransform), 1);
  const auto vertices = host_->Vertices();
  ASSERT_EQ(vertices.size(), 7u);
  ExpectPosition(vertices[3], {3, 9, -6}, 1e-5f, "(x, y, z) turned to (x, z, -y)");
  const auto groups = host_->Groups();
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0].name, u"Alpha");
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 2u);
  EXPECT_EQ(bones[0].name, u"root");
  EXPECT_EQ(bones[0].parentIndex, -1);
  EXPECT_EQ(bones[1].name, u"arm");
  EXPECT_EQ(bones[1].parentIndex, 0);
  // Textures: Gamma's converted image beside its tex file; Beta's was not found; no alpha maps.
  const auto materials = host_->Materials();
  ASSERT_EQ(materials.size(), 3u);
  EXPECT_TRUE(materials[0].textureSlots.empty());
  EXPECT_TRUE(materials[1].textureSlots.empty());
  ASSERT_EQ(materials[2].textureSlots.size(), 1u);
  EXPECT_EQ(materials[2].textureSlots[0].path, Units(Path(L"gamma.tga")));
  EXPECT_EQ(host_->CallCount(Operation::LoadImage), 0);
  EXPECT_EQ(Utf8(CurrentDirectory() + L"\\"), Utf8(directory_))
      << "the build made the model's folder current";
}

TEST_F(WinePlugin, CancelKeepsTheOptionsOfTheLastImport) {
  ReadModel(DialogModel());
  DialogView changed;
  const int32_t cancelled = Import([&](HWND dialog) {
    ClickCheckBox(dialog, kExtractAlphaMaps);
    ClickCheckBox(dialog, kSwapModel);
    changed = ReadDialog(dialog);
    PressButton(dialog, kCancel);
  });
  EXPECT_EQ(cancelled, 2);
  EXPECT_TRUE(changed.extractAlphaMaps) << "the click checked the box";
  EXPECT_FALSE(changed.swapModel);
  EXPECT_EQ(CreationCount(*host_), 0);

  DialogView next;
  ASSERT_EQ(ImportAsShown(DialogModel(), &next), 1);
  EXPECT_TRUE(next.swapModel);
  EXPECT_FALSE(next.extractAlphaMaps);
  EXPECT_FALSE(next.submeshesAsGroups);
  EXPECT_EQ(host_->CallCount(Operation::NotifyBoneTransform), 1);
}

TEST_F(WinePlugin, ImportStoresTheBoxesAndTheNextDialogShowsThem) {
  ReadModel(DialogModel());
  ASSERT_EQ(Import([&](HWND dialog) {
              ClickCheckBox(dialog, kSwapModel);
              ClickCheckBox(dialog, kSubmeshesAsGroups);
              PressButton(dialog, kImport);
            }),
            1);
  EXPECT_EQ(host_->CallCount(Operation::NotifyBoneTransform), 0) << "\"Swap model\" was cleared";
  const auto vertices = host_->Vertices();
  ASSERT_EQ(vertices.size(), 7u);
  ExpectPosition(vertices[3], {3, 6, 9}, kNoTolerance, "as the file has it");
  const auto groups = host_->Groups();
  ASSERT_EQ(groups.size(), 2u) << "one group per submesh";
  EXPECT_EQ(groups[0].name, u"Beta");
  EXPECT_EQ(groups[1].name, u"Gamma");

  DialogView next;
  ASSERT_EQ(ImportAsShown(DialogModel(), &next), 1);
  EXPECT_FALSE(next.swapModel);
  EXPECT_TRUE(next.submeshesAsGroups);
  EXPECT_FALSE(next.extractAlphaMaps);
  EXPECT_EQ(host_->Groups().size(), 4u) << "the second import made groups per submesh too";
}

TEST_F(WinePlugin, EnterOnACheckBoxActsAsImport) {
  WriteFile(L"gamma.tex", TexFile(30));
  ReadModel(DialogModel());
  HWND focused = nullptr;
  HWND box = nullptr;
  const int32_t result = Import([&](HWND dialog) {
    box = GetDlgItem(dialog, kExtractAlphaMaps);
    ClickCheckBox(dialog, kExtractAlphaMaps);
    WaitUntil([&] { return FocusOn(dialog) == box; });
    focused = FocusOn(dialog);
    PressKey(box, VK_RETURN);
  });
  EXPECT_EQ(focused, box) << "the clicked box has the focus";
  ASSERT_EQ(result, 1);
  // "Extract alpha maps" was stored: Gamma's image is loaded to derive its alpha map.
  const auto loads = host_->CallsOf(Operation::LoadImage);
  ASSERT_EQ(loads.size(), 1u);
  EXPECT_EQ(loads[0].text, Units(Path(L"gamma.tex")));

  DialogView next;
  ASSERT_EQ(ImportAsShown(DialogModel(), &next), 1);
  EXPECT_TRUE(next.extractAlphaMaps);
  EXPECT_TRUE(next.swapModel);
}

// Escape and the caption's close box are "Cancel": nothing is built and no box is stored.
TEST_F(WinePlugin, EscapeAndTheCloseBoxCancel) {
  const struct {
    const char* name;
    std::function<void(HWND dialog)> close;
  } ways[] = {
      {"Escape on a check box",
       [](HWND dialog) { PressKey(GetDlgItem(dialog, kSubmeshesAsGroups), VK_ESCAPE); }},
      {"Escape on the texture list",
       [](HWND dialog) { PressKey(GetDlgItem(dialog, kTextureList), VK_ESCAPE); }},
      {"the close box", [](HWND dialog) { PressCloseBox(dialog); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    ReadModel(DialogModel());
    const int32_t result = Import([&](HWND dialog) {
      ClickCheckBox(dialog, kSubmeshesAsGroups);
      way.close(dialog);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(CreationCount(*host_), 0);
  }
  DialogView next;
  ASSERT_EQ(ImportAsShown(DialogModel(), &next), 1);
  EXPECT_FALSE(next.submeshesAsGroups);
  EXPECT_EQ(host_->Groups().size(), 3u) << "groups still follow the materials";
}

// The texture directory is defaulted only while it is empty: a model in another folder opens
// with the first model's folder, and its textures are looked for there.
TEST_F(WinePlugin, TextureDirectoryCarriesOverToTheNextModel) {
  WriteFile(L"first\\gamma.tex", TexFile(30));
  WriteFile(L"second\\beta.tex", TexFile(20));
  DialogView first;
  ASSERT_EQ(ImportAsShown(DialogModel(), &first, L"first\\model.app"), 1);
  EXPECT_EQ(Utf8(first.textureDirectory), Utf8(Path(L"first\\")));

  DialogView second;
  ASSERT_EQ(ImportAsShown(DialogModel(), &second, L"second\\model.app"), 1);
  EXPECT_EQ(Utf8(second.textureDirectory), Utf8(Path(L"first\\")));
  EXPECT_EQ(second.textureLines, (std::vector<std::wstring>{L"Beta*", L"gamma.tex"}));
}

}  // namespace
}  // namespace vexmara::wine_test

#include "plugin_fixture.h"

#include <filesystem>

#include "writer/common.h"

namespace vexmara::wine_test {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), bytes, nullptr,
                      nullptr);
  return out;
}

std::u16string Units(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

std::wstring ProgramDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring directory = path;
  return directory.substr(0, directory.find_last_of(L'\\') + 1);
}

std::wstring CurrentDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, path);
  return path;
}

std::vector<uint8_t> TexFile(int32_t id) {
  std::vector<uint8_t> bytes(24, 0);
  for (int i = 0; i < 4; ++i) bytes[size_t(16 + i)] = uint8_t(uint32_t(id) >> (8 * i));
  return bytes;
}

namespace {

writer::AppSubmesh Fan(const std::string& materialName, int vertexCount) {
  writer::AppSubmesh submesh;
  submesh.materialName = materialName;
  for (int i = 0; i < vertexCount; ++i) {
    submesh.vertices.push_back(
        writer::MakeVertex(float(i), float(2 * i), float(3 * i), 0.5f + float(i), 0.25f));
  }
  for (int i = 1; i + 1 < vertexCount; ++i)
    submesh.triangles.push_back({0, uint16_t(i), uint16_t(i + 1)});
  return submesh;
}

}  // namespace

writer::AppModel DialogModel() {
  writer::AppModel model;
  model.bones = {writer::MakeBone("root", -1, {1, 0, 0}), writer::MakeBone("arm", 0, {0, 2, 0})};
  model.geosets[0].submeshes.push_back(Fan("Beta", 4));
  model.geosets[1].submeshes.push_back(Fan("Gamma", 3));
  model.materials = {writer::MakeMaterial("Alpha"), writer::MakeMaterial("Beta", {20}),
                     writer::MakeMaterial("Gamma", {30})};
  return model;
}

writer::AniFile NamedAnimation(const std::string& name) {
  writer::AniFile file;
  file.name = name;
  writer::AniTrack root;
  root.boneName = "root";
  root.translationKeys = {{0, 1, 0, 0}, {1, 2, 0, 0}};
  file.tracks = {root};
  file.frameTimes = {0.0f, 15.0f};
  return file;
}

DialogView ReadDialog(HWND dialog) {
  DialogView view;
  view.geosets = ControlText(dialog, kGeosets);
  view.vertices = ControlText(dialog, kVertices);
  view.triangles = ControlText(dialog, kTriangles);
  view.materials = ControlText(dialog, kMaterials);
  view.bones = ControlText(dialog, kBones);
  view.textureCount = ControlText(dialog, kTextureCount);
  view.textureDirectory = ControlText(dialog, kTextureDirectory);
  view.animationFiles = ControlText(dialog, kAnimationFiles);
  view.textureLines = ComboLines(dialog, kTextureList);
  view.selectedLine = ComboSelection(dialog, kTextureList);
  view.swapModel = IsChecked(dialog, kSwapModel);
  view.submeshesAsGroups = IsChecked(dialog, kSubmeshesAsGroups);
  view.extractAlphaMaps = IsChecked(dialog, kExtractAlphaMaps);
  return view;
}

std::wstring TestRoot() {
  return L"C:\\vexmara_wine_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
}

void WinePlugin::SetUp() {
  originalDirectory_ = CurrentDirectory();
  ASSERT_EQ(GetModuleHandleW(kPluginFileName), nullptr)
      << "the library is not loaded before the test";
  const auto libraryLoaded = library_.Load(Utf8(ProgramDirectory() + kPluginFileName));
  ASSERT_TRUE(libraryLoaded.ok()) << libraryLoaded.message;
  host_ = std::make_unique<host::Host>();
  ASSERT_EQ(host_->Register(library_), 1);

  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(test->test_suite_name()) + "_" + test->name();
  directory_ = TestRoot() + std::wstring(name.begin(), name.end()) + L"\\";
  std::filesystem::remove_all(directory_);
  ASSERT_TRUE(std::filesystem::create_directories(directory_));

  // The host's main window: a plain top-level window of this thread, never shown.
  mainWindow_ = CreateWindowExW(0, L"STATIC", L"Reference host", WS_OVERLAPPEDWINDOW, 0, 0, 320,
                                200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(mainWindow_, nullptr);
  host_->SetMainWindow(mainWindow_);
}

void WinePlugin::TearDown() {
  if (host_) {
    EXPECT_TRUE(host_->UnexpectedCalls().empty())
        << "the plug-in called a slot outside the interface";
    EXPECT_TRUE(host_->Misuses().empty())
        << (host_->Misuses().empty() ? "" : host_->Misuses().front());
    EXPECT_EQ(host_->LiveImageCount(), 0) << "an image was not released";
  }
  host_.reset();
  library_.Unload();
  EXPECT_EQ(GetModuleHandleW(kPluginFileName), nullptr) << "the library was unloaded";
  if (mainWindow_ != nullptr) DestroyWindow(mainWindow_);
  // The build makes the model's folder current; it cannot be removed while it is.
  SetCurrentDirectoryW(originalDirectory_.c_str());
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
  RemoveDirectoryW(TestRoot().c_str());  // once the last test's folder is gone
}

std::wstring WinePlugin::WriteFile(const std::wstring& relative,
                                   const std::vector<uint8_t>& bytes) {
  const std::wstring path = Path(relative);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << Utf8(path);
  if (file == INVALID_HANDLE_VALUE) return path;
  DWORD written = 0;
  EXPECT_TRUE(::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
              written == bytes.size());
  CloseHandle(file);
  return path;
}

std::wstring WinePlugin::WriteAnimation(const std::wstring& relative, const std::string& name) {
  return WriteFile(relative, writer::WriteAniFile(NamedAnimation(name)));
}

void WinePlugin::MakeFolder(const std::wstring& relative) {
  std::filesystem::create_directories(Path(relative));
}

void WinePlugin::ReadModel(const writer::AppModel& model, const std::wstring& relative) {
  const std::wstring path = WriteFile(relative, writer::WriteAppFile(model));
  host_->SetModelPath(Units(path));
  ASSERT_EQ(host_->Read(), 1) << "the model file is read: " << host_->ErrorTextNarrow();
}

int32_t WinePlugin::Import(const std::function<void(HWND dialog)>& drive) {
  DriverThread driver([&] {
    HWND dialog = WaitForWindow(kDialogCaption);
    if (dialog == nullptr) {
      ADD_FAILURE() << "the import dialog did not show";
      return;
    }
    drive(dialog);
    if (WaitForClose(dialog)) return;
    ADD_FAILURE() << "the dialog was left open; cancelling it";
    for (const wchar_t* picker : {L"Error", L"Browse for Folder", L"Open File(s)"}) {
      if (HWND window = WaitForWindow(picker, 0)) PressButton(window, IDCANCEL);
    }
    PressButton(dialog, IDCANCEL);
  });
  const int32_t result = host_->Import(library_.Instance());
  EXPECT_TRUE(driver.Join()) << "the driver thread ended";
  return result;
}

int32_t WinePlugin::ImportAsShown(const writer::AppModel& model, DialogView* shown,
                                  const std::wstring& relative) {
  ReadModel(model, relative);
  if (HasFatalFailure()) return -100;
  return Import([&](HWND dialog) {
    *shown = ReadDialog(dialog);
    PressButton(dialog, kImport);
  });
}

}  // namespace vexmara::wine_test

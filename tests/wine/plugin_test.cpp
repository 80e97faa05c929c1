// The library file as users install it: its registration, its version resource, what it
// exports, and its whole-file read, all under Windows.
#include <set>

#include "plugin_fixture.h"

namespace vexmara::wine_test {
namespace {

std::wstring PluginPath() { return ProgramDirectory() + kPluginFileName; }

TEST_F(WinePlugin, RegistersAsTheReaderOfAppFiles) {
  EXPECT_EQ(library_.Version(), 3606);
  ASSERT_EQ(host_->RegisteredExtensions().size(), 1u);
  EXPECT_EQ(host_->RegisteredExtensions()[0].wide, u"app");
  EXPECT_EQ(host_->RegisteredExtensions()[0].narrow, "app");
  EXPECT_EQ(host_->DescriptorWide(host::DescriptorText::Version), u"3.50.60");
  EXPECT_EQ(host_->DescriptorWide(host::DescriptorText::Filter), u"Karnath 3 (*.app)");
}

// The version resource, read the way Explorer's properties page reads it.
TEST(PluginFile, VersionResourceGivesVersion3_5_0_43AndTheProductNames) {
  const std::wstring path = PluginPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "the library has a version resource";
  std::vector<unsigned char> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, (3u << 16) | 5u);
  EXPECT_EQ(fixed->dwFileVersionLS, (0u << 16) | 43u);
  EXPECT_EQ(fixed->dwProductVersionMS, (3u << 16) | 5u);
  EXPECT_EQ(fixed->dwProductVersionLS, (0u << 16) | 43u);
  EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));

  struct Translation {
    WORD language, codePage;
  };
  Translation* translations = nullptr;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translations), &length));
  ASSERT_GE(length, sizeof(Translation));
  wchar_t block[64];
  swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translations[0].language,
           translations[0].codePage);

  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } strings[] = {{L"FileDescription", L"vexmara"}, {L"InternalName", L"vexmara"},
                 {L"ProductName", L"vexmara"},     {L"OriginalFilename", L"vexmara.dlx"},
                 {L"FileVersion", L"3, 5, 0, 43"}, {L"ProductVersion", L"3, 5, 0, 43"}};
  for (const auto& expected : strings) {
    const std::wstring query = std::wstring(block) + expected.name;
    wchar_t* value = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        << Utf8(expected.name);
    EXPECT_EQ(std::wstring(value), expected.value) << Utf8(expected.name);
  }
}

// The export directory of the loaded image names the two entry points and, for headless clients
// such as the converter, the scripted dialog with its texts and the two name lists of a folder
// batch; nothing else.
TEST(PluginFile, ExportsTheEntryPointsAndTheHeadlessClientsExportsOnly) {
  HMODULE module = LoadLibraryW(PluginPath().c_str());
  ASSERT_NE(module, nullptr);
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(directory.VirtualAddress, 0u);
  const auto* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::set<std::string> exported;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    exported.insert(reinterpret_cast<const char*>(base + names[i]));
  const std::set<std::string> expected{
      "PluginProc",         "PluginVersion",           "SetScriptedDialog",
      "GetDialogText",      "GetDialogListLine",       "GetDialogCheck",
      "ResetImportOptions", "ListAnimationTrackNames", "ListModelBoneNames"};
  EXPECT_EQ(exported, expected);
  EXPECT_EQ(exports->NumberOfFunctions, expected.size());
  for (const std::string& name : expected)
    EXPECT_NE(GetProcAddress(module, name.c_str()), nullptr) << name;
  FreeLibrary(module);
}

TEST_F(WinePlugin, ReadOfAFileThatCannotBeOpenedSaysSo) {
  // Missing, a folder, and a file another program holds open without sharing.
  MakeFolder(L"folder.app");
  const std::wstring locked = WriteFile(L"locked.app", writer::WriteAppFile(DialogModel()));
  HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  for (const std::wstring& path : {Path(L"missing.app"), Path(L"folder.app"), locked}) {
    host_->SetModelPath(Units(path));
    EXPECT_EQ(host_->Read(), 0) << Utf8(path);
    EXPECT_EQ(host_->ErrorTextWide(), u"Could not open file for reading.") << Utf8(path);
  }
  CloseHandle(holder);
  host_->SetModelPath(Units(locked));
  EXPECT_EQ(host_->Read(), 1) << "once released, the same file reads";
}

TEST_F(WinePlugin, DialogThatCannotBeCreatedCancelsTheImport) {
  ReadModel(DialogModel());
  // This program holds no dialog template 100, so the dialog cannot be made from it.
  const int32_t result = host_->Import(GetModuleHandleW(nullptr));
  EXPECT_EQ(result, 2);
  EXPECT_EQ(host_->CallCount(host::Operation::CreateMaterial), 0);
  EXPECT_EQ(host_->CallCount(host::Operation::SetVertexCount), 0);
  EXPECT_EQ(WaitForWindow(kDialogCaption, 0), nullptr);
}

}  // namespace
}  // namespace vexmara::wine_test

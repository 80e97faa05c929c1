// Shows the import dialog for a sample model and holds it open, for a screenshot: the plug-in is
// loaded and registered by the reference host, a sample model with three materials (two of
// whose textures are found) is read, and the import dialog opens owned by a host window. Once the
// dialog shows, its place on the screen is printed as "dialog <x> <y> <width> <height>"; when
// the file named by the second argument appears, the dialog is cancelled and the program ends.
//
//   wine_dialog_demo.exe <model folder> <stop file>
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/plugin_library.h"
#include "window_driver.h"
#include "writer/app_writer.h"
#include "writer/samples.h"

namespace {

using namespace vexmara;

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::vector<uint8_t> TexFile(int32_t id) {
  std::vector<uint8_t> bytes(64, 0);
  for (int i = 0; i < 4; ++i) bytes[size_t(16 + i)] = uint8_t(uint32_t(id) >> (8 * i));
  return bytes;
}

std::string Utf8(const std::wstring& text) {
  std::string out(text.size() * 3 + 1, '\0');
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), out.data(),
                                    int(out.size()), nullptr, nullptr);
  out.resize(size_t(n > 0 ? n : 0));
  return out;
}

// A knight: a skinned grid over a chain of bones, with armour, cloak and blade materials.
writer::AppModel KnightModel() {
  writer::SampleModelShape shape;
  shape.vertices = 1500;
  shape.bones = 14;
  shape.materials = 3;
  shape.firstTextureId = 1000;
  writer::AppModel model = writer::SampleModel(shape);
  const char* names[] = {"armour", "cloak", "blade"};
  for (size_t m = 0; m < model.materials.size() && m < 3; ++m) {
    const std::string old = model.materials[m].name;
    model.materials[m].name = names[m];
    for (auto& geoset : model.geosets) {
      for (auto& submesh : geoset.submeshes) {
        if (submesh.materialName == old) submesh.materialName = names[m];
      }
    }
  }
  return model;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: wine_dialog_demo <model folder> <stop file>\n");
    return 2;
  }
  std::wstring folder = argv[1];
  if (folder.back() != L'\\') folder += L'\\';
  const std::wstring stopFile = argv[2];
  for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos;
       at = folder.find(L'\\', at + 1)) {
    CreateDirectoryW(folder.substr(0, at).c_str(),
                     nullptr);  // each level, the drive's root excepted
  }
  const std::wstring modelPath = folder + L"knight.app";
  if (!WriteBytes(modelPath, writer::WriteAppFile(KnightModel())) ||
      !WriteBytes(folder + L"knight_armour.tex", TexFile(1000)) ||
      !WriteBytes(folder + L"knight_blade.tex", TexFile(1002))) {
    std::fprintf(stderr, "cannot write the sample files in %s\n", Utf8(folder).c_str());
    return 1;
  }

  OleInitialize(nullptr);
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring library = program;
  library = library.substr(0, library.find_last_of(L'\\') + 1) + L"vexmara_64.dlx";
  host::PluginLibrary plugin;
  if (const host::PluginLibrary::LoadResult loaded = plugin.Load(Utf8(library)); !loaded.ok()) {
    std::fprintf(stderr, "cannot load the plug-in: %s\n", loaded.message.c_str());
    return 1;
  }
  host::Host host;
  if (host.Register(plugin) != 1) {
    std::fprintf(stderr, "the plug-in did not register\n");
    return 1;
  }
  HWND mainWindow = CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200,
                                    nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  host.SetMainWindow(mainWindow);
  host.SetModelPath(std::u16string(modelPath.begin(), modelPath.end()));
  if (host.Read() != 1) {
    std::fprintf(stderr, "the sample model was not read: %s\n", host.ErrorTextNarrow().c_str());
    return 1;
  }

  bool shown = false;
  wine_test::DriverThread driver([&] {
    HWND dialog = wine_test::WaitForWindow(L"Import Karnath III Model", 60000);
    if (dialog == nullptr) return;
    shown = true;
    RECT r;
    GetWindowRect(dialog, &r);
    std::printf("dialog %ld %ld %ld %ld\n", long(r.left), long(r.top), long(r.right - r.left),
                long(r.bottom - r.top));
    std::fflush(stdout);
    wine_test::WaitUntil(
        [&] { return GetFileAttributesW(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES; }, 120000);
    wine_test::PressButton(dialog, IDCANCEL);
  });
  const int32_t result = host.Import(plugin.Instance());
  driver.Join();
  DestroyWindow(mainWindow);
  OleUninitialize();
  std::printf("import %d\n", int(result));
  return shown && result == 2 ? 0 : 1;
}

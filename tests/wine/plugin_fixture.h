// The plug-in library vexmara_64.dlx loaded by the reference host under Windows (Wine), with a
// folder of files for each test and imports whose real dialog is driven from a second thread.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/plugin_library.h"
#include "window_driver.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"

namespace vexmara::wine_test {

inline constexpr wchar_t kDialogCaption[] = L"Import Karnath III Model";
inline constexpr wchar_t kPluginFileName[] = L"vexmara_64.dlx";

// The dialog's controls, as a user of template 100 knows them.
enum Control : int {
  kImport = 1,
  kCancel = 2,
  kGeosets = 1002,
  kTextureCount = 1003,
  kBones = 1004,
  kMaterials = 1005,
  kVertices = 1006,
  kTriangles = 1007,
  kSwapModel = 3031,
  kSubmeshesAsGroups = 3035,
  kExtractAlphaMaps = 3037,
  kTextureDirectory = 4001,
  kBrowseTextures = 4002,
  kPickAnimations = 5001,
  kAnimationFiles = 5002,
  kTextureList = 6001,
};

std::string Utf8(const std::wstring& text);
std::u16string Units(const std::wstring& text);
// The folder of this program, ending in "\".
std::wstring ProgramDirectory();
std::wstring CurrentDirectory();
// The folder holding each test's folder. It lies at the top of drive C: rather than in the
// temporary folder, through whose place in the shell's namespace the folder browser does not
// always find its way under Wine.
std::wstring TestRoot();

// A tex file: only the signed 32-bit identifier at byte 16 means anything.
std::vector<uint8_t> TexFile(int32_t id);

// Materials Alpha (no texture slots), Beta (texture 20) and Gamma (texture 30); bones root and
// arm; a fan of 4 vertices (2 triangles) with material Beta in geoset 0 and a fan of 3 (1
// triangle) with material Gamma in geoset 1. Vertex i of a fan lies at (i, 2i, 3i).
writer::AppModel DialogModel();
// An animation named `name` with one track for the bone "root".
writer::AniFile NamedAnimation(const std::string& name);

// What a dialog showed, read from its controls.
struct DialogView {
  std::wstring geosets, vertices, triangles, materials, bones, textureCount;
  std::wstring textureDirectory, animationFiles;
  std::vector<std::wstring> textureLines;
  int selectedLine = -1;
  bool swapModel = false, submeshesAsGroups = false, extractAlphaMaps = false;
};
DialogView ReadDialog(HWND dialog);

class WinePlugin : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::wstring Path(const std::wstring& relative) const { return directory_ + relative; }
  // Writes a file (and its folders) in this test's folder; returns its full path.
  std::wstring WriteFile(const std::wstring& relative, const std::vector<uint8_t>& bytes);
  std::wstring WriteAnimation(const std::wstring& relative, const std::string& name);
  void MakeFolder(const std::wstring& relative);
  // Writes the model (as `relative` in this test's folder) and sends the read message.
  void ReadModel(const writer::AppModel& model, const std::wstring& relative = L"model.app");

  // The import message. `drive` runs on a second thread with the dialog once it shows; it
  // should end the dialog. A dialog that never shows, or that `drive` leaves open, fails the
  // test and is cancelled (with any picker still open) so that the import returns.
  int32_t Import(const std::function<void(HWND dialog)>& drive);
  // Read (from `relative` in the test's folder), then import pressing "Import" with the boxes as
  // shown; what the dialog showed is returned in `shown`.
  int32_t ImportAsShown(const writer::AppModel& model, DialogView* shown,
                        const std::wstring& relative = L"model.app");

  host::PluginLibrary library_;
  std::unique_ptr<host::Host> host_;
  std::wstring directory_;  // this test's folder, ending in "\"
  std::wstring originalDirectory_;
  HWND mainWindow_ = nullptr;  // the host's main window, owner of the dialog
};

}  // namespace vexmara::wine_test

// The real plug-in library, loaded and registered by a fresh reference host for each test, with
// a folder of its own for the files the test writes and the import dialog answering as scripted.
// After each test the host must hold no image, no call of a slot outside the interface, no
// misuse of its objects and no write into an array it has moved.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/plugin_library.h"
#include "scratch_folder.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"

namespace vexmara::testing {

// The library's scripted stand-in for the import dialog, exported as "SetScriptedDialog" by
// builds without a window system. Declared here from its published layout.
struct ScriptedDialog {
  int32_t result;                    // 1 "Import", 0 "Cancel", -1 the dialog could not be created
  const uint16_t* textureDirectory;  // non-null: the folder picker returns this path
  int32_t animationFileCount;        // > 0: the file picker returns these full paths
  const uint16_t* const* animationFiles;
  int32_t swapModel;  // 1 checked, 0 unchecked, -1 left as shown
  int32_t submeshesAsGroups;
  int32_t extractAlphaMaps;
};
static_assert(sizeof(ScriptedDialog) == 48);
using SetScriptedDialogFunction = void (*)(const ScriptedDialog*);

// What the dialog does in one import. Boxes default to unchecked so that positions come back
// as the model file has them; -1 leaves a box as the dialog shows it.
struct DialogScript {
  int32_t result = 1;
  std::optional<std::u16string> textureDirectory;
  std::vector<std::u16string> animationFiles;
  int32_t swapModel = 0;
  int32_t submeshesAsGroups = 0;
  int32_t extractAlphaMaps = 0;
};

class LoadedPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    original_directory_ = std::filesystem::current_path();
    const auto libraryLoaded = library_.Load(VEXMARA_PLUGIN_PATH);
    ASSERT_TRUE(libraryLoaded.ok()) << libraryLoaded.message;
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    set_script_ = reinterpret_cast<SetScriptedDialogFunction>(
        dlsym(library_.Instance(), "SetScriptedDialog"));
    ASSERT_NE(set_script_, nullptr) << "the library exports SetScriptedDialog";
    directory_ = scratch_.path();
    // Saved alpha maps become real files, so they can be found beside their images.
    host_->SetSaveImageWritesFiles(true);
  }

  void TearDown() override {
    if (set_script_ != nullptr) set_script_(nullptr);
    if (host_) {
      EXPECT_TRUE(host_->UnexpectedCalls().empty())
          << "the plug-in called a slot outside the interface";
      EXPECT_TRUE(host_->Misuses().empty())
          << (host_->Misuses().empty() ? "" : host_->Misuses().front());
      EXPECT_EQ(host_->LiveImageCount(), 0) << "an image was not released";
      EXPECT_TRUE(host_->EveryImageReleasedOnce());
      EXPECT_TRUE(host_->RetiredArraysUntouched()) << "the plug-in wrote into a moved host array";
    }
    host_.reset();
    // A build that had materials leaves the process in the model's folder.
    std::filesystem::current_path(original_directory_);
  }

  // Writes `bytes` at `relative` inside this test's folder and returns the full path.
  std::filesystem::path WriteFile(const std::filesystem::path& relative,
                                  const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = directory_ / relative;
    std::filesystem::create_directories(path.parent_path());
    EXPECT_TRUE(writer::SaveBytes(path.string(), bytes)) << path;
    return path;
  }

  std::u16string WriteAnimation(const std::string& name, const writer::AniFile& file) {
    return WriteFile(name, writer::WriteAniFile(file)).u16string();
  }

  // The read message for the file at `path`.
  int32_t ReadModel(const std::filesystem::path& path) {
    host_->SetModelPath(path.u16string());
    return host_->Read();
  }

  // Writes the model as model.app (in `subdirectory` of the test folder) and reads it.
  void ReadModel(const writer::AppModel& model, const std::filesystem::path& subdirectory = {}) {
    model_path_ = WriteFile(subdirectory / "model.app", writer::WriteAppFile(model));
    ASSERT_EQ(ReadModel(model_path_), 1) << "the model file is read";
  }

  // The import message with the dialog answering as scripted.
  int32_t Import(const DialogScript& script) {
    std::vector<const uint16_t*> files;
    for (const std::u16string& file : script.animationFiles) files.push_back(Units(file));
    ScriptedDialog dialog{};
    dialog.result = script.result;
    dialog.textureDirectory = script.textureDirectory ? Units(*script.textureDirectory) : nullptr;
    dialog.animationFileCount = int32_t(files.size());
    dialog.animationFiles = files.empty() ? nullptr : files.data();
    dialog.swapModel = script.swapModel;
    dialog.submeshesAsGroups = script.submeshesAsGroups;
    dialog.extractAlphaMaps = script.extractAlphaMaps;
    set_script_(&dialog);
    return host_->Import(library_.Instance());
  }

  int32_t ReadAndImport(const writer::AppModel& model, const DialogScript& script) {
    ReadModel(model);
    if (::testing::Test::HasFatalFailure()) return -100;
    return Import(script);
  }

  std::u16string Path(const std::string& relative) const {
    return (directory_ / relative).u16string();
  }

  static const uint16_t* Units(const std::u16string& text) {
    return reinterpret_cast<const uint16_t*>(text.c_str());
  }

  host::PluginLibrary library_;
  std::unique_ptr<host::Host> host_;
  SetScriptedDialogFunction set_script_ = nullptr;
  ScratchFolder scratch_;
  std::filesystem::path directory_;
  std::filesystem::path model_path_;
  std::filesystem::path original_directory_;
};

}  // namespace vexmara::testing

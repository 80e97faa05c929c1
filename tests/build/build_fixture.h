// Imports through the real library, loaded and registered by the reference host: a model file
// is written and read, the import dialog answers as scripted, and the host's objects are read
// back afterwards.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/plugin_library.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"

namespace vexmara::build_test {

// The library's scripted stand-in for the import dialog (exported as SetScriptedDialog).
struct ScriptedDialog {
  int32_t result;                    // 1 "Import", 0 "Cancel", -1 the dialog could not be created
  const uint16_t* textureDirectory;  // non-null: the folder picker returns this path
  int32_t animationFileCount;        // > 0: the file picker returns these full paths
  const uint16_t* const* animationFiles;
  int32_t swapModel;  // 1 checked, 0 unchecked, -1 left as shown
  int32_t submeshesAsGroups;
  int32_t extractAlphaMaps;
};
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

// Host time of a key at frame-scale time t: t × 1/15 in single precision.
inline float HostTime(float t) { return t * std::bit_cast<float>(0x3D888889u); }

// Key values as arrays.
inline std::array<float, 3> Value(const host::HostVectorKey& key) { return {key.x, key.y, key.z}; }
inline std::array<float, 4> Value(const host::HostRotationKey& key) { return {key.x, key.y, key.z, key.w}; }

template <size_t N>
void ExpectNear(const std::array<float, N>& actual, const std::array<float, N>& expected, float tolerance,
                const std::string& what) {
  for (size_t i = 0; i < N; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " [" << i << "]";
}

// A tex file: only the signed 32-bit identifier at byte 16 means anything.
inline std::vector<uint8_t> TexFile(int32_t id) {
  std::vector<uint8_t> bytes(24, 0);
  for (int i = 0; i < 4; ++i) bytes[size_t(16 + i)] = uint8_t(uint32_t(id) >> (8 * i));
  return bytes;
}

class SceneBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    original_directory_ = std::filesystem::current_path();
    ASSERT_TRUE(library_.Load(VEXMARA_PLUGIN_PATH)) << library_.LoadError();
    host_ = std::make_unique<host::Host>();
    ASSERT_EQ(host_->Register(library_), 1);
    set_script_ = reinterpret_cast<SetScriptedDialogFunction>(dlsym(library_.Instance(), "SetScriptedDialog"));
    ASSERT_NE(set_script_, nullptr) << "the library exports SetScriptedDialog";
    directory_ = std::filesystem::temp_directory_path() /
                 ("vexmara_build_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
    // Saved alpha maps become real files, so they can be found beside their images.
    host_->SetSaveImageWritesFiles(true);
  }

  void TearDown() override {
    if (set_script_ != nullptr) set_script_(nullptr);
    if (host_) {
      EXPECT_TRUE(host_->UnexpectedCalls().empty()) << "the plug-in called a slot outside the interface";
      EXPECT_TRUE(host_->Misuses().empty()) << (host_->Misuses().empty() ? "" : host_->Misuses().front());
      EXPECT_EQ(host_->LiveImageCount(), 0) << "an image was not released";
      EXPECT_TRUE(host_->EveryImageReleasedOnce());
      EXPECT_TRUE(host_->RetiredArraysUntouched()) << "the plug-in wrote into a moved host array";
    }
    host_.reset();
    std::filesystem::current_path(original_directory_);
    std::filesystem::remove_all(directory_);
  }

  std::filesystem::path WriteFile(const std::filesystem::path& relative, const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path = directory_ / relative;
    std::filesystem::create_directories(path.parent_path());
    EXPECT_TRUE(writer::SaveBytes(path.string(), bytes)) << path;
    return path;
  }

  std::u16string WriteAnimation(const std::string& name, const writer::AniFile& file) {
    return WriteFile(name, writer::WriteAniFile(file)).u16string();
  }

  // Writes the model as model.app (in `subdirectory` of the test folder) and reads it.
  void ReadModel(const writer::AppModel& model, const std::filesystem::path& subdirectory = {}) {
    model_path_ = WriteFile(subdirectory / "model.app", writer::WriteAppFile(model));
    host_->SetModelPath(model_path_.u16string());
    ASSERT_EQ(host_->Read(), 1) << "the model file is read";
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

  // How many objects the plug-in asked the host to create, over all kinds.
  int CreationCount() const {
    using host::Operation;
    int n = 0;
    for (Operation op : {Operation::CreateMaterial, Operation::CreateGroup, Operation::CreateBone,
                         Operation::CreateAnimation, Operation::CreateMesh, Operation::SetVertexCount,
                         Operation::LoadImage, Operation::SaveImage}) {
      n += host_->CallCount(op);
    }
    return n;
  }

  std::u16string Path(const std::string& relative) const { return (directory_ / relative).u16string(); }

  static const uint16_t* Units(const std::u16string& text) { return reinterpret_cast<const uint16_t*>(text.c_str()); }

  host::PluginLibrary library_;
  std::unique_ptr<host::Host> host_;
  SetScriptedDialogFunction set_script_ = nullptr;
  std::filesystem::path directory_;
  std::filesystem::path model_path_;
  std::filesystem::path original_directory_;
};

// ---- Model descriptions ------------------------------------------------------------------------

inline writer::AppBone MakeBone(const std::string& name, int32_t parent, std::array<float, 3> translation,
                                std::array<float, 4> rotation = {0, 0, 0, 1}, float scale = 1) {
  writer::AppBone bone;
  bone.name = name;
  bone.parentIndex = parent;
  bone.bindTransform.translation = translation;
  bone.bindTransform.rotation = rotation;
  bone.bindTransform.scale = scale;
  return bone;
}

inline writer::AppMaterial MakeMaterial(const std::string& name, std::vector<int32_t> textureIds = {}) {
  writer::AppMaterial material;
  material.name = name;
  writer::AppVariant variant;
  variant.textureIds = std::move(textureIds);
  material.variants.push_back(variant);
  return material;
}

// A submesh of `vertexCount` vertices along x (vertex i at (i, 2i, 3i) with texture coordinates
// (64.5 + i, 128)), fanned into triangles (0, i, i + 1).
inline writer::AppSubmesh MakeFan(const std::string& materialName, int vertexCount) {
  writer::AppSubmesh submesh;
  submesh.materialName = materialName;
  for (int i = 0; i < vertexCount; ++i) {
    submesh.vertices.push_back(writer::MakeVertex(float(i), float(2 * i), float(3 * i), 64.5f + float(i), 128.0f));
  }
  for (int i = 1; i + 1 < vertexCount; ++i) submesh.triangles.push_back({0, uint16_t(i), uint16_t(i + 1)});
  return submesh;
}

}  // namespace vexmara::build_test

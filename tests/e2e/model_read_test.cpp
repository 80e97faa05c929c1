// The host's read message, end to end: the real library reads model files named by the context.
#include <gtest/gtest.h>

#include "loaded_plugin.h"
#include "writer/app_writer.h"

namespace vexmara {
namespace {

using testing::LoadedPlugin;
using namespace vexmara::writer;

AppModel MinimalModel() {
  AppModel model;
  AppBone root;
  root.name = "root";
  model.bones.push_back(root);
  return model;
}

TEST_F(LoadedPlugin, ReadsTheMinimalModelFile) {
  const auto bytes = WriteAppFile(MinimalModel());
  ASSERT_EQ(bytes.size(), 856u);
  EXPECT_EQ(ReadModel(WriteFile("minimal.app", bytes)), 1);
  EXPECT_EQ(host_->ErrorTextWide(), u"");
  EXPECT_EQ(host_->ErrorTextNarrow(), "");
}

TEST_F(LoadedPlugin, MissingFileReportsThatItCannotBeOpened) {
  EXPECT_EQ(ReadModel(directory_ / "nowhere.app"), 0);
  EXPECT_EQ(host_->ErrorTextWide(), u"Could not open file for reading.");
  EXPECT_EQ(host_->ErrorTextNarrow(), "Could not open file for reading.");
}

TEST_F(LoadedPlugin, ModelWithoutGeometryOrBonesIsReported) {
  EXPECT_EQ(ReadModel(WriteFile("empty.app", WriteAppFile(AppModel{}))), 0);
  EXPECT_EQ(host_->ErrorTextWide(), u"No geometry or bones found.");
  EXPECT_EQ(host_->ErrorTextNarrow(), "No geometry or bones found.");
}

TEST_F(LoadedPlugin, MalformedFilesFailWithoutErrorText) {
  auto bytes = WriteAppFile(MinimalModel());
  const std::vector<std::vector<uint8_t>> files = {
      {bytes.begin(), bytes.begin() + 16}, {bytes.begin(), bytes.end() - 1}, {}};
  int i = 0;
  for (const auto& file : files) {
    EXPECT_EQ(ReadModel(WriteFile("bad" + std::to_string(i++) + ".app", file)), 0) << file.size();
    EXPECT_EQ(host_->ErrorTextWide(), u"") << file.size();
  }
}

TEST_F(LoadedPlugin, PathsWithBackslashesAndNonAsciiNamesOpen) {
  std::filesystem::create_directories(directory_ / "mod\u00e8les");
  WriteFile("mod\u00e8les/hero.app", WriteAppFile(MinimalModel()));
  std::u16string path = directory_.u16string() + u"\\mod\u00e8les\\hero.app";
  host_->SetModelPath(path);
  EXPECT_EQ(host_->Read(), 1);
  EXPECT_EQ(host_->ErrorTextWide(), u"");
}

TEST_F(LoadedPlugin, SecondReadReplacesTheFirst) {
  const auto good = WriteFile("good.app", WriteAppFile(MinimalModel()));
  EXPECT_EQ(ReadModel(good), 1);
  EXPECT_EQ(ReadModel(WriteFile("cut.app", std::vector<uint8_t>(100, 0))), 0);
  EXPECT_EQ(ReadModel(good), 1);
}

}  // namespace
}  // namespace vexmara

namespace vexmara {
namespace {

TEST_F(LoadedPlugin, MinimalModelImportsAsOneRootBoneAtTheIdentity) {
  testing::DialogScript script;  // "Swap model" off: the bone stays as the file has it
  ASSERT_EQ(ReadAndImport(MinimalModel(), script), 1);
  const auto bones = host_->Bones();
  ASSERT_EQ(bones.size(), 1u);
  EXPECT_EQ(bones[0].narrowName, "root");
  EXPECT_LT(bones[0].parentIndex, 0);
  const std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_EQ(bones[0].worldMatrix, identity);
  EXPECT_TRUE(host_->Meshes().empty());
  EXPECT_TRUE(host_->Materials().empty());
}

}  // namespace
}  // namespace vexmara

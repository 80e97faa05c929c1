// Odd but readable models through vexmara-import's glTF export, each written by the project's
// writers: every .glb must pass the in-process check and the Khronos validator with no error and
// no warning, load in assimp (unless assimp refuses that shape of scene) and load in Blender.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gltf_clients.h"
#include "odd_models.h"
#include "run_program.h"
#include "scratch_folder.h"
#include "tests/support/gltf_check.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"
#include "writer/samples.h"

namespace vexmara::testing {
namespace {

namespace fs = std::filesystem;
using odd::OddModel;
using odd::OddModels;

// The JSON chunk of a .glb.
nlohmann::json GlbJson(const std::string& bytes) {
  if (bytes.size() < 20) return nlohmann::json();
  const auto le32 = [&](size_t at) {
    return std::uint32_t(std::uint8_t(bytes[at])) |
           std::uint32_t(std::uint8_t(bytes[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(bytes[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(bytes[at + 3])) << 24;
  };
  return nlohmann::json::parse(bytes.substr(20, le32(12)), nullptr, false);
}

class OddModelExport : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = scratch_.path(); }

  ScratchFolder scratch_;
  fs::path folder_;
};

TEST_F(OddModelExport, EveryOddModelExportsAValidGlbThatAssimpAndBlenderLoad) {
  const std::vector<OddModel> models = OddModels();
  std::vector<fs::path> outputs;
  for (size_t i = 0; i < models.size(); ++i) {
    const OddModel& odd = models[i];
    SCOPED_TRACE(odd.name);
    const fs::path dir = folder_ / ("model_" + std::to_string(i));
    fs::create_directories(dir);
    ASSERT_TRUE(writer::SaveBytes((dir / "odd.app").string(), writer::WriteAppFile(odd.model())));
    if (odd.textures) odd.textures(dir);
    std::vector<std::string> arguments{(dir / "odd.app").string()};
    for (size_t a = 0; a < odd.animations.size(); ++a) {
      const fs::path file = dir / ("anim_" + std::to_string(a) + ".ani");
      ASSERT_TRUE(writer::SaveBytes(file.string(), writer::WriteAniFile(odd.animations[a])));
      arguments.insert(arguments.end(), {"--anim", file.string()});
    }
    const fs::path output = dir / "odd.glb";
    arguments.insert(arguments.end(), {"-o", output.string()});
    arguments.insert(arguments.end(), odd.arguments.begin(), odd.arguments.end());
    const ProgramRun run = RunProgram(VEXMARA_IMPORT_PATH, arguments, folder_);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    outputs.push_back(output);

    cli::MemoryFiles files;
    const std::string bytes = ReadWhole(output);
    files.Begin(output);
    files.Write(bytes.data(), bytes.size());
    EXPECT_EQ(CheckGltf(files, output), std::vector<std::string>{});
    const nlohmann::json document = GlbJson(bytes);
    ASSERT_TRUE(document.is_object());
    if (odd.expect) odd.expect(document);

    const AssimpInfo assimp = AssimpLoad(output, folder_);
    if (odd.assimpRefuses != nullptr) {
      EXPECT_FALSE(assimp.loaded) << "assimp now loads this shape:\n" << assimp.output;
      EXPECT_NE(assimp.output.find(odd.assimpRefuses), std::string::npos) << assimp.output;
    } else {
      EXPECT_TRUE(assimp.loaded) << assimp.output;
    }
  }
  ASSERT_EQ(outputs.size(), models.size());

  const auto reports = ValidateGltf(outputs, folder_);
  const auto built = BlenderImport(outputs, folder_);
  for (size_t i = 0; i < models.size(); ++i) {
    SCOPED_TRACE(models[i].name);
    const std::string file = outputs[i].string();
    const nlohmann::json report = reports.count(file) ? reports.at(file) : nlohmann::json();
    EXPECT_EQ(report["errors"], 0) << report.dump(2);
    EXPECT_EQ(report["warnings"], 0) << report.dump(2);
    const nlohmann::json scene = built.count(file) ? built.at(file) : nlohmann::json();
    ASSERT_TRUE(scene.is_object());
    EXPECT_TRUE(scene["error"].is_null()) << scene["error"];
  }
}

}  // namespace
}  // namespace vexmara::testing

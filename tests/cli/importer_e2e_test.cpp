// vexmara-import run as a user runs it, on the sample made by the project's writers, with its
// files checked by outside clients: the Khronos glTF Validator and assimp.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gltf_clients.h"
#include "odd_models.h"
#include "run_program.h"
#include "scratch_folder.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"
#include "writer/samples.h"

namespace vexmara::testing {
namespace {

namespace fs = std::filesystem;

class Importer : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_.path();
    const ProgramRun made = RunProgram(VEXMARA_MAKE_SAMPLE_PATH, {"sample"}, folder_);
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }

  ProgramRun Import(const std::vector<std::string>& arguments) {
    return RunProgram(VEXMARA_IMPORT_PATH, arguments, folder_);
  }

  // The Khronos validator's report of one file.
  nlohmann::json Validate(const fs::path& file) {
    return ValidateGltf({file}, folder_)[file.string()];
  }

  nlohmann::json ReadJson(const fs::path& file) {
    return nlohmann::json::parse(ReadWhole(file), nullptr, false);
  }

  ScratchFolder scratch_;
  fs::path folder_;
};

TEST_F(Importer, PrintsWhatTheDialogShowsThenTheOutcomeAndWritesBesideTheCallersPaths) {
  const ProgramRun run = Import({"sample/sample.app", "--anim", "sample/sample.ani", "-o",
                                 "out/sample.glb", "--json", "out/scene.json"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string sample = (folder_ / "sample").string();
  const std::string expected =
      "Import Karnath III Model\n"
      "  Info\n"
      "    geosets:   2\n"
      "    vertices:  234\n"
      "    triangles: 384\n"
      "    materials: 2\n"
      "    bones:     4\n"
      "  Texture Directory\n"
      "    " +
      sample +
      "/\n"
      "    Textures:  2\n"
      "      lower.tex\n"
      "      upper.tex\n"
      "  Animations\n"
      "    " +
      sample +
      "/sample.ani\n"
      "  Options\n"
      "    [x] Swap model\n"
      "    [ ] Import submeshes as groups\n"
      "    [ ] Extract alpha maps\n"
      "Imported sample/sample.app: 2 materials, 2 groups, 234 vertices, 2 meshes, 4 bones, 1 "
      "animation; "
      "wrote out/sample.glb (2 meshes, 2 primitives, 234 vertices, 2 textured materials, 4 joints, "
      "1 animation)\n";
  EXPECT_EQ(run.out, expected);
  // The import moved the current directory to the model's folder; the outputs are still where
  // the caller's relative paths put them.
  for (const char* file : {"out/sample.glb", "out/scene.json"}) {
    EXPECT_TRUE(fs::exists(folder_ / file)) << file;
  }
  EXPECT_FALSE(fs::exists(folder_ / "sample" / "out"));
  EXPECT_FALSE(fs::exists(folder_ / "out/sample_lower.png")) << "a .glb holds its images";

  const auto scene = ReadJson(folder_ / "out/scene.json");
  ASSERT_FALSE(scene.is_discarded());
  EXPECT_EQ(scene["materials"].size(), 2u);
  EXPECT_EQ(scene["vertices"].size(), 234u);
  EXPECT_EQ(scene["bones"].size(), 4u);
  EXPECT_EQ(scene["animations"].size(), 1u);
  EXPECT_EQ(scene["materials"][0]["textureSlots"][0]["path"], sample + "/lower.tga");
}

TEST_F(Importer, TheSampleAsGlbAndAsGltfPassesTheValidatorAndAssimpReadsItsCounts) {
  for (const char* output : {"out/sample.glb", "out/sample.gltf"}) {
    SCOPED_TRACE(output);
    const ProgramRun run =
        Import({"sample/sample.app", "--anim", "sample/sample.ani", "-o", output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto report = Validate(folder_ / output);
    EXPECT_EQ(report["errors"], 0) << report.dump(2);
    EXPECT_EQ(report["warnings"], 0) << report.dump(2);

    AssimpInfo info = AssimpLoad(folder_ / output, folder_);
    EXPECT_EQ(info.counts["Meshes"], 2);  // one per material
    EXPECT_EQ(info.counts["Materials"], 2);
    EXPECT_EQ(info.counts["Vertices"], 234);
    EXPECT_EQ(info.counts["Faces"], 384);
    EXPECT_EQ(info.counts["Animations"], 1);
    EXPECT_EQ(info.counts["Animation Channels"], 4);  // every bone has a track
    EXPECT_EQ(info.bonesPerMesh, (std::vector<int>{4, 4}));
  }
  EXPECT_TRUE(fs::exists(folder_ / "out/sample.bin"));
}

TEST_F(Importer, BlenderBuildsTheSampleAndAGlbCopiedAloneKeepsItsTextures) {
  for (const char* output : {"out/sample.glb", "out/sample.gltf"}) {
    const ProgramRun run =
        Import({"sample/sample.app", "--anim", "sample/sample.ani", "-o", output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  // A .glb is copied alone, away from the model's folder and its textures.
  fs::create_directories(folder_ / "alone");
  fs::copy_file(folder_ / "out/sample.glb", folder_ / "alone/sample.glb");
  const std::vector<fs::path> files = {folder_ / "alone/sample.glb", folder_ / "out/sample.gltf"};
  const auto built = BlenderImport(files, folder_);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    const nlohmann::json scene =
        built.count(file.string()) ? built.at(file.string()) : nlohmann::json();
    ASSERT_TRUE(scene.is_object());
    EXPECT_TRUE(scene["error"].is_null()) << scene["error"];
    ASSERT_EQ(scene["armatures"].size(), 1u) << scene.dump(2);
    EXPECT_EQ(scene["armatures"][0]["bones"], 4);
    // The two halves of the tube, each skinned to the armature.
    ASSERT_EQ(scene["meshes"].size(), 2u) << scene.dump(2);
    int vertices = 0, faces = 0;
    for (const auto& mesh : scene["meshes"]) {
      vertices += mesh["vertices"].get<int>();
      faces += mesh["faces"].get<int>();
      EXPECT_EQ(mesh["armature"], scene["armatures"][0]["name"]) << mesh.dump();
    }
    EXPECT_EQ(vertices, 234);
    EXPECT_EQ(faces, 384);
    EXPECT_EQ(scene["actions"].size(), 1u) << scene.dump(2);
    ASSERT_EQ(scene["materials"].size(), 2u) << scene.dump(2);
    for (const auto& material : scene["materials"]) {
      ASSERT_EQ(material["images"].size(), 1u) << material.dump();
      EXPECT_EQ(material["images"][0]["pixels"], true) << material.dump();
      EXPECT_EQ(material["images"][0]["width"], 64) << material.dump();
    }
  }
}

TEST_F(Importer, ReadFailuresNameTheFileInThePluginsOwnWords) {
  // A model with neither geosets nor bones.
  ASSERT_TRUE(writer::SaveBytes((folder_ / "empty.app").string(),
                                writer::WriteAppFile(writer::AppModel{})));
  struct Case {
    const char* model;
    const char* said;
  };
  for (const Case& c : {Case{"missing.app", "Could not open file for reading."},
                        Case{"empty.app", "No geometry or bones found."}}) {
    const ProgramRun run = Import({c.model, "-o", "out/never.glb"});
    EXPECT_EQ(run.exitCode, 1) << c.model;
    EXPECT_EQ(run.err, std::string("vexmara-import: ") + c.model + ": " + c.said + "\n");
    EXPECT_EQ(run.out, "") << "no dialog opens when the read fails";
  }
  EXPECT_FALSE(fs::exists(folder_ / "out/never.glb"));
}

TEST_F(Importer, UsageErrorsExitWithTwoWithoutImporting) {
  const ProgramRun run = Import({"sample/sample.app", "-o", "out/sample.fbx"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find(".glb or .gltf"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  const ProgramRun help = Import({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--anim FILE.ani"), std::string::npos) << help.out;
}

TEST_F(Importer, TheThreeOptionsSetTheDialogsBoxes) {
  // One material in two submeshes: one group per material, or two with submeshes as groups.
  writer::AppModel model;
  writer::AppSubmesh submesh;
  submesh.materialName = "lower";
  submesh.vertices = {writer::MakeVertex(0, 0, 0, 0, 0), writer::MakeVertex(1, 0, 0, 1, 0),
                      writer::MakeVertex(0, 0, 2, 0, 1)};
  submesh.triangles = {{0, 1, 2}};
  model.geosets[0].submeshes = {submesh, submesh};
  model.materials = {writer::AppMaterial{"lower", {writer::AppVariant{{1000}, {}}}, {}}};
  model.variantNames = {"default"};
  ASSERT_TRUE(
      writer::SaveBytes((folder_ / "sample/pair.app").string(), writer::WriteAppFile(model)));

  const ProgramRun plain = Import({"sample/pair.app", "--json", "plain.json"});
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_NE(
      plain.out.find(
          "    [x] Swap model\n    [ ] Import submeshes as groups\n    [ ] Extract alpha maps\n"),
      std::string::npos)
      << plain.out;
  EXPECT_NE(plain.out.find("1 material, 1 group,"), std::string::npos) << plain.out;
  EXPECT_FALSE(fs::exists(folder_ / "sample/lower_A.tga"));

  const ProgramRun all =
      Import({"sample/pair.app", "--no-swap", "--groups", "--alpha", "--json", "all.json"});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  EXPECT_NE(
      all.out.find(
          "    [ ] Swap model\n    [x] Import submeshes as groups\n    [x] Extract alpha maps\n"),
      std::string::npos)
      << all.out;
  EXPECT_NE(all.out.find("1 material, 2 groups,"), std::string::npos) << all.out;
  // The alpha map the plug-in asked the host to save, beside the texture.
  EXPECT_TRUE(fs::exists(folder_ / "sample/lower_A.tga"));
  // The model's up axis is z; swapped it becomes y.
  const auto swapped = ReadJson(folder_ / "plain.json")["vertices"][2]["position"];
  const auto unswapped = ReadJson(folder_ / "all.json")["vertices"][2]["position"];
  EXPECT_EQ(swapped, nlohmann::json::parse("[0.0, 2.0, 0.0]"));
  EXPECT_EQ(unswapped, nlohmann::json::parse("[0.0, 0.0, 2.0]"));
}

TEST_F(Importer, TexturesAreLookedForInTheGivenFolderAndMarkedWhenNotFound) {
  fs::create_directories(folder_ / "textures");
  for (const char* name : {"lower.tex", "lower.tga", "upper.tex", "upper.tga"}) {
    fs::rename(folder_ / "sample" / name, folder_ / "textures" / name);
  }
  const ProgramRun missing = Import({"sample/sample.app", "-o", "a.glb"});
  ASSERT_EQ(missing.exitCode, 0) << missing.err;
  EXPECT_NE(missing.out.find("    Textures:  2\n      lower*\n      upper*\n"), std::string::npos)
      << missing.out;
  EXPECT_NE(missing.out.find("0 textured materials"), std::string::npos) << missing.out;

  const ProgramRun found = Import({"sample/sample.app", "--textures", "textures", "-o", "b.gltf"});
  ASSERT_EQ(found.exitCode, 0) << found.err;
  EXPECT_NE(found.out.find("  Texture Directory\n    " + (folder_ / "textures").string() +
                           "/\n    Textures:  2\n      lower.tex\n      upper.tex\n"),
            std::string::npos)
      << found.out;
  EXPECT_NE(found.out.find("2 textured materials"), std::string::npos) << found.out;
  EXPECT_TRUE(fs::exists(folder_ / "b_lower.png"));
}

TEST_F(Importer, OneModelTakesTheAnimationFilesThatFitItsBonesAndReportsWhatBecameOfIt) {
  // Beside the sample's own animation, one a folder down that fits too, and two that do not.
  const std::vector<std::string> bones = {"bone_0", "bone_1", "bone_2", "bone_3"};
  fs::create_directories(folder_ / "sample/more");
  fs::create_directories(folder_ / "elsewhere");
  for (const auto& [file, animation] :
       {std::pair{"sample/more/wave.ani", odd::Animation("wave", {"BONE_1", "bone_2"})},
        std::pair{"sample/more/alien.ani", odd::Animation("alien", {"bone_0", "tail"})},
        std::pair{"elsewhere/far.ani", odd::Animation("far", bones)}}) {
    ASSERT_TRUE(writer::SaveBytes((folder_ / file).string(), writer::WriteAniFile(animation)));
  }
  fs::rename(folder_ / "sample/lower.tex", folder_ / "elsewhere/lower.tex");  // not found

  struct Case {
    std::vector<std::string> anims;
    std::vector<std::string> attached;  // as the report names them
  };
  const Case cases[] = {
      {{"--anims", "auto"}, {"sample/more/wave.ani", "sample/sample.ani"}},
      {{"--anims", "elsewhere"}, {"elsewhere/far.ani"}},
      {{"--anims", "auto", "--anims", "elsewhere"},
       {"elsewhere/far.ani", "sample/more/wave.ani", "sample/sample.ani"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"sample/sample.app", "-o", "out/sample.glb", "--report",
                                          "out/report.json"};
    arguments.insert(arguments.end(), c.anims.begin(), c.anims.end());
    const ProgramRun run = Import(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Named from the caller's folder, though the import moves the current one to the model's.
    const nlohmann::json report = ReadJson(folder_ / "out/report.json");
    ASSERT_TRUE(report.is_object()) << run.out;
    const nlohmann::json& model = report["models"].at(0);
    EXPECT_EQ(model["status"], "converted");
    std::vector<std::string> attached;
    for (const auto& entry : model["animations"]) attached.push_back(entry["file"]);
    EXPECT_EQ(attached, c.attached);
    EXPECT_EQ(model["counts"]["animations"], c.attached.size());
    // The glTF's animations, each with the file it came from.
    ASSERT_EQ(model["gltfAnimations"].size(), c.attached.size());
    for (size_t a = 0; a < c.attached.size(); ++a) {
      const std::string file = model["gltfAnimations"][a]["file"];
      EXPECT_EQ(fs::path(file), folder_ / c.attached[a]);
    }
    EXPECT_EQ(
        model["materials"][0],
        (nlohmann::json{{"name", "lower"}, {"texture", ""}, {"listed", ""}, {"missing", true}}));
    EXPECT_EQ(model["materials"][1]["missing"], false);
    EXPECT_EQ(model["materials"][1]["listed"], "upper.tex");
  }
  // A read that fails is reported too.
  ASSERT_TRUE(writer::SaveBytes((folder_ / "sample/broken.app").string(), {1, 2, 3}));
  const ProgramRun broken =
      Import({"sample/broken.app", "--anims", "auto", "--report", "out/broken.json"});
  EXPECT_EQ(broken.exitCode, 1);
  const nlohmann::json failed = ReadJson(folder_ / "out/broken.json")["models"].at(0);
  EXPECT_EQ(failed["status"], "failed");
  EXPECT_EQ(failed["error"], "The model file could not be read.");
}

TEST_F(Importer, ATextureFoundOnlyAsATexFileLeavesItsMaterialUntexturedWithAWarning) {
  fs::remove(folder_ / "sample/upper.tga");
  const ProgramRun run =
      Import({"sample/sample.app", "--anim", "sample/sample.ani", "-o", "out/sample.glb"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "vexmara-import: warning: material \"upper\": " +
                         (folder_ / "sample/upper.tex").string() +
                         " cannot be decoded; the material is left untextured\n");
  EXPECT_NE(run.out.find("1 textured material,"), std::string::npos) << run.out;
  const auto report = Validate(folder_ / "out/sample.glb");
  EXPECT_EQ(report["errors"], 0) << report.dump(2);
}

TEST_F(Importer, AnAnimationFileThatCannotBeReadIsNamedAndTheImportGoesOn) {
  const ProgramRun run =
      Import({"sample/sample.app", "--anim", "sample/none.ani", "--anim", "sample/sample.ani"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err,
            "vexmara-import: warning: sample/none.ani: Could not open file for reading.\n");
  EXPECT_NE(run.out.find("  Animations\n    Multiple files selected\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(", 1 animation\n"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace vexmara::testing

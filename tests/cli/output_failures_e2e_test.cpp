// vexmara-import when an output cannot be written, run as a user runs it, without privileges:
// under a regular file (ENOTDIR) and past a file size limit set in the child (EFBIG, SIGXFSZ
// ignored), for each kind of output. The program exits with 1 and names the file and the
// system's reason in one line; no partial or temporary file stays; an earlier file of the same
// name survives byte for byte; and the summary never says "wrote".
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "run_program.h"
#include "scratch_folder.h"
#include "writer/app_writer.h"
#include "writer/common.h"

namespace vexmara::testing {
namespace {

namespace fs = std::filesystem;

class OutputFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_.path();
    fs::create_directories(folder_ / "out");
    fs::create_directories(folder_ / "empty");
    const ProgramRun made = RunProgram(VEXMARA_MAKE_SAMPLE_PATH, {"sample"}, folder_);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    // A model whose document is long and whose buffer is short: 300 materials, one triangle.
    writer::AppModel many;
    for (int m = 0; m < 300; ++m)
      many.materials.push_back(writer::MakeMaterial("material_" + std::to_string(m)));
    writer::AppSubmesh submesh;
    submesh.materialName = "material_0";
    submesh.vertices = {writer::MakeVertex(0, 0, 0, 0, 0), writer::MakeVertex(1, 0, 0, 1, 0),
                        writer::MakeVertex(0, 1, 0, 0, 1)};
    submesh.triangles = {{0, 1, 2}};
    many.geosets[0].submeshes = {submesh};
    many.variantNames = {"default"};
    ASSERT_TRUE(
        writer::SaveBytes((folder_ / "sample/many.app").string(), writer::WriteAppFile(many)));
  }

  // Puts earlier files in place, each with a content of its own.
  void Plant(const std::vector<std::string>& files) {
    for (const std::string& file : files) {
      ASSERT_TRUE(writer::SaveBytes((folder_ / file).string(),
                                    std::vector<uint8_t>(file.begin(), file.end())));
    }
  }

  // The files in out/, each with its content.
  std::map<std::string, std::string> OutFolder() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder_ / "out")) {
      files[entry.path().filename().string()] = ReadWhole(entry.path());
    }
    return files;
  }

  ScratchFolder scratch_;
  fs::path folder_;
};

struct LimitCase {
  const char* kind;
  std::vector<std::string> arguments;
  rlim_t limit;                      // bytes a file of the child may have
  std::string failing;               // the file named, as given
  std::vector<std::string> earlier;  // files of the output already there
};

TEST_F(OutputFailure, AFileSizeLimitFailsEachKindOfOutputAndLeavesTheEarlierFilesAsTheyWere) {
  const LimitCase cases[] = {
      {".glb",
       {"sample/sample.app", "--anim", "sample/sample.ani", "-o", "out/keep.glb"},
       8192,
       "out/keep.glb",
       {"out/keep.glb"}},
      // The images of a .gltf come first; the earlier document and image must stay.
      {"PNG image",
       {"sample/sample.app", "-o", "out/keep.gltf"},
       200,
       "out/keep_lower.png",
       {"out/keep.gltf", "out/keep_lower.png", "out/keep_upper.png"}},
      // Untextured (no textures in the folder given): the .bin comes first.
      {".bin",
       {"sample/sample.app", "--textures", "empty", "-o", "out/keep.gltf"},
       8192,
       "out/keep.bin",
       {"out/keep.gltf", "out/keep.bin"}},
      // The .bin is written whole before the document fails: both stay as they were.
      {".gltf",
       {"sample/many.app", "-o", "out/keep.gltf"},
       8192,
       "out/keep.gltf",
       {"out/keep.gltf", "out/keep.bin"}},
      {"--json scene",
       {"sample/sample.app", "--json", "out/keep.json"},
       8192,
       "out/keep.json",
       {"out/keep.json"}},
  };
  for (const LimitCase& c : cases) {
    SCOPED_TRACE(c.kind);
    fs::remove_all(folder_ / "out");
    fs::create_directories(folder_ / "out");
    Plant(c.earlier);
    const auto before = OutFolder();
    ProgramOptions options;
    options.fileSizeLimit = c.limit;
    const ProgramRun run = RunProgram(VEXMARA_IMPORT_PATH, c.arguments, folder_, options);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(run.err, "vexmara-import: " + c.failing + ": File too large\n");
    EXPECT_EQ(run.out.find("wrote"), std::string::npos) << run.out;
    EXPECT_EQ(OutFolder(), before) << "no partial or temporary file, every earlier file as it was";
  }
}

TEST_F(OutputFailure, APathUnderARegularFileIsNotADirectory) {
  Plant({"blocker"});
  for (const char* output : {"blocker/x.glb", "blocker/deeper/x.gltf"}) {
    SCOPED_TRACE(output);
    const ProgramRun run =
        RunProgram(VEXMARA_IMPORT_PATH, {"sample/sample.app", "-o", output}, folder_);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    // The images of a .gltf are begun first: the first of them is the file named.
    const std::string named = std::string(output).find(".gltf") != std::string::npos
                                  ? "blocker/deeper/x_lower.png"
                                  : std::string(output);
    EXPECT_EQ(run.err, "vexmara-import: " + named + ": Not a directory\n");
    EXPECT_EQ(run.out.find("wrote"), std::string::npos) << run.out;
  }
  const ProgramRun json = RunProgram(
      VEXMARA_IMPORT_PATH, {"sample/sample.app", "--json", "blocker/scene.json"}, folder_);
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_EQ(json.err, "vexmara-import: blocker/scene.json: Not a directory\n");
  EXPECT_EQ(ReadWhole(folder_ / "blocker"), "blocker");
}

TEST_F(OutputFailure, AWriteThatSucceedsReplacesTheEarlierFilesAndLeavesNoTemporaryFile) {
  Plant({"out/keep.gltf", "out/keep.bin", "out/keep_lower.png"});
  const ProgramRun run =
      RunProgram(VEXMARA_IMPORT_PATH, {"sample/sample.app", "-o", "out/keep.gltf"}, folder_);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto files = OutFolder();
  EXPECT_EQ((std::set<std::string>{"keep.bin", "keep.gltf", "keep_lower.png", "keep_upper.png"}),
            [&] {
              std::set<std::string> names;
              for (const auto& [name, content] : files) names.insert(name);
              return names;
            }());
  EXPECT_EQ(files.at("keep_lower.png").substr(1, 3), "PNG");
  EXPECT_EQ(files.at("keep.gltf").front(), '{');
}

}  // namespace
}  // namespace vexmara::testing

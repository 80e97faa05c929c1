// vexmara-import over whole folders, run as a user runs it, through the real library and its
// worker processes: folder trees made by the project's writers, with good, damaged, empty,
// twin and hanging models and with animation files that fit, half fit or do not fit. Every
// output is checked by the Khronos glTF Validator.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <tiny_gltf.h>
#include <nlohmann/json.hpp>

#include "deep_folder.h"
#include "run_program.h"
#include "scratch_folder.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"
#include "writer/samples.h"

namespace vexmara::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr char kFault[] = "VEXMARA_TEST_WORKER_FAULT=";

class Batch : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = scratch_.path(); }

  ProgramRun Import(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment = {}) {
    return RunProgram(VEXMARA_IMPORT_PATH, arguments, folder_, environment);
  }

  // The sample (a skinned model of 4 bones with two textures and an animation) into `folder`.
  void Sample(const fs::path& folder) {
    fs::create_directories(folder_ / folder);
    const ProgramRun made = RunProgram(VEXMARA_MAKE_SAMPLE_PATH, {folder.string()}, folder_);
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }
  void Save(const fs::path& relative, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories((folder_ / relative).parent_path());
    ASSERT_TRUE(writer::SaveBytes((folder_ / relative).string(), bytes)) << relative;
  }
  static std::vector<std::uint8_t> Model(int bones) {
    writer::SampleModelShape shape;
    shape.bones = bones;
    return writer::WriteAppFile(writer::SampleModel(shape));
  }
  // An animation named `name` with one track for each of `bones`.
  static std::vector<std::uint8_t> Animation(const std::string& name,
                                             const std::vector<std::string>& bones) {
    writer::SampleAnimationShape shape;
    shape.name = name;
    shape.tracks = int32_t(bones.size());
    shape.keys = 4;
    writer::AniFile file = writer::SampleAnimation(shape);
    for (std::size_t t = 0; t < bones.size(); ++t) file.tracks[t].boneName = bones[t];
    return writer::WriteAniFile(file);
  }

  json Report(const fs::path& file = "report.json") {
    return json::parse(ReadWhole(folder_ / file), nullptr, false);
  }
  static const json& Entry(const json& report, const std::string& input) {
    for (const json& model : report["models"]) {
      if (model["input"] == input) return model;
    }
    static const json none;
    ADD_FAILURE() << input << " is not in the report";
    return none;
  }

  // Every file below `folder`, relative to it.
  std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder_ / folder)) {
      files.insert(fs::relative(entry.path(), folder_ / folder).string());
    }
    return files;
  }

  // The Khronos validator's errors for each file, in one run of it.
  void ExpectValid(const std::vector<fs::path>& files) {
    const fs::path modules = VEXMARA_NODE_MODULES;
    ASSERT_TRUE(fs::exists(modules / "gltf-validator")) << "run scripts/install-deps cli";
    std::vector<std::string> arguments{VEXMARA_VALIDATOR_SCRIPT};
    for (const fs::path& file : files) arguments.push_back((folder_ / file).string());
    const ProgramRun run =
        RunProgram("node", arguments, folder_, {"NODE_PATH=" + modules.string()});
    std::istringstream lines(run.out);
    std::size_t reports = 0;
    for (std::string line; std::getline(lines, line); ++reports) {
      const json report = json::parse(line, nullptr, false);
      ASSERT_TRUE(report.is_object()) << line;
      EXPECT_EQ(report["errors"], 0) << report.dump(2);
    }
    EXPECT_EQ(reports, files.size()) << run.out << run.err;
  }

  tinygltf::Model ReadGlb(const fs::path& file) {
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string error, warning;
    EXPECT_TRUE(loader.LoadBinaryFromFile(&model, &error, &warning, (folder_ / file).string()))
        << error;
    return model;
  }

  ScratchFolder scratch_;
  fs::path folder_;
};

TEST_F(Batch, ANestedFolderConvertsIntoTheSameTreeAndEveryFailureStaysItsOwn) {
  Sample("in/chars");
  fs::copy_file(folder_ / "in/chars/sample.app", folder_ / "in/chars/sample.APP");  // its twin
  Save("in/chars/troll/troll.app", Model(6));
  Save("in/props/crate.app", Model(1));
  const std::vector<std::uint8_t> whole = Model(3);
  Save("in/broken/cut.app",
       std::vector<std::uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(whole.size() / 2)));
  Save("in/broken/empty.app", writer::WriteAppFile(writer::AppModel{}));
  Save("in/stuck/stuck.app", Model(2));
  const std::set<std::string> before = Listing("in");

  const ProgramRun run =
      Import({"in", "-o", "out", "--jobs", "2", "--timeout", "5", "--report", "report.json"},
             {std::string(kFault) + "hang:stuck.app"});
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;

  // The converted ones, each where its relative path puts it; of the twins, the first in path
  // order ("sample.APP"); nothing for the failures.
  for (const char* file :
       {"out/chars/sample.glb", "out/chars/troll/troll.glb", "out/props/crate.glb"}) {
    EXPECT_TRUE(fs::exists(folder_ / file)) << file;
  }
  for (const char* file : {"out/broken", "out/stuck"})
    EXPECT_FALSE(fs::exists(folder_ / file)) << file;
  EXPECT_EQ(Listing("in"), before) << "nothing is written outside the output folder";
  ExpectValid({"out/chars/sample.glb", "out/chars/troll/troll.glb", "out/props/crate.glb"});

  const json report = Report();
  ASSERT_TRUE(report.is_object()) << ReadWhole(folder_ / "report.json");
  EXPECT_EQ(report["summary"]["models"], 7);
  EXPECT_EQ(report["summary"]["converted"], 3);
  EXPECT_EQ(report["summary"]["failed"], 4);
  const json& sample = Entry(report, "in/chars/sample.APP");
  EXPECT_EQ(sample["status"], "converted");
  EXPECT_EQ(sample["output"], "out/chars/sample.glb");
  EXPECT_EQ(sample["error"], "");
  EXPECT_EQ(sample["counts"],
            json::parse(R"({"meshes": 2, "vertices": 234, "bones": 4, "animations": 0,
                                              "materials": 2, "groups": 2})"));
  EXPECT_GT(sample["seconds"].get<double>(), 0.0);
  EXPECT_EQ(Entry(report, "in/props/crate.app")["counts"]["bones"], 1);

  struct Failure {
    const char* input;
    const char* error;
  };
  for (const Failure& f :
       {Failure{"in/chars/sample.app",
                "it would write out/chars/sample.glb, as in/chars/sample.APP "
                "does; it was left out so that neither overwrites the other"},
        Failure{"in/broken/empty.app", "No geometry or bones found."},
        Failure{"in/broken/cut.app", "The model file could not be read."},
        Failure{"in/stuck/stuck.app", "it took longer than 5 s, and its worker was stopped"}}) {
    const json& entry = Entry(report, f.input);
    EXPECT_EQ(entry["status"], "failed") << f.input;
    EXPECT_EQ(entry["error"], f.error) << f.input;
  }

  // One plain line per finished file (this is no terminal), the failures again at the end, and
  // the summary.
  EXPECT_NE(run.out.find("] converted in/props/crate.app -> out/props/crate.glb in "),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("] FAILED in/broken/empty.app: No geometry or bones found.\n"),
            std::string::npos)
      << run.out;
  for (int n = 1; n <= 7; ++n)
    EXPECT_NE(run.out.find("[" + std::to_string(n) + "/7] "), std::string::npos) << n;
  EXPECT_NE(run.out.find("Converted 3 of 7 models into out in "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" with 2 jobs: 4 failed; report report.json\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("vexmara-import: 4 models failed:\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("  in/stuck/stuck.app: it took longer than 5 s"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("warning: a worker"), std::string::npos)
      << "every other worker ended cleanly: " << run.err;
}

TEST_F(Batch, AWorkerThatCrashesCostsItsModelAloneAndTheNextModelGetsAFreshWorker) {
  for (const char* name : {"a.app", "b.app", "c.app"}) Save(fs::path("in") / name, Model(2));
  const ProgramRun run = Import({"in", "-o", "out", "--jobs", "1", "--report", "report.json"},
                                {std::string(kFault) + "crash:a.app"});
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  const json report = Report();
  const std::string error = Entry(report, "in/a.app")["error"];
  EXPECT_EQ(error.rfind("its worker ", 0), 0u) << error;
  EXPECT_NE(error.find(" before it finished"), std::string::npos) << error;
  EXPECT_EQ(Entry(report, "in/b.app")["status"], "converted");
  EXPECT_EQ(Entry(report, "in/c.app")["status"], "converted");
  EXPECT_TRUE(fs::exists(folder_ / "out/c.glb"));
}

TEST_F(Batch, AWorkerStoppedWhileItWritesLeavesNoTemporaryFileBehind) {
  Sample("in");
  Save("in/b.app", Model(2));
  for (const char* format : {"glb", "gltf"}) {
    SCOPED_TRACE(format);
    fs::remove_all(folder_ / "out");
    // The worker hangs once it has begun the model's first file, and the timeout stops it.
    const ProgramRun run = Import({"in", "-o", "out", "--jobs", "1", "--timeout", "2", "--format",
                                   format, "--report", "report.json"},
                                  {std::string(kFault) + "hang-writing:sample.app"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(Entry(Report(), "in/sample.app")["error"],
              "it took longer than 2 s, and its worker was stopped");
    const std::set<std::string> written = Listing("out");
    EXPECT_EQ(written.count("b." + std::string(format)), 1u) << "the next model is written";
    for (const std::string& file : written) {
      EXPECT_NE(file.rfind("sample", 0), 0u) << "nothing of the stopped worker's model: " << file;
      EXPECT_NE(file[0], '.') << "no temporary file: " << file;
    }
  }
}

TEST_F(Batch, EveryModelStartsAsInAFreshlyLoadedPlugInThoughOneWorkerDoesThemAll) {
  // The plug-in remembers the texture folder from one import to the next: a worker that kept the
  // library loaded without setting it back would look for b's textures beside a.
  Sample("in/a");
  Sample("in/b");
  for (const char* texture : {"lower.tex", "lower.tga", "upper.tex", "upper.tga"})
    fs::remove(folder_ / "in/b" / texture);
  const ProgramRun run = Import({"in", "-o", "out", "--jobs", "1"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(ReadGlb("out/a/sample.glb").images.size(), 2u);
  EXPECT_TRUE(ReadGlb("out/b/sample.glb").images.empty());
  // b converted after a is b converted alone.
  const ProgramRun alone = Import({"in/b/sample.app", "-o", "alone.glb"});
  ASSERT_EQ(alone.exitCode, 0) << alone.out << alone.err;
  EXPECT_TRUE(ReadWhole(folder_ / "alone.glb") == ReadWhole(folder_ / "out/b/sample.glb"));
}

TEST_F(Batch, AnimationFilesAreAttachedByTheirBonesInPathOrder) {
  const std::vector<std::string> bones = {"bone_0", "bone_1", "bone_2", "bone_3"};
  Save("in/chars/orc/orc.app", Model(4));
  Save("in/chars/orc/walk.ani", Animation("walk", bones));
  Save("in/chars/orc/wave.ani",
       Animation("wave", {"BONE_0", "Bone_1"}));               // half, letter case aside
  Save("in/chars/orc/nod.ani", Animation("nod", {"bone_0"}));  // a quarter: left out
  Save("in/chars/orc/fly.ani", Animation("fly", {"bone_0", "bone_1", "wing"}));  // a foreign track
  const std::vector<std::uint8_t> whole = Animation("cut", bones);
  Save("in/chars/orc/cut.ani", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 600));
  Save("in/chars/bat/bat.app", Model(2));
  Save("in/chars/bat/flap.ani", Animation("flap", {"bone_0", "bone_1"}));
  Save("shared/idle.ani", Animation("idle", bones));
  Save("shared/boom.ani",
       Animation("boom", bones));  // its reader crashes; the next file is read anyway

  const ProgramRun run = Import({"in", "-o", "out", "--anims", "auto", "--anims", "shared",
                                 "--jobs", "1", "--report", "report.json"},
                                {std::string(kFault) + "crash:boom.ani"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("Read 8 animation files: 6 usable, 2 not\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("warning: in/chars/orc/cut.ani: the reader stopped partway through it"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find(", 4 animations attached; report report.json"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.err.find("warning: a worker"), std::string::npos)
      << "every other worker ended cleanly: " << run.err;

  const json report = Report();
  const json& orc = Entry(report, "in/chars/orc/orc.app");
  ASSERT_EQ(orc["animations"].size(), 3u) << orc.dump(2);
  EXPECT_EQ(orc["animations"][0],
            json::parse(R"({"file": "in/chars/orc/walk.ani", "tracks": 4, "bonesNamed": 4,
                                                  "coverage": 1.0})"));
  EXPECT_EQ(orc["animations"][1]["file"], "in/chars/orc/wave.ani");
  EXPECT_EQ(orc["animations"][1]["coverage"], 0.5);
  EXPECT_EQ(orc["animations"][2]["file"], "shared/idle.ani");
  // flap.ani names two of the orc's bones too, but it lies beside another model.
  ASSERT_EQ(orc["closestLeftOut"].size(), 2u) << orc.dump(2);
  EXPECT_EQ(orc["closestLeftOut"][0]["file"], "in/chars/orc/fly.ani");
  EXPECT_EQ(orc["closestLeftOut"][0]["tracksNamingNoBone"], 1);
  EXPECT_EQ(orc["closestLeftOut"][1]["file"], "in/chars/orc/nod.ani");
  EXPECT_EQ(orc["closestLeftOut"][1]["coverage"], 0.25);
  EXPECT_EQ(orc["counts"]["animations"], 3);

  // idle.ani names both of the bat's bones, but two bones the bat does not have.
  const json& bat = Entry(report, "in/chars/bat/bat.app");
  ASSERT_EQ(bat["animations"].size(), 1u) << bat.dump(2);
  EXPECT_EQ(bat["animations"][0]["file"], "in/chars/bat/flap.ani");
  ASSERT_EQ(bat["closestLeftOut"].size(), 1u) << bat.dump(2);
  EXPECT_EQ(bat["closestLeftOut"][0],
            json::parse(R"({"file": "shared/idle.ani", "tracks": 4, "bonesNamed": 2,
                                                      "tracksNamingNoBone": 2, "coverage": 1.0})"));

  const auto animationNamed = [&](const std::string& file) {
    for (const json& entry : report["animationFiles"]) {
      if (entry["file"] == file) return entry;
    }
    return json();
  };
  EXPECT_EQ(animationNamed("shared/boom.ani")["status"], "unusable");
  EXPECT_EQ(animationNamed("shared/boom.ani")["problem"].get<std::string>().rfind("its reader ", 0),
            0u);
  EXPECT_EQ(animationNamed("shared/idle.ani")["status"], "read");
  EXPECT_EQ(animationNamed("in/chars/orc/cut.ani")["status"], "unusable");

  // The glTF animations in the order of the attached files.
  const tinygltf::Model glb = ReadGlb("out/chars/orc/orc.glb");
  std::vector<std::string> names;
  for (const tinygltf::Animation& animation : glb.animations) names.push_back(animation.name);
  EXPECT_EQ(names, (std::vector<std::string>{"walk", "wave", "idle"}));
  // The import gave wave.ani's tracks to the bones whose names they carry in another case.
  ASSERT_EQ(glb.animations.size(), 3u);
  std::set<int> animated;
  for (const tinygltf::AnimationChannel& channel : glb.animations[1].channels)
    animated.insert(channel.target_node);
  EXPECT_EQ(animated.size(), 2u);
  ExpectValid({"out/chars/orc/orc.glb", "out/chars/bat/bat.glb"});
}

TEST_F(Batch, AFolderThatCannotBeListedFailsTheBatchButNotTheModelsBesideIt) {
  Save("in/a.app", Model(2));
  ASSERT_FALSE(MakeFolderTooDeepToList(folder_ / "in").empty());
  const ProgramRun run = Import({"in", "-o", "out", "--report", "report.json"});
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_TRUE(fs::exists(folder_ / "out/a.glb"));
  EXPECT_NE(run.out.find("Converted 1 of 1 model into out in "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(": 0 failed, 1 folder not listed; report report.json\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find(": the folder could not be listed: File name too long\n"),
            std::string::npos)
      << run.err;
  const json report = Report();
  ASSERT_EQ(report["foldersNotListed"].size(), 1u);
  EXPECT_EQ(report["foldersNotListed"][0]["reason"], "File name too long");
}

TEST_F(Batch, AModelWhoseOutputCannotBeWrittenFailsWithTheSystemsReasonAndLeavesNoPartOfIt) {
  writer::SampleModelShape big;
  big.vertices = 20'000;  // a .glb of several hundred kilobytes
  Save("in/big.app", writer::WriteAppFile(writer::SampleModel(big)));
  Save("in/small.app", Model(2));
  fs::create_directories(folder_ / "out");
  Save("out/big.glb", {'o', 'l', 'd'});  // an earlier output of the same name
  ProgramOptions options;
  options.fileSizeLimit = 64 * 1024;
  const ProgramRun run = RunProgram(
      VEXMARA_IMPORT_PATH, {"in", "-o", "out", "--report", "report.json"}, folder_, options);
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  const json report = Report();
  const json& failed = Entry(report, "in/big.app");
  EXPECT_EQ(failed["status"], "failed");
  EXPECT_NE(failed["error"].get<std::string>().find("big.glb: File too large"), std::string::npos)
      << failed.dump(2);
  EXPECT_EQ(Entry(report, "in/small.app")["status"], "converted");
  // The earlier file is kept as it was, and no temporary file is left beside it.
  EXPECT_EQ(ReadWhole(folder_ / "out/big.glb"), "old");
  EXPECT_EQ(Listing("out"), (std::set<std::string>{"big.glb", "small.glb"}));
}

TEST_F(Batch, TheOutputFolderInsideAnInputIsNeverWalkedAndCannotBeTheInputItself) {
  Save("in/a.app", Model(2));
  Save("in/out/stale.app", Model(2));  // a model already inside the output folder
  for (int pass = 0; pass < 2; ++pass) {
    const ProgramRun run = Import({"in", "-o", "in/out", "--report", "report.json"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(Report()["summary"]["models"], 1) << "pass " << pass;
  }
  EXPECT_TRUE(fs::exists(folder_ / "in/out/a.glb"));
  EXPECT_FALSE(fs::exists(folder_ / "in/out/out"));

  const ProgramRun same = Import({"in", "-o", "in"});
  EXPECT_EQ(same.exitCode, 2);
  EXPECT_NE(same.err.find("the output folder cannot also be an input folder"), std::string::npos)
      << same.err;
}

TEST_F(Batch, LinksThatLoopEndAndPathsWithNonAsciiBytesConvertWhenThePluginCanTakeThem) {
  Save("in/ch\xC3\xA2teau/orc.app", Model(2));  // UTF-8 "château"
  Save("in/\xE9t\xE9/orc.app", Model(2));       // Latin-1 "été": no UTF-8 text
  fs::create_directory_symlink(folder_ / "in", folder_ / "in/ch\xC3\xA2teau/back");
  const ProgramRun run = Import({"in", "-o", "out", "--format", "gltf", "--report", "report.json"});
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  const json report = Report();
  EXPECT_EQ(report["summary"]["models"], 2) << "each model once, though a link leads back up";
  EXPECT_EQ(Entry(report, "in/ch\xC3\xA2teau/orc.app")["status"], "converted");
  EXPECT_EQ(Entry(report, "in/\xEF\xBF\xBDt\xEF\xBF\xBD/orc.app")["error"],
            "its path is not UTF-8 text, and the plug-in takes paths as Unicode");
  EXPECT_TRUE(fs::exists(folder_ / "out/ch\xC3\xA2teau/orc.bin"));
  ExpectValid({"out/ch\xC3\xA2teau/orc.gltf"});
}

TEST_F(Batch, TheDialogOptionsApplyToEveryModel) {
  // Two submeshes, of which only the first names a material that the model has: one group per
  // material, or two with submeshes as groups.
  writer::SampleModelShape shape;
  shape.materials = 2;
  shape.vertices = 32;  // a 4 x 4 grid for each material, one submesh each
  writer::AppModel model = writer::SampleModel(shape);
  ASSERT_EQ(model.geosets[0].submeshes.size() + model.geosets[1].submeshes.size(), 2u);
  model.materials.resize(1);
  Sample("in");  // a model with its textures, for the alpha maps
  Save("in/pair.app", writer::WriteAppFile(model));
  Save("in/more/pair.app", writer::WriteAppFile(model));

  ASSERT_EQ(Import({"in", "-o", "plain", "--report", "plain.json"}).exitCode, 0);
  EXPECT_FALSE(fs::exists(folder_ / "in/lower_A.tga"));
  const ProgramRun all =
      Import({"in", "-o", "all", "--groups", "--no-swap", "--alpha", "--report", "all.json"});
  ASSERT_EQ(all.exitCode, 0) << all.out << all.err;
  for (const char* input : {"in/pair.app", "in/more/pair.app"}) {
    EXPECT_EQ(Entry(Report("plain.json"), input)["counts"]["groups"], 1) << input;
    EXPECT_EQ(Entry(Report("all.json"), input)["counts"]["groups"], 2) << input;
  }
  // "Extract alpha maps" writes beside the texture, as the host does.
  EXPECT_TRUE(fs::exists(folder_ / "in/lower_A.tga"));
}

TEST_F(Batch, CtrlCStopsTheBatchAndItsWorkersAndLeavesNoTemporaryFileBehind) {
  Save("in/stuck.app", Model(2));
  const pid_t batch = ::fork();
  if (batch == 0) {
    ::setpgid(0, 0);  // away from the test's own group, as a shell's job would be
    if (::chdir(folder_.c_str()) != 0) ::_exit(127);
    ::setenv("VEXMARA_TEST_WORKER_FAULT", "hang-writing:stuck.app", 1);
    const char* argv[] = {VEXMARA_IMPORT_PATH, "in", "-o", "out", nullptr};
    if (std::FILE* null = std::fopen("/dev/null", "w")) ::dup2(::fileno(null), STDOUT_FILENO);
    if (std::FILE* said = std::fopen("said.txt", "w")) ::dup2(::fileno(said), STDERR_FILENO);
    ::execv(VEXMARA_IMPORT_PATH, const_cast<char* const*>(argv));
    ::_exit(127);
  }
  ASSERT_GT(batch, 0);
  // The worker: the batch's child, which hangs once it has begun the model's file.
  pid_t worker = -1;
  for (int tries = 0; tries < 300 && worker < 0; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (const auto& entry : fs::directory_iterator("/proc")) {
      const std::string pid = entry.path().filename().string();
      if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
      std::ifstream stat(entry.path() / "stat");
      std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
      std::istringstream fields(text.substr(text.rfind(')') + 1));
      char state = 0;
      long parent = 0;
      fields >> state >> parent;
      if (parent == batch &&
          ReadWhole(entry.path() / "cmdline").find("--batch-model-worker") != std::string::npos) {
        worker = pid_t(std::stol(pid));
      }
    }
  }
  ASSERT_GT(worker, 0) << "no worker started";
  const auto temporaryFiles = [&] {
    std::set<std::string> files;
    if (!fs::is_directory(folder_ / "out")) return files;
    for (const std::string& file : Listing("out"))
      if (file[0] == '.') files.insert(file);
    return files;
  };
  for (int tries = 0; tries < 300 && temporaryFiles().empty(); ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_FALSE(temporaryFiles().empty()) << "the worker began no file";
  ASSERT_EQ(::kill(batch, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(batch, &status, 0), batch);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT)
      << "it ends as the signal would end it";
  EXPECT_EQ(ReadWhole(folder_ / "said.txt"),
            "vexmara-import: interrupted; every worker was stopped\n");
  EXPECT_EQ(::kill(worker, 0), -1) << "the worker is gone too";
  EXPECT_EQ(errno, ESRCH);
  EXPECT_EQ(temporaryFiles(), std::set<std::string>()) << "what it began is gone with it";
}

}  // namespace
}  // namespace vexmara::testing

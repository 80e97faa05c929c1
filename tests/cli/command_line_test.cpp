// The importer's command line: what each option sets, and what is refused as a usage error.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace vexmara::testing {
namespace {

struct Parsed {
  cli::ParsedCommandLine result;
  std::string out, err;
};

Parsed Parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "vexmara-import");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  std::ostringstream out, err;
  Parsed parsed;
  parsed.result =
      cli::ParseCommandLine(int(argv.size()), argv.data(), "/opt/lib/vexmara_64.so", out, err);
  parsed.out = out.str();
  parsed.err = err.str();
  return parsed;
}

TEST(CommandLine, EveryOptionReachesTheRequest) {
  const std::string here = ::testing::TempDir();
  const Parsed parsed = Parse({"models/hero.app",
                               "--anim",
                               "walk.ani",
                               "--no-swap",
                               "--anim",
                               "run one.ani",
                               "--textures",
                               here,
                               "--groups",
                               "--alpha",
                               "-o",
                               "out/hero.GLTF",
                               "--external-images",
                               "--json",
                               "scene.json",
                               "--plugin",
                               "other.so",
                               "--anims",
                               here,
                               "--anims",
                               "auto",
                               "--report",
                               "r.json"});
  ASSERT_TRUE(parsed.result.line && parsed.result.line->model) << parsed.err;
  const cli::ModelCommand& line = *parsed.result.line->model;
  EXPECT_EQ(line.model, "models/hero.app");
  EXPECT_EQ(line.animations, (std::vector<std::filesystem::path>{"walk.ani", "run one.ani"}));
  EXPECT_EQ(line.settings.choices.textureFolder, here);
  EXPECT_FALSE(line.settings.choices.swapModel);
  EXPECT_TRUE(line.settings.choices.submeshesAsGroups);
  EXPECT_TRUE(line.settings.choices.extractAlphaMaps);
  EXPECT_EQ(line.output, std::filesystem::path("out/hero.GLTF"));
  EXPECT_TRUE(line.settings.externalImages);
  EXPECT_EQ(line.json, std::filesystem::path("scene.json"));
  EXPECT_EQ(line.settings.library, "other.so");
  EXPECT_EQ(line.animationFolders, (std::vector<std::filesystem::path>{here}));
  EXPECT_TRUE(line.animationsBesideModel);
  EXPECT_EQ(line.report, std::filesystem::path("r.json"));
}

TEST(CommandLine, WithoutOptionsTheBoxesKeepTheirDefaultsAndNothingIsWritten) {
  const Parsed parsed = Parse({"hero.app"});
  ASSERT_TRUE(parsed.result.line && parsed.result.line->model) << parsed.err;
  const cli::ModelCommand& line = *parsed.result.line->model;
  EXPECT_TRUE(line.settings.choices.swapModel);
  EXPECT_FALSE(line.settings.choices.submeshesAsGroups);
  EXPECT_FALSE(line.settings.choices.extractAlphaMaps);
  EXPECT_TRUE(line.animations.empty());
  EXPECT_TRUE(line.settings.choices.textureFolder.empty());
  EXPECT_FALSE(line.output);
  EXPECT_FALSE(line.settings.externalImages);
  EXPECT_FALSE(line.json);
  EXPECT_FALSE(line.report);
  EXPECT_TRUE(line.animationFolders.empty());
  EXPECT_FALSE(line.animationsBesideModel);
  EXPECT_EQ(line.settings.library, "/opt/lib/vexmara_64.so");
}

TEST(CommandLine, HelpListsEveryOptionAndExitsWithZero) {
  const Parsed parsed = Parse({"--help"});
  EXPECT_FALSE(parsed.result.line);
  EXPECT_EQ(parsed.result.exitCode, cli::ExitCode::Success);
  for (const char* option :
       {"MODEL.app", "--anim", "--textures", "--no-swap", "--groups", "--alpha", "-o",
        "--external-images", "--json", "--plugin", "Exit codes"}) {
    EXPECT_NE(parsed.out.find(option), std::string::npos) << option << " missing from:\n"
                                                          << parsed.out;
  }
}

TEST(CommandLine, UsageErrorsExitWithTwoAndSayWhatIsWrong) {
  const std::string here = ::testing::TempDir();
  struct Case {
    std::vector<std::string> arguments;
    const char* said;
  };
  const Case cases[] = {
      {{}, "MODEL.app is required"},
      {{"a.app", "-o", "a.obj"}, ".glb or .gltf"},
      {{"a.app", "--textures", "/no/such/folder/at/all"}, "/no/such/folder/at/all"},
      {{"a.app", "--anim"}, "--anim"},
      {{"a.app", "--frobnicate"}, "--frobnicate"},
      {{"a.app", "b.app"}, "b.app"},
      // Folders as input.
      {{here, "hero.app", "-o", "out"},
       "hero.app: with folders as input, every input must be a folder"},
      {{here}, "-o OUT_DIR is required"},
      {{here, "-o", "out.glb"}, "names a folder"},
      {{here, "-o", "out", "--anim", "walk.ani"}, "--anims DIR"},
      {{here, "-o", "out", "--json", "scene.json"}, "--json"},
      {{here, "-o", "out", "--anims", "/no/such/folder/at/all"}, "/no/such/folder/at/all"},
      {{here, "-o", "out", "--jobs", "0"}, "--jobs"},
      {{here, "-o", "out", "--timeout", "-1"}, "--timeout"},
      {{here, "-o", "out", "--format", "fbx"}, "--format"},
      {{"hero.app", "--jobs", "2"}, "--jobs is for folders"},
      {{"hero.app", "--format", "gltf"}, "--format is for folders"},
      {{"hero.app", "--anims", "/no/such/folder/at/all"}, "/no/such/folder/at/all"},
      {{"/no/such/folder", "-o", "out"},
       ".glb or .gltf (or be a folder, with folders as input: /no/such/folder is none)"},
  };
  for (const Case& c : cases) {
    const Parsed parsed = Parse(c.arguments);
    SCOPED_TRACE(parsed.err);
    EXPECT_FALSE(parsed.result.line);
    EXPECT_EQ(parsed.result.exitCode, cli::ExitCode::Usage);
    EXPECT_NE(parsed.err.find(c.said), std::string::npos);
    EXPECT_NE(parsed.err.find("--help"), std::string::npos);
  }
}

TEST(CommandLine, FoldersAsInputMakeABatchWithItsOptions) {
  const std::string here = ::testing::TempDir();
  const Parsed parsed =
      Parse({here,       here,      "-o",        "out",      "--format", "gltf",       "--anims",
             here,       "--anims", "auto",      "--jobs",   "3",        "--timeout",  "2.5",
             "--report", "r.json",  "--no-swap", "--groups", "--alpha",  "--textures", here});
  ASSERT_TRUE(parsed.result.line) << parsed.err;
  ASSERT_TRUE(parsed.result.line->batch);
  const cli::batch::BatchOptions& batch = *parsed.result.line->batch;
  EXPECT_EQ(batch.inputs, (std::vector<std::filesystem::path>{here, here}));
  EXPECT_EQ(batch.output, "out");
  EXPECT_TRUE(batch.gltf);
  EXPECT_EQ(batch.animationFolders, (std::vector<std::filesystem::path>{here}));
  EXPECT_TRUE(batch.animationsBesideModels);
  EXPECT_EQ(batch.jobs, 3);
  EXPECT_DOUBLE_EQ(batch.timeoutSeconds, 2.5);
  EXPECT_EQ(batch.report, std::filesystem::path("r.json"));
  const cli::DialogChoices& choices = batch.settings.choices;
  EXPECT_TRUE(!choices.swapModel && choices.submeshesAsGroups && choices.extractAlphaMaps);
  EXPECT_EQ(choices.textureFolder, std::filesystem::path(here));
  EXPECT_EQ(batch.settings.library, "/opt/lib/vexmara_64.so");

  const Parsed plain = Parse({here, "-o", "out"});
  ASSERT_TRUE(plain.result.line && plain.result.line->batch) << plain.err;
  EXPECT_FALSE(plain.result.line->batch->gltf);
  EXPECT_EQ(plain.result.line->batch->jobs, 0) << "one per processor";
  EXPECT_DOUBLE_EQ(plain.result.line->batch->timeoutSeconds, 60);
  EXPECT_FALSE(plain.result.line->batch->animationsBesideModels);
  EXPECT_FALSE(Parse({"hero.app"}).result.line->batch) << "a model file is one import, as before";
}

TEST(CommandLine, HelpTellsTheBatchOptionsTheRuleForAnimationsAndWhereAlphaMapsGo) {
  const Parsed parsed = Parse({"--help"});
  for (const char* text :
       {"IN_DIR", "OUT_DIR", "--format", "--anims DIR|auto", "--jobs", "--timeout", "--report",
        "names one of the model's bones", "at least half", "outside OUT_DIR"}) {
    EXPECT_NE(parsed.out.find(text), std::string::npos) << text << " missing from:\n" << parsed.out;
  }
}

}  // namespace
}  // namespace vexmara::testing

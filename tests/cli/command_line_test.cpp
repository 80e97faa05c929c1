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
  parsed.result = cli::ParseCommandLine(int(argv.size()), argv.data(), "/opt/lib/vexmara_64.so", out, err);
  parsed.out = out.str();
  parsed.err = err.str();
  return parsed;
}

TEST(CommandLine, EveryOptionReachesTheRequest) {
  const std::string here = ::testing::TempDir();
  const Parsed parsed = Parse({"models/hero.app", "--anim", "walk.ani", "--no-swap", "--anim", "run one.ani",
                               "--textures", here, "--groups", "--alpha", "-o", "out/hero.GLTF", "--external-images",
                               "--json", "scene.json", "--plugin", "other.so"});
  ASSERT_TRUE(parsed.result.line) << parsed.err;
  const cli::CommandLine& line = *parsed.result.line;
  EXPECT_EQ(line.request.model, "models/hero.app");
  EXPECT_EQ(line.request.animations, (std::vector<std::filesystem::path>{"walk.ani", "run one.ani"}));
  ASSERT_TRUE(line.request.textureDirectory);
  EXPECT_EQ(*line.request.textureDirectory, here);
  EXPECT_TRUE(line.request.noSwap);
  EXPECT_TRUE(line.request.groups);
  EXPECT_TRUE(line.request.alphaMaps);
  EXPECT_EQ(line.output, std::filesystem::path("out/hero.GLTF"));
  EXPECT_TRUE(line.externalImages);
  EXPECT_EQ(line.json, std::filesystem::path("scene.json"));
  EXPECT_EQ(line.request.library, "other.so");
}

TEST(CommandLine, WithoutOptionsTheBoxesKeepTheirDefaultsAndNothingIsWritten) {
  const Parsed parsed = Parse({"hero.app"});
  ASSERT_TRUE(parsed.result.line) << parsed.err;
  const cli::CommandLine& line = *parsed.result.line;
  EXPECT_FALSE(line.request.noSwap);
  EXPECT_FALSE(line.request.groups);
  EXPECT_FALSE(line.request.alphaMaps);
  EXPECT_TRUE(line.request.animations.empty());
  EXPECT_FALSE(line.request.textureDirectory);
  EXPECT_FALSE(line.output);
  EXPECT_FALSE(line.externalImages);
  EXPECT_FALSE(line.json);
  EXPECT_EQ(line.request.library, "/opt/lib/vexmara_64.so");
}

TEST(CommandLine, HelpListsEveryOptionAndExitsWithZero) {
  const Parsed parsed = Parse({"--help"});
  EXPECT_FALSE(parsed.result.line);
  EXPECT_EQ(parsed.result.exitCode, 0);
  for (const char* option : {"MODEL.app", "--anim", "--textures", "--no-swap", "--groups", "--alpha", "-o",
                             "--external-images", "--json", "--plugin", "Exit codes"}) {
    EXPECT_NE(parsed.out.find(option), std::string::npos) << option << " missing from:\n" << parsed.out;
  }
}

TEST(CommandLine, UsageErrorsExitWithTwoAndSayWhatIsWrong) {
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
  };
  for (const Case& c : cases) {
    const Parsed parsed = Parse(c.arguments);
    SCOPED_TRACE(parsed.err);
    EXPECT_FALSE(parsed.result.line);
    EXPECT_EQ(parsed.result.exitCode, 2);
    EXPECT_NE(parsed.err.find(c.said), std::string::npos);
    EXPECT_NE(parsed.err.find("--help"), std::string::npos);
  }
}

}  // namespace
}  // namespace vexmara::testing

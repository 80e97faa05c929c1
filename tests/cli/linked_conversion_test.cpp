// The conversion with the plug-in linked into the program, reached through the linked loader, as
// the page's WebAssembly module and the fuzz harness of the export run it: the same bytes as
// vexmara-import writes through the loaded library, and the choices of one model never reach
// the next.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/convert/conversion.h"
#include "run_program.h"
#include "scratch_folder.h"

namespace vexmara::testing {
namespace {

namespace fs = std::filesystem;

class LinkedConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_.path();
    const ProgramRun made = RunProgram(VEXMARA_MAKE_SAMPLE_PATH, {"sample"}, folder_);
    ASSERT_EQ(made.exitCode, 0) << made.err;
  }

  // The sample converted in this process into memory.
  std::vector<std::uint8_t> Convert(const cli::DialogChoices& choices) {
    cli::ConvertRequest request;
    request.settings.library = "linked";
    request.settings.choices = choices;
    request.model = folder_ / "sample/sample.app";
    request.animations = {folder_ / "sample/sample.ani"};
    request.output = folder_ / "linked.glb";
    cli::MemoryFiles files;
    request.sink = &files;
    const cli::ConvertResult result = converter_.Convert(request);
    EXPECT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(result.counts.animations, 1);
    const std::vector<std::uint8_t>* written = files.Find(request.output);
    return written != nullptr ? *written : std::vector<std::uint8_t>();
  }

  // The sample converted by vexmara-import through the library it loads.
  std::vector<std::uint8_t> Program(std::vector<std::string> options) {
    std::vector<std::string> arguments = {"sample/sample.app", "--anim", "sample/sample.ani", "-o",
                                          "program.glb"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ProgramRun run = RunProgram(VEXMARA_IMPORT_PATH, arguments, folder_);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = ReadWhole(folder_ / "program.glb");
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  }

  ScratchFolder scratch_;
  fs::path folder_;
  cli::Converter converter_;
};

TEST_F(LinkedConversion, GivesTheBytesOfTheLoadedLibraryModelAfterModel) {
  cli::DialogChoices turned;
  turned.swapModel = false;
  turned.submeshesAsGroups = true;
  const std::vector<std::uint8_t> first = Convert(turned);
  EXPECT_EQ(first, Program({"--no-swap", "--groups"}));
  // The same converter again, with the dialog's defaults: nothing of the last choices stays.
  const std::vector<std::uint8_t> second = Convert({});
  EXPECT_EQ(second, Program({}));
  EXPECT_NE(first, second);
}

}  // namespace
}  // namespace vexmara::testing

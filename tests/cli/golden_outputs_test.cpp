// The bytes vexmara-import writes, held against the checksums of tests/cli/golden_outputs.txt:
// the sample with every kind of output and each dialog option, the odd models, and a model of the
// benchmarks' shape. A change anywhere between the plug-in's reader and the file writer that
// alters one byte of any output fails here, naming the file. When a change of the output is
// meant, the checksums are written anew with
//
//   VEXMARA_UPDATE_GOLDEN=1 build/tests/cli/cli_e2e_tests --gtest_filter='GoldenOutputs.*'
//
// and the new file is committed with the change that explains it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/image_codec.h"
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

// FNV-1a, 64 bits: enough to tell any two outputs of these tests apart.
std::string Checksum(const std::string& bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : bytes) {
    hash ^= std::uint8_t(c);
    hash *= 0x100000001b3ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// Every occurrence of `from` in `text` replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

struct GoldenCase {
  std::string name;
  // Writes the inputs into the folder and gives the arguments of vexmara-import, run there.
  std::function<std::vector<std::string>(const fs::path& folder)> prepare;
  // The files it writes whose bytes are checked, relative to the folder.
  std::vector<std::string> outputs;
};

std::vector<std::string> MakeSample(const fs::path& folder, std::vector<std::string> arguments) {
  const ProgramRun made = RunProgram(VEXMARA_MAKE_SAMPLE_PATH, {"sample"}, folder);
  EXPECT_EQ(made.exitCode, 0) << made.err;
  arguments.insert(arguments.begin(), {"sample/sample.app", "--anim", "sample/sample.ani"});
  return arguments;
}

// A model of the benchmarks' shape, smaller: a skinned grid on 8 textured materials, a chain of
// bones, and three animations with a track for every bone.
std::vector<std::string> MakeBenchmarkShape(const fs::path& folder) {
  writer::SampleModelShape shape;
  shape.vertices = 20000;
  shape.bones = 50;
  shape.materials = 8;
  EXPECT_TRUE(writer::SaveBytes((folder / "grid.app").string(),
                                writer::WriteAppFile(writer::SampleModel(shape))));
  for (int m = 0; m < shape.materials; ++m) {
    const std::string name = "texture_" + std::to_string(m);
    EXPECT_TRUE(writer::SaveBytes((folder / (name + ".tex")).string(),
                                  writer::SampleTextureFile(shape.firstTextureId + m)));
    host::DecodedImage image;
    image.width = image.height = 8;
    for (int i = 0; i < 64; ++i) {
      image.rgba.insert(image.rgba.end(), {std::uint8_t(i * 4), std::uint8_t(m * 30), 90, 255});
    }
    EXPECT_TRUE(host::WriteTga((folder / (name + ".tga")).string(), image));
  }
  std::vector<std::string> arguments{"grid.app"};
  for (int a = 0; a < 3; ++a) {
    writer::SampleAnimationShape animation;
    animation.name = "clip_" + std::to_string(a);
    animation.tracks = shape.bones;
    animation.keys = 30 + 10 * a;
    const std::string file = "clip_" + std::to_string(a) + ".ani";
    EXPECT_TRUE(writer::SaveBytes((folder / file).string(),
                                  writer::WriteAniFile(writer::SampleAnimation(animation))));
    arguments.insert(arguments.end(), {"--anim", file});
  }
  arguments.insert(arguments.end(), {"-o", "grid.glb"});
  return arguments;
}

std::vector<GoldenCase> GoldenCases() {
  std::vector<GoldenCase> cases;
  cases.push_back({"sample glb",
                   [](const fs::path& f) {
                     return MakeSample(f, {"-o", "sample.glb"});
                   },
                   {"sample.glb"}});
  cases.push_back({"sample gltf",
                   [](const fs::path& f) {
                     return MakeSample(f, {"-o", "sample.gltf"});
                   },
                   {"sample.gltf", "sample.bin", "sample_lower.png", "sample_upper.png"}});
  cases.push_back({"sample glb with its images beside it",
                   [](const fs::path& f) {
                     return MakeSample(f, {"-o", "sample.glb", "--external-images"});
                   },
                   {"sample.glb", "sample_lower.png", "sample_upper.png"}});
  cases.push_back({"sample unswapped, submeshes as groups",
                   [](const fs::path& f) {
                     return MakeSample(f, {"-o", "sample.glb", "--no-swap", "--groups"});
                   },
                   {"sample.glb"}});
  cases.push_back({"sample with alpha maps",
                   [](const fs::path& f) {
                     return MakeSample(f, {"-o", "sample.glb", "--alpha"});
                   },
                   {"sample.glb", "sample/lower_A.tga", "sample/upper_A.tga"}});
  cases.push_back({"sample scene document",
                   [](const fs::path& f) {
                     return MakeSample(f, {"--json", "scene.json"});
                   },
                   {"scene.json"}});
  for (const odd::OddModel& model : odd::OddModels()) {
    cases.push_back({std::string("odd model: ") + model.name,
                     [model](const fs::path& folder) {
                       EXPECT_TRUE(writer::SaveBytes((folder / "odd.app").string(),
                                                     writer::WriteAppFile(model.model())));
                       if (model.textures) model.textures(folder);
                       std::vector<std::string> arguments{"odd.app"};
                       for (size_t a = 0; a < model.animations.size(); ++a) {
                         const std::string file = "anim_" + std::to_string(a) + ".ani";
                         EXPECT_TRUE(writer::SaveBytes((folder / file).string(),
                                                       writer::WriteAniFile(model.animations[a])));
                         arguments.insert(arguments.end(), {"--anim", file});
                       }
                       arguments.insert(arguments.end(), {"-o", "odd.glb"});
                       arguments.insert(arguments.end(), model.arguments.begin(),
                                        model.arguments.end());
                       return arguments;
                     },
                     {"odd.glb"}});
  }
  cases.push_back({"a model of the benchmarks' shape", MakeBenchmarkShape, {"grid.glb"}});
  return cases;
}

// The stored checksums: "CASE | FILE | BYTES CHECKSUM" a line.
using Checksums = std::map<std::string, std::string>;

Checksums ReadChecksums(const fs::path& path) {
  Checksums sums;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t bar = line.rfind(" | ");
    if (bar != std::string::npos) sums[line.substr(0, bar)] = line.substr(bar + 3);
  }
  return sums;
}

TEST(GoldenOutputs, EveryOutputKeepsItsBytes) {
  const fs::path stored = VEXMARA_GOLDEN_FILE;
  const bool update = std::getenv("VEXMARA_UPDATE_GOLDEN") != nullptr;
  const Checksums expected = ReadChecksums(stored);
  Checksums found;
  for (const GoldenCase& golden : GoldenCases()) {
    SCOPED_TRACE(golden.name);
    ScratchFolder scratch("_" + std::to_string(found.size()));
    const fs::path folder = scratch.path();
    const std::vector<std::string> arguments = golden.prepare(folder);
    const ProgramRun run = RunProgram(VEXMARA_IMPORT_PATH, arguments, folder);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    for (const std::string& output : golden.outputs) {
      std::string bytes = ReadWhole(folder / output);
      ASSERT_FALSE(bytes.empty()) << output << " was not written";
      // The scene document names the textures by their paths, which hold the scratch folder's.
      if (output.ends_with(".json")) bytes = Replaced(bytes, folder.string(), "FOLDER");
      const std::string key = golden.name + " | " + output;
      found[key] = std::to_string(bytes.size()) + " " + Checksum(bytes);
      if (!update) {
        const auto known = expected.find(key);
        ASSERT_NE(known, expected.end())
            << key << " has no stored checksum: see this file's first lines";
        EXPECT_EQ(found[key], known->second) << key << " changed";
      }
    }
  }
  if (update) {
    std::ofstream file(stored);
    file << "# The bytes and FNV-1a checksum of every output of "
            "tests/cli/golden_outputs_test.cpp.\n";
    for (const auto& [key, sum] : found) file << key << " | " << sum << "\n";
    ASSERT_TRUE(file.good()) << stored;
  } else {
    EXPECT_EQ(found.size(), expected.size())
        << "outputs were added or left out: see this file's first lines";
  }
}

}  // namespace
}  // namespace vexmara::testing

// Writes the seed corpora of the fuzz harnesses, made with the project's own file writers:
//   fuzz_make_seeds DIRECTORY   ->  DIRECTORY/model_reader/*.app, DIRECTORY/animation_reader/*.ani (one folder per harness)
#include <cstdio>
#include <filesystem>
#include <string>

#include "writer/samples.h"

namespace fs = std::filesystem;
using namespace vexmara::writer;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  fs::create_directories(root / "model_reader");
  fs::create_directories(root / "animation_reader");
  bool ok = true;
  int n = 0;
  for (uint32_t version : {200u, 257u, 258u, 259u, 260u}) {
    for (int materials : {1, 3}) {
      SampleModelShape shape;
      shape.formatVersion = version;
      shape.vertices = 16;
      shape.bones = 3;
      shape.materials = materials;
      shape.variants = materials == 3 ? 2 : 1;
      ok &= SaveBytes((root / "model_reader" / ("seed" + std::to_string(n++) + ".app")).string(), WriteAppFile(SampleModel(shape)));
    }
  }
  n = 0;
  for (uint32_t version : {116u, 117u}) {
    for (bool frames : {true, false}) {
      SampleAnimationShape shape;
      shape.version = version;
      shape.tracks = 2;
      shape.keys = 3;
      shape.frameTable = frames;
      ok &= SaveBytes((root / "animation_reader" / ("seed" + std::to_string(n++) + ".ani")).string(),
                      WriteAniFile(SampleAnimation(shape)));
    }
  }
  return ok ? 0 : 1;
}

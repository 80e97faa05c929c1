// Writes the seed corpora of the fuzz harnesses, made with the project's own file writers:
//   fuzz_make_seeds DIRECTORY   ->  one folder of seeds per harness: model_reader,
//   animation_reader,
//                                   import, export, texture_scan, picker_buffer
#include <cstdio>
#include <filesystem>
#include <initializer_list>
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
      ok &= SaveBytes((root / "model_reader" / ("seed" + std::to_string(n++) + ".app")).string(),
                      WriteAppFile(SampleModel(shape)));
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
      ok &=
          SaveBytes((root / "animation_reader" / ("seed" + std::to_string(n++) + ".ani")).string(),
                    WriteAniFile(SampleAnimation(shape)));
    }
  }

  // Whole imports: an options byte, the model's length (uint16), the model, then the animation.
  SampleModelShape small;
  small.vertices = 8;
  small.bones = 2;
  small.materials = 2;
  const std::vector<uint8_t> model = WriteAppFile(SampleModel(small));
  SampleAnimationShape walk;
  walk.tracks = 2;
  walk.keys = 2;
  const std::vector<uint8_t> animation = WriteAniFile(SampleAnimation(walk));
  const auto importSeeds = [&](const char* kind, std::initializer_list<uint8_t> optionBytes) {
    fs::create_directories(root / kind);
    int seedNumber = 0;
    for (uint8_t options : optionBytes) {
      std::vector<uint8_t> seed = {options, uint8_t(model.size() & 0xFF),
                                   uint8_t(model.size() >> 8)};
      seed.insert(seed.end(), model.begin(), model.end());
      seed.insert(seed.end(), animation.begin(), animation.end());
      ok &= SaveBytes((root / kind / ("seed" + std::to_string(seedNumber++))).string(), seed);
    }
  };
  importSeeds("import", {0x21, 0x27, 0x00, 0x10});
  // Exports of whole imports, in the same layout; the options byte's two high bits ask for a
  // .gltf and for a .glb's images beside it.
  importSeeds("export", {0x21, 0x25, 0x61, 0xA4});

  // Texture folders: file count, then per file a name pick, a length and the bytes (an
  // identifier at offset 16), then materials with their slot identifiers, then the separator.
  fs::create_directories(root / "texture_scan");
  std::vector<uint8_t> scan = {3};
  for (uint8_t pick : {0, 1, 4}) {
    scan.push_back(pick);
    scan.push_back(20);
    for (int i = 0; i < 16; ++i) scan.push_back(0);
    scan.insert(scan.end(), {uint8_t(7 + pick), 0, 0, 0});
  }
  scan.insert(scan.end(), {2, 1, 7, 2, 8, 11, 0});
  ok &= SaveBytes((root / "texture_scan" / "seed0").string(), scan);

  // Picker buffers: mode, file offset, then UTF-16 units: a directory and two names.
  fs::create_directories(root / "picker_buffer");
  const std::u16string units =
      std::u16string(u"C:\\anims") + u'\0' + u"walk.ani" + u'\0' + u"run.ani" + u'\0' + u'\0';
  std::vector<uint8_t> picker = {3, 9, 0};
  for (char16_t unit : units) {
    picker.push_back(uint8_t(unit & 0xFF));
    picker.push_back(uint8_t(unit >> 8));
  }
  ok &= SaveBytes((root / "picker_buffer" / "seed0").string(), picker);
  return ok ? 0 : 1;
}

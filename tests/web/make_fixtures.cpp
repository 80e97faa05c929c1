// Writes the models the page's tests use beside the demo sample, with the project's writers:
//
//   vexmara-web-fixtures DIR    DIR/grid.app, a grid of about 300 vertices on a chain of 12 bones
//                               with two materials, and the tex files of both (no converted
//                               images), so that the sample's animation (4 of its bones) is not
//                               attached to it and its textures show as found
#include <cstdio>
#include <filesystem>
#include <string>

#include "writer/app_writer.h"
#include "writer/common.h"
#include "writer/samples.h"

int main(int argc, char** argv) {
  using namespace vexmara::writer;
  if (argc != 2) {
    std::fprintf(stderr, "usage: vexmara-web-fixtures DIR\n");
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::error_code ignored;
  std::filesystem::create_directories(directory, ignored);
  SampleModelShape shape;
  shape.vertices = 300;
  shape.bones = 12;
  shape.materials = 2;
  shape.firstTextureId = 2000;
  bool ok = SaveBytes((directory / "grid.app").string(), WriteAppFile(SampleModel(shape)));
  for (int m = 0; m < shape.materials; ++m) {
    ok = SaveBytes((directory / ("material_" + std::to_string(m) + ".tex")).string(),
                   SampleTextureFile(shape.firstTextureId + m)) &&
         ok;
  }
  if (!ok) {
    std::fprintf(stderr, "vexmara-web-fixtures: %s: the files could not be written\n",
                 directory.string().c_str());
    return 1;
  }
  return 0;
}

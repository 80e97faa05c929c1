#include "bench/inputs.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>

#include "host/image_codec.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"
#include "writer/samples.h"

namespace vexmara::bench {
namespace {

constexpr int32_t kMaterials = 8;
constexpr int32_t kFirstTextureId = 1000;

std::filesystem::path Folder(const char* name) {
  const std::filesystem::path folder = InputRoot() / name;
  std::filesystem::create_directories(folder);
  return folder;
}

InputFile Written(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  WriteInput(path, bytes);
  return InputFile{path, path.u16string(), bytes.size()};
}

// The tex files of the 8 sample materials, each with a converted image beside it, as the game's
// texture folders hold them.
void WriteMaterialTextures(const std::filesystem::path& folder) {
  for (int32_t m = 0; m < kMaterials; ++m) {
    const std::string name = "material_" + std::to_string(m);
    WriteInput(folder / (name + ".tex"), writer::SampleTextureFile(kFirstTextureId + m));
    WriteInput(folder / (name + ".dds"), {'D', 'D', 'S', ' '});
  }
}

std::filesystem::path ModelFolder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path models = Folder("models");
    WriteMaterialTextures(models);
    return models;
  }();
  return folder;
}

}  // namespace

std::filesystem::path InputRoot() {
  static const std::filesystem::path root = [] {
    const char* configured = std::getenv("VEXMARA_BENCH_INPUTS");
    std::filesystem::path path = configured != nullptr && configured[0] != 0
                                     ? std::filesystem::path(configured)
                                     : std::filesystem::temp_directory_path() /
                                           ("vexmara-bench-inputs-" + std::to_string(::getuid()));
    // Models change the process's current directory during an import: keep every path whole.
    path = std::filesystem::absolute(path);
    std::filesystem::create_directories(path);
    return path;
  }();
  return root;
}

void WriteInput(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  if (!writer::SaveBytes(path.string(), bytes)) {
    std::fprintf(stderr, "cannot write benchmark input %s\n", path.string().c_str());
    std::exit(2);
  }
}

int32_t BonesForVertices(int32_t vertices) {
  if (vertices <= 10'000) return 50;
  if (vertices <= 100'000) return 100;
  return 200;
}

namespace {

// The model of SampleModelFile, written into `folder`.
InputFile ModelIn(const std::filesystem::path& folder, int32_t vertices, int32_t bones,
                  int32_t chains, int32_t influences) {
  writer::SampleModelShape shape;
  shape.vertices = vertices;
  shape.bones = bones;
  shape.chains = chains;
  shape.influences = influences;
  shape.materials = kMaterials;
  shape.firstTextureId = kFirstTextureId;
  std::string name = "model_v" + std::to_string(vertices) + "_b" + std::to_string(bones);
  if (chains != 1 || influences != 2) {
    name += "_c" + std::to_string(chains) + "_i" + std::to_string(influences);
  }
  name += ".app";
  return Written(folder / name, writer::WriteAppFile(writer::SampleModel(shape)));
}

}  // namespace

const InputFile& SampleModelFile(int32_t vertices, int32_t bones, int32_t chains,
                                 int32_t influences) {
  static std::map<std::tuple<int32_t, int32_t, int32_t, int32_t>, InputFile> files;
  const auto key = std::make_tuple(vertices, bones, chains, influences);
  if (auto found = files.find(key); found != files.end()) return found->second;
  return files[key] = ModelIn(ModelFolder(), vertices, bones, chains, influences);
}

const InputFile& TexturedModelFile(int32_t vertices, int32_t bones, int32_t chains,
                                   int32_t influences) {
  static std::map<std::tuple<int32_t, int32_t, int32_t, int32_t>, InputFile> files;
  const auto key = std::make_tuple(vertices, bones, chains, influences);
  if (auto found = files.find(key); found != files.end()) return found->second;
  static const std::filesystem::path folder = [] {
    const std::filesystem::path made = Folder("textured_models");
    for (int32_t m = 0; m < kMaterials; ++m) {
      const std::string name = "material_" + std::to_string(m);
      WriteInput(made / (name + ".tex"), writer::SampleTextureFile(kFirstTextureId + m));
      // A pattern of its own per material, with some detail for the PNG encoder to work on.
      host::DecodedImage image;
      image.width = image.height = 256;
      image.rgba.resize(256 * 256 * 4);
      for (int32_t y = 0; y < 256; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
          uint8_t* pixel = &image.rgba[std::size_t(y * 256 + x) * 4];
          pixel[0] = uint8_t(x + 31 * m);
          pixel[1] = uint8_t(y ^ (x * 7));
          pixel[2] = uint8_t((x * y + m) >> 4);
          pixel[3] = 255;
        }
      }
      if (!host::WriteTga((made / (name + ".tga")).string(), image)) {
        std::fprintf(stderr, "cannot write benchmark texture for %s\n", name.c_str());
        std::exit(2);
      }
    }
    return made;
  }();
  return files[key] = ModelIn(folder, vertices, bones, chains, influences);
}

const InputFile& SampleAnimationFile(int32_t tracks, int32_t keys, int32_t variant) {
  static std::map<std::tuple<int32_t, int32_t, int32_t>, InputFile> files;
  const auto key = std::make_tuple(tracks, keys, variant);
  if (auto found = files.find(key); found != files.end()) return found->second;
  writer::SampleAnimationShape shape;
  shape.tracks = tracks;
  shape.keys = keys;
  shape.name = "take_" + std::to_string(variant);
  // Short names: 500 of them must fit the file picker's buffer together.
  char name[64];
  std::snprintf(name, sizeof name, "t%d_k%d_%03d.ani", int(tracks), int(keys), int(variant));
  static const std::filesystem::path folder = Folder("animations");
  return files[key] = Written(folder / name, writer::WriteAniFile(writer::SampleAnimation(shape)));
}

const InputFile& SkeletonModelFile(int32_t bones) {
  static std::map<int32_t, InputFile> files;
  if (auto found = files.find(bones); found != files.end()) return found->second;
  writer::SampleModelShape shape;
  shape.vertices = 64;
  shape.bones = bones;
  shape.materials = 1;
  writer::AppModel model = writer::SampleModel(shape);
  model.materials.clear();
  const std::string name = "skeleton_b" + std::to_string(bones) + ".app";
  return files[bones] = Written(ModelFolder() / name, writer::WriteAppFile(model));
}

const InputFile& ManyMaterialsModelFile(int32_t materials) {
  static std::map<int32_t, InputFile> files;
  if (auto found = files.find(materials); found != files.end()) return found->second;
  writer::SampleModelShape shape;
  shape.vertices = 4 * materials;
  shape.bones = 8;
  shape.materials = materials;
  const std::string name = "materials_" + std::to_string(materials) + ".app";
  return files[materials] = Written(Folder("material-models") / name,
                                    writer::WriteAppFile(writer::SampleModel(shape)));
}

std::filesystem::path SampleModelTree(int32_t models, int32_t vertices) {
  constexpr int32_t kModelsPerFolder = 20;
  static std::map<std::pair<int32_t, int32_t>, std::filesystem::path> trees;
  const auto key = std::make_pair(models, vertices);
  if (auto found = trees.find(key); found != trees.end()) return found->second;
  const std::filesystem::path root =
      Folder(("tree_m" + std::to_string(models) + "_v" + std::to_string(vertices)).c_str());
  writer::SampleModelShape shape;
  shape.vertices = vertices;
  shape.bones = BonesForVertices(vertices);
  shape.materials = kMaterials;
  shape.firstTextureId = kFirstTextureId;
  const std::vector<uint8_t> bytes = writer::WriteAppFile(writer::SampleModel(shape));
  for (int32_t m = 0; m < models; ++m) {
    const std::filesystem::path folder = root / ("folder_" + std::to_string(m / kModelsPerFolder));
    if (m % kModelsPerFolder == 0) {
      std::filesystem::create_directories(folder);
      WriteMaterialTextures(folder);
    }
    WriteInput(folder / ("model_" + std::to_string(m) + ".app"), bytes);
  }
  return trees[key] = root;
}

const TextureFolder& SampleTextureFolder(int32_t files) {
  static std::map<int32_t, TextureFolder> folders;
  if (auto found = folders.find(files); found != folders.end()) return found->second;
  TextureFolder folder;
  folder.directory = Folder(("textures_" + std::to_string(files)).c_str());
  for (int32_t i = 0; i < files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "tex_%05d.tex", int(i));
    WriteInput(folder.directory / name, writer::SampleTextureFile(kFirstTextureId + i));
  }
  folder.wideDirectory = folder.directory.u16string() + u"/";

  writer::SampleModelShape shape;
  shape.vertices = 64;
  shape.bones = 1;
  shape.materials = kMaterials;
  shape.firstTextureId = kFirstTextureId;
  shape.texturesPerMaterial = files / kMaterials;
  const std::string name = "slots_" + std::to_string(files) + ".app";
  folder.model =
      Written(Folder("texture-models") / name, writer::WriteAppFile(writer::SampleModel(shape)));
  return folders[files] = std::move(folder);
}

}  // namespace vexmara::bench

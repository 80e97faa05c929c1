// Writes the demo sample with the project's own writers: a small skinned model (a tapering tube
// of two materials on a chain of four bones), its animation, and the textures of both materials
// as the game keeps them (a "tex" file naming the texture's identifier) with a converted TGA
// image beside each.
//
//   vexmara-make-sample DIR     writes DIR/sample.app, DIR/sample.ani, DIR/lower.tex,
//   DIR/lower.tga,
//                               DIR/upper.tex and DIR/upper.tga
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/image_codec.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"

namespace {

using namespace vexmara::writer;

constexpr float kPi = 3.14159265f;
constexpr int kBones = 4;
constexpr int kSides = 12;            // faces around the tube
constexpr int kRingsPerMaterial = 8;  // ring steps of each half
constexpr float kRingStep = 0.25f;    // model units between rings (the model's z axis is up)
constexpr int kFrames = 31;           // frames 0 .. 30 at 15 frames per second: two seconds

struct Texture {
  const char* name;
  int32_t id;
  uint8_t a[3], b[3];  // the two colours of its pattern
};
constexpr Texture kTextures[2] = {
    {"lower", 1000, {214, 120, 40}, {92, 44, 20}},
    {"upper", 1001, {40, 170, 160}, {236, 228, 200}},
};

float Radius(float z) { return 0.4f - 0.06f * z; }

// One half of the tube: rings from `firstRing` on, with a seam column so that u runs 0 to 1.
AppSubmesh TubeHalf(int firstRing, const std::string& material) {
  AppSubmesh submesh;
  submesh.materialName = material;
  const int columns = kSides + 1;
  for (int r = 0; r <= kRingsPerMaterial; ++r) {
    const int ring = firstRing + r;
    const float z = float(ring) * kRingStep;
    for (int c = 0; c < columns; ++c) {
      const float angle = 2 * kPi * float(c % kSides) / float(kSides);
      const float u = float(c) / float(kSides);
      const float v = 1.0f - float(r) / float(kRingsPerMaterial);
      submesh.vertices.push_back(
          MakeVertex(Radius(z) * std::cos(angle), Radius(z) * std::sin(angle), z, u, v));
      // Each bone is one unit long; a vertex follows the bone it is on and the next one.
      AppSkin skin;
      const int bone = std::min(int(z), kBones - 1);
      const float f = std::min(z - float(bone), 1.0f);
      if (bone + 1 < kBones) {
        skin.boneIndices = {bone, bone + 1, 0};
        skin.weights = {1 - f, f, 0};
      } else {
        skin.boneIndices = {bone, 0, 0};
        skin.weights = {1, 0, 0};
      }
      submesh.skin.push_back(skin);
    }
  }
  for (int r = 0; r < kRingsPerMaterial; ++r) {
    for (int c = 0; c < kSides; ++c) {
      const auto i = uint16_t(r * columns + c);
      const auto right = uint16_t(i + 1), up = uint16_t(i + columns),
                 diagonal = uint16_t(i + columns + 1);
      submesh.triangles.push_back({i, right, diagonal});
      submesh.triangles.push_back({i, diagonal, up});
    }
  }
  return submesh;
}

AppModel SampleTube() {
  AppModel model;
  for (int b = 0; b < kBones; ++b) {
    AppBone bone;
    bone.name = "bone_" + std::to_string(b);
    bone.parentIndex = b - 1;
    bone.bindTransform.translation = {0, 0, b == 0 ? 0.0f : 1.0f};
    model.bones.push_back(bone);
  }
  for (int m = 0; m < 2; ++m) {
    AppMaterial material;
    material.name = kTextures[m].name;
    material.variants.push_back(AppVariant{{kTextures[m].id}, {}});
    model.materials.push_back(material);
    model.geosets[size_t(m)].submeshes.push_back(TubeHalf(m * kRingsPerMaterial, material.name));
  }
  model.variantNames = {"default"};
  return model;
}

// The tube sways from side to side (about the model's y axis), the wave climbing the chain, while
// the root turns a little about the up axis and the tip swells. Keys are each bone's full local
// transform.
AniFile SampleSway() {
  AniFile file;
  file.name = "sway";
  for (int b = 0; b < kBones; ++b) {
    AniTrack track;
    track.boneName = "bone_" + std::to_string(b);
    for (int k = 0; k < kFrames; ++k) {
      const float phase = 2 * kPi * float(k) / float(kFrames - 1);
      track.translationKeys.push_back({k, 0, 0, b == 0 ? 0.0f : 1.0f});
      if (b == 0) {
        const float turn = 0.4f * std::sin(phase);
        track.rotationKeys.push_back(
            MakeRotationKey(k, 0, 0, std::sin(turn / 2), std::cos(turn / 2)));
      } else {
        const float bend = 0.45f * std::sin(phase - 0.7f * float(b));
        track.rotationKeys.push_back(
            MakeRotationKey(k, 0, std::sin(bend / 2), 0, std::cos(bend / 2)));
      }
      track.scaleKeys.push_back({k, b == kBones - 1 ? 1.0f + 0.2f * std::sin(phase) : 1.0f});
    }
    file.tracks.push_back(std::move(track));
  }
  // Frame times on the file's frame scale: frame k at time k.
  for (int k = 0; k < kFrames; ++k) file.frameTimes.push_back(float(k));
  return file;
}

// A tex file: the identifier at byte 16, then a few bytes standing for the game's image data.
std::vector<uint8_t> TexFile(int32_t id) {
  std::vector<uint8_t> bytes(32, 0);
  const char magic[4] = {'T', 'E', 'X', '1'};
  for (int i = 0; i < 4; ++i) bytes[size_t(i)] = uint8_t(magic[i]);
  for (int i = 0; i < 4; ++i) bytes[size_t(16 + i)] = uint8_t(uint32_t(id) >> (8 * i));
  return bytes;
}

// A 64 x 64 pattern: checks across, a band at the top so that the image's orientation shows.
vexmara::host::DecodedImage Pattern(const Texture& texture) {
  vexmara::host::DecodedImage image;
  image.width = 64;
  image.height = 64;
  image.rgba.resize(64 * 64 * 4);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const bool first = ((x / 8) + (y / 8)) % 2 == 0 || y < 4;
      const uint8_t* colour = first ? texture.a : texture.b;
      uint8_t* pixel = &image.rgba[size_t(y * 64 + x) * 4];
      for (int c = 0; c < 3; ++c) pixel[c] = colour[c];
      pixel[3] = 255;
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vexmara-make-sample DIR\n");
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  bool ok = SaveBytes((directory / "sample.app").string(), WriteAppFile(SampleTube()));
  ok = SaveBytes((directory / "sample.ani").string(), WriteAniFile(SampleSway())) && ok;
  for (const Texture& texture : kTextures) {
    ok = SaveBytes((directory / (std::string(texture.name) + ".tex")).string(),
                   TexFile(texture.id)) &&
         ok;
    ok = vexmara::host::WriteTga((directory / (std::string(texture.name) + ".tga")).string(),
                                 Pattern(texture)) &&
         ok;
  }
  if (!ok) {
    std::fprintf(stderr, "vexmara-make-sample: %s: the sample could not be written\n",
                 directory.string().c_str());
    return 1;
  }
  std::printf("%s: sample.app, sample.ani, lower.tex, lower.tga, upper.tex, upper.tga\n",
              directory.string().c_str());
  return 0;
}

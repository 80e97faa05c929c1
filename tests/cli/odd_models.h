// Odd but readable models, each written by the project's writers: the table that the export's
// end-to-end tests and the check of its bytes share.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/image_codec.h"
#include "writer/ani_writer.h"
#include "writer/app_writer.h"
#include "writer/common.h"
#include "writer/samples.h"

namespace vexmara::testing::odd {

namespace fs = std::filesystem;
using writer::AppModel;
using writer::MakeBone;
using writer::MakeMaterial;
using writer::MakeVertex;

// A submesh of one triangle (and any extra vertices) on material `material`, skinned to bone 0.
inline writer::AppSubmesh Triangle(const std::string& material, bool skinned = true) {
  writer::AppSubmesh submesh;
  submesh.materialName = material;
  submesh.vertices = {MakeVertex(0, 0, 0, 0, 0), MakeVertex(1, 0, 0, 1, 0),
                      MakeVertex(0, 0, 1, 0, 1)};
  if (skinned) submesh.skin.assign(3, writer::AppSkin{{0, 0, 0}, {1, 0, 0}});
  submesh.triangles = {{0, 1, 2}};
  return submesh;
}

// A model of bones with the given parents, all "b<i>", and one triangle of material "m".
inline AppModel Skeleton(const std::vector<int32_t>& parents) {
  AppModel model;
  for (size_t b = 0; b < parents.size(); ++b) {
    model.bones.push_back(
        MakeBone("b" + std::to_string(b), parents[b], {0, 0, b == 0 ? 0.0f : 1.0f}));
  }
  model.geosets[0].submeshes = {Triangle("m")};
  model.materials = {MakeMaterial("m")};
  model.variantNames = {"default"};
  return model;
}

// An animation named `name` with a track of two keys of each kind for each of `bones`.
inline writer::AniFile Animation(const std::string& name, const std::vector<std::string>& bones) {
  writer::AniFile file;
  file.name = name;
  for (const std::string& bone : bones) {
    writer::AniTrack track;
    track.boneName = bone;
    track.translationKeys = {{0, 0, 0, 0}, {1, 0, 0, 1}};
    track.rotationKeys = {writer::MakeRotationKey(0, 0, 0, 0, 1),
                          writer::MakeRotationKey(1, 0, 0, 0.7071f, 0.7071f)};
    track.scaleKeys = {{0, 1}, {1, 1.5f}};
    file.tracks.push_back(track);
  }
  file.frameTimes = {0, 15};
  return file;
}

// A texture as the game keeps it (a tex file naming `id`) with a 4 x 4 TGA of the given alpha
// values (one per row) beside it.
inline void WriteTexture(const fs::path& folder, const std::string& name, int32_t id,
                         std::array<std::uint8_t, 4> alpha) {
  ASSERT_TRUE(
      writer::SaveBytes((folder / (name + ".tex")).string(), writer::SampleTextureFile(id)));
  host::DecodedImage image;
  image.width = image.height = 4;
  for (std::uint8_t a : alpha) {
    for (int x = 0; x < 4; ++x)
      image.rgba.insert(image.rgba.end(), {std::uint8_t(60 * x), 120, 200, a});
  }
  ASSERT_TRUE(host::WriteTga((folder / (name + ".tga")).string(), image));
}

struct OddModel {
  const char* name;
  std::function<AppModel()> model;
  std::vector<writer::AniFile> animations;
  std::function<void(const fs::path& folder)> textures;  // files beside the model, when any
  std::vector<std::string> arguments;                    // further options of vexmara-import
  const char* assimpRefuses = nullptr;  // what assimp says when it refuses this shape of scene
  // What the document must hold beyond being valid: a check of its JSON.
  std::function<void(const nlohmann::json& document)> expect;
};

inline std::vector<OddModel> OddModels() {
  const float nan = std::numeric_limits<float>::quiet_NaN(),
              inf = std::numeric_limits<float>::infinity();
  const auto nodeNamed = [](const nlohmann::json& document, const std::string& name) {
    for (const auto& node : document["nodes"]) {
      if (node.value("name", "") == name) return true;
    }
    return false;
  };
  std::vector<OddModel> models;
  models.push_back(
      {"forest",
       [] {
         return Skeleton({-1, 0, -1, 2});
       },
       {Animation("a", {"b0", "b3"})},
       {},
       {},
       nullptr,
       [](const nlohmann::json& d) { EXPECT_EQ(d["nodes"].size(), 6u) << "one extra node"; }});
  models.push_back(
      {"cycle",
       [] {
         return Skeleton({-1, 0, 3, 2});
       },
       {Animation("a", {"b2", "b3"})},
       {},
       {},
       nullptr,
       [](const nlohmann::json& d) { EXPECT_EQ(d["nodes"].size(), 6u) << "one extra node"; }});
  models.push_back(
      {"self-parent",
       [] {
         return Skeleton({-1, 0, 2});
       },
       {Animation("a", {"b2"})},
       {},
       {},
       nullptr,
       [](const nlohmann::json& d) { EXPECT_EQ(d["nodes"].size(), 5u) << "one extra node"; }});
  models.push_back({"duplicate names",
                    [] {
                      AppModel model = Skeleton({-1, 0, 0});
                      model.bones[1].name = model.bones[2].name = "Same";
                      model.materials = {MakeMaterial("m"), MakeMaterial("m")};
                      model.geosets[1].submeshes = {Triangle("m")};
                      return model;
                    },
                    {Animation("walk", {"Same"}), Animation("walk", {"b0"})},
                    {},
                    {},
                    nullptr,
                    [&](const nlohmann::json& d) {
                      EXPECT_TRUE(nodeNamed(d, "Same") && nodeNamed(d, "Same.001"))
                          << d["nodes"].dump();
                      ASSERT_EQ(d["animations"].size(), 2u);
                      EXPECT_EQ(d["animations"][1]["name"], "walk.001");
                    }});
  models.push_back({"empty names",
                    [] {
                      AppModel model = Skeleton({-1, 0});
                      model.bones[1].name = "";
                      model.materials = {MakeMaterial("")};
                      model.geosets[0].submeshes[0].materialName = "";
                      return model;
                    },
                    {},
                    {},
                    {},
                    nullptr,
                    [&](const nlohmann::json& d) {
                      EXPECT_TRUE(nodeNamed(d, "bone_1")) << d["nodes"].dump();
                      EXPECT_EQ(d["materials"][0]["name"], "material_0");
                    }});
  models.push_back({"names with bytes above 127",
                    [] {
                      AppModel model = Skeleton({-1, 0});
                      model.bones[1].name = "\xFF\xFE";
                      model.materials = {MakeMaterial("\xE9t\xE9")};
                      model.geosets[0].submeshes[0].materialName = "\xE9t\xE9";
                      return model;
                    },
                    {},
                    {},
                    {},
                    nullptr,
                    [&](const nlohmann::json& d) {
                      EXPECT_TRUE(nodeNamed(d, "\xC3\xBF\xC3\xBE")) << d["nodes"].dump();
                      EXPECT_EQ(d["materials"][0]["name"], "\xC3\xA9t\xC3\xA9");
                    }});
  models.push_back({"bones only",
                    [] {
                      AppModel model = Skeleton({-1, 0, 1});
                      model.geosets[0].submeshes.clear();
                      model.materials.clear();
                      return model;
                    },
                    {Animation("a", {"b1"})},
                    {},
                    {},
                    "No materials remaining",
                    [](const nlohmann::json& d) {
                      EXPECT_FALSE(d.contains("meshes"));
                      EXPECT_EQ(d["animations"].size(), 1u);
                    }});
  models.push_back({"static mesh, animation naming no bone",
                    [] {
                      AppModel model = Skeleton({});
                      model.geosets[0].submeshes = {Triangle("m", false)};
                      return model;
                    },
                    {Animation("a", {"nobody"})},
                    {},
                    {},
                    nullptr,
                    [](const nlohmann::json& d) {
                      EXPECT_FALSE(d.contains("skins"));
                      EXPECT_FALSE(d.contains("animations"));
                    }});
  models.push_back({"degenerate triangles and unreferenced vertices",
                    [] {
                      AppModel model = Skeleton({-1});
                      writer::AppSubmesh& submesh = model.geosets[0].submeshes[0];
                      submesh.vertices.push_back(
                          MakeVertex(5, 5, 5, 0.5f, 0.5f));  // named by no triangle
                      submesh.skin.push_back(writer::AppSkin{{0, 0, 0}, {1, 0, 0}});
                      submesh.triangles.push_back({1, 1, 1});
                      submesh.triangles.push_back({0, 2, 2});
                      return model;
                    },
                    {},
                    {},
                    {},
                    nullptr,
                    nullptr});
  models.push_back({"empty submeshes",
                    [] {
                      AppModel model = Skeleton({-1});
                      writer::AppSubmesh empty;
                      empty.materialName = "m";
                      model.geosets[0].submeshes.push_back(empty);
                      model.geosets[1].submeshes = {empty};
                      return model;
                    },
                    {},
                    {},
                    {},
                    nullptr,
                    [](const nlohmann::json& d) { EXPECT_EQ(d["meshes"].size(), 1u); }});
  models.push_back({"no materials",
                    [] {
                      AppModel model = Skeleton({-1});
                      model.materials.clear();
                      return model;
                    },
                    {},
                    {},
                    {},
                    nullptr,
                    [](const nlohmann::json& d) {
                      EXPECT_FALSE(d["meshes"][0]["primitives"][0].contains("material"));
                    }});
  models.push_back({"non-finite and huge coordinates",
                    [=] {
                      AppModel model = Skeleton({-1});
                      auto& vertices = model.geosets[0].submeshes[0].vertices;
                      vertices[0].position = {nan, 0, 0};
                      vertices[1].position = {inf, -inf, 1};
                      vertices[2].position = {3e38f, -3e38f, 1e-38f};
                      return model;
                    },
                    {},
                    {},
                    {},
                    nullptr,
                    nullptr});
  models.push_back({"weights not summing to one, a skin index past the bones",
                    [] {
                      AppModel model = Skeleton({-1, 0});
                      auto& skin = model.geosets[0].submeshes[0].skin;
                      skin[0] = writer::AppSkin{{0, 1, 0}, {0.2f, 0.3f, 0}};
                      skin[1] = writer::AppSkin{{7, 0, 0}, {1, 0, 0}};
                      skin[2] = writer::AppSkin{{1, 1, 1}, {0.5f, 0.5f, 0.5f}};
                      return model;
                    },
                    {},
                    {},
                    {},
                    nullptr,
                    nullptr});
  models.push_back({"cut-out, blended and opaque textures, alpha maps extracted",
                    [] {
                      AppModel model = Skeleton({-1});
                      model.materials = {MakeMaterial("leaf", {2000}),
                                         MakeMaterial("glass", {2001}),
                                         MakeMaterial("stone", {2002})};
                      model.geosets[0].submeshes = {Triangle("leaf"), Triangle("glass")};
                      model.geosets[1].submeshes = {Triangle("stone")};
                      return model;
                    },
                    {},
                    [](const fs::path& folder) {
                      WriteTexture(folder, "leaf", 2000, {0, 255, 255, 0});
                      WriteTexture(folder, "glass", 2001, {255, 128, 64, 255});
                      WriteTexture(folder, "stone", 2002, {255, 255, 255, 255});
                    },
                    {"--alpha"},
                    nullptr,
                    [](const nlohmann::json& d) {
                      ASSERT_EQ(d["materials"].size(), 3u);
                      EXPECT_EQ(d["materials"][0].value("alphaMode", "OPAQUE"), "MASK");
                      EXPECT_EQ(d["materials"][1].value("alphaMode", "OPAQUE"), "BLEND");
                      EXPECT_EQ(d["materials"][2].value("alphaMode", "OPAQUE"), "OPAQUE");
                      EXPECT_EQ(d["images"].size(), 3u);
                    }});
  return models;
}

}  // namespace vexmara::testing::odd

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "read_le.h"
#include "writer/app_writer.h"

namespace vexmara::writer {
namespace {

using namespace testing;  // the little-endian readers

AppModel MinimalModel() {
  AppModel model;
  model.formatVersion = 260;
  AppBone root;
  root.name = "root";
  model.bones.push_back(root);
  return model;
}

TEST(AppWriter, MinimalModelMatchesTheSmallestReadableFile) {
  AppPlacement placement;
  const Bytes bytes = WriteAppFile(MinimalModel(), &placement);

  Bytes expected(856, 0);
  PutU32(expected, 4, 260);
  PutU32(expected, 36, 1);
  PutU32(expected, 40, 528);
  PutU32(expected, 44, 312);
  std::memcpy(&expected[544], "root", 4);
  PutU32(expected, 544 + 64, 0xFFFFFFFFu);
  for (size_t block : {108, 140, 172}) {  // three identity transforms: w = 1, scale = 1
    PutF32(expected, 544 + block + 12, 1.0f);
    PutF32(expected, 544 + block + 28, 1.0f);
  }
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(placement.bones, (DataRef{528, 312}));
  EXPECT_EQ(FilePosition(placement.bones), 544u);
}

// Sizes and positions by format generation, as the importer reads them.
struct Generation {
  uint32_t version;
  uint32_t bone, submesh, material, textureEntry, textureIdAt, variantBlock;
  uint32_t skinRefAt, indexCountAt, indexRefAt, materialNameAt;  // inside a submesh record
};

const Generation kGenerations[] = {
    {257, 236, 372, 140, 184, 4, 1472, 20, 32, 36, 72},
    {258, 236, 372, 140, 184, 4, 432, 20, 32, 36, 72},
    {259, 236, 372, 140, 184, 4, 432, 20, 32, 36, 72},
    {260, 312, 400, 144, 160, 8, 432, 24, 40, 44, 92},
};

// Two bones; geoset 0: one skinned submesh of three vertices and one triangle; geoset 1: one
// submesh without skin; one material with two variants (texture ids 7, 9 and 11); two variant
// names.
AppModel FullModel(uint32_t version) {
  AppModel model;
  model.formatVersion = version;
  AppBone root;
  root.name = "root";
  root.bindTransform = {{0, 0, 0.6f, 0.8f}, {1, 2, 3}, 2};
  AppBone child;
  child.name = "child";
  child.parentIndex = 0;
  model.bones = {root, child};

  AppSubmesh skinned;
  skinned.vertices = {MakeVertex(1, 2, 3, 128, 0.001953125f),
                      MakeVertex(4, 5, 6, 64.001953125f, 100), MakeVertex(7, 8, 9, 0, 0)};
  skinned.skin = {
      {{0, 1, 0}, {0.5f, 0.5f, 0}}, {{1, 0, 0}, {1, 0, 0}}, {{1, 0, 1}, {0.25f, 0.5f, 0.25f}}};
  skinned.triangles = {{0, 1, 2}};
  skinned.materialName = "stone";
  model.geosets[0].submeshes = {skinned};

  AppSubmesh plain = skinned;
  plain.skin.clear();
  plain.triangles = {{2, 1, 0}};
  plain.materialName = "moss";
  model.geosets[1].submeshes = {plain};

  AppMaterial stone;
  stone.name = "stone";
  stone.variants.resize(2);
  stone.variants[0].textureIds = {7, 9};
  stone.variants[1].textureIds = {11};
  model.materials = {stone};
  model.variantNames = {"day", "night"};
  return model;
}

void PrintTo(const Generation& g, std::ostream* os) { *os << "version " << g.version; }

class AppGenerations : public ::testing::TestWithParam<Generation> {};

TEST_P(AppGenerations, FieldsLandAtTheirPositions) {
  const Generation& g = GetParam();
  AppPlacement placement;
  const Bytes b = WriteAppFile(FullModel(g.version), &placement);

  // Expected placement, in reading order, from the record sizes alone.
  const uint32_t bones = g.variantBlock + 112;
  const uint32_t sub0 = bones + 2 * g.bone;
  const uint32_t vertices0 = sub0 + g.submesh;
  const uint32_t skin0 = vertices0 + 3 * 44;
  const uint32_t indices0 = skin0 + 3 * 24;
  const uint32_t sub1 = indices0 + 6;
  const uint32_t vertices1 = sub1 + g.submesh;
  const uint32_t indices1 = vertices1 + 3 * 44;
  const uint32_t material = indices1 + 6;
  const uint32_t entries = material + g.material;
  const uint32_t textures0 = entries + 2 * 248;
  const uint32_t textures1 = textures0 + 2 * g.textureEntry;
  const uint32_t names = textures1 + g.textureEntry;
  ASSERT_EQ(b.size(), names + 2 * 64);

  EXPECT_EQ(U32(b, 4), g.version);
  EXPECT_EQ(I32(b, 36), 2);
  EXPECT_EQ(Ref(b, 40), std::make_pair(bones - 16, 2 * g.bone));
  EXPECT_EQ(Text(b, bones, 64), "root");
  EXPECT_EQ(I32(b, bones + 64), -1);
  EXPECT_EQ(F32(b, bones + 108 + 12), 1.0f);  // first block left at identity
  EXPECT_EQ(F32(b, bones + 172 + 8), 0.6f);   // bind rotation z, w
  EXPECT_EQ(F32(b, bones + 172 + 12), 0.8f);
  EXPECT_EQ(F32(b, bones + 172 + 24), 3.0f);  // bind translation z
  EXPECT_EQ(F32(b, bones + 172 + 28), 2.0f);  // bind scale
  EXPECT_EQ(Text(b, bones + g.bone, 64), "child");
  EXPECT_EQ(I32(b, bones + g.bone + 64), 0);

  EXPECT_EQ(I32(b, 168), 1);
  EXPECT_EQ(Ref(b, 172), std::make_pair(sub0 - 16, g.submesh));
  EXPECT_EQ(I32(b, 192), 1);
  EXPECT_EQ(Ref(b, 196), std::make_pair(sub1 - 16, g.submesh));

  EXPECT_EQ(I32(b, sub0 + 4), 3);
  EXPECT_EQ(Ref(b, sub0 + 8), std::make_pair(vertices0 - 16, 3u * 44));
  EXPECT_EQ(Ref(b, sub0 + g.skinRefAt), std::make_pair(skin0 - 16, 3u * 24));
  EXPECT_EQ(I32(b, sub0 + g.indexCountAt), 3);
  EXPECT_EQ(Ref(b, sub0 + g.indexRefAt), std::make_pair(indices0 - 16, 6u));
  EXPECT_EQ(Text(b, sub0 + g.materialNameAt, 128), "stone");
  EXPECT_EQ(F32(b, vertices0 + 44 + 8), 6.0f);
  EXPECT_EQ(I16(b, vertices0 + 24), 32767);
  EXPECT_EQ(I16(b, vertices0 + 26), -32768);
  EXPECT_EQ(I16(b, vertices0 + 44 + 24), 0);
  EXPECT_EQ(I32(b, skin0 + 48 + 16), 1);  // third vertex, third influence
  EXPECT_EQ(F32(b, skin0 + 48 + 20), 0.25f);
  EXPECT_EQ(U16(b, indices0 + 4), 2);

  EXPECT_EQ(Ref(b, sub1 + g.skinRefAt), std::make_pair(0u, 0u));
  EXPECT_EQ(Ref(b, sub1 + g.indexRefAt), std::make_pair(indices1 - 16, 6u));
  EXPECT_EQ(U16(b, indices1), 2);
  EXPECT_EQ(Text(b, sub1 + g.materialNameAt, 128), "moss");

  const uint32_t B = g.variantBlock;
  EXPECT_EQ(I32(b, B), 2);
  EXPECT_EQ(I32(b, B + 4), 1);
  EXPECT_EQ(Ref(b, B + 8), std::make_pair(material - 16, g.material));
  EXPECT_EQ(Ref(b, B + 16), std::make_pair(names - 16, 128u));
  EXPECT_EQ(Text(b, material, 128), "stone");
  EXPECT_EQ(Ref(b, material + 128), std::make_pair(entries - 16, 2u * 248));
  EXPECT_EQ(Ref(b, entries + 100), std::make_pair(textures0 - 16, 2 * g.textureEntry));
  EXPECT_EQ(Ref(b, entries + 248 + 100), std::make_pair(textures1 - 16, g.textureEntry));
  EXPECT_EQ(I32(b, textures0 + g.textureIdAt), 7);
  EXPECT_EQ(I32(b, textures0 + g.textureEntry + g.textureIdAt), 9);
  EXPECT_EQ(I32(b, textures1 + g.textureIdAt), 11);
  EXPECT_EQ(Text(b, names + 64, 64), "night");

  // The placement report agrees with the file.
  EXPECT_EQ(placement.sizes.variantBlock, B);
  EXPECT_EQ(placement.geosets[0].submeshRecords.at(0).record, sub0);
  EXPECT_EQ(placement.geosets[1].submeshRecords.at(0).skin, DataRef{});
  EXPECT_EQ(placement.materialRecords.at(0).textureEntries.at(1),
            (DataRef{textures1 - 16, g.textureEntry}));
  EXPECT_EQ(placement.variantNames, (DataRef{names - 16, 128}));
}

INSTANTIATE_TEST_SUITE_P(Versions, AppGenerations, ::testing::ValuesIn(kGenerations),
                         [](const auto& info) { return "v" + std::to_string(info.param.version); });

// Leaving one array out writes its DataRef as (0, 0), keeps its count, and drops exactly its
// bytes (and those of the arrays only it leads to) from the file.
struct AbsentCase {
  const char* name;
  std::function<void(AppModel&)> leaveOut;
  std::function<size_t(const AppPlacement&)> refAt;
  std::optional<size_t> countAt;  // absolute, for version 260
  int32_t count;
  size_t bytesDropped;
};

TEST(AppWriter, AbsentArraysWriteZeroRefsAndKeepCounts) {
  const auto sub0 = [](const AppPlacement& p) {
    return size_t{p.geosets[0].submeshRecords.at(0).record};
  };
  const auto material = [](const AppPlacement& p) {
    return size_t{p.materialRecords.at(0).record};
  };
  const AbsentCase cases[] = {
      {"bones", [](AppModel& m) { m.bonesArray.absent = true; },
       [](const AppPlacement&) { return size_t{40}; }, 36, 2, 2 * 312},
      {"submeshes", [](AppModel& m) { m.geosets[0].submeshesArray.absent = true; },
       [](const AppPlacement&) { return size_t{172}; }, 168, 1, 400 + 132 + 72 + 6},
      {"vertices", [](AppModel& m) { m.geosets[0].submeshes[0].verticesArray.absent = true; },
       [&](const AppPlacement& p) { return sub0(p) + 8; }, std::nullopt, 0, 132},
      {"skin", [](AppModel& m) { m.geosets[0].submeshes[0].skinArray.absent = true; },
       [&](const AppPlacement& p) { return sub0(p) + 24; }, std::nullopt, 0, 72},
      {"indices", [](AppModel& m) { m.geosets[0].submeshes[0].indicesArray.absent = true; },
       [&](const AppPlacement& p) { return sub0(p) + 44; }, std::nullopt, 0, 6},
      {"materials", [](AppModel& m) { m.materialsArray.absent = true; },
       [](const AppPlacement&) { return size_t{432 + 8}; }, 432 + 4, 1, 144 + 2 * 248 + 3 * 160},
      {"variant entries", [](AppModel& m) { m.materials[0].variantEntriesArray.absent = true; },
       [&](const AppPlacement& p) { return material(p) + 128; }, 432, 2, 2 * 248 + 3 * 160},
      {"texture entries",
       [](AppModel& m) { m.materials[0].variants[0].textureEntriesArray.absent = true; },
       [](const AppPlacement& p) {
         return FilePosition(p.materialRecords.at(0).variantEntries) + size_t{100};
       },
       std::nullopt, 0, 2 * 160},
      {"variant names", [](AppModel& m) { m.variantNamesArray.absent = true; },
       [](const AppPlacement&) { return size_t{432 + 16}; }, 432, 2, 128},
  };
  AppPlacement full;
  const Bytes reference = WriteAppFile(FullModel(260), &full);
  for (const AbsentCase& c : cases) {
    SCOPED_TRACE(c.name);
    AppModel model = FullModel(260);
    c.leaveOut(model);
    const Bytes b = WriteAppFile(model);
    EXPECT_EQ(b.size(), reference.size() - c.bytesDropped);
    const size_t refAt = c.refAt(full);
    ASSERT_NE(Ref(reference, refAt), std::make_pair(0u, 0u));
    EXPECT_EQ(Ref(b, refAt), std::make_pair(0u, 0u));
    if (c.countAt) {
      EXPECT_EQ(I32(b, *c.countAt), c.count);
    }
  }
}

TEST(AppWriter, CountOverridesChangeOnlyTheirCountFields) {
  AppPlacement p;
  const Bytes reference = WriteAppFile(FullModel(260), &p);
  AppModel model = FullModel(260);
  model.boneCount = 5;
  model.geosets[1].submeshCount = -1;
  model.geosets[0].submeshes[0].vertexCount = 0;
  model.geosets[0].submeshes[0].indexCount = 7;
  model.materialCount = 3;
  model.variantCount = 4;
  const Bytes b = WriteAppFile(model);
  ASSERT_EQ(b.size(), reference.size());

  const size_t sub0 = p.geosets[0].submeshRecords.at(0).record;
  const std::vector<std::pair<size_t, int32_t>> fields = {
      {36, 5}, {192, -1}, {sub0 + 4, 0}, {sub0 + 40, 7}, {432 + 4, 3}, {432, 4}};
  for (const auto& [at, value] : fields) EXPECT_EQ(I32(b, at), value) << "count at " << at;
  for (size_t at : DifferingPositions(reference, b)) {
    bool inField = false;
    for (const auto& field : fields)
      inField = inField || (at >= field.first && at < field.first + 4);
    EXPECT_TRUE(inField) << "unexpected change at " << at;
  }
}

TEST(AppWriter, RefOverridesAreWrittenVerbatim) {
  AppModel model = FullModel(260);
  model.geosets[0].submeshes.push_back(model.geosets[0].submeshes[0]);
  AppPlacement first;
  const Bytes unshared = WriteAppFile(model, &first);
  const DataRef shared = first.geosets[0].submeshRecords.at(0).vertices;

  // The second submesh reuses the first one's vertices instead of having its own.
  model.geosets[0].submeshes[1].verticesArray = {true, shared};
  AppPlacement second;
  const Bytes b = WriteAppFile(model, &second);
  EXPECT_EQ(b.size(), unshared.size() - 3 * 44);
  EXPECT_EQ(Ref(b, second.geosets[0].submeshRecords.at(1).record + 8),
            std::make_pair(shared.offset, shared.size));
  EXPECT_EQ(second.geosets[0].submeshRecords.at(1).vertices, DataRef{});

  // A DataRef past the end: the bones are still written where they would be.
  AppModel pastEnd = FullModel(260);
  pastEnd.bonesArray.ref = DataRef{0xFFFFFFF0u, 312};
  AppPlacement p;
  const Bytes c = WriteAppFile(pastEnd, &p);
  EXPECT_EQ(c.size(), WriteAppFile(FullModel(260)).size());
  EXPECT_EQ(Ref(c, 40), std::make_pair(0xFFFFFFF0u, 312u));
  EXPECT_EQ(Text(c, FilePosition(p.bones), 64), "root");
}

TEST(AppWriter, SevenIndicesWriteTwoTriplesAndTheTrailingIndex) {
  AppModel model;
  AppSubmesh mesh;
  mesh.triangles = {{0, 1, 2}, {3, 4, 5}};
  mesh.extraIndices = {6};
  model.geosets[1].submeshes = {mesh};
  AppPlacement p;
  const Bytes b = WriteAppFile(model, &p);
  const AppSubmeshPlacement& s = p.geosets[1].submeshRecords.at(0);
  EXPECT_EQ(I32(b, s.record + 40), 7);
  EXPECT_EQ(Ref(b, s.record + 44), std::make_pair(s.indices.offset, 14u));
  const size_t at = FilePosition(s.indices);
  for (uint16_t i = 0; i < 7; ++i) EXPECT_EQ(U16(b, at + 2 * i), i);
  EXPECT_EQ(b.size(), at + 14);
}

TEST(AppWriter, TextureEntryRefSizeIsIndependentOfTheEntries) {
  AppModel model = MinimalModel();
  AppMaterial material;
  material.name = "bare";
  material.variants.resize(1);
  material.variants[0].textureEntriesArray.ref = DataRef{0, 368};
  model.materials = {material};
  AppPlacement p;
  const Bytes b = WriteAppFile(model, &p);
  const size_t entry = FilePosition(p.materialRecords.at(0).variantEntries);
  EXPECT_EQ(Ref(b, entry + 100), std::make_pair(0u, 368u));
  EXPECT_EQ(b.size(), entry + 248);  // no texture entries were written
  EXPECT_EQ(I32(b, 432), 1);         // one variant
}

TEST(AppWriter, NamesFillTheirFieldWithoutTerminatorWhenFull) {
  AppModel model = MinimalModel();
  model.bones[0].name = std::string(64, 'b');
  model.bones.push_back(model.bones[0]);
  model.bones[1].name = std::string(70, 'c');
  AppSubmesh mesh;
  mesh.materialName = std::string(128, 'm');
  model.geosets[0].submeshes = {mesh};
  AppPlacement p;
  const Bytes b = WriteAppFile(model, &p);
  const size_t bone = FilePosition(p.bones);
  EXPECT_EQ(Text(b, bone, 64), std::string(64, 'b'));
  EXPECT_EQ(I32(b, bone + 64), -1);  // the field did not spill into the parent index
  EXPECT_EQ(Text(b, bone + 312, 64), std::string(64, 'c'));
  EXPECT_EQ(I32(b, bone + 312 + 64), -1);
  const size_t record = p.geosets[0].submeshRecords.at(0).record;
  EXPECT_EQ(Text(b, record + 92, 128), std::string(128, 'm'));
  EXPECT_EQ(b.at(record + 220), 0);
}

TEST(AppWriter, EncodeTexCoordInvertsTheStoredDecoding) {
  const struct {
    float value;
    int16_t stored;
  } cases[] = {
      {128.0f, 32767},
      {0.001953125f, -32768},
      {64.001953125f, 0},
      {64.001953125f + 0.6f / 512, 1},
      {64.001953125f + 0.4f / 512, 0},
      {64.0f, -1},
      {1000.0f, 32767},
      {-5.0f, -32768},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeTexCoord(c.value), c.stored) << c.value;
  for (int stored : {-32768, -12345, 0, 511, 32767}) {
    const float decoded = (static_cast<float>(stored) - 32767.0f) * 0.001953125f + 128.0f;
    EXPECT_EQ(EncodeTexCoord(decoded), stored);
  }
}

TEST(AppWriter, SaveBytesWritesTheFileWholeAndReportsFailure) {
  const Bytes bytes = WriteAppFile(MinimalModel());
  const std::string path = ::testing::TempDir() + "vexmara_writer_minimal.app";
  ASSERT_TRUE(SaveBytes(path, bytes));
  std::ifstream in(path, std::ios::binary);
  const Bytes back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(back, bytes);
  in.close();
  std::remove(path.c_str());
  EXPECT_FALSE(SaveBytes(::testing::TempDir() + "no-such-directory/x.app", bytes));
}

}  // namespace
}  // namespace vexmara::writer

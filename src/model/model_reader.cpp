// The model file container: the 16-byte header and the top-level record that carries the counts
// and locations of everything else.
#include "model/model_reader.h"

#include "model/model_parse.h"
#include "model/post_processing.h"

namespace vexmara {
namespace {

// The file header.
constexpr uint32_t kFileHeaderBytes = 16;
constexpr uint32_t kVersionAt = 4;

// The top-level record's fixed fields (absolute file positions).
constexpr uint32_t kBoneCountAt = 36;
constexpr uint32_t kBonesRefAt = 40;
constexpr uint32_t kGeosetHeadersAt = 168;
constexpr uint32_t kGeosetHeaderBytes = 24;
constexpr int32_t kGeosetCount = 2;  // whatever the file's counts
// Inside a geoset header.
constexpr uint32_t kSubmeshCountInHeader = 0;
constexpr uint32_t kSubmeshesRefInHeader = 4;

// The material block: its fields are counted from B, which layouts before this version place
// 1040 bytes further on.
constexpr int32_t kCompactLayoutVersion = 258;
constexpr uint32_t kMaterialBlockAt = 432;
constexpr uint32_t kOldMaterialBlockAt = 1472;
constexpr uint32_t kVariantCountInBlock = 0;
constexpr uint32_t kMaterialCountInBlock = 4;
constexpr uint32_t kMaterialsRefInBlock = 8;
constexpr uint32_t kVariantNamesRefInBlock = 16;
// The top-level record's fixed fields end with the material block.
constexpr uint32_t kMaterialBlockBytes = 112;

}  // namespace

ModelParseResult ParseModel(ReadCursor& cursor, Model& model) {
  ModelParse parse(cursor, model);
  if (!cursor.Holds(0, kFileHeaderBytes)) return ModelParseResult::kMalformed;
  model.formatVersion = LoadAt<int32_t>(cursor.buffer + kVersionAt);
  parse.version = model.formatVersion;

  const uint32_t block =
      model.formatVersion >= kCompactLayoutVersion ? kMaterialBlockAt : kOldMaterialBlockAt;
  if (!cursor.Holds(0, uint64_t(block) + kMaterialBlockBytes)) return ModelParseResult::kMalformed;
  const uint8_t* top = cursor.buffer;

  const int32_t boneCount = LoadAt<int32_t>(top + kBoneCountAt);
  if (!ReadBones(parse, boneCount, LoadDataRef(top + kBonesRefAt)))
    return ModelParseResult::kMalformed;
  model.boneTotal = boneCount;

  if (!model.geosets.Reset(kGeosetCount)) return ModelParseResult::kMalformed;
  for (int32_t g = 0; g < kGeosetCount; ++g) {
    const uint8_t* header = top + kGeosetHeadersAt + kGeosetHeaderBytes * uint32_t(g);
    if (!ReadSubmeshes(parse, model.geosets[g], LoadAt<int32_t>(header + kSubmeshCountInHeader),
                       LoadDataRef(header + kSubmeshesRefInHeader))) {
      return ModelParseResult::kMalformed;
    }
  }

  const uint8_t* materialBlock = top + block;
  const int32_t variantCount = LoadAt<int32_t>(materialBlock + kVariantCountInBlock);
  const int32_t materialCount = LoadAt<int32_t>(materialBlock + kMaterialCountInBlock);
  if (!ReadMaterials(parse, materialCount, variantCount,
                     LoadDataRef(materialBlock + kMaterialsRefInBlock))) {
    return ModelParseResult::kMalformed;
  }
  if (!ReadVariantNames(parse, variantCount,
                        LoadDataRef(materialBlock + kVariantNamesRefInBlock))) {
    return ModelParseResult::kMalformed;
  }

  if (model.submeshTotal == 0 && model.vertexTotal == 0 && model.boneTotal == 0)
    return ModelParseResult::kEmpty;

  // The influence counts were taken while the skins were decoded (model_records.cpp), with the
  // rule CountInfluences applies, so no second walk over every vertex is needed.
  ResolveMaterialIndices(model);
  ComputeBoneMatrices(model);
  return ModelParseResult::kOk;
}

}  // namespace vexmara

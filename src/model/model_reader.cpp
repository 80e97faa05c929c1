// The model file container: the 16-byte header and the top-level record that carries the counts
// and locations of everything else.
#include "model/model_reader.h"

#include "model/model_parse.h"
#include "model/post_processing.h"

namespace vexmara {
namespace {

constexpr uint32_t kHeaderBytes = 16;

}  // namespace

ModelParseResult ParseModel(ReadCursor& cursor, Model& model) {
  ModelParse parse(cursor, model);
  if (!cursor.Holds(0, kHeaderBytes)) return ModelParseResult::kMalformed;
  model.formatVersion = LoadAt<int32_t>(cursor.buffer + 4);
  parse.version = model.formatVersion;

  // The top-level record's fixed fields end at B + 112; B moves with the layout generation.
  const uint32_t b = model.formatVersion >= 258 ? 432 : 1472;
  if (!cursor.Holds(0, uint64_t(b) + 112)) return ModelParseResult::kMalformed;
  const uint8_t* top = cursor.buffer;

  const int32_t boneCount = LoadAt<int32_t>(top + 36);
  if (!ReadBones(parse, boneCount, LoadDataRef(top + 40))) return ModelParseResult::kMalformed;
  model.boneTotal = boneCount;

  // Two geosets, whatever their counts.
  if (!model.geosets.Reset(2)) return ModelParseResult::kMalformed;
  for (int32_t g = 0; g < 2; ++g) {
    const uint8_t* header = top + 168 + 24 * g;
    if (!ReadSubmeshes(parse, model.geosets[g], LoadAt<int32_t>(header), LoadDataRef(header + 4))) {
      return ModelParseResult::kMalformed;
    }
  }

  const int32_t variantCount = LoadAt<int32_t>(top + b);
  const int32_t materialCount = LoadAt<int32_t>(top + b + 4);
  if (!ReadMaterials(parse, materialCount, variantCount, LoadDataRef(top + b + 8))) {
    return ModelParseResult::kMalformed;
  }
  if (!ReadVariantNames(parse, variantCount, LoadDataRef(top + b + 16))) return ModelParseResult::kMalformed;

  if (model.submeshTotal == 0 && model.vertexTotal == 0 && model.boneTotal == 0) return ModelParseResult::kEmpty;

  // The influence counts were taken while the skins were decoded (model_records.cpp), with the
  // rule CountInfluences applies, so no second walk over every vertex is needed.
  ResolveMaterialIndices(model);
  ComputeBoneMatrices(model);
  return ModelParseResult::kOk;
}

}  // namespace vexmara

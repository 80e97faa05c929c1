// The model file container: the 16-byte header and the top-level record that carries the counts
// and locations of everything else, and the whole-file read behind the host's read message.
#include "model/model_reader.h"

#include "model/model_parse.h"
#include "model/post_processing.h"
#include "platform/platform.h"
#include "abi/dual_string.h"
#include "abi/text.h"

namespace vexmara {
namespace {

constexpr uint32_t kHeaderBytes = 16;

void SetErrorText(HostContext* context, const char16_t* text) {
  ScopedDualString message(text);
  DualStringAssign(context->errorText, message.value());
}

}  // namespace

ModelParseResult ParseModel(ReadCursor& cursor, ModelStore& store) {
  ModelParse parse(cursor, store);
  if (!cursor.Holds(0, kHeaderBytes)) return ModelParseResult::kMalformed;
  store.formatVersion = LoadAt<int32_t>(cursor.buffer + 4);
  parse.version = store.formatVersion;

  // The top-level record's fixed fields end at B + 112; B moves with the layout generation.
  const uint32_t b = store.formatVersion >= 258 ? 432 : 1472;
  if (!cursor.Holds(0, uint64_t(b) + 112)) return ModelParseResult::kMalformed;
  const uint8_t* top = cursor.buffer;

  const int32_t boneCount = LoadAt<int32_t>(top + 36);
  if (!ReadBones(parse, boneCount, LoadDataRef(top + 40))) return ModelParseResult::kMalformed;
  store.boneTotal = boneCount;

  // Two geosets, whatever their counts.
  if (!store.geosets.Reset(2)) return ModelParseResult::kMalformed;
  for (int32_t g = 0; g < 2; ++g) {
    const uint8_t* header = top + 168 + 24 * g;
    if (!ReadSubmeshes(parse, store.geosets[g], LoadAt<int32_t>(header), LoadDataRef(header + 4))) {
      return ModelParseResult::kMalformed;
    }
  }

  const int32_t variantCount = LoadAt<int32_t>(top + b);
  const int32_t materialCount = LoadAt<int32_t>(top + b + 4);
  if (!ReadMaterials(parse, materialCount, variantCount, LoadDataRef(top + b + 8))) {
    return ModelParseResult::kMalformed;
  }
  if (!ReadVariantNames(parse, variantCount, LoadDataRef(top + b + 16))) return ModelParseResult::kMalformed;

  if (store.submeshTotal == 0 && store.vertexTotal == 0 && store.boneTotal == 0) return ModelParseResult::kEmpty;

  // The influence counts were taken while the skins were decoded (model_records.cpp), with the
  // rule CountInfluences applies, so no second walk over every vertex is needed.
  ResolveMaterialIndices(store);
  ComputeBoneMatrices(store);
  return ModelParseResult::kOk;
}

int32_t ReadModelFile(HostContext* context, ModelStore& store, ReadCursor& cursor) {
  if (context == nullptr) return 0;
  store.Clear();
  cursor.Release();

  // The host's field is copied first, so an unterminated path cannot be read past its end.
  char16_t path[kPathUnits];
  WideCopy(path, kPathUnits, context->fileInfo.path.wide);

  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  switch (platform::ReadWholeFile(path, &bytes, &length)) {
    case platform::FileReadResult::kOk:
      break;
    case platform::FileReadResult::kCannotOpen:
      SetErrorText(context, u"Could not open file for reading.");
      return 0;
    case platform::FileReadResult::kCannotAllocate:
    case platform::FileReadResult::kShortRead:
      return 0;
  }
  cursor.Adopt(bytes, length);
  WideCopy(store.sourcePath, kPathUnits, path);

  const ModelParseResult result = ParseModel(cursor, store);
  cursor.Release();  // the file buffer never outlives the parse
  if (result == ModelParseResult::kEmpty) SetErrorText(context, u"No geometry or bones found.");
  if (result != ModelParseResult::kOk) {
    store.Clear();
    return 0;
  }
  return 1;
}

}  // namespace vexmara

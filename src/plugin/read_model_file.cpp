#include "plugin/read_model_file.h"

#include "abi/dual_string.h"
#include "abi/text.h"
#include "model/model_reader.h"
#include "platform/platform.h"

namespace vexmara {
namespace {

void SetErrorText(HostContext* context, const char16_t* text) {
  ScopedDualString message(text);
  DualStringAssign(context->errorText, message.value());
}

}  // namespace

bool ReadModelFile(HostContext* context, ModelStore& store, ReadCursor& cursor) {
  if (context == nullptr) return false;
  store.Clear();
  cursor.Release();

  // A field without a terminator holds no path of 259 units or fewer, and a shortened copy
  // would name another file: such a path cannot be opened.
  if (WideLength(context->fileInfo.path.wide, kPathUnits) >= kPathUnits) {
    SetErrorText(context, u"Could not open file for reading.");
    return false;
  }
  char16_t path[kPathUnits];
  WideCopy(path, kPathUnits, context->fileInfo.path.wide);

  uint8_t* bytes = nullptr;
  uint32_t length = 0;
  switch (platform::ReadWholeFile(path, &bytes, &length)) {
    case platform::FileReadResult::kOk:
      break;
    case platform::FileReadResult::kCannotOpen:
      SetErrorText(context, u"Could not open file for reading.");
      return false;
    case platform::FileReadResult::kCannotAllocate:
    case platform::FileReadResult::kShortRead:
      return false;
  }
  cursor.Adopt(bytes, length);
  WideCopy(store.sourcePath, kPathUnits, path);

  const ModelParseResult result = ParseModel(cursor, store);
  cursor.Release();  // the file buffer never outlives the parse
  if (result == ModelParseResult::kEmpty) SetErrorText(context, u"No geometry or bones found.");
  if (result != ModelParseResult::kOk) {
    store.Clear();
    return false;
  }
  return true;
}

}  // namespace vexmara

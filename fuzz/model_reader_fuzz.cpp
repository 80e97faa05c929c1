// The model file reader on arbitrary bytes: the parse and its post-processing must never read
// outside the buffer, fail an undefined-behaviour check, leak, or reserve far beyond the input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "model/model_reader.h"
#include "platform/platform.h"
#include "store/model_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  vexmara::ReadCursor cursor;
  uint8_t* buffer = vexmara::platform::AllocateBuffer(size);
  if (buffer == nullptr) return 0;
  if (size > 0) std::memcpy(buffer, data, size);
  cursor.Adopt(buffer, uint32_t(size));
  vexmara::ModelStore store;
  vexmara::ParseModel(cursor, store);
  return 0;
}

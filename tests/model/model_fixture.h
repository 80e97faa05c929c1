// Parsing writer-made model files through the reader, from a buffer of exactly the file's size
// (so that a sanitizer sees any access past it).
#pragma once

#include <cstring>
#include <vector>

#include "model/model_reader.h"
#include "platform/platform.h"
#include "writer/app_writer.h"

namespace vexmara::testing {

inline ModelParseResult ParseBytes(const std::vector<uint8_t>& bytes, ModelStore& store, size_t length) {
  ReadCursor cursor;
  uint8_t* buffer = platform::AllocateBuffer(length);
  if (length > 0) std::memcpy(buffer, bytes.data(), length);
  cursor.Adopt(buffer, uint32_t(length));
  store.Clear();
  return ParseModel(cursor, store);
}

inline ModelParseResult ParseBytes(const std::vector<uint8_t>& bytes, ModelStore& store) {
  return ParseBytes(bytes, store, bytes.size());
}

inline ModelParseResult ParseModelDescription(const writer::AppModel& model, ModelStore& store) {
  return ParseBytes(writer::WriteAppFile(model), store);
}

}  // namespace vexmara::testing

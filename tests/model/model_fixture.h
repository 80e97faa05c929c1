// Parsing writer-made model files through the reader, from a buffer of exactly the file's size
// (so that a sanitizer sees any access past it).
#pragma once

#include <vector>

#include "exact_buffer.h"
#include "model/model_reader.h"
#include "store/model_store.h"
#include "writer/app_writer.h"

namespace vexmara::testing {

inline ModelParseResult ParseBytes(const std::vector<uint8_t>& bytes, ModelStore& store,
                                   size_t length) {
  ReadCursor cursor;
  AdoptExactCopy(cursor, bytes, length);
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

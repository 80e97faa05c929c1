// The model file reader: parses one model file (extension "app"), held whole in memory, into a
// Model. The parse is safe to use for untrusted input: every read is tested against the file's
// length, no count can make it reserve more than the file's bytes could fill, and the work of
// one read stays within a fixed multiple of the file's size.
#pragma once

#include "model/model.h"
#include "model/read_cursor.h"

namespace vexmara {

enum class ModelParseResult {
  kOk,         // parsed and post-processed
  kMalformed,  // a read passed the end of the data, an allocation failed, or the budget ran out
  kEmpty,      // no submeshes, no vertices and no bones
};

// Parses the file held by `cursor` into `model` (which the caller has emptied) and runs the
// post-processing. On a result other than kOk the model is partly filled; callers empty it.
ModelParseResult ParseModel(ReadCursor& cursor, Model& model);

}  // namespace vexmara

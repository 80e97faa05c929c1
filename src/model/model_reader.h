// The model file reader: reads one model file (extension "app") whole into memory and parses it
// into the model store. The parse is safe to use for untrusted input: every read is tested
// against the file's length, no count can make it reserve more than the file's bytes could
// fill, and the work of one read stays within a fixed multiple of the file's size.
#pragma once

#include <cstdint>

#include "model/model_store.h"
#include "model/read_cursor.h"
#include "abi/host_interface.h"

namespace vexmara {

enum class ModelParseResult {
  kOk,         // parsed and post-processed
  kMalformed,  // a read passed the end of the data, an allocation failed, or the budget ran out
  kEmpty,      // no submeshes, no vertices and no bones
};

// Parses the file held by `cursor` into `store` (which the caller has cleared) and runs the
// post-processing. On a result other than kOk the store holds a partial model; callers clear it.
ModelParseResult ParseModel(ReadCursor& cursor, ModelStore& store);

// Reads the model file named by the context's file info into `store`, through `cursor`, which
// holds the file's bytes only while the read runs: 1 when it was read and post-processed, 0
// otherwise. The store is cleared first, and is empty again after a failure; where it applies,
// the context's error text says why. A null context changes nothing.
int32_t ReadModelFile(HostContext* context, ModelStore& store, ReadCursor& cursor);

}  // namespace vexmara

// The read behind the host's read message: the model file named by the host's context, read
// whole into the store.
#pragma once

#include <cstdint>

#include "abi/host_interface.h"
#include "model/read_cursor.h"
#include "store/model_store.h"

namespace vexmara {

// Reads the model file named by the context's file info into `store`, through `cursor`, which
// holds the file's bytes only while the read runs: true when it was read and post-processed.
// The store is cleared first, and is empty again after a failure; where it applies, the
// context's error text says why. A null context changes nothing.
bool ReadModelFile(HostContext* context, ModelStore& store, ReadCursor& cursor);

}  // namespace vexmara

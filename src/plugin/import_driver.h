// The import driver: the host's import message ends here.
#pragma once

#include <cstdint>

#include "abi/host_interface.h"
#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {

// Runs one import with the model the last read left in `store`: 1 built, 0 failed,
// 2 cancelled. The import dialog stores its choices in `options` and fills the store's texture
// files, texture slots and chosen animation files; the chosen files are read into the store's
// animations; then the scene is built from the store. The store is empty afterwards, whatever
// the outcome.
int32_t RunImport(HostContext* context, void* instance, ModelStore& store, ImportOptions& options);

}  // namespace vexmara

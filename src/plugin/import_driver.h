// The import driver: the host's import message ends here.
#pragma once

#include <cstdint>

#include "abi/host_interface.h"
#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {

// How an import ended, as the codes the host receives for it.
enum class ImportResult : int32_t {
  kFailed = 0,  // a stage failed; what the stages before it made stays in the host
  kBuilt = 1,
  kCancelled = 2,  // nothing was made
};

// Runs one import with the model the last read left in `store`. The import dialog stores its
// choices in `options` and fills the store's texture files, texture slots and chosen animation
// files; the chosen files are read into the store's animations; then the scene is built from the
// store. The store is empty afterwards, whatever the outcome.
ImportResult RunImport(HostContext* context, void* instance, ModelStore& store,
                       ImportOptions& options);

}  // namespace vexmara

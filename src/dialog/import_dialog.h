// The modal import dialog (the Win32 view on Windows, a headless stand-in elsewhere).
#pragma once

#include <cstdint>

#include "abi/host_interface.h"
#include "store/import_options.h"
#include "store/model_store.h"

namespace vexmara {

// Shows the import dialog for the model in `store`, read from the file the context names,
// owned by the host's main window, from dialog resource 100 of `instance`. 1: "Import" (the
// boxes are stored in `options`), 0: "Cancel", -1: the dialog could not be created. While it is
// open the dialog sets the options' texture directory, rebuilds the store's texture files and
// fills its materials' texture slots and its chosen animation files.
int32_t ShowImportDialog(HostContext* context, void* instance, ModelStore& store, ImportOptions& options);

}  // namespace vexmara
